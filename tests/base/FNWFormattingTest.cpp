#include "base/FNWUtils.h"

#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>

namespace {

struct FormatCase
{
    qint64 format;
    qint64 value;
    const char* expected;
};

TEST(FNWFormatting, SpeedAndSizeTextsHaveAPointInEveryLocale)
{
    // clang-format off
    const FormatCase speeds[] = {
        {0, 12345678, "12.35 Mbps"}, {1, 12345678, "12345.68 Kbps"}, {2, 12345678, "1.54 MBps"},
        // Every index but 0, 1 and 2 means KBps, negative ones included.
        {3, 12345678, "1543.21 KBps"}, {-1, 12345678, "1543.21 KBps"},
        {0, 1234999, "1.23 Mbps"}, {0, 1235001, "1.24 Mbps"},
        // Negative values are read as unsigned 64-bit numbers.
        {0, -1, "18446744073709.55 Mbps"}, {2, -1, "2305843009213.69 MBps"},
        {0, std::numeric_limits<qint64>::min(), "9223372036854.78 Mbps"},
    };
    const FormatCase sizes[] = {
        {0, 1048576, "1.00 MB"}, {1, 1048576, "1024.00 KB"}, {2, 1048576, "1.00 MB"}, {3, 1048576, "1024.00 KB"},
        {-5, 1536, "1.50 KB"}, {0, 0, "0.00 MB"}, {1, 1023, "1.00 KB"}, {1, 1, "0.00 KB"},
        {0, -1, "17592186044416.00 MB"},
    };
    // clang-format on
    const QLocale previous;
    for (const QLocale& locale : {previous, QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        for (const FormatCase& c : speeds)
            EXPECT_EQ(FNWUtils::formatBitsToSpeedFormat(c.format, c.value), QLatin1String(c.expected))
                << locale.name().toStdString() << ", format " << c.format << ", value " << c.value;
        for (const FormatCase& c : sizes)
            EXPECT_EQ(FNWUtils::formatBytesToDataSizeFormat(c.format, c.value), QLatin1String(c.expected))
                << locale.name().toStdString() << ", format " << c.format << ", value " << c.value;
    }
    QLocale::setDefault(previous);
}

TEST(FNWFormatting, CurrentDateText)
{
    EXPECT_EQ(FNWUtils::getCurrentDate(QDateTime(QDate(2021, 3, 2), QTime(14, 5, 9))), "03-02-21-14-05-09");
    EXPECT_EQ(FNWUtils::getCurrentDate(QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59, 999))), "12-31-99-23-59-59");
    static const QRegularExpression shape(QStringLiteral("^\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d$"));
    EXPECT_TRUE(shape.match(FNWUtils::getCurrentDate()).hasMatch()) << FNWUtils::getCurrentDate().toStdString();
}

// Puts the process in another local time zone for the scope of a test.
class ScopedLocalZone
{
public:
    explicit ScopedLocalZone(const char* zone)
    {
        if (const char* current = std::getenv("TZ"))
            m_previous = current;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedLocalZone()
    {
        if (m_previous)
            setenv("TZ", m_previous->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedLocalZone(const ScopedLocalZone&) = delete;
    ScopedLocalZone& operator=(const ScopedLocalZone&) = delete;

private:
    std::optional<std::string> m_previous;
};

int localOffsetAt(qint64 secondsSince1970)
{
    return QDateTime::fromSecsSinceEpoch(secondsSince1970).toLocalTime().offsetFromUtc();
}

TEST(FNWFormatting, FormattedDateInNewYorkOrNone)
{
    ScopedLocalZone zone("America/New_York");
    ASSERT_EQ(localOffsetAt(0), -5 * 3600) << "the local zone change did not reach Qt";

    // clang-format off
    const struct
    {
        double seconds;
        const char* expected;
    } cases[] = {
        {0, "19:00:00  12/31/69"}, {1614711909, "14:05:09  03/02/21"},
        // Daylight saving time: four hours behind UTC.
        {1625152500, "11:15:00  07/01/21"},
        // Fractions are cut, also before 1970.
        {1614711909.999, "14:05:09  03/02/21"}, {-0.5, "18:59:59  12/31/69"},
        // No date at all.
        {std::nan(""), ""}, {std::numeric_limits<double>::infinity(), ""}, {1e300, ""},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(FNWUtils::getFormattedNSDate(c.seconds), QLatin1String(c.expected)) << c.seconds;
}

} // namespace

TEST(FNWFormatting, ShownTextsAreCutBetweenCharacters)
{
    EXPECT_EQ(FNWUtils::shownText(QStringLiteral("Lab 2")), QStringLiteral("Lab 2"));
    const QString big = QStringLiteral("Conference room ").repeated(70000);
    const QString shown = FNWUtils::shownText(big);
    EXPECT_EQ(shown.size(), FNWUtils::kShownTextLimit + 1);
    EXPECT_TRUE(big.startsWith(shown.chopped(1)));
    EXPECT_EQ(shown.back(), QChar(0x2026));
    // A character outside the basic plane and a letter with its combining accent stay whole.
    const QString wide = QStringLiteral("ab") + QString::fromUcs4(U"\U0001F4F6") + QStringLiteral("cd");
    EXPECT_EQ(FNWUtils::shownText(wide, 3), QStringLiteral("ab…"));
    const QString accented = QStringLiteral("abe") + QChar(0x0301) + QStringLiteral("fg");
    EXPECT_EQ(FNWUtils::shownText(accented, 3), QStringLiteral("ab…"));
}
