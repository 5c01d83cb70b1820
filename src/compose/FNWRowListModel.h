#pragma once

#include <QAbstractListModel>
#include <QString>

// What the home tab's lists share as table models: edit mode; rows dragged as their numbers joined
// by "," (under the list's own format, so no other list can drop them), moved within the list and
// nowhere else, a drop on a row going into the gap above it.
class FNWRowListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWRowListModel)

public:
    enum class Dragging { Always, OnlyWhileEditing };

    FNWRowListModel(const char* rowsMimeType, Dragging dragging, QObject* parent);
    ~FNWRowListModel() override;

    // Whether the first dragged row may move into the gap above dropRow, and the move itself.
    virtual bool canAcceptDropOfRows(const QString& pasteboard, int dropRow) const;
    virtual bool acceptDropOfRows(const QString& pasteboard, int dropRow) = 0;

    bool isEditing() const { return m_isEditing; }
    // A drag of this list's rows started and has not been dropped or clicked away.
    bool isDragging() const { return m_isDragging; }
    void setDragging(bool dragging) { m_isDragging = dragging; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override { return {m_rowsMimeType}; }
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

signals:
    void editModeChanged(bool editing);

protected:
    virtual int count() const = 0;
    void setEditing(bool editing);

    bool m_isEditing = false;
    mutable bool m_isDragging = false;

private:
    bool canDragRows() const;
    QString pasteboardOf(const QMimeData* data) const;

    const QString m_rowsMimeType;
    const Dragging m_dragging;
};
