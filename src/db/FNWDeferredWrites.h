#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

// Writes that met another program's write lock on the database, kept in the order they came and
// retried in the background until they go in: a running test's rows and outcome are never lost
// because a second window or a backup held the file for a while. Any thread may call.
class FNWDeferredWrites final
{
public:
    // Answers true once written; false when it could not be (the store logs why).
    using Write = std::function<bool()>;

    static FNWDeferredWrites& shared();

    // Writes now, unless earlier writes still wait; a write that meets the lock waits behind them.
    // Answers false only when the write failed for another reason. Not for use inside a
    // transaction, which would hold the database while others wait here.
    bool writeOrKeep(const QString& description, Write write);
    std::size_t count() const;
    // Retries at once and waits until every kept write went in; false, logging what is still
    // kept, when the time runs out first.
    bool flush(std::chrono::milliseconds timeout);
    void setRetryIntervalForTesting(std::chrono::milliseconds interval);

private:
    FNWDeferredWrites() = default;
    struct Kept
    {
        QString description;
        Write write;
    };
    enum class Attempt { Written, Locked, Failed };
    static Attempt attempt(const Write& write);
    void keep(std::unique_lock<std::mutex>& lock, const QString& description, Write write);
    void retryUntilWritten();

    mutable std::mutex m_mutex;
    // Held while a write is attempted, so that kept writes go in the order they came.
    std::mutex m_writeMutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    std::deque<Kept> m_kept;
    bool m_retrying = false;
    bool m_retryNow = false;
    std::chrono::milliseconds m_retryInterval{250};
};
