#include "app/FNWMainWindow.h"
#include "app/FNWMainWindowCoordinator.h"
#include "compose/FNWHomeView.h"
#include "db/TestProfileExecutionDAO.h"
#include "engine/TestManager.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestQueueBean.h"
#include "results/FNWGraphChartView.h"
#include "results/FNWHistoryDelegates.h"
#include "results/FNWHistoryTab.h"
#include "results/FNWResultsGraphView.h"
#include "results/HistoryView.h"
#include "ui/FNWAlert.h"
#include "ui/FNWSlideStackedWidget.h"

#include "FNWEngineTestSupport.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using namespace fnw::test;

namespace {

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

    void aThreeTestRunIsListedReadOutInItsGraphAndDeleted();

private:
    QList<FNWAlertRequest> m_alerts;
};

void FNWHistoryTabGuiTest::aThreeTestRunIsListedReadOutInItsGraphAndDeleted()
{
    QVERIFY(installWrappers());
    // In the main window, whose hub carries out the deletions.
    FNWMainWindow window;
    auto* page = new FNWHistoryTab;
    auto* home = new FNWHomeView;
    window.setHomePage(home, home);
    window.setHistoryPage(page, page);
    window.prepareMainWindow();
    window.resize(1000, 900);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.coordinator()->topNativationViewButtonDidClicked(FNWMainWindowCoordinator::HistoryTab);
    FNWHistoryTab& history = *page;
    QTRY_VERIFY(!history.historyView()->isLoading());
    QVERIFY(history.emptyLabel()->isVisible());

    // Three servers, one test each, run at the same time.
    std::vector<std::unique_ptr<ServerProcess>> servers;
    auto profile = std::make_shared<TestQueueBean>();
    for (int server = 0; server < 3; ++server) {
        const int port = freePort();
        servers.push_back(std::make_unique<ServerProcess>(QStringLiteral("iperf3"), loopbackIperf3Arguments(port)));
        QVERIFY(waitUntilListening(port, Transport::Tcp));
        auto preset = timedPreset(2);
        preset->name = QStringLiteral("Short %1").arg(server);
        auto agent = std::make_shared<FNWAgentBean>();
        agent->ip_address = QStringLiteral("127.0.0.1");
        agent->port_number = port;
        agent->agent_name = QStringLiteral("Server %1").arg(server);
        auto test = std::make_shared<TestBean>();
        test->setPreset(preset);
        test->setAgent(agent);
        test->testOrder = 1;
        test->testName = QStringLiteral("Test %1").arg(server);
        profile->testList.push_back(test);
    }
    QVERIFY(profile->save());
    auto manager = std::make_shared<TestManager>();
    manager->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });
    manager->startProfileExecutionWithTestProfile(profile);
    QVERIFY(waitUntil([&] { return manager->isFreeToUse(); }, 60000));

    // The run is one row with a line per test, each with what it measured.
    history.loadViewsDataFromDatabase();
    QTRY_VERIFY(!history.historyView()->isLoading());
    IndividualTestHistoryView* list = history.historyView()->individualResultsView();
    QCOMPARE(list->rowCount(), 1);
    QVERIFY(history.executionTable()->isVisible());
    const auto lines = [&](int column) {
        return list->index(0, column).data(IndividualTestHistoryView::LinesRole).toStringList();
    };
    QStringList names = lines(IndividualTestHistoryView::Name);
    names.sort();
    QCOMPARE(names, (QStringList{"127.0.0.1 - Short 0", "127.0.0.1 - Short 1", "127.0.0.1 - Short 2"}));
    for (const QString& average : lines(IndividualTestHistoryView::Average))
        QVERIFY2(megabits(average) > 1.0, qPrintable(average));
    QCOMPARE(lines(IndividualTestHistoryView::Duration), (QStringList{"2 s", "2 s", "2 s"}));

    // Enter opens it: the details show its interval rows, the final totals first.
    QTreeView* table = history.executionTable();
    table->setFocus();
    table->setCurrentIndex(list->index(0, 0));
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(history.historyView()->page(), HistoryView::Page::Results);
    ProfileResultsNavigationBaseView* results = history.historyView()->resultsNavigationBaseView();
    ProfileResultsDetailedListView* details = results->profileResultsDetailedListView();
    QTRY_VERIFY(!details->isLoading());
    QVERIFY(details->resultCount(0) >= 3);
    QCOMPARE(details->innerText(0, ProfileResultsDetailedListView::Interval, 0).left(5), QStringLiteral("0.00-"));
    QVERIFY(megabits(details->innerText(0, ProfileResultsDetailedListView::Throughput, 0)) > 1.0);
    QVERIFY(details->innerText(0, ProfileResultsDetailedListView::Settings, 0)
                .startsWith(QStringLiteral("127.0.0.1 - Short")));
    QTRY_VERIFY(!history.pages()->isAnimating());

    QTest::mouseClick(history.graphButton(), Qt::LeftButton);
    QCOMPARE(results->visibleContent(), ProfileResultsNavigationBaseView::Content::Graph);
    QTRY_VERIFY(!history.pages()->isAnimating());
    FNWResultsGraphView* graph = history.graphView();
    QTRY_VERIFY(graph->isVisible() && !graph->graphicsEffect());
    QCOMPARE(int(graph->series().size()), 3);
    QCOMPARE(graph->legendTexts(2).size(), 14);
    QVERIFY(graph->ranges().yLength > 10);

    // The pointer beside a real point of the first line: first its line, then that interval.
    const FNWGraphRules::Series& first = graph->series()[0];
    QVERIFY(first.points.size() >= 2);
    // The point is placed afresh on each try: a slow machine may still be laying the chart out.
    QWidget* surface = graph->chartView()->viewport();
    const auto hoverBesideThePoint = [&] {
        const QPoint point = (graph->positionOf(0, 1) + QPointF(3, 3)).toPoint();
        QTest::mouseMove(surface, point);
        if (graph->tracker().highlightedPlot() < 0)
            return false;
        QTest::mouseMove(surface, point + QPoint(0, 1));
        return graph->intervalPopup()->isVisible();
    };
    QVERIFY(waitUntil(hoverBesideThePoint, 10000));
    const int plot = graph->tracker().highlightedPlot();
    QVERIFY(!graph->summaryPopup()->isVisible());
    const int record = graph->tracker().visibleDataPointIndex();
    const auto& shown = results->profileResultsDetailedListView()->resultsOf(plot);
    const auto& interval = *shown[static_cast<size_t>(
        graph->series()[static_cast<size_t>(plot)].resultIndex[static_cast<size_t>(record)])];
    const QStringList texts = [&] {
        QStringList all;
        for (const QLabel* label : graph->intervalPopup()->findChildren<QLabel*>())
            all << label->text();
        return all;
    }();
    QVERIFY2(texts.contains(interval.start_time + QStringLiteral(" - ") + interval.end_time),
             qPrintable(texts.join('|')));

    // Off the plot, the read-out goes.
    QTest::mouseMove(surface, QPoint(2, 2));
    QTRY_VERIFY(!graph->intervalPopup()->isVisible());
    QCOMPARE(graph->tracker().highlightedPlot(), -1);

    // What a drag drops: a PNG of the graph under its dated name.
    const QString path = graph->writeGraphToTemporaryFile();
    QVERIFY(QFileInfo(path).fileName().startsWith(QStringLiteral("fnw_Graph_results_")));
    QVERIFY(path.endsWith(QStringLiteral(".png")));
    const QImage picture(path);
    QVERIFY(!picture.isNull());
    QVERIFY(picture.width() >= graph->width() - 20);

    // Back to the details, Escape goes back; in edit mode the row's delete button, after asking,
    // deletes it.
    QTest::mouseClick(history.detailsButton(), Qt::LeftButton);
    QCOMPARE(results->visibleContent(), ProfileResultsNavigationBaseView::Content::DetailTable);
    QTRY_VERIFY(!history.pages()->isAnimating());
    QTest::keyClick(history.detailTable(), Qt::Key_Escape);
    QCOMPARE(history.historyView()->page(), HistoryView::Page::Home);
    QTRY_VERIFY(!history.pages()->isAnimating());
    QTest::mouseClick(history.editButton(), Qt::LeftButton);
    QVERIFY(IndividualTestHistoryView::isEditing());
    QVERIFY(history.deleteAllButton()->isVisible());
    const QModelIndex actions = list->index(0, IndividualTestHistoryView::Actions);
    const QRect cell = table->visualRect(actions);
    const QRect button = FNWHistoryRowDelegate::buttonRect(
        cell, actions.data(IndividualTestHistoryView::ButtonsRole).toInt(), IndividualTestHistoryView::DeleteButton);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, button.center());
    QCOMPARE(m_alerts.last().message, QStringLiteral("Are you sure you would like to delete this test execution?"));
    QCOMPARE(list->rowCount(), 0);
    QVERIFY(TestProfileExecutionDAO().getAllRecords().empty());
    QVERIFY(!IndividualTestHistoryView::isEditing());
    QVERIFY(!history.editButton()->isEnabled());
    QVERIFY(history.emptyLabel()->isVisible());
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
