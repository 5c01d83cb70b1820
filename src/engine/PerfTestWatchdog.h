#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

// Whether a run still makes progress: the decision alone, so that it can be tested without a
// process. The run's waiting thread asks it on every wake.
namespace fnw::engine {

struct FNWWatchdogLimits
{
    // The shortest silence that stops a run, however short its interval.
    std::chrono::milliseconds minimumSilence{10000};
    // A silence of this many intervals stops a run.
    int silentIntervals = 3;
    // A run by amount is overdue after this many times what its amount takes at the slowest rate
    // it has shown.
    double amountFactor = 3.0;
};

// What a run has shown so far.
struct FNWRunProgress
{
    std::chrono::milliseconds sinceLaunch{0};
    // Since the last interval line, or since the launch before the first.
    std::chrono::milliseconds sinceLastInterval{0};
    // Since the last interval line that moved data, or since the launch before the first.
    std::chrono::milliseconds sinceLastData{0};
    // Seconds between interval lines; 0 when the tool prints none before its totals.
    qint64 intervalSeconds = 1;
    // The seconds of a timed run; -1 for a run by amount.
    qint64 durationSeconds = -1;
    // The megabytes of a run by amount; -1 for a timed run.
    qint64 amountMegabytes = -1;
    // The slowest rate above zero among its interval lines, bits per second; 0 while none had one.
    double slowestRate = 0.0;
};

enum class FNWWatchdogVerdict {
    Running,
    // No interval line for too long.
    Silent,
    // A run by amount that has gone on far longer than its amount can take, or has stopped
    // moving data.
    Overdue,
};

struct FNWWatchdogDecision
{
    FNWWatchdogVerdict verdict = FNWWatchdogVerdict::Running;
    // Why the run is stopped; empty while it runs.
    QString message;
};

// The interval, duration and amount a run was given by its argument list (as PerfTest builds it),
// with what iperf does when one is missing: iperf3 reports every second, iperf2 only at the end;
// a run without a duration or an amount lasts 10 seconds.
FNWRunProgress progressShapeOfArguments(const QStringList& arguments);

// The silence that stops a run with this interval: the larger of the intervals' and the minimum.
std::chrono::milliseconds silenceLimit(qint64 intervalSeconds, const FNWWatchdogLimits& limits);

FNWWatchdogDecision judgeRunProgress(const FNWRunProgress& progress, const FNWWatchdogLimits& limits = {});

} // namespace fnw::engine
