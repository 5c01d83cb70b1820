#include "model/FNWCSVExport.h"
#include "base/FNWEnums.h"
#include "base/FNWUtils.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

namespace {

const qint64 kDateSeconds = 1700000000;

QString dateText()
{
    return FNWUtils::getFormattedNSDate(static_cast<double>(kDateSeconds));
}

struct ExportedRun
{
    std::shared_ptr<FNWPresetBean> preset = std::make_shared<FNWPresetBean>();
    std::shared_ptr<FNWAgentBean> agent = std::make_shared<FNWAgentBean>();
    std::shared_ptr<TestBean> test = std::make_shared<TestBean>();
    std::shared_ptr<TestExecutionBean> execution = std::make_shared<TestExecutionBean>();
};

// A finished TCP run of "Bulk" against 10.0.0.5, its test, preset and agent held in memory so
// that nothing is read from the store.
ExportedRun makeRun()
{
    ExportedRun run;
    run.preset->name = QStringLiteral("Bulk");
    run.preset->duration = 30;
    run.preset->time_interval = 2;
    run.agent->ip_address = QStringLiteral("10.0.0.5");
    run.agent->agent_name = QStringLiteral("Lab server");
    run.test->sourceIPAddress = QStringLiteral("10.0.0.9");
    run.test->setPreset(run.preset);
    run.test->setAgent(run.agent);
    run.execution->setTestBean(run.test);
    run.execution->setExecutionStatus(FNWExecutionStatusFinished);
    run.execution->setAverageSpeed(12345678);
    run.execution->setDataTransfered(1048576);
    run.execution->ssid = QStringLiteral("Office");
    run.execution->bssid = QStringLiteral("a4:2b:b0:01:02:03");
    run.execution->setTargetSsid(QStringLiteral("Lab"));
    run.execution->setTargetBssid(QStringLiteral("c0:ff:ee:00:00:01"));
    run.execution->execution_date = QDateTime::fromSecsSinceEpoch(kDateSeconds, Qt::UTC);
    return run;
}

std::shared_ptr<TestIntervalResults> makeResult(const QString& start, const QString& end, double bytes, double bits)
{
    auto result = std::make_shared<TestIntervalResults>();
    result->start_time = start;
    result->end_time = end;
    result->data_transfered = bytes;
    result->speed = bits;
    return result;
}

// Results most recent first, as the store hands them out: interval n-1..n first, 0..1 last.
std::vector<std::shared_ptr<TestIntervalResults>> makeResults(int count)
{
    std::vector<std::shared_ptr<TestIntervalResults>> results;
    for (int i = count; i > 0; --i)
        results.push_back(makeResult(QString::number(i - 1) + QStringLiteral(".00"),
                                     QString::number(i) + QStringLiteral(".00"), 1048576.0F, 8000000.0F));
    return results;
}

QString block(const ExportedRun& run, const std::vector<std::shared_ptr<TestIntervalResults>>& results)
{
    return FNWCSVExport::getCSVIntervalResults(*run.execution, run.test.get(), run.preset.get(), run.agent.get(),
                                               results);
}

QStringList lines(const QString& text)
{
    EXPECT_TRUE(text.endsWith(u'\n'));
    return text.chopped(1).split(u'\n');
}

} // namespace

TEST(FNWCSVExportTest, HeadersAndSummaryLine)
{
    EXPECT_EQ(TestProfileExecutionBean::getCSVSummeryHeader(),
              QStringLiteral("Test Name, Bandwidth, Total, Duration/# of Bytes, SSID ,Execution_Date\n"));
    EXPECT_EQ(TestProfileExecutionBean::getIntervalResultHeader(),
              QStringLiteral("Settings, , Interval, Transfer, Bandwidth, Jitter, Lost/Total Datagrams \n"));
    ExportedRun run = makeRun();
    EXPECT_EQ(run.execution->getCSVSummeryLine(),
              QStringLiteral("10.0.0.5 - Bulk, 12.35 Mbps, 1.00 MB, 30 s, Office, ") + dateText() + u'\n');

    // By amount, in kilobits; an SSID holding a comma goes in quotes right after the comma.
    run.preset->duration = -1;
    run.preset->number_of_byte = 50;
    run.preset->data_format = FNWDataFormatKbps;
    run.execution->ssid = QStringLiteral("Café, 2nd floor");
    EXPECT_EQ(run.execution->getCSVSummeryLine(), QStringLiteral("10.0.0.5 - Bulk, 12345.68 Kbps, 1024.00 KB, 50 MB,"
                                                                 "\"Café, 2nd floor\", ") +
                                                      dateText() + u'\n');

    run.execution->setExecutionStatus(FNWExecutionStatusRunning);
    EXPECT_TRUE(run.execution->getCSVSummeryLine().startsWith(
        QStringLiteral("10.0.0.5 - Bulk, Running..., Running..., 50 MB,")));

    // A run whose test was removed from its profile still exports its own figures.
    TestExecutionBean orphan;
    orphan.testBean_id = -1;
    orphan.setAverageSpeed(1000000);
    orphan.setDataTransfered(1048576);
    EXPECT_EQ(orphan.getCSVSummeryLine(), QStringLiteral(" - , 1.00 Mbps, 1.00 MB, , , \n"));
}

TEST(FNWCSVExportTest, SummaryBodyFollowsListThenRunOrder)
{
    ExportedRun first = makeRun();
    ExportedRun second = makeRun();
    second.agent->ip_address = QStringLiteral("10.0.0.6");
    auto older = std::make_shared<TestProfileExecutionBean>();
    older->setAllExecutedTest({first.execution});
    auto newer = std::make_shared<TestProfileExecutionBean>();
    newer->setAllExecutedTest({second.execution, first.execution});
    EXPECT_EQ(TestProfileExecutionBean::getCSVSummeryResultsLinesFromTestProfileExecutions(
                  {newer, std::make_shared<TestProfileExecutionBean>(), older}),
              second.execution->getCSVSummeryLine() + first.execution->getCSVSummeryLine() +
                  first.execution->getCSVSummeryLine());
    EXPECT_TRUE(TestProfileExecutionBean::getCSVSummeryResultsLinesFromTestProfileExecutions({}).isEmpty());
}

TEST(FNWCSVExportTest, IntervalCells)
{
    // TCP: both UDP cells empty; figures are truncated, not rounded (1005.9 bits would round to 1.01 Kbps).
    EXPECT_EQ(FNWCSVExport::getCSVIntervalResultsFromDataFormat(*makeResult("0.00", "1.00", 1048576.0F, 1005.9F),
                                                                FNWDataFormatKbps),
              QStringLiteral("0.00-1.00 s, 1024.00 KB, 1.00 Kbps, , ,\n"));
    auto udp = makeResult("1.00", "2.00", 2097152.0F, 16000000.0F);
    udp->jitter = QStringLiteral("0.031 ms");
    udp->datagrams = QStringLiteral("3/1200 (0.25%)");
    EXPECT_EQ(FNWCSVExport::getCSVIntervalResultsFromDataFormat(*udp, FNWDataFormatMBps),
              QStringLiteral("1.00-2.00 s, 2.00 MB, 2.00 MBps, 0.031 ms, 3/1200 (0.25%),\n"));
    // Figures beyond a float's precision export exactly.
    EXPECT_EQ(FNWCSVExport::getCSVIntervalResultsFromDataFormat(
                  *makeResult("0.00", "10.00", 1234567891.0, 45678901234.0), FNWDataFormatKbps),
              QStringLiteral("0.00-10.00 s, 1205632.71 KB, 45678901.23 Kbps, , ,\n"));
}

TEST(FNWCSVExportTest, BlockFillsElevenRowsAndContinuesBelowTheSettings)
{
    ExportedRun run = makeRun();
    const QStringList rows = lines(block(run, makeResults(5)));
    ASSERT_EQ(rows.size(), 11);
    const QString cells = QStringLiteral("1.00 MB, 8.00 Mbps, , ,");
    EXPECT_EQ(rows[0], QStringLiteral("10.0.0.5 - Bulk, , 4.00-5.00 s, ") + cells);
    EXPECT_EQ(rows[1], QStringLiteral("Target Server Name, Lab server, 3.00-4.00 s, ") + cells);
    EXPECT_EQ(rows[2], QStringLiteral("SSID, \"Office\", 2.00-3.00 s, ") + cells);
    EXPECT_EQ(rows[3], QStringLiteral("BSSID, \"A4:2B:B0:01:02:03\", 1.00-2.00 s, ") + cells);
    EXPECT_EQ(rows[4], QStringLiteral("Direction, 10.0.0.9 -> 10.0.0.5, 0.00-1.00 s, ") + cells);
    EXPECT_EQ(rows[5], QStringLiteral("Target SSID, \"Lab\", "));
    EXPECT_EQ(rows[6], QStringLiteral("Target BSSID, \"C0:FF:EE:00:00:01\", "));
    EXPECT_EQ(rows[7], QStringLiteral("Type, TCP, "));
    EXPECT_EQ(rows[8], QStringLiteral("Duration, 30 s, "));
    EXPECT_EQ(rows[9], QStringLiteral("Interval, 2 s, "));
    EXPECT_EQ(rows[10], QStringLiteral("Time, ") + dateText() + QStringLiteral(", "));

    // No results at all still gives the eleven settings rows; more than eleven continue below them.
    EXPECT_EQ(lines(block(run, {})).size(), 11);
    const QStringList many = lines(block(run, makeResults(13)));
    ASSERT_EQ(many.size(), 13);
    EXPECT_TRUE(many[10].startsWith(QStringLiteral("Time, ") + dateText() + QStringLiteral(", 2.00-3.00 s, ")));
    EXPECT_EQ(many[11], QStringLiteral(" , , 1.00-2.00 s, 1.00 MB, 8.00 Mbps, , ,"));
    EXPECT_EQ(many[12], QStringLiteral(" , , 0.00-1.00 s, 1.00 MB, 8.00 Mbps, , ,"));
    EXPECT_EQ(lines(block(run, makeResults(12))).last(), QStringLiteral(" , , 0.00-1.00 s, 1.00 MB, 8.00 Mbps, , ,"));
}

TEST(FNWCSVExportTest, BlockSettingsFollowThePreset)
{
    ExportedRun run = makeRun();
    run.preset->direction = FNWDirectionReverse;
    run.preset->test_type = FNWTestTypeUDP;
    run.preset->duration = -1;
    run.preset->number_of_byte = 50;
    run.preset->time_interval = -1;
    const QStringList rows = lines(block(run, {}));
    ASSERT_EQ(rows.size(), 11);
    EXPECT_EQ(rows[4], QStringLiteral("Direction, 10.0.0.5 -> 10.0.0.9, "));
    EXPECT_EQ(rows[7], QStringLiteral("Type, UDP, "));
    EXPECT_EQ(rows[8], QStringLiteral("Duration, 50 MB, "));
    EXPECT_EQ(rows[9], QStringLiteral("Interval, 1 sec, "));

    // Without test, preset and agent the block keeps its shape instead of failing.
    const QStringList bare =
        lines(FNWCSVExport::getCSVIntervalResults(*run.execution, nullptr, nullptr, nullptr, makeResults(1)));
    ASSERT_EQ(bare.size(), 11);
    EXPECT_EQ(bare[0], QStringLiteral(" - , , 0.00-1.00 s, 1.00 MB, 8.00 Mbps, , ,"));
    EXPECT_EQ(bare[4], QStringLiteral("Direction,  -> , "));
    EXPECT_EQ(bare[9], QStringLiteral("Interval, 1 sec, "));
}

namespace {

// RFC 4180 read-back: a quoted cell opens right after its comma; an unquoted cell loses the one
// blank the documents put after each comma.
QList<QStringList> readCSV(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    qsizetype i = 0;
    while (i < text.size()) {
        QString cell;
        if (text[i] == u'"') {
            for (++i; i < text.size(); ++i) {
                if (text[i] == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                    cell += text[++i];
                else if (text[i] == u'"')
                    break;
                else
                    cell += text[i];
            }
            ++i;
        } else {
            while (i < text.size() && text[i] != u',' && text[i] != u'\n')
                cell += text[i++];
            if (cell.startsWith(u' '))
                cell.remove(0, 1);
        }
        row.append(cell);
        if (i >= text.size() || text[i] == u'\n') {
            rows.append(row);
            row.clear();
        }
        ++i;
    }
    return rows;
}

} // namespace

TEST(FNWCSVExportTest, NamesNeedingQuotesReadBackCellForCell)
{
    ExportedRun run = makeRun();
    run.preset->name = QStringLiteral("Bulk, \"fast\"");
    run.agent->agent_name = QStringLiteral("Lab\nserver");
    run.execution->ssid = QStringLiteral("Office, 2nd");
    run.execution->setTargetSsid(QStringLiteral("Say \"hi\""));

    const QList<QStringList> summary = readCSV(run.execution->getCSVSummeryLine());
    ASSERT_EQ(summary.size(), 1);
    EXPECT_EQ(summary[0], (QStringList{QStringLiteral("10.0.0.5 - Bulk, \"fast\""), QStringLiteral("12.35 Mbps"),
                                       QStringLiteral("1.00 MB"), QStringLiteral("30 s"),
                                       QStringLiteral("Office, 2nd"), dateText()}));

    const QList<QStringList> rows = readCSV(block(run, makeResults(2)));
    ASSERT_EQ(rows.size(), 11);
    EXPECT_EQ(rows[0], (QStringList{QStringLiteral("10.0.0.5 - Bulk, \"fast\""), QString(), "1.00-2.00 s", "1.00 MB",
                                    "8.00 Mbps", QString(), QString(), QString()}));
    EXPECT_EQ(rows[1].mid(0, 3), (QStringList{"Target Server Name", "Lab\nserver", "0.00-1.00 s"}));
    EXPECT_EQ(rows[2].mid(0, 2), (QStringList{"SSID", "Office, 2nd"}));
    EXPECT_EQ(rows[5], (QStringList{"Target SSID", "Say \"hi\"", QString()}));
    for (const QStringList& row : rows.mid(2))
        EXPECT_TRUE(row.size() == 3 || row.size() == 8) << row.join(u'|').toStdString();
}
