// The progress watchdog's decision: when a run that keeps its process alive without progress is
// given up on.

#include "engine/PerfTestWatchdog.h"

#include <gtest/gtest.h>

using namespace fnw::engine;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

FNWRunProgress timed(qint64 duration, qint64 interval, milliseconds sinceLaunch, milliseconds sinceLastInterval)
{
    return {.sinceLaunch = sinceLaunch,
            .sinceLastInterval = sinceLastInterval,
            .intervalSeconds = interval,
            .durationSeconds = duration};
}

FNWRunProgress byAmount(qint64 megabytes, double slowestRate, milliseconds sinceLaunch,
                        milliseconds sinceLastInterval = milliseconds{0}, milliseconds sinceLastData = milliseconds{0},
                        qint64 interval = 1)
{
    return {.sinceLaunch = sinceLaunch,
            .sinceLastInterval = sinceLastInterval,
            .sinceLastData = sinceLastData,
            .intervalSeconds = interval,
            .amountMegabytes = megabytes,
            .slowestRate = slowestRate};
}

} // namespace

TEST(PerfTestWatchdog, ARunIsStoppedAfterASilenceOfThreeIntervalsOrTenSecondsOrWhenByAmountItIsOverdue)
{
    EXPECT_EQ(silenceLimit(1, {}), seconds(10));
    EXPECT_EQ(silenceLimit(3, {}), seconds(10));
    EXPECT_EQ(silenceLimit(4, {}), seconds(12));
    EXPECT_EQ(silenceLimit(60, {}), seconds(180));
    EXPECT_EQ(silenceLimit(0, {}), seconds(10));
    // The times can be made shorter, for tests.
    const FNWWatchdogLimits quick{milliseconds(500), 3, 3.0};
    EXPECT_EQ(silenceLimit(1, quick), seconds(3));
    EXPECT_EQ(judgeRunProgress(timed(20, 1, seconds(3), seconds(3)), quick).verdict, FNWWatchdogVerdict::Silent);

    using enum FNWWatchdogVerdict;
    const struct
    {
        FNWRunProgress progress;
        FNWWatchdogVerdict verdict;
        const char* message;
    } cases[] = {
        // However long the run has gone on: a healthy hour-long run is not stopped.
        {timed(3600, 1, seconds(3000), milliseconds(9999)), Running, ""},
        {timed(3600, 1, seconds(3000), seconds(10)), Silent,
         "No interval result received in the last 10 seconds, so the test was stopped."},
        {timed(3600, 5, seconds(3000), seconds(14)), Running, ""},
        {timed(3600, 5, seconds(3000), seconds(15)), Silent,
         "No interval result received in the last 15 seconds, so the test was stopped."},
        // A timed run is never overdue, only silent.
        {timed(10, 1, seconds(3600), seconds(1)), Running, ""},
        // A tool without interval lines has its duration and the silence on top.
        {timed(30, 0, milliseconds(39999), milliseconds(39999)), Running, ""},
        {timed(30, 0, seconds(40), seconds(40)), Silent, "No result received in 40 seconds, so the test was stopped."},
        // By amount and without intervals there is no rate to judge it by.
        {byAmount(100, 0.0, seconds(3600), seconds(3600), {}, 0), Running, ""},
        // 100 MB at 8 Mbit/s (decimal) takes 104.9 s; three times that is 314.6 s.
        {byAmount(100, 8e6, milliseconds(314500)), Running, ""},
        {byAmount(100, 8e6, milliseconds(314600)), Overdue,
         "The test ran 315 seconds, far longer than 100 MB takes at its slowest rate of 8.00 Mbps, so it was stopped."},
        // Lines that keep coming do not save it; a silence stops it sooner.
        {byAmount(100, 8e6, seconds(20), seconds(10)), Silent,
         "No interval result received in the last 10 seconds, so the test was stopped."},
        // A fast run is never overdue sooner than a silence would stop it.
        {byAmount(10, 1e10, seconds(9)), Running, ""},
        {byAmount(10, 1e10, seconds(10)), Overdue,
         "The test ran 10 seconds, far longer than 10 MB takes at its slowest rate of 10000.00 Mbps, so it was "
         "stopped."},
        // Zero-byte lines from the start: nothing has moved at all.
        {byAmount(100, 0.0, milliseconds(9999)), Running, ""},
        {byAmount(100, 0.0, seconds(10)), Overdue, "The test moved no data in 10 seconds, so it was stopped."},
        // Empty intervals after data moved: a stalled transfer has no end in sight, however fast it was.
        {byAmount(100000, 2e10, seconds(30), {}, milliseconds(9999)), Running, ""},
        {byAmount(100000, 2e10, seconds(30), {}, seconds(10)), Overdue,
         "The test moved no data in the last 10 seconds, so it was stopped."},
    };
    for (const auto& c : cases) {
        const FNWWatchdogDecision decision = judgeRunProgress(c.progress);
        EXPECT_EQ(decision.verdict, c.verdict) << "case " << &c - cases;
        EXPECT_EQ(decision.message, QLatin1String(c.message)) << "case " << &c - cases;
    }
}

TEST(PerfTestWatchdog, TheShapeOfARunComesFromItsArguments)
{
    const struct
    {
        const char* arguments;
        qint64 interval, duration, amount;
    } cases[] = {
        {"./iperf3 -c 127.0.0.1 -t20 -i2 -p5201", 2, 20, -1},
        {"./iperf3 -c 127.0.0.1 -n100M -i1 -p5201", 1, -1, 100},
        // iperf3 reports every second unless told otherwise; iperf2 only at the end.
        {"./iperf3 -c 127.0.0.1 -t30 -p5201", 1, 30, -1},
        {"./iperf2 -c 127.0.0.1 -t30 -fb -p5001", 0, 30, -1},
        // Without a duration (one second is not passed on) iperf runs for ten.
        {"./iperf3 -c 127.0.0.1 -p5201", 1, 10, -1},
        // The port and the bandwidth are not mistaken for them.
        {"./iperf3 -c 127.0.0.1 -u -b10M -p5201", 1, 10, -1},
    };
    for (const auto& t : cases) {
        QStringList arguments = QString::fromLatin1(t.arguments).split(u' ');
        arguments[0] += u' '; // "./iperf3 ", as PerfTest builds it
        const FNWRunProgress shape = progressShapeOfArguments(arguments);
        EXPECT_EQ(shape.intervalSeconds, t.interval) << t.arguments;
        EXPECT_EQ(shape.durationSeconds, t.duration) << t.arguments;
        EXPECT_EQ(shape.amountMegabytes, t.amount) << t.arguments;
    }
}
