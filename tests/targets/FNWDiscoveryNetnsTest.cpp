// Discovery end to end on a private network: two network namespaces joined by a veth pair, each
// with its own D-Bus system bus and avahi-daemon (a private /run, only the veth allowed, wide-area
// off). fenwave-agent announces itself in the first; the agents list's server browses in the
// second, from this process (a unix socket path reaches a bus in any namespace). Needs root and
// network namespaces; the program exits with 77 (skipped) without them.

#include "FNWTestSupport.h"

#include "db/FNWAgentDAO.h"
#include "model/FNWAgentBean.h"
#include "support/DDLog.h"
#include "targets/AgentsListView.h"
#include "targets/Server.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using fnw::test::waitUntil;

namespace {

constexpr int kSkipped = 77;

QString g_skipReason;

// One child process, its standard output and error appended to a file.
class NamespaceProcess final
{
public:
    NamespaceProcess(const QStringList& command, const QString& logFile)
        : m_logFile(logFile)
    {
        std::vector<std::string> words;
        for (const QString& word : command)
            words.push_back(word.toStdString());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        const std::string log = logFile.toStdString();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            const int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, STDIN_FILENO);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~NamespaceProcess() { stop(SIGKILL); }
    NamespaceProcess(const NamespaceProcess&) = delete;
    NamespaceProcess& operator=(const NamespaceProcess&) = delete;

    // Sends the signal and waits for the end (a SIGKILL after 5 s).
    void stop(int signal = SIGTERM)
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, signal);
        const bool ended = waitUntil([this] { return ::waitpid(m_pid, nullptr, WNOHANG) == m_pid; }, 5000);
        if (!ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }
    bool running() const { return m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; }

    QString log() const
    {
        QFile file(m_logFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    bool waitForLog(const QString& text, int count = 1, int timeoutMs = 10000) const
    {
        return waitUntil([&] { return log().count(text) >= count; }, timeoutMs);
    }

private:
    QString m_logFile;
    pid_t m_pid = -1;
};

bool run(const QStringList& command)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The two hosts: "a" for the agent, "b" for the application.
class PrivateNetwork final
{
public:
    struct Host
    {
        QString netns;
        QString interfaceName;
        QString address;
        QString busAddress;
        QString folder;
        std::unique_ptr<NamespaceProcess> bus;
        std::unique_ptr<NamespaceProcess> avahi;
        int avahiStarts = 0;
    };

    // False, with the reason, where this machine cannot build it; what was made is removed then.
    bool create(QString* whyNot)
    {
        if (::geteuid() != 0) {
            *whyNot = QStringLiteral("needs root for network namespaces");
            return false;
        }
        for (const char* tool : {"ip", "dbus-daemon", "avahi-daemon", "unshare"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty() &&
                !QFile::exists(QStringLiteral("/usr/sbin/%1").arg(QLatin1String(tool)))) {
                *whyNot = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
                return false;
            }
        }
        removeStaleNamespaces();
        const QString tag = QStringLiteral("fnwd%1").arg(::getpid());
        const int subnet = static_cast<int>(::getpid() % 250) + 1;
        for (const char side : {'a', 'b'}) {
            Host& host = side == 'a' ? m_a : m_b;
            host.netns = tag + QLatin1Char(side);
            host.interfaceName = tag + QLatin1Char(side) + QLatin1Char('0');
            host.address = QStringLiteral("10.210.%1.%2").arg(subnet).arg(side == 'a' ? 1 : 2);
            host.folder = m_folder.path() + QLatin1Char('/') + QLatin1Char(side);
            host.busAddress = QStringLiteral("unix:path=%1/bus").arg(host.folder);
            QDir().mkpath(host.folder);
        }
        if (!run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("add"), m_a.netns})) {
            *whyNot = QStringLiteral("network namespaces are not available here");
            return false;
        }
        m_made = true;
        bool ok = run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("add"), m_b.netns}) &&
                  run({QStringLiteral("ip"), QStringLiteral("link"), QStringLiteral("add"), m_a.interfaceName,
                       QStringLiteral("netns"), m_a.netns, QStringLiteral("type"), QStringLiteral("veth"),
                       QStringLiteral("peer"), QStringLiteral("name"), m_b.interfaceName, QStringLiteral("netns"),
                       m_b.netns});
        for (Host* host : {&m_a, &m_b}) {
            ok = ok &&
                 run({QStringLiteral("ip"), QStringLiteral("-n"), host->netns, QStringLiteral("addr"),
                      QStringLiteral("add"), host->address + QStringLiteral("/24"), QStringLiteral("dev"),
                      host->interfaceName}) &&
                 run({QStringLiteral("ip"), QStringLiteral("-n"), host->netns, QStringLiteral("link"),
                      QStringLiteral("set"), host->interfaceName, QStringLiteral("up")}) &&
                 run({QStringLiteral("ip"), QStringLiteral("-n"), host->netns, QStringLiteral("link"),
                      QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up")}) &&
                 startBus(*host) && startAvahi(*host);
        }
        if (!ok)
            *whyNot = QStringLiteral("the private network could not be built");
        return ok;
    }

    ~PrivateNetwork()
    {
        for (Host* host : {&m_a, &m_b}) {
            host->avahi.reset();
            host->bus.reset();
        }
        if (m_made) {
            for (Host* host : {&m_a, &m_b})
                run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("del"), host->netns});
        }
    }

    Host& a() { return m_a; }
    Host& b() { return m_b; }

    // The command run in the host's namespace with its bus as the system bus.
    static QStringList in(const Host& host, const QStringList& command)
    {
        return QStringList{QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"), host.netns,
                           QStringLiteral("env"), QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS=") + host.busAddress} +
               command;
    }

    bool startAvahi(Host& host)
    {
        const QString config = host.folder + QStringLiteral("/avahi-daemon.conf");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QStringLiteral("[server]\nhost-name=%1\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=%2\n"
                                  "enable-dbus=yes\nratelimit-interval-usec=0\n[wide-area]\nenable-wide-area=no\n"
                                  "[publish]\npublish-hinfo=no\npublish-workstation=no\n[reflector]\n"
                                  "enable-reflector=no\n")
                       .arg(host.netns, host.interfaceName)
                       .toUtf8());
        file.close();
        // Its own /run, so its pid file and socket meet no other daemon's.
        const QString daemon =
            QStringLiteral("mount -t tmpfs tmpfs /run && exec avahi-daemon --no-drop-root --no-chroot "
                           "--no-proc-title -f %1")
                .arg(config);
        host.avahi = std::make_unique<NamespaceProcess>(
            in(host, {QStringLiteral("unshare"), QStringLiteral("--mount"), QStringLiteral("--propagation"),
                      QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-c"), daemon}),
            host.folder + QStringLiteral("/avahi.log"));
        ++host.avahiStarts;
        return host.avahi->waitForLog(QStringLiteral("Server startup complete"), host.avahiStarts);
    }

    // A clean stop: the daemon says goodbye for what it announced.
    static void stopAvahi(Host& host)
    {
        if (host.avahi)
            host.avahi->stop(SIGTERM);
        host.avahi.reset();
    }

private:
    bool startBus(Host& host)
    {
        const QString config = host.folder + QStringLiteral("/bus.conf");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QStringLiteral("<busconfig><type>system</type><listen>%1</listen><auth>EXTERNAL</auth>"
                                  "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
                                  "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy></busconfig>\n")
                       .arg(host.busAddress)
                       .toUtf8());
        file.close();
        host.bus = std::make_unique<NamespaceProcess>(
            QStringList{QStringLiteral("dbus-daemon"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                        QStringLiteral("--config-file=") + config},
            host.folder + QStringLiteral("/bus.log"));
        return waitUntil([&] { return QFile::exists(host.folder + QStringLiteral("/bus")); }, 10000);
    }

    // Namespaces an earlier run left behind when it was killed.
    static void removeStaleNamespaces()
    {
        QProcess list;
        list.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("list")});
        if (!list.waitForFinished(10000))
            return;
        for (const QString& line : QString::fromUtf8(list.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            const QString name = line.section(QLatin1Char(' '), 0, 0);
            if (!name.startsWith(QStringLiteral("fnwd")) || name.size() < 6)
                continue;
            const int pid = name.mid(4, name.size() - 5).toInt();
            if (pid > 0 && ::kill(pid, 0) != 0)
                run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("del"), name});
        }
    }

    QTemporaryDir m_folder{QDir::tempPath() + QStringLiteral("/fenwave-netns-XXXXXX")};
    Host m_a;
    Host m_b;
    bool m_made = false;
};

PrivateNetwork* g_network = nullptr;

class DiscoveryOverMdns : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fnw::test::useFreshDatabase());
        // This process is host b: its server talks to b's avahi-daemon.
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", g_network->b().busAddress.toUtf8().constData(), 1);
        agents = std::make_unique<AgentsListView>();
        agents->setUpView();
        ASSERT_NE(agents->bonjorServer(), nullptr);
        ASSERT_TRUE(waitUntil([&] { return agents->bonjorServer()->isBrowsing(); }, 10000))
            << "published and browsing on the private network";
    }

    void TearDown() override
    {
        agents.reset();
        if (HasFailure())
            std::printf("the application's log:\n%s\n", qPrintable(log.messages().join(QLatin1Char('\n'))));
    }

    std::unique_ptr<NamespaceProcess> startAgent(const QString& logName, const QStringList& options)
    {
        return std::make_unique<NamespaceProcess>(
            PrivateNetwork::in(g_network->a(), QStringList{QStringLiteral(FENWAVE_AGENT_PATH)} + options),
            g_network->a().folder + QLatin1Char('/') + logName);
    }

    std::shared_ptr<FNWAgentBean> onlyAgent() const
    {
        return agents->agentsBeans().size() == 1 ? agents->agentsBeans().front() : nullptr;
    }

    fnw::test::LogCapture log;
    std::unique_ptr<AgentsListView> agents;
};

TEST_F(DiscoveryOverMdns, AnAnnouncedAgentIsListedKeptThroughDaemonRestartsAndRemovedWhenItExits)
{
    PrivateNetwork::Host& a = g_network->a();
    const QString announced =
        QStringLiteral("announced as \"Lab agent,5201,%1\"").arg(QString(a.address).replace('.', '_'));
    QElapsedTimer clock;
    clock.start();
    auto agent = startAgent(QStringLiteral("agent.log"), {QStringLiteral("--name"), QStringLiteral("Lab agent")});
    qint64 announcedAfter = -1;
    qint64 addedAfter = -1;
    // The announcement takes avahi's probing (about a second); the list has the agent within 5 s of it.
    ASSERT_TRUE(waitUntil([&] {
        if (announcedAfter < 0 && agent->log().contains(announced))
            announcedAfter = clock.elapsed();
        if (addedAfter < 0 && onlyAgent())
            addedAfter = clock.elapsed();
        return announcedAfter >= 0 && addedAfter >= 0;
    }, 10000)) << agent->log().toStdString();
    EXPECT_LE(addedAfter - announcedAfter, 5000) << "listed within 5 s of its announcement";
    const std::shared_ptr<FNWAgentBean> listed = onlyAgent();
    EXPECT_EQ(listed->agent_name, QStringLiteral("Lab agent"));
    EXPECT_EQ(listed->ip_address, a.address);
    EXPECT_EQ(listed->port_number, 5201);
    EXPECT_FALSE(listed->addedManually);
    EXPECT_EQ(FNWAgentDAO().getAllAttachedAgents(false).size(), 1u) << "stored, and this computer itself is not";

    // The agent's daemon restarts: its goodbye takes the agent away, the agent announces itself
    // to the new daemon, and the list has it again.
    PrivateNetwork::stopAvahi(a);
    ASSERT_TRUE(waitUntil([&] { return agents->rowCount() == 0; }, 5000));
    ASSERT_TRUE(g_network->startAvahi(a));
    ASSERT_TRUE(agent->waitForLog(announced, 2)) << agent->log().toStdString();
    ASSERT_TRUE(waitUntil([&] { return onlyAgent() != nullptr; }, 5000));

    // The application's daemon restarts: the server waits for it, publishes and browses again,
    // and finds the agent it already lists (only its last-seen time changes).
    const QDateTime seenBefore = onlyAgent()->lastSeen;
    const qint64 idBefore = onlyAgent()->ID;
    PrivateNetwork::stopAvahi(g_network->b());
    ASSERT_TRUE(waitUntil([&] { return !agents->bonjorServer()->isBrowsing(); }, 5000));
    EXPECT_EQ(agents->rowCount(), 1) << "stored agents stay while discovery is down";
    ASSERT_TRUE(g_network->startAvahi(g_network->b()));
    ASSERT_TRUE(waitUntil([&] { return agents->bonjorServer()->isBrowsing(); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return onlyAgent() && onlyAgent()->lastSeen > seenBefore; }, 5000));
    EXPECT_EQ(onlyAgent()->ID, idBefore);

    // The agent exits: it withdraws, and the agent leaves the list.
    agent->stop();
    clock.restart();
    ASSERT_TRUE(waitUntil([&] { return agents->rowCount() == 0; }, 5000))
        << "removed within 5 s of its exit\n" << agent->log().toStdString();
    const qint64 removedAfter = clock.elapsed();
    EXPECT_TRUE(FNWAgentDAO().getAllAttachedAgents(false).empty());
    // A name taken on the network (here by a service of the same name at another port) is
    // renamed; the list shows one agent for the address, held while either announcement lasts.
    const QString squatterName = QStringLiteral("Bench,5201,%1").arg(QString(a.address).replace('.', '_'));
    NamespaceProcess squatter(PrivateNetwork::in(a, {QStringLiteral("avahi-publish"), QStringLiteral("-s"), squatterName,
                                                    QStringLiteral("_FenwaveServer._tcp"), QStringLiteral("9")}),
                              a.folder + QStringLiteral("/squatter.log"));
    ASSERT_TRUE(waitUntil([&] { return agents->discoveredServices().size() == 1; }, 5000));
    auto renamed = startAgent(QStringLiteral("renamed.log"), {QStringLiteral("--name"), QStringLiteral("Bench")});
    ASSERT_TRUE(renamed->waitForLog(QStringLiteral("announced as \"Bench #2,5201,"))) << renamed->log().toStdString();
    ASSERT_TRUE(waitUntil([&] { return agents->discoveredServices().size() == 2; }, 5000));
    EXPECT_EQ(agents->rowCount(), 1);
    squatter.stop();
    ASSERT_TRUE(waitUntil([&] { return agents->discoveredServices().size() == 1; }, 5000));
    EXPECT_EQ(agents->rowCount(), 1);
    renamed->stop();
    ASSERT_TRUE(waitUntil([&] { return agents->rowCount() == 0; }, 5000));

    std::printf("discovery: announced %lld ms and listed %lld ms after the agent's start, removed %lld ms after "
                "its exit\n",
                static_cast<long long>(announcedAfter), static_cast<long long>(addedAfter),
                static_cast<long long>(removedAfter));
}

} // namespace

int main(int argc, char** argv)
{
    const auto home = fnw::test::usePrivateHome();
    if (!home)
        return 2;
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    PrivateNetwork network;
    QString whyNot;
    if (!network.create(&whyNot)) {
        std::printf("skipped: %s\n", qPrintable(whyNot));
        return kSkipped;
    }
    g_network = &network;
    return RUN_ALL_TESTS();
}
