#include "ui/FNWSlideStackedWidget.h"

#include <QEasingCurve>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>

FNWSlideStackedWidget::FNWSlideStackedWidget(QWidget* parent)
    : QStackedWidget(parent)
{
    // Someone else switching pages mid-slide must not leave the old page on screen.
    connect(this, &QStackedWidget::currentChanged, this, [this] {
        if (!m_switching)
            finishAnimation();
    });
}

FNWSlideStackedWidget::~FNWSlideStackedWidget() = default;

void FNWSlideStackedWidget::slideAnimationFromRight(int index)
{
    slide(index, false);
}

void FNWSlideStackedWidget::slideAnimationFromLeft(int index)
{
    slide(index, true);
}

void FNWSlideStackedWidget::slideToIndex(int index)
{
    finishAnimation();
    if (index > currentIndex())
        slideAnimationFromLeft(index);
    else
        slideAnimationFromRight(index);
}

void FNWSlideStackedWidget::setCurrentIndexWithoutAnimation(int index)
{
    finishAnimation();
    if (index >= 0 && index < count())
        setCurrentIndex(index);
}

void FNWSlideStackedWidget::slide(int index, bool fromRightSide)
{
    if (index < 0 || index >= count())
        return;
    finishAnimation();
    QWidget* outgoing = currentWidget();
    QWidget* incoming = widget(index);
    if (incoming == outgoing)
        return;
    if (!outgoing || !isVisible()) {
        setCurrentIndex(index);
        return;
    }

    const QRect area = outgoing->geometry();
    const int offset = fromRightSide ? area.width() : -area.width();
    m_switching = true;
    setCurrentIndex(index);
    m_switching = false;
    // The layout hid the old page; it stays visible while it moves out.
    outgoing->show();
    incoming->setGeometry(area.translated(offset, 0));

    auto* group = new QParallelAnimationGroup(this);
    auto* in = new QPropertyAnimation(incoming, "pos", group);
    in->setDuration(kSlideDurationMs);
    in->setEasingCurve(QEasingCurve::OutCubic);
    in->setStartValue(area.topLeft() + QPoint(offset, 0));
    in->setEndValue(area.topLeft());
    auto* out = new QPropertyAnimation(outgoing, "pos", group);
    out->setDuration(kSlideDurationMs);
    out->setEasingCurve(QEasingCurve::OutCubic);
    out->setStartValue(area.topLeft());
    out->setEndValue(area.topLeft() - QPoint(offset, 0));
    connect(group, &QAbstractAnimation::finished, this, &FNWSlideStackedWidget::finishAnimation);

    m_animation = group;
    m_outgoing = outgoing;
    m_area = area;
    group->start();
}

void FNWSlideStackedWidget::finishAnimation()
{
    if (!m_animation)
        return;
    QParallelAnimationGroup* group = m_animation;
    m_animation = nullptr;
    group->disconnect(this);
    group->stop();
    // Called from the group's own finished signal too, so it goes later.
    group->deleteLater();

    if (m_outgoing && m_outgoing != currentWidget()) {
        m_outgoing->hide();
        m_outgoing->setGeometry(m_area);
    }
    m_outgoing = nullptr;
    if (QWidget* current = currentWidget())
        current->setGeometry(m_area);
    emit slideFinished(currentIndex());
}

void FNWSlideStackedWidget::resizeEvent(QResizeEvent* event)
{
    // The slide's positions were for the old size.
    finishAnimation();
    QStackedWidget::resizeEvent(event);
}
