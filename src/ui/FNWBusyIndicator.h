#pragma once

#include <QBasicTimer>
#include <QWidget>

// A spinning busy indicator. It shows only while animating; hidden, it keeps its place in the
// layout so nothing beside it moves.
class FNWBusyIndicator final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWBusyIndicator)

public:
    explicit FNWBusyIndicator(QWidget* parent = nullptr);
    ~FNWBusyIndicator() override;

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer.isActive(); }
    // Which spoke leads; advances on every tick of the animation.
    int step() const { return m_step; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    static constexpr int kSpokes = 12;
    static constexpr int kTickMs = 80;

    QBasicTimer m_timer;
    int m_step = 0;
};
