#pragma once

#include <QtCharts/QChartView>

#include <functional>

// The chart of the results graph: it reports the pointer over it, its leaving, and a drag.
class FNWGraphChartView final : public QChartView
{
    Q_DISABLE_COPY_MOVE(FNWGraphChartView)

public:
    explicit FNWGraphChartView(QChart* chart, QWidget* parent = nullptr);
    ~FNWGraphChartView() override;

    std::function<void(const QPointF&)> pointerMoved;
    std::function<void()> pointerLeft;
    std::function<void(const QPointF&)> dragStarted;
    std::function<void()> resized;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointF m_pressed;
    bool m_pressing = false;
};
