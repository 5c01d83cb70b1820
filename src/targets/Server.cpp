#include "targets/Server.h"

#include "support/DDLog.h"
#include "targets/FNWAvahiPoll.h"

#include <QSocketNotifier>
#include <QTimer>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-client/publish.h>
#include <avahi-common/error.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr char kPosixErrorDomain[] = "POSIXErrorDomain";
// Bytes discarded per wake-up of the connection, so a flood cannot hold up the event loop.
constexpr int kReadsPerWakeUp = 64;

ServerError avahiError(int code)
{
    return {QString::fromLatin1(Server::kAvahiErrorDomain), code, QString::fromUtf8(avahi_strerror(code))};
}

ServerError posixError(const char* domain, int code, const char* what, int errorNumber)
{
    return {QString::fromLatin1(domain), code,
            QString::fromLatin1(what) + QString::fromLocal8Bit(std::strerror(errorNumber))};
}

QString serviceKey(const QString& name, const QString& type, const QString& domain)
{
    return name + QLatin1Char('\n') + type + QLatin1Char('\n') + domain;
}

} // namespace

QString ServerError::description() const
{
    return QStringLiteral("%1 %2: %3").arg(domain).arg(code).arg(message);
}

// Avahi's C callbacks, back into the server.
struct Server::Bridge
{
    static void client(AvahiClient* client, AvahiClientState state, void* userdata)
    {
        static_cast<Server*>(userdata)->clientStateChanged(client, state);
    }

    static void group(AvahiEntryGroup* group, AvahiEntryGroupState state, void* userdata)
    {
        auto* server = static_cast<Server*>(userdata);
        if (group != server->m_netService && server->m_netService)
            return;
        switch (state) {
        case AVAHI_ENTRY_GROUP_ESTABLISHED:
            server->publicationDidConfirm(server->m_requestedName);
            break;
        case AVAHI_ENTRY_GROUP_COLLISION:
            // No automatic renaming: another computer already goes by this name.
            DDLogWarn("Server: the name \"%@\" is taken on the network; this computer is not published",
                      server->m_requestedName);
            if (server->m_delegate)
                server->m_delegate->serverDidNotStart(server, avahiError(AVAHI_ERR_COLLISION));
            break;
        case AVAHI_ENTRY_GROUP_FAILURE:
            if (server->m_delegate)
                server->m_delegate->serverDidNotStart(
                    server, avahiError(avahi_client_errno(avahi_entry_group_get_client(group))));
            break;
        case AVAHI_ENTRY_GROUP_UNCOMMITED:
        case AVAHI_ENTRY_GROUP_REGISTERING:
            break;
        }
    }

    static void browse(AvahiServiceBrowser*, AvahiIfIndex interfaceIndex, AvahiProtocol protocol,
                       AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                       AvahiLookupResultFlags flags, void* userdata)
    {
        auto* server = static_cast<Server*>(userdata);
        switch (event) {
        case AVAHI_BROWSER_NEW:
        case AVAHI_BROWSER_REMOVE:
            server->browserDidReport({event == AVAHI_BROWSER_NEW ? BrowseEvent::Found : BrowseEvent::Gone,
                                      interfaceIndex, protocol, QString::fromUtf8(name), QString::fromUtf8(type),
                                      QString::fromUtf8(domain), (flags & AVAHI_LOOKUP_RESULT_OUR_OWN) != 0});
            break;
        case AVAHI_BROWSER_FAILURE:
            DDLogError("Server: browsing for agents failed: %@",
                       QString::fromUtf8(avahi_strerror(avahi_client_errno(server->m_client))));
            break;
        case AVAHI_BROWSER_ALL_FOR_NOW:
        case AVAHI_BROWSER_CACHE_EXHAUSTED:
            break;
        }
    }
};

Server::Server(QObject* parent)
    : QObject(parent)
    , m_avahiPoll(std::make_unique<FNWAvahiPoll>())
{
}

Server::~Server()
{
    m_delegate = nullptr;
    dropClient();
    closeConnection();
    closeListeningSocket();
}

void Server::initWithProtocol(const QString& protocolName, const QString& name)
{
    initWithDomainName(QString(), QStringLiteral("_%1._tcp.").arg(protocolName), name);
}

void Server::initWithDomainName(const QString& domain, const QString& protocol, const QString& name)
{
    m_domain = domain;
    m_protocol = protocol;
    m_iPerfIP = name;
    m_outputStreamHasSpace = false;
    m_payloadSize = 128;
}

bool Server::start(ServerError* error)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        if (error)
            *error = posixError(kErrorDomain, kNoSocketsAvailable, "the listening socket cannot be created: ", errno);
        return false;
    }
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    // Requested, not required.
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &m_payloadSize, sizeof m_payloadSize);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &m_payloadSize, sizeof m_payloadSize);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, SOMAXCONN) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (error)
            *error =
                posixError(kErrorDomain, kCouldNotBindToIPv4Address, "the listening socket cannot be bound: ", errno);
        ::close(fd);
        return false;
    }
    m_listeningSocket = fd;
    m_port = ntohs(address.sin_port);
    m_listeningNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_listeningNotifier.get(), &QSocketNotifier::activated, this, &Server::acceptConnection);
    m_wantsPublication = true;
    if (m_client)
        publish();
    else
        connectToDaemon();
    return true;
}

void Server::stop()
{
    withdraw();
    closeConnection();
    closeListeningSocket();
    if (m_delegate)
        m_delegate->serverStopped(this);
}

void Server::stopBrowser()
{
    if (m_browser)
        avahi_service_browser_free(m_browser);
    m_browser = nullptr;
    if (m_netService)
        avahi_entry_group_free(m_netService);
    m_netService = nullptr;
    m_wantsPublication = false;
    m_localService.clear();
    m_copies.clear();
}

void Server::connectToDaemon()
{
    int error = 0;
    // Without the daemon the client waits for it to appear instead of failing.
    AvahiClient* client = avahi_client_new(m_avahiPoll->poll(), AVAHI_CLIENT_NO_FAIL, &Bridge::client, this, &error);
    if (!client) {
        m_client = nullptr;
        DDLogError("Server: DNS-SD is not available (%@); agents are not discovered",
                   QString::fromUtf8(avahi_strerror(error)));
        if (m_delegate)
            m_delegate->serverDidNotStart(this, avahiError(error));
        return;
    }
    m_client = client;
}

void Server::clientStateChanged(AvahiClient* client, int state)
{
    // The first call comes from inside avahi_client_new, before it has returned the client.
    m_client = client;
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        DDLogInfo("Server: avahi-daemon is running");
        if (m_wantsPublication)
            publish();
        break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
        // The daemon is renaming the host: the publication goes up again once it runs.
        if (m_netService)
            avahi_entry_group_reset(m_netService);
        break;
    case AVAHI_CLIENT_CONNECTING:
        DDLogInfo("Server: waiting for avahi-daemon");
        break;
    case AVAHI_CLIENT_FAILURE:
        DDLogWarn("Server: lost avahi-daemon (%@); waiting for it to come back",
                  QString::fromUtf8(avahi_strerror(avahi_client_errno(client))));
        // A failed client is of no further use: a new one waits for the daemon. Not from inside
        // the client's own callback.
        QTimer::singleShot(0, this, [this, client] {
            if (m_client != client)
                return;
            dropClient();
            connectToDaemon();
        });
        break;
    }
}

void Server::publish()
{
    if (!m_client || avahi_client_get_state(m_client) != AVAHI_CLIENT_S_RUNNING || m_listeningSocket < 0)
        return;
    if (!m_netService)
        m_netService = avahi_entry_group_new(m_client, &Bridge::group, this);
    if (!m_netService) {
        if (m_delegate)
            m_delegate->serverDidNotStart(this, avahiError(avahi_client_errno(m_client)));
        return;
    }
    if (!avahi_entry_group_is_empty(m_netService))
        return;
    m_requestedName = m_iPerfIP.isEmpty() ? QString::fromUtf8(avahi_client_get_host_name(m_client)) : m_iPerfIP;
    QByteArray type = m_protocol.toUtf8();
    if (type.endsWith('.'))
        type.chop(1);
    const QByteArray domain = m_domain.toUtf8();
    int result = avahi_entry_group_add_service(m_netService, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
                                               m_requestedName.toUtf8().constData(), type.constData(),
                                               domain.isEmpty() ? nullptr : domain.constData(), nullptr, m_port,
                                               static_cast<const char*>(nullptr));
    if (result >= 0)
        result = avahi_entry_group_commit(m_netService);
    if (result < 0) {
        avahi_entry_group_reset(m_netService);
        if (m_delegate)
            m_delegate->serverDidNotStart(this, avahiError(result));
    }
}

void Server::withdraw()
{
    m_wantsPublication = false;
    if (m_netService)
        avahi_entry_group_reset(m_netService);
}

void Server::publicationDidConfirm(const QString& name)
{
    m_localService = name;
    m_name = name;
    DDLogInfo("Server: published as \"%@\"", name);
    startBrowsing();
}

void Server::startBrowsing()
{
    if (!m_client || m_browser)
        return;
    QByteArray type = m_protocol.toUtf8();
    if (type.endsWith('.'))
        type.chop(1);
    m_browser = avahi_service_browser_new(m_client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type.constData(), "local",
                                          AvahiLookupFlags(0), &Bridge::browse, this);
    if (!m_browser)
        DDLogError("Server: cannot browse for agents: %@",
                   QString::fromUtf8(avahi_strerror(avahi_client_errno(m_client))));
}

void Server::browserDidReport(const BrowseResult& result)
{
    const ServerService service{result.name, result.type, result.domain};
    const QString key = serviceKey(result.name, result.type, result.domain);
    if (result.event == BrowseEvent::Found) {
        if (result.ourOwn || (!m_localService.isEmpty() && result.name == m_localService))
            return;
        if (++m_copies[key] == 1 && m_delegate)
            m_delegate->serviceAdded(service, false);
        return;
    }
    if (!m_localService.isEmpty() && result.name == m_localService)
        m_localService.clear();
    const auto copies = m_copies.find(key);
    if (copies != m_copies.end()) {
        if (--copies.value() > 0)
            return;
        m_copies.erase(copies);
    } else if (result.ourOwn) {
        return;
    }
    if (m_delegate)
        m_delegate->serviceRemoved(service, false);
}

void Server::dropClient()
{
    // Freeing the client frees its publication and browser with it.
    if (m_client)
        avahi_client_free(m_client);
    m_client = nullptr;
    m_netService = nullptr;
    m_browser = nullptr;
    m_localService.clear();
    m_copies.clear();
}

void Server::acceptConnection()
{
    const int fd = ::accept4(m_listeningSocket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    // A new connection replaces the one before.
    closeConnection();
    m_connection = fd;
    m_connectionNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_connectionNotifier.get(), &QSocketNotifier::activated, this, &Server::readConnection);
    m_outputStreamHasSpace = true;
    if (m_delegate)
        m_delegate->serverRemoteConnectionComplete(this);
    withdraw();
}

void Server::readConnection()
{
    QByteArray chunk(m_payloadSize, Qt::Uninitialized);
    for (int reads = 0; reads < kReadsPerWakeUp && m_connection >= 0; ++reads) {
        const ssize_t read = ::recv(m_connection, chunk.data(), static_cast<size_t>(chunk.size()), 0);
        if (read > 0)
            continue;
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (read == 0) {
            if (m_delegate)
                m_delegate->serverLostConnection(this, std::nullopt);
            closeConnection();
            m_wantsPublication = true;
            publish();
            return;
        }
        const ServerError error = posixError(kPosixErrorDomain, errno, "", errno);
        if (m_delegate)
            m_delegate->serverLostConnection(this, error);
        stop();
        return;
    }
}

void Server::closeConnection()
{
    m_connectionNotifier.reset();
    if (m_connection >= 0)
        ::close(m_connection);
    m_connection = -1;
    m_outputStreamHasSpace = false;
}

void Server::closeListeningSocket()
{
    m_listeningNotifier.reset();
    if (m_listeningSocket >= 0)
        ::close(m_listeningSocket);
    m_listeningSocket = -1;
}
