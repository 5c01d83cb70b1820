// The test manager end to end: real iperf3 and iperf servers and the agent's Wi-Fi responder on
// 127.0.0.1, the installed wrappers under /bin/sh, the real database.

#include "FNWAgentWiFiServer.h"
#include "FNWAgentWiFiSource.h"
#include "FNWEngineTestSupport.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include "base/FNWNotifications.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "db/DBUtils.h"
#include "db/FNWDeferredWrites.h"
#include "db/FNWPresetDAO.h"
#include "db/TestExecutionDAO.h"
#include "db/TestIntervalResultsDAO.h"
#include "db/TestProfileExecutionDAO.h"
#include "db/TestQueueBeanDAO.h"
#include "engine/PerfTestParsing.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace fnw::test;

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");
const QString kAllDone = QLatin1String(AllTestProfileExecutionDidFinishedNotification);
const QString kFinished = QLatin1String(TestProfileExecutionDidFinishedNotification);
const QString kFailed = QLatin1String(TestProfileExecutionDidFailedNotification);
const QString kWarning = QLatin1String(ShowWarningOnMainWindowNotification);

class IperfServer final
{
public:
    // iperf3 on a free port, or iperf (TCP on 5001, UDP on 5002).
    static std::unique_ptr<IperfServer> iperf3()
    {
        const int port = freePort();
        auto server = std::unique_ptr<IperfServer>(
            new IperfServer(QStringLiteral("iperf3"), loopbackIperf3Arguments(port), port, Transport::Tcp));
        return server;
    }
    static std::unique_ptr<IperfServer> iperf2(Transport transport)
    {
        const int port = transport == Transport::Tcp ? 5001 : 5002;
        QStringList arguments{QStringLiteral("-s"), QStringLiteral("-B"), kLoopback, QStringLiteral("-p"),
                              QString::number(port)};
        if (transport == Transport::Udp)
            arguments << QStringLiteral("-u");
        return std::unique_ptr<IperfServer>(new IperfServer(QStringLiteral("iperf"), arguments, port, transport));
    }
    int port() const { return m_port; }
    bool listening() const { return m_listening; }
    void sendSignal(int signal) { m_process.sendSignal(signal); }

private:
    IperfServer(const QString& program, const QStringList& arguments, int port, Transport transport)
        : m_process(program, arguments)
        , m_port(port)
        , m_listening(waitUntilListening(port, transport))
    {
    }
    ServerProcess m_process;
    int m_port;
    bool m_listening;
};

// A TCP port that accepts connections (the kernel does) and never says a word.
class SilentServer final
{
public:
    SilentServer()
        : m_fd(listenOnLoopback(m_port))
    {
    }
    ~SilentServer() { ::close(m_fd); }
    int port() const { return m_port; }

private:
    int m_port = 0;
    int m_fd = -1;
};

class TestManagerRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(useFreshDatabase());
        ASSERT_TRUE(installWrappers());
        manager->setDelegate(view);
        manager->setWiFiDetailsReader([] {
            return fnw::engine::FNWWiFiDetails{QStringLiteral("HomeNet"), QStringLiteral("aa:bb:cc:dd:ee:01")};
        });
    }
    void TearDown() override
    {
        if (!manager->isFreeToUse())
            manager->stopProfileExecution();
        EXPECT_TRUE(PerfTest::waitForAllRunsToEnd(15000));
        // Nothing the run started outlives it: no shell, wrapper or iperf client, no zombie.
        EXPECT_TRUE(waitUntilNoChildren()) << descendantProcesses().join(u'\n').toStdString();
    }

    static std::shared_ptr<TestQueueBean> saveProfile(const QString& name, std::vector<std::shared_ptr<TestBean>> tests)
    {
        auto profile = std::make_shared<TestQueueBean>();
        profile->testProfileName = name;
        profile->testList = std::move(tests);
        QString error;
        EXPECT_TRUE(profile->save(&error)) << error.toStdString();
        return profile;
    }

    bool waitForEnd(int timeoutMs = 60000)
    {
        return waitUntil([this] { return notifications.hasEndNotification() && manager->isFreeToUse(); }, timeoutMs);
    }

    static std::vector<std::shared_ptr<TestExecutionBean>>
    executionsOf(const std::shared_ptr<TestProfileExecutionBean>& run)
    {
        return TestExecutionDAO().getAllTestExecutionsForProfileExecutionID(run->ID);
    }

    static std::shared_ptr<TestExecutionBean> executionOf(const std::shared_ptr<TestProfileExecutionBean>& run,
                                                          const std::shared_ptr<TestBean>& test)
    {
        for (const auto& execution : executionsOf(run))
            if (execution->testBean_id == test->ID)
                return execution;
        return nullptr;
    }

    // The data lines the run's wrapper printed, as the log shows the chunks it received.
    QStringList printedLines(const std::shared_ptr<TestBean>& test, const QString& marker) const
    {
        QStringList lines;
        const QString prefix = QStringLiteral("[TID=%1] ").arg(test->ID);
        for (const QString& message : log.messages())
            if (message.startsWith(prefix))
                for (const QString& line : message.mid(prefix.size()).split(u'\n'))
                    if (line.startsWith(marker))
                        lines << line;
        return lines;
    }

    // Every RESULT_ line printed is one stored row with its figures; the Finished_ line is the last row.
    void expectRowsAsPrinted(const std::shared_ptr<TestBean>& test, const std::shared_ptr<TestExecutionBean>& execution)
    {
        auto rows = TestIntervalResultsDAO().loadAllResultsForTestExectionID(execution->ID);
        std::reverse(rows.begin(), rows.end());
        const QStringList intervals = printedLines(test, QStringLiteral("RESULT_"));
        const QStringList finals = printedLines(test, QStringLiteral("Finished_"));
        ASSERT_FALSE(intervals.isEmpty());
        ASSERT_EQ(finals.size(), 1);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(intervals.size() + 1));
        for (qsizetype i = 0; i <= intervals.size(); ++i) {
            const auto line = fnw::engine::parsing::parseDataLine(i < intervals.size() ? intervals[i] : finals[0]);
            ASSERT_TRUE(line);
            EXPECT_EQ(rows[i]->end_time, line->end_time);
            EXPECT_FLOAT_EQ(rows[i]->speed, line->speed);
            EXPECT_FLOAT_EQ(rows[i]->data_transfered, line->data_transfered);
            EXPECT_EQ(rows[i]->test_id, test->ID);
        }
        EXPECT_EQ(execution->averageSpeed(), static_cast<qint64>(rows.back()->speed));
        EXPECT_EQ(execution->execution_duration(),
                  static_cast<qint64>(std::ceil(fnw::engine::parsing::readLeadingNumber(rows.back()->end_time))));
    }

    // A test cut short: every interval iperf printed is one stored row (iperf repeats the last one
    // when cut short, which is stored once), and no totals row.
    void expectPrintedIntervalsKept(const std::shared_ptr<TestBean>& test,
                                    const std::shared_ptr<TestExecutionBean>& execution)
    {
        QStringList printed;
        for (const QString& line : printedLines(test, QStringLiteral("RESULT_"))) {
            const auto parsed = fnw::engine::parsing::parseDataLine(line);
            ASSERT_TRUE(parsed) << line.toStdString();
            printed << parsed->start_time + u'-' + parsed->end_time;
        }
        printed.removeDuplicates();
        QStringList stored;
        for (const auto& row : TestIntervalResultsDAO().loadAllResultsForTestExectionID(execution->ID))
            stored << row->start_time + u'-' + row->end_time;
        std::sort(stored.begin(), stored.end(), [](const QString& a, const QString& b) {
            return fnw::engine::parsing::readLeadingNumber(a) < fnw::engine::parsing::readLeadingNumber(b);
        });
        EXPECT_FALSE(printed.isEmpty());
        EXPECT_EQ(stored, printed);
        EXPECT_LE(execution->averageSpeed(), 0); // never filled
    }

    std::shared_ptr<TestManager> manager = std::make_shared<TestManager>();
    std::shared_ptr<RecordingManagerDelegate> view = std::make_shared<RecordingManagerDelegate>();
    NotificationRecorder notifications;
    LogCapture log;
};

} // namespace

TEST_F(TestManagerRun, RunsTheTestsOfAnOrderTogetherThenTheNextOrder)
{
    // The agent's Wi-Fi responder, as fenwave-agent runs it.
    fnw::agent::FNWAgentWiFiServer responder({kLoopback, 5208}, [] {
        return fnw::agent::composeWiFiReply({QStringLiteral("Office"), QStringLiteral("A1:B2:C3:D4:E5:F6")});
    });
    QString error;
    ASSERT_TRUE(responder.listen(&error)) << error.toStdString();
    auto tcpServer = IperfServer::iperf3();
    auto udpServer = IperfServer::iperf3();
    auto amountServer = IperfServer::iperf3();
    ASSERT_TRUE(tcpServer->listening() && udpServer->listening() && amountServer->listening());

    auto udpPreset = timedPreset(2);
    udpPreset->test_type = 1;
    udpPreset->direction = 1;
    udpPreset->send_bw = 20;
    auto amountPreset = timedPreset(-1);
    amountPreset->number_of_byte = 1000;
    auto tcp = makeTest(timedPreset(2), kLoopback, tcpServer->port(), 1);
    auto udp = makeTest(udpPreset, kLoopback, udpServer->port(), 1);
    auto amount = makeTest(amountPreset, kLoopback, amountServer->port(), 2);
    auto profile = saveProfile(QStringLiteral("Lab"), {tcp, udp, amount});

    manager->startProfileExecutionWithTestProfile(profile);
    EXPECT_FALSE(manager->isFreeToUse());
    EXPECT_EQ(manager->orderInExecution(), 1);
    EXPECT_EQ(manager->perfTestThoseAreRunning().size(), 2U);
    ASSERT_TRUE(waitForEnd());

    EXPECT_EQ(notifications.names(), (QStringList{kAllDone, kFinished}));
    // The second order starts only once both tests of the first have reported.
    const QString third = QStringLiteral("will:%1").arg(amount->ID);
    ASSERT_EQ(view->calls.size(), 6);
    EXPECT_EQ(view->calls.indexOf(third), 4) << view->calls.join(u' ').toStdString();

    const auto run = manager->executingProfile();
    const auto stored = TestProfileExecutionDAO().getAllExecutedTestProfileRecords();
    ASSERT_EQ(stored.size(), 1U);
    EXPECT_EQ(stored[0]->profile_name, QLatin1String("Lab"));
    EXPECT_EQ(stored[0]->test_profile_id, profile->ID);
    ASSERT_EQ(executionsOf(run).size(), 3U);
    for (const auto& test : {tcp, udp, amount}) {
        const auto execution = executionOf(run, test);
        ASSERT_TRUE(execution);
        EXPECT_EQ(execution->executionStatus(), 2);
        EXPECT_EQ(execution->iperfVersion(), 0);
        EXPECT_EQ(execution->testProfile_id, profile->ID);
        EXPECT_EQ(execution->ssid, QLatin1String("HomeNet"));
        EXPECT_EQ(execution->bssid, QLatin1String("AA:BB:CC:DD:EE:01"));
        EXPECT_GT(execution->averageSpeed(), 0);
        expectRowsAsPrinted(test, execution);
        EXPECT_FALSE(test->sourceIPAddress.isEmpty());
    }
    for (const auto& test : {tcp, udp}) {
        const auto execution = executionOf(run, test);
        // The totals line may end a little past the two seconds on a loaded machine (2.04 s gives 3).
        EXPECT_GE(execution->execution_duration(), 2);
        EXPECT_LE(execution->execution_duration(), 3);
        EXPECT_EQ(execution->targetSsid(), QLatin1String("Office"));
        EXPECT_EQ(execution->targetBssid(), QLatin1String("A1:B2:C3:D4:E5:F6"));
    }

    // Jitter on the interval rows of the reverse UDP test only; on its final row too.
    auto udpRows = TestIntervalResultsDAO().loadAllResultsForTestExectionID(executionOf(run, udp)->ID);
    for (const auto& row : udpRows)
        EXPECT_TRUE(row->jitter.endsWith(QLatin1String(" ms"))) << row->jitter.toStdString();
    for (const auto& row : TestIntervalResultsDAO().loadAllResultsForTestExectionID(executionOf(run, tcp)->ID))
        EXPECT_TRUE(row->jitter.isEmpty());

    // The run by amount keeps its amount, in memory and stored; the time it took is the execution's.
    EXPECT_GE(executionOf(run, amount)->execution_duration(), 1);
    EXPECT_EQ(amountPreset->duration, -1);
    for (const auto& preset : FNWPresetDAO().getAllRecords())
        if (preset->ID == amountPreset->ID) {
            EXPECT_EQ(preset->duration, -1);
            EXPECT_EQ(preset->number_of_byte, amountPreset->number_of_byte);
        }
}

TEST_F(TestManagerRun, RunsIperf2AgainstItsFixedPorts)
{
    FNWUtils::setUserSetting(1, QLatin1String(kiPerfVersionKey));
    auto tcpServer = IperfServer::iperf2(Transport::Tcp);
    auto udpServer = IperfServer::iperf2(Transport::Udp);
    ASSERT_TRUE(tcpServer->listening() && udpServer->listening());

    auto udpPreset = timedPreset(2);
    udpPreset->test_type = 1;
    udpPreset->send_bw = 5;
    // The agent's port is not used with iperf2.
    auto tcp = makeTest(timedPreset(2), kLoopback, 5201, 1);
    auto udp = makeTest(udpPreset, kLoopback, 5201, 2);
    manager->startProfileExecutionWithTestProfile(saveProfile(QStringLiteral("Old agents"), {tcp, udp}));
    ASSERT_TRUE(waitForEnd());

    EXPECT_EQ(notifications.names(), (QStringList{kAllDone, kFinished}));
    for (const auto& test : {tcp, udp}) {
        const auto execution = executionOf(manager->executingProfile(), test);
        ASSERT_TRUE(execution);
        EXPECT_EQ(execution->executionStatus(), 2) << execution->message().toStdString();
        EXPECT_EQ(execution->iperfVersion(), 1);
        expectRowsAsPrinted(test, execution);
    }
    const auto udpRows =
        TestIntervalResultsDAO().loadAllResultsForTestExectionID(executionOf(manager->executingProfile(), udp)->ID);
    ASSERT_FALSE(udpRows.empty());
    // Most recent first: the final row carries the server's jitter, the intervals none.
    EXPECT_FALSE(udpRows.front()->jitter.isEmpty());
    EXPECT_TRUE(udpRows.back()->jitter.isEmpty());

    // Without a server nothing confirms what was sent: the test fails and keeps no intervals.
    udpServer.reset();
    auto unheard = makeTest(udpPreset, kLoopback, 5201, 1);
    manager->startProfileExecutionWithTestProfile(saveProfile(QString(), {unheard}));
    ASSERT_TRUE(waitUntil([this] { return notifications.names().endsWith(kFailed) && manager->isFreeToUse(); }));
    const auto failed = executionOf(manager->executingProfile(), unheard);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->executionStatus(), 3);
    EXPECT_TRUE(TestIntervalResultsDAO().loadAllResultsForTestExectionID(failed->ID).empty());
}

TEST_F(TestManagerRun, FailedTestsStillRunEveryOrderInAscendingOrder)
{
    // Nobody listens: iperf's connection is refused at once.
    auto late = makeTest(timedPreset(2), kLoopback, freePort(), 7);
    auto early = makeTest(timedPreset(2), kLoopback, freePort(), 3);
    manager->startProfileExecutionWithTestProfile(saveProfile(QString(), {late, early}));
    EXPECT_EQ(manager->orderInExecution(), 3);
    ASSERT_TRUE(waitForEnd());
    ASSERT_TRUE(waitUntil([this] { return notifications.userInfosOf(kWarning).size() == 2; }));

    EXPECT_LT(view->calls.indexOf(QStringLiteral("will:%1").arg(early->ID)),
              view->calls.indexOf(QStringLiteral("will:%1").arg(late->ID)));
    EXPECT_TRUE(
        log.messages().contains(QLatin1String("TestManager: startProfileExecution - next test order to execute is 7")));
    EXPECT_EQ(notifications.names().filter(QRegularExpression(QStringLiteral("^TestProfile"))), QStringList{kFailed});

    QStringList warnings;
    for (const auto& test : {early, late}) {
        const auto execution = executionOf(manager->executingProfile(), test);
        ASSERT_TRUE(execution);
        EXPECT_EQ(execution->executionStatus(), 3);
        EXPECT_TRUE(execution->message().contains(QLatin1String("Connection refused")))
            << execution->message().toStdString();
        warnings << execution->message() + QLatin1String(" (127.0.0.1)");
    }
    for (const auto& userInfo : notifications.userInfosOf(kWarning))
        EXPECT_TRUE(warnings.contains(userInfo.value(QLatin1String(kErrorKey)).toString()));
}

TEST_F(TestManagerRun, ASilentServerFailsAfterThreeSecondsAndDecidesTheEndNotification)
{
    auto server = IperfServer::iperf3();
    ASSERT_TRUE(server->listening());
    SilentServer silent;
    auto healthy = makeTest(timedPreset(2), kLoopback, server->port(), 1);
    auto mute = makeTest(timedPreset(2), kLoopback, silent.port(), 1);
    QElapsedTimer clock;
    clock.start();
    manager->startProfileExecutionWithTestProfile(saveProfile(QString(), {healthy, mute}));
    ASSERT_TRUE(waitForEnd());
    EXPECT_GE(clock.elapsed(), 2900);
    EXPECT_LT(clock.elapsed(), 8000);
    ASSERT_TRUE(waitUntil([this] { return !notifications.userInfosOf(kWarning).empty(); }));

    const auto run = manager->executingProfile();
    EXPECT_EQ(executionOf(run, healthy)->executionStatus(), 2);
    EXPECT_EQ(executionOf(run, mute)->executionStatus(), 3);
    EXPECT_EQ(executionOf(run, mute)->message(),
              QLatin1String(" Connection timedout, no Response received from server."));
    // One test finished, so the run counts as finished though the failure reported last.
    EXPECT_EQ(notifications.names().filter(QRegularExpression(QStringLiteral("^TestProfile"))), QStringList{kFinished});
    EXPECT_TRUE(waitUntilGone({QStringLiteral("native-iperf"), QString::number(silent.port())}));
    ASSERT_TRUE(PerfTest::waitForAllRunsToEnd(10000));
    EXPECT_EQ(notifications.userInfosOf(kWarning).size(), 1U);
}

TEST_F(TestManagerRun, ChainsWaitingProfilesAndEndsOnce)
{
    auto server = IperfServer::iperf3();
    ASSERT_TRUE(server->listening());
    auto first = saveProfile(QString(), {makeTest(timedPreset(2), kLoopback, server->port(), 1)});
    auto second = saveProfile(QString(), {makeTest(timedPreset(2), kLoopback, server->port(), 2)});
    auto third = saveProfile(QStringLiteral("Rerun"), {makeTest(timedPreset(2), kLoopback, server->port(), 1)});
    manager->addTestProfileToQeue(first);
    manager->addTestProfileToQeue(second);
    // A start while the manager is busy waits its turn instead of taking over the running profile.
    manager->startProfileExecutionWithTestProfile(third);
    EXPECT_EQ(manager->testProfile(), first);
    EXPECT_EQ(manager->profilesToBeExecuted().size(), 2U);
    ASSERT_TRUE(waitForEnd());

    EXPECT_EQ(notifications.names(), (QStringList{kAllDone, kAllDone, kAllDone, kFinished}));
    auto runs = TestProfileExecutionDAO().getAllExecutedTestProfileRecords();
    ASSERT_EQ(runs.size(), 3U);
    std::sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) { return a->ID < b->ID; });
    EXPECT_EQ(runs[2]->profile_name, QLatin1String("Rerun"));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto executions = TestExecutionDAO().getAllTestExecutionsForProfileExecutionID(runs[i]->ID);
        ASSERT_EQ(executions.size(), 1U);
        EXPECT_EQ(executions[0]->executionStatus(), 2);
        if (i > 0) {
            EXPECT_GE(runs[i - 1]->execution_date.msecsTo(runs[i]->execution_date), 500);
        }
    }
}

TEST_F(TestManagerRun, AnEmptyProfileInTheChainPassesOnToTheNext)
{
    auto server = IperfServer::iperf3();
    ASSERT_TRUE(server->listening());
    manager->addTestProfileToQeue(saveProfile(QString(), {makeTest(timedPreset(2), kLoopback, server->port(), 1)}));
    manager->addTestProfileToQeue(saveProfile(QStringLiteral("Empty"), {}));
    manager->addTestProfileToQeue(saveProfile(QString(), {makeTest(timedPreset(2), kLoopback, freePort(), 1)}));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(notifications.names().filter(QRegularExpression(QStringLiteral("^(All|TestProfile)"))),
              (QStringList{kAllDone, kAllDone, kAllDone, kFinished}));
    EXPECT_EQ(TestProfileExecutionDAO().getAllRecords().size(), 3U);
}

TEST_F(TestManagerRun, AStopBetweenTwoProfilesKeepsTheEndedOneAndStartsNothing)
{
    auto server = IperfServer::iperf3();
    ASSERT_TRUE(server->listening());
    auto ended = makeTest(timedPreset(2), kLoopback, server->port(), 1);
    auto waiting = saveProfile(QString(), {makeTest(timedPreset(2), kLoopback, server->port(), 2)});
    manager->addTestProfileToQeue(saveProfile(QString(), {ended}));
    manager->addTestProfileToQeue(waiting);
    const auto run = manager->executingProfile();
    // The first profile has ended; the next starts 0.5 s later unless stopped.
    ASSERT_TRUE(waitUntil([this] { return notifications.names().contains(kAllDone); }));
    manager->stopProfileExecution();
    EXPECT_TRUE(manager->isFreeToUse());
    QEventLoop pause;
    QTimer::singleShot(800, &pause, &QEventLoop::quit);
    pause.exec();
    EXPECT_EQ(manager->executingProfile(), run);
    EXPECT_TRUE(manager->perfTestThoseAreRunning().empty());
    ASSERT_EQ(executionsOf(run).size(), 1U);
    EXPECT_EQ(executionsOf(run)[0]->executionStatus(), 2);
    const auto waitingRow =
        TestQueueBeanDAO().getRecordsWithMatchingWhereClause(QStringLiteral("where id = %1").arg(waiting->ID));
    ASSERT_EQ(waitingRow.size(), 1);
    EXPECT_EQ(waitingRow[0].value(QStringLiteral("isDeleted")).toInt(), 1);

    // The finished test of the stopped chain does not make the next run's failure a success.
    manager->startProfileExecutionWithTestProfile(
        saveProfile(QString(), {makeTest(timedPreset(2), kLoopback, freePort(), 1)}));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(notifications.names().filter(QRegularExpression(QStringLiteral("^TestProfile"))), QStringList{kFailed});
}

TEST_F(TestManagerRun, AStopDeletesTheRunAndTheWaitingTemporaryProfilesAndEndsTheProcesses)
{
    // Four tests at once, each against a server of its own.
    std::vector<std::unique_ptr<IperfServer>> servers;
    std::vector<std::shared_ptr<TestBean>> running;
    for (int i = 0; i < 4; ++i) {
        servers.push_back(IperfServer::iperf3());
        ASSERT_TRUE(servers.back()->listening());
        running.push_back(makeTest(timedPreset(20), kLoopback, servers.back()->port(), 1));
    }
    const int port = servers.front()->port();
    auto waiting = saveProfile(QString(), {makeTest(timedPreset(2), kLoopback, port, 2)});
    // A saved profile waiting its turn is the user's and stays.
    auto saved = saveProfile(QStringLiteral("Weekly"), {makeTest(timedPreset(2), kLoopback, port, 1)});
    manager->addTestProfileToQeue(saveProfile(QString(), running));
    manager->addTestProfileToQeue(waiting);
    manager->startProfileExecutionWithTestProfile(saved);
    const auto run = manager->executingProfile();
    ASSERT_TRUE(waitUntil([&] {
        const auto runs = manager->perfTestThoseAreRunning();
        return runs.size() == 4 &&
               std::all_of(runs.begin(), runs.end(), [](const auto& one) { return !one->intervalResults().empty(); });
    }));
    std::vector<std::shared_ptr<TestExecutionBean>> executions;
    for (const auto& test : running) {
        executions.push_back(executionOf(run, test));
        ASSERT_TRUE(executions.back());
    }

    manager->stopProfileExecution();
    EXPECT_TRUE(manager->isFreeToUse());
    EXPECT_TRUE(manager->isStopped());
    EXPECT_EQ(view->calls.last(), QLatin1String("stopped"));
    for (const auto& server : servers) {
        EXPECT_TRUE(waitUntilGone({QStringLiteral("native-iperf"), QString::number(server->port())}, 5000));
        EXPECT_TRUE(waitUntilGone({QStringLiteral("iperf3"), QStringLiteral("-c"), QString::number(server->port())}, 5000));
    }
    ASSERT_TRUE(PerfTest::waitForAllRunsToEnd(10000));

    EXPECT_TRUE(TestProfileExecutionDAO().getAllExecutedTestProfileRecords().empty());
    EXPECT_TRUE(executionsOf(run).empty());
    for (const auto& execution : executions)
        EXPECT_TRUE(TestIntervalResultsDAO().loadAllResultsForTestExectionID(execution->ID).empty());
    const auto waitingRow =
        TestQueueBeanDAO().getRecordsWithMatchingWhereClause(QStringLiteral("where id = %1").arg(waiting->ID));
    ASSERT_EQ(waitingRow.size(), 1);
    EXPECT_EQ(waitingRow[0].value(QStringLiteral("isDeleted")).toInt(), 1);
    const auto savedRow =
        TestQueueBeanDAO().getRecordsWithMatchingWhereClause(QStringLiteral("where id = %1").arg(saved->ID));
    ASSERT_EQ(savedRow.size(), 1);
    EXPECT_EQ(savedRow[0].value(QStringLiteral("isDeleted")).toInt(), 0);
    EXPECT_TRUE(manager->profilesToBeExecuted().empty());
    EXPECT_FALSE(notifications.hasEndNotification());
}

TEST_F(TestManagerRun, AnEmptyProfileIsRecordedAndEndsWithoutAnEndNotification)
{
    manager->startProfileExecutionWithTestProfile(saveProfile(QStringLiteral("Empty"), {}));
    EXPECT_TRUE(manager->isFreeToUse());
    EXPECT_EQ(notifications.names(), QStringList{kAllDone});
    const auto runs = TestProfileExecutionDAO().getAllRecords();
    ASSERT_EQ(runs.size(), 1U);
    EXPECT_EQ(runs[0]->profile_name, QLatin1String("Empty"));
}

namespace {

// Two tests at once, sending and receiving, whose servers are stopped about three seconds into ten.
class TestManagerServerGone : public TestManagerRun
{
protected:
    void stopServersMidRun(int signal)
    {
        auto sendingServer = IperfServer::iperf3();
        auto receivingServer = IperfServer::iperf3();
        ASSERT_TRUE(sendingServer->listening() && receivingServer->listening());
        auto reversePreset = timedPreset(10);
        reversePreset->direction = 1;
        auto sending = makeTest(timedPreset(10), kLoopback, sendingServer->port(), 1);
        auto receiving = makeTest(reversePreset, kLoopback, receivingServer->port(), 1);
        manager->startProfileExecutionWithTestProfile(saveProfile(QStringLiteral("Gone"), {sending, receiving}));
        // Stopped once both have three intervals, as the run itself counts them (the log may lag).
        ASSERT_TRUE(waitUntil(
            [&] {
                const auto runs = manager->perfTestThoseAreRunning();
                return runs.size() == 2 && std::all_of(runs.begin(), runs.end(), [](const auto& run) {
                           return run->intervalResults().size() >= 3;
                       });
            },
            10000))
            << log.messages().filter(QStringLiteral("PerfTest")).join(u'\n').toStdString();
        sendingServer->sendSignal(signal);
        receivingServer->sendSignal(signal);
        ASSERT_TRUE(waitForEnd(5000));

        const auto run = manager->executingProfile();
        for (const auto& test : {sending, receiving}) {
            const auto execution = executionOf(run, test);
            ASSERT_TRUE(execution);
            const std::string message = execution->message().toStdString();
            EXPECT_EQ(execution->executionStatus(), 3) << message;
            // Which words iperf3 finds depends on where the stop catches it ("the server has terminated",
            // "control socket has closed unexpectedly"); a failure in its own words either way.
            EXPECT_NE(message.find("iperf3: error - "), std::string::npos) << message;
            expectPrintedIntervalsKept(test, execution);
        }
    }
};

} // namespace

TEST_F(TestManagerServerGone, AServiceStopFailsBothDirectionsWithIperfsWords)
{
    stopServersMidRun(SIGTERM);
}

TEST_F(TestManagerServerGone, ACrashFailsBothDirectionsWithIperfsWords)
{
    stopServersMidRun(SIGKILL);
}

TEST_F(TestManagerServerGone, Iperf2ServersKilledMidRunFailTheirTestsAndNeverFinish)
{
    FNWUtils::setUserSetting(1, QLatin1String(kiPerfVersionKey));
    auto tcpServer = IperfServer::iperf2(Transport::Tcp);
    auto udpServer = IperfServer::iperf2(Transport::Udp);
    ASSERT_TRUE(tcpServer->listening() && udpServer->listening());
    auto udpPreset = timedPreset(6);
    udpPreset->test_type = 1;
    udpPreset->send_bw = 5;
    auto tcp = makeTest(timedPreset(20), kLoopback, 5201, 1);
    auto udp = makeTest(udpPreset, kLoopback, 5201, 1);
    manager->startProfileExecutionWithTestProfile(saveProfile(QStringLiteral("Old agents"), {tcp, udp}));
    ASSERT_TRUE(waitUntil([&] {
        const auto runs = manager->perfTestThoseAreRunning();
        return runs.size() == 2 && std::all_of(runs.begin(), runs.end(), [](const auto& run) {
                   return run->intervalResults().size() >= 2;
               });
    }));
    tcpServer->sendSignal(SIGKILL);
    udpServer->sendSignal(SIGKILL);
    const auto run = manager->executingProfile();
    const auto statusOf = [&](const std::shared_ptr<TestBean>& test) {
        const auto execution = executionOf(run, test);
        return execution ? execution->executionStatus() : -1;
    };
    // The TCP client hears of it at its next write and fails at once: in iperf's words, or, where
    // the reset reaches it first and it prints a short summary, with the span that summary covers.
    EXPECT_TRUE(waitUntil([&] { return statusOf(tcp) == 3; }, 5000));
    const QString tcpMessage = executionOf(run, tcp)->message();
    EXPECT_TRUE(tcpMessage.contains(QStringLiteral("write failed")) ||
                tcpMessage.contains(QRegularExpression(QStringLiteral("summary covers only [0-9.]+ of 20 seconds"))))
        << tcpMessage.toStdString();
    expectPrintedIntervalsKept(tcp, executionOf(run, tcp));
    // A UDP sender hears nothing back until the end of its time, then has no server's report:
    // failed, and none of what it only sent is kept.
    ASSERT_TRUE(waitForEnd(30000));
    EXPECT_EQ(statusOf(udp), 3);
    EXPECT_TRUE(TestIntervalResultsDAO().loadAllResultsForTestExectionID(executionOf(run, udp)->ID).empty());
    EXPECT_EQ(notifications.names().filter(QRegularExpression(QStringLiteral("^TestProfile"))), QStringList{kFailed});
    EXPECT_TRUE(waitUntilGone({QStringLiteral("native-iPerf-2")}));
}

TEST_F(TestManagerServerGone, AnAgentKilledMidRunTakesItsServersAlongAndFailsTheTest)
{
    const QString iperf3Port = QString::number(freePort());
    ServerProcess agent(QStringLiteral(FENWAVE_AGENT_PATH),
                       {QStringLiteral("--bind"), kLoopback, QStringLiteral("--iperf3-port"), iperf3Port,
                        QStringLiteral("--tcp-port"), QString::number(freePort()), QStringLiteral("--udp-port"),
                        QString::number(freePort(Transport::Udp)), QStringLiteral("--wifi-port"), QStringLiteral("0")});
    ASSERT_TRUE(waitUntilListening(iperf3Port.toInt(), Transport::Tcp));
    auto test = makeTest(timedPreset(10), kLoopback, iperf3Port.toInt(), 1);
    auto after = makeTest(timedPreset(2), kLoopback, iperf3Port.toInt(), 2);
    manager->startProfileExecutionWithTestProfile(saveProfile(QStringLiteral("Agent gone"), {test, after}));
    ASSERT_TRUE(waitUntil([&] {
        const auto runs = manager->perfTestThoseAreRunning();
        return runs.size() == 1 && runs[0]->intervalResults().size() >= 2;
    }));
    agent.sendSignal(SIGKILL);
    // Its iperf3 server goes with it, so the client hears of it at once, and the next order finds
    // nobody listening.
    ASSERT_TRUE(waitForEnd(5000));
    const auto run = manager->executingProfile();
    const auto execution = executionOf(run, test);
    ASSERT_TRUE(execution);
    EXPECT_EQ(execution->executionStatus(), 3);
    EXPECT_TRUE(execution->message().contains(QStringLiteral("iperf3: error - "))) << execution->message().toStdString();
    expectPrintedIntervalsKept(test, execution);
    EXPECT_EQ(executionOf(run, after)->executionStatus(), 3);
    EXPECT_EQ(notifications.names().filter(QRegularExpression(QStringLiteral("^TestProfile"))), QStringList{kFailed});
    EXPECT_TRUE(waitUntilGone({QStringLiteral("iperf3"), QStringLiteral("-s"), QStringLiteral("-p"), iperf3Port}));
}

TEST_F(TestManagerRun, AWrapperMissingFromTheSupportFolderFailsEveryTestAtOnce)
{
    auto server = IperfServer::iperf3();
    ASSERT_TRUE(server->listening());
    ASSERT_TRUE(QFile::remove(FNWUtils::getiPerfExecutablePath()));
    auto first = makeTest(timedPreset(2), kLoopback, server->port(), 1);
    auto second = makeTest(timedPreset(2), kLoopback, server->port(), 2);
    manager->startProfileExecutionWithTestProfile(saveProfile(QStringLiteral("No wrapper"), {first, second}));
    ASSERT_TRUE(waitForEnd(5000));
    const auto run = manager->executingProfile();
    for (const auto& test : {first, second}) {
        const auto execution = executionOf(run, test);
        ASSERT_TRUE(execution);
        EXPECT_EQ(execution->executionStatus(), 3);
        EXPECT_TRUE(execution->message().contains(QStringLiteral("not found"))) << execution->message().toStdString();
        EXPECT_TRUE(TestIntervalResultsDAO().loadAllResultsForTestExectionID(execution->ID).empty());
    }
    EXPECT_EQ(notifications.names().filter(QRegularExpression(QStringLiteral("^TestProfile"))), QStringList{kFailed});
}

TEST_F(TestManagerRun, ShellSyntaxStoredInAnAgentRunsNothingAndStartsNoProcess)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString marker = folder.filePath(QStringLiteral("ran"));
    const QStringList hostile{QStringLiteral("127.0.0.1; touch ") + marker, QStringLiteral("$(touch ") + marker + u')',
                              QStringLiteral("`touch ") + marker + u'`', QStringLiteral("127.0.0.1\ntouch ") + marker,
                              QStringLiteral("'; touch ") + marker + QStringLiteral("; '")};
    std::vector<std::shared_ptr<TestBean>> tests;
    for (qsizetype i = 0; i < hostile.size(); ++i)
        tests.push_back(makeTest(timedPreset(2), kLoopback, freePort(), 1));
    const auto saved = saveProfile(QStringLiteral("Hostile"), tests);
    // Written behind the application's back, as another program or a damaged copy would.
    for (qsizetype i = 0; i < hostile.size(); ++i) {
        QString text = hostile[i];
        text.replace(u'\'', QLatin1String("''"));
        ASSERT_TRUE(executeSQL(QStringLiteral("UPDATE agents SET ip_address = '%1', agent_name = '%1' "
                                              "WHERE id = (SELECT agent_id FROM test WHERE id = %2)")
                                   .arg(text)
                                   .arg(tests[static_cast<std::size_t>(i)]->ID)));
    }
    auto loaded = std::make_shared<TestQueueBean>();
    loaded->ID = saved->ID;
    loaded->testProfileName = saved->testProfileName;
    loaded->testList = TestQueueBeanDAO().getAllAssociatedTestBeans(saved->ID);
    ASSERT_EQ(loaded->testList.size(), tests.size());

    manager->startProfileExecutionWithTestProfile(loaded);
    ASSERT_TRUE(waitForEnd(5000));
    QStringList refusals;
    for (const auto& execution : executionsOf(manager->executingProfile())) {
        EXPECT_EQ(execution->executionStatus(), 3);
        refusals << execution->message();
    }
    for (const QString& address : hostile)
        EXPECT_TRUE(refusals.contains(QStringLiteral("Invalid agent address '%1'.").arg(address)))
            << address.toStdString();
    EXPECT_TRUE(log.messages().filter(QStringLiteral("arguments are")).isEmpty());
    EXPECT_FALSE(QFile::exists(marker));
}

namespace {

// A server frozen with SIGSTOP mid-run: the client keeps its connection and prints empty intervals,
// then waits for results that never come. The watchdog's silence is made two seconds for the test.
class TestManagerFrozenServer : public TestManagerRun
{
protected:
    void SetUp() override
    {
        TestManagerRun::SetUp();
        PerfTest::setWatchdogLimits({std::chrono::milliseconds(2000), 2, 3.0});
    }
    void TearDown() override
    {
        TestManagerRun::TearDown();
        PerfTest::setWatchdogLimits(m_savedLimits);
    }

    // Starts the profile and freezes the server once the test has printed two interval lines.
    void runAndFreeze(const std::shared_ptr<TestQueueBean>& profile, IperfServer& server,
                      const std::shared_ptr<TestBean>& frozen)
    {
        manager->startProfileExecutionWithTestProfile(profile);
        ASSERT_TRUE(waitUntil([&] { return printedLines(frozen, QStringLiteral("RESULT_")).size() >= 2; }, 10000));
        server.sendSignal(SIGSTOP);
        // Two seconds of silence or of empty intervals past what the test could take, and the rest.
        ASSERT_TRUE(waitForEnd(30000));
        EXPECT_TRUE(waitUntilGone({QStringLiteral("iperf3"), QStringLiteral("-c"), QString::number(server.port())}));
    }

    // The frozen test failed in the watchdog's words; every other test of the run finished.
    void expectOnlyFrozenFailed(const std::shared_ptr<TestBean>& frozen, std::vector<std::shared_ptr<TestBean>> others,
                                const QString& words)
    {
        const auto run = manager->executingProfile();
        const auto failed = executionOf(run, frozen);
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->executionStatus(), 3);
        EXPECT_TRUE(failed->message().contains(words)) << failed->message().toStdString();
        for (const auto& test : others) {
            const auto execution = executionOf(run, test);
            ASSERT_TRUE(execution);
            EXPECT_EQ(execution->executionStatus(), 2) << execution->message().toStdString();
        }
        EXPECT_EQ(notifications.names().filter(QRegularExpression(QStringLiteral("^TestProfile"))),
                  QStringList{kFinished});
    }

private:
    const fnw::engine::FNWWatchdogLimits m_savedLimits = PerfTest::watchdogLimits();
};

} // namespace

TEST_F(TestManagerFrozenServer, ARunByAmountThatStallsFailsAndTheNextOrderRuns)
{
    auto frozenServer = IperfServer::iperf3();
    auto server = IperfServer::iperf3();
    ASSERT_TRUE(frozenServer->listening() && server->listening());
    // More than loopback moves in the whole test: the amount is never reached.
    auto amountPreset = timedPreset(-1);
    amountPreset->number_of_byte = 1000000;
    auto frozen = makeTest(amountPreset, kLoopback, frozenServer->port(), 1);
    auto beside = makeTest(timedPreset(2), kLoopback, server->port(), 1);
    auto next = makeTest(timedPreset(2), kLoopback, server->port(), 2);
    runAndFreeze(saveProfile(QStringLiteral("Stall"), {frozen, beside, next}), *frozenServer, frozen);
    expectOnlyFrozenFailed(frozen, {beside, next}, QStringLiteral("moved no data"));
}

TEST_F(TestManagerFrozenServer, ATimedRunWaitingForResultsFailsAndAFailureFirstStillCompletesTheRun)
{
    auto frozenServer = IperfServer::iperf3();
    auto server = IperfServer::iperf3();
    ASSERT_TRUE(frozenServer->listening() && server->listening());
    // The refused test fails at once, the frozen one a few seconds later, and the last order finishes.
    auto refused = makeTest(timedPreset(2), kLoopback, freePort(), 1);
    auto frozen = makeTest(timedPreset(3), kLoopback, frozenServer->port(), 1);
    auto next = makeTest(timedPreset(2), kLoopback, server->port(), 2);
    runAndFreeze(saveProfile(QString(), {refused, frozen, next}), *frozenServer, frozen);
    expectOnlyFrozenFailed(frozen, {next}, QStringLiteral("No interval result received in the last 2 seconds"));
    EXPECT_EQ(executionOf(manager->executingProfile(), refused)->executionStatus(), 3);
}

namespace {

// Another program (a second window, a backup) takes the database's write lock once the run has
// recorded its start.
class TestManagerLockedDatabase : public TestManagerRun
{
protected:
    void SetUp() override
    {
        TestManagerRun::SetUp();
        FNWDeferredWrites::shared().setRetryIntervalForTesting(std::chrono::milliseconds(50));
    }

    void runUnderLock(int holdMs, bool endsWithinTheLock)
    {
        auto server = IperfServer::iperf3();
        ASSERT_TRUE(server->listening());
        auto test = makeTest(timedPreset(3), kLoopback, server->port());
        manager->startProfileExecutionWithTestProfile(saveProfile(QStringLiteral("Locked"), {test}));
        ASSERT_EQ(view->calls, QStringList{QStringLiteral("will:%1").arg(test->ID)});
        DatabaseLockHolder other(DBUtils::appDBPath(), holdMs);
        ASSERT_TRUE(other.locked());
        ASSERT_TRUE(waitForEnd(30000));
        if (endsWithinTheLock)
            EXPECT_GT(FNWDeferredWrites::shared().count(), 0U) << "the outcome waits for the lock";
        ASSERT_TRUE(other.waitUntilReleased());
        ASSERT_TRUE(waitUntil([] { return FNWDeferredWrites::shared().count() == 0; }));

        const auto execution = executionOf(manager->executingProfile(), test);
        ASSERT_TRUE(execution);
        EXPECT_EQ(execution->executionStatus(), 2) << execution->message().toStdString();
        expectRowsAsPrinted(test, execution);
        EXPECT_EQ(notifications.names(), (QStringList{kAllDone, kFinished}));
        EXPECT_FALSE(log.messages().filter(QStringLiteral("the database is locked, keeping the interval")).isEmpty());
    }
};

} // namespace

TEST_F(TestManagerLockedDatabase, RowsKeptDuringAShortLockAreWrittenWhenItGoes)
{
    runUnderLock(3000, false);
}

TEST_F(TestManagerLockedDatabase, ARunEndingInsideALongLockKeepsEveryRowAndItsOutcome)
{
    runUnderLock(10000, true);
}

TEST_F(TestManagerLockedDatabase, ARunThatCannotBeRecordedDoesNotStart)
{
    auto test = makeTest(timedPreset(3), kLoopback, freePort());
    auto profile = saveProfile(QStringLiteral("Unrecorded"), {test});
    {
        DatabaseLockHolder other(DBUtils::appDBPath(), 10000);
        ASSERT_TRUE(other.locked());
        manager->startProfileExecutionWithTestProfile(profile);
        EXPECT_TRUE(manager->isFreeToUse());
        EXPECT_TRUE(manager->perfTestThoseAreRunning().empty());
        EXPECT_TRUE(view->calls.isEmpty());
        EXPECT_EQ(notifications.names(), (QStringList{kAllDone, kFailed}));
    }
    EXPECT_TRUE(TestProfileExecutionDAO().getAllExecutedTestProfileRecords().empty());
}
