#include "ui/FNWListRowDelegate.h"

#include "base/FNWListRoles.h"
#include "base/FNWUtils.h"
#include "ui/FNWArtwork.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr int kControlSize = 18;
constexpr int kLinkWidth = 16;
constexpr int kLinkHeight = 8;
constexpr int kLinkColumn = 26;

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

// The selected row's text colour: a clear blue on both palettes.
QColor selectedTextColor(const QPalette& palette)
{
    return isDark(palette) ? QColor(110, 182, 236) : QColor(82, 160, 220);
}

QColor finishedColor(const QPalette& palette)
{
    return isDark(palette) ? QColor(92, 200, 120) : QColor(36, 148, 72);
}

QColor failedColor(const QPalette& palette)
{
    return isDark(palette) ? QColor(255, 105, 97) : QColor(208, 52, 44);
}

QColor subtitleColor(const QPalette& palette)
{
    return isDark(palette) ? QColor(255, 167, 38) : QColor(204, 102, 0);
}

bool rowHasLinks(const QModelIndex& index)
{
    return index.data(FNWListRoles::ShowsLinkControls).isValid();
}

} // namespace

FNWListRowDelegate::FNWListRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

FNWListRowDelegate::~FNWListRowDelegate() = default;

QRect FNWListRowDelegate::statusRect(const QRect& rowRect)
{
    return {rowRect.right() - kControlSize - 8, rowRect.center().y() - kControlSize / 2 + 1, kControlSize,
            kControlSize};
}

QRect FNWListRowDelegate::deleteRect(const QRect& rowRect)
{
    return statusRect(rowRect);
}

QRect FNWListRowDelegate::linkPreviousRect(const QRect& rowRect)
{
    return {rowRect.left() + 5, rowRect.top() + 1, kLinkWidth, kLinkHeight};
}

QRect FNWListRowDelegate::linkNextRect(const QRect& rowRect)
{
    return {rowRect.left() + 5, rowRect.bottom() - kLinkHeight, kLinkWidth, kLinkHeight};
}

QSize FNWListRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int line = option.fontMetrics.height();
    const bool twoLines = !index.data(FNWListRoles::Subtitle).toString().isEmpty();
    const int height = twoLines ? 2 * line + 14 : std::max(line + 16, rowHasLinks(index) ? 36 : 30);
    return {option.rect.width(), height};
}

FNWListRowDelegate::Area FNWListRowDelegate::areaAt(const QRect& rowRect, const QModelIndex& index,
                                                    const QPoint& point) const
{
    if (index.data(FNWListRoles::ShowsDeleteButton).toBool()) {
        if (deleteRect(rowRect).adjusted(-3, -3, 3, 3).contains(point))
            return Area::Delete;
    } else if (index.data(FNWListRoles::ExecutionStatus).toInt() > 0 &&
               statusRect(rowRect).adjusted(-3, -3, 3, 3).contains(point)) {
        return Area::Status;
    }
    if (rowHasLinks(index) && index.data(FNWListRoles::ShowsLinkControls).toBool()) {
        const int count = index.model()->rowCount();
        if (index.row() > 0 && linkPreviousRect(rowRect).adjusted(-3, -2, 3, 2).contains(point))
            return Area::LinkPrevious;
        if (index.row() + 1 < count && linkNextRect(rowRect).adjusted(-3, -2, 3, 2).contains(point))
            return Area::LinkNext;
    }
    return Area::None;
}

void FNWListRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QPalette& palette = option.palette;
    const QRect row = option.rect;
    const bool editing = index.data(FNWListRoles::IsEditing).toBool();
    const bool selected = option.state & QStyle::State_Selected;
    const bool links = rowHasLinks(index);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    // Tests of one order are drawn as one block.
    int textLeft = row.left() + 10;
    if (links) {
        const bool previous = index.data(FNWListRoles::LinkedToPrevious).toBool();
        const bool next = index.data(FNWListRoles::LinkedToNext).toBool();
        const QRectF block = QRectF(row).adjusted(kLinkColumn - 2, previous ? 0 : 3, -3, next ? 0 : -3);
        QPainterPath path;
        const qreal radius = 6;
        path.moveTo(block.left(), block.top() + (previous ? 0 : radius));
        if (previous) {
            path.lineTo(block.topLeft());
            path.lineTo(block.topRight());
        } else {
            path.arcTo(QRectF(block.topLeft(), QSizeF(2 * radius, 2 * radius)), 180, -90);
            path.arcTo(QRectF(block.right() - 2 * radius, block.top(), 2 * radius, 2 * radius), 90, -90);
        }
        if (next) {
            path.lineTo(block.bottomRight());
            path.lineTo(block.bottomLeft());
        } else {
            path.arcTo(QRectF(block.right() - 2 * radius, block.bottom() - 2 * radius, 2 * radius, 2 * radius), 0, -90);
            path.arcTo(QRectF(block.left(), block.bottom() - 2 * radius, 2 * radius, 2 * radius), 270, -90);
        }
        path.closeSubpath();
        QColor fill = palette.color(QPalette::AlternateBase);
        if (fill == palette.color(QPalette::Base))
            fill = isDark(palette) ? fill.lighter(130) : fill.darker(106);
        painter->fillPath(path, fill);
        if (previous || next) {
            QColor bar = palette.color(QPalette::Highlight);
            painter->fillRect(QRectF(block.left(), block.top() + (previous ? 0 : 4), 3,
                                     block.height() - (previous ? 0 : 4) - (next ? 0 : 4)),
                              bar);
        }
        textLeft = row.left() + kLinkColumn + 8;

        if (index.data(FNWListRoles::ShowsLinkControls).toBool()) {
            const QColor linked = palette.color(QPalette::Highlight);
            const QColor loose = palette.color(QPalette::PlaceholderText);
            const int count = index.model()->rowCount();
            if (index.row() > 0)
                FNWArtwork::paint(painter, linkPreviousRect(row),
                                  previous ? QStringLiteral("link-previous-filled") : QStringLiteral("link-previous"),
                                  previous ? linked : loose);
            if (index.row() + 1 < count)
                FNWArtwork::paint(painter, linkNextRect(row),
                                  next ? QStringLiteral("link-next-filled") : QStringLiteral("link-next"),
                                  next ? linked : loose);
        }
    }

    QColor textColor = palette.color(QPalette::Text);
    if (selected) {
        QColor band = palette.color(QPalette::Highlight);
        band.setAlphaF(isDark(palette) ? 0.30f : 0.16f);
        painter->setPen(Qt::NoPen);
        painter->setBrush(band);
        painter->drawRoundedRect(QRectF(row).adjusted(links ? kLinkColumn - 2 : 3, 2, -3, -2), 5, 5);
        textColor = selectedTextColor(palette);
    }
    if (editing && option.state & QStyle::State_HasFocus) {
        // In edit mode the keyboard's row is outlined, selected or not.
        painter->setPen(QPen(palette.color(QPalette::Highlight), 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(row).adjusted(3.5, 2.5, -3.5, -2.5), 5, 5);
    }

    int textRight = row.right() - 8;
    // Run state, or the delete button in edit mode.
    if (index.data(FNWListRoles::ShowsDeleteButton).toBool()) {
        FNWArtwork::paint(painter, deleteRect(row), QStringLiteral("row-delete"), failedColor(palette));
        textRight = deleteRect(row).left() - 6;
    } else {
        const int status = index.data(FNWListRoles::ExecutionStatus).toInt();
        const QRect statusArea = statusRect(row);
        if (status == 1) {
            const QPointF centre = QRectF(statusArea).center();
            for (int spoke = 0; spoke < 12; ++spoke) {
                const int age = (spoke - m_spinnerPhase + 12) % 12;
                QColor colour = palette.color(QPalette::Text);
                colour.setAlphaF(std::min(1.0f, 0.15f + 0.85f * static_cast<float>(12 - age) / 12.0f));
                const double angle = spoke * M_PI / 6.0;
                const QPointF direction(std::sin(angle), -std::cos(angle));
                painter->setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap));
                painter->drawLine(centre + direction * 4.0, centre + direction * 8.0);
            }
        } else if (status == 2) {
            FNWArtwork::paint(painter, statusArea, QStringLiteral("test-completed-tick"), finishedColor(palette));
        } else if (status == 3) {
            FNWArtwork::paint(painter, statusArea, QStringLiteral("test-failed"), failedColor(palette));
        }
        if (status > 0)
            textRight = statusArea.left() - 6;
    }

    const int badge = index.data(FNWListRoles::Badge).toInt();
    if (badge > 0) {
        QFont badgeFont = option.font;
        badgeFont.setBold(true);
        badgeFont.setPointSizeF(std::max(7.0, badgeFont.pointSizeF() * 0.85));
        const QFontMetrics metrics(badgeFont);
        const QString text = QString::number(badge);
        const int width = std::max(20, metrics.horizontalAdvance(text) + 12);
        const QRect pill(textRight - width, row.center().y() - 9, width, 18);
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette.color(QPalette::Highlight));
        painter->drawRoundedRect(pill, 9, 9);
        painter->setFont(badgeFont);
        painter->setPen(palette.color(QPalette::HighlightedText));
        painter->drawText(pill, Qt::AlignCenter, text);
        textRight = pill.left() - 6;
    }

    QFont font = option.font;
    if (index.data(FNWListRoles::IsItalic).toBool())
        font.setItalic(true);
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const QString title = FNWUtils::shownText(index.data(Qt::DisplayRole).toString());
    const QString subtitle = FNWUtils::shownText(index.data(FNWListRoles::Subtitle).toString());
    const int width = std::max(0, textRight - textLeft);
    painter->setPen(textColor);
    if (subtitle.isEmpty()) {
        painter->drawText(QRect(textLeft, row.top(), width, row.height()), Qt::AlignVCenter | Qt::AlignLeft,
                          metrics.elidedText(title, Qt::ElideRight, width));
    } else {
        const int half = row.height() / 2;
        painter->drawText(QRect(textLeft, row.top() + 2, width, half - 1), Qt::AlignBottom | Qt::AlignLeft,
                          metrics.elidedText(title, Qt::ElideRight, width));
        QFont small = option.font;
        small.setPointSizeF(std::max(7.0, small.pointSizeF() * 0.88));
        painter->setFont(small);
        painter->setPen(subtitleColor(palette));
        painter->drawText(QRect(textLeft, row.top() + half + 1, width, half - 3), Qt::AlignTop | Qt::AlignLeft,
                          QFontMetrics(small).elidedText(subtitle, Qt::ElideRight, width));
    }
    painter->restore();
}
