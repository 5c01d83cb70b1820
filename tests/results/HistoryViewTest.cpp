#include "FNWHistoryFixture.h"

#include "app/FNWMainWindowCoordinator.h"
#include "base/FNWMainWindowPages.h"
#include "db/TestProfileExecutionDAO.h"
#include "engine/TestManager.h"
#include "results/HistoryView.h"

#include <QCoreApplication>
#include <QSize>

namespace {

using fnw::test::waitUntil;
using Content = ProfileResultsNavigationBaseView::Content;

QString key(const char* text)
{
    return QString::fromLatin1(text);
}

// The main window's hub, carrying out the deletions and exports the history asks for.
class Hub final : public FNWUserInteraction
{
public:
    QString presentSavePanelForPath(const QString&) override { return {}; }
    void showOkAlert(const QString&, const QString&, FNWAlertStyle) override {}
};

class FakeRunControl final : public FNWTestRunControl
{
public:
    bool isFreeToUse() const override { return free; }
    void stopProfileExecution() override {}
    bool free = true;
};

class HistoryViewTest : public FNWHistoryFixture
{
protected:
    void SetUp() override
    {
        FNWHistoryFixture::SetUp();
        coordinator.awakeFromNib();
        history.setLoadsInBackground(false);
        list().setTestRunControl(&runControl);
        m_observers.push_back(FNWNotificationCenter::defaultCenter().addObserver(
            key(RerunTestProfileNotification), [this](const FNWNotification& notification) {
                reruns.push_back(notification.userInfo.value(key(kTestProfileIdKey)).toLongLong());
            }));
        for (const char* name :
             {exportIntervalResultsNotification, exportSummeryViewIndividualSummeryResultsNotification})
            m_observers.push_back(FNWNotificationCenter::defaultCenter().addObserver(
                key(name), [this, name](const FNWNotification&) { exports.push_back(key(name)); }));
    }
    void TearDown() override
    {
        if (IndividualTestHistoryView::isEditing())
            list().editModeButtonDidClicked();
        FNWHistoryFixture::TearDown();
    }

    IndividualTestHistoryView& list() { return *history.individualResultsView(); }
    ProfileResultsNavigationBaseView& results() { return *history.resultsNavigationBaseView(); }
    std::vector<qint64> listedIDs()
    {
        std::vector<qint64> ids;
        for (const FNWHistoryRun& row : list().executionRecords())
            ids.push_back(row.run->ID);
        return ids;
    }
    QStringList lines(int row, int column)
    {
        return list().index(row, column).data(IndividualTestHistoryView::LinesRole).toStringList();
    }
    static qint64 storedRuns() { return static_cast<qint64>(TestProfileExecutionDAO().getAllRecords().size()); }

    Hub hub;
    FNWMainWindowCoordinator coordinator{hub};
    FakeRunControl runControl;
    HistoryView history;
    std::vector<qint64> reruns;
    QStringList exports;

private:
    std::vector<FNWObserverToken> m_observers;
};

TEST_F(HistoryViewTest, ListsFinishedRunsNewestFirstWithOneLinePerTest)
{
    history.loadViewsDataFromDatabase();
    EXPECT_FALSE(list().isEditButtonEnabled()) << "an empty history has nothing to edit";
    list().editModeButtonDidClicked();
    EXPECT_FALSE(IndividualTestHistoryView::isEditing());

    const qint64 one = storeRun({StoredTest{}}, QStringLiteral("Nightly"));
    storeRun({StoredTest{.status = FNWExecutionStatusFailed}});
    const qint64 three =
        storeRun({StoredTest{}, StoredTest{.preset = QStringLiteral("Bulk"), .duration = -1, .megabytes = 100},
                  StoredTest{.status = FNWExecutionStatusFailed}});
    history.loadViewsDataFromDatabase();
    EXPECT_EQ(listedIDs(), (std::vector<qint64>{three, one})) << "a run in which no test finished is not listed";
    EXPECT_TRUE(list().isEditButtonEnabled());
    EXPECT_EQ(lines(0, IndividualTestHistoryView::Name), (QStringList{"127.0.0.2 - Bulk", "127.0.0.1 - Quick"}));
    EXPECT_EQ(lines(0, IndividualTestHistoryView::Duration), (QStringList{"100 MB", "10 s"}));
    EXPECT_EQ(lines(0, IndividualTestHistoryView::Run).value(1), QStringLiteral("Ad-hoc run"));
    EXPECT_EQ(list().index(1, IndividualTestHistoryView::Run).data(Qt::ToolTipRole).toString().section(u'\n', 1),
              QStringLiteral("Nightly"));
    EXPECT_EQ(IndividualTestHistoryView::rowHeight(3), 78.0);
    EXPECT_EQ(IndividualTestHistoryView::rowHeight(1), 30.0);
    EXPECT_EQ(IndividualTestHistoryView::rowHeight(0), 0.1);
    EXPECT_EQ(list().index(0, 0).data(Qt::SizeHintRole).toSize().height(), 52);
}

TEST_F(HistoryViewTest, ButtonsActOnTheRunTheUserChoseEvenWhenTheListChangedMeanwhile)
{
    qint64 firstProfile = 0;
    const qint64 first = storeRun({StoredTest{}}, QString(), &firstProfile);
    const qint64 second = storeRun({StoredTest{}});
    history.loadViewsDataFromDatabase();
    list().editModeButtonDidClicked();
    EXPECT_EQ(list().index(0, IndividualTestHistoryView::Actions).data(IndividualTestHistoryView::ButtonsRole).toInt(),
              int(IndividualTestHistoryView::DeleteButton));

    // A run ends while the confirmation is open: the list reloads with it first.
    duringAlert = [&] {
        storeRun({StoredTest{}});
        history.loadViewsDataFromDatabase();
    };
    list().deleteButtonDidClicked(second);
    duringAlert = nullptr;
    EXPECT_EQ(alerts.back().message, QStringLiteral("Are you sure you would like to delete this test execution?"));
    EXPECT_EQ(list().rowOfExecution(second), -1);
    EXPECT_NE(list().rowOfExecution(first), -1);
    EXPECT_EQ(storedRuns(), 2);

    list().editModeButtonDidClicked();
    list().reRunTest(first);
    EXPECT_EQ(reruns, std::vector<qint64>{firstProfile});
    answer = 0;
    list().reRunTest(first);
    list().deleteButtonDidClicked(first);
    EXPECT_EQ(reruns.size(), 1u);
    EXPECT_EQ(storedRuns(), 2);
}

TEST_F(HistoryViewTest, DeletingTheLastRunEndsEditModeAndARefusedDeleteKeepsTheRow)
{
    const qint64 run = storeRun({StoredTest{}});
    history.loadViewsDataFromDatabase();
    list().editModeButtonDidClicked();
    ASSERT_TRUE(fnw::test::executeSQL(QStringLiteral(
        "CREATE TRIGGER keep BEFORE DELETE ON test_profile_execution BEGIN SELECT RAISE(ABORT, 'kept'); END;")));
    list().deleteButtonDidClicked(run);
    EXPECT_EQ(list().rowCount(), 1) << "a run still stored stays listed";
    EXPECT_TRUE(IndividualTestHistoryView::isEditing());

    ASSERT_TRUE(fnw::test::executeSQL(QStringLiteral("DROP TRIGGER keep")));
    list().deleteButtonDidClicked(run);
    EXPECT_EQ(list().rowCount(), 0);
    EXPECT_FALSE(IndividualTestHistoryView::isEditing());
    EXPECT_FALSE(list().isEditButtonEnabled());
}

TEST_F(HistoryViewTest, DeleteAllWaitsForTheRunAndThenDeletesEveryStoredRun)
{
    storeRun({StoredTest{}});
    storeRun({StoredTest{.status = FNWExecutionStatusFailed}});
    storeRun({StoredTest{}, StoredTest{}});
    history.loadViewsDataFromDatabase();
    list().editModeButtonDidClicked();

    runControl.free = false;
    list().deleteAllIndividualtestButtondidclicked();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message,
              QStringLiteral("Cannot delete all results in History because a test is currently in progress."));
    EXPECT_EQ(alerts[0].buttons, QStringList{QStringLiteral("Ok")});
    EXPECT_EQ(storedRuns(), 3);

    runControl.free = true;
    list().deleteAllIndividualtestButtondidclicked();
    EXPECT_EQ(alerts.back().message, QStringLiteral("Are you sure you would like to delete all test results?"));
    EXPECT_EQ(storedRuns(), 0) << "runs in which every test failed go too";
    EXPECT_EQ(list().rowCount(), 0);
    EXPECT_FALSE(IndividualTestHistoryView::isEditing());
}

TEST_F(HistoryViewTest, TheResultsPageSwitchesTablesGoesBackAndRerunsFromThere)
{
    qint64 profile = 0;
    storeRun({StoredTest{.results = 3}, StoredTest{.results = 20}}, QString(), &profile);
    history.loadViewsDataFromDatabase();
    list().didClickonTableRow(-1);
    EXPECT_EQ(history.page(), HistoryView::Page::Home);
    list().didClickonTableRow(0);
    ASSERT_EQ(history.page(), HistoryView::Page::Results);
    EXPECT_EQ(results().visibleContent(), Content::DetailTable);
    EXPECT_EQ(results().tableButtonTag(), 1);

    // The detail table: the final totals row first, the intervals from the last; 15 inner rows at least.
    ProfileResultsDetailedListView& details = *results().profileResultsDetailedListView();
    ASSERT_EQ(details.rowCount(), 2);
    EXPECT_EQ(details.innerRowCount(0), 20);
    EXPECT_EQ(details.innerRowCount(1), 15);
    EXPECT_EQ(details.innerText(1, ProfileResultsDetailedListView::Interval, 0), QStringLiteral("2.00-3.00 s"));
    EXPECT_EQ(details.innerText(1, ProfileResultsDetailedListView::Interval, 2), QStringLiteral("0.00-1.00 s"));
    EXPECT_EQ(details.innerText(1, ProfileResultsDetailedListView::Interval, 3), QString());
    EXPECT_EQ(details.innerText(1, ProfileResultsDetailedListView::Settings, 14), QStringLiteral("10s (2s)"));
    EXPECT_EQ(details.index(0, 0).data(Qt::SizeHintRole).toSize().height(), 500);
    EXPECT_EQ(details.index(1, 0).data(Qt::SizeHintRole).toSize().height(), 355);

    // Graph, then Details: the table as it was; Graph twice does nothing.
    results().graphButtonDidPressed();
    EXPECT_EQ(results().visibleContent(), Content::Graph);
    EXPECT_EQ(results().graphButtonTag(), 1);
    results().graphButtonDidPressed();
    EXPECT_EQ(results().previousVisibleContent(), Content::DetailTable);
    results().emailTestButtonDidCliked();
    results().detailsButtonDidPressed();
    EXPECT_EQ(results().visibleContent(), Content::DetailTable);

    // The summary lists the shown run; a row leads to the details, and Back returns to it.
    results().summaryButtonDidPressed();
    EXPECT_EQ(results().profileResultsSummaryView()->rowCount(), 2);
    results().emailTestButtonDidCliked();
    EXPECT_EQ(exports, (QStringList{key(exportIntervalResultsNotification),
                                    key(exportSummeryViewIndividualSummeryResultsNotification)}));
    results().profileResultsSummaryView()->didClickonTableRow(1);
    EXPECT_EQ(results().visibleContent(), Content::DetailTable);
    EXPECT_TRUE(results().showingDetailedListViewForManagedTestProfile());
    results().backButtonDidPressed();
    EXPECT_EQ(results().visibleContent(), Content::SummaryTable);
    EXPECT_EQ(history.page(), HistoryView::Page::Results);
    results().backButtonDidPressed();
    EXPECT_EQ(history.page(), HistoryView::Page::Home);

    // A rerun from the details reached through the summary goes back to the list first.
    list().didClickonTableRow(0);
    results().summaryButtonDidPressed();
    results().profileResultsSummaryView()->didClickonTableRow(0);
    results().reRunTestButton();
    EXPECT_EQ(history.page(), HistoryView::Page::Home) << "two Backs, from the details through the summary";
    EXPECT_TRUE(reruns.empty()) << "posted a moment later";
    ASSERT_TRUE(waitUntil([&] { return !reruns.empty(); }));
    EXPECT_EQ(reruns, std::vector<qint64>{profile});
}

TEST_F(HistoryViewTest, ARerunStartsOnlyAStoredProfileWithTestsWhileNothingRuns)
{
    auto manager = std::make_shared<TestManager>();
    manager->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });
    history.setTestManager(manager);
    EXPECT_FALSE(history.startProfileExecutionForProifleID(4242));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message,
              QStringLiteral("Unable to start test as corresponding test profile details are not found."));

    TestQueueBean empty;
    ASSERT_TRUE(empty.save());
    EXPECT_FALSE(history.startProfileExecutionForProifleID(empty.ID));
    EXPECT_EQ(alerts.size(), 2u);

    // A profile whose agent cannot be reached fails at once; no process starts.
    qint64 profile = 0;
    storeRun({StoredTest{}}, QString(), &profile);
    ASSERT_TRUE(fnw::test::executeSQL(QStringLiteral("update agents set ip_address = 'nowhere'")));
    EXPECT_TRUE(history.startProfileExecutionForProifleID(profile));
    EXPECT_FALSE(history.startProfileExecutionForProifleID(profile)) << "refused while the first one runs";
    EXPECT_EQ(alerts.back().message, QStringLiteral("Test In Progress"));
    ASSERT_TRUE(waitUntil([&] { return manager->isFreeToUse(); }));
}

TEST_F(HistoryViewTest, TheListArrivesFromAnotherThreadNewestScreenFirst)
{
    for (int run = 0; run < HistoryView::kFirstScreenRuns + 5; ++run)
        storeRun({StoredTest{.results = 1}});
    history.setLoadsInBackground(true);
    history.loadViewsDataFromDatabase();
    EXPECT_TRUE(history.isLoading());
    EXPECT_EQ(list().rowCount(), 0) << "nothing is read on the calling thread";
    ASSERT_TRUE(waitUntil([&] { return !history.isLoading(); }));
    EXPECT_EQ(list().rowCount(), HistoryView::kFirstScreenRuns + 5);

    // Opening a run reads its results off the thread too.
    list().didClickonTableRow(0);
    EXPECT_TRUE(results().profileResultsDetailedListView()->isLoading());
    ASSERT_TRUE(waitUntil([&] { return !results().profileResultsDetailedListView()->isLoading(); }));
    EXPECT_EQ(results().profileResultsDetailedListView()->resultCount(0), 1);
}

} // namespace
