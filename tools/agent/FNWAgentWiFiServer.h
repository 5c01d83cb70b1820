#pragma once

#include "FNWAgentSupport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>

class QSocketNotifier;

namespace fnw::agent {

enum class FNWWiFiRequestMatch { Incomplete, Complete, Invalid };

// Whether the bytes received so far are the query ("EP_WiFi_Info\r\n" or "EP_WiFi_Info\n"),
// may still become it, or never can.
FNWWiFiRequestMatch matchWiFiRequest(const QByteArray& received);

// Answers the Wi-Fi query on one TCP port. Everything runs on the thread's event loop over
// non-blocking sockets, so no client, however slow or silent, holds up another.
//
// A new connection is always taken. When its address already holds the most connections one
// address may, or the table is full, an older connection makes room: the oldest one already
// answered, else the oldest one still waiting for its request (given one last read first, so a
// request already in its buffer is answered). Clients that hold connections open without asking
// thus lose them to newcomers, also newcomers from their own address (every client on one host,
// or behind one NAT router, shares it), while a real client, which sends its request right after
// connecting, is served long before it becomes the oldest.
class FNWAgentWiFiServer final : public QObject
{
    Q_DISABLE_COPY_MOVE(FNWAgentWiFiServer)

public:
    using ReplyProvider = std::function<QByteArray()>;

    struct Settings
    {
        // Empty for every interface.
        QString bindAddress;
        std::uint16_t port = 5208;
        // A client that has not sent the whole request this long after connecting is closed without
        // a reply, however many bytes it has sent on the way.
        std::chrono::milliseconds requestTimeout{5000};
        // Open connections, in all and from one client address; see above for what makes room.
        int maxConnections = 256;
        int maxConnectionsPerAddress = 64;
    };

    FNWAgentWiFiServer(Settings settings, ReplyProvider replyProvider, QObject* parent = nullptr);
    ~FNWAgentWiFiServer() override;

    // On failure the message reads "cannot listen on ADDR:PORT: reason".
    bool listen(QString* error);
    // Stops listening and closes every connection.
    void close();
    // The port listened on, also when 0 was asked for.
    std::uint16_t port() const { return m_port; }
    int connectionCount() const { return static_cast<int>(m_connections.size()); }

private:
    struct Connection;

    using Connections = std::list<std::unique_ptr<Connection>>;

    void acceptConnections();
    void admit(FNWUniqueFd fd, const QByteArray& address);
    // The connection that makes room for one more from `address`; null when there is room.
    Connection* makeRoomFor(const QByteArray& address) const;
    void evict(Connection* connection);
    void readFrom(Connection* connection);
    // False when sending failed and the connection is gone.
    bool answer(Connection* connection);
    void drop(Connection* connection);
    void noteEvicted();

    const Settings m_settings;
    const ReplyProvider m_replyProvider;
    FNWUniqueFd m_listener;
    QSocketNotifier* m_listenerNotifier = nullptr;
    std::uint16_t m_port = 0;
    // Oldest first.
    Connections m_connections;
    QHash<QByteArray, int> m_perAddress;
    qint64 m_evictedSinceLog = 0;
    QElapsedTimer m_sinceEvictedLog;
};

} // namespace fnw::agent
