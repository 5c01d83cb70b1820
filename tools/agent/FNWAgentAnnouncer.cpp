#include "FNWAgentAnnouncer.h"

#include "FNWAgentSupport.h"
#include "targets/FNWAvahiPoll.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace fnw::agent {

namespace {

// A name taken this many times over is given up on.
constexpr int kMaxRenames = 50;

QString avahiText(int error)
{
    return QString::fromUtf8(avahi_strerror(error));
}

QByteArray serviceType()
{
    QByteArray type(FNWAgentConfig::kServiceType);
    type.chop(1); // avahi takes the type without the final "."
    return type;
}

} // namespace

struct FNWAgentAnnouncer::Bridge
{
    static void client(AvahiClient* client, AvahiClientState state, void* userdata)
    {
        auto* self = static_cast<FNWAgentAnnouncer*>(userdata);
        self->m_client = client;
        switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            self->announceAll();
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The daemon renames the host; the announcements go up again once it runs.
            for (Announcement& announcement : self->m_announcements) {
                if (announcement.group)
                    avahi_entry_group_reset(announcement.group);
                announcement.established = false;
            }
            break;
        case AVAHI_CLIENT_CONNECTING:
            agentLog(QStringLiteral("avahi-daemon is not running; the agent is announced once it starts"));
            break;
        case AVAHI_CLIENT_FAILURE:
            agentLog(QStringLiteral("lost avahi-daemon (%1); the agent is announced again once it is back")
                         .arg(avahiText(avahi_client_errno(client))));
            // Not from inside the client's own callback.
            QTimer::singleShot(0, self, [self, client] {
                if (self->m_client != client)
                    return;
                self->dropClient();
                self->connectToDaemon();
            });
            break;
        }
    }

    static void group(AvahiEntryGroup* group, AvahiEntryGroupState state, void* userdata)
    {
        auto* self = static_cast<FNWAgentAnnouncer*>(userdata);
        for (Announcement& announcement : self->m_announcements) {
            if (announcement.group != group)
                continue;
            switch (state) {
            case AVAHI_ENTRY_GROUP_ESTABLISHED:
                announcement.established = true;
                agentLog(QStringLiteral("announced as \"%1\"").arg(announcement.name));
                break;
            case AVAHI_ENTRY_GROUP_COLLISION:
                self->rename(announcement);
                break;
            case AVAHI_ENTRY_GROUP_FAILURE:
                agentLog(QStringLiteral("announcing \"%1\" failed: %2")
                             .arg(announcement.name, avahiText(avahi_client_errno(self->m_client))));
                break;
            case AVAHI_ENTRY_GROUP_UNCOMMITED:
            case AVAHI_ENTRY_GROUP_REGISTERING:
                break;
            }
            return;
        }
    }
};

FNWAgentAnnouncer::FNWAgentAnnouncer(const FNWAgentConfig& config, QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_poll(std::make_unique<FNWAvahiPoll>())
{
    m_addressCheck.setInterval(kAddressCheckIntervalMs);
    connect(&m_addressCheck, &QTimer::timeout, this, &FNWAgentAnnouncer::checkAddresses);
}

FNWAgentAnnouncer::~FNWAgentAnnouncer()
{
    // Freeing the client withdraws every announcement.
    dropClient();
}

void FNWAgentAnnouncer::start()
{
    for (const Address& address : addressesToAnnounce(m_config.bindAddress))
        m_announcements.push_back({address, m_config.name, {}, nullptr, false});
    if (m_announcements.empty())
        agentLog(m_config.bindAddress.isEmpty()
                     ? QStringLiteral("no IPv4 address to announce yet")
                     : QStringLiteral("%1 is not announced: only IPv4 addresses other than loopback are")
                           .arg(m_config.bindAddress));
    // A bound address stays; with every interface, addresses may come and go.
    if (m_config.bindAddress.isEmpty())
        m_addressCheck.start();
    connectToDaemon();
}

QString FNWAgentAnnouncer::serviceName(const QString& agentName, std::uint16_t port, const QString& address)
{
    const QString tail =
        QStringLiteral(",%1,%2").arg(port).arg(QString(address).replace(QLatin1Char('.'), QLatin1Char('_')));
    QString name = agentName;
    name.replace(QLatin1Char(','), QLatin1Char(' '));
    const qsizetype room = kMaxServiceNameBytes - tail.toUtf8().size();
    while (!name.isEmpty() && name.toUtf8().size() > room) {
        qsizetype cut = name.size() - 1;
        if (cut > 0 && name.at(cut).isLowSurrogate())
            --cut;
        name.truncate(cut);
    }
    return name + tail;
}

std::vector<FNWAgentAnnouncer::Address> FNWAgentAnnouncer::addressesToAnnounce(const QString& bindAddress)
{
    std::vector<Address> found;
    in_addr bound{};
    const bool hasBound = !bindAddress.isEmpty();
    if (hasBound &&
        (inet_pton(AF_INET, bindAddress.toLatin1().constData(), &bound) != 1 || (ntohl(bound.s_addr) >> 24) == 127))
        return found;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return hasBound ? std::vector<Address>{{bindAddress, -1}} : found;
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP) ||
            (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        const in_addr address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        if (hasBound && address.s_addr != bound.s_addr)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &address, text, sizeof text);
        const Address item{QString::fromLatin1(text), static_cast<int>(if_nametoindex(entry->ifa_name))};
        if (std::find(found.begin(), found.end(), item) == found.end())
            found.push_back(item);
    }
    freeifaddrs(interfaces);
    // A bound address no interface holds (yet) is announced on every interface.
    if (hasBound && found.empty())
        found.push_back({bindAddress, -1});
    return found;
}

QStringList FNWAgentAnnouncer::announcedNames() const
{
    QStringList names;
    for (const Announcement& announcement : m_announcements) {
        if (announcement.established)
            names.append(announcement.name);
    }
    return names;
}

void FNWAgentAnnouncer::connectToDaemon()
{
    int error = 0;
    AvahiClient* client = avahi_client_new(m_poll->poll(), AVAHI_CLIENT_NO_FAIL, &Bridge::client, this, &error);
    if (!client) {
        m_client = nullptr;
        agentLog(QStringLiteral("the agent is not announced: %1").arg(avahiText(error)));
        return;
    }
    m_client = client;
}

void FNWAgentAnnouncer::dropClient()
{
    if (m_client)
        avahi_client_free(m_client);
    m_client = nullptr;
    for (Announcement& announcement : m_announcements) {
        announcement.group = nullptr;
        announcement.established = false;
    }
}

void FNWAgentAnnouncer::announceAll()
{
    for (Announcement& announcement : m_announcements)
        announce(announcement);
}

void FNWAgentAnnouncer::announce(Announcement& announcement)
{
    if (!m_client || avahi_client_get_state(m_client) != AVAHI_CLIENT_S_RUNNING)
        return;
    if (!announcement.group)
        announcement.group = avahi_entry_group_new(m_client, &Bridge::group, this);
    if (!announcement.group) {
        agentLog(QStringLiteral("cannot announce the agent: %1").arg(avahiText(avahi_client_errno(m_client))));
        return;
    }
    avahi_entry_group_reset(announcement.group);
    announcement.established = false;
    const QByteArray type = serviceType();
    for (int attempt = 0; attempt <= kMaxRenames; ++attempt) {
        announcement.name = serviceName(announcement.agentName, m_config.iperf3Port, announcement.address.address);
        const int result = avahi_entry_group_add_service(
            announcement.group,
            announcement.address.interfaceIndex < 0 ? AVAHI_IF_UNSPEC : announcement.address.interfaceIndex,
            AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), announcement.name.toUtf8().constData(), type.constData(), nullptr,
            nullptr, m_config.iperf3Port, static_cast<const char*>(nullptr));
        if (result == AVAHI_ERR_COLLISION) {
            // Taken by another service of this computer: the next name is tried at once.
            char* next = avahi_alternative_service_name(announcement.agentName.toUtf8().constData());
            announcement.agentName = QString::fromUtf8(next);
            avahi_free(next);
            continue;
        }
        if (result < 0 || (avahi_entry_group_commit(announcement.group) < 0)) {
            agentLog(QStringLiteral("cannot announce \"%1\": %2")
                         .arg(announcement.name, avahiText(avahi_client_errno(m_client))));
            avahi_entry_group_reset(announcement.group);
        }
        return;
    }
    agentLog(QStringLiteral("the agent is not announced: every name tried was taken"));
}

void FNWAgentAnnouncer::rename(Announcement& announcement)
{
    char* next = avahi_alternative_service_name(announcement.agentName.toUtf8().constData());
    const QString taken = announcement.name;
    announcement.agentName = QString::fromUtf8(next);
    avahi_free(next);
    agentLog(QStringLiteral("the name \"%1\" is taken on the network; renaming").arg(taken));
    announce(announcement);
}

void FNWAgentAnnouncer::checkAddresses()
{
    const std::vector<Address> now = addressesToAnnounce(m_config.bindAddress);
    std::vector<Address> before;
    for (const Announcement& announcement : m_announcements)
        before.push_back(announcement.address);
    if (now == before)
        return;
    agentLog(QStringLiteral("the computer's addresses changed; announcing again"));
    for (Announcement& announcement : m_announcements) {
        if (announcement.group)
            avahi_entry_group_free(announcement.group);
    }
    m_announcements.clear();
    for (const Address& address : now)
        m_announcements.push_back({address, m_config.name, {}, nullptr, false});
    announceAll();
}

} // namespace fnw::agent
