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

private:
    explicit FMDatabaseQueue(QString path);

    const QString m_path;
    const QString m_label;
    std::mutex m_mutex;
    // The thread running a block right now, to refuse a nested call instead of deadlocking.
    std::atomic<std::thread::id> m_runningOn{};
    std::unique_ptr<FMDatabase> m_db;
};
