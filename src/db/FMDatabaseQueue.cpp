#include "db/FMDatabaseQueue.h"

#include "db/FMDatabase.h"
#include "support/DDLog.h"

#include <sqlite3.h>

namespace {
// The queue already lets one block at a time use the connection, so SQLite's own per-call
// locking (serialized mode) would only cost time on every column read.
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;

thread_local bool t_lastBlockMetLock = false;

// Write-ahead logging: readers never wait for a writer, so the lists and the history still load
// while another program (a second window, the command line, a backup) writes. The file is local
// to this machine and only its own processes share it, which is what the log's shared memory
// needs. With synchronous NORMAL a crash or power loss can at worst lose the last commits, never
// leave a damaged file.
void useWriteAheadLog(FMDatabase& db)
{
    std::unique_ptr<FMResultSet> mode = db.executeQuery(QStringLiteral("PRAGMA journal_mode=WAL"));
    const QString answer = mode && mode->next() ? mode->objectForColumnIndex(0).toString() : db.lastErrorMessage();
    if (mode)
        mode->close();
    if (answer.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        DDLogWarn("FMDatabaseQueue: %@ keeps its journal mode (%@)", db.databasePath(), answer);
    if (!db.executeUpdate(QStringLiteral("PRAGMA synchronous=NORMAL")))
        DDLogWarn("FMDatabaseQueue: can't set synchronous mode - %@", db.lastErrorMessage());
    db.clearMetLock();
}
} // namespace

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
    queue->m_db = queue->openConnection();
    if (!queue->m_db) {
        DDLogError("Could not create database queue for path %@", path);
        return nullptr;
    }
    return queue;
}

std::unique_ptr<FMDatabase> FMDatabaseQueue::openConnection() const
{
    auto db = std::make_unique<FMDatabase>(m_path);
    if (!db->openWithFlags(kOpenFlags))
        return nullptr;
    db->setMaxBusyRetryTimeInterval(kLockWait);
    useWriteAheadLog(*db);
    return db;
}

bool FMDatabaseQueue::lastBlockMetLock()
{
    return t_lastBlockMetLock;
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
        m_db = openConnection();
        if (!m_db)
            DDLogError("FMDatabaseQueue could not reopen database for path %@", m_path);
    }
    if (m_db)
        m_db->clearMetLock();
    block(m_db.get());
    t_lastBlockMetLock = m_db && m_db->metLock();
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
