#include "base/FNWEnums.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"

#include <atomic>

QStringList FNWUtils::allOptionsKeyNames()
{
    return {QStringLiteral("duration"),        QStringLiteral("test_type"),
            QStringLiteral("direction"),       QStringLiteral("number_of_byte"),
            QStringLiteral("datagram_size"),   QStringLiteral("send_bw"),
            QStringLiteral("data_format"),     QStringLiteral("buffer_length"),
            QStringLiteral("tcp_window_size"), QStringLiteral("tcp_max_segment_size"),
            QStringLiteral("no_tcp_delay"),    QStringLiteral("time_interval")};
}

namespace {
std::atomic<qint64> s_versionOverride{-1};
} // namespace

void FNWUtils::setiPerfVersionOverride(qint64 version)
{
    s_versionOverride.store(version);
}

qint64 FNWUtils::iPerfVersionSetting()
{
    if (const qint64 forced = s_versionOverride.load(); forced >= 0)
        return forced;
    bool ok = false;
    const qint64 version = getUserSettingForKey(QLatin1String(kiPerfVersionKey)).toLongLong(&ok);
    return ok ? version : FNWIperfVersion3;
}

QString FNWUtils::getOptionValueFromPropName(const QString& key, qint64 value)
{
    const qint64 version = iPerfVersionSetting();
    if (version != FNWIperfVersion3 && version != FNWIperfVersion2)
        return {};
    const bool iperf2 = version == FNWIperfVersion2;
    const QString number = QString::number(value);

    if (key == QLatin1String("duration"))
        return value >= 2 ? QLatin1String("-t") + number : QString();
    if (key == QLatin1String("test_type"))
        return value == FNWTestTypeUDP ? QStringLiteral("-u") : QString();
    if (key == QLatin1String("direction"))
        // iperf2 offers no reverse test.
        return !iperf2 && value == FNWDirectionReverse ? QStringLiteral("-R") : QString();
    if (key == QLatin1String("number_of_byte"))
        return value > 0 ? QLatin1String("-n") + number + QLatin1Char('M') : QString();
    if (key == QLatin1String("send_bw"))
        return value >= 0 ? QLatin1String("-b") + number + QLatin1Char('M') : QString();
    if (key == QLatin1String("data_format"))
        return iperf2 ? QStringLiteral("-fb") : QString();
    if (key == QLatin1String("buffer_length"))
        return !iperf2 && value > 0 ? QLatin1String("-l") + number + QLatin1String("KB") : QString();
    if (key == QLatin1String("tcp_window_size"))
        return value > 0 ? QLatin1String("-w") + number + QLatin1String("KB") : QString();
    if (key == QLatin1String("tcp_max_segment_size"))
        // One argument holding a space: the shell splits it into "-M" and "MSS-<n>".
        return value > 0 ? QLatin1String("-M MSS-") + number : QString();
    if (key == QLatin1String("no_tcp_delay"))
        return value == 1 ? QStringLiteral("-N") : QString();
    if (key == QLatin1String("time_interval"))
        return value > 0 ? QLatin1String("-i") + number : QString();
    // "datagram_size" and unknown keys.
    return {};
}
