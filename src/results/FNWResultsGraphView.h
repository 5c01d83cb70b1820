#pragma once

#include "base/FNWNotificationCenter.h"
#include "results/FNWGraphRules.h"
#include "results/ProfileResultsNavigationBaseView.h"

#include <QWidget>

#include <vector>

class FNWGraphChartView;
class QChart;
class QFrame;
class QGraphicsRectItem;
class QLabel;
class QLineSeries;
class QScrollArea;
class QValueAxis;

// The graph of a run: one line per test over time, its legend blocks below, the pointer read-out,
// and the picture of it as a PNG (dragged out, or saved). The rules are FNWGraphRules and
// FNWGraphTracker; this view maps them onto a Qt chart.
class FNWResultsGraphView final : public QWidget, public ProfileResultsGraphPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWResultsGraphView)

public:
    static constexpr int kLegendBlockHeight = 135;
    static constexpr int kMinimumPlotHeight = 250;

    // The detail table's model reads the run's results; the graph draws what it has read.
    FNWResultsGraphView(ProfileResultsDetailedListView* results, QWidget* parent = nullptr);
    ~FNWResultsGraphView() override;

    void showGraphForProfileExecution(const FNWHistoryRun& run) override;
    void removeCustomTrackingArea() override;

    // The graph (legend included, pop-ups left out) as PNG data at the screen's pixel ratio.
    QByteArray getGraphImageData();
    // Writes it to a fresh folder of the private temporary directory; the file's path, or empty.
    QString writeGraphToTemporaryFile();
    // Asks where, then saves the PNG.
    void saveGraphAsPNG();

    // For tests and the screenshot: the chart view, the read-out, the pop-ups, the lines.
    FNWGraphChartView* chartView() const { return m_chartView; }
    const FNWGraphTracker& tracker() const { return m_tracker; }
    QFrame* summaryPopup() const { return m_summaryPopup; }
    QFrame* intervalPopup() const { return m_intervalPopup; }
    const std::vector<FNWGraphRules::Series>& series() const { return m_series; }
    const FNWGraphRules::Ranges& ranges() const { return m_ranges; }
    // Where a record of a line shows in the chart view.
    QPointF positionOf(int plot, int record) const;
    QStringList legendTexts(int test) const;

    // From the chart view.
    void pointerMoved(const QPointF& position);
    void pointerLeft();
    void dragStarted(const QPointF& position);

private:
    void rebuild();
    void buildChart();
    void buildLegend();
    void redrawLines();
    void updateReadOut();
    void applyGrid();
    void updateGeometry();
    void fillSummaryPopup(int plot);
    void fillIntervalPopup(int plot, int record);

    ProfileResultsDetailedListView* m_results;
    FNWHistoryRun m_run;
    std::vector<FNWGraphRules::Series> m_series;
    FNWGraphRules::Ranges m_ranges;
    qint64 m_dataFormat = 0;
    FNWGraphTracker m_tracker;

    QScrollArea* m_scroll;
    QWidget* m_content;
    FNWGraphChartView* m_chartView;
    QChart* m_chart;
    QValueAxis* m_xAxis = nullptr;
    QValueAxis* m_yAxis = nullptr;
    std::vector<QLineSeries*> m_lines;
    QWidget* m_legend;
    std::vector<std::vector<QLabel*>> m_legendLabels;
    QFrame* m_summaryPopup;
    QFrame* m_intervalPopup;
    std::vector<QLabel*> m_summaryFields;
    std::vector<QLabel*> m_intervalFields;
    QGraphicsRectItem* m_marker = nullptr;
    int m_shownHighlight = -1;
    int m_drawnColumns = 0;
    FNWObserverToken m_gridObserver;
};
