#pragma once

#include <QList>
#include <QPoint>
#include <QTableView>

#include <functional>

class FNWListRowDelegate;
class QDrag;
class QTimer;

// The table of the home tab's lists: one column of rows drawn by FNWListRowDelegate over a list
// model. A click (press and release on one row, no drag) is reported as a click on the row; a
// press with Shift held is ignored. The rules' selection is applied without being reported back,
// and a model reset keeps the selection. Row controls (delete, links, status) report their own
// clicks.
class FNWPresetsTableView final : public QTableView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWPresetsTableView)

public:
    enum class RowControl { None, Delete, LinkNext, LinkPrevious, Status };

    explicit FNWPresetsTableView(QWidget* parent = nullptr);
    ~FNWPresetsTableView() override;

    void setListModel(QAbstractItemModel* model);
    FNWListRowDelegate* rowDelegate() const { return m_rowDelegate; }

    // The extended delegate.
    std::function<void(int row)> didClickedRow;
    std::function<void(int row)> didDoubleClickRow;
    std::function<bool(int row)> shouldSelectRow;
    std::function<void(const QList<int>& rows)> selectionDidChange;
    std::function<void(int row, RowControl control)> didClickedRowControl;
    std::function<void()> deletePressed;
    std::function<void(int row)> enterPressed;
    // Space on the current row; without a handler Space selects as usual.
    std::function<void(int row)> spacePressed;
    std::function<void()> dragDidEnd;

    // Selects exactly these rows without reporting the change.
    void applySelection(const QList<int>& rows);
    void reloadDataWithPreservingSelection();
    bool isReloadedByPreservingSelection() const { return m_isReloadedByPreservingSelection; }
    QList<int> selectedRowNumbers() const;
    // The control under a point of the viewport.
    RowControl controlAt(const QPoint& viewportPoint, int* row = nullptr) const;
    void repaintTableCells();
    // Whether the list is in edit mode (its rows say so).
    bool isEditing() const;

    // The drop action of the trash: the drag shows the delete cursor while it would take the rows.
    static constexpr Qt::DropAction kDeleteAction = Qt::LinkAction;
    // The drag of the selected rows (none when nothing may be dragged), not yet started.
    QDrag* makeDrag();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    FNWListRowDelegate* m_rowDelegate;
    bool m_isReloadedByPreservingSelection = false;
    QList<int> m_rowsBeforeReset;
    int m_pressedRow = -1;
    RowControl m_pressedControl = RowControl::None;
    bool m_dragged = false;
    bool m_pressIgnored = false;
    bool m_applyingSelection = false;
    QTimer* m_spinnerTimer;
};
