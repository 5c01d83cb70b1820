#include "base/FNWUtils.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(FNWAddress, Validation)
{
    // clang-format off
    // Prefixes: "https://" goes first, then "http://", each in one pass.
    const char* const valid[] = {"1.2.3.4", "255.255.255.255", "01.2.3.4", "1.2.3.00", "http://10.0.0.1",
                                 "https://10.0.0.1", "http://https://10.0.0.1", "hthttps://tp://1.2.3.4"};
    // Other prefixes, too few or too many numbers, misshapen ones, a first number of 0 however written, stray
    // characters.
    const char* const invalid[] = {"htthttp://p://1.2.3.4", "HTTP://1.2.3.4", "ftp://1.2.3.4", "http://1.2.3.4:80",
                                   "1.2.3", "1.2.3.4.5", "1..3.4", ".1.2.3", "1.2.3.", "1.2.3.256", "1.2.3.0255",
                                   "0001.2.3.4", "0.1.2.3", "000.1.2.3", "1.2.3.4 ", " 1.2.3.4", "1.2.3.4a",
                                   "1.2.3.4/24", "1.\xd9\xa2.\xd9\xa3.\xd9\xa4", ""};
    // clang-format on
    for (const char* text : valid)
        EXPECT_TRUE(FNWUtils::isIPAddressValid(QString::fromUtf8(text))) << '"' << text << '"';
    for (const char* text : invalid)
        EXPECT_FALSE(FNWUtils::isIPAddressValid(QString::fromUtf8(text))) << '"' << text << '"';
    EXPECT_FALSE(FNWUtils::isIPAddressValid(QString()));
}

TEST(FNWAddress, SystemAddressIsIPv4OrError)
{
    fnw::test::LogCapture log;
    const QString address = FNWUtils::getSystemIPAddress();

    if (address != QLatin1String("error")) {
        EXPECT_TRUE(FNWUtils::isIPAddressValid(address)) << address.toStdString();
    }
    EXPECT_TRUE(log.messages().contains(QStringLiteral("address:") + address));
}

} // namespace
