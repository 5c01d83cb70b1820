#include "FNWHomeFixture.h"

#include "base/FNWEnums.h"
#include "compose/FNWSaveTestProfileController.h"
#include "compose/MyTestView.h"
#include "compose/TestProfilesListView.h"
#include "db/DBUtils.h"
#include "db/TestBeanDAO.h"
#include "db/TestQueueBeanDAO.h"
#include "model/TestExecutionBean.h"
#include "model/TestQueueBean.h"
#include "results/HistoryView.h"

#include <QCoreApplication>

using namespace fnw::test;

namespace {

// The home tab's lists, a save window's queue, and the My Tests tab's rules over one database.
class TestProfilesTest : public FNWHomeFixture
{
protected:
    void SetUp() override
    {
        FNWHomeFixture::SetUp();
        preset = addQuickPresetAndThreeAgents();
        queue.setSaveWindowQueue(&saveQueue);
    }

    // The home queue holds one test per agent row, then is saved under name.
    std::shared_ptr<TestQueueBean> saveProfile(const QString& name, std::initializer_list<int> rows)
    {
        queue.removeAllTests();
        for (int row : rows)
            agents.tableViewDidClickedRow(row);
        queue.queueSaveButtonDidClicked();
        EXPECT_TRUE(saveQueue.saveTestQueueButtonDidClicked(name));
        saveQueue.setUpView();
        for (const auto& profile : TestQueueBeanDAO().getAllNamedProfiles()) {
            if (profile->testProfileName == name) {
                profile->loadAllTestBeans();
                return profile;
            }
        }
        ADD_FAILURE() << "no stored profile " << name.toStdString();
        return nullptr;
    }

    static QStringList storedNames(qint64 profileID)
    {
        QStringList names;
        for (const auto& test : TestQueueBeanDAO().getAllAssociatedTestBeans(profileID))
            names.append(test->testName);
        return names;
    }

    static QStringList listedNames(const TestProfilesListView& list)
    {
        QStringList names;
        for (const auto& profile : list.testProfiles())
            names.append(profile->testProfileName);
        return names;
    }

    // A past run of the test, as the engine stores one.
    static void storeRunOf(const TestBean& test, qint64 profileID)
    {
        TestExecutionBean execution;
        execution.testBean_id = test.ID;
        execution.testProfile_id = profileID;
        execution.execution_date = QDateTime::currentDateTime();
        execution.setExecutionStatus(FNWExecutionStatusFinished);
        ASSERT_TRUE(execution.save());
    }

    QueueListView saveQueue;
    std::shared_ptr<FNWPresetBean> preset;
};

TEST_F(TestProfilesTest, SavingChecksInOrderAndStoresCopiesOfTheirOwn)
{
    agents.tableViewDidClickedRow(0);
    agents.tableViewDidClickedRow(1);
    queue.queueSaveButtonDidClicked();
    ASSERT_EQ(saveQueue.testList().size(), 2u);
    EXPECT_NE(saveQueue.testList()[0], queue.testList()[0]);
    EXPECT_NE(saveQueue.testList()[0]->preset(), queue.testList()[0]->preset());

    // Name first, then a name in use, then an empty queue.
    auto stored = std::make_shared<TestQueueBean>();
    stored->testProfileName = QStringLiteral("Nightly");
    stored->viewPosition = 4;
    ASSERT_TRUE(stored->save());
    QueueListView empty;
    EXPECT_FALSE(empty.saveTestQueueButtonDidClicked(QStringLiteral("  ")));
    EXPECT_EQ(empty.errorText(), QStringLiteral("Test Profile Name is Required."));
    EXPECT_FALSE(empty.saveTestQueueButtonDidClicked(QStringLiteral("Nightly")));
    EXPECT_EQ(empty.errorText(), QStringLiteral("Test name already used, please use different name."));
    EXPECT_FALSE(empty.saveTestQueueButtonDidClicked(QStringLiteral("Morning")));
    EXPECT_EQ(empty.errorText(), QStringLiteral("Queue List is empty."));
    EXPECT_TRUE(warnings.empty());

    // Names compare exactly; a name only a deleted profile had is free again.
    EXPECT_TRUE(saveQueue.saveTestQueueButtonDidClicked(QStringLiteral("nightly")));
    ASSERT_TRUE(stored->remove());
    queue.queueSaveButtonDidClicked();
    EXPECT_TRUE(saveQueue.saveTestQueueButtonDidClicked(QStringLiteral("Nightly")));
    EXPECT_EQ(warnings, (std::vector<QString>{QStringLiteral("Test Information Saved."),
                                              QStringLiteral("Test Information Saved.")}));

    const auto profiles = TestQueueBeanDAO().getAllNamedProfiles();
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[1]->testProfileName, QStringLiteral("Nightly"));
    EXPECT_EQ(profiles[1]->viewPosition, 6) << "one above the largest, a deleted profile's included";
    EXPECT_EQ(storedNames(profiles[1]->ID),
              (QStringList{QStringLiteral("127.0.0.1 - Quick"), QStringLiteral("127.0.0.2 - Quick")}));

    // The home queue is as it was, unsaved: its presets point at no stored row, so editing them
    // later cannot rewrite a profile's settings.
    ASSERT_EQ(queue.testList().size(), 2u);
    for (const auto& test : queue.testList()) {
        EXPECT_LE(test->ID, 0);
        EXPECT_LE(test->preset()->ID, 0);
        EXPECT_LE(test->agent()->ID, 0);
    }

    // Ad-hoc runs' unnamed profiles never show in My Tests.
    auto adHoc = std::make_shared<TestQueueBean>();
    adHoc->testList.push_back(queue.testList()[0]->copyWithOwnSettings());
    ASSERT_TRUE(adHoc->save());
    TestProfilesListView list;
    list.loadAllProfiles();
    EXPECT_EQ(listedNames(list), (QStringList{QStringLiteral("nightly"), QStringLiteral("Nightly")}));
}

TEST_F(TestProfilesTest, ASaveTheDatabaseRefusesLeavesNothingAndMayBeRetried)
{
    agents.tableViewDidClickedRow(0);
    queue.queueSaveButtonDidClicked();
    {
        DatabaseLockHolder other(DBUtils::appDBPath(), 10000);
        ASSERT_TRUE(other.locked());
        EXPECT_FALSE(saveQueue.saveTestQueueButtonDidClicked(QStringLiteral("Survey")));
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0], QStringLiteral("Test Information Saved."));
        EXPECT_FALSE(warnings[0].isEmpty());
        other.release();
        ASSERT_TRUE(other.waitUntilReleased());
    }
    FNWBaseModel::clearMetLock();
    EXPECT_FALSE(TestQueueBean::findTestName(QStringLiteral("Survey")));
    EXPECT_TRUE(saveQueue.saveTestQueueButtonDidClicked(QStringLiteral("Survey")));
    EXPECT_EQ(warnings.back(), QStringLiteral("Test Information Saved."));
    EXPECT_EQ(TestQueueBeanDAO().getAllNamedProfiles().size(), 1u);
}

TEST_F(TestProfilesTest, TheNewTestWindowsQueueStoresItselfUnderTheGivenName)
{
    saveProfile(QStringLiteral("Taken"), {0});
    int created = 0;
    const FNWObserverToken observer = FNWNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(DidCreatedNewTestProfileFromNewWindow), [&](const FNWNotification&) { ++created; });
    queue.setIsCreateNewMyTestProfile(true);
    EXPECT_FALSE(queue.isSaveButtonVisible());
    EXPECT_FALSE(queue.userClickedToAddNewTestProfileWithName(QStringLiteral("Taken")));
    EXPECT_EQ(queue.errorText(), QStringLiteral("Test name already used, please use different name."));
    queue.removeAllTests();
    EXPECT_FALSE(queue.userClickedToAddNewTestProfileWithName(QStringLiteral("Fresh")));
    EXPECT_EQ(created, 0);

    agents.tableViewDidClickedRow(2);
    EXPECT_TRUE(queue.userClickedToAddNewTestProfileWithName(QStringLiteral("Fresh")));
    EXPECT_EQ(created, 1);
    EXPECT_TRUE(queue.isSaveButtonVisible());
    EXPECT_TRUE(TestQueueBean::findTestName(QStringLiteral("Fresh")));
}

TEST_F(TestProfilesTest, TheListReordersAndDeletesAsAsked)
{
    for (const char* name : {"A", "B", "C"})
        saveProfile(QString::fromLatin1(name), {0});
    TestProfilesListView list;
    std::vector<std::shared_ptr<TestQueueBean>> selections;
    struct Recorder : TestProfileListViewDelegate
    {
        std::vector<std::shared_ptr<TestQueueBean>>* seen;
        void testProfileSelectionDidChanged(const std::shared_ptr<TestQueueBean>& profile) override
        {
            seen->push_back(profile);
        }
    } recorder;
    recorder.seen = &selections;
    list.setDelegate(&recorder);
    list.setUpView();
    EXPECT_EQ(listedNames(list), (QStringList{"A", "B", "C"}));

    // Outside edit mode a click selects; edit mode remembers the selection and gives it back.
    list.didClickonTableRow(1);
    ASSERT_EQ(selections.size(), 1u);
    EXPECT_EQ(selections[0]->testProfileName, QStringLiteral("B"));
    list.enableEditModeButtonDidClicked(true);
    EXPECT_TRUE(list.isEditing());
    EXPECT_TRUE(list.acceptDropOfRows(QStringLiteral("2"), 0));
    EXPECT_FALSE(list.acceptDropOfRows(QStringLiteral("1"), 1));
    list.enableEditModeButtonDidClicked(false);
    EXPECT_EQ(list.selectedTestProfile()->testProfileName, QStringLiteral("B"));
    EXPECT_EQ(list.selectedRow(), 2);
    list.loadAllProfiles();
    EXPECT_EQ(listedNames(list), (QStringList{"C", "A", "B"})) << "positions 1..n are stored";
    EXPECT_EQ(list.testProfiles()[2]->viewPosition, 3);

    // Two dragged onto the trash: "No" keeps them, "Yes" removes both; the runs of a deleted
    // profile stay (soft delete) but a rerun finds nothing to run.
    const auto a = list.testProfiles()[1];
    a->loadAllTestBeans();
    storeRunOf(*a->testList[0], a->ID);
    list.enableEditModeButtonDidClicked(true);
    answer = 0;
    list.didReceivedDraggedItems({QStringLiteral("1,2")});
    EXPECT_EQ(list.rowCount(), 3);
    answer = 1;
    list.didReceivedDraggedItems({QStringLiteral("1,2")});
    EXPECT_EQ(listedNames(list), (QStringList{"C"}));
    EXPECT_EQ(alerts.back().message, QStringLiteral("Profile Delete Confirmation"));
    EXPECT_EQ(selections.back(), nullptr);
    EXPECT_TRUE(TestQueueBeanDAO().getRecordWithID(a->ID).has_value());
    HistoryView history;
    const size_t alertsBefore = alerts.size();
    EXPECT_FALSE(history.startProfileExecutionForProifleID(a->ID));
    ASSERT_EQ(alerts.size(), alertsBefore + 1);
    EXPECT_EQ(alerts.back().message,
              QStringLiteral("Unable to start test as corresponding test profile details are not found."));

    // Deleting the last one by its button ends edit mode; so does deleting all.
    list.deleteIndividualTestButtonDidClicked(list.testProfiles()[0]->ID);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_FALSE(list.isEditing());
    list.enableEditModeButtonDidClicked(true);
    EXPECT_FALSE(list.isEditing()) << "nothing to edit";
    saveProfile(QStringLiteral("D"), {0});
    saveProfile(QStringLiteral("E"), {1});
    list.reloadAllProfiles();
    list.enableEditModeButtonDidClicked(true);
    list.trashButtonDidClicked();
    EXPECT_EQ(alerts.back().informativeText, QStringLiteral("Are you sure you want to delete all profiles from list?"));
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_FALSE(list.isEditing());
    EXPECT_TRUE(TestQueueBeanDAO().getAllNamedProfiles().empty());
}

TEST_F(TestProfilesTest, AnUpdateWritesWhatTheWindowShowsAndKeepsThePastIntact)
{
    const auto profile = saveProfile(QStringLiteral("Nightly"), {0, 1, 2});
    ASSERT_EQ(profile->testList.size(), 3u);
    const auto a = profile->testList[0];
    const auto b = profile->testList[1];
    storeRunOf(*a, profile->ID);

    FNWSaveTestProfileController controller;
    QueueListView& window = *controller.queueListView();
    controller.setTestQueueBean(profile);
    controller.showUpdateTestWindow();
    ASSERT_EQ(window.testList().size(), 3u);
    EXPECT_EQ(controller.oldObjOftestProfileName, QStringLiteral("Nightly"));

    // Dragging C to the top, editing B's preset and removing A, then cancelling, writes nothing
    // and leaves the list's record as stored.
    const auto editTheWindow = [&] {
        window.enableEditModeOnQueueButtonDidClicked(true);
        EXPECT_TRUE(window.acceptDropOfRows(QStringLiteral("2"), 0));
        window.showPresetSettingWindowForRow(2);
        auto edited = window.testList()[2]->preset()->copy();
        edited->duration = 30;
        window.didEditedPresetFromQueueView(edited);
        window.deleteIndividualTestButtonDidClicked(1);
    };
    editTheWindow();
    controller.cancelButtonDidClicked();
    EXPECT_EQ(storedNames(profile->ID), (QStringList{"127.0.0.1 - Quick", "127.0.0.2 - Quick", "127.0.0.3 - Quick"}));
    ASSERT_EQ(profile->testList.size(), 3u);
    EXPECT_EQ(profile->testList[1]->preset()->duration, preset->duration);

    // The same again with Update: the duplicate check skips the profile's own name, and removing
    // a test asks first ("No" writes nothing).
    controller.showUpdateTestWindow();
    editTheWindow();
    ASSERT_EQ(controller.deletedTestList.size(), 1u);
    answer = 0;
    EXPECT_FALSE(controller.updateTestProfileButtonDidClicked(QStringLiteral("Nightly")));
    EXPECT_EQ(alerts.back().message, QStringLiteral("Are you sure to update test profile."));
    EXPECT_EQ(storedNames(profile->ID).size(), 3);
    answer = 1;
    EXPECT_TRUE(controller.updateTestProfileButtonDidClicked(QStringLiteral("Nightly, 2F")));
    EXPECT_EQ(warnings.back(), QStringLiteral("Test Information Updated."));
    EXPECT_EQ(TestQueueBean(profile->ID).testProfileName, QStringLiteral("Nightly, 2F"));

    // Stored as shown, and read back in run order: C, then B with its new preset.
    const auto tests = TestQueueBeanDAO().getAllAssociatedTestBeans(profile->ID);
    ASSERT_EQ(tests.size(), 2u);
    EXPECT_EQ(tests[0]->testName, QStringLiteral("127.0.0.3 - Quick"));
    EXPECT_LT(tests[0]->testOrder, tests[1]->testOrder);
    EXPECT_EQ(tests[1]->preset()->duration, 30);
    // B's edit went into rows of its own; A, removed but run before, keeps its row and settings.
    EXPECT_NE(tests[1]->ID, b->ID);
    EXPECT_EQ(TestBeanDAO().loadTestBeanWithID(b->ID), nullptr) << "never run: its row goes";
    const auto kept = TestBeanDAO().loadTestBeanWithID(a->ID);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->testQueueID, -1);
    EXPECT_EQ(kept->preset()->duration, preset->duration);

    // An empty name, another profile's name, an emptied queue.
    saveProfile(QStringLiteral("Other"), {0});
    controller.showUpdateTestWindow();
    EXPECT_FALSE(controller.updateTestProfileButtonDidClicked(QString()));
    EXPECT_EQ(controller.errorText(), QStringLiteral("Test Profile Name is Required."));
    EXPECT_FALSE(controller.updateTestProfileButtonDidClicked(QStringLiteral("Other")));
    EXPECT_EQ(controller.errorText(), QStringLiteral("Test name already used, please use different name."));
    window.enableEditModeOnQueueButtonDidClicked(true);
    window.deleteIndividualTestButtonDidClicked(0);
    window.deleteIndividualTestButtonDidClicked(0);
    EXPECT_FALSE(controller.updateTestProfileButtonDidClicked(QStringLiteral("Nightly, 2F")));
    EXPECT_EQ(controller.errorText(), QStringLiteral("Queue List is Empty."));
}

TEST_F(TestProfilesTest, TheDetailsQueueStoresItsOrdersAndStartsOnlyWithTests)
{
    const auto profile = saveProfile(QStringLiteral("Run me"), {0, 1});
    MyTestView view;
    view.setUpView();
    EXPECT_FALSE(view.startProfileExecutionButtonDidPressed()) << "nothing selected";
    view.testProfileListView()->didClickonTableRow(0);
    QueueListView& details = *view.profileDetailsListView();
    ASSERT_EQ(details.rowCount(), 2);

    // A drag and a link there are stored at once.
    EXPECT_TRUE(details.acceptDropOfRows(QStringLiteral("1"), 0));
    EXPECT_EQ(storedNames(profile->ID), (QStringList{"127.0.0.2 - Quick", "127.0.0.1 - Quick"}));
    details.upperHalfCircleDidClicked(0);
    const auto tests = TestQueueBeanDAO().getAllAssociatedTestBeans(profile->ID);
    ASSERT_EQ(tests.size(), 2u);
    EXPECT_EQ(tests[0]->testOrder, tests[1]->testOrder);

    // A profile whose tests are gone reports failure instead of starting nothing.
    auto emptied = std::make_shared<TestQueueBean>();
    emptied->testProfileName = QStringLiteral("Emptied");
    emptied->viewPosition = 9;
    ASSERT_TRUE(emptied->save());
    view.prepareView();
    view.testProfileListView()->didClickonTableRow(1);
    EXPECT_EQ(view.selectedTestProfile()->testProfileName, QStringLiteral("Emptied"));
    EXPECT_FALSE(view.startProfileExecutionButtonDidPressed());
}

} // namespace
