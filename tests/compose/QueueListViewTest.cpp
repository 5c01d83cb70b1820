#include "FNWHomeFixture.h"

#include "base/FNWEnums.h"
#include "base/FNWListRoles.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "db/TestQueueBeanDAO.h"
#include "engine/TestManager.h"
#include "model/TestQueueBean.h"

#include "FNWEngineTestSupport.h"

namespace {

class QueueListViewTest : public FNWHomeFixture
{
protected:
    void SetUp() override
    {
        FNWHomeFixture::SetUp();
        preset = addQuickPresetAndThreeAgents();
    }

    // Clicks the agents list rows in turn, each adding one test.
    void click(std::initializer_list<int> rows)
    {
        for (int row : rows)
            agents.tableViewDidClickedRow(row);
    }

    std::shared_ptr<FNWPresetBean> preset;
};

TEST_F(QueueListViewTest, NeighboursJoinAndSeparate)
{
    click({0, 1, 2});
    EXPECT_EQ(orders(), (std::vector<qint64>{1, 2, 3}));
    EXPECT_EQ(queue.testList()[1]->testName, QStringLiteral("127.0.0.2 - Quick"));

    queue.upperHalfCircleDidClicked(0);
    EXPECT_EQ(orders(), (std::vector<qint64>{1, 1, 3}));
    EXPECT_TRUE(queue.index(0).data(FNWListRoles::LinkedToNext).toBool());
    EXPECT_TRUE(queue.index(1).data(FNWListRoles::LinkedToPrevious).toBool());
    queue.upperHalfCircleDidClicked(0);
    EXPECT_EQ(orders(), (std::vector<qint64>{1, 2, 4}));
    queue.upperHalfCircleDidClicked(2);
    EXPECT_EQ(orders(), (std::vector<qint64>{1, 2, 4})) << "the last row has nothing below";

    // Separating from the row above lowers every order above.
    queue.upperHalfCircleDidClicked(1);
    EXPECT_EQ(orders(), (std::vector<qint64>{1, 2, 2}));
    queue.lowerHalfCircleDidClicked(2);
    EXPECT_EQ(orders(), (std::vector<qint64>{0, 1, 2}));
    queue.lowerHalfCircleDidClicked(1);
    EXPECT_EQ(orders(), (std::vector<qint64>{0, 0, 2}));
    queue.lowerHalfCircleDidClicked(1);
    EXPECT_EQ(orders(), (std::vector<qint64>{-1, 0, 2}));
    queue.lowerHalfCircleDidClicked(0);
    EXPECT_EQ(orders(), (std::vector<qint64>{-1, 0, 2}));
    EXPECT_TRUE(warnings.empty());
}

TEST_F(QueueListViewTest, OneAgentTwiceInAnOrderIsRefused)
{
    const QString refusal = QStringLiteral("Simultaneous test with same agent cannot be performed.");
    click({0, 0});
    queue.upperHalfCircleDidClicked(0);
    queue.lowerHalfCircleDidClicked(1);
    EXPECT_EQ(orders(), (std::vector<qint64>{1, 2}));
    EXPECT_EQ(warnings, (std::vector<QString>{refusal, refusal}));

    // Two groups that together hold the agent twice.
    warnings.clear();
    click({1});
    queue.upperHalfCircleDidClicked(1);
    EXPECT_EQ(orders(), (std::vector<qint64>{1, 2, 2}));
    queue.lowerHalfCircleDidClicked(1);
    EXPECT_EQ(orders(), (std::vector<qint64>{1, 2, 2}));
    EXPECT_EQ(warnings, (std::vector<QString>{refusal}));
}

TEST_F(QueueListViewTest, DraggingMovesIntoTheGapAndIntoGroups)
{
    click({0, 1, 2});
    const auto first = queue.testList()[0];
    EXPECT_FALSE(queue.acceptDropOfRows(QStringLiteral("1"), 1));
    ASSERT_TRUE(queue.acceptDropOfRows(QStringLiteral("0"), 3));
    EXPECT_EQ(orders(), (std::vector<qint64>{2, 3, 4}));
    EXPECT_EQ(queue.testList()[2]->testName, first->testName);

    // Into the gap inside a group: the moved test joins it.
    queue.upperHalfCircleDidClicked(1);
    EXPECT_EQ(orders(), (std::vector<qint64>{2, 3, 3}));
    ASSERT_TRUE(queue.acceptDropOfRows(QStringLiteral("0"), 2));
    EXPECT_EQ(orders(), (std::vector<qint64>{3, 3, 3}));
    EXPECT_EQ(queue.testList()[1]->testName, QStringLiteral("127.0.0.2 - Quick"));

    // To the top: a group of its own ahead of all others.
    queue.upperHalfCircleDidClicked(0);
    ASSERT_TRUE(queue.acceptDropOfRows(QStringLiteral("2"), 0));
    EXPECT_EQ(orders(), (std::vector<qint64>{0, 5, 6}));
}

// What deleting an agent or a preset takes from the queue is the agents' and presets' lists' own
// test; clearing is the queue's.
TEST_F(QueueListViewTest, ClearingAsksFirstAndForgetsTheAgentsCounts)
{
    click({0, 1, 0});
    EXPECT_EQ(agents.clickedCount(agents.agentsBeans()[0]->ID), 2);
    answer = 0;
    queue.clearAllTestFromQueueButtonDidClicked();
    EXPECT_EQ(queue.testList().size(), 3u);
    answer = 1;
    queue.clearAllTestFromQueueButtonDidClicked();
    EXPECT_TRUE(queue.testList().empty());
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[1].message, QStringLiteral("Please Confirm"));
    EXPECT_EQ(alerts[1].informativeText, QStringLiteral("Are you sure you want to remove all tests from the Queue?"));
    EXPECT_FALSE(FNWUtils::getUserSettingForKey(QString::fromLatin1(kStartStopButtonVisibilityKey)).toBool());
    EXPECT_EQ(agents.clickedCount(agents.agentsBeans()[0]->ID), 0);
    EXPECT_EQ(agents.clickedCount(agents.agentsBeans()[1]->ID), 0);
}

// The queue's editor edits exactly the test it was opened for, whichever row is clicked meanwhile.
TEST_F(QueueListViewTest, TheQueueEditorKeepsEachEditWithItsOwnTest)
{
    click({0, 1});
    FNWCreatePresetWindowController* editor = queue.presetEditor();
    queue.tableViewDidClickedRow(0);
    EXPECT_FALSE(editor->isWindowVisible()) << "outside edit mode a click opens nothing";
    queue.enableEditModeOnQueueButtonDidClicked(true);
    queue.tableViewDidClickedRow(0);
    ASSERT_TRUE(editor->isWindowVisible());
    editor->setName(QStringLiteral("Longer"));
    editor->setFieldText(QStringLiteral("duration"), QStringLiteral("60"));

    // Another test while the form holds changes: asked first; "No" keeps the form on the first.
    answer = 0;
    queue.tableViewDidClickedRow(1);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, QStringLiteral("Discard Changes?"));
    editor->saveButtonDidClicked();
    EXPECT_EQ(queue.index(0).data().toString(), QStringLiteral("127.0.0.1 Longer*"));
    EXPECT_TRUE(queue.index(0).data(FNWListRoles::IsItalic).toBool());
    EXPECT_EQ(queue.testList()[0]->preset()->duration, 60);
    EXPECT_EQ(queue.index(1).data().toString(), QStringLiteral("127.0.0.2 - Quick"));

    // An unchanged form turns to the clicked test; "Yes" drops changes and turns too.
    queue.tableViewDidClickedRow(0);
    queue.tableViewDidClickedRow(1);
    EXPECT_EQ(editor->preset()->name, QStringLiteral("Quick"));
    editor->setFieldText(QStringLiteral("duration"), QStringLiteral("30"));
    answer = 1;
    queue.tableViewDidClickedRow(0);
    EXPECT_EQ(editor->preset()->name, QStringLiteral("Longer"));
    editor->setFieldText(QStringLiteral("duration"), QStringLiteral("45"));
    editor->saveButtonDidClicked();
    EXPECT_EQ(queue.testList()[0]->preset()->duration, 45);
    EXPECT_EQ(queue.testList()[1]->preset()->duration, preset->duration);
    EXPECT_EQ(alerts.size(), 2u);

    // A test that left the queue while its preset was open takes nothing back.
    queue.tableViewDidClickedRow(1);
    queue.deleteIndividualTestButtonDidClicked(1);
    editor->setName(QStringLiteral("Orphan"));
    editor->saveButtonDidClicked();
    ASSERT_EQ(queue.testList().size(), 1u);
    EXPECT_EQ(queue.index(0).data().toString(), QStringLiteral("127.0.0.1 Longer*"));
}

// The queue runs against a manager of its own; agents with unusable addresses fail at once, so no
// process is ever started.
TEST_F(QueueListViewTest, AdHocRunHandsOverOneProfilePerOrderAndShowsOutcomes)
{
    for (const char* address : {"agent-a", "agent-b"})
        addAgent(QString::fromLatin1(address));
    auto manager = std::make_shared<TestManager>();
    manager->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });
    queue.setTestManager(manager);
    click({3, 4, 3});
    queue.upperHalfCircleDidClicked(0);
    queue.testList()[0]->testOrder = 2;
    queue.testList()[1]->testOrder = 1;
    queue.testList()[2]->testOrder = 2;

    ASSERT_TRUE(coordinator->startStopButtonDidClicked());
    ASSERT_TRUE(manager->testProfile());
    ASSERT_EQ(manager->testProfile()->testList.size(), 2u);
    EXPECT_EQ(manager->testProfile()->testList[0], queue.testList()[0]);
    EXPECT_EQ(manager->testProfile()->testList[1], queue.testList()[2]);
    ASSERT_EQ(manager->profilesToBeExecuted().size(), 1u);
    EXPECT_EQ(manager->profilesToBeExecuted()[0]->testList.front(), queue.testList()[1]);
    EXPECT_EQ(TestQueueBeanDAO().getAllRecords().size(), 2u);

    // While the run goes, the queue and the agents list hold still.
    EXPECT_TRUE(coordinator->isRunningTestFromHomeScreen());
    queue.clearAllTestFromQueueButtonDidClicked();
    queue.enableEditModeOnQueueButtonDidClicked(true);
    agents.tableViewDidClickedRow(0);
    EXPECT_FALSE(agents.tableViewShouldSelectRow(0));
    EXPECT_EQ(queue.testList().size(), 3u);
    EXPECT_FALSE(queue.isEditing());
    // Nothing that runs leaves the queue, and nothing hides the control that stops the run: a test
    // dragged to the trash or moved, its agent or its preset deleted.
    queue.didReceivedDraggedItems({QStringLiteral("1")});
    EXPECT_FALSE(queue.acceptDropOfRows(QStringLiteral("0"), 2));
    agents.removeAgentsAtIndexes({3});
    agents.trashButtonDidClicked();
    presets.removePresetAtIndexes({0});
    EXPECT_EQ(queue.testList().size(), 3u);
    EXPECT_EQ(agents.agentsBeans().size(), 5u);
    EXPECT_EQ(presets.presetsArray().size(), 1u);
    agents.removeAgentsAtIndexes({0});
    EXPECT_EQ(agents.agentsBeans().size(), 4u) << "an agent with no test in the run can go";
    EXPECT_TRUE(FNWUtils::getUserSettingForKey(QString::fromLatin1(kStartStopButtonVisibilityKey)).toBool());
    ASSERT_EQ(alerts.size(), 7u);
    for (const FNWAlertRequest& alert : alerts)
        EXPECT_EQ(alert.message, QStringLiteral("Please wait..."));
    EXPECT_TRUE(alerts[0].informativeText.endsWith(QStringLiteral("or stop the tests.")));
    EXPECT_TRUE(alerts[2].informativeText.endsWith(QStringLiteral("or press Stop.")));
    alerts.clear();

    ASSERT_TRUE(fnw::test::waitUntil([&] {
        return manager->isFreeToUse() &&
               std::all_of(queue.testList().begin(), queue.testList().end(),
                           [](const auto& test) { return test->executionStatus() == FNWExecutionStatusFailed; });
    }));
    EXPECT_FALSE(coordinator->isRunningTestFromHomeScreen());
    EXPECT_EQ(queue.index(1).data(FNWListRoles::ExecutionStatus).toInt(), FNWExecutionStatusFailed);

    queue.showFailuerResonOnProgressButtonClick(1);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, QStringLiteral("agent-b - Quick Test Failed"));
    EXPECT_EQ(alerts[0].informativeText, QStringLiteral("Invalid agent address 'agent-b'."));

    queue.testProfileExecutionDidStopped();
    EXPECT_EQ(queue.testList()[1]->executionStatus(), FNWExecutionStatusNotStarted);
    queue.showFailuerResonOnProgressButtonClick(1);
    EXPECT_EQ(alerts.size(), 1u) << "only a failed test has a reason to show";
}

} // namespace
