#include "engine/PerfTestWatchdog.h"

#include "base/FNWUtils.h"
#include "support/FNWFormat.h"

#include <algorithm>
#include <cmath>

namespace fnw::engine {

namespace {

using std::chrono::milliseconds;

int wholeSeconds(milliseconds span)
{
    return static_cast<int>((span.count() + 999) / 1000);
}

FNWWatchdogDecision stopped(FNWWatchdogVerdict verdict, QString message)
{
    return {verdict, std::move(message)};
}

} // namespace

FNWRunProgress progressShapeOfArguments(const QStringList& arguments)
{
    FNWRunProgress shape;
    const bool iperf2 = !arguments.isEmpty() && arguments.first() == QLatin1String("./iperf2 ");
    const auto numberAfter = [&](const QString& flag, const QString& unit) -> qint64 {
        for (const QString& argument : arguments) {
            if (!argument.startsWith(flag) || !argument.endsWith(unit))
                continue;
            bool ok = false;
            const qint64 value = argument.mid(flag.size(), argument.size() - flag.size() - unit.size()).toLongLong(&ok);
            if (ok && value > 0)
                return value;
        }
        return -1;
    };
    const qint64 interval = numberAfter(QStringLiteral("-i"), QString());
    shape.intervalSeconds = interval > 0 ? interval : (iperf2 ? 0 : 1);
    shape.amountMegabytes = numberAfter(QStringLiteral("-n"), QStringLiteral("M"));
    if (shape.amountMegabytes <= 0) {
        const qint64 duration = numberAfter(QStringLiteral("-t"), QString());
        shape.durationSeconds = duration > 0 ? duration : 10;
    }
    return shape;
}

milliseconds silenceLimit(qint64 intervalSeconds, const FNWWatchdogLimits& limits)
{
    const milliseconds intervals{std::max<qint64>(intervalSeconds, 0) * limits.silentIntervals * 1000};
    return std::max(intervals, limits.minimumSilence);
}

FNWWatchdogDecision judgeRunProgress(const FNWRunProgress& progress, const FNWWatchdogLimits& limits)
{
    const milliseconds silence = silenceLimit(progress.intervalSeconds, limits);
    if (progress.intervalSeconds > 0) {
        if (progress.sinceLastInterval >= silence)
            return stopped(FNWWatchdogVerdict::Silent,
                           FNWStringWithFormat("No interval result received in the last %d seconds, so the test "
                                               "was stopped.",
                                               wholeSeconds(silence)));
    } else if (progress.amountMegabytes <= 0) {
        // A tool without interval lines says nothing before its totals, which are due at the end
        // of the duration.
        const milliseconds due = milliseconds{std::max<qint64>(progress.durationSeconds, 0) * 1000} + silence;
        if (progress.sinceLaunch >= due)
            return stopped(FNWWatchdogVerdict::Silent,
                           FNWStringWithFormat("No result received in %d seconds, so the test was stopped.",
                                               wholeSeconds(due)));
        return {};
    } else {
        // A run by amount without interval lines shows no rate to judge it by.
        return {};
    }

    if (progress.amountMegabytes <= 0)
        return {};
    if (progress.slowestRate <= 0.0) {
        // Lines keep coming but not a byte has moved: the slowest rate is nothing at all.
        if (progress.sinceLaunch >= silence)
            return stopped(FNWWatchdogVerdict::Overdue,
                           FNWStringWithFormat("The test moved no data in %d seconds, so it was stopped.",
                                               wholeSeconds(progress.sinceLaunch)));
        return {};
    }
    // A server that stops reading leaves iperf reporting empty intervals for good; however slow
    // the rate was before, no end is in sight.
    if (progress.sinceLastData >= silence)
        return stopped(FNWWatchdogVerdict::Overdue,
                       FNWStringWithFormat("The test moved no data in the last %d seconds, so it was stopped.",
                                           wholeSeconds(silence)));
    const double amountBits = static_cast<double>(progress.amountMegabytes) * 1048576.0 * 8.0;
    const double takesMs = amountBits / progress.slowestRate * 1000.0 * limits.amountFactor;
    // Never sooner than a silence would stop it.
    const double limitMs = std::max(takesMs, static_cast<double>(silence.count()));
    if (static_cast<double>(progress.sinceLaunch.count()) < limitMs)
        return {};
    return stopped(FNWWatchdogVerdict::Overdue,
                   FNWStringWithFormat("The test ran %d seconds, far longer than %ld MB takes at its slowest rate of "
                                       "%@, so it was stopped.",
                                       wholeSeconds(progress.sinceLaunch), progress.amountMegabytes,
                                       FNWUtils::formatBitsToSpeedFormat(
                                           0, static_cast<qint64>(std::llround(progress.slowestRate)))));
}

} // namespace fnw::engine
