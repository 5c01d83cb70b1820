#include "base/FNWValueFormatters.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(FNWValueFormattersTest, notSetShowsEmptyAndOnlyPositiveEntriesReadBack)
{
    EXPECT_EQ(NegativeToEmptyTransformer::transformedValue(-1), QString());
    EXPECT_EQ(NegativeToEmptyTransformer::transformedValue(0), QStringLiteral("0"));
    EXPECT_EQ(NegativeToEmptyTransformer::transformedValue(-5), QStringLiteral("-5"));
    EXPECT_EQ(NegativeToEmptyTransformer::transformedValue(86400), QStringLiteral("86400"));

    const struct
    {
        const char* text;
        qint64 value;
    } entries[] = {
        {"", -1}, {"0", -1}, {"-3", -1}, {"1", 1}, {"007", 7}, {"12a", -1}, {" 5", -1}, {"99999999999999999999", -1},
    };
    for (const auto& entry : entries)
        EXPECT_EQ(NegativeToEmptyTransformer::reverseTransformedValue(QString::fromLatin1(entry.text)), entry.value)
            << entry.text;
}

TEST(FNWValueFormattersTest, fieldsRefuseAnythingButTheirNumbers)
{
    const struct
    {
        const char* text;
        bool digits;
        bool integer;
    } entries[] = {
        {"", true, true},      {"0", true, true},
        {"123", true, true},   {"-12", false, true},
        {"+4", false, true},   {"-", false, false},
        {"1.5", false, false}, {"1 ", false, false},
        {"abc", false, false}, {"99999999999999999999", true, false},
    };
    for (const auto& entry : entries) {
        const QString text = QString::fromLatin1(entry.text);
        EXPECT_EQ(OnlyNumbersNSNumberFormatter::isPartialStringValid(text), entry.digits) << entry.text;
        EXPECT_EQ(OnlyIntegerValueFormatter::isPartialStringValid(text), entry.integer) << entry.text;
    }
    // Arabic-Indic digits are digits to Unicode but not to iperf.
    EXPECT_FALSE(OnlyNumbersNSNumberFormatter::isPartialStringValid(QStringLiteral("\u0661\u0662")));
    EXPECT_EQ(OnlyIntegerValueFormatter::integerValue(QStringLiteral("-12")), -12);
    EXPECT_EQ(OnlyIntegerValueFormatter::integerValue(QString()), std::nullopt);
}

} // namespace
