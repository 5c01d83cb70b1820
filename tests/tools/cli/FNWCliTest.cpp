// fenwave-cli as a user runs it: the built program against real iperf3 and iperf servers on
// 127.0.0.1, on the test's own database.

#include "FNWEngineTestSupport.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include "base/FNWNotifications.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "db/DBUtils.h"
#include "db/FNWPresetDAO.h"
#include "db/TestExecutionDAO.h"
#include "db/TestIntervalResultsDAO.h"
#include "db/TestProfileExecutionDAO.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"
#include "support/FNWFormat.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

using namespace fnw::test;

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

struct CliResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QStringList lines() const { return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts); }
};

CliResult runCli(const QStringList& arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.start(QStringLiteral(FENWAVE_CLI_PATH), arguments);
    CliResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "fenwave-cli " << arguments.join(u' ').toStdString() << " did not end";
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QJsonObject parseObject(const QString& line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    return document.object();
}

class Iperf3Server final
{
public:
    Iperf3Server()
        : m_port(freePort())
        , m_process(QStringLiteral("iperf3"), loopbackIperf3Arguments(m_port))
        , m_listening(waitUntilListening(m_port, Transport::Tcp))
    {
    }
    int port() const { return m_port; }
    bool listening() const { return m_listening; }
    QString agent() const { return kLoopback + QLatin1Char(':') + QString::number(m_port); }

private:
    int m_port;
    ServerProcess m_process;
    bool m_listening;
};

class FenwaveCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(useFreshDatabase());
        savePreset(QStringLiteral("TCP 2s"), 2);
    }

    static std::shared_ptr<FNWPresetBean> savePreset(const QString& name, qint64 seconds)
    {
        std::shared_ptr<FNWPresetBean> preset = timedPreset(seconds);
        preset->name = name;
        QString error;
        EXPECT_TRUE(FNWPresetDAO().save(*preset, &error)) << error.toStdString();
        return preset;
    }

    // The number of rows of every table a run or a deletion writes.
    static QString rowCounts()
    {
        QString counts;
        for (const char* table : {"presets", "agents", "test_profiles", "test", "test_profile_execution",
                                  "test_execution_details", "test_results"}) {
            const QString path = FNWUtils::applicationSupportDirectory() + QStringLiteral("/fnwe.db");
            QProcess sqlite;
            sqlite.start(QStringLiteral("sqlite3"),
                         {path, QStringLiteral("select count(*) from %1").arg(QLatin1String(table))});
            sqlite.waitForFinished();
            counts += QLatin1String(table) + QLatin1Char('=') + QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed() +
                      QLatin1Char(' ');
        }
        return counts;
    }

    static std::vector<std::shared_ptr<TestExecutionBean>> executionsOf(qint64 runID)
    {
        auto executions = TestExecutionDAO().getAllTestExecutionsForProfileExecutionID(runID);
        std::sort(executions.begin(), executions.end(), [](const auto& a, const auto& b) { return a->ID < b->ID; });
        return executions;
    }

    static std::vector<std::shared_ptr<TestIntervalResults>> rowsOf(qint64 executionID)
    {
        auto rows = TestIntervalResultsDAO().loadAllResultsForTestExectionID(executionID);
        std::reverse(rows.begin(), rows.end());
        return rows;
    }
};

TEST_F(FenwaveCli, AnAdHocRunPrintsWhatItStoresAndTheOtherCommandsReadIt)
{
    Iperf3Server first;
    Iperf3Server second;
    ASSERT_TRUE(first.listening() && second.listening());
    const CliResult run = runCli({QStringLiteral("run"), QStringLiteral("--agent"), first.agent(),
                                  QStringLiteral("--preset"), QStringLiteral("TCP 2s"), QStringLiteral("--agent"),
                                  second.agent(), QStringLiteral("--preset"), QStringLiteral(" TCP 2s ")});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();

    const auto runs = TestProfileExecutionDAO().getAllExecutedTestProfileRecords();
    ASSERT_EQ(runs.size(), 1U);
    const qint64 runID = runs.front()->ID;
    const auto executions = executionsOf(runID);
    ASSERT_EQ(executions.size(), 2U);
    // Each pair is an order of its own: the second starts once the first has ended.
    EXPECT_LE(executions[0]->execution_date.addSecs(2), executions[1]->execution_date);

    const QStringList lines = run.lines();
    for (const auto& execution : executions) {
        const QString name = QStringLiteral("127.0.0.1 - TCP 2s");
        EXPECT_EQ(execution->executionStatus(), 2) << execution->message().toStdString();
        const auto rows = rowsOf(execution->ID);
        ASSERT_GE(rows.size(), 3U);
        // Every stored interval row was printed once, in order, with the rate the window shows; the
        // final row is the summary.
        QStringList printed;
        for (std::size_t i = 0; i + 1 < rows.size(); ++i)
            printed << FNWStringWithFormat("%-18@ %-36@ %@", FNWStringWithFormat("%@-%@ s", rows[i]->start_time, rows[i]->end_time),
                                           name, FNWUtils::formatBitsToSpeedFormat(0, static_cast<qint64>(rows[i]->speed)));
        for (const QString& line : printed)
            EXPECT_EQ(lines.count(line), 1) << line.toStdString() << "\n" << run.out.toStdString();
        const QString summary = FNWStringWithFormat(
            "Finished %@: average %@, total %@ over %@-%@ s", name,
            FNWUtils::formatBitsToSpeedFormat(0, execution->averageSpeed()),
            FNWUtils::formatBytesToDataSizeFormat(0, execution->dataTransfered()), rows.back()->start_time,
            rows.back()->end_time);
        EXPECT_TRUE(lines.contains(summary)) << summary.toStdString() << "\n" << run.out.toStdString();
        EXPECT_EQ(execution->averageSpeed(), static_cast<qint64>(rows.back()->speed));
    }
    EXPECT_EQ(lines.last(), FNWStringWithFormat("Execution %ld: 2 of 2 tests finished", runID));

    // history and show read the same figures.
    const CliResult history = runCli({QStringLiteral("history"), QStringLiteral("--json")});
    ASSERT_EQ(history.exitCode, 0);
    const QJsonArray listed = parseObject(QString::fromUtf8(history.out)).value(QStringLiteral("executions")).toArray();
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].toObject().value(QStringLiteral("id")).toInteger(), runID);
    const QJsonArray listedTests = listed[0].toObject().value(QStringLiteral("tests")).toArray();
    ASSERT_EQ(listedTests.size(), 2);

    const CliResult show = runCli({QStringLiteral("show"), QString::number(runID), QStringLiteral("--json")});
    ASSERT_EQ(show.exitCode, 0);
    const QJsonArray shown = parseObject(QString::fromUtf8(show.out)).value(QStringLiteral("tests")).toArray();
    ASSERT_EQ(shown.size(), 2);
    for (const QJsonValue& test : shown) {
        const qint64 executionID = test[QStringLiteral("execution_id")].toInteger();
        const auto rows = rowsOf(executionID);
        const QJsonArray intervals = test[QStringLiteral("intervals")].toArray();
        ASSERT_EQ(intervals.size(), static_cast<qsizetype>(rows.size()));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(intervals[i][QStringLiteral("end")].toString(), rows[i]->end_time);
            EXPECT_DOUBLE_EQ(intervals[i][QStringLiteral("bits_per_second")].toDouble(), rows[i]->speed);
        }
        EXPECT_EQ(test[QStringLiteral("status")].toString(), QStringLiteral("finished"));
    }
    const CliResult showText = runCli({QStringLiteral("show"), QString::number(runID)});
    ASSERT_EQ(showText.exitCode, 0);
    EXPECT_TRUE(showText.lines().contains(QStringLiteral("  Settings")));

    // export writes the window's documents.
    QTemporaryDir folder;
    const QString csv = folder.filePath(QStringLiteral("intervals.csv"));
    const QString summaryCsv = folder.filePath(QStringLiteral("summary.csv"));
    const QString json = folder.filePath(QStringLiteral("run.json"));
    const CliResult exported = runCli({QStringLiteral("export"), QString::number(runID), QStringLiteral("--csv"), csv,
                                       QStringLiteral("--summary-csv"), summaryCsv, QStringLiteral("--json"), json});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    const auto stored = TestProfileExecutionDAO().loadTestProfileExecutionWithID(runID);
    EXPECT_EQ(readFile(csv), (TestProfileExecutionBean::getIntervalResultHeader() + stored->getDetailedCSV()).toLatin1());
    EXPECT_EQ(readFile(summaryCsv),
              (TestProfileExecutionBean::getCSVSummeryHeader() +
               TestProfileExecutionBean::getCSVSummeryResultsLinesFromTestProfileExecutions({stored}))
                  .toLatin1());
    EXPECT_EQ(parseObject(QString::fromUtf8(readFile(json))), parseObject(QString::fromUtf8(show.out)));

    // delete takes the run with its rows; a second delete finds nothing.
    const CliResult deleted = runCli({QStringLiteral("delete"), QString::number(runID)});
    ASSERT_EQ(deleted.exitCode, 0) << deleted.err.toStdString();
    EXPECT_FALSE(TestProfileExecutionDAO().loadTestProfileExecutionWithID(runID));
    for (const auto& execution : executions)
        EXPECT_TRUE(rowsOf(execution->ID).empty());
    EXPECT_EQ(runCli({QStringLiteral("delete"), QString::number(runID)}).exitCode, 2);
}

TEST_F(FenwaveCli, ASavedProfileRunsWithIperf2ForThisRunOnlyAndStreamsJsonLines)
{
    const QStringList serverArguments{QStringLiteral("-s"), QStringLiteral("-B"), kLoopback, QStringLiteral("-p"),
                                      QStringLiteral("5001")};
    ServerProcess iperf2(QStringLiteral("iperf"), serverArguments);
    ASSERT_TRUE(waitUntilListening(5001, Transport::Tcp));
    auto profile = std::make_shared<TestQueueBean>();
    profile->testProfileName = QStringLiteral("Lab 3");
    profile->testList = {makeTest(timedPreset(2), kLoopback, 5201, 1), makeTest(timedPreset(3), kLoopback, 5201, 2)};
    ASSERT_TRUE(profile->save());

    const CliResult run = runCli({QStringLiteral("run"), QStringLiteral("--profile"), QStringLiteral("Lab 3"),
                                  QStringLiteral("--iperf2"), QStringLiteral("--json")});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    // The window's choice of iperf stays as it was.
    EXPECT_FALSE(FNWUtils::getUserSettingForKey(QLatin1String(kiPerfVersionKey)).isValid());

    std::map<qint64, std::vector<QJsonObject>> intervals;
    QStringList outcomes;
    QJsonObject end;
    for (const QString& line : run.lines()) {
        const QJsonObject object = parseObject(line);
        const QString type = object.value(QStringLiteral("type")).toString();
        if (type == QLatin1String("interval"))
            intervals[object.value(QStringLiteral("execution_id")).toInteger()].push_back(object);
        else if (type == QLatin1String("outcome"))
            outcomes << object.value(QStringLiteral("status")).toString();
        else if (type == QLatin1String("end"))
            end = object;
    }
    EXPECT_EQ(outcomes, (QStringList{QStringLiteral("finished"), QStringLiteral("finished")}));
    EXPECT_EQ(end.value(QStringLiteral("exit_code")).toInt(), 0);
    const auto executions = executionsOf(end.value(QStringLiteral("run_id")).toInteger());
    ASSERT_EQ(executions.size(), 2U);
    for (const auto& execution : executions) {
        EXPECT_EQ(execution->iperfVersion(), 1);
        const auto rows = rowsOf(execution->ID);
        const auto& streamed = intervals[execution->ID];
        ASSERT_EQ(streamed.size() + 1, rows.size());
        for (std::size_t i = 0; i < streamed.size(); ++i) {
            EXPECT_EQ(streamed[i].value(QStringLiteral("start")).toString(), rows[i]->start_time);
            EXPECT_DOUBLE_EQ(streamed[i].value(QStringLiteral("bytes")).toDouble(), rows[i]->data_transfered);
        }
    }
}

TEST_F(FenwaveCli, AFailedTestExitsOneAndCtrlCStopsTheRunLikeTheWindowsStop)
{
    // Nothing listens: the test fails with iperf's words and the address.
    const int closedPort = freePort();
    const CliResult failed = runCli({QStringLiteral("run"), QStringLiteral("--agent"),
                                     kLoopback + QLatin1Char(':') + QString::number(closedPort),
                                     QStringLiteral("--preset"), QStringLiteral("TCP 2s")});
    EXPECT_EQ(failed.exitCode, 1);
    ASSERT_FALSE(failed.lines().isEmpty());
    EXPECT_TRUE(failed.lines().filter(QStringLiteral("Failed   127.0.0.1 - TCP 2s: ")).size() == 1 &&
                failed.out.contains("(127.0.0.1)"))
        << failed.out.toStdString();

    Iperf3Server server;
    ASSERT_TRUE(server.listening());
    savePreset(QStringLiteral("TCP 30s"), 30);
    const QString before = rowCounts();
    QProcess process;
    process.start(QStringLiteral(FENWAVE_CLI_PATH), {QStringLiteral("run"), QStringLiteral("--agent"), server.agent(),
                                                     QStringLiteral("--preset"), QStringLiteral("TCP 30s"),
                                                     QStringLiteral("--json")});
    QByteArray out;
    while (!out.contains("\"interval\"") && process.waitForReadyRead(20000))
        out += process.readAllStandardOutput();
    ASSERT_TRUE(out.contains("\"interval\"")) << out.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(20000));
    out += process.readAllStandardOutput();
    EXPECT_EQ(process.exitCode(), 3);
    EXPECT_EQ(parseObject(QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts).last()).value(QStringLiteral("status")),
              QStringLiteral("interrupted"));
    EXPECT_TRUE(process.readAllStandardError().contains("Tests stopped"));
    EXPECT_TRUE(waitUntilGone({QStringLiteral("iperf3"), QStringLiteral("-c"), QString::number(server.port())}));
    EXPECT_TRUE(waitUntilGone({QStringLiteral("native-iperf"), QString::number(server.port())}));
    // As the window's stop: the running test's results are not kept; the profile and test rows
    // of the run stay.
    const QString after = rowCounts();
    EXPECT_TRUE(after.contains(QStringLiteral("test_profile_execution=1 ")) &&
                after.contains(QStringLiteral("test_execution_details=1 ")))
        << before.toStdString() << " / " << after.toStdString();
}

TEST_F(FenwaveCli, ARunKilledMidwayIsMarkedInterruptedByTheNextStartAndALiveRunIsLeftAlone)
{
    Iperf3Server server;
    ASSERT_TRUE(server.listening());
    savePreset(QStringLiteral("TCP 30s"), 30);
    QProcess killed;
    killed.start(QStringLiteral(FENWAVE_CLI_PATH), {QStringLiteral("run"), QStringLiteral("--agent"), server.agent(),
                                                    QStringLiteral("--preset"), QStringLiteral("TCP 30s"),
                                                    QStringLiteral("--json")});
    QByteArray out;
    while (out.count("\"interval\"") < 2 && killed.waitForReadyRead(20000))
        out += killed.readAllStandardOutput();
    ASSERT_EQ(out.count("\"interval\""), 2) << out.toStdString();
    const qint64 executionID =
        parseObject(QString::fromUtf8(out).split(u'\n').first()).value(QStringLiteral("execution_id")).toInteger();

    // Another start while the run lives leaves it running.
    EXPECT_EQ(runCli({QStringLiteral("history")}).exitCode, 0);
    auto execution = TestExecutionDAO().getRecordWithID(executionID);
    ASSERT_TRUE(execution);
    EXPECT_EQ(execution->value(QStringLiteral("executionStatus")).toLongLong(), 1);

    // Killed as a dying battery would: its iperf goes with it, and the next start ends the record.
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    ASSERT_TRUE(killed.waitForFinished(20000));
    EXPECT_TRUE(waitUntilGone({QStringLiteral("iperf3"), QStringLiteral("-c"), QString::number(server.port())}));
    const std::size_t rowsBefore = rowsOf(executionID).size();
    EXPECT_GE(rowsBefore, 2U);
    EXPECT_EQ(runCli({QStringLiteral("history")}).exitCode, 0);
    execution = TestExecutionDAO().getRecordWithID(executionID);
    ASSERT_TRUE(execution);
    EXPECT_EQ(execution->value(QStringLiteral("executionStatus")).toLongLong(), 3);
    EXPECT_EQ(execution->value(QStringLiteral("message")).toString(), QLatin1String(kInterruptedReason));
    EXPECT_EQ(rowsOf(executionID).size(), rowsBefore);
    QProcess check;
    check.start(QStringLiteral("sqlite3"), {FNWUtils::applicationSupportDirectory() + QStringLiteral("/fnwe.db"),
                                            QStringLiteral("pragma integrity_check")});
    ASSERT_TRUE(check.waitForFinished());
    EXPECT_EQ(check.readAllStandardOutput().trimmed(), "ok");
}

TEST_F(FenwaveCli, BadInputGetsOneLineAndExitTwoAndWritesNothing)
{
    const QString before = rowCounts();
    const QList<QStringList> bad{
        {QStringLiteral("run"), QStringLiteral("--agent"), QStringLiteral("300.1.2.3"), QStringLiteral("--preset"),
         QStringLiteral("TCP 2s")},
        {QStringLiteral("run"), QStringLiteral("--agent"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--preset"),
         QStringLiteral("TCP 2s")},
        {QStringLiteral("run"), QStringLiteral("--agent"), QStringLiteral("127.0.0.1:65536"), QStringLiteral("--preset"),
         QStringLiteral("TCP 2s")},
        {QStringLiteral("run"), QStringLiteral("--agent"), QStringLiteral("127.0.0.1"), QStringLiteral("--preset"),
         QStringLiteral("No such preset")},
        {QStringLiteral("run"), QStringLiteral("--agent"), QStringLiteral("127.0.0.1"), QStringLiteral("--agent"),
         QStringLiteral("127.0.0.2"), QStringLiteral("--preset"), QStringLiteral("TCP 2s")},
        {QStringLiteral("run"), QStringLiteral("--profile"), QStringLiteral("No such profile")},
        {QStringLiteral("show"), QStringLiteral("12abc")},
        {QStringLiteral("export"), QStringLiteral("-1"), QStringLiteral("--csv"), QStringLiteral("x.csv")},
        {QStringLiteral("delete"), QStringLiteral("424242")},
        {QStringLiteral("history"), QStringLiteral("--limit"), QStringLiteral("0")},
        {QStringLiteral("frobnicate")},
    };
    for (const QStringList& arguments : bad) {
        const CliResult result = runCli(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
        EXPECT_EQ(result.err.count('\n'), 1) << result.err.toStdString();
        EXPECT_TRUE(result.err.startsWith("fenwave-cli: ")) << result.err.toStdString();
    }
    EXPECT_EQ(rowCounts(), before);
    EXPECT_EQ(runCli({QStringLiteral("run"), QStringLiteral("--help")}).exitCode, 0);
}

TEST_F(FenwaveCli, ARunBesideTheApplicationsRunSharesItsDatabaseAndADataDirKeepsASurveyApart)
{
    Iperf3Server forTheWindow;
    Iperf3Server forTheCli;
    ASSERT_TRUE(forTheWindow.listening() && forTheCli.listening());
    ASSERT_TRUE(installWrappers());

    // This process plays the application: started as it starts, its test manager runs while the
    // CLI runs and writes into the same file.
    DBUtils::repairInterruptedRuns();
    auto manager = std::make_shared<TestManager>();
    NotificationRecorder notifications;
    auto profile = std::make_shared<TestQueueBean>();
    profile->testList = {makeTest(timedPreset(4), kLoopback, forTheWindow.port(), 1)};
    ASSERT_TRUE(profile->save());
    manager->startProfileExecutionWithTestProfile(profile);

    QProcess cli;
    cli.start(QStringLiteral(FENWAVE_CLI_PATH), {QStringLiteral("run"), QStringLiteral("--agent"), forTheCli.agent(),
                                                 QStringLiteral("--preset"), QStringLiteral("TCP 2s")});
    ASSERT_TRUE(waitUntil([&] { return cli.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardOutput().toStdString() << cli.readAllStandardError().toStdString();
    // The CLI's start took the window's running test for the window's, not for one left behind.
    for (const auto& execution : executionsOf(manager->executingProfile()->ID))
        EXPECT_NE(execution->executionStatus(), 3) << execution->message().toStdString();
    ASSERT_TRUE(waitUntil([&] { return notifications.hasEndNotification() && manager->isFreeToUse(); }, 60000));
    EXPECT_TRUE(notifications.names().contains(QLatin1String(TestProfileExecutionDidFinishedNotification)));

    const auto runs = TestProfileExecutionDAO().getAllExecutedTestProfileRecords();
    ASSERT_EQ(runs.size(), 2U);
    for (const auto& run : runs)
        for (const auto& execution : executionsOf(run->ID)) {
            EXPECT_EQ(execution->executionStatus(), 2) << execution->message().toStdString();
            EXPECT_GE(rowsOf(execution->ID).size(), 3U);
        }
    QProcess check;
    check.start(QStringLiteral("sqlite3"), {FNWUtils::applicationSupportDirectory() + QStringLiteral("/fnwe.db"),
                                            QStringLiteral("pragma integrity_check")});
    ASSERT_TRUE(check.waitForFinished());
    EXPECT_EQ(check.readAllStandardOutput().trimmed(), "ok");

    // Another data folder starts empty, keeps its own run, and leaves this one alone.
    QTemporaryDir survey;
    const QStringList dataDir{QStringLiteral("--data-dir"), survey.path()};
    const CliResult none = runCli(dataDir + QStringList{QStringLiteral("presets")});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(none.out.isEmpty());
    QProcess seed;
    seed.start(QStringLiteral("sqlite3"),
               {survey.filePath(QStringLiteral("fnwe.db")),
                QStringLiteral("insert into presets (name, duration, test_type, number_of_byte, datagram_size, send_bw, "
                               "data_format, buffer_length, tcp_window_size, tcp_max_segment_size, no_tcp_delay, "
                               "preset_type, agent_id, isAttachedToQueue, time_interval, viewPosition, direction) "
                               "values ('Survey', 2, 0, -1, 8, -1, 1, 128, -1, 40, 0, '', 0, 0, 1, 1, 0)")});
    ASSERT_TRUE(seed.waitForFinished());
    const CliResult surveyed = runCli(dataDir + QStringList{QStringLiteral("run"), QStringLiteral("--agent"),
                                                            forTheCli.agent(), QStringLiteral("--preset"),
                                                            QStringLiteral("Survey")});
    EXPECT_EQ(surveyed.exitCode, 0) << surveyed.out.toStdString() << surveyed.err.toStdString();
    // The preset's unit (Kbps) is the one printed.
    EXPECT_TRUE(surveyed.out.contains(" Kbps\n")) << surveyed.out.toStdString();
    const CliResult surveyHistory = runCli(dataDir + QStringList{QStringLiteral("history"), QStringLiteral("--json")});
    EXPECT_EQ(parseObject(QString::fromUtf8(surveyHistory.out)).value(QStringLiteral("executions")).toArray().size(), 1);
    EXPECT_EQ(TestProfileExecutionDAO().getAllExecutedTestProfileRecords().size(), 2U);
}

} // namespace
