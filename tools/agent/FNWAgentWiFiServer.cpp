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
#include <cstring>
#include <string_view>

namespace fnw::agent {

namespace {

using namespace std::chrono_literals;

// How long an answered client may take to close its side before the agent closes the connection.
constexpr auto kLingerAfterReply = 1000ms;
// Connections taken per wake-up, so a flood of them cannot starve the clients already connected.
constexpr int kAcceptBurst = 64;
constexpr int kReadRounds = 16;
constexpr auto kEvictedLogInterval = 10000ms;
// Bytes read from a connection that is closed after its reply, so that closing does not turn into a reset.
constexpr int kDrainLimit = 64 * 1024;

QString lastError()
{
    return qt_error_string(errno);
}

// The client's address as 16 bytes, IPv4 in its IPv6-mapped form, so that one host counts once
// whichever socket family it arrived on.
QByteArray clientAddress(const sockaddr_storage& peer)
{
    in6_addr address{};
    if (peer.ss_family == AF_INET6) {
        address = reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_addr;
    } else if (peer.ss_family == AF_INET) {
        address.s6_addr[10] = 0xff;
        address.s6_addr[11] = 0xff;
        std::memcpy(&address.s6_addr[12], &reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr, 4);
    }
    return QByteArray(reinterpret_cast<const char*>(address.s6_addr), sizeof address.s6_addr);
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
    QByteArray address;
    QByteArray received;
    bool answered = false;
    QSocketNotifier* notifier = nullptr;
    QTimer* timer = nullptr;
    Connections::iterator position;

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
    m_perAddress.clear();
}

void FNWAgentWiFiServer::acceptConnections()
{
    for (int i = 0; i < kAcceptBurst; ++i) {
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        FNWUniqueFd fd(::accept4(m_listener.get(), reinterpret_cast<sockaddr*>(&peer), &peerLength,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC));
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
        admit(std::move(fd), clientAddress(peer));
    }
}

void FNWAgentWiFiServer::admit(FNWUniqueFd fd, const QByteArray& address)
{
    // One leaves: from the address's own when it has its share (which frees a place in the table
    // too), else from the whole table.
    if (Connection* victim = makeRoomFor(address))
        evict(victim);

    auto owned = std::make_unique<Connection>();
    Connection* raw = owned.get();
    raw->fd = std::move(fd);
    raw->address = address;
    raw->notifier = new QSocketNotifier(raw->fd.get(), QSocketNotifier::Read, this);
    raw->timer = new QTimer(this);
    raw->timer->setSingleShot(true);
    connect(raw->notifier, &QSocketNotifier::activated, this, [this, raw] { readFrom(raw); });
    connect(raw->timer, &QTimer::timeout, this, [this, raw] { drop(raw); });
    // One deadline for the whole request, never moved by what arrives: a client trickling a byte
    // now and then must not keep its place for ever.
    raw->timer->start(m_settings.requestTimeout);
    raw->position = m_connections.insert(m_connections.end(), std::move(owned));
    ++m_perAddress[address];
}

FNWAgentWiFiServer::Connection* FNWAgentWiFiServer::makeRoomFor(const QByteArray& address) const
{
    const bool addressFull = m_perAddress.value(address) >= m_settings.maxConnectionsPerAddress;
    const bool tableFull = static_cast<int>(m_connections.size()) >= m_settings.maxConnections;
    if (!addressFull && !tableFull)
        return nullptr;
    // The address's own connections when it has its share, else anyone's.
    Connection* oldestWaiting = nullptr;
    for (const auto& connection : m_connections) {
        if (addressFull && connection->address != address)
            continue;
        if (connection->answered)
            return connection.get();
        if (!oldestWaiting)
            oldestWaiting = connection.get();
    }
    return oldestWaiting;
}

void FNWAgentWiFiServer::evict(Connection* connection)
{
    if (!connection->answered) {
        // A request may be waiting in the buffer, unread: answer it rather than lose it.
        const Connections::size_type before = m_connections.size();
        readFrom(connection);
        if (m_connections.size() < before)
            return;
        if (!connection->answered)
            noteEvicted();
    }
    if (connection->answered) {
        char buffer[4096];
        for (int drained = 0; drained < kDrainLimit;) {
            const ssize_t count = ::recv(connection->fd.get(), buffer, sizeof buffer, 0);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            drained += static_cast<int>(count);
        }
    }
    drop(connection);
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
    connection->timer->start(std::min<std::chrono::milliseconds>(m_settings.requestTimeout, kLingerAfterReply));
    return true;
}

void FNWAgentWiFiServer::drop(Connection* connection)
{
    const auto count = m_perAddress.find(connection->address);
    if (count != m_perAddress.end() && --count.value() <= 0)
        m_perAddress.erase(count);
    m_connections.erase(connection->position);
}

void FNWAgentWiFiServer::noteEvicted()
{
    ++m_evictedSinceLog;
    if (m_sinceEvictedLog.isValid() && m_sinceEvictedLog.elapsed() < kEvictedLogInterval.count())
        return;
    agentLog(QStringLiteral("closed %1 Wi-Fi query connection(s) still waiting for a request, to admit newer "
                            "ones (at most %2 open, %3 from one address)")
                 .arg(m_evictedSinceLog)
                 .arg(m_settings.maxConnections)
                 .arg(m_settings.maxConnectionsPerAddress));
    m_evictedSinceLog = 0;
    m_sinceEvictedLog.start();
}

} // namespace fnw::agent
