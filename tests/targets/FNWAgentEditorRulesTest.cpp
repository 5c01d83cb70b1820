#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "db/FNWAgentDAO.h"

#include "FNWAgentEditorTestSupport.h"
#include "FNWTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <optional>

using fnw::test::executeSQL;
using fnw::test::waitUntil;

namespace {

QString key(const char* text)
{
    return QString::fromLatin1(text);
}

const QString kIP = key(FNWCreateAgentWindowController::kIPAddressColumn);
const QString kPort = key(FNWCreateAgentWindowController::kPortColumn);
const QString kName = key(FNWCreateAgentWindowController::kNameColumn);
const QString kPortMessage = QStringLiteral("Server port should be between 1024 and 49151.");

std::vector<std::shared_ptr<FNWAgentBean>> libraryAgents()
{
    return FNWAgentDAO().getAllAttachedAgents(false);
}

// A fresh database per case, the main window's notices and the close requests collected.
class AgentEditorRulesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fnw::test::useFreshDatabase());
        m_observer = FNWNotificationCenter::defaultCenter().addObserver(
            key(ShowWarningOnMainWindowNotification),
            [this](const FNWNotification& notification) { notices.push_back(notification.userInfo); });
        create.setDelegate(&delegate);
        edit.setDelegate(&delegate);
        QObject::connect(&create, &FNWCreateAgentWindowController::closeWindowRequested, [this] { ++createCloses; });
        QObject::connect(&edit, &FNWEditAgentWindowController::closeWindowRequested, [this] { ++editCloses; });
        create.showWindow();
    }

    // Fills the rows (adding rows as needed) with address and name; ports stay 5201.
    void enterRows(const QStringList& addresses)
    {
        for (int row = 0; row < addresses.size(); ++row) {
            if (row >= static_cast<int>(create.agentArray().size()))
                create.addRowButtonDidClicked();
            create.setObjectValue(addresses[row], kIP, row);
        }
    }

    void expectNoticeOnce(const QString& text)
    {
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].value(key(kErrorKey)).toString(), text);
        EXPECT_EQ(notices[0].value(key(kTextColorKey)).toString(), QStringLiteral("green"));
    }

    FNWRecordingAgentDelegate delegate;
    FNWCreateAgentWindowController create;
    FNWEditAgentWindowController edit;
    std::vector<QVariantMap> notices;
    int createCloses = 0;
    int editCloses = 0;

private:
    FNWObserverToken m_observer;
};

TEST_F(AgentEditorRulesTest, CellEntryKeepsAddressesButRefusesPortsOutOfRange)
{
    create.setObjectValue(QStringLiteral("10.0.0"), kIP, 0);
    EXPECT_EQ(create.errorText(), QStringLiteral("Please enter a valid IP Address."));
    EXPECT_EQ(create.objectValue(kIP, 0).toString(), QStringLiteral("10.0.0"));

    const struct
    {
        const char* text;
        qint64 stored; // the row's port afterwards
        bool refused;
    } cases[] = {{"1024", 1024, false},
                 {"1023", 1024, true},
                 {"49151", 49151, false},
                 {"49152", 49151, true},
                 {"abc", 49151, true},
                 {"", 49151, true},
                 {"99999999999999999999", 49151, true}};
    for (const auto& entry : cases) {
        create.showErrorMessage(QString());
        create.setObjectValue(QString::fromLatin1(entry.text), kPort, 0);
        EXPECT_EQ(create.objectValue(kPort, 0).toLongLong(), entry.stored) << entry.text;
        EXPECT_EQ(create.errorText(), entry.refused ? kPortMessage : QString()) << entry.text;
    }

    create.setObjectValue(QStringLiteral("Lab"), kName, 0);
    EXPECT_EQ(create.objectValue(kName, 0).toString(), QStringLiteral("Lab"));
}

TEST_F(AgentEditorRulesTest, SaveStoresTrimmedRowsAfterTheLargestPositionAndTellsOnce)
{
    storeAgent(QStringLiteral("10.0.0.100"), false, 7);
    storeAgent(QStringLiteral("10.0.0.1"), true); // a queued copy does not block its address
    enterRows({QStringLiteral("10.0.0.1 "), QStringLiteral("\t10.0.0.2\t"), QStringLiteral("10.0.0.3")});
    create.setObjectValue(QStringLiteral("1024"), kPort, 1);
    create.setObjectValue(QStringLiteral("49151"), kPort, 2);
    create.setObjectValue(QStringLiteral("Third"), kName, 2);

    EXPECT_EQ(create.saveAgentButtonDidClicked(), std::nullopt);

    const auto stored = libraryAgents();
    ASSERT_EQ(stored.size(), 4u);
    const QStringList addresses{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.3")};
    const qint64 ports[] = {5201, 1024, 49151};
    for (int i = 0; i < 3; ++i) {
        const FNWAgentBean& agent = *stored[static_cast<size_t>(i) + 1];
        EXPECT_EQ(agent.ip_address, addresses[i]);
        EXPECT_EQ(agent.port_number, ports[i]);
        EXPECT_EQ(agent.viewPosition, 8 + i);
        EXPECT_TRUE(agent.addedManually);
        EXPECT_TRUE(agent.lastSeen.isValid());
    }
    EXPECT_EQ(stored[3]->agent_name, QStringLiteral("Third"));
    EXPECT_EQ(createCloses, 1);
    EXPECT_EQ(delegate.added, 1);
    expectNoticeOnce(QStringLiteral("New Target Server added successfully."));
}

TEST_F(AgentEditorRulesTest, RefusedSaveNamesTheFirstFailingCellAndStoresNothing)
{
    storeAgent(QStringLiteral("10.1.1.1"));
    const QString invalid = QStringLiteral("Please Enter Valid IP address.");
    const QString stored = QStringLiteral("Server with IP Address '10.1.1.1' already exist.");
    // The rows' addresses, "|" between rows; a row whose port is set out of range (-1: none).
    const struct
    {
        const char* rows;
        int outOfRangePortRow;
        FNWAgentTableCell cell;
        QString message;
    } cases[] = {
        {"", -1, {0, kIP}, invalid},
        {"10.0.0.5| \t ", -1, {1, kIP}, invalid},
        {"10.0.0.256", -1, {0, kIP}, invalid},
        {"10.0.0.5|10.1.1.1", -1, {1, kIP}, stored},
        {"10.2.2.2|10.2.2.2", -1, {0, kIP}, QStringLiteral("Duplicate IP Address '10.2.2.2' found.")},
        // The stored address is named before the duplicate.
        {"10.1.1.1|10.1.1.1", -1, {0, kIP}, stored},
        // The port is checked before the duplicate.
        {"10.0.0.5|10.2.2.2|10.2.2.2", 1, {1, kPort}, kPortMessage},
    };
    for (const auto& entry : cases) {
        create.showWindow();
        enterRows(QString::fromLatin1(entry.rows).split(u'|'));
        if (entry.outOfRangePortRow >= 0)
            create.agentArray()[static_cast<size_t>(entry.outOfRangePortRow)]->port_number = 49152;

        const auto failed = create.saveAgentButtonDidClicked();
        ASSERT_TRUE(failed.has_value()) << entry.message.toStdString();
        EXPECT_EQ(*failed, entry.cell) << entry.message.toStdString();
        EXPECT_EQ(create.errorText(), entry.message);
    }
    EXPECT_EQ(libraryAgents().size(), 1u);
    EXPECT_EQ(createCloses, 0);
    EXPECT_EQ(delegate.added, 0);
    EXPECT_TRUE(notices.empty());
}

TEST_F(AgentEditorRulesTest, RowZeroStaysAndAClickedRowGoesOnceLater)
{
    enterRows({QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.3")});
    EXPECT_FALSE(create.removeRowButtonDidClicked(0));
    EXPECT_FALSE(create.removeRowButtonDidClicked(3));
    // A double click resolves to the same agent; only it goes.
    EXPECT_TRUE(create.removeRowButtonDidClicked(1));
    EXPECT_TRUE(create.removeRowButtonDidClicked(1));
    EXPECT_EQ(create.agentArray().size(), 3u);
    ASSERT_TRUE(waitUntil([&] { return create.agentArray().size() == 2; }));
    QCoreApplication::processEvents();
    ASSERT_EQ(create.agentArray().size(), 2u);
    EXPECT_EQ(create.agentArray()[1]->ip_address, QStringLiteral("10.0.0.3"));
    EXPECT_EQ(create.agent(), create.agentArray()[1]);
}

// A refused insert must not be reported as an added server, nor be stored twice on the next try.
TEST_F(AgentEditorRulesTest, AStoreRefusalKeepsTheUnsavedRowsAndReportsNoSuccess)
{
    ASSERT_TRUE(
        executeSQL(QStringLiteral("create trigger refuse before insert on agents when new.ip_address = '10.9.9.9' "
                                  "begin select raise(abort, 'refused'); end")));
    enterRows({QStringLiteral("10.9.9.8"), QStringLiteral("10.9.9.9"), QStringLiteral("10.9.9.10")});

    EXPECT_EQ(create.saveAgentButtonDidClicked(), std::nullopt);
    EXPECT_EQ(libraryAgents().size(), 1u);
    ASSERT_EQ(create.agentArray().size(), 2u);
    EXPECT_EQ(create.agentArray()[0]->ip_address, QStringLiteral("10.9.9.9"));
    EXPECT_TRUE(create.errorText().contains(QStringLiteral("10.9.9.9")));
    EXPECT_EQ(createCloses, 0);
    EXPECT_EQ(delegate.added, 1); // the list shows the one that was stored
    EXPECT_TRUE(notices.empty());

    ASSERT_TRUE(executeSQL(QStringLiteral("drop trigger refuse")));
    EXPECT_EQ(create.saveAgentButtonDidClicked(), std::nullopt);
    const auto stored = libraryAgents();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[1]->ip_address, QStringLiteral("10.9.9.9"));
    EXPECT_EQ(stored[1]->viewPosition, 2);
    EXPECT_EQ(stored[2]->viewPosition, 3);
    expectNoticeOnce(QStringLiteral("New Target Server added successfully."));
}

TEST_F(AgentEditorRulesTest, EditChecksPortRangeAndAddressAgainstOtherLibraryAgentsBeforeAnUpdate)
{
    const auto agent = storeAgent(QStringLiteral("10.0.0.1"));
    storeAgent(QStringLiteral("10.0.0.2"));
    storeAgent(QStringLiteral("10.0.0.3"), true);
    edit.setAgentBean(agent);

    const struct
    {
        qint64 port;
        bool accepted;
    } ports[] = {{1023, false}, {1024, true}, {49151, true}, {49152, false}};
    for (const auto& entry : ports) {
        edit.showErrorMessage(QString());
        edit.setAgentPort(entry.port);
        EXPECT_EQ(edit.validateAgentPort(), entry.accepted) << entry.port;
        EXPECT_EQ(edit.errorText(), entry.accepted ? QString() : kPortMessage) << entry.port;
    }
    edit.setAgentPortText(QString());
    EXPECT_EQ(edit.agentPort(), 0);

    const struct
    {
        const char* address;
        bool accepted;
        const char* message;
    } addresses[] = {
        {"10.0.0.1 ", true, ""}, // its own address
        {"\t10.0.0.2", false, "Server with IP Address '10.0.0.2' already exist."},
        {"10.0.0.3", true, ""}, // only a queued copy has it
        {"10.0.0", false, "Invalid IP Address."},
        {"", false, "Invalid IP Address."},
    };
    for (const auto& entry : addresses) {
        edit.showErrorMessage(QString());
        edit.setAgentIP(QString::fromLatin1(entry.address));
        EXPECT_EQ(edit.validateAgentIPAddress(), entry.accepted) << entry.address;
        EXPECT_EQ(edit.errorText(), QString::fromLatin1(entry.message)) << entry.address;
    }

    edit.setAgentPort(80);
    EXPECT_TRUE(edit.controlTextDidEndEditing(QStringLiteral("port")));
    EXPECT_EQ(edit.errorText(), kPortMessage);
    edit.setAgentIP(QStringLiteral("10.0.0.9"));
    EXPECT_FALSE(edit.controlTextDidEndEditing(QStringLiteral("ipAddress")));
    edit.setAgentIP(QStringLiteral("10.0.0.2"));
    EXPECT_TRUE(edit.controlTextDidEndEditing(QStringLiteral("ipAddress")));
    EXPECT_FALSE(edit.controlTextDidEndEditing(QStringLiteral("name")));

    // Update writes the form into the agent only when both checks pass; the address is checked
    // first, and its message is the one left.
    edit.setAgentBean(agent);
    edit.setAgentIP(QStringLiteral("10.0.0.2"));
    edit.setAgentPort(80);
    EXPECT_FALSE(edit.updateAgentButtonDidClicked());
    EXPECT_EQ(edit.errorText(), QStringLiteral("Server with IP Address '10.0.0.2' already exist."));
    edit.setAgentIP(QStringLiteral("10.0.0.7"));
    EXPECT_FALSE(edit.updateAgentButtonDidClicked());
    EXPECT_EQ(edit.errorText(), kPortMessage);
    EXPECT_EQ(agent->ip_address, QStringLiteral("10.0.0.1"));
    EXPECT_TRUE(delegate.updated.empty());

    edit.cancelButtonDidClicked();
    EXPECT_EQ(edit.agentPort(), 0);
    EXPECT_EQ(agent->port_number, 5201);
    EXPECT_EQ(editCloses, 1);

    edit.setAgentBean(agent);
    edit.setAgentIP(QStringLiteral("10.0.0.7 "));
    edit.setAgentPortText(QStringLiteral("49151"));
    edit.setAgentName(QString());
    EXPECT_TRUE(edit.updateAgentButtonDidClicked());
    ASSERT_EQ(delegate.updated.size(), 1u);
    EXPECT_EQ(delegate.updated[0], agent);
    EXPECT_EQ(editCloses, 2);
    expectNoticeOnce(QStringLiteral("Target Server details updated successfully."));

    const auto reloaded = FNWAgentDAO().loadAgentWithID(agent->ID);
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->ip_address, QStringLiteral("10.0.0.7"));
    EXPECT_EQ(reloaded->port_number, 49151);
    EXPECT_FALSE(reloaded->agent_name.isNull());
    EXPECT_EQ(reloaded->agent_name, QStringLiteral(""));
}

} // namespace
