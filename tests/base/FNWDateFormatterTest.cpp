#include "base/FNWDateFormatter.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

// A Tuesday afternoon, in UTC, with milliseconds.
QDateTime sampleDate()
{
    return QDateTime(QDate(2021, 3, 2), QTime(14, 5, 9, 42), QTimeZone::utc());
}

QString formatUtc(const QString& pattern, const QDateTime& date)
{
    FNWDateFormatter formatter(pattern);
    formatter.setTimeZone(QTimeZone::utc());
    formatter.setLocale(kEnglish);
    return formatter.stringFromDate(date);
}

TEST(FNWDateFormatter, FieldsLiteralsAndQuotes)
{
    // clang-format off
    const struct
    {
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"hh:mm MM/dd/yy", "02:05 03/02/21"}, {"HH:mm:ss  MM/dd/yy", "14:05:09  03/02/21"}, {"h:m:s", "2:5:9"},
        {"y|yy|yyy|yyyy|yyyyy", "2021|21|2021|2021|02021"}, {"M|MM|MMM|MMMM", "3|03|Mar|March"},
        {"LLL|LLLL", "Mar|March"}, {"d|dd", "2|02"}, {"S|SS|SSS|SSSS", "0|04|042|0420"}, {"E|EEE|EEEE", "Tue|Tue|Tuesday"},
        {"", ""}, {"'at' HH", "at 14"}, {"'o''clock' h", "o'clock 2"}, {"'hh:mm'", "hh:mm"},
        {"'unclosed hh", "unclosed hh"},
        // Letters that are no field stand for themselves.
        {"T Z x/", "T Z x/"},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(formatUtc(QString::fromUtf8(c.pattern), sampleDate()), QString::fromUtf8(c.expected)) << c.pattern;
}

TEST(FNWDateFormatter, HoursOfTheClock)
{
    const struct
    {
        int hour;
        const char* expected;
    } cases[] = {
        {0, "12|12|0|24|00|AM"},  {1, "01|1|1|1|01|AM"},   {11, "11|11|11|11|11|AM"},
        {12, "12|12|0|12|12|PM"}, {13, "01|1|1|13|13|PM"}, {23, "11|11|11|23|23|PM"},
    };
    for (const auto& c : cases) {
        const QDateTime date(QDate(2021, 3, 2), QTime(c.hour, 0), QTimeZone::utc());
        EXPECT_EQ(formatUtc(QStringLiteral("hh|h|K|k|HH|a"), date), QLatin1String(c.expected)) << c.hour;
    }
}

TEST(FNWDateFormatter, ConvertsToItsZone)
{
    FNWDateFormatter formatter(QStringLiteral("HH:mm MM/dd/yy"));
    formatter.setTimeZone(QTimeZone("Asia/Kolkata"));
    const QDateTime evening(QDate(2021, 3, 2), QTime(20, 0), QTimeZone::utc());
    EXPECT_EQ(formatter.stringFromDate(evening), QLatin1String("01:30 03/03/21"));
    EXPECT_FALSE(formatter.usesLocalTimeZone());

    formatter.setLocalTimeZone();
    EXPECT_EQ(formatter.stringFromDate(evening), formatter.stringFromDate(evening.toLocalTime()));
    EXPECT_TRUE(formatter.stringFromDate(QDateTime()).isNull());
}

TEST(FNWDateFormatter, CachedPerThreadAndReset)
{
    FNWDateFormatter& first = FNWDateFormatter::dateFormatterWithDateFormat(QStringLiteral("HH:mm"));
    first.setTimeZone(QTimeZone::utc());
    first.setLocale(QLocale(QLocale::German, QLocale::Germany));

    FNWDateFormatter& again = FNWDateFormatter::dateFormatterWithDateFormat(QStringLiteral("HH:mm"));
    EXPECT_EQ(&first, &again);
    EXPECT_TRUE(again.usesLocalTimeZone());
    EXPECT_EQ(again.locale(), QLocale::system());
    EXPECT_EQ(again.dateFormat(), QLatin1String("HH:mm"));

    EXPECT_NE(&first, &FNWDateFormatter::dateFormatterWithDateFormat(QStringLiteral("HH:mm:ss")));

    const FNWDateFormatter* other = nullptr;
    std::thread([&other] { other = &FNWDateFormatter::dateFormatterWithDateFormat(QStringLiteral("HH:mm")); }).join();
    EXPECT_NE(other, &first);
}

} // namespace
