#include "app/FNWMainWindow.h"
#include "app/FNWMainWindowCoordinator.h"
#include "compose/FNWHomeView.h"
#include "compose/PresetsListView.h"
#include "db/TestProfileExecutionDAO.h"
#include "engine/TestManager.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "results/FNWHistoryDelegates.h"
#include "results/FNWHistoryTab.h"
#include "results/HistoryView.h"
#include "ui/FNWAlert.h"
#include "ui/FNWPresetsTableView.h"
#include "ui/FNWSlideStackedWidget.h"
#include "ui/FNWStartStopButton.h"

#include "FNWEngineTestSupport.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using namespace fnw::test;

namespace {

void clickRow(FNWPresetsTableView* table, int row)
{
    const QRect rect = table->visualRect(table->model()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center() - QPoint(rect.width() / 4, 0));
}

// The megabits per second a speed text such as "941.27 Mbps" shows.
double megabits(const QString& text)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral(R"(^([0-9.]+) Mbps$)")).match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : -1.0;
}

} // namespace

class FNWHistoryTabGuiTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(useFreshDatabase());
        FNWAlert::setTestResponder([this](const FNWAlertRequest& request) {
            m_alerts.append(request);
            // "Yes" of a confirmation, the only button of any other alert.
            return static_cast<int>(request.buttons.size()) - 1;
        });
    }
    void cleanup() { FNWAlert::setTestResponder({}); }

    void aFinishedRunIsListedFirstWithItsResultsAndCanBeDeleted();

private:
    QList<FNWAlertRequest> m_alerts;
};

void FNWHistoryTabGuiTest::aFinishedRunIsListedFirstWithItsResultsAndCanBeDeleted()
{
    QVERIFY(installWrappers());
    const int port = freePort();
    ServerProcess server(QStringLiteral("iperf3"),
                         {QStringLiteral("-s"), QStringLiteral("-B"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                          QString::number(port)});
    QVERIFY(waitUntilListening(port, Transport::Tcp));
    auto preset = timedPreset(2);
    preset->name = QStringLiteral("Short");
    preset->viewPosition = 1;
    QVERIFY(preset->save());
    auto agent = std::make_shared<FNWAgentBean>();
    agent->ip_address = QStringLiteral("127.0.0.1");
    agent->port_number = port;
    agent->agent_name = QStringLiteral("Lab");
    agent->viewPosition = 1;
    QVERIFY(agent->save());

    const std::shared_ptr<TestManager> manager = TestManager::sharedTestManager();
    manager->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });
    FNWMainWindow window;
    auto* home = new FNWHomeView;
    auto* history = new FNWHistoryTab;
    window.setHomePage(home, home);
    window.setHistoryPage(history, history);
    window.setTestRunControl(manager.get());
    window.prepareMainWindow();
    window.resize(1100, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(home->isSetUp());
    QTRY_VERIFY(!history->historyView()->isLoading());
    QVERIFY(!history->emptyLabel()->isHidden());

    clickRow(home->presetsTable(), 0);
    clickRow(home->agentsTable(), 0);
    QTRY_VERIFY(window.startStopButton()->isVisible());
    QTest::mouseClick(window.startStopButton(), Qt::LeftButton);

    // The run ends, the window turns to History, and the run stands first.
    QVERIFY(waitUntil([&] { return manager->isFreeToUse(); }, 60000));
    QTRY_COMPARE(window.coordinator()->visibleView(), int(FNWMainWindowCoordinator::HistoryTab));
    IndividualTestHistoryView* list = history->historyView()->individualResultsView();
    QTRY_COMPARE(list->rowCount(), 1);
    QVERIFY(history->executionTable()->isVisible());
    QCOMPARE(list->index(0, IndividualTestHistoryView::Name).data().toString(), QStringLiteral("127.0.0.1 - Short"));
    const double average = megabits(list->index(0, IndividualTestHistoryView::Average).data().toString());
    QVERIFY2(average > 1.0, qPrintable(list->index(0, IndividualTestHistoryView::Average).data().toString()));
    QCOMPARE(list->index(0, IndividualTestHistoryView::Duration).data().toString(), QStringLiteral("2 s"));

    // Enter opens it: the details show its interval rows, the final totals first.
    QTreeView* table = history->executionTable();
    table->setFocus();
    table->setCurrentIndex(list->index(0, 0));
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(history->historyView()->page(), HistoryView::Page::Results);
    ProfileResultsDetailedListView* details =
        history->historyView()->resultsNavigationBaseView()->profileResultsDetailedListView();
    QTRY_VERIFY(!details->isLoading());
    QVERIFY(details->resultCount(0) >= 3);
    QCOMPARE(details->innerText(0, ProfileResultsDetailedListView::Interval, 0).left(5), QStringLiteral("0.00-"));
    QVERIFY(megabits(details->innerText(0, ProfileResultsDetailedListView::Throughput, 0)) > 1.0);
    QVERIFY(details->innerText(0, ProfileResultsDetailedListView::Settings, 0)
                .startsWith(QStringLiteral("127.0.0.1 - Short")));
    QTRY_VERIFY(!history->pages()->isAnimating());

    // Escape goes back; in edit mode the row's delete button, after asking, deletes it.
    QTest::keyClick(history->detailTable(), Qt::Key_Escape);
    QCOMPARE(history->historyView()->page(), HistoryView::Page::Home);
    QTRY_VERIFY(!history->pages()->isAnimating());
    QTest::mouseClick(history->editButton(), Qt::LeftButton);
    QVERIFY(IndividualTestHistoryView::isEditing());
    QVERIFY(history->deleteAllButton()->isVisible());
    const QModelIndex actions = list->index(0, IndividualTestHistoryView::Actions);
    const QRect cell = table->visualRect(actions);
    const QRect button = FNWHistoryRowDelegate::buttonRect(
        cell, actions.data(IndividualTestHistoryView::ButtonsRole).toInt(), IndividualTestHistoryView::DeleteButton);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, button.center());
    QCOMPARE(m_alerts.last().message, QStringLiteral("Are you sure you would like to delete this test execution?"));
    QCOMPARE(list->rowCount(), 0);
    QVERIFY(TestProfileExecutionDAO().getAllRecords().empty());
    QVERIFY(!IndividualTestHistoryView::isEditing());
    QVERIFY(!history->editButton()->isEnabled());
    QVERIFY(history->emptyLabel()->isVisible());
    manager->setDelegate(nullptr);
}

int main(int argc, char** argv)
{
    const auto home = usePrivateHome();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    FNWHistoryTabGuiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FNWHistoryTabGuiTest.moc"
