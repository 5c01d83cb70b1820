#include "app/FNWMainWindow.h"
#include "app/FNWMainWindowCoordinator.h"
#include "app/FNWPreferencesWindow.h"
#include "base/FNWEnums.h"
#include "base/FNWListRoles.h"
#include "compose/FNWCreatePresetWindow.h"
#include "compose/FNWHomeView.h"
#include "compose/PresetsListView.h"
#include "compose/QueueListView.h"
#include "db/DBUtils.h"
#include "db/FNWPresetDAO.h"
#include "db/TestExecutionDAO.h"
#include "engine/TestManager.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "targets/AgentsListView.h"
#include "targets/FNWCreateAgentWindow.h"
#include "ui/FNWAlert.h"
#include "ui/FNWDropAreas.h"
#include "ui/FNWListRowDelegate.h"
#include "ui/FNWPresetsTableView.h"
#include "ui/FNWStartStopButton.h"

#include "FNWEngineTestSupport.h"
#include "FNWListClicks.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace fnw::test;

namespace {

std::shared_ptr<FNWAgentBean> storeAgent(const QString& name, int port,
                                         const QString& address = QStringLiteral("127.0.0.1"))
{
    auto agent = std::make_shared<FNWAgentBean>();
    agent->ip_address = address;
    agent->port_number = port;
    agent->agent_name = name;
    agent->addedManually = true;
    agent->viewPosition = FNWAgentBean::getMaxViewPosition() + 1;
    agent->save();
    return agent;
}

// The home tab in the main window, on screen and set up, running tests through the manager (with
// no Wi-Fi details to read); none when the window does not show.
FNWHomeView* showHomeIn(FNWMainWindow& window, const std::shared_ptr<TestManager>& manager)
{
    manager->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });
    auto* home = new FNWHomeView;
    window.setHomePage(home, home);
    window.setTestRunControl(manager.get());
    window.prepareMainWindow();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !waitUntil([home] { return home->isSetUp(); }))
        return nullptr;
    return home;
}

int status(const FNWHomeView& home, int row)
{
    return home.queueListView()->index(row).data(FNWListRoles::ExecutionStatus).toInt();
}

} // namespace

class FNWHomeViewGuiTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(useFreshDatabase());
        m_alerts.clear();
        m_answer = -1;
        FNWAlert::setTestResponder([this](const FNWAlertRequest& request) {
            m_alerts.append(request);
            return m_answer >= 0 ? m_answer : request.cancelButton;
        });
    }
    void cleanup() { FNWAlert::setTestResponder({}); }

    void aUserComposesTheQueueFromPresetsAndAgents();
    void anAdHocRunShowsEachTestsStateAndItsFailure();
    void theKeyboardReachesEveryListAndTheTestMenuAndALockedDatabaseSavesNothing();

private:
    QList<FNWAlertRequest> m_alerts;
    // The button alerts choose; below 0, their cancel button.
    int m_answer = -1;
};

void FNWHomeViewGuiTest::aUserComposesTheQueueFromPresetsAndAgents()
{
    storeAgent(QStringLiteral("Lab"), 5201);
    storeAgent(QStringLiteral("Hall"), 5201, QStringLiteral("127.0.0.2"));
    for (const char* name : {"Spare", "Extra"}) {
        auto preset = std::make_shared<FNWPresetBean>();
        preset->name = QString::fromLatin1(name);
        preset->viewPosition = FNWPresetDAO().getAllAttachedPresets(false).size() + 1;
        QVERIFY(preset->save());
    }
    FNWHomeView home;
    home.resize(1000, 500);
    home.show();
    QVERIFY(QTest::qWaitForWindowExposed(&home));
    home.setUpViews();

    // A new preset through its editor.
    QTest::mouseClick(home.addPresetButton(), Qt::LeftButton);
    QVERIFY(home.presetEditor() && home.presetEditor()->isVisible());
    QTest::keyClicks(home.presetEditor()->findChild<QLineEdit*>(QStringLiteral("presetName")),
                     QStringLiteral("Survey"));
    QTest::mouseClick(home.presetEditor()->findChild<QPushButton*>(QStringLiteral("saveButton")), Qt::LeftButton);
    QTRY_VERIFY(!home.presetEditor()->isVisible());
    QCOMPARE(home.presetListView()->rowCount(), 3);
    QCOMPARE(home.presetListView()->index(2).data().toString(), QStringLiteral("Survey"));

    // In edit mode Ctrl+click and Shift+arrows pick rows without opening the editor, and Delete
    // takes exactly the rows picked (not the one under the focus ring), after asking; each goes
    // with its queued test.
    for (int row : {0, 1}) {
        clickRow(home.presetsTable(), row);
        clickRow(home.agentsTable(), 1);
    }
    QCOMPARE(home.queueListView()->rowCount(), 2);
    QTest::mouseClick(home.presetsEditButton(), Qt::LeftButton);
    QVERIFY(home.presetListView()->isEditing());
    const auto ctrlClick = [&](int row) {
        const QRect rect = home.presetsTable()->visualRect(home.presetListView()->index(row));
        QTest::mouseClick(home.presetsTable()->viewport(), Qt::LeftButton, Qt::ControlModifier, rect.center());
    };
    ctrlClick(0);
    QTest::keyClick(home.presetsTable(), Qt::Key_Down, Qt::ShiftModifier);
    ctrlClick(2);
    QCOMPARE(home.presetsTable()->selectedRowNumbers(), (QList<int>{0, 1, 2}));
    ctrlClick(2);
    QCOMPARE(home.presetsTable()->selectedRowNumbers(), (QList<int>{0, 1}));
    QVERIFY(!home.presetEditor()->isVisible());
    QTest::keyClick(home.presetsTable(), Qt::Key_Delete);
    QCOMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts[0].informativeText, QStringLiteral("Are you sure you want to delete the selected presets?"));
    QCOMPARE(home.presetListView()->rowCount(), 3);
    m_answer = 1;
    QTest::keyClick(home.presetsTable(), Qt::Key_Delete);
    QCOMPARE(home.presetListView()->rowCount(), 1);
    QCOMPARE(home.presetListView()->index(0).data().toString(), QStringLiteral("Survey"));
    m_alerts.clear();
    QTest::mouseClick(home.presetsEditButton(), Qt::LeftButton);
    QVERIFY(!home.presetListView()->isEditing());

    clickRow(home.presetsTable(), 0);
    QVERIFY(home.agentsListView()->selectedPreset());
    for (int click = 0; click < 3; ++click)
        clickRow(home.agentsTable(), 0);
    QCOMPARE(home.queueListView()->rowCount(), 3);
    QCOMPARE(home.agentsTable()->selectedRowNumbers(), QList<int>{0});

    // In edit mode each queued test has its delete button.
    QTest::mouseClick(home.queueEditButton(), Qt::LeftButton);
    QVERIFY(home.queueListView()->isEditing());
    clickControl(home.queueTable(), 0, &FNWListRowDelegate::deleteRect);
    QCOMPARE(home.queueListView()->rowCount(), 2);

    // Rows dragged away carry the delete cursor for the trash's action, which only the trash takes.
    home.queueTable()->selectRow(0);
    std::unique_ptr<QDrag> drag(home.queueTable()->makeDrag());
    QVERIFY(drag && !drag->dragCursor(FNWPresetsTableView::kDeleteAction).isNull());
    QDragEnterEvent toTrash(QPoint(2, 2), FNWPresetsTableView::kDeleteAction | Qt::MoveAction, drag->mimeData(),
                            Qt::LeftButton, {});
    QApplication::sendEvent(home.queueTrash(), &toTrash);
    QVERIFY(toTrash.isAccepted());
    QCOMPARE(toTrash.dropAction(), FNWPresetsTableView::kDeleteAction);
    QDragEnterEvent moveOnly(QPoint(2, 2), Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
    QApplication::sendEvent(home.queueTrash(), &moveOnly);
    QVERIFY(!moveOnly.isAccepted());
    QVERIFY(home.queueTrash()->isHovered());
    QDragLeaveEvent leave;
    QApplication::sendEvent(home.queueTrash(), &leave);

    // The queue's own error line (its save button, hidden while the My Tests tab composes a new
    // profile, is that tab's test).
    home.queueListView()->showErrorMessage(QStringLiteral("Queue List is empty."));
    QVERIFY(home.queueErrorLabel()->isVisible());
    QCOMPARE(home.queueErrorLabel()->text(), QStringLiteral("Queue List is empty."));

    // Delete removes the selected rows of a list in edit mode.
    QTest::mouseClick(home.agentsEditButton(), Qt::LeftButton);
    QVERIFY(home.agentsListView()->isEditing());
    home.agentsTable()->setFocus();
    home.agentsTable()->selectRow(0);
    QTest::keyClick(home.agentsTable(), Qt::Key_Delete);
    QCOMPARE(home.agentsListView()->rowCount(), 1);
    QCOMPARE(m_alerts.size(), 1);
}

void FNWHomeViewGuiTest::anAdHocRunShowsEachTestsStateAndItsFailure()
{
    QVERIFY(installWrappers());
    const int port = freePort();
    ServerProcess server(QStringLiteral("iperf3"), loopbackIperf3Arguments(port));
    QVERIFY(waitUntilListening(port, Transport::Tcp));
    auto preset = timedPreset(2);
    preset->name = QStringLiteral("Short");
    QVERIFY(preset->save());
    preset->viewPosition = 1;
    QVERIFY(preset->update());
    storeAgent(QStringLiteral("Lab"), port);
    storeAgent(QStringLiteral("Down"), freePort());

    const std::shared_ptr<TestManager> manager = TestManager::sharedTestManager();
    FNWMainWindow window;
    FNWHomeView* home = showHomeIn(window, manager);
    QVERIFY(home);

    clickRow(home->presetsTable(), 0);
    clickRow(home->agentsTable(), 0);
    clickRow(home->agentsTable(), 1);
    QCOMPARE(home->queueListView()->rowCount(), 2);
    QTRY_VERIFY(window.startStopButton()->isVisible());
    QTest::mouseClick(window.startStopButton(), Qt::LeftButton);
    QTRY_COMPARE(status(*home, 0), int(FNWExecutionStatusRunning));

    // While it runs the queue stays as it is (what else holds still is the queue's own test).
    QTest::mouseClick(home->clearQueueButton(), Qt::LeftButton);
    QCOMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts[0].message, QStringLiteral("Please wait..."));
    QCOMPARE(home->queueListView()->rowCount(), 2);

    QVERIFY(waitUntil([&] { return manager->isFreeToUse(); }, 60000));
    QTRY_COMPARE(status(*home, 0), int(FNWExecutionStatusFinished));
    QTRY_COMPARE(status(*home, 1), int(FNWExecutionStatusFailed));

    clickControl(home->queueTable(), 1, &FNWListRowDelegate::statusRect);
    QCOMPARE(m_alerts.size(), 2);
    QCOMPARE(m_alerts[1].message, QStringLiteral("127.0.0.1 - Short Test Failed"));
    QVERIFY(!m_alerts[1].informativeText.isEmpty());

    // The results are stored.
    const auto executions = TestExecutionDAO().getAllRecords();
    QCOMPARE(int(executions.size()), 2);
    QCOMPARE(executions[0]->executionStatus(), qint64(FNWExecutionStatusFinished));
    QCOMPARE(executions[1]->executionStatus(), qint64(FNWExecutionStatusFailed));
    QCOMPARE(executions[1]->message(), home->queueListView()->testList()[1]->message());

    // The queue's editor opened on one test and turned to another changes only that one, and only
    // in the queue: the run's stored settings stay as they ran.
    const auto first = home->queueListView()->testList()[0]->preset();
    const auto second = home->queueListView()->testList()[1]->preset();
    QVERIFY(first->ID > 0 && second->ID > 0);
    QTest::mouseClick(home->queueEditButton(), Qt::LeftButton);
    QVERIFY(home->queueListView()->isEditing());
    clickRow(home->queueTable(), 0);
    QVERIFY(home->queuePresetEditor() && home->queuePresetEditor()->isVisible());
    clickRow(home->queueTable(), 1);
    auto* duration = home->queuePresetEditor()->findChild<QLineEdit*>(QStringLiteral("durationField"));
    duration->selectAll();
    QTest::keyClicks(duration, QStringLiteral("30"));
    QTest::mouseClick(home->queuePresetEditor()->findChild<QPushButton*>(QStringLiteral("saveButton")), Qt::LeftButton);
    QTRY_VERIFY(!home->queuePresetEditor()->isVisible());
    QCOMPARE(FNWPresetDAO().loadPresetWithID(second->ID)->duration, 2);
    QCOMPARE(FNWPresetDAO().loadPresetWithID(first->ID)->duration, 2);
    QCOMPARE(home->queueListView()->testList()[0]->preset()->duration, 2);
    QCOMPARE(home->queueListView()->testList()[1]->preset()->duration, 30);
    manager->setDelegate(nullptr);
}

void FNWHomeViewGuiTest::theKeyboardReachesEveryListAndTheTestMenuAndALockedDatabaseSavesNothing()
{
    auto preset = timedPreset(2);
    preset->name = QStringLiteral("Short");
    preset->viewPosition = 1;
    QVERIFY(preset->save());
    storeAgent(QStringLiteral("Nobody"), freePort());
    const std::shared_ptr<TestManager> manager = TestManager::sharedTestManager();
    FNWMainWindow window;
    FNWHomeView* home = showHomeIn(window, manager);
    QVERIFY(home);
    // Keys go to the active window only.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Tab goes from a list to its buttons and on to the next list, not row by row.
    clickRow(home->presetsTable(), 0);
    home->presetsTable()->setFocus();
    QTest::keyClick(home->presetsTable(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(home->addPresetButton()));
    for (int press = 0; press < 3; ++press)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(home->agentsTable()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(home->presetsTrash()->trashButton()));

    // Space on a server queues a test as a click does.
    home->agentsTable()->setFocus();
    home->agentsTable()->setCurrentIndex(home->agentsListView()->index(0));
    QTest::keyClick(home->agentsTable(), Qt::Key_Space);
    QCOMPARE(home->queueListView()->rowCount(), 1);

    // The Test menu: its shortcuts, Start and Stop each only when they apply.
    QAction* start = window.menuAction(QStringLiteral("Start"));
    QAction* stop = window.menuAction(QStringLiteral("Stop"));
    QCOMPARE(start->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    QCOMPARE(stop->shortcut(), QKeySequence(QStringLiteral("Ctrl+.")));
    QTRY_VERIFY(start->isEnabled());
    QVERIFY(!stop->isEnabled());
    start->trigger();
    QVERIFY(!manager->isFreeToUse());
    QVERIFY(stop->isEnabled() && !start->isEnabled());
    stop->trigger();
    QVERIFY(waitUntil([&] { return manager->isFreeToUse(); }, 20000));
    QTRY_VERIFY(start->isEnabled());

    // While another program holds the database, a new preset: the editor stays open with what was
    // typed, and one alert says why.
    const size_t executions = TestExecutionDAO().getAllRecords().size();
    auto other = std::make_unique<DatabaseLockHolder>(DBUtils::appDBPath(), 10000);
    QVERIFY(other->locked());
    QTest::mouseClick(home->addPresetButton(), Qt::LeftButton);
    auto* name = home->presetEditor()->findChild<QLineEdit*>(QStringLiteral("presetName"));
    QTest::keyClicks(name, QStringLiteral("Survey"));
    auto* save = home->presetEditor()->findChild<QPushButton*>(QStringLiteral("saveButton"));
    QTest::mouseClick(save, Qt::LeftButton);
    QTRY_COMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts[0].message, QStringLiteral("Your Change Was Not Saved"));
    QVERIFY(m_alerts[0].informativeText.contains(DBUtils::appDBPath()));
    QVERIFY(home->presetEditor()->isVisible());
    QCOMPARE(name->text(), QStringLiteral("Survey"));
    QCOMPARE(home->presetListView()->rowCount(), 1);

    // A start that cannot record the queue runs nothing and alerts once, for the same reason.
    QTRY_VERIFY(window.startStopButton()->isVisible());
    QTest::mouseClick(window.startStopButton(), Qt::LeftButton);
    QTRY_COMPARE(m_alerts.size(), 2);
    QCOMPARE(m_alerts[1].message, QStringLiteral("Your Change Was Not Saved"));
    QCOMPARE(window.coordinator()->startStopTag(), int(FNWMainWindowCoordinator::OffersStart));
    QCOMPARE(TestExecutionDAO().getAllRecords().size(), executions);

    other.reset();
    QTest::mouseClick(save, Qt::LeftButton);
    QTRY_VERIFY(!home->presetEditor()->isVisible());
    QCOMPARE(home->presetListView()->rowCount(), 2);
    QCOMPARE(home->presetListView()->index(1).data().toString(), QStringLiteral("Survey"));
    QCOMPARE(m_alerts.size(), 2);
    m_alerts.clear();

    QAction* newPreset = window.menuAction(QStringLiteral("New Preset…"));
    QCOMPARE(newPreset->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    newPreset->trigger();
    QVERIFY(home->presetEditor() && home->presetEditor()->isVisible());
    QTest::keyClick(home->presetEditor(), Qt::Key_Escape);
    QTRY_VERIFY(!home->presetEditor()->isVisible());
    QAction* newAgent = window.menuAction(QStringLiteral("New Agent…"));
    QCOMPARE(newAgent->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    newAgent->trigger();
    QVERIFY(home->createAgentWindow() && home->createAgentWindow()->isVisible());

    // The preferences close on Escape and on Ctrl+W.
    for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::CTRL | Qt::Key_W)}) {
        window.openPreferences();
        QVERIFY(QTest::qWaitForWindowExposed(window.preferencesWindow()));
        QTest::keyClick(window.preferencesWindow(), keys.key(), keys.keyboardModifiers());
        QTRY_VERIFY(!window.preferencesWindow()->isVisible());
    }
    QVERIFY(m_alerts.isEmpty());
    manager->setDelegate(nullptr);
}

int main(int argc, char** argv)
{
    const auto home = usePrivateHome();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    FNWHomeViewGuiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FNWHomeViewGuiTest.moc"
