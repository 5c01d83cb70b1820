#include "FNWAgentWiFiServer.h"

#include "FNWAgentConfig.h"

#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace fnw::agent {

namespace {

using namespace std::chrono_literals;

// How long an answered client may take to close its side before the agent closes the connection.
constexpr auto kLingerAfterReply = 1000ms;
// Connections taken per wake-up, so a flood of them cannot starve the clients already connected.
constexpr int kAcceptBurst = 64;
constexpr int kReadRounds = 16;
constexpr auto kRefusedLogInterval = 10000ms;

QString lastError()
{
    return qt_error_string(errno);
}

} // namespace

FNWWiFiRequestMatch matchWiFiRequest(const QByteArray& received)
{
    static constexpr std::string_view kRequests[] = {"EP_WiFi_Info\r\n", "EP_WiFi_Info\n"};
    bool mayGrow = false;
    for (const std::string_view request : kRequests) {
        const auto length = std::min(static_cast<std::size_t>(received.size()), request.size());
        if (std::string_view(received.constData(), length) != request.substr(0, length))
            continue;
        if (length == request.size())
            return FNWWiFiRequestMatch::Complete;
        mayGrow = true;
    }
    return mayGrow ? FNWWiFiRequestMatch::Incomplete : FNWWiFiRequestMatch::Invalid;
}

// The notifier and the timer are children of the server and go with deleteLater(): a connection
// is often dropped from inside their own signals.
struct FNWAgentWiFiServer::Connection
{
    FNWUniqueFd fd;
    QByteArray received;
    bool answered = false;
    QSocketNotifier* notifier = nullptr;
    QTimer* timer = nullptr;

    ~Connection()
    {
        notifier->setEnabled(false);
        notifier->deleteLater();
        timer->stop();
        timer->deleteLater();
    }
};

FNWAgentWiFiServer::FNWAgentWiFiServer(Settings settings, ReplyProvider replyProvider, QObject* parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_replyProvider(std::move(replyProvider))
{
}

FNWAgentWiFiServer::~FNWAgentWiFiServer()
{
    close();
}

bool FNWAgentWiFiServer::listen(QString* error)
{
    const QByteArray host = m_settings.bindAddress.toLatin1();
    sockaddr_in ipv4{};
    sockaddr_in6 ipv6{};
    ipv4.sin_family = AF_INET;
    ipv4.sin_port = htons(m_settings.port);
    ipv6.sin6_family = AF_INET6;
    ipv6.sin6_port = htons(m_settings.port);
    // Every interface: one IPv6 socket that takes IPv4 too, or IPv4 alone where IPv6 is off.
    bool useIpv6 = host.isEmpty() || host.contains(':');
    if (host.isEmpty()) {
        ipv4.sin_addr.s_addr = htonl(INADDR_ANY);
        ipv6.sin6_addr = in6addr_any;
    } else if (inet_pton(useIpv6 ? AF_INET6 : AF_INET, host.constData(),
                         useIpv6 ? static_cast<void*>(&ipv6.sin6_addr) : static_cast<void*>(&ipv4.sin_addr)) != 1) {
        *error = QStringLiteral("cannot listen on %1: not a numeric address")
                     .arg(displayAddress(m_settings.bindAddress, m_settings.port));
        return false;
    }

    FNWUniqueFd fd(::socket(useIpv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.isValid() && host.isEmpty() && errno == EAFNOSUPPORT) {
        useIpv6 = false;
        fd.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    }
    const auto fail = [&] {
        *error = QStringLiteral("cannot listen on %1: %2")
                     .arg(displayAddress(m_settings.bindAddress, m_settings.port), lastError());
        return false;
    };
    if (!fd.isValid())
        return fail();
    const int yes = 1;
    const int no = 0;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (useIpv6 && host.isEmpty())
        ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    const int bound = useIpv6 ? ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&ipv6), sizeof ipv6)
                              : ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&ipv4), sizeof ipv4);
    if (bound != 0 || ::listen(fd.get(), SOMAXCONN) != 0)
        return fail();

    sockaddr_storage local{};
    socklen_t localLength = sizeof local;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&local), &localLength) != 0)
        return fail();
    m_port = ntohs(local.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port
                                               : reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
    m_listener = std::move(fd);
    m_listenerNotifier = new QSocketNotifier(m_listener.get(), QSocketNotifier::Read, this);
    connect(m_listenerNotifier, &QSocketNotifier::activated, this, [this] { acceptConnections(); });
    return true;
}

void FNWAgentWiFiServer::close()
{
    if (m_listenerNotifier) {
        m_listenerNotifier->setEnabled(false);
        m_listenerNotifier->deleteLater();
        m_listenerNotifier = nullptr;
    }
    m_listener.reset();
    m_connections.clear();
}

void FNWAgentWiFiServer::acceptConnections()
{
    for (int i = 0; i < kAcceptBurst; ++i) {
        FNWUniqueFd fd(::accept4(m_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.isValid()) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: the pending connection stays readable, so pause instead of spinning.
                agentLog(QStringLiteral("cannot accept a Wi-Fi query connection: %1").arg(lastError()));
                m_listenerNotifier->setEnabled(false);
                QTimer::singleShot(100ms, this, [this] {
                    if (m_listenerNotifier)
                        m_listenerNotifier->setEnabled(true);
                });
            }
            return;
        }
        if (static_cast<int>(m_connections.size()) >= m_settings.maxConnections) {
            noteRefused();
            continue;
        }

        auto connection = std::make_unique<Connection>();
        Connection* raw = connection.get();
        raw->fd = std::move(fd);
        raw->notifier = new QSocketNotifier(raw->fd.get(), QSocketNotifier::Read, this);
        raw->timer = new QTimer(this);
        raw->timer->setSingleShot(true);
        connect(raw->notifier, &QSocketNotifier::activated, this, [this, raw] { readFrom(raw); });
        connect(raw->timer, &QTimer::timeout, this, [this, raw] { drop(raw); });
        raw->timer->start(m_settings.idleTimeout);
        m_connections.emplace(raw, std::move(connection));
    }
}

void FNWAgentWiFiServer::readFrom(Connection* connection)
{
    char buffer[512];
    // A budget per wake-up, so a client that keeps sending after its reply cannot starve the rest;
    // the notifier fires again for whatever is left.
    for (int round = 0; round < kReadRounds; ++round) {
        const ssize_t count = ::recv(connection->fd.get(), buffer, sizeof buffer, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (count <= 0) {
            // The client closed its side (a request cut short can no longer complete) or the connection failed.
            drop(connection);
            return;
        }
        // After the reply, input is only read so that closing does not turn into a reset.
        if (connection->answered)
            continue;
        connection->received.append(buffer, count);
        switch (matchWiFiRequest(connection->received)) {
        case FNWWiFiRequestMatch::Invalid:
            drop(connection);
            return;
        case FNWWiFiRequestMatch::Complete:
            if (!answer(connection))
                return;
            break;
        case FNWWiFiRequestMatch::Incomplete:
            break;
        }
    }
    if (!connection->answered)
        connection->timer->start(m_settings.idleTimeout);
}

bool FNWAgentWiFiServer::answer(Connection* connection)
{
    const QByteArray reply = m_replyProvider();
    // One send: the reply is a few dozen bytes, far below a new socket's send buffer.
    ssize_t sent = 0;
    do {
        sent = ::send(connection->fd.get(), reply.constData(), static_cast<size_t>(reply.size()), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent != reply.size()) {
        drop(connection);
        return false;
    }
    connection->answered = true;
    // The end of the reply for the client; the connection closes once the client closes its side.
    ::shutdown(connection->fd.get(), SHUT_WR);
    connection->timer->start(std::min<std::chrono::milliseconds>(m_settings.idleTimeout, kLingerAfterReply));
    return true;
}

void FNWAgentWiFiServer::drop(Connection* connection)
{
    m_connections.erase(connection);
}

void FNWAgentWiFiServer::noteRefused()
{
    ++m_refusedSinceLog;
    if (m_sinceRefusedLog.isValid() && m_sinceRefusedLog.elapsed() < kRefusedLogInterval.count())
        return;
    agentLog(QStringLiteral("refused %1 Wi-Fi query connection(s): %2 are open, the most allowed")
                 .arg(m_refusedSinceLog)
                 .arg(m_settings.maxConnections));
    m_refusedSinceLog = 0;
    m_sinceRefusedLog.start();
}

} // namespace fnw::agent
