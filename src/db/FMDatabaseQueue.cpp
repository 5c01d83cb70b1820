#include "db/FMDatabaseQueue.h"

#include "db/FMDatabase.h"
#include "support/DDLog.h"

#include <sqlite3.h>

namespace {
// The queue already lets one block at a time use the connection, so SQLite's own per-call
// locking (serialized mode) would only cost time on every column read.
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
}

FMDatabaseQueue::FMDatabaseQueue(QString path)
    : m_path(std::move(path))
    , m_label(QStringLiteral("fmdb.%1").arg(m_path))
{
}

FMDatabaseQueue::~FMDatabaseQueue()
{
    std::lock_guard lock(m_mutex);
    m_db.reset();
}

std::unique_ptr<FMDatabaseQueue> FMDatabaseQueue::databaseQueueWithPath(const QString& path)
{
    std::unique_ptr<FMDatabaseQueue> queue(new FMDatabaseQueue(path));
    queue->m_db = std::make_unique<FMDatabase>(path);
    if (!queue->m_db->openWithFlags(kOpenFlags)) {
        DDLogError("Could not create database queue for path %@", path);
        return nullptr;
    }
    return queue;
}

bool FMDatabaseQueue::inDatabase(const std::function<void(FMDatabase* db)>& block)
{
    if (m_runningOn.load() == std::this_thread::get_id()) {
        DDLogError("inDatabase: was called reentrantly on the same queue, which would lead to a deadlock");
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_runningOn = std::this_thread::get_id();
    if (!m_db) {
        auto db = std::make_unique<FMDatabase>(m_path);
        if (db->openWithFlags(kOpenFlags))
            m_db = std::move(db);
        else
            DDLogError("FMDatabaseQueue could not reopen database for path %@", m_path);
    }
    block(m_db.get());
    if (m_db && m_db->hasOpenResultSets())
        DDLogError("Warning: there is at least one open result set around after performing [FMDatabaseQueue "
                   "inDatabase:]");
    m_runningOn = std::thread::id();
    return true;
}

void FMDatabaseQueue::close()
{
    if (m_runningOn.load() == std::this_thread::get_id())
        return;
    std::lock_guard lock(m_mutex);
    if (m_db)
        m_db->close();
    m_db.reset();
}
