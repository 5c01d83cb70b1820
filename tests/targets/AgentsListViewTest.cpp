#include "../compose/FNWHomeFixture.h"

#include "base/FNWListRoles.h"
#include "targets/FNWEditAgentWindowController.h"

namespace {

class AgentsListViewTest : public FNWHomeFixture
{
protected:
    void SetUp() override
    {
        FNWHomeFixture::SetUp();
        addPreset(QStringLiteral("Quick"));
        addAgent(QStringLiteral("127.0.0.1"), QStringLiteral("Lab"));
        addAgent(QStringLiteral("127.0.0.2"), QStringLiteral("Office"));
        addAgent(QStringLiteral("127.0.0.3"));
    }

    int badge(int row) const { return agents.index(row).data(FNWListRoles::Badge).toInt(); }
};

TEST_F(AgentsListViewTest, ClicksCountQueuedTestsPerAgentAndDeletingAllAsksFirst)
{
    // Without a selected preset a click adds nothing.
    agents.tableViewDidClickedRow(0);
    EXPECT_TRUE(queue.testList().empty());

    presets.selectRow(0);
    for (int click = 0; click < 3; ++click)
        agents.tableViewDidClickedRow(1);
    agents.tableViewDidClickedRow(2);
    EXPECT_EQ(queue.testList().size(), 4u);
    EXPECT_EQ(badge(1), 3);
    EXPECT_EQ(badge(2), 0) << "a single test shows no badge";
    EXPECT_EQ(agents.selectedRows(), (QList<int>{1, 2}));
    EXPECT_EQ(agents.index(1).data().toString(), QStringLiteral("Office - 127.0.0.2"));

    // Removing queued tests counts down, then lets the row go.
    queue.deleteIndividualTestButtonDidClicked(0);
    EXPECT_EQ(badge(1), 2);
    queue.deleteIndividualTestButtonDidClicked(2);
    EXPECT_EQ(agents.clickedCount(agents.agentsBeans()[2]->ID), 0);
    EXPECT_EQ(agents.selectedRows(), (QList<int>{1}));

    // Deselecting the preset empties the queue and forgets the counts.
    coordinator->presetSelectionDidChanged(nullptr);
    EXPECT_TRUE(queue.testList().empty());
    EXPECT_EQ(agents.clickedCount(agents.agentsBeans()[1]->ID), 0);
    EXPECT_TRUE(agents.selectedRows().isEmpty());

    // Deleting all asks first; an emptied list has no edit mode.
    answer = 0;
    agents.trashButtonDidClicked();
    EXPECT_EQ(agents.agentsBeans().size(), 3u);
    answer = 1;
    agents.trashButtonDidClicked();
    EXPECT_TRUE(agents.agentsBeans().empty());
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[0].informativeText, QStringLiteral("Are you sure you want to delete all agents in this list?."));
    agents.enableAgentEditModeButtonDidClicked(true);
    EXPECT_FALSE(agents.isEditing());
}

TEST_F(AgentsListViewTest, EditModeReordersAndDeletes)
{
    presets.selectRow(0);
    agents.tableViewDidClickedRow(2);
    agents.enableAgentEditModeButtonDidClicked(true);
    ASSERT_TRUE(agents.isEditing());
    EXPECT_TRUE(agents.index(0).data(FNWListRoles::Subtitle).toString().startsWith(QStringLiteral("Added on: ")));

    EXPECT_FALSE(agents.acceptDropOfRows(QStringLiteral("1"), 1));
    ASSERT_TRUE(agents.acceptDropOfRows(QStringLiteral("2"), 0));
    const auto stored = FNWAgentDAO().getAllAttachedAgents(false);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0]->ip_address, QStringLiteral("127.0.0.3"));
    for (size_t row = 0; row < stored.size(); ++row)
        EXPECT_EQ(stored[row]->viewPosition, static_cast<qint64>(row) + 1);

    // Leaving edit mode selects the remembered agent where it now stands.
    agents.enableAgentEditModeButtonDidClicked(false);
    EXPECT_EQ(agents.selectedRows(), (QList<int>{0}));
    EXPECT_EQ(agents.index(0).data(FNWListRoles::Subtitle).toString(), QString());

    // Deleting the last agent ends edit mode.
    agents.enableAgentEditModeButtonDidClicked(true);
    agents.deleteIndividualAgentButtonDidClicked(stored[0]->ID);
    EXPECT_TRUE(queue.testList().empty()) << "its test left the queue with it";
    agents.didReceivedDraggedItems({QStringLiteral("0,1")});
    EXPECT_TRUE(agents.agentsBeans().empty());
    EXPECT_FALSE(agents.isEditing());
    EXPECT_TRUE(FNWAgentDAO().getAllAttachedAgents(false).empty());
}

// The list and the queue know an agent by its ID: a record the list has since read afresh, or an
// agent whose address changed, is still the same agent.
TEST_F(AgentsListViewTest, AnEditedAgentStaysTheSameAgent)
{
    presets.selectRow(0);
    for (int row : {1, 1, 2})
        agents.tableViewDidClickedRow(row);
    const std::shared_ptr<FNWAgentBean> office = agents.agentsBeans()[1];
    agents.loadAllAgents();

    FNWEditAgentWindowController editor;
    editor.setDelegate(&agents);
    editor.setAgentBean(office);
    editor.setAgentIP(QStringLiteral("127.0.0.9"));
    editor.setAgentName(QStringLiteral("Annex"));
    ASSERT_TRUE(editor.updateAgentButtonDidClicked());
    EXPECT_EQ(agents.index(1).data().toString(), QStringLiteral("Annex - 127.0.0.9"));
    EXPECT_EQ(FNWAgentDAO().getAllAttachedAgents(false)[1]->ip_address, QStringLiteral("127.0.0.9"));

    // Its queued tests (made while it had the old address) count down and leave with it.
    queue.deleteIndividualTestButtonDidClicked(0);
    EXPECT_EQ(agents.clickedCount(office->ID), 1);
    agents.deleteIndividualAgentButtonDidClicked(office->ID);
    ASSERT_EQ(queue.testList().size(), 1u);
    EXPECT_EQ(queue.testList()[0]->testName, QStringLiteral("127.0.0.3 - Quick"));
}

TEST(AgentsListViewText, LastSeenUsesTwelveHourClock)
{
    FNWAgentBean agent;
    agent.lastSeen = QDateTime(QDate(2026, 12, 6), QTime(15, 5));
    EXPECT_EQ(AgentsListView::lastSeenText(agent), QStringLiteral("Last Seen: 03:05 12/06/26"));
    agent.addedManually = true;
    agent.lastSeen = QDateTime(QDate(2026, 1, 2), QTime(0, 40));
    EXPECT_EQ(AgentsListView::lastSeenText(agent), QStringLiteral("Added on: 12:40 01/02/26"));
}

} // namespace
