#pragma once

#include <QStyledItemDelegate>

class QTimer;

// Draws one row of the home tab's lists from its model roles: the text (italic on request), a
// second line, the badge, the delete button in edit mode, the join controls and group blocks of
// the queue, and the run state indicator. It also says where those controls are.
class FNWListRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWListRowDelegate)

public:
    enum class Area { None, Delete, LinkNext, LinkPrevious, Status };

    explicit FNWListRowDelegate(QObject* parent = nullptr);
    ~FNWListRowDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    Area areaAt(const QRect& rowRect, const QModelIndex& index, const QPoint& point) const;

    // The spinner's phase; the table turns it while a row is running.
    void advanceSpinner() { m_spinnerPhase = (m_spinnerPhase + 1) % 12; }

    static QRect deleteRect(const QRect& rowRect);
    static QRect statusRect(const QRect& rowRect);
    static QRect linkNextRect(const QRect& rowRect);
    static QRect linkPreviousRect(const QRect& rowRect);

private:
    int m_spinnerPhase = 0;
};
