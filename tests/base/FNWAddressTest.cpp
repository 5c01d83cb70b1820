#include "base/FNWUtils.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(FNWAddress, Validation)
{
    const struct
    {
        const char* text;
        bool valid;
    } cases[] = {
        {"1.2.3.4", true},
        {"255.255.255.255", true},
        {"01.2.3.4", true},
        {"1.2.3.00", true},
        // Prefixes: "https://" goes first, then "http://", each in one pass.
        {"http://10.0.0.1", true},
        {"https://10.0.0.1", true},
        {"http://https://10.0.0.1", true},
        {"hthttps://tp://1.2.3.4", true},
        {"htthttp://p://1.2.3.4", false},
        {"HTTP://1.2.3.4", false},
        {"ftp://1.2.3.4", false},
        {"http://1.2.3.4:80", false},
        // Part count and part shape.
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"1..3.4", false},
        {".1.2.3", false},
        {"1.2.3.", false},
        {"1.2.3.256", false},
        {"1.2.3.0255", false},
        {"0001.2.3.4", false},
        // A first part of 0, however written.
        {"0.1.2.3", false},
        {"000.1.2.3", false},
        // Characters.
        {"1.2.3.4 ", false},
        {" 1.2.3.4", false},
        {"1.2.3.4a", false},
        {"1.2.3.4/24", false},
        {"1.\xd9\xa2.\xd9\xa3.\xd9\xa4", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FNWUtils::isIPAddressValid(QString::fromUtf8(c.text)), c.valid) << '"' << c.text << '"';
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
