#include "results/FNWGraphRules.h"
#include "base/FNWEnums.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace FNWGraphRules;

FNWTestRunParts test(qint64 interval, qint64 duration, qint64 dataFormat = FNWDataFormatMbps)
{
    FNWTestRunParts parts;
    parts.execution = std::make_shared<TestExecutionBean>();
    parts.execution->setExecution_duration(duration);
    parts.execution->setAverageSpeed(50000000);
    parts.test = std::make_shared<TestBean>();
    parts.test->testName = QStringLiteral("10.0.0.7 - Quick");
    parts.preset = std::make_shared<FNWPresetBean>();
    parts.preset->time_interval = interval;
    parts.preset->number_of_byte = -1;
    parts.preset->data_format = dataFormat;
    parts.agent = std::make_shared<FNWAgentBean>();
    parts.agent->ip_address = QStringLiteral("10.0.0.7");
    parts.agent->agent_name = QStringLiteral("Lab");
    return parts;
}

// Interval results as the store gives them: newest first, so the totals row (stored last) first.
Results results(std::initializer_list<std::pair<const char*, double>> oldestFirst)
{
    Results rows;
    for (const auto& [end, speed] : oldestFirst) {
        auto row = std::make_shared<TestIntervalResults>();
        row->start_time = QStringLiteral("0.00");
        row->end_time = QString::fromLatin1(end);
        row->speed = static_cast<float>(speed);
        rows.insert(rows.begin(), row);
    }
    return rows;
}

TEST(FNWGraphRulesTest, EachLineRunsFromTheFirstIntervalToTheLastWithoutTheTotals)
{
    const Results rows = results({{"1.00", 2e6}, {"2.00", 4e6}, {"2.00", 3e6}});
    const Series series = seriesFor(test(1, 2), rows, FNWDataFormatMbps);
    ASSERT_EQ(series.points.size(), 3u);
    EXPECT_FALSE(series.hasOrigin()) << "an interval shorter than the test has no origin point";
    EXPECT_EQ(series.points[1], QPointF(1.0, 2.0));
    EXPECT_EQ(series.points[2], QPointF(2.0, 4.0));
    EXPECT_EQ(series.resultIndex[1], 2);
    EXPECT_EQ(series.resultIndex[2], 1);

    // An interval as long as the test: the line starts at the origin; kbps in the axis' unit.
    const Series single =
        seriesFor(test(10, 10, FNWDataFormatKbps), results({{"10.00", 123456}, {"10.00", 1}}), FNWDataFormatKbps);
    EXPECT_TRUE(single.hasOrigin());
    EXPECT_EQ(single.points[1], QPointF(10.0, 123.46));
    EXPECT_TRUE(seriesFor(test(1, 0), {}, FNWDataFormatMbps).points.empty());
}

TEST(FNWGraphRulesTest, RangesAndTicks)
{
    const struct
    {
        qint64 range;
        qint64 tick;
    } ticks[] = {{0, 1},
                 {30, 1},
                 {31, 2},
                 {61, 2},
                 {120, 4},
                 {121, 4},
                 {86400, 2880},
                 // Steps may leave at most one second over.
                 {62, 31}};
    for (const auto& tick : ticks)
        EXPECT_EQ(tickInterval(tick.range), tick.tick) << tick.range;

    // y: the fastest figure shown, a quarter on top, at least 10.
    const auto yFor = [](double fastestBits) {
        return rangesFor({test(1, 10)}, {results({{"1.00", fastestBits}, {"1.00", 0}})}, FNWDataFormatMbps).yLength;
    };
    EXPECT_EQ(yFor(95e6), 118);
    EXPECT_EQ(yFor(6e6), 62) << "the average (50 Mbps) is the fastest here";
    EXPECT_EQ(yFor(100e9), 125000);
    FNWTestRunParts idle = test(1, 0);
    idle.execution->setAverageSpeed(0);
    const Ranges zero = rangesFor({idle}, {results({{"1.00", 0}})}, FNWDataFormatMbps);
    EXPECT_EQ(zero.yLength, 10);
    EXPECT_EQ(zero.xLength, 60) << "a test without a duration keeps a time axis";
    EXPECT_EQ(rangesFor({}, {}, FNWDataFormatMbps).yLength, 100);
    EXPECT_EQ(rangesFor({test(1, 121), test(1, 7)}, {{}, {}}, FNWDataFormatMbps).xTick, 4);
}

TEST(FNWGraphRulesTest, TitlesLegendAndPopups)
{
    EXPECT_EQ(axisTitle(FNWDataFormatKbps), QStringLiteral("kbps"));
    EXPECT_EQ(axisTitle(FNWDataFormatKBps), QStringLiteral("KBps"));
    for (const qint64 format : {FNWDataFormatKbps, FNWDataFormatKBps, FNWDataFormatMbps, FNWDataFormatMBps})
        EXPECT_EQ(rotatesLabels(format), format == FNWDataFormatKbps || format == FNWDataFormatKBps) << format;

    FNWTestRunParts parts = test(1, 10);
    parts.preset->name = QStringLiteral("Quick");
    parts.preset->direction = FNWDirectionReverse;
    EXPECT_EQ(legendLabel(parts, 1), QStringLiteral("10.0.0.7 - Quick (iPerf3)"));
    EXPECT_EQ(legendLabel(parts, 2), QStringLiteral("50.00 Mbps"));
    EXPECT_EQ(legendLabel(parts, 12), QStringLiteral("Target To Source Server"));
    EXPECT_EQ(legendLabel(parts, 14), QStringLiteral("10s (1s)"));
    const Summary summary = summaryFor(parts);
    EXPECT_EQ(summary.direction, QStringLiteral("10.0.0.7 to\n this computer"));
    EXPECT_EQ(summary.duration, QStringLiteral("10 s"));
    const IntervalTexts interval = intervalFor(parts, *results({{"3.00", 7.5e6}}).front());
    EXPECT_EQ(interval.interval, QStringLiteral("0.00 - 3.00"));
    EXPECT_EQ(interval.throughput, QStringLiteral("7.50 Mbps"));
    parts.preset.reset();
    parts.agent.reset();
    EXPECT_EQ(summaryFor(parts).direction, QStringLiteral("This computer to\n(deleted)"));

    // Beside the pointer, or before it where the pop-up would leave the host.
    const QSizeF host(400, 300);
    EXPECT_EQ(popupOrigin({50, 40}, {100, 60}, host), QPointF(50, 40));
    EXPECT_EQ(popupOrigin({350, 280}, {100, 60}, host), QPointF(230, 200));
    EXPECT_EQ(popupOrigin({10, 10}, {500, 400}, host), QPointF(0, 0));
}

TEST(FNWGraphRulesTest, ADayLongLineIsDrawnReducedButKeepsItsPeaks)
{
    std::vector<QPointF> points;
    for (int second = 1; second <= 86400; ++second)
        points.emplace_back(second, second == 43210 ? 900.0 : 100.0 + (second % 7));
    const std::vector<QPointF> drawn = reducedForDrawing(points, 86400, 1000);
    EXPECT_LE(drawn.size(), 4000u);
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), QPointF(43210, 900.0)), drawn.end());
    EXPECT_EQ(drawn.front(), points.front());
    EXPECT_EQ(drawn.back(), points.back());
    EXPECT_TRUE(
        std::is_sorted(drawn.begin(), drawn.end(), [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
    EXPECT_EQ(reducedForDrawing(std::vector<QPointF>(points.begin(), points.begin() + 100), 86400, 1000).size(), 100u);
}

// A 100 x 100 plot area at (50, 10) of a 200 x 150 host; both axes 0..10, so a unit is 10 pixels.
class FNWGraphTrackerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        upper = seriesFor(test(1, 10), results({{"1.00", 8e6}, {"2.00", 8e6}, {"3.00", 8e6}, {"3.00", 0}}), 0);
        lower = seriesFor(test(10, 10), results({{"5.00", 2e6}, {"5.00", 0}}), 0);
        tracker.setGeometry(QRectF(50, 10, 100, 100), 10, 10, QSizeF(200, 150));
        tracker.setPopupSizes(QSizeF(60, 40), QSizeF(50, 30));
        tracker.setPlots({&upper, &lower});
    }
    // The host position of a plot point, moved by an offset in pixels.
    static QPointF at(double x, double y, double dx = 0, double dy = 0)
    {
        return {50 + 10 * x + dx, 110 - 10 * y + dy};
    }

    Series upper;
    Series lower;
    FNWGraphTracker tracker;
};

TEST_F(FNWGraphTrackerTest, TheNearestLineLightsUpThenAnIntervalNearItsPointShows)
{
    EXPECT_EQ(tracker.nearest(QPointF(20, 80)).plot, 0);
    EXPECT_EQ(tracker.nearest(QPointF(20, 80)).record, 2);

    // The first move highlights the nearest line and shows its summary.
    ASSERT_TRUE(tracker.mouseMoved(at(2, 8, 4, 3)));
    EXPECT_EQ(tracker.highlightedPlot(), 0);
    EXPECT_EQ(tracker.popup(), FNWGraphTracker::Popup::Summary);
    // Then, 5 pixels from the point: that interval, the marker on its point.
    tracker.mouseMoved(at(2, 8, 4, 3));
    EXPECT_EQ(tracker.popup(), FNWGraphTracker::Popup::Interval);
    EXPECT_EQ(tracker.visibleDataPointIndex(), 2);
    EXPECT_EQ(tracker.marker(), QPointF(2, 8));
    EXPECT_EQ(tracker.popupOrigin(), at(2, 8, 4, 3));
    // 30 pixels away the summary again; exactly on the point too.
    tracker.mouseMoved(at(2, 8, 0, 30));
    EXPECT_EQ(tracker.popup(), FNWGraphTracker::Popup::Summary);
    EXPECT_FALSE(tracker.marker());

    // The lower line's origin point is never an interval.
    tracker.mouseMoved(at(0, 0, 2, -2));
    EXPECT_EQ(tracker.highlightedPlot(), 1);
    tracker.mouseMoved(at(0, 0, 2, -2));
    EXPECT_EQ(tracker.visibleDataPointIndex(), 0);
    EXPECT_EQ(tracker.popup(), FNWGraphTracker::Popup::Summary);

    // Leaving the plot area takes everything away.
    tracker.mouseMoved(QPointF(20, 20));
    EXPECT_EQ(tracker.popup(), FNWGraphTracker::Popup::None);
    EXPECT_EQ(tracker.highlightedPlot(), -1);

    // Of two lines as near, the first lights up; without lines nothing does.
    const Series twin = upper;
    tracker.setPlots({&upper, &twin});
    EXPECT_EQ(tracker.nearest(QPointF(30, 80)).plot, 0);
    tracker.setPlots({});
    EXPECT_EQ(tracker.nearest(QPointF(30, 80)).plot, -1);
    EXPECT_FALSE(tracker.mouseMoved(at(3, 8)));
}

} // namespace
