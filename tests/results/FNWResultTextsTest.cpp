#include "results/FNWResultTexts.h"
#include "base/FNWEnums.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

namespace {

using FNWResultTexts::TestLineTable;

struct SampleRun
{
    FNWTestRunParts parts;
    FNWPresetBean& preset() { return *parts.preset; }
};

SampleRun makeRun()
{
    SampleRun run;
    run.parts.execution = std::make_shared<TestExecutionBean>();
    run.parts.test = std::make_shared<TestBean>();
    run.parts.preset = std::make_shared<FNWPresetBean>();
    run.parts.agent = std::make_shared<FNWAgentBean>();
    run.parts.preset->name = QStringLiteral("Quick");
    run.parts.preset->number_of_byte = -1;
    run.parts.agent->ip_address = QStringLiteral("10.0.0.7");
    run.parts.agent->agent_name = QStringLiteral("Lab");
    run.parts.execution->ssid = QStringLiteral("Office");
    run.parts.execution->setExecutionStatus(FNWExecutionStatusFinished);
    run.parts.execution->setAverageSpeed(12345678);
    run.parts.execution->setDataTransfered(1048576);
    return run;
}

QString line(const SampleRun& run, const char* column, TestLineTable table = TestLineTable::HistoryRow)
{
    return FNWResultTexts::testLine(run.parts, QString::fromLatin1(column), table);
}

TEST(FNWResultTextsTest, TestLinesFollowTheirPresetsUnitModeAndState)
{
    SampleRun run = makeRun();
    EXPECT_EQ(line(run, "name"), QStringLiteral("10.0.0.7 - Quick"));
    EXPECT_EQ(line(run, "average"), QStringLiteral("12.35 Mbps"));
    EXPECT_EQ(line(run, "total"), QStringLiteral("1.00 MB"));
    EXPECT_EQ(line(run, "duration"), QStringLiteral("10 s"));
    EXPECT_EQ(line(run, "type"), QStringLiteral("TCP"));
    EXPECT_EQ(line(run, "ssid"), QStringLiteral("Office"));
    EXPECT_EQ(line(run, "bogus"), QStringLiteral("N/A"));

    run.preset().data_format = FNWDataFormatKbps;
    run.preset().test_type = FNWTestTypeUDP;
    EXPECT_EQ(line(run, "average"), QStringLiteral("12345.68 Kbps"));
    EXPECT_EQ(line(run, "total"), QStringLiteral("1024.00 KB"));
    EXPECT_EQ(line(run, "type"), QStringLiteral("UDP"));

    // Without an interval the history row reads 1, the summary the stored -1.
    run.preset().time_interval = -1;
    EXPECT_EQ(line(run, "interval"), QStringLiteral("1"));
    EXPECT_EQ(line(run, "interval", TestLineTable::Summary), QStringLiteral("-1"));

    // A run by amount shows its amount, also where both bounds are set (it runs by amount then).
    run.preset().duration = -1;
    run.preset().number_of_byte = 100;
    EXPECT_EQ(line(run, "duration"), QStringLiteral("100 MB"));
    run.preset().duration = 13;
    EXPECT_EQ(line(run, "duration"), QStringLiteral("100 MB"));

    run.parts.execution->setExecutionStatus(FNWExecutionStatusRunning);
    EXPECT_EQ(line(run, "average"), QStringLiteral("Running..."));
    EXPECT_EQ(line(run, "total"), QStringLiteral("Running..."));
}

TEST(FNWResultTextsTest, AMissingTestPresetOrAgentShowsAStandIn)
{
    SampleRun run = makeRun();
    run.parts.preset.reset();
    run.parts.agent.reset();
    EXPECT_EQ(line(run, "name"), QStringLiteral("(deleted) - (deleted)"));
    EXPECT_EQ(line(run, "average"), QStringLiteral("12.35 Mbps")) << "figures in Mbps and MB without a preset";
    EXPECT_EQ(line(run, "duration"), QStringLiteral("N/A"));
    run.parts.test.reset();
    for (int settings = 0; settings < FNWResultTexts::kSettingsLines; ++settings)
        FNWResultTexts::settingsLine(run.parts, settings);
    EXPECT_EQ(FNWResultTexts::settingsLine(run.parts, 3), QStringLiteral("(deleted)"));
    EXPECT_EQ(FNWResultTexts::settingsLine(run.parts, 14), QStringLiteral("(deleted)"));
    run.parts.execution.reset();
    EXPECT_EQ(line(run, "total"), QStringLiteral("N/A"));
}

TEST(FNWResultTextsTest, TheSettingsPanelLines)
{
    SampleRun run = makeRun();
    run.parts.test->sourceIPAddress = QStringLiteral("10.0.0.2");
    run.parts.execution->bssid = QStringLiteral("a4:2b:b0:12:7f:03");
    run.parts.execution->setTargetBssid(QStringLiteral("0c:8d:db:aa:01:fe"));
    run.parts.execution->setIperfVersion(FNWIperfVersion2);
    run.preset().direction = FNWDirectionReverse;
    const auto text = [&](int line) { return FNWResultTexts::settingsLine(run.parts, line); };
    EXPECT_EQ(text(0), QStringLiteral("10.0.0.7 - Quick (iPerf2)"));
    EXPECT_EQ(text(3), QStringLiteral("10.0.0.2"));
    EXPECT_EQ(text(5), QStringLiteral("A4:2B:B0:12:7F:03"));
    EXPECT_EQ(text(7), QStringLiteral("Lab"));
    EXPECT_EQ(text(10), QStringLiteral("0C:8D:DB:AA:01:FE"));
    EXPECT_EQ(text(12), QStringLiteral("Target To Source Server"));
    EXPECT_EQ(text(15), QString());
    bool title = false;
    for (int line : {0, 2, 6, 11}) {
        FNWResultTexts::settingsLine(run.parts, line, &title);
        EXPECT_TRUE(title) << line;
    }
    FNWResultTexts::settingsLine(run.parts, 3, &title);
    EXPECT_FALSE(title);

    // Line 14: the amount and the interval.
    const struct
    {
        qint64 duration;
        qint64 megabytes;
        qint64 interval;
        const char* text;
    } amounts[] = {{30, -1, 2, "30s (2s)"}, {-1, 100, -1, "100 MB (1s)"}, {10, 100, 5, "100 MB (5s)"}};
    for (const auto& amount : amounts) {
        run.preset().duration = amount.duration;
        run.preset().number_of_byte = amount.megabytes;
        run.preset().time_interval = amount.interval;
        EXPECT_EQ(text(14), QString::fromLatin1(amount.text));
    }
}

TEST(FNWResultTextsTest, IntervalColumnsShowOneResult)
{
    TestIntervalResults result;
    result.start_time = QStringLiteral("0.00");
    result.end_time = QStringLiteral("1.00");
    result.speed = 1999999.9F;
    result.data_transfered = 1048576.9F;
    result.jitter = QStringLiteral("0.012 ms");
    result.datagrams = QStringLiteral("0/39");
    const auto text = [&](const char* column) {
        return FNWResultTexts::intervalColumn(result, QString::fromLatin1(column), FNWDataFormatMbps);
    };
    EXPECT_EQ(text("interval"), QStringLiteral("0.00-1.00 s"));
    EXPECT_EQ(text("throughput"), QStringLiteral("2.00 Mbps"));
    EXPECT_EQ(text("size"), QStringLiteral("1.00 MB"));
    EXPECT_EQ(text("jitter"), QStringLiteral("0.012 ms"));
    EXPECT_EQ(text("datagrams"), QStringLiteral("0/39"));
}

} // namespace
