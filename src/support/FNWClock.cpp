#include "support/FNWClock.h"

#include <vector>

namespace {

class SystemClock final : public FNWClock
{
public:
    // UTC: cheaper than local time, and every use is arithmetic between dates.
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};

} // namespace

FNWClock::ListenerId FNWClock::addChangeListener(std::function<void()>)
{
    return 0;
}

void FNWClock::removeChangeListener(ListenerId) {}

std::shared_ptr<FNWClock> FNWClock::systemClock()
{
    static const std::shared_ptr<FNWClock> clock = std::make_shared<SystemClock>();
    return clock;
}

FNWManualClock::FNWManualClock(QDateTime start)
    : m_now(std::move(start))
{
}

QDateTime FNWManualClock::now() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

void FNWManualClock::setNow(const QDateTime& now)
{
    {
        std::lock_guard lock(m_mutex);
        m_now = now;
    }
    notifyListeners();
}

void FNWManualClock::advance(qint64 seconds)
{
    {
        std::lock_guard lock(m_mutex);
        m_now = m_now.addSecs(seconds);
    }
    notifyListeners();
}

FNWClock::ListenerId FNWManualClock::addChangeListener(std::function<void()> listener)
{
    std::lock_guard lock(m_mutex);
    const ListenerId id = m_nextId++;
    m_listeners.emplace(id, std::move(listener));
    return id;
}

void FNWManualClock::removeChangeListener(ListenerId id)
{
    std::lock_guard lock(m_mutex);
    m_listeners.erase(id);
}

void FNWManualClock::notifyListeners()
{
    std::vector<std::function<void()>> listeners;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, listener] : m_listeners)
            listeners.push_back(listener);
    }
    for (const auto& listener : listeners)
        listener();
}
