#include "app/FNWMainWindowCoordinator.h"
#include "base/FNWEnums.h"
#include "base/FNWNotifications.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "db/FNWBaseModel.h"
#include "db/TestExecutionDAO.h"
#include "db/TestProfileExecutionDAO.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"

#include "FNWTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using fnw::test::waitUntil;

namespace {

QString name(const char* text)
{
    return QString::fromLatin1(text);
}

struct Alert
{
    QString message;
    QString information;
    FNWAlertStyle style;
};

class RecordingInteraction final : public FNWUserInteraction
{
public:
    QString presentSavePanelForPath(const QString& proposedName) override
    {
        proposedNames << proposedName;
        return chosenPath;
    }
    void showOkAlert(const QString& message, const QString& info, FNWAlertStyle style) override
    {
        alerts.push_back({message, info, style});
    }
    QString chosenPath;
    QStringList proposedNames;
    std::vector<Alert> alerts;
};

class FakeRunControl final : public FNWTestRunControl
{
public:
    bool isFreeToUse() const override { return free; }
    void stopProfileExecution() override { ++stops; }
    bool free = true;
    int stops = 0;
};

// Each page counts its calls; a start answers as told.
class FakeHome final : public FNWHomePage
{
public:
    void prepareView() override { ++prepared; }
    bool startStopButtonDidClicked() override
    {
        ++starts;
        if (duringStart)
            duringStart();
        return startSucceeds;
    }
    void setIsCreateNewMyTestProfile(bool isCreateNew) override { composingNewProfile = isCreateNew; }
    std::function<void()> duringStart;
    bool startSucceeds = true, composingNewProfile = true;
    int starts = 0, prepared = 0;
};

class FakeMyTests final : public FNWMyTestsPage
{
public:
    bool startProfileExecutionButtonDidPressed() override { return ++starts > 0; }
    int starts = 0;
};

class FakeHistory final : public FNWHistoryPage
{
public:
    void prepareView() override { ++prepared; }
    void loadViewsDataFromDatabase() override { ++reloads; }
    bool startProfileExecutionForProifleID(std::int64_t profileID) override
    {
        reruns.push_back(profileID);
        return rerunStarts;
    }
    bool rerunStarts = true;
    int prepared = 0, reloads = 0;
    std::vector<std::int64_t> reruns;
};

class FNWMainWindowCoordinatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        coordinator.setTestRunControl(&runControl);
        coordinator.setHomePage(&home);
        coordinator.setMyTestsPage(&myTests);
        coordinator.setHistoryPage(&history);
        coordinator.awakeFromNib();
    }

    static void post(const char* notification, const QVariantMap& userInfo = {})
    {
        FNWNotificationCenter::defaultCenter().postNotificationName(name(notification), nullptr, userInfo);
    }

    RecordingInteraction interaction;
    FakeRunControl runControl;
    FakeHome home;
    FakeMyTests myTests;
    FakeHistory history;
    FNWMainWindowCoordinator coordinator{interaction};
};

TEST_F(FNWMainWindowCoordinatorTest, TabsPrepareTheirPagesTabThreeIsIgnoredAndOnlyTheHomeTabShowsTheControlAfterARun)
{
    int closeRequests = 0;
    QObject::connect(&coordinator, &FNWMainWindowCoordinator::closeCreateTestWindowRequested, [&] { ++closeRequests; });
    std::vector<std::pair<int, int>> changes;
    QObject::connect(&coordinator, &FNWMainWindowCoordinator::visibleViewChanged,
                     [&](int tab, int previous) { changes.emplace_back(tab, previous); });

    coordinator.topNativationViewButtonDidClicked(2);
    EXPECT_EQ(history.prepared, 1);
    // Coming to the history reads the runs afresh (another program may have added some); staying
    // on it does not.
    EXPECT_EQ(history.reloads, 1);
    coordinator.topNativationViewButtonDidClicked(2);
    EXPECT_EQ(history.reloads, 1);
    coordinator.topNativationViewButtonDidClicked(0);
    EXPECT_EQ(closeRequests, 1);
    EXPECT_EQ(home.prepared, 1);
    EXPECT_FALSE(home.composingNewProfile);

    fnw::test::LogCapture log;
    coordinator.topNativationViewButtonDidClicked(3);
    coordinator.topNativationViewButtonDidClicked(7);
    EXPECT_EQ(coordinator.visibleView(), 0);
    EXPECT_TRUE(log.messages().contains(QStringLiteral("Ideally for now should not be here..")));
    EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{2, 0}, {2, 2}, {0, 2}}));

    // Ending a run shows the control on the home tab only.
    FNWUtils::setUserSetting(false, name(kStartStopButtonVisibilityKey));
    ASSERT_TRUE(waitUntil([&] { return !coordinator.isStartStopVisible(); }));
    coordinator.topNativationViewButtonDidClicked(2);
    coordinator.testDidFinished();
    EXPECT_FALSE(coordinator.isStartStopVisible());
    coordinator.topNativationViewButtonDidClicked(0);
    coordinator.testDidFinished();
    EXPECT_TRUE(coordinator.isStartStopVisible());
}

TEST_F(FNWMainWindowCoordinatorTest, StartStopAlternatesAndAStartThatCannotRunAlerts)
{
    coordinator.startStopButtonDidClicked();
    EXPECT_EQ(home.starts, 1);
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStop);
    EXPECT_TRUE(coordinator.isIndicatorRunning());
    // Stopping needs no end notification to restore the start look.
    coordinator.startStopButtonDidClicked();
    EXPECT_EQ(runControl.stops, 1);
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStart);
    EXPECT_FALSE(coordinator.isIndicatorRunning());
    EXPECT_TRUE(interaction.alerts.empty());
    // The warning line says what the stop did.
    EXPECT_EQ(coordinator.warningText(),
              QStringLiteral("Tests stopped: the results of the tests that were running were not kept."));

    home.startSucceeds = false;
    fnw::test::LogCapture log;
    coordinator.startStopButtonDidClicked();
    ASSERT_EQ(interaction.alerts.size(), 1u);
    EXPECT_EQ(interaction.alerts[0].message, QStringLiteral("Error Running Test"));
    EXPECT_EQ(interaction.alerts[0].information, QStringLiteral("Please make sure there are test in queue to run."));
    EXPECT_EQ(interaction.alerts[0].style, FNWAlertStyle::Warning);
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStart);
    EXPECT_FALSE(coordinator.isIndicatorRunning());
    EXPECT_EQ(coordinator.lastExecutedTestFrom(), 0); // set whether or not the start succeeded
    EXPECT_TRUE(log.messages().contains(
        QStringLiteral("MainWindow: Can't start test, may be there are no test in queue to run...")));

    // A run in progress refuses quietly.
    runControl.free = false;
    coordinator.startStopButtonDidClicked();
    EXPECT_EQ(home.starts, 2);
    EXPECT_EQ(interaction.alerts.size(), 1u);
    EXPECT_TRUE(log.messages().contains(QStringLiteral("MainWindow: can't start test as alreay in progress")));
}

TEST_F(FNWMainWindowCoordinatorTest, ChangesALockedDatabaseRefusedAreAlertedOnceTheActionReturns)
{
    // The queue could not be recorded: two refused writes, one alert that says why, shown after
    // the start returned, and not the empty-queue alert.
    home.startSucceeds = false;
    home.duringStart = [] {
        for (int i = 0; i < 2; ++i)
            post(FNWDatabaseWriteFailedNotification, {{QStringLiteral("path"), QStringLiteral("/data/fnwe.db")}});
    };
    coordinator.startStopButtonDidClicked();
    EXPECT_TRUE(interaction.alerts.empty());
    ASSERT_TRUE(waitUntil([this] { return !interaction.alerts.empty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(interaction.alerts.size(), 1u);
    EXPECT_EQ(interaction.alerts[0].message, QStringLiteral("Your Change Was Not Saved"));
    EXPECT_TRUE(interaction.alerts[0].information.contains(QStringLiteral("(/data/fnwe.db)")));
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStart);

    // Kept results: a word on the warning line, and the history reloads once they are written.
    post(FNWDatabaseWritesWaitingNotification);
    ASSERT_TRUE(waitUntil([this] { return coordinator.warningText().contains(QStringLiteral("saves them")); }));
    const int reloads = history.reloads;
    post(FNWDatabaseWritesSavedNotification);
    ASSERT_TRUE(waitUntil([&] { return history.reloads == reloads + 1; }));
}

TEST_F(FNWMainWindowCoordinatorTest, TheHistoryTabRepeatsTheLastStart)
{
    coordinator.topNativationViewButtonDidClicked(2);
    coordinator.startStopButtonDidClicked();
    ASSERT_EQ(interaction.alerts.size(), 1u); // nothing was started before
    EXPECT_EQ(home.starts, 0);

    coordinator.topNativationViewButtonDidClicked(1);
    coordinator.startStopButtonDidClicked(); // My Tests
    coordinator.startStopButtonDidClicked(); // stop
    coordinator.topNativationViewButtonDidClicked(2);
    coordinator.startStopButtonDidClicked();
    EXPECT_EQ(myTests.starts, 2);
    EXPECT_EQ(home.starts, 0);
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStop);
    EXPECT_EQ(interaction.alerts.size(), 1u);
}

TEST_F(FNWMainWindowCoordinatorTest, EndNotificationsFromARunThreadReachTheWindowThread)
{
    coordinator.startStopButtonDidClicked();
    fnw::test::LogCapture log;
    std::thread([] { post(AllTestProfileExecutionDidFinishedNotification); }).join();
    ASSERT_TRUE(waitUntil([&] { return history.reloads == 1; }));
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStop);

    // A failed end resets the control but keeps the tab.
    std::thread([] { post(TestProfileExecutionDidFailedNotification); }).join();
    ASSERT_TRUE(waitUntil([&] { return history.reloads == 2; }));
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStart);
    EXPECT_EQ(coordinator.visibleView(), 0);

    // A finished end shows the history.
    coordinator.startStopButtonDidClicked();
    std::thread([] { post(TestProfileExecutionDidFinishedNotification); }).join();
    ASSERT_TRUE(waitUntil([&] { return history.reloads == 3; }));
    EXPECT_EQ(coordinator.visibleView(), 2);
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStart);
    EXPECT_TRUE(log.messages().contains(
        QStringLiteral("FNWMainWindow: recieved notification that all TestProfile executions are finished...")));
}

TEST_F(FNWMainWindowCoordinatorTest, WarningsReplaceEachOtherAndClearAfterTheLast)
{
    coordinator.setWarningClearInterval(400);
    post(ShowWarningOnMainWindowNotification, {{name(kErrorKey), QStringLiteral("refused (10.0.0.5)")}});
    EXPECT_EQ(coordinator.warningText(), QStringLiteral("refused (10.0.0.5)"));
    EXPECT_FALSE(coordinator.warningColor().isValid()); // the window's red

    QElapsedTimer sinceFirst;
    sinceFirst.start();
    waitUntil([&] { return sinceFirst.elapsed() >= 250; });
    post(ShowWarningOnMainWindowNotification,
         {{name(kErrorKey), QStringLiteral("Preset saved")}, {name(kTextColorKey), QStringLiteral("green")}});
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    EXPECT_EQ(coordinator.warningText(), QStringLiteral("Preset saved"));
    EXPECT_EQ(coordinator.warningColor(), QVariant(QStringLiteral("green")));

    // An empty message changes nothing.
    post(ShowWarningOnMainWindowNotification, {{name(kErrorKey), QString()}});
    EXPECT_EQ(coordinator.warningText(), QStringLiteral("Preset saved"));

    ASSERT_TRUE(waitUntil([&] { return coordinator.warningText().isEmpty(); }));
    EXPECT_GE(sinceSecond.elapsed(), 300); // not 150 ms after the second, as the first would give
}

TEST_F(FNWMainWindowCoordinatorTest, RerunStartsTheSavedProfileOrReturnsToTheStartLook)
{
    post(RerunTestProfileNotification, {{name(kTestProfileIdKey), QStringLiteral("42")}});
    EXPECT_EQ(history.reruns, std::vector<std::int64_t>{42});
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStop);
    EXPECT_TRUE(coordinator.isIndicatorRunning());

    // A rerun that starts nothing (no such profile, or no history view yet) does not spin.
    coordinator.testDidFinished();
    history.rerunStarts = false;
    post(RerunTestProfileNotification, {{name(kTestProfileIdKey), QStringLiteral("7")}});
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStart);
    EXPECT_FALSE(coordinator.isIndicatorRunning());

    // While a run goes, a rerun is refused and the stop control stays.
    history.rerunStarts = true;
    coordinator.testDidStarted();
    runControl.free = false;
    post(RerunTestProfileNotification, {{name(kTestProfileIdKey), QStringLiteral("8")}});
    EXPECT_EQ(history.reruns, (std::vector<std::int64_t>{42, 7}));
    EXPECT_EQ(coordinator.startStopTag(), FNWMainWindowCoordinator::OffersStop);
    ASSERT_EQ(interaction.alerts.size(), 1u);
    EXPECT_EQ(interaction.alerts[0].message, QStringLiteral("Test In Progress"));
}

// Deletions and exports on a real, freshly migrated database.
class FNWMainWindowStoredRunsTest : public FNWMainWindowCoordinatorTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fnw::test::useFreshDatabase());
        FNWMainWindowCoordinatorTest::SetUp();
        m_deletions = FNWNotificationCenter::defaultCenter().addObserver(
            name(didDeleteSingleTestProfileNotification), [this](const FNWNotification& notification) {
                deleted << notification.userInfo.value(name(kTestProfileExecutionIdKey)).toString();
            });
    }
    void TearDown() override { FNWBaseModel::resetSharedQueueForTesting(); }

    // A profile run with one finished and one failed test, each with two interval results.
    static std::shared_ptr<TestProfileExecutionBean> saveRun(const QString& profileName, const QString& ssid = {})
    {
        auto run = std::make_shared<TestProfileExecutionBean>();
        run->profile_name = profileName;
        run->execution_date = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        run->save();
        for (const qint64 status : {FNWExecutionStatusFinished, FNWExecutionStatusFailed}) {
            TestExecutionBean execution;
            execution.test_profile_execution_id = run->ID;
            execution.setExecutionStatus(status);
            execution.setAverageSpeed(12345678);
            execution.setDataTransfered(1048576);
            execution.ssid = ssid;
            execution.save();
            for (const float speed : {1000.0f, 2000.0f}) {
                TestIntervalResults result;
                result.execution_id = execution.ID;
                result.start_time = QStringLiteral("0.00");
                result.end_time = QStringLiteral("1.00");
                result.speed = speed;
                result.save();
            }
        }
        return run;
    }

    static qint64 count(const QString& table, const QString& where = {})
    {
        const QString sql = QStringLiteral("select count(*) as n from ") + table + where;
        return TestExecutionDAO().getRecordsWithSQLQuery(sql).value(0).value(QStringLiteral("n")).toLongLong();
    }

    static QVariantMap idInfo(qint64 id) { return {{name(kTestProfileExecutionIdKey), QString::number(id)}}; }

    QString exportPath(const QString& file) { return QDir(m_folder.path()).filePath(file); }
    bool nothingExported() const { return QDir(m_folder.path()).isEmpty(); }

    QStringList deleted; // the runs announced as deleted, in order

private:
    QTemporaryDir m_folder;
    FNWObserverToken m_deletions;
};

// An unknown run is skipped and a run the database refuses to delete stays whole and unannounced.
TEST_F(FNWMainWindowStoredRunsTest, DeletingRunsRemovesTheirTestsAndResultsAndTellsEachDeletedInOrder)
{
    std::vector<qint64> runs;
    for (int i = 0; i < 5; ++i)
        runs.push_back(saveRun(QString())->ID);
    ASSERT_TRUE(fnw::test::executeSQL(
        QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON test_profile_execution WHEN old.id = %1 "
                       "BEGIN SELECT RAISE(ABORT, 'kept'); END;")
            .arg(runs[4])));
    QVariantList ids;
    for (const qint64 id : {runs[2], qint64(9999), runs[4], runs[0], runs[1]})
        ids << idInfo(id);
    fnw::test::LogCapture log;
    post(DeleteOneTestProfileNotification, {{name(kIdsToDeleteKey), ids}});

    EXPECT_EQ(deleted, (QStringList{QString::number(runs[2]), QString::number(runs[0]), QString::number(runs[1])}));
    EXPECT_EQ(log.messages().filter(QStringLiteral("could not delete test profile execution")).size(), 1);
    EXPECT_EQ(count(QStringLiteral("test_profile_execution")), 2);
    // Failed tests go too, and every result of them; the remaining runs keep all of their own.
    EXPECT_EQ(count(QStringLiteral("test_execution_details")), 4);
    EXPECT_EQ(count(QStringLiteral("test_execution_details"),
                    QStringLiteral(" where test_profile_execution_id in (%1, %2)").arg(runs[3]).arg(runs[4])),
              4);
    EXPECT_EQ(count(QStringLiteral("test_results")), 8);
}

TEST_F(FNWMainWindowStoredRunsTest, ExportsWriteTheRecordsDocumentsWhereTheUserChose)
{
    const auto adHoc = saveRun(QString());
    saveRun(QStringLiteral("Office survey"));

    interaction.chosenPath = exportPath(QStringLiteral("intervals.csv"));
    post(exportIntervalResultsNotification, idInfo(adHoc->ID));
    auto expected = TestProfileExecutionDAO().loadTestProfileExecutionWithID(adHoc->ID);
    EXPECT_EQ(fnw::test::readFile(interaction.chosenPath),
              (TestProfileExecutionBean::getIntervalResultHeader() + expected->getDetailedCSV()).toLatin1());

    interaction.chosenPath = exportPath(QStringLiteral("summary.csv"));
    post(exportSummeryViewIndividualSummeryResultsNotification, idInfo(adHoc->ID));
    expected->loadAllExecutedTest();
    const QString summary = TestProfileExecutionBean::getCSVSummeryHeader() +
                            TestProfileExecutionBean::getCSVSummeryResultsLinesFromTestProfileExecutions({expected});
    EXPECT_EQ(fnw::test::readFile(interaction.chosenPath), summary.toLatin1());

    // All summaries: the ad-hoc runs only, so here the same document.
    interaction.chosenPath = exportPath(QStringLiteral("details.csv"));
    post(exportIndividualSummeryResultsNotification);
    EXPECT_EQ(fnw::test::readFile(interaction.chosenPath), summary.toLatin1());

    // Default names carry the date as MM-dd-yy-HH-mm-ss.
    const QString names = interaction.proposedNames.join(u' ').replace(
        QRegularExpression(QStringLiteral("\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d")), QStringLiteral("<date>"));
    EXPECT_EQ(names, QStringLiteral("fnw_interval_results_<date>.csv fnw_result_summary_<date>.csv "
                                    "fnw_result_details_<date>.csv"));
    EXPECT_TRUE(interaction.alerts.empty());
}

TEST_F(FNWMainWindowStoredRunsTest, ExportEdgesCancelMissingRunsNonAsciiAndUnwritablePaths)
{
    // No ad-hoc run: no save panel at all.
    saveRun(QStringLiteral("Office survey"));
    fnw::test::LogCapture log;
    post(exportIndividualSummeryResultsNotification);
    EXPECT_TRUE(interaction.proposedNames.isEmpty());
    EXPECT_TRUE(log.messages().contains(
        QStringLiteral("FNWMainWindow: exportIndividualSummeryResultsNotificationDidReceived: tests are not found.")));

    // An unknown run and a cancelled panel write nothing.
    const auto run = saveRun(QString(), QStringLiteral("Café Wi-Fi"));
    post(exportIntervalResultsNotification, idInfo(9999));
    EXPECT_TRUE(interaction.proposedNames.isEmpty());
    interaction.chosenPath.clear();
    post(exportSummeryViewIndividualSummeryResultsNotification, idInfo(run->ID));
    EXPECT_EQ(interaction.proposedNames.size(), 1);
    EXPECT_TRUE(nothingExported());

    // A network name outside ASCII is written as UTF-8 rather than dropped.
    interaction.chosenPath = exportPath(QStringLiteral("cafe.csv"));
    post(exportSummeryViewIndividualSummeryResultsNotification, idInfo(run->ID));
    const QString text = QString::fromUtf8(fnw::test::readFile(interaction.chosenPath));
    EXPECT_TRUE(text.contains(QStringLiteral("Café Wi-Fi"))) << text.toStdString();

    // A path that cannot be written is logged and told.
    interaction.chosenPath = QStringLiteral("/nonexistent-folder/summary.csv");
    post(exportSummeryViewIndividualSummeryResultsNotification, idInfo(run->ID));
    EXPECT_TRUE(log.messages().contains(QStringLiteral(
        "FNWMainWindow:exportSummeryViewIndividualSummeryResultsNotificationDidReceived: csv file not saved at "
        "path-/nonexistent-folder/summary.csv")));
    ASSERT_EQ(interaction.alerts.size(), 1u);
    EXPECT_EQ(interaction.alerts[0].style, FNWAlertStyle::Critical);
    EXPECT_TRUE(interaction.alerts[0].information.contains(QLatin1String("/nonexistent-folder/summary.csv")));
}

} // namespace
