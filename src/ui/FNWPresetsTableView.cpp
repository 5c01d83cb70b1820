#include "ui/FNWPresetsTableView.h"

#include "base/FNWListRoles.h"
#include "ui/FNWListRowDelegate.h"

#include <QCursor>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QTimer>

#include <algorithm>

namespace {

// The rows draw their own selection and blocks; the style's row panels would paint over them.
class RowPanelFreeStyle final : public QProxyStyle
{
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_PanelItemViewRow || element == PE_PanelItemViewItem)
            return;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

// The arrow with a red "no" badge, shown while dragged rows would go to the trash.
QPixmap deleteCursor(qreal devicePixelRatio)
{
    const QSize size(26, 26);
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(1, 1);
    arrow.lineTo(1, 17);
    arrow.lineTo(5, 13.5);
    arrow.lineTo(8, 20);
    arrow.lineTo(10.5, 19);
    arrow.lineTo(7.5, 12.5);
    arrow.lineTo(12.5, 12.5);
    arrow.closeSubpath();
    painter.setPen(QPen(Qt::white, 1.2));
    painter.setBrush(Qt::black);
    painter.drawPath(arrow);
    const QRectF badge(13, 13, 12, 12);
    painter.setPen(QPen(Qt::white, 1.2));
    painter.setBrush(QColor(208, 52, 44));
    painter.drawEllipse(badge);
    painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(badge.left() + 3, badge.center().y()), QPointF(badge.right() - 3, badge.center().y()));
    return pixmap;
}

} // namespace

FNWPresetsTableView::FNWPresetsTableView(QWidget* parent)
    : QTableView(parent)
    , m_rowDelegate(new FNWListRowDelegate(this))
    , m_spinnerTimer(new QTimer(this))
{
    setItemDelegate(m_rowDelegate);
    auto* style = new RowPanelFreeStyle;
    style->setParent(this);
    setStyle(style);
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDragDropOverwriteMode(false);
    setDefaultDropAction(Qt::MoveAction);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    // Tab leaves the list for the next control instead of walking its rows.
    setTabKeyNavigation(false);

    // Turns the running indicators while any row runs.
    m_spinnerTimer->setInterval(90);
    connect(m_spinnerTimer, &QTimer::timeout, this, [this] {
        m_rowDelegate->advanceSpinner();
        viewport()->update();
    });
}

FNWPresetsTableView::~FNWPresetsTableView() = default;

void FNWPresetsTableView::setListModel(QAbstractItemModel* listModel)
{
    setModel(listModel);
    connect(listModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_rowsBeforeReset = selectedRowNumbers();
        m_isReloadedByPreservingSelection = true;
    });
    connect(listModel, &QAbstractItemModel::modelReset, this, [this] {
        applySelection(m_rowsBeforeReset);
        m_isReloadedByPreservingSelection = false;
    });
    const auto watchSpinner = [this] {
        bool running = false;
        for (int row = 0; row < model()->rowCount() && !running; ++row)
            running = model()->index(row, 0).data(FNWListRoles::ExecutionStatus).toInt() == 1;
        if (running && !m_spinnerTimer->isActive())
            m_spinnerTimer->start();
        else if (!running)
            m_spinnerTimer->stop();
    };
    connect(listModel, &QAbstractItemModel::dataChanged, this, watchSpinner);
    connect(listModel, &QAbstractItemModel::modelReset, this, watchSpinner);
    connect(listModel, &QAbstractItemModel::rowsRemoved, this, watchSpinner);
}

bool FNWPresetsTableView::isEditing() const
{
    return model() && model()->rowCount() > 0 && model()->index(0, 0).data(FNWListRoles::IsEditing).toBool();
}

void FNWPresetsTableView::applySelection(const QList<int>& rows)
{
    if (!model() || !selectionModel())
        return;
    m_applyingSelection = true;
    QItemSelection selection;
    for (int row : rows) {
        if (row >= 0 && row < model()->rowCount())
            selection.select(model()->index(row, 0), model()->index(row, model()->columnCount() - 1));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The focus ring stands on the selection, so the keyboard acts on the rows drawn selected.
    if (!selection.isEmpty() && !selectionModel()->isSelected(currentIndex()))
        selectionModel()->setCurrentIndex(selection.indexes().constFirst(), QItemSelectionModel::NoUpdate);
    m_applyingSelection = false;
    viewport()->update();
}

void FNWPresetsTableView::reloadDataWithPreservingSelection()
{
    m_isReloadedByPreservingSelection = true;
    const QList<int> rows = selectedRowNumbers();
    reset();
    applySelection(rows);
    m_isReloadedByPreservingSelection = false;
}

QList<int> FNWPresetsTableView::selectedRowNumbers() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

FNWPresetsTableView::RowControl FNWPresetsTableView::controlAt(const QPoint& viewportPoint, int* row) const
{
    const QModelIndex index = indexAt(viewportPoint);
    if (row)
        *row = index.isValid() ? index.row() : -1;
    if (!index.isValid())
        return RowControl::None;
    switch (m_rowDelegate->areaAt(visualRect(index), index, viewportPoint)) {
    case FNWListRowDelegate::Area::Delete:
        return RowControl::Delete;
    case FNWListRowDelegate::Area::LinkNext:
        return RowControl::LinkNext;
    case FNWListRowDelegate::Area::LinkPrevious:
        return RowControl::LinkPrevious;
    case FNWListRowDelegate::Area::Status:
        return RowControl::Status;
    case FNWListRowDelegate::Area::None:
        break;
    }
    return RowControl::None;
}

void FNWPresetsTableView::repaintTableCells()
{
    viewport()->update();
}

void FNWPresetsTableView::mousePressEvent(QMouseEvent* event)
{
    m_pressedRow = -1;
    m_pressedControl = RowControl::None;
    m_pressIgnored = false;
    // Shift extends the selection in edit mode only; elsewhere a click means one row.
    if (event->modifiers() & Qt::ShiftModifier && !isEditing()) {
        event->ignore();
        return;
    }
    m_dragged = false;
    int row = -1;
    const RowControl control = controlAt(event->position().toPoint(), &row);
    m_pressedRow = row;
    if (control != RowControl::None && event->button() == Qt::LeftButton) {
        m_pressedControl = control;
        event->accept();
        return;
    }
    if (row >= 0 && shouldSelectRow && !shouldSelectRow(row)) {
        m_pressIgnored = true;
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void FNWPresetsTableView::mouseReleaseEvent(QMouseEvent* event)
{
    int row = -1;
    const RowControl control = controlAt(event->position().toPoint(), &row);
    if (m_pressedControl != RowControl::None) {
        const RowControl pressed = m_pressedControl;
        m_pressedControl = RowControl::None;
        if (pressed == control && row == m_pressedRow && didClickedRowControl)
            didClickedRowControl(row, control);
        m_pressedRow = -1;
        return;
    }
    if (!m_pressIgnored)
        QTableView::mouseReleaseEvent(event);
    const int pressed = m_pressedRow;
    m_pressedRow = -1;
    m_pressIgnored = false;
    // Ctrl and Shift only change the selection.
    const bool selecting = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    if (!m_dragged && !selecting && pressed >= 0 && row == pressed && event->button() == Qt::LeftButton &&
        didClickedRow)
        didClickedRow(pressed);
}

void FNWPresetsTableView::mouseDoubleClickEvent(QMouseEvent* event)
{
    int row = -1;
    if (controlAt(event->position().toPoint(), &row) != RowControl::None)
        return;
    QTableView::mouseDoubleClickEvent(event);
    if (row >= 0 && didDoubleClickRow)
        didDoubleClickRow(row);
}

void FNWPresetsTableView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (deletePressed) {
            deletePressed();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Space:
        if (spacePressed && currentIndex().isValid()) {
            spacePressed(currentIndex().row());
            event->accept();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (enterPressed && currentIndex().isValid()) {
            enterPressed(currentIndex().row());
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

QDrag* FNWPresetsTableView::makeDrag()
{
    QModelIndexList indexes;
    QRect rowsRect;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        if (index.flags() & Qt::ItemIsDragEnabled) {
            indexes.append(index);
            rowsRect |= visualRect(index);
        }
    }
    if (indexes.isEmpty())
        return nullptr;
    QMimeData* data = model()->mimeData(indexes);
    if (!data)
        return nullptr;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const QRect visible = rowsRect & viewport()->rect();
    if (!visible.isEmpty()) {
        drag->setPixmap(viewport()->grab(visible));
        drag->setHotSpot(viewport()->mapFromGlobal(QCursor::pos()) - visible.topLeft());
    }
    drag->setDragCursor(deleteCursor(devicePixelRatioF()), kDeleteAction);
    return drag;
}

void FNWPresetsTableView::startDrag(Qt::DropActions supportedActions)
{
    m_dragged = true;
    // Rows move within their list (the model moves them itself) or go to the trash.
    if (QDrag* drag = makeDrag())
        drag->exec(supportedActions | kDeleteAction, Qt::MoveAction);
    if (dragDidEnd)
        dragDidEnd();
}

void FNWPresetsTableView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTableView::selectionChanged(selected, deselected);
    viewport()->update();
    if (!m_applyingSelection && !m_isReloadedByPreservingSelection && selectionDidChange)
        selectionDidChange(selectedRowNumbers());
}
