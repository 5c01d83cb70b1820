#pragma once

#include <QPointer>
#include <QRect>
#include <QStackedWidget>

class QParallelAnimationGroup;

// A stacked widget that can switch pages with a half-second slide: the new page moves in while
// the old one moves out the other way. currentIndex() is the new page from the moment a slide
// starts; a switch during a slide first completes the running one.
class FNWSlideStackedWidget final : public QStackedWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWSlideStackedWidget)

public:
    static constexpr int kSlideDurationMs = 500;

    explicit FNWSlideStackedWidget(QWidget* parent = nullptr);
    ~FNWSlideStackedWidget() override;

    // The old content travels right; the new page comes in from the left side.
    void slideAnimationFromRight(int index);
    // The old content travels left; the new page comes in from the right side.
    void slideAnimationFromLeft(int index);
    // A higher index comes in from the right side, a lower one from the left.
    void slideToIndex(int index);
    void setCurrentIndexWithoutAnimation(int index);

    bool isAnimating() const { return !m_animation.isNull(); }
    // Puts a running slide at its end at once.
    void finishAnimation();

signals:
    // After a slide ends, whether it ran to its end or was cut short.
    void slideFinished(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void slide(int index, bool fromRightSide);

    QPointer<QParallelAnimationGroup> m_animation;
    QPointer<QWidget> m_outgoing;
    QRect m_area;
    bool m_switching = false;
};
