#pragma once

#include "FNWAgentConfig.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class FNWAvahiPoll;
struct AvahiClient;
struct AvahiEntryGroup;

namespace fnw::agent {

// Announces the agent over mDNS through avahi-daemon: one service of kServiceType per IPv4
// address it serves, named "<name>,<iperf3 port>,<address with _ for .>" so that Fenwave finds
// name, port and address in it. A name taken on the network is renamed ("lab #2"); a daemon
// that is not there yet, or restarts, gets the announcements once it runs; they are withdrawn
// when this object goes.
class FNWAgentAnnouncer final : public QObject
{
    Q_DISABLE_COPY_MOVE(FNWAgentAnnouncer)

public:
    // DNS-SD's limit for one instance name, in bytes of UTF-8.
    static constexpr int kMaxServiceNameBytes = 63;
    // How often the interfaces are looked at again, for an address that came or went.
    static constexpr int kAddressCheckIntervalMs = 5000;

    struct Address
    {
        QString address;
        // The interface that holds it; -1 for any.
        int interfaceIndex = -1;
        bool operator==(const Address&) const = default;
    };

    explicit FNWAgentAnnouncer(const FNWAgentConfig& config, QObject* parent = nullptr);
    ~FNWAgentAnnouncer() override;

    void start();

    // The instance name for one address: the agent name is shortened (never inside a character)
    // so that the whole stays within kMaxServiceNameBytes, and a "," in it becomes a blank.
    static QString serviceName(const QString& agentName, std::uint16_t port, const QString& address);
    // The bound IPv4 address, or with none bound every IPv4 address of an interface that is up,
    // loopback left out. An IPv6 or loopback bind address has nothing to announce.
    static std::vector<Address> addressesToAnnounce(const QString& bindAddress);
    // The names avahi-daemon confirmed, for the log and the tests.
    QStringList announcedNames() const;

private:
    struct Bridge;
    friend struct Bridge;
    struct Announcement
    {
        Address address;
        QString agentName;
        QString name;
        AvahiEntryGroup* group = nullptr;
        bool established = false;
    };

    void connectToDaemon();
    void dropClient();
    void announceAll();
    void announce(Announcement& announcement);
    void rename(Announcement& announcement);
    void checkAddresses();

    FNWAgentConfig m_config;
    std::unique_ptr<FNWAvahiPoll> m_poll;
    AvahiClient* m_client = nullptr;
    std::vector<Announcement> m_announcements;
    QTimer m_addressCheck;
};

} // namespace fnw::agent
