#include "ui/FNWStartStopButton.h"

#include "ui/FNWArtwork.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

FNWStartStopButton::FNWStartStopButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setObjectName(QStringLiteral("startStopButton"));
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    setTag(OffersStart);
}

FNWStartStopButton::~FNWStartStopButton() = default;

void FNWStartStopButton::setTag(int tag)
{
    m_tag = tag == OffersStop ? OffersStop : OffersStart;
    const QString label = m_tag == OffersStop ? QStringLiteral("Stop") : QStringLiteral("Start");
    setText(label);
    setToolTip(label);
    setAccessibleName(label);
    update();
}

QString FNWStartStopButton::imageName() const
{
    return m_tag == OffersStop ? QStringLiteral("stop") : QStringLiteral("start");
}

QString FNWStartStopButton::alternateImageName() const
{
    return imageName() + QLatin1String("-selected");
}

QSize FNWStartStopButton::sizeHint() const
{
    return {30, 30};
}

void FNWStartStopButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colors = palette();
    QColor color = colors.color(QPalette::Active, QPalette::ButtonText);
    if (!isEnabled())
        color = colors.color(QPalette::Disabled, QPalette::ButtonText);
    else if (isDown() || underMouse())
        color = colors.color(QPalette::Active, QPalette::Highlight);

    const int side = std::min(width(), height()) - 4;
    const QRect artwork((width() - side) / 2, (height() - side) / 2, side, side);
    FNWArtwork::paint(&painter, artwork, isDown() ? alternateImageName() : imageName(), color);

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
