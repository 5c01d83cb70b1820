#pragma once

#include <QDateTime>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

// Where time comes from. The system clock is the real one; tests set and advance a manual clock,
// and whoever schedules work by it re-checks when it moves.
class FNWClock
{
public:
    using ListenerId = unsigned long;

    virtual ~FNWClock() = default;
    virtual QDateTime now() const = 0;
    // Called, on the thread that moves the clock, after the clock jumps. The real clock never does.
    virtual ListenerId addChangeListener(std::function<void()> listener);
    virtual void removeChangeListener(ListenerId id);

    static std::shared_ptr<FNWClock> systemClock();
};

class FNWManualClock final : public FNWClock
{
public:
    explicit FNWManualClock(QDateTime start = QDateTime::currentDateTime());

    QDateTime now() const override;
    void setNow(const QDateTime& now);
    void advance(qint64 seconds);

    ListenerId addChangeListener(std::function<void()> listener) override;
    void removeChangeListener(ListenerId id) override;

private:
    void notifyListeners();

    mutable std::mutex m_mutex;
    QDateTime m_now;
    std::map<ListenerId, std::function<void()>> m_listeners;
    ListenerId m_nextId = 1;
};
