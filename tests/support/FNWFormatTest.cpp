#include "support/FNWFormat.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Described
{
    QString description() const { return QStringLiteral("agent,10.0.0.1,5201"); }
};

TEST(FNWFormat, ObjectPlaceholderTakesTheTextFormOfAnyValue)
{
    EXPECT_EQ(FNWStringWithFormat("path is %@", QStringLiteral("/a b")), "path is /a b");
    EXPECT_EQ(FNWStringWithFormat("%@|%@|%@", 42, -7LL, "c-string"), "42|-7|c-string");
    EXPECT_EQ(FNWStringWithFormat("%@", nullptr), "(null)");
    EXPECT_EQ(FNWStringWithFormat("%@", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(FNWStringWithFormat("[%@]", Described{}), "[agent,10.0.0.1,5201]");
    EXPECT_EQ(FNWStringWithFormat("[%@]", std::make_shared<Described>()), "[agent,10.0.0.1,5201]");
    EXPECT_EQ(FNWStringWithFormat("[%@]", std::shared_ptr<Described>()), "[(null)]");
    EXPECT_EQ(FNWStringWithFormat("%@", QStringLiteral("Zürich – 東京")), QStringLiteral("Zürich – 東京"));
}

enum Status : long long { Running = 1, Failed = 3 };
enum class Version { Iperf2 = 1 };

TEST(FNWFormat, NumericConversionsFollowPrintf)
{
    EXPECT_EQ(FNWStringWithFormat("%ld", qint64(-9000000000LL)), "-9000000000");
    EXPECT_EQ(FNWStringWithFormat("%d %i", 5, -3), "5 -3");
    EXPECT_EQ(FNWStringWithFormat("%llu", quint64(18446744073709551615ULL)), "18446744073709551615");
    // A negative value through an unsigned conversion wraps, as in C.
    EXPECT_EQ(FNWStringWithFormat("%llu", -1), "18446744073709551615");
    EXPECT_EQ(FNWStringWithFormat("%f", 1.5), "1.500000");
    EXPECT_EQ(FNWStringWithFormat("%.2f Mbps", 12.345678), "12.35 Mbps");
    EXPECT_EQ(FNWStringWithFormat("%x", 255), "ff");
    EXPECT_EQ(FNWStringWithFormat("%04ld-%02ld", 7, 3), "0007-03");
    EXPECT_EQ(FNWStringWithFormat("%5d|%-5d|", 42, 42), "   42|42   |");
    // Integers given to a real conversion and the other way round are converted.
    EXPECT_EQ(FNWStringWithFormat("%f", 2), "2.000000");
    EXPECT_EQ(FNWStringWithFormat("%ld", 3.9), "3");
    // Enumerations print their value, not a truth value.
    EXPECT_EQ(FNWStringWithFormat("executionStatus=%ld", Failed), "executionStatus=3");
    EXPECT_EQ(FNWStringWithFormat("%@", Version::Iperf2), "1");
    EXPECT_EQ(FNWStringWithFormat("%d %d", true, false), "1 0");
}

TEST(FNWFormat, TextLiteralsAndMissingOrExtraArguments)
{
    EXPECT_EQ(FNWStringWithFormat("100%% done"), "100% done");
    EXPECT_EQ(FNWStringWithFormat("%s and %s", "a", QStringLiteral("b")), "a and b");
    EXPECT_EQ(FNWStringWithFormat("%.3s", "abcdef"), "abc");
    EXPECT_EQ(FNWStringWithFormat("no placeholders: a=b"), "no placeholders: a=b");
    // A conversion we do not know, and a lone % at the end, stay as written.
    EXPECT_EQ(FNWStringWithFormat("%k and %"), "%k and %");
    // Missing arguments print as null, extra ones are ignored.
    EXPECT_EQ(FNWStringWithFormat("%@ and %@", "one"), "one and (null)");
    EXPECT_EQ(FNWStringWithFormat("%ld", nullptr), "0");
    EXPECT_EQ(FNWStringWithFormat("only %@", "one", "two", 3), "only one");
}

// Formats and values from anywhere (the fuzzer found the first two).
TEST(FNWFormat, OutOfRangeValuesAndHugeFieldsAreHeldToWhatCanBePrinted)
{
    EXPECT_EQ(FNWStringWithFormat("%lu", 7.8e165), "18446744073709551615");
    EXPECT_EQ(FNWStringWithFormat("%ld|%ld|%ld", 1e300, -1e300, std::nan("")),
              "9223372036854775807|-9223372036854775808|0");
    EXPECT_EQ(FNWStringWithFormat("%lu", -2.5), "18446744073709551614");
    EXPECT_EQ(FNWStringWithFormat("%99999999999999999999d", 1).size(), 4096);
    EXPECT_EQ(FNWStringWithFormat("%.99999999999f", 0.5).size(), 4098);
    EXPECT_EQ(FNWStringWithFormat("%999999999@", "x").size(), 4096);
}

} // namespace
