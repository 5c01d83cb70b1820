#pragma once

#include <QStyledItemDelegate>

// Draws a history row's cell: one line per executed test, elided with the whole line as its tool
// tip; in the last column the row's buttons (rerun, e-mail, details; delete in edit mode).
class FNWHistoryRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWHistoryRowDelegate)

public:
    explicit FNWHistoryRowDelegate(QObject* parent = nullptr);
    ~FNWHistoryRowDelegate() override;

    static constexpr int kButtonSize = 22;
    static constexpr int kActionsWidth = 3 * kButtonSize + 16;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The button of the actions cell under the point (IndividualTestHistoryView::Button), or 0.
    static int buttonAt(const QRect& cellRect, int buttons, const QPoint& point);
    static QRect buttonRect(const QRect& cellRect, int buttons, int button);
};

// Draws a detail-table row: one test's inner table, the settings panel in the first column and its
// interval results in the others, only the lines that are on screen (a day-long test has tens of
// thousands).
class FNWResultDetailsDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWResultDetailsDelegate)

public:
    explicit FNWResultDetailsDelegate(QObject* parent = nullptr);
    ~FNWResultDetailsDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};
