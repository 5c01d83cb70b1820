#pragma once

#include "FNWAgentSupport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

class QSocketNotifier;

namespace fnw::agent {

enum class FNWWiFiRequestMatch { Incomplete, Complete, Invalid };

// Whether the bytes received so far are the query ("EP_WiFi_Info\r\n" or "EP_WiFi_Info\n"),
// may still become it, or never can.
FNWWiFiRequestMatch matchWiFiRequest(const QByteArray& received);

// Answers the Wi-Fi query on one TCP port. Everything runs on the thread's event loop over
// non-blocking sockets, so no client, however slow or silent, holds up another.
class FNWAgentWiFiServer final : public QObject
{
public:
    using ReplyProvider = std::function<QByteArray()>;

    struct Settings
    {
        // Empty for every interface.
        QString bindAddress;
        std::uint16_t port = 5208;
        // A client that sends nothing for this long is closed without a reply.
        std::chrono::milliseconds idleTimeout{5000};
        // Connections past this many are closed as soon as they are accepted.
        int maxConnections = 256;
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

    void acceptConnections();
    void readFrom(Connection* connection);
    // False when sending failed and the connection is gone.
    bool answer(Connection* connection);
    void drop(Connection* connection);
    void noteRefused();

    const Settings m_settings;
    const ReplyProvider m_replyProvider;
    FNWUniqueFd m_listener;
    QSocketNotifier* m_listenerNotifier = nullptr;
    std::uint16_t m_port = 0;
    std::unordered_map<Connection*, std::unique_ptr<Connection>> m_connections;
    qint64 m_refusedSinceLog = 0;
    QElapsedTimer m_sinceRefusedLog;
};

} // namespace fnw::agent
