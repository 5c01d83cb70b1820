#include "app/FNWMainWindow.h"
#include "app/FNWMainWindowCoordinator.h"
#include "base/FNWEnums.h"
#include "base/FNWListRoles.h"
#include "compose/FNWCreateTestWindow.h"
#include "compose/FNWHomeView.h"
#include "compose/FNWMyTestsTab.h"
#include "compose/MyTestView.h"
#include "compose/QueueListView.h"
#include "compose/SaveTestProfileWindow.h"
#include "compose/TestProfilesListView.h"
#include "base/FNWUtils.h"
#include "db/TestQueueBeanDAO.h"
#include "engine/TestManager.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestQueueBean.h"
#include "results/FNWHistoryTab.h"
#include "results/FNWGraphRules.h"
#include "results/FNWResultsGraphView.h"
#include "results/HistoryView.h"
#include "results/ProfileResultsDetailedListView.h"
#include "results/IndividualTestHistoryView.h"
#include "ui/FNWAlert.h"
#include "ui/FNWListRowDelegate.h"
#include "ui/FNWPresetsTableView.h"
#include "ui/FNWSlideStackedWidget.h"
#include "ui/FNWStartStopButton.h"

#include "FNWEngineTestSupport.h"
#include "FNWListClicks.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace fnw::test;

namespace {

void storeAgent(const QString& address, int port)
{
    auto agent = std::make_shared<FNWAgentBean>();
    agent->ip_address = address;
    agent->port_number = port;
    agent->agent_name = address;
    agent->addedManually = true;
    agent->viewPosition = FNWAgentBean::getMaxViewPosition() + 1;
    QVERIFY(agent->save());
}

} // namespace

// The My Tests tab as a user meets it in the main window, against a real iperf3 server on
// loopback.
class FNWMyTestsGuiTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(useFreshDatabase());
        m_alerts.clear();
        FNWAlert::setTestResponder([this](const FNWAlertRequest& request) {
            m_alerts.append(request);
            // "Yes" where there is one.
            return int(request.buttons.size()) - 1;
        });
        auto preset = timedPreset(2);
        preset->name = QStringLiteral("Short");
        preset->viewPosition = 1;
        QVERIFY(preset->save());
        m_window = std::make_unique<FNWMainWindow>();
        m_home = new FNWHomeView;
        m_myTests = new FNWMyTestsTab;
        m_history = new FNWHistoryTab;
        m_window->setHomePage(m_home, m_home);
        m_window->setMyTestsPage(m_myTests, m_myTests);
        m_window->setHistoryPage(m_history, m_history);
        m_window->setTestRunControl(TestManager::sharedTestManager().get());
        TestManager::sharedTestManager()->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });
        m_window->prepareMainWindow();
        m_window->resize(1100, 700);
    }
    void cleanup()
    {
        m_window.reset();
        FNWAlert::setTestResponder({});
    }

    void aQueueSavedOnTheHomeTabIsUpdatedAndRunFromMyTests();
    void theNewTestWindowComposesAProfileWithTheHomeTabsLists();
    void megabyteNamesNeitherWidenTheWindowNorStallItsLists();

private:
    void showWindow()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_VERIFY(m_home->isSetUp());
    }
    void showTab(int tab) { m_window->coordinator()->topNativationViewButtonDidClicked(tab); }

    std::unique_ptr<FNWMainWindow> m_window;
    FNWHomeView* m_home = nullptr;
    FNWMyTestsTab* m_myTests = nullptr;
    FNWHistoryTab* m_history = nullptr;
    QList<FNWAlertRequest> m_alerts;
};

void FNWMyTestsGuiTest::aQueueSavedOnTheHomeTabIsUpdatedAndRunFromMyTests()
{
    QVERIFY(installWrappers());
    const int port = freePort();
    ServerProcess server(QStringLiteral("iperf3"), loopbackIperf3Arguments(port));
    QVERIFY(waitUntilListening(port, Transport::Tcp));
    storeAgent(QStringLiteral("127.0.0.1"), port);
    storeAgent(QStringLiteral("127.0.0.2"), freePort());
    showWindow();

    // Compose two tests and save them as "Survey": Enter saves.
    clickRow(m_home->presetsTable(), 0);
    clickRow(m_home->agentsTable(), 0);
    clickRow(m_home->agentsTable(), 1);
    QTest::mouseClick(m_home->saveQueueButton(), Qt::LeftButton);
    SaveTestProfileWindow* save = m_home->saveTestProfileWindow();
    QVERIFY(save && save->isVisible());
    QCOMPARE(save->queueListView()->rowCount(), 2);
    QTest::keyClick(save->nameField(), Qt::Key_Return);
    QCOMPARE(save->errorLabel()->text(), QStringLiteral("Test Profile Name is Required."));
    QTest::keyClicks(save->nameField(), QStringLiteral("Survey"));
    QTest::keyClick(save->nameField(), Qt::Key_Return);
    QTRY_VERIFY(!save->isVisible());
    QCOMPARE(m_window->warningLabel()->text(), QStringLiteral("Test Information Saved."));

    // My Tests lists it; a click shows its tests.
    showTab(FNWMainWindowCoordinator::MyTestsTab);
    QTRY_COMPARE(m_myTests->profilesTable()->model()->rowCount(), 1);
    QCOMPARE(m_myTests->profilesTable()->model()->index(0, 0).data().toString(), QStringLiteral("Survey"));
    clickRow(m_myTests->profilesTable(), 0);
    QCOMPARE(m_myTests->detailsTable()->model()->rowCount(), 2);

    // In edit mode a click opens the update window; Escape leaves everything as it was.
    QTest::mouseClick(m_myTests->editButton(), Qt::LeftButton);
    clickRow(m_myTests->profilesTable(), 0);
    SaveTestProfileWindow* update = m_myTests->updateWindow();
    QVERIFY(update && update->isVisible());
    QCOMPARE(update->nameField()->text(), QStringLiteral("Survey"));
    QTest::mouseClick(update->editButton(), Qt::LeftButton);
    clickControl(update->queueTable(), 1, &FNWListRowDelegate::deleteRect);
    QCOMPARE(update->queueListView()->rowCount(), 1);
    QTest::keyClick(update, Qt::Key_Escape);
    QVERIFY(!update->isVisible());
    QVERIFY(m_alerts.isEmpty());
    QCOMPARE(m_myTests->detailsTable()->model()->rowCount(), 2);

    // Again, removing the test towards the unreachable server and confirming.
    clickRow(m_myTests->profilesTable(), 0);
    QVERIFY(update->isVisible());
    QCOMPARE(update->queueListView()->rowCount(), 2);
    QTest::mouseClick(update->editButton(), Qt::LeftButton);
    clickControl(update->queueTable(), 1, &FNWListRowDelegate::deleteRect);
    QTest::mouseClick(update->saveButton(), Qt::LeftButton);
    QCOMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts[0].message, QStringLiteral("Are you sure to update test profile."));
    QVERIFY(!update->isVisible());
    QCOMPARE(m_window->warningLabel()->text(), QStringLiteral("Test Information Updated."));
    QCOMPARE(m_myTests->detailsTable()->model()->rowCount(), 1);

    // Run it: the details queue shows the outcome and History has the run first.
    QTest::mouseClick(m_myTests->editButton(), Qt::LeftButton);
    clickRow(m_myTests->profilesTable(), 0);
    QTRY_VERIFY(m_window->startStopButton()->isVisible());
    QTest::mouseClick(m_window->startStopButton(), Qt::LeftButton);
    QTRY_COMPARE(m_myTests->detailsTable()->model()->index(0, 0).data(FNWListRoles::ExecutionStatus).toInt(),
                 int(FNWExecutionStatusRunning));
    // While it runs the profile is neither updated nor deleted.
    QTest::mouseClick(m_myTests->editButton(), Qt::LeftButton);
    clickRow(m_myTests->profilesTable(), 0);
    clickControl(m_myTests->profilesTable(), 0, &FNWListRowDelegate::deleteRect);
    QCOMPARE(m_alerts.size(), 3);
    QCOMPARE(m_alerts[2].message, QStringLiteral("Please wait..."));
    QVERIFY(!update->isVisible());
    QCOMPARE(m_myTests->profilesTable()->model()->rowCount(), 1);
    QTest::mouseClick(m_myTests->editButton(), Qt::LeftButton);
    const std::shared_ptr<TestManager> manager = TestManager::sharedTestManager();
    QVERIFY(waitUntil([&] { return manager->isFreeToUse(); }, 60000));
    QTRY_COMPARE(m_myTests->detailsTable()->model()->index(0, 0).data(FNWListRoles::ExecutionStatus).toInt(),
                 int(FNWExecutionStatusFinished));
    QTRY_COMPARE(m_window->coordinator()->visibleView(), int(FNWMainWindowCoordinator::HistoryTab));
    IndividualTestHistoryView* runs = m_history->historyView()->individualResultsView();
    QTRY_COMPARE(runs->rowCount(), 1);
    QCOMPARE(runs->index(0, IndividualTestHistoryView::Name).data().toString(), QStringLiteral("127.0.0.1 - Short"));
    QCOMPARE(m_alerts.size(), 3);
}

void FNWMyTestsGuiTest::theNewTestWindowComposesAProfileWithTheHomeTabsLists()
{
    storeAgent(QStringLiteral("127.0.0.1"), 5201);
    showWindow();
    showTab(FNWMainWindowCoordinator::MyTestsTab);
    QTest::mouseClick(m_myTests->addButton(), Qt::LeftButton);
    FNWCreateTestWindow* create = nullptr;
    QTRY_VERIFY((create = m_window->findChild<FNWCreateTestWindow*>()) && create->isVisible());
    QCOMPARE(create->content(), static_cast<QWidget*>(m_home));
    QVERIFY(!m_home->saveQueueButton()->isVisible());

    // No name: a small error window that goes by itself.
    QTest::mouseClick(create->saveButton(), Qt::LeftButton);
    QVERIFY(create->transientError());
    QCOMPARE(create->transientError()->findChild<QLabel*>(QStringLiteral("transientErrorText"))->text(),
             QStringLiteral("Please provide your test name."));
    QTRY_VERIFY_WITH_TIMEOUT(!create->transientError(), 8000);

    clickRow(m_home->presetsTable(), 0);
    clickRow(m_home->agentsTable(), 0);
    QTest::keyClicks(create->nameField(), QStringLiteral("From scratch"));
    QTest::keyClick(create->nameField(), Qt::Key_Return);
    QTRY_VERIFY(!create->isVisible());
    QTRY_COMPARE(m_myTests->profilesTable()->model()->rowCount(), 1);
    QCOMPARE(m_myTests->profilesTable()->model()->index(0, 0).data().toString(), QStringLiteral("From scratch"));

    // The composition is back on the Home tab, with its save button.
    QCOMPARE(m_window->pageWidget(FNWMainWindowCoordinator::HomeTab), static_cast<QWidget*>(m_home));
    showTab(FNWMainWindowCoordinator::HomeTab);
    QTRY_VERIFY(m_home->saveQueueButton()->isVisible());
    QVERIFY(m_alerts.isEmpty());
}

void FNWMyTestsGuiTest::megabyteNamesNeitherWidenTheWindowNorStallItsLists()
{
    // A megabyte in every name, as a damaged or hostile database may hold: written behind the
    // window's back, then met in each tab and in a real run.
    const QString big = QStringLiteral("Conference room 4 ").repeated(58255);
    QVERIFY(installWrappers());
    const int port = freePort();
    ServerProcess server(QStringLiteral("iperf3"), loopbackIperf3Arguments(port));
    QVERIFY(waitUntilListening(port, Transport::Tcp));
    storeAgent(QStringLiteral("127.0.0.1"), port);
    auto profile = std::make_shared<TestQueueBean>();
    profile->testProfileName = QStringLiteral("Q ") + big;
    auto test = makeTest(timedPreset(2), QStringLiteral("127.0.0.1"), port);
    test->testName = QStringLiteral("T ") + big;
    test->preset()->isAttachedToQueue = true;
    test->agent()->isAttachedToQueue = true;
    profile->testList.push_back(test);
    QVERIFY(profile->save());
    QVERIFY(executeSQL(QStringLiteral("UPDATE presets SET name = 'P %1'").arg(big)));
    QVERIFY(executeSQL(QStringLiteral("UPDATE agents SET agent_name = 'A %1'").arg(big)));

    showWindow();
    const int width = m_window->width();
    // Each view drawn in full, and no label asks for more room than a screen has.
    const auto keepsItsSize = [&] {
        m_window->grab();
        return m_window->width() <= width && m_window->minimumSizeHint().width() < 1500;
    };
    QVERIFY(keepsItsSize());
    const auto capped = [](const QString& text) { return text.size() <= FNWUtils::kShownTextLimit + 1; };

    clickRow(m_home->presetsTable(), 0);
    clickRow(m_home->agentsTable(), 0);
    QCOMPARE(m_home->queueListView()->rowCount(), 1);
    QVERIFY(capped(m_home->queueListView()->index(0, 0).data(Qt::ToolTipRole).toString()));
    QVERIFY(keepsItsSize());
    QTRY_VERIFY(m_window->startStopButton()->isVisible());
    QTest::mouseClick(m_window->startStopButton(), Qt::LeftButton);
    const std::shared_ptr<TestManager> manager = TestManager::sharedTestManager();
    QVERIFY(waitUntil([&] { return manager->isFreeToUse(); }, 60000));

    // History: the list, the run's details and its graph.
    showTab(FNWMainWindowCoordinator::HistoryTab);
    IndividualTestHistoryView* runs = m_history->historyView()->individualResultsView();
    QTRY_COMPARE(runs->rowCount(), 1);
    const QString shown = runs->index(0, IndividualTestHistoryView::Name).data().toString();
    QVERIFY2(shown.startsWith(QStringLiteral("127.0.0.1 - P Conference")), qPrintable(shown.left(80)));
    QVERIFY(keepsItsSize());
    runs->didClickonTableRow(0);
    ProfileResultsNavigationBaseView* results = m_history->historyView()->resultsNavigationBaseView();
    QTRY_VERIFY(!results->profileResultsDetailedListView()->isLoading());
    QVERIFY(keepsItsSize());
    QTest::mouseClick(m_history->graphButton(), Qt::LeftButton);
    QTRY_VERIFY(!m_history->pages()->isAnimating());
    FNWResultsGraphView* graph = m_history->graphView();
    QTRY_VERIFY(graph->isVisible() && !graph->graphicsEffect());
    for (const QString& text : graph->legendTexts(0))
        QVERIFY(capped(text));
    // Each value of the legend keeps room to be read.
    for (const QLabel* label : graph->findChildren<QLabel*>())
        if (label->isVisibleTo(graph) && !label->text().isEmpty())
            QVERIFY2(label->width() > 0, qPrintable(label->text().left(40)));
    QVERIFY(keepsItsSize());

    // My Tests: the stored profile and its test.
    showTab(FNWMainWindowCoordinator::MyTestsTab);
    QTRY_COMPARE(m_myTests->profilesTable()->model()->rowCount(), 1);
    QVERIFY(capped(m_myTests->profilesTable()->model()->index(0, 0).data(Qt::ToolTipRole).toString()));
    clickRow(m_myTests->profilesTable(), 0);
    QCOMPARE(m_myTests->detailsTable()->model()->rowCount(), 1);
    QVERIFY(keepsItsSize());
    // The names themselves are kept whole.
    QCOMPARE(TestQueueBeanDAO().getAllNamedProfiles().at(0)->testProfileName, profile->testProfileName);
}

int main(int argc, char** argv)
{
    const auto home = usePrivateHome();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    FNWMyTestsGuiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FNWMyTestsGuiTest.moc"
