// The agent's Wi-Fi query: the reply's form, and agents that answer badly or not at all.

#include "FNWLocalServers.h"

#include "engine/FNWTargetWiFiQuery.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace fnw::engine;

namespace {

// An agent on 127.0.0.1 that takes one connection, reads the request and sends the given pieces,
// or nothing at all.
class OneClientAgent final
{
public:
    explicit OneClientAgent(std::vector<QByteArray> pieces)
        : m_pieces(std::move(pieces))
    {
        m_listener = fnw::test::listenOnLoopback(m_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~OneClientAgent()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }
    int port() const { return m_port; }
    QByteArray request() const { return m_request; }

private:
    void serve()
    {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        char buffer[64];
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got > 0)
            m_request = QByteArray(buffer, got);
        for (const QByteArray& piece : m_pieces) {
            ::send(client, piece.constData(), static_cast<size_t>(piece.size()), MSG_NOSIGNAL);
        }
        // Waits until the client closes.
        while (::recv(client, buffer, sizeof buffer, 0) > 0) {
        }
        ::close(client);
    }

    std::vector<QByteArray> m_pieces;
    int m_listener = -1;
    int m_port = 0;
    QByteArray m_request;
    std::thread m_thread;
};

} // namespace

TEST(FNWTargetWiFiReply, CutsThePrefixesAndUpperCasesTheBssid)
{
    EXPECT_EQ(parseTargetWiFiReply("SSID:Office$#$BSSID:a1:b2:c3:d4:e5:f6"),
              (FNWTargetWiFiReply{QStringLiteral("Office"), QStringLiteral("A1:B2:C3:D4:E5:F6")}));
    // Further parts are ignored; line ends stay part of the BSSID.
    EXPECT_EQ(parseTargetWiFiReply("SSID:Lab$#$BSSID:aa:bb:cc:dd:ee:ff\r\n$#$more"),
              (FNWTargetWiFiReply{QStringLiteral("Lab"), QStringLiteral("AA:BB:CC:DD:EE:FF\r\n")}));
    EXPECT_EQ(parseTargetWiFiReply("SSID:$#$BSSID:"), (FNWTargetWiFiReply{QString(), QString()}));
    // A part shorter than its prefix is stored as empty text.
    const auto shortParts = parseTargetWiFiReply("SSI$#$BSS");
    ASSERT_TRUE(shortParts);
    EXPECT_TRUE(shortParts->ssid.isEmpty() && !shortParts->ssid.isNull());
    EXPECT_TRUE(shortParts->bssid.isEmpty() && !shortParts->bssid.isNull());
    EXPECT_FALSE(parseTargetWiFiReply("SSID:Office BSSID:a1"));
    EXPECT_FALSE(parseTargetWiFiReply(""));
}

TEST(FNWTargetWiFiQuery, AsksOnceAndStoresTheReply)
{
    OneClientAgent agent({QByteArray("SSID:Office$#$BSSID:a1:b2:c3:d4:e5:f6")});
    const auto reply = queryTargetWiFiDetails(QStringLiteral("127.0.0.1"), agent.port());
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->ssid, QLatin1String("Office"));
    EXPECT_EQ(reply->bssid, QLatin1String("A1:B2:C3:D4:E5:F6"));
    EXPECT_EQ(agent.request(), QByteArray("EP_WiFi_Info\r\n"));
}

TEST(FNWTargetWiFiQuery, AgentsThatDoNotAnswerCostBoundedTime)
{
    // Nobody listens: refused at once.
    const int closedPort = fnw::test::freePort();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(queryTargetWiFiDetails(QStringLiteral("127.0.0.1"), closedPort));
    EXPECT_LT(clock.elapsed(), 2000);

    // Connected but silent: the receive time-out ends the wait.
    OneClientAgent silent({});
    clock.restart();
    EXPECT_FALSE(queryTargetWiFiDetails(QStringLiteral("127.0.0.1"), silent.port(), 5, 1));
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 4000);
}
