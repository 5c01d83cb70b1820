#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class FMDatabase;

// Owns one connection and runs blocks of work on it one at a time, whichever thread calls;
// the caller waits for its block. A block must not call inDatabase on the same queue.
class FMDatabaseQueue final
{
public:
    // The queue with its connection open, or none (logged) when the file cannot be opened.
    static std::unique_ptr<FMDatabaseQueue> databaseQueueWithPath(const QString& path);
    ~FMDatabaseQueue();
    FMDatabaseQueue(const FMDatabaseQueue&) = delete;
    FMDatabaseQueue& operator=(const FMDatabaseQueue&) = delete;

    const QString& path() const { return m_path; }
    const QString& label() const { return m_label; }

    // Runs the block with the connection, reopened first if it was closed; the block gets
    // none when reopening fails. Answers NO, without running it, for a nested call.
    bool inDatabase(const std::function<void(FMDatabase* db)>& block);
    // Closes the connection; the next block reopens it.
    void close();
    // Whether the last block this thread ran met another connection's write lock and gave up
    // on it after waiting kLockWait.
    static bool lastBlockMetLock();

    // How long a statement waits for another connection's lock before it fails: one frame, so
    // that neither the window's thread nor a block holding the queue keeps the window waiting.
    static constexpr double kLockWait = 0.016;

private:
    explicit FMDatabaseQueue(QString path);
    // Opens a connection set up the way the queue uses it; none when the file cannot be opened.
    std::unique_ptr<FMDatabase> openConnection() const;

    const QString m_path;
    const QString m_label;
    std::mutex m_mutex;
    // The thread running a block right now, to refuse a nested call instead of deadlocking.
    std::atomic<std::thread::id> m_runningOn{};
    std::unique_ptr<FMDatabase> m_db;
};
