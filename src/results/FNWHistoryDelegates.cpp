#include "results/FNWHistoryDelegates.h"

#include "base/FNWUtils.h"
#include "results/IndividualTestHistoryView.h"
#include "results/ProfileResultsDetailedListView.h"
#include "ui/FNWArtwork.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTextMargin = 6;

// The line under a point of a cell split into `lines` equal bands, or -1.
int lineAt(const QRect& cell, int lines, int y)
{
    if (lines <= 0 || y < cell.top() || y > cell.bottom())
        return -1;
    const double band = double(cell.height()) / lines;
    return std::clamp(static_cast<int>((y - cell.top()) / band), 0, lines - 1);
}

QColor textColor(const QStyleOptionViewItem& option)
{
    return option.palette.color(option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text);
}

void paintBackground(QPainter* painter, const QStyleOptionViewItem& option)
{
    if (option.state & QStyle::State_Selected)
        painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
}

// The lines drawn in equal bands of the cell, each elided to the cell's width.
void paintLines(QPainter* painter, const QStyleOptionViewItem& option, const QStringList& lines, int bands)
{
    const QRect cell = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
    const double band = double(cell.height()) / std::max(1, bands);
    painter->setPen(textColor(option));
    painter->setFont(option.font);
    const QFontMetrics metrics(option.font);
    for (int line = 0; line < lines.size(); ++line) {
        const QRect rect(cell.left(), cell.top() + qRound(line * band), cell.width(), qRound(band));
        painter->drawText(rect, Qt::AlignVCenter | Qt::AlignLeft,
                          metrics.elidedText(FNWUtils::shownText(lines[line]), Qt::ElideRight, rect.width()));
    }
}

const char* buttonArtwork(int button)
{
    switch (button) {
    case IndividualTestHistoryView::RerunButton:
        return "rerun";
    case IndividualTestHistoryView::EmailButton:
        return "email";
    case IndividualTestHistoryView::DetailsButton:
        return "details";
    default:
        return "row-delete";
    }
}

const int kButtonOrder[] = {IndividualTestHistoryView::RerunButton, IndividualTestHistoryView::EmailButton,
                            IndividualTestHistoryView::DetailsButton, IndividualTestHistoryView::DeleteButton};

} // namespace

FNWHistoryRowDelegate::FNWHistoryRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

FNWHistoryRowDelegate::~FNWHistoryRowDelegate() = default;

QRect FNWHistoryRowDelegate::buttonRect(const QRect& cellRect, int buttons, int button)
{
    int slot = 0;
    for (int candidate : kButtonOrder) {
        if (!(buttons & candidate))
            continue;
        if (candidate == button) {
            const int top = cellRect.top() + std::min(4, std::max(0, (cellRect.height() - kButtonSize) / 2));
            return QRect(cellRect.left() + 4 + slot * (kButtonSize + 4), top, kButtonSize, kButtonSize);
        }
        ++slot;
    }
    return {};
}

int FNWHistoryRowDelegate::buttonAt(const QRect& cellRect, int buttons, const QPoint& point)
{
    for (int button : kButtonOrder) {
        if ((buttons & button) && buttonRect(cellRect, buttons, button).contains(point))
            return button;
    }
    return 0;
}

void FNWHistoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    paintBackground(painter, option);
    if (index.column() == IndividualTestHistoryView::Actions) {
        const int buttons = index.data(IndividualTestHistoryView::ButtonsRole).toInt();
        for (int button : kButtonOrder) {
            if (!(buttons & button))
                continue;
            const QColor color =
                button == IndividualTestHistoryView::DeleteButton ? QColor(208, 52, 44) : textColor(option);
            FNWArtwork::paint(painter, buttonRect(option.rect, buttons, button).adjusted(3, 3, -3, -3),
                              QString::fromLatin1(buttonArtwork(button)), color);
        }
    } else {
        const QStringList lines = index.data(IndividualTestHistoryView::LinesRole).toStringList();
        paintLines(painter, option, lines, static_cast<int>(lines.size()));
    }
    // A thin rule between runs.
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
}

QSize FNWHistoryRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize hint = index.data(Qt::SizeHintRole).toSize();
    const int width = index.column() == IndividualTestHistoryView::Actions
                          ? kActionsWidth
                          : QStyledItemDelegate::sizeHint(option, index).width();
    return QSize(width, std::max(1, hint.height()));
}

bool FNWHistoryRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                      const QModelIndex& index)
{
    if (!event || event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (index.column() == IndividualTestHistoryView::Actions) {
        static const char* const tips[] = {"Run this test again", "Save the interval results as CSV",
                                           "Show the results", "Delete this test run"};
        const int button =
            buttonAt(option.rect, index.data(IndividualTestHistoryView::ButtonsRole).toInt(), event->pos());
        const int slot = button == 0 ? -1 : static_cast<int>(std::log2(button));
        QToolTip::showText(event->globalPos(), slot < 0 ? QString() : tr(tips[slot]), view);
        return true;
    }
    const QStringList lines = index.data(IndividualTestHistoryView::LinesRole).toStringList();
    const int line = lineAt(option.rect, static_cast<int>(lines.size()), event->pos().y());
    QToolTip::showText(event->globalPos(), line < 0 ? QString() : FNWUtils::shownText(lines[line]), view);
    return true;
}

FNWResultDetailsDelegate::FNWResultDetailsDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

FNWResultDetailsDelegate::~FNWResultDetailsDelegate() = default;

void FNWResultDetailsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    const auto* model = qobject_cast<const ProfileResultsDetailedListView*>(index.model());
    if (!model)
        return;
    painter->save();
    const int lines = model->innerRowCount(index.row());
    const QRect cell = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
    const double band = double(option.rect.height()) / std::max(1, lines);
    // Only the lines in the part of the row that is on screen.
    QRect visible = option.rect;
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget))
        visible &= view->viewport()->rect();
    const int first = std::max(0, static_cast<int>((visible.top() - option.rect.top()) / band));
    const int last = std::min(lines - 1, static_cast<int>(std::ceil((visible.bottom() - option.rect.top()) / band)));
    const QFontMetrics metrics(option.font);
    QFont titleFont = option.font;
    titleFont.setBold(true);
    for (int line = first; line <= last; ++line) {
        bool isTitle = false;
        const QString text = model->innerText(index.row(), index.column(), line, &isTitle);
        if (text.isEmpty())
            continue;
        const QRect rect(cell.left(), option.rect.top() + qRound(line * band), cell.width(), qRound(band));
        painter->setFont(isTitle ? titleFont : option.font);
        painter->setPen(option.palette.color(QPalette::Text));
        const QFontMetrics shown(painter->font());
        painter->drawText(rect, Qt::AlignVCenter | Qt::AlignLeft, shown.elidedText(FNWUtils::shownText(text), Qt::ElideRight, rect.width()));
    }
    if (model->isLoading() && index.column() == ProfileResultsDetailedListView::Interval) {
        painter->setPen(option.palette.color(QPalette::PlaceholderText));
        painter->drawText(cell.adjusted(0, 0, 0, -cell.height() + qRound(band)), Qt::AlignVCenter, tr("Loading…"));
    }
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    if (index.column() == ProfileResultsDetailedListView::Settings)
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
}

QSize FNWResultDetailsDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize hint = index.data(Qt::SizeHintRole).toSize();
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), std::max(1, hint.height()));
}

bool FNWResultDetailsDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                         const QModelIndex& index)
{
    const auto* model = qobject_cast<const ProfileResultsDetailedListView*>(index.model());
    if (!event || event->type() != QEvent::ToolTip || !model)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const int line = lineAt(option.rect, model->innerRowCount(index.row()), event->pos().y());
    QToolTip::showText(event->globalPos(), line < 0 ? QString() : FNWUtils::shownText(model->innerText(index.row(), index.column(), line)),
                       view);
    return true;
}
