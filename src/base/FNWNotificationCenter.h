#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QObject;

struct FNWNotification
{
    QString name;
    QObject* object = nullptr;
    QVariantMap userInfo;
};

class FNWNotificationCenter;

// Keeps one observation alive; the observer is removed when the token goes away. Once removal
// returns, its handler is not running on any other thread and will not be called again.
class FNWObserverToken final
{
public:
    FNWObserverToken() = default;
    ~FNWObserverToken();
    FNWObserverToken(FNWObserverToken&& other) noexcept;
    FNWObserverToken& operator=(FNWObserverToken&& other) noexcept;
    FNWObserverToken(const FNWObserverToken&) = delete;
    FNWObserverToken& operator=(const FNWObserverToken&) = delete;

    void reset();
    bool isActive() const { return static_cast<bool>(m_entry); }

private:
    friend class FNWNotificationCenter;
    struct Entry;
    FNWObserverToken(std::weak_ptr<FNWNotificationCenter*> center, std::shared_ptr<Entry> entry);

    std::weak_ptr<FNWNotificationCenter*> m_center;
    std::shared_ptr<Entry> m_entry;
};

// Named notifications within the process. Observers are called synchronously on the posting
// thread, in the order they registered; any thread may register, remove or post.
class FNWNotificationCenter final
{
public:
    using Handler = std::function<void(const FNWNotification&)>;

    FNWNotificationCenter();
    ~FNWNotificationCenter();
    FNWNotificationCenter(const FNWNotificationCenter&) = delete;
    FNWNotificationCenter& operator=(const FNWNotificationCenter&) = delete;

    static FNWNotificationCenter& defaultCenter();

    // An empty name observes every notification.
    [[nodiscard]] FNWObserverToken addObserver(const QString& name, Handler handler);
    void postNotificationName(const QString& name, QObject* object = nullptr);
    void postNotificationName(const QString& name, QObject* object, const QVariantMap& userInfo);

private:
    friend class FNWObserverToken;
    void removeEntry(const std::shared_ptr<FNWObserverToken::Entry>& entry);

    std::shared_ptr<FNWNotificationCenter*> m_self;
    std::mutex m_mutex;
    std::vector<std::shared_ptr<FNWObserverToken::Entry>> m_entries;
};
