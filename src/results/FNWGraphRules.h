#pragma once

#include "results/FNWResultTexts.h"

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class TestIntervalResults;

// The rules of the results graph without a chart: what each test's line holds, the ranges and
// ticks of the axes, the legend's and the pop-ups' texts, and where a pop-up goes.
namespace FNWGraphRules {

using Results = std::vector<std::shared_ptr<TestIntervalResults>>;

// One test's line. Record r holds point r: record 0 is the origin (0, 0) when the preset's interval
// is at least the test's duration, else no point; record r >= 1 is interval result count - r of the
// results (newest stored first), so the line runs from the first interval to the last and the
// run's final totals row is never drawn. y is in the axis unit of the graph.
struct Series
{
    std::vector<QPointF> points;
    // Whether a record has a point (only record 0 may have none).
    std::vector<bool> present;
    // The interval result of each record (its index in the newest-first list), -1 for record 0.
    std::vector<int> resultIndex;

    bool hasOrigin() const { return !present.empty() && present[0]; }
};

Series seriesFor(const FNWTestRunParts& test, const Results& newestFirst, qint64 graphDataFormat);

// Labelled steps of the time axis: 1 below 31 s, else the smallest k with range / k below 31 and a
// remainder below 2.
qint64 tickInterval(qint64 range);

struct Ranges
{
    qint64 xLength = 60;
    qint64 yLength = 100;
    qint64 xTick = 1;
};
// x: the longest test; y: the fastest figure shown (a test's average or any of its intervals) plus
// a quarter, at least 10.
Ranges rangesFor(const std::vector<FNWTestRunParts>& tests, const std::vector<Results>& results,
                 qint64 graphDataFormat);

QString axisTitle(qint64 dataFormat);
// The kbps and KBps axes turn their labels.
bool rotatesLabels(qint64 dataFormat);
inline constexpr double kLabelRotationDegrees = 54.0;

// Label 1..14 of a test's legend block.
QString legendLabel(const FNWTestRunParts& test, int tag);
inline constexpr int kLegendLabels = 14;
// Names in the pointer's read-outs are cut at this many characters; the legend takes the rows' limit.
inline constexpr qsizetype kPopupTextLimit = 60;

// The summary pop-up of a test.
struct Summary
{
    QString testName;
    QString serverName;
    QString ssid;
    QString duration;
    QString throughput;
    QString direction;
};
Summary summaryFor(const FNWTestRunParts& test);

// The interval pop-up: "start - end", the amount and the speed of one interval.
struct IntervalTexts
{
    QString testName;
    QString interval;
    QString size;
    QString throughput;
};
IntervalTexts intervalFor(const FNWTestRunParts& test, const TestIntervalResults& result);

// A pop-up's top-left corner for the pointer: beside it, or before it (20 apart) where it would
// leave the host on the right or at the bottom.
QPointF popupOrigin(const QPointF& pointer, const QSizeF& popup, const QSizeF& host);

// What a line draws when it has more points than the plot has pixel columns: per column the first,
// lowest, highest and last point, in time order. The points themselves are left alone.
std::vector<QPointF> reducedForDrawing(const std::vector<QPointF>& points, double xLength, int pixelColumns);

} // namespace FNWGraphRules

// The pointer read-out of the graph: the nearest line and point by distance on screen, the line it
// highlights, and which pop-up shows where, with the marker on an interval's point.
class FNWGraphTracker
{
public:
    enum class Popup { None, Summary, Interval };
    static constexpr double kIntervalDistance = 15.0;
    static constexpr double kFarDistance = 70.0;

    // The plot area in host coordinates and the axes' lengths, to map points onto the screen.
    void setGeometry(const QRectF& plotArea, double xLength, double yLength, const QSizeF& host);
    // Not owned; they live as long as the graph shows them.
    void setPlots(std::vector<const FNWGraphRules::Series*> plots);
    // The pop-ups' sizes, for their placement.
    void setPopupSizes(const QSizeF& summary, const QSizeF& interval);

    // The pointer at a point of the host; false when nothing changed.
    bool mouseMoved(const QPointF& pointer);
    // Everything goes: pop-ups, marker and highlight.
    void mouseExited();

    int highlightedPlot() const { return m_highlighted; }
    int visibleDataPointIndex() const { return m_visibleIndex; }
    Popup popup() const { return m_popup; }
    QPointF popupOrigin() const { return m_popupOrigin; }
    // The marked point (plot coordinates), only with the interval pop-up.
    std::optional<QPointF> marker() const;

    struct Nearest
    {
        int plot = -1;
        int record = -1;
        double distance = 0.0;
    };
    // The nearest present point of any plot to a point of the plot area (y up from its lower edge),
    // the first plot winning ties; plot -1 when there is none.
    Nearest nearest(const QPointF& plotAreaPoint) const;
    QPointF toPlotArea(const QPointF& plotPoint) const;

private:
    int nearestRecord(const FNWGraphRules::Series& series, const QPointF& plotAreaPoint, double* distance) const;

    QRectF m_plotArea;
    double m_xLength = 60.0;
    double m_yLength = 100.0;
    QSizeF m_host;
    QSizeF m_summarySize;
    QSizeF m_intervalSize;
    std::vector<const FNWGraphRules::Series*> m_plots;
    int m_highlighted = -1;
    int m_visibleIndex = 0;
    Popup m_popup = Popup::None;
    QPointF m_popupOrigin;
};
