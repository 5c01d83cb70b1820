#include "results/FNWGraphRules.h"

#include "base/FNWEnums.h"
#include "base/FNWUtils.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "support/FNWFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString missing()
{
    return QString::fromLatin1(FNWResultTexts::kMissing);
}

// A speed as the axis shows it: the number of its text in the graph's unit (two decimals).
double speedInUnit(qint64 dataFormat, double bitsPerSecond)
{
    const double bits = std::trunc(bitsPerSecond);
    double value = 0.0;
    switch (dataFormat) {
    case FNWDataFormatMbps:
        value = bits / 1e6;
        break;
    case FNWDataFormatKbps:
        value = bits / 1e3;
        break;
    case FNWDataFormatMBps:
        value = bits / 8.0 / 1e6;
        break;
    default:
        value = bits / 8.0 / 1e3;
        break;
    }
    return std::round(value * 100.0) / 100.0;
}

double leadingNumber(const QString& text)
{
    bool ok = false;
    const double value = text.section(QLatin1Char(' '), 0, 0).toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace

namespace FNWGraphRules {

Series seriesFor(const FNWTestRunParts& test, const Results& newestFirst, qint64 graphDataFormat)
{
    Series series;
    const auto count = static_cast<int>(newestFirst.size());
    if (count == 0)
        return series;
    series.points.reserve(static_cast<size_t>(count));
    const double interval = test.preset ? static_cast<double>(test.preset->time_interval) : 0.0;
    const double duration = test.execution ? static_cast<double>(test.execution->execution_duration()) : 0.0;
    const bool origin = test.preset && interval >= duration;
    series.points.emplace_back(0.0, 0.0);
    series.present.push_back(origin);
    series.resultIndex.push_back(-1);
    for (int record = 1; record < count; ++record) {
        const int index = count - record;
        const TestIntervalResults& result = *newestFirst[static_cast<size_t>(index)];
        series.points.emplace_back(leadingNumber(result.end_time), speedInUnit(graphDataFormat, result.speed));
        series.present.push_back(true);
        series.resultIndex.push_back(index);
    }
    return series;
}

qint64 tickInterval(qint64 range)
{
    if (range < 31)
        return 1;
    for (qint64 k = 1; k < range; ++k) {
        if (range / k < 31 && range % k < 2)
            return k;
    }
    return std::max<qint64>(1, range - 1);
}

Ranges rangesFor(const std::vector<FNWTestRunParts>& tests, const std::vector<Results>& results, qint64 graphDataFormat)
{
    Ranges ranges;
    if (tests.empty())
        return ranges;
    qint64 longest = 0;
    double fastest = -1.0;
    for (size_t index = 0; index < tests.size(); ++index) {
        if (const auto& execution = tests[index].execution) {
            longest = std::max(longest, execution->execution_duration());
            fastest = std::max(fastest, static_cast<double>(execution->averageSpeed()));
        }
        if (index < results.size()) {
            for (const auto& result : results[index])
                fastest = std::max(fastest, static_cast<double>(result->speed));
        }
    }
    // A run that reported no duration (it failed, or has no results) still gets a time axis.
    ranges.xLength = longest > 0 ? longest : 60;
    ranges.xTick = tickInterval(ranges.xLength);
    if (fastest < 0.0)
        return ranges;
    const auto v = static_cast<qint64>(std::llround(speedInUnit(graphDataFormat, fastest)));
    const qint64 y = v + v / 4;
    ranges.yLength = y <= 9 ? 10 : y;
    return ranges;
}

QString axisTitle(qint64 dataFormat)
{
    switch (dataFormat) {
    case FNWDataFormatMbps:
        return QStringLiteral("Mbps");
    case FNWDataFormatKbps:
        return QStringLiteral("kbps");
    case FNWDataFormatMBps:
        return QStringLiteral("MBps");
    default:
        return QStringLiteral("KBps");
    }
}

bool rotatesLabels(qint64 dataFormat)
{
    return dataFormat != FNWDataFormatMbps && dataFormat != FNWDataFormatMBps;
}

static QString legendLabelText(const FNWTestRunParts& test, int tag);

QString legendLabel(const FNWTestRunParts& test, int tag)
{
    return FNWUtils::shownText(legendLabelText(test, tag));
}

static QString legendLabelText(const FNWTestRunParts& test, int tag)
{
    const TestExecutionBean* execution = test.execution.get();
    const qint64 format = FNWResultTexts::dataFormatOf(test);
    switch (tag) {
    case 1:
        return FNWResultTexts::settingsLine(test, 0);
    case 2:
        return execution ? FNWUtils::formatBitsToSpeedFormat(format, execution->averageSpeed()) : QString();
    case 3:
        return execution ? FNWUtils::formatBytesToDataSizeFormat(format, execution->dataTransfered()) : QString();
    case 4:
        return FNWResultTexts::settingsLine(test, 1);
    case 5:
        return FNWResultTexts::settingsLine(test, 3);
    case 6:
        return FNWResultTexts::settingsLine(test, 4);
    case 7:
        return FNWResultTexts::settingsLine(test, 5);
    case 8:
        return FNWResultTexts::settingsLine(test, 7);
    case 9:
        return FNWResultTexts::settingsLine(test, 8);
    case 10:
        return FNWResultTexts::settingsLine(test, 9);
    case 11:
        return FNWResultTexts::settingsLine(test, 10);
    case 12:
        return FNWResultTexts::settingsLine(test, 12);
    case 13:
        return FNWResultTexts::settingsLine(test, 13);
    case 14:
        return FNWResultTexts::settingsLine(test, 14);
    default:
        return QString();
    }
}

Summary summaryFor(const FNWTestRunParts& test)
{
    Summary summary;
    summary.testName = FNWUtils::shownText(test.test ? test.test->testName : missing(), kPopupTextLimit);
    summary.serverName = FNWUtils::shownText(test.agent ? test.agent->agent_name : missing(), kPopupTextLimit);
    if (const auto& execution = test.execution) {
        summary.ssid = execution->ssid;
        summary.throughput =
            FNWUtils::formatBitsToSpeedFormat(FNWResultTexts::dataFormatOf(test), execution->averageSpeed());
    }
    if (test.preset)
        summary.duration = test.preset->duration == -1 ? FNWStringWithFormat("%ld MB", test.preset->number_of_byte)
                                                       : FNWStringWithFormat("%ld s", test.preset->duration);
    const QString address = test.agent ? test.agent->ip_address : missing();
    summary.direction = test.preset && test.preset->direction != 0
                            ? FNWStringWithFormat("%@ to\n this computer", address)
                            : FNWStringWithFormat("This computer to\n%@", address);
    return summary;
}

IntervalTexts intervalFor(const FNWTestRunParts& test, const TestIntervalResults& result)
{
    const qint64 format = FNWResultTexts::dataFormatOf(test);
    return {FNWUtils::shownText(test.test ? test.test->testName : missing(), kPopupTextLimit),
            result.start_time + FNWStringWithFormat(" - %@", result.end_time),
            FNWUtils::formatBytesToDataSizeFormat(format, static_cast<qint64>(std::trunc(result.data_transfered))),
            FNWUtils::formatBitsToSpeedFormat(format, static_cast<qint64>(std::trunc(result.speed)))};
}

QPointF popupOrigin(const QPointF& pointer, const QSizeF& popup, const QSizeF& host)
{
    double x = pointer.x();
    double y = pointer.y();
    if (popup.width() >= host.width() - x)
        x -= popup.width() + 20.0;
    if (popup.height() >= host.height() - y)
        y -= popup.height() + 20.0;
    // Inside the host also where it is smaller than pop-up and gap.
    return {std::clamp(x, 0.0, std::max(0.0, host.width() - popup.width())),
            std::clamp(y, 0.0, std::max(0.0, host.height() - popup.height()))};
}

std::vector<QPointF> reducedForDrawing(const std::vector<QPointF>& points, double xLength, int pixelColumns)
{
    if (pixelColumns <= 0 || xLength <= 0.0 || static_cast<int>(points.size()) <= 4 * pixelColumns)
        return points;
    std::vector<QPointF> reduced;
    reduced.reserve(static_cast<size_t>(4 * pixelColumns + 4));
    size_t start = 0;
    while (start < points.size()) {
        const auto column = static_cast<long long>(std::floor(points[start].x() / xLength * pixelColumns));
        size_t end = start;
        size_t lowest = start;
        size_t highest = start;
        while (end < points.size() &&
               static_cast<long long>(std::floor(points[end].x() / xLength * pixelColumns)) == column) {
            if (points[end].y() < points[lowest].y())
                lowest = end;
            if (points[end].y() > points[highest].y())
                highest = end;
            ++end;
        }
        size_t kept[] = {start, std::min(lowest, highest), std::max(lowest, highest), end - 1};
        size_t last = std::numeric_limits<size_t>::max();
        for (size_t index : kept) {
            if (index != last)
                reduced.push_back(points[index]);
            last = index;
        }
        start = end;
    }
    return reduced;
}

} // namespace FNWGraphRules

void FNWGraphTracker::setGeometry(const QRectF& plotArea, double xLength, double yLength, const QSizeF& host)
{
    m_plotArea = plotArea;
    m_xLength = xLength > 0.0 ? xLength : 1.0;
    m_yLength = yLength > 0.0 ? yLength : 1.0;
    m_host = host;
}

void FNWGraphTracker::setPlots(std::vector<const FNWGraphRules::Series*> plots)
{
    m_plots = std::move(plots);
    mouseExited();
    m_visibleIndex = 0;
}

void FNWGraphTracker::setPopupSizes(const QSizeF& summary, const QSizeF& interval)
{
    m_summarySize = summary;
    m_intervalSize = interval;
}

QPointF FNWGraphTracker::toPlotArea(const QPointF& plotPoint) const
{
    return {plotPoint.x() / m_xLength * m_plotArea.width(), plotPoint.y() / m_yLength * m_plotArea.height()};
}

int FNWGraphTracker::nearestRecord(const FNWGraphRules::Series& series, const QPointF& q, double* distance) const
{
    const auto& points = series.points;
    if (points.empty())
        return -1;
    const double scaleX = m_plotArea.width() / m_xLength;
    // The records are in time order; the search starts where the pointer's time would be.
    const auto start = std::lower_bound(points.begin() + 1, points.end(), q.x() / scaleX,
                                        [](const QPointF& point, double x) { return point.x() < x; });
    const auto startIndex = static_cast<long>(start - points.begin());
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    const auto consider = [&](long index) {
        if (!series.present[static_cast<size_t>(index)])
            return;
        const QPointF screen = toPlotArea(points[static_cast<size_t>(index)]);
        const double d = std::hypot(q.x() - screen.x(), q.y() - screen.y());
        if (d < bestDistance || (d == bestDistance && index < best)) {
            bestDistance = d;
            best = static_cast<int>(index);
        }
    };
    for (long index = startIndex; index < static_cast<long>(points.size()); ++index) {
        if (toPlotArea(points[static_cast<size_t>(index)]).x() - q.x() > bestDistance)
            break;
        consider(index);
    }
    for (long index = startIndex - 1; index >= 1; --index) {
        if (q.x() - toPlotArea(points[static_cast<size_t>(index)]).x() > bestDistance)
            break;
        consider(index);
    }
    consider(0);
    if (distance)
        *distance = bestDistance;
    return best;
}

FNWGraphTracker::Nearest FNWGraphTracker::nearest(const QPointF& plotAreaPoint) const
{
    Nearest found;
    for (size_t plot = 0; plot < m_plots.size(); ++plot) {
        if (!m_plots[plot])
            continue;
        double d = 0.0;
        const int record = nearestRecord(*m_plots[plot], plotAreaPoint, &d);
        if (record >= 0 && (found.plot < 0 || d < found.distance)) {
            found = {static_cast<int>(plot), record, d};
        }
    }
    return found;
}

bool FNWGraphTracker::mouseMoved(const QPointF& pointer)
{
    const QPointF q(pointer.x() - m_plotArea.left(), m_plotArea.bottom() - pointer.y());
    if (q.x() < 0.0 || q.y() < 0.0 || q.x() > m_plotArea.width() || q.y() > m_plotArea.height()) {
        const bool changed = m_popup != Popup::None || m_highlighted >= 0;
        mouseExited();
        return changed;
    }
    const Nearest best = nearest(q);
    if (best.plot < 0)
        return false;
    const bool indexChanged = best.record != m_visibleIndex;
    m_visibleIndex = best.record;
    const Popup before = m_popup;
    const QPointF originBefore = m_popupOrigin;
    if (best.plot == m_highlighted) {
        const bool atOrigin = best.record == 0;
        if (best.distance <= 0.0 || best.distance >= kIntervalDistance || atOrigin) {
            if (m_popup == Popup::Summary || best.distance >= kFarDistance) {
                if (m_popup == Popup::Summary)
                    m_popupOrigin = FNWGraphRules::popupOrigin(pointer, m_summarySize, m_host);
            } else {
                m_popup = Popup::Summary;
                m_popupOrigin = FNWGraphRules::popupOrigin(pointer, m_summarySize, m_host);
            }
        } else if (!indexChanged && m_popup == Popup::Interval) {
            m_popupOrigin = FNWGraphRules::popupOrigin(pointer, m_intervalSize, m_host);
        } else {
            m_popup = Popup::Interval;
            m_popupOrigin = FNWGraphRules::popupOrigin(pointer, m_intervalSize, m_host);
        }
    } else {
        m_highlighted = best.plot;
        m_popup = Popup::Summary;
        m_popupOrigin = FNWGraphRules::popupOrigin(pointer, m_summarySize, m_host);
        return true;
    }
    return indexChanged || before != m_popup || originBefore != m_popupOrigin;
}

void FNWGraphTracker::mouseExited()
{
    m_popup = Popup::None;
    m_highlighted = -1;
}

std::optional<QPointF> FNWGraphTracker::marker() const
{
    if (m_popup != Popup::Interval || m_highlighted < 0 || m_highlighted >= static_cast<int>(m_plots.size()))
        return std::nullopt;
    const FNWGraphRules::Series* series = m_plots[static_cast<size_t>(m_highlighted)];
    if (!series || m_visibleIndex < 0 || m_visibleIndex >= static_cast<int>(series->points.size()))
        return std::nullopt;
    return series->points[static_cast<size_t>(m_visibleIndex)];
}
