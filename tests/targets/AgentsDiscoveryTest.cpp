#include "../compose/FNWHomeFixture.h"

#include "FNWLocalServers.h"
#include "targets/Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using fnw::test::LogCapture;
using fnw::test::waitUntil;

namespace {

TEST(AgentsAnnouncedNames, FieldsAddressesAndRemovalKeys)
{
    struct Case
    {
        const char* serviceName;
        const char* name;
        const char* port;
        const char* address;
        const char* removalKey;
    };
    const Case cases[] = {
        {"Lab,5201,192_168_1_20", "Lab", "5201", "192.168.1.20", "192.168.1.20"},
        {"Lab,5201,192.168.1.20", "Lab", "5201", "192.168.1.20", "192.168.1.20"},
        {"Lab,5201, 192_168 _1_20 ", "Lab", "5201", "192.168.1.20", " 192.168 .1.20 "},
        // avahi's rename of a taken name is not part of the address.
        {"Lab,5201,10_0_0_2 #2", "Lab", "5201", "10.0.0.2", "10.0.0.2"},
        {"Lab #3,5201,10_0_0_2", "Lab #3", "5201", "10.0.0.2", "10.0.0.2"},
        // Added by the third field, removed by the fourth and third.
        {"Lab,5201,10_0_0_2,eth0", "Lab", "5201", "10.0.0.2", "eth0: 10.0.0.2"},
        {"Lab,5201,eth0:10_0_0_2", "Lab", "5201", "eth0:10.0.0.2", "eth0:10.0.0.2"},
        {"this-computer", nullptr, nullptr, nullptr, ""},
        {"Lab,5201", nullptr, nullptr, nullptr, ""},
        {"Lab,5201, _ ", "Lab", "5201", ".", " . "},
        {"Lab,5201,  ", nullptr, nullptr, nullptr, "  "},
    };
    for (const Case& item : cases) {
        const QString serviceName = QString::fromUtf8(item.serviceName);
        const auto announced = AgentsListView::agentFromServiceName(serviceName);
        ASSERT_EQ(announced.has_value(), item.address != nullptr) << item.serviceName;
        if (announced) {
            EXPECT_EQ(announced->name, QString::fromUtf8(item.name)) << item.serviceName;
            EXPECT_EQ(announced->portText, QString::fromUtf8(item.port)) << item.serviceName;
            EXPECT_EQ(announced->address, QString::fromUtf8(item.address)) << item.serviceName;
        }
        EXPECT_EQ(AgentsListView::removalKeyForServiceName(serviceName), QString::fromUtf8(item.removalKey))
            << item.serviceName;
    }
}

// The browser's reports driven by hand into a server that is not started, its delegate the list.
class AgentsDiscoveryTest : public FNWHomeFixture
{
protected:
    void SetUp() override
    {
        FNWHomeFixture::SetUp();
        addPreset(QStringLiteral("Quick"));
        manual = addAgent(QStringLiteral("127.0.0.2"), QStringLiteral("Office"));
        server.initWithProtocol(QStringLiteral("FenwaveServer"), QString());
        server.setDelegate(&agents);
        server.publicationDidConfirm(QStringLiteral("this-computer"));
    }

    void report(Server::BrowseEvent event, const QString& name, int interfaceIndex = 2, int ipProtocol = 0,
                bool ourOwn = false)
    {
        server.browserDidReport({event, interfaceIndex, ipProtocol, name, QStringLiteral("_FenwaveServer._tcp"),
                                 QStringLiteral("local"), ourOwn});
    }
    void found(const QString& name, int interfaceIndex = 2, int ipProtocol = 0)
    {
        report(Server::BrowseEvent::Found, name, interfaceIndex, ipProtocol);
    }
    void gone(const QString& name, int interfaceIndex = 2, int ipProtocol = 0)
    {
        report(Server::BrowseEvent::Gone, name, interfaceIndex, ipProtocol);
    }

    QStringList listed() const
    {
        QStringList rows;
        for (int row = 0; row < agents.rowCount(); ++row)
            rows.append(agents.index(row).data().toString());
        return rows;
    }

    std::shared_ptr<FNWAgentBean> manual;
    Server server;
};

TEST_F(AgentsDiscoveryTest, AnAgentSeenOverSeveralInterfacesIsOneAgentUntilItsLastCopyGoes)
{
    LogCapture log;
    const QString lab = QStringLiteral("Lab,5201,10_0_0_2");
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    found(lab, 2, 0);
    found(lab, 2, 1);
    found(lab, 3, 0);
    // This computer's own publication, by name or as the client's own.
    found(QStringLiteral("this-computer"));
    report(Server::BrowseEvent::Found, QStringLiteral("Mine,5201,10_0_0_9"), 2, 0, true);

    ASSERT_EQ(listed(), (QStringList{QStringLiteral("Office - 127.0.0.2"), QStringLiteral("Lab - 10.0.0.2")}));
    const auto stored = FNWAgentDAO().getAllAttachedAgents(false);
    const FNWAgentBean& labAgent = *stored[1];
    EXPECT_EQ(labAgent.agent_name, QStringLiteral("Lab"));
    EXPECT_EQ(labAgent.port_number, 5201);
    EXPECT_FALSE(labAgent.addedManually);
    EXPECT_EQ(labAgent.viewPosition, manual->viewPosition + 1);
    EXPECT_GE(labAgent.lastSeen, before);
    EXPECT_EQ(agents.discoveredServices().size(), 1);
    EXPECT_EQ(log.messages().filter(QStringLiteral("Got new agent")),
              QStringList{QStringLiteral("AgentListView: Got new agent with name as -  Lab,5201,10_0_0_2 ")});

    gone(lab, 2, 1);
    gone(lab, 3, 0);
    EXPECT_EQ(agents.rowCount(), 2) << "one copy is still announced";
    gone(lab, 2, 0);
    EXPECT_EQ(listed(), QStringList{QStringLiteral("Office - 127.0.0.2")});
    EXPECT_TRUE(agents.discoveredServices().isEmpty());
    EXPECT_TRUE(log.messages().contains(QStringLiteral("AgentListView:serviceRemoved: Lab,5201,10_0_0_2   (null)")));

    // Found again, it comes back as a new agent at the end; found once more after the daemon
    // came back (the server starts afresh), it is still one service that one goodbye ends.
    found(lab);
    agents.serviceAdded({lab, QStringLiteral("_FenwaveServer._tcp"), QStringLiteral("local")}, false);
    EXPECT_EQ(agents.rowCount(), 2);
    gone(lab);
    EXPECT_EQ(agents.rowCount(), 1);
}

TEST_F(AgentsDiscoveryTest, AKnownAddressIsRefreshedAndWhatTheUserTypedInOutlivesItsAnnouncement)
{
    manual->lastSeen = QDateTime::currentDateTimeUtc().addDays(-3);
    ASSERT_TRUE(manual->update());
    agents.loadAllAgents();
    const QString office = QStringLiteral("Renamed,5299,127_0_0_2");
    found(office);
    ASSERT_EQ(agents.rowCount(), 1) << "not doubled";
    const FNWAgentBean& refreshed = *agents.agentsBeans()[0];
    EXPECT_EQ(refreshed.agent_name, QStringLiteral("Office")) << "only lastSeen changes";
    EXPECT_EQ(refreshed.port_number, 5201);
    EXPECT_TRUE(refreshed.addedManually);
    EXPECT_GT(refreshed.lastSeen, QDateTime::currentDateTimeUtc().addSecs(-60));
    gone(office);
    EXPECT_EQ(agents.rowCount(), 1) << "an agent the user typed in stays";

    // An announced agent with tests in the queue stays too, until the queue lets it go.
    found(QStringLiteral("Lab,5201,10_0_0_2"));
    presets.selectRow(0);
    agents.tableViewDidClickedRow(1);
    gone(QStringLiteral("Lab,5201,10_0_0_2"));
    EXPECT_EQ(agents.rowCount(), 2);
    EXPECT_EQ(queue.testList().size(), 1u);

    // A renamed copy of an announcement holds the agent while it is announced.
    found(QStringLiteral("Bench,5201,10_0_0_3"));
    found(QStringLiteral("Bench,5201,10_0_0_3 #2"));
    EXPECT_EQ(agents.rowCount(), 3);
    gone(QStringLiteral("Bench,5201,10_0_0_3"));
    EXPECT_EQ(agents.rowCount(), 3);
    gone(QStringLiteral("Bench,5201,10_0_0_3 #2"));
    EXPECT_EQ(agents.rowCount(), 2);
}

TEST_F(AgentsDiscoveryTest, AnnouncementsWithoutAValidAddressOrPortAreSkipped)
{
    LogCapture log;
    for (const char* name :
         {"Lab,5201,999_1_1_1", "Lab,0,10_0_0_5", "Lab,70000,10_0_0_5", "Lab,port,10_0_0_5",
          "Lab,5201,10_0_0_5;touch_x", "Lab,5201,$(reboot)", "Lab,5201,fe80::1", "Lab,-5201,10_0_0_5"})
        found(QString::fromUtf8(name));
    found(QStringLiteral("this-computer-under-another-name"));
    EXPECT_EQ(agents.rowCount(), 1);
    EXPECT_EQ(FNWAgentDAO().getAllAttachedAgents(false).size(), 1u);
    EXPECT_EQ(log.messages().filter(QStringLiteral("address or port is not valid")).size(), 8);
    EXPECT_TRUE(
        log.messages().contains(QStringLiteral("AgentListView: No IP is presnet so not adding this agent in list.")));
}

// Without avahi-daemon (the tests have no system bus) the server still listens, the list logs
// that publication did not start and keeps its stored agents; a connection to the listening
// socket is read to its end.
TEST_F(AgentsDiscoveryTest, WithoutTheDaemonTheListKeepsWorkingAndTheSocketIsServed)
{
    LogCapture log;
    agents.setUpView();
    Server* started = agents.bonjorServer();
    ASSERT_NE(started, nullptr);
    EXPECT_GT(started->port(), 0);
    EXPECT_EQ(started->protocol(), QStringLiteral("_FenwaveServer._tcp."));
    EXPECT_FALSE(started->isPublished());
    EXPECT_TRUE(waitUntil([&] { return !log.messages().filter(QStringLiteral("Server did not start ")).isEmpty(); }));
    EXPECT_EQ(agents.rowCount(), 1);

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(started->port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const QByteArray bytes(1000, 'x');
    ASSERT_EQ(::send(fd, bytes.constData(), bytes.size(), 0), bytes.size());
    ::close(fd);
    EXPECT_TRUE(waitUntil([&] { return log.messages().contains(QStringLiteral("Lost connection")); }));
    EXPECT_EQ(agents.rowCount(), 1);
}

} // namespace
