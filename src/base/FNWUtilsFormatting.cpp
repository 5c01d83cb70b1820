#include "base/FNWDateFormatter.h"
#include "base/FNWNumberFormats.h"
#include "base/FNWUtils.h"
#include "support/DDLog.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cmath>

// QString::asprintf always uses the C locale, so the decimal point is a point whatever the user's
// locale; the texts end up in CSV files and graph labels that expect exactly that.

QString FNWNumberFormats::mbpsFormat(quint64 bitsPerSecond)
{
    return QString::asprintf("%.2f Mbps", static_cast<double>(bitsPerSecond) / 1000000);
}

QString FNWNumberFormats::kbpsFormat(quint64 bitsPerSecond)
{
    return QString::asprintf("%.2f Kbps", static_cast<double>(bitsPerSecond) / 1000);
}

QString FNWNumberFormats::MBpsFormat(quint64 bitsPerSecond)
{
    return QString::asprintf("%.2f MBps", static_cast<double>(bitsPerSecond) / 8 / 1000000);
}

QString FNWNumberFormats::KBpsFormat(quint64 bitsPerSecond)
{
    return QString::asprintf("%.2f KBps", static_cast<double>(bitsPerSecond) / 8 / 1000);
}

QString FNWNumberFormats::MBFormat(quint64 bytes)
{
    return QString::asprintf("%.2f MB", static_cast<double>(bytes) / 1048576);
}

QString FNWNumberFormats::KBFormat(quint64 bytes)
{
    return QString::asprintf("%.2f KB", static_cast<double>(bytes) / 1024);
}

// Values are read as unsigned on purpose: a stored -1 ("not set") shows as a huge number rather
// than a negative one, as the stored results have always been displayed.
QString FNWUtils::formatBitsToSpeedFormat(qint64 format, qint64 speedBits)
{
    const auto bits = static_cast<quint64>(speedBits);
    switch (format) {
    case 0:
        return FNWNumberFormats::mbpsFormat(bits);
    case 1:
        return FNWNumberFormats::kbpsFormat(bits);
    case 2:
        return FNWNumberFormats::MBpsFormat(bits);
    default:
        return FNWNumberFormats::KBpsFormat(bits);
    }
}

QString FNWUtils::formatBytesToDataSizeFormat(qint64 format, qint64 dataBytes)
{
    const auto bytes = static_cast<quint64>(dataBytes);
    if (format == 0 || format == 2)
        return FNWNumberFormats::MBFormat(bytes);
    return FNWNumberFormats::KBFormat(bytes);
}

bool FNWUtils::hasValue(const QString& text)
{
    return !text.isEmpty();
}

QString FNWUtils::shownText(const QString& text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    qsizetype cut = std::max<qsizetype>(limit, 1);
    // Neither half of a surrogate pair nor a base character without its combining marks.
    while (cut > 1 && (text.at(cut).isLowSurrogate() || text.at(cut).isMark()))
        --cut;
    return text.left(cut) + QChar(0x2026);
}

bool FNWUtils::isIPAddressValid(const QString& text)
{
    if (!hasValue(text))
        return false;

    QString address = text;
    address.remove(QStringLiteral("https://"));
    address.remove(QStringLiteral("http://"));

    const QStringList parts = address.split(u'.');
    if (parts.size() != 4)
        return false;

    for (const QChar c : address) {
        if (c != u'.' && (c < u'0' || c > u'9'))
            return false;
    }

    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3 || part.toInt() > 255)
            return false;
    }

    // A network number of 0 is never a reachable agent; "00" counts as 0 as well.
    return parts.first().toInt() != 0;
}

QString FNWUtils::getSystemIPAddress()
{
    QString result = QStringLiteral("error");
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) == 0) {
        // The last IPv4 address wins, loopback included.
        for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
            if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
                continue;
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            char text[INET_ADDRSTRLEN] = {};
            if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr)
                result = QString::fromLatin1(text);
        }
        freeifaddrs(interfaces);
    }
    DDLogInfo("address:%@", result);
    return result;
}

QString FNWUtils::getCurrentDate()
{
    return getCurrentDate(QDateTime::currentDateTime());
}

QString FNWUtils::getCurrentDate(const QDateTime& now)
{
    return FNWDateFormatter(QStringLiteral("MM-dd-yy-HH-mm-ss")).stringFromDate(now);
}

QString FNWUtils::getFormattedNSDate(double secondsSince1970)
{
    // Made once for the process. It is const and formatting reads nothing shared but the
    // pattern, so concurrent callers are safe without a lock.
    static const FNWDateFormatter formatter(QStringLiteral("HH:mm:ss  MM/dd/yy"));

    const double millis = std::floor(secondsSince1970 * 1000.0);
    // Beyond what a 64-bit millisecond count holds there is no date to show.
    if (!std::isfinite(millis) || std::fabs(millis) >= 9.0e18)
        return QString();
    return formatter.stringFromDate(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(millis)));
}

FNWColor FNWUtils::getGraphLineColors()
{
    return FNWColor{0.5, 0.5, 0.5, 1.0};
}

FNWColor FNWUtils::getGraphTitleColors()
{
    return FNWColor{0.5, 0.5, 0.5, 1.0};
}
