#include "compose/FNWRowListModel.h"

#include "compose/FNWListRows.h"

#include <QMimeData>

#include <algorithm>

using namespace fnw::compose;

FNWRowListModel::FNWRowListModel(const char* rowsMimeType, Dragging dragging, QObject* parent)
    : QAbstractListModel(parent)
    , m_rowsMimeType(QString::fromLatin1(rowsMimeType))
    , m_dragging(dragging)
{
}

FNWRowListModel::~FNWRowListModel() = default;

bool FNWRowListModel::canAcceptDropOfRows(const QString& pasteboard, int dropRow) const
{
    const QList<int> rows = rowsFromPasteboardString(pasteboard);
    const int size = count();
    if (rows.isEmpty() || size == 1)
        return false;
    const int from = rows.first();
    return from >= 0 && from < size && from != dropRow && dropRow >= 0 && dropRow <= size;
}

int FNWRowListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

Qt::ItemFlags FNWRowListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (canDragRows())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QMimeData* FNWRowListModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty() || count() == 0 || !canDragRows())
        return nullptr;
    QList<int> rows;
    for (const QModelIndex& index : indexes) {
        if (!rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    const QString text = rowsToPasteboardString(rows);
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(m_rowsMimeType, text.toUtf8());
    m_isDragging = true;
    return data;
}

bool FNWRowListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                      const QModelIndex& parent) const
{
    if (!data || !data->hasFormat(m_rowsMimeType) || action != Qt::MoveAction)
        return false;
    return canAcceptDropOfRows(pasteboardOf(data), dropGap(row, parent.isValid() ? parent.row() : -1, count()));
}

bool FNWRowListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                   const QModelIndex& parent)
{
    m_isDragging = false;
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    return acceptDropOfRows(pasteboardOf(data), dropGap(row, parent.isValid() ? parent.row() : -1, count()));
}

QString FNWRowListModel::pasteboardOf(const QMimeData* data) const
{
    return QString::fromUtf8(data->data(m_rowsMimeType));
}

void FNWRowListModel::setEditing(bool editing)
{
    m_isEditing = editing;
    emit editModeChanged(editing);
}

bool FNWRowListModel::canDragRows() const
{
    return m_dragging == Dragging::Always || m_isEditing;
}
