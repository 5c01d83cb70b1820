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
                        milliseconds sinceLastInterval = milliseconds{0})
{
    return {.sinceLaunch = sinceLaunch,
            .sinceLastInterval = sinceLastInterval,
            .amountMegabytes = megabytes,
            .slowestRate = slowestRate};
}

} // namespace

TEST(PerfTestWatchdog, ASilenceOfThreeIntervalsOrTenSecondsOrBeyondTheDurationWithoutIntervalsStopsARun)
{
    EXPECT_EQ(silenceLimit(1, {}), seconds(10));
    EXPECT_EQ(silenceLimit(3, {}), seconds(10));
    EXPECT_EQ(silenceLimit(4, {}), seconds(12));
    EXPECT_EQ(silenceLimit(60, {}), seconds(180));
    EXPECT_EQ(silenceLimit(0, {}), seconds(10));

    struct Case
    {
        qint64 interval;
        milliseconds sinceLastInterval;
        FNWWatchdogVerdict verdict;
    };
    for (const Case& c :
         {Case{1, milliseconds(9999), FNWWatchdogVerdict::Running}, Case{1, seconds(10), FNWWatchdogVerdict::Silent},
          Case{5, seconds(14), FNWWatchdogVerdict::Running}, Case{5, seconds(15), FNWWatchdogVerdict::Silent}}) {
        // However long the run has gone on: a healthy hour-long run is not stopped.
        const FNWWatchdogDecision decision =
            judgeRunProgress(timed(3600, c.interval, seconds(3000), c.sinceLastInterval));
        EXPECT_EQ(decision.verdict, c.verdict) << c.interval << " " << c.sinceLastInterval.count();
        EXPECT_EQ(decision.message.isEmpty(), c.verdict == FNWWatchdogVerdict::Running);
    }
    EXPECT_EQ(judgeRunProgress(timed(20, 5, seconds(16), seconds(15))).message,
              QLatin1String("No interval result received in the last 15 seconds, so the test was stopped."));

    // The times can be made shorter, for tests.
    const FNWWatchdogLimits quick{milliseconds(500), 3, 3.0};
    EXPECT_EQ(silenceLimit(1, quick), seconds(3));
    EXPECT_EQ(judgeRunProgress(timed(20, 1, seconds(3), seconds(3)), quick).verdict, FNWWatchdogVerdict::Silent);

    // A tool without interval lines has its duration and the silence on top.
    EXPECT_EQ(judgeRunProgress(timed(30, 0, milliseconds(39999), milliseconds(39999))).verdict,
              FNWWatchdogVerdict::Running);
    const FNWWatchdogDecision late = judgeRunProgress(timed(30, 0, seconds(40), seconds(40)));
    EXPECT_EQ(late.verdict, FNWWatchdogVerdict::Silent);
    EXPECT_EQ(late.message, QLatin1String("No result received in 40 seconds, so the test was stopped."));
    // By amount and without intervals there is no rate to judge it by.
    FNWRunProgress amount = byAmount(100, 0.0, seconds(3600), seconds(3600));
    amount.intervalSeconds = 0;
    EXPECT_EQ(judgeRunProgress(amount).verdict, FNWWatchdogVerdict::Running);
}

TEST(PerfTestWatchdog, ARunByAmountIsOverdueAtThreeTimesWhatItsSlowestRateTakes)
{
    // 100 MB at 8 Mbit/s (decimal) takes 104.9 s; three times that is 314.6 s.
    const double rate = 8e6;
    EXPECT_EQ(judgeRunProgress(byAmount(100, rate, milliseconds(314500))).verdict, FNWWatchdogVerdict::Running);
    const FNWWatchdogDecision overdue = judgeRunProgress(byAmount(100, rate, milliseconds(314600)));
    EXPECT_EQ(overdue.verdict, FNWWatchdogVerdict::Overdue);
    EXPECT_EQ(overdue.message, QLatin1String("The test ran 315 seconds, far longer than 100 MB takes at its slowest "
                                             "rate of 8.00 Mbps, so it was stopped."));
    // Lines that keep coming do not save it; a silence stops it sooner.
    EXPECT_EQ(judgeRunProgress(byAmount(100, rate, seconds(20), seconds(10))).verdict, FNWWatchdogVerdict::Silent);

    // A fast run is never overdue sooner than a silence would stop it.
    EXPECT_EQ(judgeRunProgress(byAmount(10, 1e10, seconds(9))).verdict, FNWWatchdogVerdict::Running);
    EXPECT_EQ(judgeRunProgress(byAmount(10, 1e10, seconds(10))).verdict, FNWWatchdogVerdict::Overdue);

    // Zero-byte lines from the start: nothing has moved at all.
    EXPECT_EQ(judgeRunProgress(byAmount(100, 0.0, milliseconds(9999))).verdict, FNWWatchdogVerdict::Running);
    const FNWWatchdogDecision stuck = judgeRunProgress(byAmount(100, 0.0, seconds(10)));
    EXPECT_EQ(stuck.verdict, FNWWatchdogVerdict::Overdue);
    EXPECT_EQ(stuck.message, QLatin1String("The test moved no data in 10 seconds, so it was stopped."));

    // Empty intervals after data moved: a stalled transfer has no end in sight, however fast it was.
    FNWRunProgress stalled = byAmount(100000, 2e10, seconds(30));
    stalled.sinceLastData = milliseconds(9999);
    EXPECT_EQ(judgeRunProgress(stalled).verdict, FNWWatchdogVerdict::Running);
    stalled.sinceLastData = seconds(10);
    EXPECT_EQ(judgeRunProgress(stalled).message,
              QLatin1String("The test moved no data in the last 10 seconds, so it was stopped."));

    // A timed run is never overdue, only silent.
    EXPECT_EQ(judgeRunProgress(timed(10, 1, seconds(3600), seconds(1))).verdict, FNWWatchdogVerdict::Running);
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
