#include "db/FNWDeferredWrites.h"

#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "db/FNWBaseModel.h"
#include "support/DDLog.h"
#include "support/FNWMainQueue.h"

#include <thread>

namespace {

void postOnMainQueue(const char* name, const QVariantMap& userInfo)
{
    FNWMainQueue::async([name, userInfo] {
        FNWNotificationCenter::defaultCenter().postNotificationName(QLatin1String(name), nullptr, userInfo);
    });
}

} // namespace

FNWDeferredWrites& FNWDeferredWrites::shared()
{
    // Never destroyed: the retrying thread may outlive the statics at exit.
    static auto* const writes = new FNWDeferredWrites();
    return *writes;
}

FNWDeferredWrites::Attempt FNWDeferredWrites::attempt(const Write& write)
{
    const FNWBaseModel::KeepsLockedWrites keeps;
    FNWBaseModel::clearMetLock();
    if (write())
        return Attempt::Written;
    return FNWBaseModel::metLockSinceClear() ? Attempt::Locked : Attempt::Failed;
}

bool FNWDeferredWrites::writeOrKeep(const QString& description, Write write)
{
    if (FNWBaseModel::isInTransaction())
        return write();
    std::lock_guard order(m_writeMutex);
    {
        std::unique_lock lock(m_mutex);
        if (!m_kept.empty()) {
            keep(lock, description, std::move(write));
            return true;
        }
    }
    switch (attempt(write)) {
    case Attempt::Written:
        return true;
    case Attempt::Failed:
        return false;
    case Attempt::Locked:
        break;
    }
    std::unique_lock lock(m_mutex);
    keep(lock, description, std::move(write));
    return true;
}

void FNWDeferredWrites::keep(std::unique_lock<std::mutex>& lock, const QString& description, Write write)
{
    const bool first = m_kept.empty();
    m_kept.push_back({description, std::move(write)});
    DDLogWarn("FNWDeferredWrites: the database is locked, keeping %@ to write later (%ld waiting)", description,
              static_cast<long>(m_kept.size()));
    if (m_retrying)
        return;
    m_retrying = true;
    lock.unlock();
    if (first)
        postOnMainQueue(FNWDatabaseWritesWaitingNotification, {});
    std::thread([this] { retryUntilWritten(); }).detach();
}

void FNWDeferredWrites::retryUntilWritten()
{
    long written = 0;
    std::unique_lock lock(m_mutex);
    while (!m_kept.empty()) {
        m_wake.wait_for(lock, m_retryInterval, [this] { return m_retryNow; });
        m_retryNow = false;
        while (!m_kept.empty()) {
            Kept next = m_kept.front();
            lock.unlock();
            Attempt result;
            {
                std::lock_guard order(m_writeMutex);
                result = attempt(next.write);
            }
            lock.lock();
            if (result == Attempt::Locked)
                break;
            m_kept.pop_front();
            if (result == Attempt::Written)
                ++written;
            else
                DDLogError("FNWDeferredWrites: %@ could not be written and is dropped", next.description);
        }
    }
    m_retrying = false;
    DDLogInfo("FNWDeferredWrites: the database took the %ld kept writes", written);
    m_drained.notify_all();
    lock.unlock();
    postOnMainQueue(FNWDatabaseWritesSavedNotification, {{QStringLiteral("count"), static_cast<qlonglong>(written)}});
}

std::size_t FNWDeferredWrites::count() const
{
    std::lock_guard lock(m_mutex);
    return m_kept.size();
}

bool FNWDeferredWrites::flush(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (m_retrying) {
        m_retryNow = true;
        m_wake.notify_all();
    }
    if (m_drained.wait_for(lock, timeout, [this] { return m_kept.empty() && !m_retrying; }))
        return true;
    for (const Kept& kept : m_kept)
        DDLogError("FNWDeferredWrites: %@ is still waiting for the database", kept.description);
    return false;
}

void FNWDeferredWrites::setRetryIntervalForTesting(std::chrono::milliseconds interval)
{
    std::lock_guard lock(m_mutex);
    m_retryInterval = interval;
}
