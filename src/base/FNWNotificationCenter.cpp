#include "base/FNWNotificationCenter.h"

#include <algorithm>
#include <condition_variable>
#include <thread>

struct FNWObserverToken::Entry
{
    QString name;
    FNWNotificationCenter::Handler handler;

    // Deliveries on several threads run side by side; removal waits only for those on other
    // threads, so a handler may remove its own observation.
    bool beginDelivery()
    {
        std::lock_guard lock(mutex);
        if (removed)
            return false;
        delivering.push_back(std::this_thread::get_id());
        return true;
    }
    void endDelivery()
    {
        std::lock_guard lock(mutex);
        delivering.erase(std::find(delivering.begin(), delivering.end(), std::this_thread::get_id()));
        deliveryEnded.notify_all();
    }
    void markRemoved()
    {
        std::unique_lock lock(mutex);
        removed = true;
        deliveryEnded.wait(lock, [this] {
            return std::all_of(delivering.begin(), delivering.end(),
                               [](std::thread::id id) { return id == std::this_thread::get_id(); });
        });
    }

    std::mutex mutex;
    std::condition_variable deliveryEnded;
    std::vector<std::thread::id> delivering;
    bool removed = false;
};

FNWObserverToken::FNWObserverToken(std::weak_ptr<FNWNotificationCenter*> center, std::shared_ptr<Entry> entry)
    : m_center(std::move(center))
    , m_entry(std::move(entry))
{
}

FNWObserverToken::~FNWObserverToken()
{
    reset();
}

FNWObserverToken::FNWObserverToken(FNWObserverToken&& other) noexcept
    : m_center(std::move(other.m_center))
    , m_entry(std::move(other.m_entry))
{
}

FNWObserverToken& FNWObserverToken::operator=(FNWObserverToken&& other) noexcept
{
    if (this != &other) {
        reset();
        m_center = std::move(other.m_center);
        m_entry = std::move(other.m_entry);
    }
    return *this;
}

void FNWObserverToken::reset()
{
    if (!m_entry)
        return;
    if (const std::shared_ptr<FNWNotificationCenter*> center = m_center.lock())
        (*center)->removeEntry(m_entry);
    m_entry->markRemoved();
    m_entry.reset();
}

FNWNotificationCenter::FNWNotificationCenter()
    : m_self(std::make_shared<FNWNotificationCenter*>(this))
{
}

FNWNotificationCenter::~FNWNotificationCenter() = default;

FNWNotificationCenter& FNWNotificationCenter::defaultCenter()
{
    // Never destroyed: observers may be removed during static destruction.
    static FNWNotificationCenter* center = new FNWNotificationCenter;
    return *center;
}

FNWObserverToken FNWNotificationCenter::addObserver(const QString& name, Handler handler)
{
    auto entry = std::make_shared<FNWObserverToken::Entry>();
    entry->name = name;
    entry->handler = std::move(handler);
    {
        std::lock_guard lock(m_mutex);
        m_entries.push_back(entry);
    }
    return FNWObserverToken(m_self, entry);
}

void FNWNotificationCenter::removeEntry(const std::shared_ptr<FNWObserverToken::Entry>& entry)
{
    std::lock_guard lock(m_mutex);
    m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), entry), m_entries.end());
}

void FNWNotificationCenter::postNotificationName(const QString& name, QObject* object)
{
    postNotificationName(name, object, QVariantMap());
}

void FNWNotificationCenter::postNotificationName(const QString& name, QObject* object, const QVariantMap& userInfo)
{
    std::vector<std::shared_ptr<FNWObserverToken::Entry>> receivers;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& entry : m_entries) {
            if (entry->name.isEmpty() || entry->name == name)
                receivers.push_back(entry);
        }
    }
    const FNWNotification notification{name, object, userInfo};
    // Handlers run without the centre's lock, so they may post, register and remove freely.
    for (const auto& entry : receivers) {
        if (!entry->beginDelivery())
            continue;
        entry->handler(notification);
        entry->endDelivery();
    }
}
