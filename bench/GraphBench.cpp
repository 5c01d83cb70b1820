// The results graph of a day-long survey: four tests of 86,400 one-second intervals each, built
// offscreen. Prints the time from showing the graph to its first paint, and the time each of
// 1,000 pointer moves across the plot takes to be answered (read-out, highlight, pop-up).
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "results/FNWGraphChartView.h"
#include "results/FNWResultsGraphView.h"
#include "results/ProfileResultsDetailedListView.h"

#include <QApplication>
#include <QPixmap>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTests = 4;
constexpr int kSeconds = 86400;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    FNWHistoryRun run;
    run.run = std::make_shared<TestProfileExecutionBean>();
    std::vector<ProfileResultsDetailedListView::Results> results;
    for (int test = 0; test < kTests; ++test) {
        FNWTestRunParts parts;
        parts.execution = std::make_shared<TestExecutionBean>();
        parts.execution->setExecution_duration(kSeconds);
        parts.execution->setAverageSpeed(400000000 + test * 100000000);
        parts.test = std::make_shared<TestBean>();
        parts.test->testName = QStringLiteral("Day-long test %1").arg(test + 1);
        parts.preset = std::make_shared<FNWPresetBean>();
        parts.preset->name = QStringLiteral("24 h");
        parts.preset->duration = kSeconds;
        parts.preset->number_of_byte = -1;
        parts.preset->time_interval = 1;
        parts.agent = std::make_shared<FNWAgentBean>();
        parts.agent->ip_address = QStringLiteral("192.0.2.%1").arg(test + 10);
        run.tests.push_back(parts);
        ProfileResultsDetailedListView::Results rows;
        rows.reserve(kSeconds + 1);
        for (int second = kSeconds; second >= 0; --second) {
            auto row = std::make_shared<TestIntervalResults>();
            const bool total = second == kSeconds;
            row->start_time = QString::number(total ? 0 : second) + QStringLiteral(".00");
            row->end_time = QString::number(total ? kSeconds : second + 1) + QStringLiteral(".00");
            row->speed = static_cast<float>((400 + test * 100 + 40 * std::sin(second / 900.0)) * 1e6);
            row->data_transfered = row->speed / 8;
            rows.push_back(std::move(row));
        }
        results.push_back(std::move(rows));
    }

    ProfileResultsDetailedListView details;
    details.setResultsLoader([&results](const FNWHistoryRun&, auto done) { done(results); });
    details.showDetailsForProfileExecution(run);
    FNWResultsGraphView graph(&details);
    graph.resize(1100, 800);
    graph.show();
    QApplication::processEvents();

    const auto start = Clock::now();
    graph.showGraphForProfileExecution(run);
    const QPixmap firstPaint = graph.grab();
    const double shown = millisecondsSince(start);

    // 1,000 moves across the plot, each answered before the next, as a pointer sweeping the lines.
    std::vector<double> moves;
    moves.reserve(1000);
    const QRectF area = graph.chartView()->mapFromScene(graph.chartView()->chart()->plotArea()).boundingRect();
    for (int move = 0; move < 1000; ++move) {
        const QPointF pointer(area.left() + area.width() * move / 1000.0,
                              area.top() + area.height() * (0.2 + 0.6 * ((move * 37) % 100) / 100.0));
        const auto moveStart = Clock::now();
        graph.pointerMoved(pointer);
        graph.chartView()->viewport()->repaint();
        moves.push_back(millisecondsSince(moveStart));
    }
    std::sort(moves.begin(), moves.end());
    std::printf("graph of %d tests x %d intervals: shown and first painted in %.1f ms (%dx%d)\n", kTests, kSeconds,
                shown, firstPaint.width(), firstPaint.height());
    std::printf("pointer moves: median %.2f ms, 99th percentile %.2f ms, slowest %.2f ms (1000 moves, each painted)\n",
                moves[500], moves[990], moves.back());
    return shown <= 0 ? 1 : 0;
}
