// Discovery end to end on a private network: two network namespaces joined by a veth pair, each
// with its own D-Bus system bus and avahi-daemon (a private /run, only the veth allowed, wide-area
// off). fenwave-agent announces itself in the first; the agents list's server browses in the
// second, from this process (a unix socket path reaches a bus in any namespace). Needs root and
// network namespaces; the program exits with 77 (skipped) without them.

#include "FNWMdnsNamespaces.h"
#include "FNWTestSupport.h"

#include "db/FNWAgentDAO.h"
#include "model/FNWAgentBean.h"
#include "support/DDLog.h"
#include "targets/AgentsListView.h"
#include "targets/Server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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

fnw::test::MdnsNamespaces* g_network = nullptr;

class DiscoveryOverMdns : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fnw::test::useFreshDatabase());
        // This process is host b: its server talks to b's avahi-daemon.
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", g_network->host(1).busAddress.toUtf8().constData(), 1);
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
        return std::make_unique<NamespaceProcess>(g_network->commandIn(0, QStringLiteral(FENWAVE_AGENT_PATH), options),
                                                  logs.filePath(logName));
    }

    std::shared_ptr<FNWAgentBean> onlyAgent() const
    {
        return agents->agentsBeans().size() == 1 ? agents->agentsBeans().front() : nullptr;
    }

    fnw::test::LogCapture log;
    QTemporaryDir logs;
    std::unique_ptr<AgentsListView> agents;
};

TEST_F(DiscoveryOverMdns, AnAnnouncedAgentIsListedKeptThroughDaemonRestartsAndRemovedWhenItExits)
{
    const fnw::test::MdnsNamespaces::Host& a = g_network->host(0);
    const QString announced =
        QStringLiteral("announced as \"Lab agent,5201,%1\"").arg(QString(a.address).replace('.', '_'));
    QElapsedTimer clock;
    clock.start();
    auto agent = startAgent(QStringLiteral("agent.log"), {QStringLiteral("--name"), QStringLiteral("Lab agent")});
    qint64 announcedAfter = -1;
    qint64 addedAfter = -1;
    // The announcement takes avahi's probing (about a second); the list has the agent within 5 s of it.
    ASSERT_TRUE(waitUntil(
        [&] {
            if (announcedAfter < 0 && agent->log().contains(announced))
                announcedAfter = clock.elapsed();
            if (addedAfter < 0 && onlyAgent())
                addedAfter = clock.elapsed();
            return announcedAfter >= 0 && addedAfter >= 0;
        },
        10000))
        << agent->log().toStdString();
    EXPECT_LE(addedAfter - announcedAfter, 5000) << "listed within 5 s of its announcement";
    const std::shared_ptr<FNWAgentBean> listed = onlyAgent();
    EXPECT_EQ(listed->agent_name, QStringLiteral("Lab agent"));
    EXPECT_EQ(listed->ip_address, a.address);
    EXPECT_EQ(listed->port_number, 5201);
    EXPECT_FALSE(listed->addedManually);
    EXPECT_EQ(FNWAgentDAO().getAllAttachedAgents(false).size(), 1u) << "stored, and this computer itself is not";

    // The agent's daemon restarts: its goodbye takes the agent away, the agent announces itself
    // to the new daemon, and the list has it again.
    ASSERT_TRUE(g_network->stopAvahi(0));
    ASSERT_TRUE(waitUntil([&] { return agents->rowCount() == 0; }, 5000));
    ASSERT_TRUE(g_network->startAvahi(0));
    ASSERT_TRUE(agent->waitForLog(announced, 2)) << agent->log().toStdString();
    ASSERT_TRUE(waitUntil([&] { return onlyAgent() != nullptr; }, 5000));

    // The application's daemon restarts: the server waits for it, publishes and browses again,
    // and finds the agent it already lists (only its last-seen time changes).
    const QDateTime seenBefore = onlyAgent()->lastSeen;
    const qint64 idBefore = onlyAgent()->ID;
    ASSERT_TRUE(g_network->stopAvahi(1));
    ASSERT_TRUE(waitUntil([&] { return !agents->bonjorServer()->isBrowsing(); }, 5000));
    EXPECT_EQ(agents->rowCount(), 1) << "stored agents stay while discovery is down";
    ASSERT_TRUE(g_network->startAvahi(1));
    ASSERT_TRUE(waitUntil([&] { return agents->bonjorServer()->isBrowsing(); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return onlyAgent() && onlyAgent()->lastSeen > seenBefore; }, 5000));
    EXPECT_EQ(onlyAgent()->ID, idBefore);

    // The agent exits: it withdraws, and the agent leaves the list.
    agent->stop();
    clock.restart();
    ASSERT_TRUE(waitUntil([&] { return agents->rowCount() == 0; }, 5000)) << "removed within 5 s of its exit\n"
                                                                          << agent->log().toStdString();
    const qint64 removedAfter = clock.elapsed();
    EXPECT_TRUE(FNWAgentDAO().getAllAttachedAgents(false).empty());
    // A name taken on the network (here by a service of the same name at another port) is
    // renamed; the list shows one agent for the address, held while either announcement lasts.
    const QString squatterName = QStringLiteral("Bench,5201,%1").arg(QString(a.address).replace('.', '_'));
    NamespaceProcess squatter(g_network->commandIn(0, QStringLiteral("avahi-publish"),
                                                   {QStringLiteral("-s"), squatterName,
                                                    QStringLiteral("_FenwaveServer._tcp"), QStringLiteral("9")}),
                              logs.filePath(QStringLiteral("squatter.log")));
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
    QString whyNot;
    const auto network = fnw::test::MdnsNamespaces::create(&whyNot);
    if (!network) {
        std::printf("skipped: %s\n", qPrintable(whyNot));
        return kSkipped;
    }
    g_network = network.get();
    return RUN_ALL_TESTS();
}
