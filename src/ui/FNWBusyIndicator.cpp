#include "ui/FNWBusyIndicator.h"

#include <QPainter>
#include <QTimerEvent>

#include <algorithm>

FNWBusyIndicator::FNWBusyIndicator(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("busyIndicator"));
    setAccessibleName(QStringLiteral("Busy"));
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

FNWBusyIndicator::~FNWBusyIndicator() = default;

QSize FNWBusyIndicator::sizeHint() const
{
    return {20, 20};
}

void FNWBusyIndicator::startAnimation()
{
    if (!m_timer.isActive())
        m_timer.start(kTickMs, Qt::PreciseTimer, this);
    show();
}

void FNWBusyIndicator::stopAnimation()
{
    m_timer.stop();
    hide();
}

void FNWBusyIndicator::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_step = (m_step + 1) % kSpokes;
    update();
}

void FNWBusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    const qreal outer = side / 2.0 - 1.0;
    const qreal inner = outer * 0.45;
    QPen pen(palette().color(QPalette::WindowText));
    pen.setWidthF(std::max<qreal>(1.5, side / 10.0));
    pen.setCapStyle(Qt::RoundCap);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int i = 0; i < kSpokes; ++i) {
        // The leading spoke is solid, the ones behind it fade out.
        const int behind = (m_step - i + kSpokes) % kSpokes;
        QColor color = pen.color();
        color.setAlphaF(std::max(0.15, 1.0 - behind / static_cast<double>(kSpokes)));
        pen.setColor(color);
        painter.setPen(pen);
        painter.save();
        painter.rotate(i * 360.0 / kSpokes);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer));
        painter.restore();
    }
}
