#include "app/FNWUtils.h"
#include "support/DDLog.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

namespace {

TEST(FNWAddress, HasValue)
{
    EXPECT_FALSE(FNWUtils::hasValue(QString()));
    EXPECT_FALSE(FNWUtils::hasValue(QStringLiteral("")));
    EXPECT_TRUE(FNWUtils::hasValue(QStringLiteral(" ")));
    EXPECT_TRUE(FNWUtils::hasValue(QStringLiteral("a")));
}

TEST(FNWAddress, Validation)
{
    const struct
    {
        const char* text;
        bool valid;
    } cases[] = {
        {"1.2.3.4", true},
        {"192.168.1.255", true},
        {"255.255.255.255", true},
        {"1.0.0.0", true},
        {"01.2.3.4", true},
        {"1.2.3.00", true},
        {"1.2.3.000", true},
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
        {"256.1.1.1", false},
        {"1.2.3.0255", false},
        {"0001.2.3.4", false},
        // A first part of 0, however written.
        {"0.1.2.3", false},
        {"00.1.2.3", false},
        {"000.1.2.3", false},
        // Characters.
        {"1.2.3.4 ", false},
        {" 1.2.3.4", false},
        {"a.b.c.d", false},
        {"1.2.3.4a", false},
        {"1.2.3.-4", false},
        {"1.2.3.+4", false},
        {"1,2,3,4", false},
        {"1.2.3.4/24", false},
        {"1.\xd9\xa2.\xd9\xa3.\xd9\xa4", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FNWUtils::isIPAddressValid(QString::fromUtf8(c.text)), c.valid) << '"' << c.text << '"';
    EXPECT_FALSE(FNWUtils::isIPAddressValid(QString()));
}

class CapturingLogger final : public DDAbstractLogger
{
public:
    CapturingLogger() : DDAbstractLogger("fenwave.test.capture") {}
    void logMessage(const DDLogMessage& message) override
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(message.logMsg);
    }
    QString loggerName() const override { return QStringLiteral("fenwave.test.capture"); }
    QStringList messages() const
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_messages;
};

TEST(FNWAddress, SystemAddressIsIPv4OrError)
{
    auto logger = std::make_shared<CapturingLogger>();
    DDLog::sharedInstance().addLogger(logger);
    const QString address = FNWUtils::getSystemIPAddress();
    DDLog::sharedInstance().flushLog();
    DDLog::sharedInstance().removeLogger(logger);

    if (address != QLatin1String("error")) {
        EXPECT_TRUE(FNWUtils::isIPAddressValid(address)) << address.toStdString();
    }
    EXPECT_TRUE(logger->messages().contains(QStringLiteral("address:") + address));
}

} // namespace
