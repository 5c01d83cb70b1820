#include "FNWAgentAnnouncer.h"

#include <gtest/gtest.h>

using fnw::agent::FNWAgentAnnouncer;

namespace {

TEST(FNWAgentAnnouncement, NamesKeepPortAndAddressWithinSixtyThreeBytes)
{
    EXPECT_EQ(FNWAgentAnnouncer::serviceName(QStringLiteral("lab-2"), 5201, QStringLiteral("192.168.1.20")),
              QStringLiteral("lab-2,5201,192_168_1_20"));
    // A "," would split the name into fields of its own.
    EXPECT_EQ(FNWAgentAnnouncer::serviceName(QStringLiteral("Lab, floor 2"), 5201, QStringLiteral("10.0.0.2")),
              QStringLiteral("Lab  floor 2,5201,10_0_0_2"));

    const QString tail = QStringLiteral(",65535,255_255_255_255");
    for (const QString& longName :
         {QString(80, QLatin1Char('n')), QString(40, QChar(0x00e9)), QString::fromUtf8("\xf0\x9f\x93\xa1").repeated(20),
          QString(41, QLatin1Char('x'))}) {
        const QString name = FNWAgentAnnouncer::serviceName(longName, 65535, QStringLiteral("255.255.255.255"));
        EXPECT_LE(name.toUtf8().size(), FNWAgentAnnouncer::kMaxServiceNameBytes) << name.toStdString();
        EXPECT_GT(name.toUtf8().size(), FNWAgentAnnouncer::kMaxServiceNameBytes - 4) << "cut no shorter than needed";
        EXPECT_TRUE(name.endsWith(tail)) << name.toStdString();
        EXPECT_TRUE(longName.startsWith(name.chopped(tail.size()))) << "cut between characters";
        EXPECT_EQ(QString::fromUtf8(name.toUtf8()), name);
    }
}

TEST(FNWAgentAnnouncement, OnlyIPv4AddressesOtherThanLoopbackAreAnnounced)
{
    for (const char* unannounced : {"127.0.0.1", "127.9.0.1", "::1", "fe80::1"})
        EXPECT_TRUE(FNWAgentAnnouncer::addressesToAnnounce(QString::fromLatin1(unannounced)).empty()) << unannounced;
    // An address no interface holds yet is still announced, on every interface.
    const auto unheld = FNWAgentAnnouncer::addressesToAnnounce(QStringLiteral("192.0.2.77"));
    ASSERT_EQ(unheld.size(), 1u);
    EXPECT_EQ(unheld[0].address, QStringLiteral("192.0.2.77"));
    EXPECT_EQ(unheld[0].interfaceIndex, -1);
    for (const auto& address : FNWAgentAnnouncer::addressesToAnnounce(QString())) {
        EXPECT_FALSE(address.address.startsWith(QStringLiteral("127."))) << address.address.toStdString();
        EXPECT_GT(address.interfaceIndex, 0);
    }
}

} // namespace
