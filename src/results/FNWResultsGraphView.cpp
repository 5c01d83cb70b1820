#include "results/FNWResultsGraphView.h"

#include "base/FNWNotifications.h"
#include "base/FNWUtils.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "results/FNWGraphChartView.h"
#include "support/DDLog.h"
#include "support/FNWFormat.h"
#include "ui/FNWSavePanel.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QDrag>
#include <QFrame>
#include <QGraphicsRectItem>
#include <QGridLayout>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <QUuid>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <exception>

namespace {

const QColor kLineColor(85, 157, 217);
const QColor kHighlightColor(255, 165, 0);
constexpr double kLineWidth = 3.0;
constexpr double kHighlightWidth = 4.5;
constexpr double kUnhighlightWidth = 3.5;

// The graph's gray, for axes, grid and titles.
QColor gray()
{
    return QColor::fromRgbF(0.5, 0.5, 0.5);
}

QFrame* popup(QWidget* parent, int fields, std::vector<QLabel*>& labels)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(1);
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Base);
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(2);
    for (int field = 0; field < fields; ++field) {
        auto* label = new QLabel(frame);
        if (field == 0) {
            QFont font = label->font();
            font.setBold(true);
            label->setFont(font);
        }
        layout->addWidget(label);
        labels.push_back(label);
    }
    frame->hide();
    return frame;
}

// A step of 1, 2 or 5 times a power of ten giving at most eight labels.
double roundStep(double length)
{
    double step = 1.0;
    while (length / step > 8.0) {
        for (const double factor : {2.0, 2.5, 2.0}) {
            step *= factor;
            if (length / step <= 8.0)
                break;
        }
    }
    return step;
}

const char* const kLegendCaptions[] = {"",      "Average", "Total",   "Date",        "Source",       "SSID",
                                       "BSSID", "Server",  "Address", "Target SSID", "Target BSSID", "Direction",
                                       "Type",  "Amount"};

} // namespace

FNWGraphChartView::FNWGraphChartView(QChart* chart, QWidget* parent)
    : QChartView(chart, parent)
{
    setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing);
}

FNWGraphChartView::~FNWGraphChartView() = default;

void FNWGraphChartView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF position = event->position();
    if (m_pressing && (position - m_pressed).manhattanLength() >= QApplication::startDragDistance()) {
        m_pressing = false;
        if (dragStarted)
            dragStarted(position);
        return;
    }
    if (pointerMoved)
        pointerMoved(position);
}

void FNWGraphChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressing = true;
        m_pressed = event->position();
    }
    event->accept();
}

void FNWGraphChartView::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressing = false;
    event->accept();
}

void FNWGraphChartView::leaveEvent(QEvent* event)
{
    QChartView::leaveEvent(event);
    if (pointerLeft)
        pointerLeft();
}

void FNWGraphChartView::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    if (resized)
        resized();
}

FNWResultsGraphView::FNWResultsGraphView(ProfileResultsDetailedListView* results, QWidget* parent)
    : QWidget(parent)
    , m_results(results)
    , m_scroll(new QScrollArea(this))
    , m_content(new QWidget)
    , m_chart(new QChart)
    , m_legend(new QWidget(m_content))
{
    setObjectName(QStringLiteral("profileResultsGraphView"));
    m_chartView = new FNWGraphChartView(m_chart, m_content);
    m_chartView->setObjectName(QStringLiteral("graphHostingView"));
    m_chart->legend()->hide();
    m_chart->setBackgroundRoundness(0);
    m_chart->setMargins(QMargins(3, 15, 15, 3));
    m_summaryPopup = popup(m_chartView, 6, m_summaryFields);
    m_summaryPopup->setObjectName(QStringLiteral("hoverView"));
    m_intervalPopup = popup(m_chartView, 4, m_intervalFields);
    m_intervalPopup->setObjectName(QStringLiteral("intervalView"));

    auto* contentLayout = new QVBoxLayout(m_content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    contentLayout->addWidget(m_chartView, 1);
    contentLayout->addWidget(m_legend);
    m_scroll->setWidget(m_content);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);

    m_chartView->pointerMoved = [this](const QPointF& position) { pointerMoved(position); };
    m_chartView->pointerLeft = [this] { pointerLeft(); };
    m_chartView->dragStarted = [this](const QPointF& position) { dragStarted(position); };
    m_chartView->resized = [this] { updateGeometry(); };
    connect(m_results, &ProfileResultsDetailedListView::loadingChanged, this, [this](bool loading) {
        if (!loading && m_run.run && m_run.run == m_results->testProfileToShowDetails().run)
            rebuild();
    });
    // The grid follows its setting, also while a graph shows.
    m_gridObserver = FNWNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(FNWUserSettingDidChangeNotification), [this](const FNWNotification& notification) {
            if (notification.userInfo.value(QString::fromLatin1(kSettingKeyKey)).toString() ==
                QLatin1String("showGridLinesOnGraph"))
                QMetaObject::invokeMethod(this, &FNWResultsGraphView::applyGrid, Qt::QueuedConnection);
        });
}

FNWResultsGraphView::~FNWResultsGraphView() = default;

void FNWResultsGraphView::showGraphForProfileExecution(const FNWHistoryRun& run)
{
    m_run = run;
    rebuild();
}

void FNWResultsGraphView::rebuild()
{
    try {
        buildChart();
        buildLegend();
    } catch (const std::exception& exception) {
        DDLogError("Got excption while loding graph %@", QString::fromUtf8(exception.what()));
    }
}

void FNWResultsGraphView::buildChart()
{
    pointerLeft();
    m_chart->removeAllSeries();
    m_lines.clear();
    for (QAbstractAxis* axis : m_chart->axes())
        m_chart->removeAxis(axis);
    m_series.clear();
    m_drawnColumns = 0;
    m_shownHighlight = -1;
    const std::vector<FNWTestRunParts>& tests = m_run.tests;
    m_dataFormat = tests.empty() ? 0 : FNWResultTexts::dataFormatOf(tests.front());
    // The results are read with the detail table's; while they load the graph shows its axes.
    const bool haveResults = !m_results->isLoading() && m_results->testProfileToShowDetails().run == m_run.run;
    std::vector<FNWGraphRules::Results> results(tests.size());
    if (haveResults) {
        for (size_t test = 0; test < tests.size(); ++test)
            results[test] = m_results->resultsOf(static_cast<int>(test));
    }
    m_ranges = FNWGraphRules::rangesFor(tests, results, m_dataFormat);
    for (size_t test = 0; test < tests.size(); ++test)
        m_series.push_back(FNWGraphRules::seriesFor(tests[test], results[test], m_dataFormat));

    const QPalette colours = palette();
    m_chart->setBackgroundBrush(colours.brush(QPalette::Window));
    m_chart->setPlotAreaBackgroundBrush(colours.brush(QPalette::Base));
    m_chart->setPlotAreaBackgroundVisible(true);
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.1);
    m_xAxis = new QValueAxis;
    m_xAxis->setRange(0, static_cast<double>(m_ranges.xLength));
    m_xAxis->setTickType(QValueAxis::TicksDynamic);
    m_xAxis->setTickAnchor(0);
    m_xAxis->setTickInterval(static_cast<double>(m_ranges.xTick));
    m_xAxis->setLabelFormat(QStringLiteral("%d"));
    m_xAxis->setMinorTickCount(0);
    m_xAxis->setTitleText(QStringLiteral("Time in Seconds"));
    m_yAxis = new QValueAxis;
    m_yAxis->setRange(0, static_cast<double>(m_ranges.yLength));
    // Labels on round figures, the range as the rules give it.
    m_yAxis->setTickType(QValueAxis::TicksDynamic);
    m_yAxis->setTickAnchor(0);
    m_yAxis->setTickInterval(roundStep(static_cast<double>(m_ranges.yLength)));
    m_yAxis->setLabelFormat(QStringLiteral("%d"));
    m_yAxis->setMinorTickCount(0);
    m_yAxis->setTitleText(FNWGraphRules::axisTitle(m_dataFormat));
    if (FNWGraphRules::rotatesLabels(m_dataFormat))
        m_yAxis->setLabelsAngle(-static_cast<int>(FNWGraphRules::kLabelRotationDegrees));
    for (QValueAxis* axis : {m_xAxis, m_yAxis}) {
        axis->setLinePen(QPen(gray(), 1.5));
        axis->setLabelsColor(gray());
        axis->setTitleBrush(gray());
        axis->setTitleFont(titleFont);
        axis->setGridLinePen(QPen(gray(), 0.5));
    }
    m_chart->addAxis(m_xAxis, Qt::AlignBottom);
    m_chart->addAxis(m_yAxis, Qt::AlignLeft);
    applyGrid();
    for (size_t test = 0; test < tests.size(); ++test) {
        auto* line = new QLineSeries;
        line->setName(QString::number(test));
        line->setPen(QPen(kLineColor, kLineWidth));
        m_chart->addSeries(line);
        line->attachAxis(m_xAxis);
        line->attachAxis(m_yAxis);
        m_lines.push_back(line);
    }
    if (!m_marker) {
        m_marker = new QGraphicsRectItem(-5, -5, 10, 10);
        m_marker->setBrush(kHighlightColor);
        m_marker->setPen(QPen(kHighlightColor, 2.0));
        m_marker->setZValue(10);
        m_chart->scene()->addItem(m_marker);
    }
    m_marker->hide();
    std::vector<const FNWGraphRules::Series*> plots;
    for (const FNWGraphRules::Series& series : m_series)
        plots.push_back(&series);
    m_tracker.setPlots(std::move(plots));
    updateGeometry();
}

void FNWResultsGraphView::buildLegend()
{
    delete m_legend->layout();
    qDeleteAll(m_legend->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    m_legendLabels.clear();
    auto* layout = new QVBoxLayout(m_legend);
    layout->setContentsMargins(15, 0, 15, 0);
    layout->setSpacing(0);
    for (const FNWTestRunParts& test : m_run.tests) {
        auto* block = new QFrame(m_legend);
        block->setFixedHeight(kLegendBlockHeight);
        block->setFrameShape(QFrame::NoFrame);
        auto* grid = new QGridLayout(block);
        grid->setContentsMargins(0, 8, 0, 8);
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(2);
        std::vector<QLabel*> labels;
        for (int tag = 1; tag <= FNWGraphRules::kLegendLabels; ++tag) {
            auto* value = new QLabel(FNWGraphRules::legendLabel(test, tag), block);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            labels.push_back(value);
            if (tag == 1) {
                QFont font = value->font();
                font.setBold(true);
                value->setFont(font);
                auto* swatch = new QFrame(block);
                swatch->setFixedSize(18, 4);
                swatch->setStyleSheet(QStringLiteral("background: %1;").arg(kLineColor.name()));
                grid->addWidget(swatch, 0, 0);
                grid->addWidget(value, 0, 1, 1, 7);
                continue;
            }
            const int slot = tag - 2;
            const int row = 1 + slot / 4;
            const int column = 1 + 2 * (slot % 4);
            auto* caption = new QLabel(QString::fromLatin1(kLegendCaptions[tag - 1]) + QLatin1Char(':'), block);
            caption->setForegroundRole(QPalette::PlaceholderText);
            grid->addWidget(caption, row, column, Qt::AlignLeft);
            grid->addWidget(value, row, column + 1, Qt::AlignLeft);
        }
        grid->setColumnStretch(9, 1);
        layout->addWidget(block);
        m_legendLabels.push_back(std::move(labels));
    }
    m_legend->setFixedHeight(kLegendBlockHeight * static_cast<int>(m_run.tests.size()));
    m_scroll->verticalScrollBar()->setValue(0);
}

QStringList FNWResultsGraphView::legendTexts(int test) const
{
    QStringList texts;
    if (test >= 0 && test < static_cast<int>(m_legendLabels.size())) {
        for (const QLabel* label : m_legendLabels[static_cast<size_t>(test)])
            texts << label->text();
    }
    return texts;
}

void FNWResultsGraphView::updateGeometry()
{
    const int tests = static_cast<int>(m_run.tests.size());
    // The plot keeps its room; the legend blocks below it scroll with it.
    m_chartView->setMinimumHeight(
        std::max(kMinimumPlotHeight, m_scroll->viewport()->height() - kLegendBlockHeight * tests));
    const QRectF plotArea = m_chart->plotArea();
    m_tracker.setGeometry(m_chartView->mapFromScene(plotArea).boundingRect(), static_cast<double>(m_ranges.xLength),
                          static_cast<double>(m_ranges.yLength), QSizeF(m_chartView->size()));
    m_tracker.setPopupSizes(m_summaryPopup->sizeHint(), m_intervalPopup->sizeHint());
    redrawLines();
}

void FNWResultsGraphView::redrawLines()
{
    const int columns = std::max(1, static_cast<int>(m_chart->plotArea().width()));
    if (columns == m_drawnColumns)
        return;
    m_drawnColumns = columns;
    for (size_t test = 0; test < m_lines.size() && test < m_series.size(); ++test) {
        const FNWGraphRules::Series& series = m_series[test];
        std::vector<QPointF> present;
        present.reserve(series.points.size());
        for (size_t record = 0; record < series.points.size(); ++record) {
            if (series.present[record])
                present.push_back(series.points[record]);
        }
        const std::vector<QPointF> drawn =
            FNWGraphRules::reducedForDrawing(present, static_cast<double>(m_ranges.xLength), columns);
        m_lines[test]->replace(QList<QPointF>(drawn.begin(), drawn.end()));
    }
}

void FNWResultsGraphView::applyGrid()
{
    const bool grid = FNWUtils::getUserSettingForKey(QStringLiteral("showGridLinesOnGraph")).toInt() != 0;
    for (QValueAxis* axis : {m_xAxis, m_yAxis}) {
        if (axis)
            axis->setGridLineVisible(grid);
    }
}

QPointF FNWResultsGraphView::positionOf(int plot, int record) const
{
    if (plot < 0 || plot >= static_cast<int>(m_series.size()) || record < 0 ||
        record >= static_cast<int>(m_series[static_cast<size_t>(plot)].points.size()))
        return {};
    const QPointF scene = m_chart->mapToPosition(
        m_series[static_cast<size_t>(plot)].points[static_cast<size_t>(record)], m_lines[static_cast<size_t>(plot)]);
    return m_chartView->mapFromScene(scene);
}

void FNWResultsGraphView::pointerMoved(const QPointF& position)
{
    if (m_tracker.mouseMoved(position))
        updateReadOut();
}

void FNWResultsGraphView::pointerLeft()
{
    m_tracker.mouseExited();
    updateReadOut();
}

void FNWResultsGraphView::removeCustomTrackingArea()
{
    pointerLeft();
}

void FNWResultsGraphView::updateReadOut()
{
    const int highlighted = m_tracker.highlightedPlot();
    if (highlighted != m_shownHighlight) {
        if (m_shownHighlight >= 0 && m_shownHighlight < static_cast<int>(m_lines.size()))
            m_lines[static_cast<size_t>(m_shownHighlight)]->setPen(QPen(kLineColor, kUnhighlightWidth));
        if (highlighted >= 0 && highlighted < static_cast<int>(m_lines.size()))
            m_lines[static_cast<size_t>(highlighted)]->setPen(QPen(kHighlightColor, kHighlightWidth));
        m_shownHighlight = highlighted;
    }
    const FNWGraphTracker::Popup shown = m_tracker.popup();
    if (shown == FNWGraphTracker::Popup::Summary && highlighted >= 0)
        fillSummaryPopup(highlighted);
    if (shown == FNWGraphTracker::Popup::Interval && highlighted >= 0)
        fillIntervalPopup(highlighted, m_tracker.visibleDataPointIndex());
    m_summaryPopup->setVisible(shown == FNWGraphTracker::Popup::Summary);
    m_intervalPopup->setVisible(shown == FNWGraphTracker::Popup::Interval);
    QFrame* visible = shown == FNWGraphTracker::Popup::Summary    ? m_summaryPopup
                      : shown == FNWGraphTracker::Popup::Interval ? m_intervalPopup
                                                                  : nullptr;
    if (visible) {
        visible->adjustSize();
        visible->move(m_tracker.popupOrigin().toPoint());
        visible->raise();
    }
    if (const std::optional<QPointF> marked = m_tracker.marker(); marked && highlighted >= 0) {
        m_marker->setPos(m_chart->mapToPosition(*marked, m_lines[static_cast<size_t>(highlighted)]));
        m_marker->show();
    } else if (m_marker) {
        m_marker->hide();
    }
}

void FNWResultsGraphView::fillSummaryPopup(int plot)
{
    const FNWGraphRules::Summary summary = FNWGraphRules::summaryFor(m_run.tests[static_cast<size_t>(plot)]);
    const QString texts[] = {summary.testName, summary.serverName, summary.ssid,
                             summary.duration, summary.throughput, summary.direction};
    for (size_t field = 0; field < m_summaryFields.size(); ++field)
        m_summaryFields[field]->setText(texts[field]);
}

void FNWResultsGraphView::fillIntervalPopup(int plot, int record)
{
    const FNWGraphRules::Series& series = m_series[static_cast<size_t>(plot)];
    if (record < 0 || record >= static_cast<int>(series.resultIndex.size()))
        return;
    const int resultIndex = series.resultIndex[static_cast<size_t>(record)];
    const FNWGraphRules::Results& results = m_results->resultsOf(plot);
    if (resultIndex < 0 || resultIndex >= static_cast<int>(results.size()))
        return;
    const FNWGraphRules::IntervalTexts texts =
        FNWGraphRules::intervalFor(m_run.tests[static_cast<size_t>(plot)], *results[static_cast<size_t>(resultIndex)]);
    const QString fields[] = {texts.testName, texts.interval, texts.size, texts.throughput};
    for (size_t field = 0; field < m_intervalFields.size(); ++field)
        m_intervalFields[field]->setText(fields[field]);
}

QByteArray FNWResultsGraphView::getGraphImageData()
{
    pointerLeft();
    const QPixmap picture = m_content->grab();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG", 100);
    return data;
}

QString FNWResultsGraphView::writeGraphToTemporaryFile()
{
    const QString name = FNWStringWithFormat("fnw_Graph_results_%@.png", FNWUtils::getCurrentDate());
    const QString folder = FNWUtils::temporaryDirectory() + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!QDir().mkpath(folder)) {
        DDLogError("CPTCustomGraphHostingView: unable to create temporary Dir :Error:%@", folder);
        return {};
    }
    const QString path = folder + QLatin1Char('/') + name;
    QSaveFile file(path);
    const QByteArray data = getGraphImageData();
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        DDLogError("CPTCustomGraphHostingView: unable to write Data at temporary Dir :Error1:%@", file.errorString());
        return {};
    }
    return path;
}

void FNWResultsGraphView::dragStarted(const QPointF& position)
{
    const QString path = writeGraphToTemporaryFile();
    if (path.isEmpty())
        return;
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    drag->setMimeData(data);
    const QPixmap picture(path);
    drag->setPixmap(picture.scaled(QSize(400, 200), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    drag->setHotSpot(QPoint(16, 16));
    (void)position;
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void FNWResultsGraphView::saveGraphAsPNG()
{
    const QString path = FNWSavePanel::presentSavePanelForPath(
        FNWStringWithFormat("fnw_Graph_results_%@.png", FNWUtils::getCurrentDate()), this);
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray data = getGraphImageData();
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        DDLogError("ProfileResultsGraphView: graph not saved at path-%@", path);
}
