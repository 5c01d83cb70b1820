#pragma once

// A private two-host network for tests of mDNS discovery: two network namespaces joined by a veth
// pair, each with its own system bus (a dbus-daemon on a socket in a temporary folder) and its own
// avahi-daemon on its end of the pair. Nothing of it is seen in the host's network namespace.

#include <QString>
#include <QStringList>

#include <memory>

class QTemporaryDir;

namespace fnw::test {

class MdnsNamespaces final
{
public:
    struct Host
    {
        QString netns;         // network namespace name
        QString interfaceName; // its veth end
        QString address;       // e.g. "10.208.7.1"
        QString busAddress;    // "unix:path=/tmp/.../bus", for DBUS_SYSTEM_BUS_ADDRESS
    };

    // Null, with the reason in *whyNot, where this machine can't do it (not root, no `ip netns`,
    // no avahi-daemon or dbus-daemon, a step failing); everything made so far is removed then.
    static std::unique_ptr<MdnsNamespaces> create(QString* whyNot);
    // Removes namespaces and folders left by an earlier test process of this kind that is gone.
    static void removeLeftovers();

    ~MdnsNamespaces();
    MdnsNamespaces(const MdnsNamespaces&) = delete;
    MdnsNamespaces& operator=(const MdnsNamespaces&) = delete;

    const Host& host(int index) const; // 0 or 1
    // Runs program in that host's namespace with its bus as the system bus:
    // {"ip", "netns", "exec", netns, "env", "DBUS_SYSTEM_BUS_ADDRESS=...", program, arguments...}.
    QStringList commandIn(int index, const QString& program, const QStringList& arguments = {}) const;
    // Stops that host's avahi-daemon and waits until its name is gone from the bus.
    bool stopAvahi(int index);
    // Starts it again and waits until it reports itself running.
    bool startAvahi(int index);

private:
    MdnsNamespaces();
    bool build();
    bool startBus(int index);
    bool launchAvahi(int index);
    bool awaitAvahi(int index);

    std::unique_ptr<QTemporaryDir> m_dir;
    Host m_hosts[2];
    QString m_folders[2];
    bool m_madeNetns[2] = {false, false};
    int m_busPids[2] = {-1, -1};
    int m_avahiPids[2] = {-1, -1};
    QString m_whyNot;
};

} // namespace fnw::test
