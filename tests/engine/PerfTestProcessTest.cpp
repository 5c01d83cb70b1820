// A run's process under /bin/sh, with scripts in place of iperf: how output, errors, exits and stops
// become the one outcome.

#include "FNWEngineTestSupport.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include "base/FNWUtils.h"
#include "db/TestIntervalResultsDAO.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <vector>

using namespace fnw::test;

namespace {

class PerfTestProcess : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(useFreshDatabase()); }
    void TearDown() override { EXPECT_TRUE(PerfTest::waitForAllRunsToEnd(10000)); }

    // Starts a run of a 1-second test whose "iperf" is the script. The agent's address is
    // 127.0.0.1 at a port nobody listens on, so the Wi-Fi query is refused at once.
    std::shared_ptr<PerfTest> start(const QByteArray& script)
    {
        if (script.isEmpty())
            QFile::remove(FNWUtils::getiPerfExecutablePath());
        else
            installExecutable(FNWUtils::getiPerfExecutablePath(), "#!/bin/sh\n" + script);
        auto test = makeTest(timedPreset(1), QStringLiteral("127.0.0.1"), freePort());
        test->ID = 3;
        execution = std::make_shared<TestExecutionBean>();
        execution->ID = 9;
        auto run = PerfTest::initWithTestBean(test);
        run->setExecutionBean(execution);
        run->setExecutionID(9);
        run->setDelegate(delegate);
        run->startTest();
        return run;
    }

    bool waitForOutcome()
    {
        return waitUntil([this] { return !delegate->outcomes().empty(); });
    }

    std::shared_ptr<TestExecutionBean> execution;
    std::shared_ptr<RecordingRunDelegate> delegate = std::make_shared<RecordingRunDelegate>();
};

} // namespace

TEST_F(PerfTestProcess, ALineCutAcrossTwoWritesIsStoredWhole)
{
    auto run = start("printf 'Connected\\nRESULT_$#0.00-1.00 se'\nsleep 0.3\n"
                     "printf 'c$#1200$#9600\\nFinished_$#0.00-1.00 sec$#1200$#9600\\niperf Done.\\n'\n");
    ASSERT_TRUE(waitForOutcome());
    ASSERT_EQ(delegate->outcomes().size(), 1U);
    EXPECT_TRUE(delegate->outcomes()[0].finished);
    const auto results = TestIntervalResultsDAO().loadAllResultsForTestExectionID(9);
    ASSERT_EQ(results.size(), 2U);
    EXPECT_FLOAT_EQ(results[1]->speed, 9600.0F);
    EXPECT_EQ(execution->averageSpeed(), 9600);
}

TEST_F(PerfTestProcess, AnEndWithoutAResultIsAFailureWithWhatTheToolSaid)
{
    // A missing executable: the shell says so without a failure word and exits.
    start({});
    ASSERT_TRUE(waitForOutcome());
    EXPECT_FALSE(delegate->outcomes()[0].finished);
    EXPECT_TRUE(delegate->outcomes()[0].reason.contains(QLatin1String("not found")));
    EXPECT_EQ(execution->message(), delegate->outcomes()[0].reason);
    ASSERT_TRUE(PerfTest::waitForAllRunsToEnd(10000));

    // Output without a final line, nothing on standard error.
    delegate = std::make_shared<RecordingRunDelegate>();
    start("echo Connected\necho 'RESULT_$#0.00-1.00 sec$#1$#8'\nexit 3\n");
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(delegate->outcomes()[0].reason, QLatin1String("iperf ended without a result (exit status 3)."));
    ASSERT_TRUE(PerfTest::waitForAllRunsToEnd(10000));

    // A last line without a line end still counts.
    delegate = std::make_shared<RecordingRunDelegate>();
    start("printf 'Connected\\nFinished_$#0.00-1.00 sec$#10$#80'\n");
    ASSERT_TRUE(waitForOutcome());
    EXPECT_TRUE(delegate->outcomes()[0].finished);
    ASSERT_TRUE(PerfTest::waitForAllRunsToEnd(10000));
    EXPECT_EQ(delegate->outcomes().size(), 1U);
}

TEST_F(PerfTestProcess, AFailureOnStandardErrorStopsTheToolAndReportsItsWords)
{
    auto run = start("echo Connected\necho 'iperf3: error - the server is busy' >&2\nexec sleep 97.25\n");
    ASSERT_TRUE(waitForOutcome());
    EXPECT_FALSE(delegate->outcomes()[0].finished);
    EXPECT_EQ(delegate->outcomes()[0].reason, QLatin1String("iperf3: error - the server is busy\n"));
    EXPECT_TRUE(waitUntilGone({QStringLiteral("sleep"), QStringLiteral("97.25")}));
}

TEST_F(PerfTestProcess, AStoppedRunEndsItsProcessesAndReportsNothing)
{
    auto run = start("echo Connected\nsleep 98.25\necho 'Finished_$#0.00-1.00 sec$#1$#8'\n");
    ASSERT_TRUE(waitUntil(
        [&] { return run->hasReceivediPerfResponse() && !processesWith({QStringLiteral("98.25")}).isEmpty(); }));
    run->stopPerfTest();
    EXPECT_TRUE(waitUntilGone({QStringLiteral("sleep"), QStringLiteral("98.25")}));
    EXPECT_TRUE(PerfTest::waitForAllRunsToEnd(10000));
    EXPECT_TRUE(delegate->outcomes().empty());
    // Stopping an ended run only marks it.
    run->stopPerfTest();
    EXPECT_TRUE(run->hasCancelled());
}

namespace {

int g_handlerPipe = -1;

// Tells which process ran the application's handler.
void noteTerm(int)
{
    const pid_t self = ::getpid();
    [[maybe_unused]] const auto written = ::write(g_handlerPipe, &self, sizeof self);
}

} // namespace

// A stop that comes while the process is being made reaches a copy of the application between
// fork and exec: it must end there, not run the application's own handler.
TEST_F(PerfTestProcess, AStopDuringTheLaunchEndsTheChildWithoutTheApplicationsHandlers)
{
    int handlerPipe[2];
    ASSERT_EQ(::pipe2(handlerPipe, O_CLOEXEC | O_NONBLOCK), 0);
    g_handlerPipe = handlerPipe[1];
    struct sigaction handler = {};
    struct sigaction previous = {};
    handler.sa_handler = noteTerm;
    ASSERT_EQ(::sigaction(SIGTERM, &handler, &previous), 0);
    for (int round = 0; round < 40; ++round) {
        auto run = start("sleep 97.75\n");
        run->stopPerfTest();
        ASSERT_TRUE(PerfTest::waitForAllRunsToEnd(10000));
    }
    ::sigaction(SIGTERM, &previous, nullptr);
    EXPECT_TRUE(waitUntilGone({QStringLiteral("sleep"), QStringLiteral("97.75")}));
    pid_t ran = 0;
    std::vector<pid_t> others;
    while (::read(handlerPipe[0], &ran, sizeof ran) == sizeof ran) {
        if (ran != ::getpid())
            others.push_back(ran);
    }
    ::close(handlerPipe[0]);
    ::close(handlerPipe[1]);
    EXPECT_TRUE(others.empty()) << others.size() << " launched copies ran the handler";
}

TEST_F(PerfTestProcess, AToolThatPrintsHalfALineAndFallsSilentIsStopped)
{
    const auto saved = PerfTest::watchdogLimits();
    PerfTest::setWatchdogLimits({std::chrono::milliseconds(1000), 2, 3.0});
    start("printf 'Connected\\nRESULT_$#0.00-1.00 sec$#12'\nsleep 96.25\n");
    ASSERT_TRUE(waitForOutcome());
    PerfTest::setWatchdogLimits(saved);
    EXPECT_FALSE(delegate->outcomes()[0].finished);
    EXPECT_EQ(delegate->outcomes()[0].reason,
              QLatin1String("No interval result received in the last 2 seconds, so the test was stopped."));
    EXPECT_TRUE(waitUntilGone({QStringLiteral("sleep"), QStringLiteral("96.25")}));
    // The half line was never a result.
    EXPECT_TRUE(TestIntervalResultsDAO().loadAllResultsForTestExectionID(9).empty());
}
