#include "engine/FNWWiFiInfo.h"

#include "FNWAgentWiFiSource.h"

#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

using fnw::engine::FNWWiFiDetails;
namespace wifi = fnw::engine::wifi;

TEST(FNWWiFiInfo, FormatsAccessPointAddressesInUpperCaseAndNetworkNamesInAsciiWithinAReplyOfOneSeparator)
{
    const unsigned char bytes[6] = {0x00, 0x1a, 0xff, 0x0b, 0xc0, 0x9e};
    EXPECT_EQ(wifi::formatMacAddress(bytes, 6), QStringLiteral("00:1A:FF:0B:C0:9E"));
    EXPECT_EQ(wifi::formatMacAddress(bytes, 5), QString());

    EXPECT_EQ(wifi::normalizeMacAddress(QStringLiteral("00:1a:ff:0b:c0:9e")), QStringLiteral("00:1A:FF:0B:C0:9E"));
    EXPECT_EQ(wifi::normalizeMacAddress(QStringLiteral("00-1a-ff-0b-c0-9e")), QStringLiteral("00:1A:FF:0B:C0:9E"));
    for (const char* bad : {"", "00:1a:ff:0b:c0", "0:1a:ff:0b:c0:9e", "00:1a:ff:0b:c0:zz", "00:1a:ff:0b:c0:9e:01"})
        EXPECT_EQ(wifi::normalizeMacAddress(QString::fromLatin1(bad)), QString()) << bad;

    EXPECT_EQ(wifi::decodeSsid(QByteArray("Caf\xc3\xa9")), QStringLiteral("Café"));
    // Drivers that count the terminating NUL.
    EXPECT_EQ(wifi::decodeSsid(QByteArray("Home\0\0", 6)), QStringLiteral("Home"));
    // Not UTF-8, including a sequence cut off at the end: one character per byte.
    EXPECT_EQ(wifi::decodeSsid(QByteArray("\xff\xfe"
                                          "AB")),
              QString::fromLatin1("\xff\xfe"
                                  "AB"));
    EXPECT_EQ(wifi::decodeSsid(QByteArray("Caf\xc3")), QString::fromLatin1("Caf\xc3"));

    EXPECT_EQ(wifi::printableAscii(QStringLiteral("Café ~")), QByteArray("Caf? ~"));
    EXPECT_EQ(wifi::printableAscii(QString::fromUtf8("a\tb\x01"
                                                     "c\xf0\x9f\x98\x80"
                                                     "d")),
              QByteArray("a?b?c?d"));

    // The agent's reply has exactly one separator.
    EXPECT_EQ(fnw::agent::composeWiFiReply({}), QByteArray("SSID:$#$BSSID:"));
    EXPECT_EQ(fnw::agent::composeWiFiReply({QStringLiteral("Café\n"), QStringLiteral("00:1A:FF:0B:C0:9E")}),
              QByteArray("SSID:Caf??$#$BSSID:00:1A:FF:0B:C0:9E"));

    // A reader splits at the first "$#$": whatever the name holds, that must be the separator.
    for (const char* name : {"$#$", "a$#$b", "x$#", "$#$#$", "#$", "$", "$$##$$", "a$#$#$#b$#"}) {
        const QByteArray reply = fnw::agent::composeWiFiReply({QString::fromLatin1(name), QStringLiteral("B")});
        const qsizetype separator = reply.indexOf("$#$");
        EXPECT_EQ(separator, qsizetype(5 + std::strlen(name))) << name << " -> " << reply.constData();
        EXPECT_EQ(reply.mid(separator), QByteArray("$#$BSSID:B")) << name;
    }
}

TEST(FNWWiFiInfo, ReadsNothingWithoutWiFiAndNeverHangsOnTheBus)
{
    std::error_code error;
    bool hasWireless = false;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net", error))
        hasWireless = hasWireless || std::filesystem::exists(entry.path() / "wireless");

    QElapsedTimer timer;
    timer.start();
    const FNWWiFiDetails here = fnw::engine::currentWiFiDetails();
    EXPECT_LT(timer.elapsed(), 4000);
    if (!hasWireless)
        EXPECT_TRUE(here.isEmpty()) << here.ssid.toStdString() << " " << here.bssid.toStdString();

    // A bus that accepts the connection but never says a word: the handshake must give up.
    int port = 0;
    const int listener = fnw::test::listenOnLoopback(port);
    ASSERT_GE(listener, 0);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", QStringLiteral("tcp:host=127.0.0.1,port=%1").arg(port).toUtf8().constData(), 1);
    timer.restart();
    const FNWWiFiDetails silent = fnw::engine::currentWiFiDetails();
    const qint64 elapsed = timer.elapsed();
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    ::close(listener);
    EXPECT_LT(elapsed, 4000);
    if (!hasWireless)
        EXPECT_TRUE(silent.isEmpty());
}

TEST(FNWWiFiInfo, ReadsTheAccessPointFromNetworkManager)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    // A private bus with the stock session rules, which let anyone own a name.
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                       QStringLiteral("--address=unix:path=") + fnw::test::testHome() + QStringLiteral("/bus")});
    QByteArray address;
    while (!address.endsWith('\n') && bus.waitForReadyRead(10000))
        address += bus.readAllStandardOutput();
    address = address.trimmed();
    ASSERT_FALSE(address.isEmpty()) << bus.readAllStandardError().constData();
    QProcess networkManager;
    networkManager.start(QStringLiteral(FENWAVE_FAKE_NETWORK_MANAGER_PATH), {QString::fromUtf8(address)});
    QByteArray ready;
    while (!ready.endsWith('\n') && networkManager.waitForReadyRead(10000))
        ready += networkManager.readAllStandardOutput();
    ASSERT_EQ(ready, QByteArray("ready\n")) << networkManager.readAllStandardError().constData();

    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.constData(), 1);
    const FNWWiFiDetails details = fnw::engine::currentWiFiDetails();
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    EXPECT_EQ(details.ssid, QStringLiteral("Café $#$"));
    EXPECT_EQ(details.bssid, QStringLiteral("0A:1B:2C:3D:4E:5F"));
    networkManager.terminate();
    networkManager.waitForFinished();
    bus.terminate();
    bus.waitForFinished();
}

} // namespace
