#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class FMDatabase;
class FMDatabaseQueue;
class FNWBaseBean;

// Base of every record store: a table, its id column and its field list, turned into the
// statements every store shares. Every operation runs exactly one block on the process-wide
// database queue and waits for it; any thread may call.
class FNWBaseModel
{
public:
    FNWBaseModel(QString tableName, QStringList fldList, QString idColumnName = QStringLiteral("id"));
    virtual ~FNWBaseModel();

    const QString& tableName() const { return m_tableName; }
    const QString& idColumnName() const { return m_idColumnName; }
    const QStringList& fldList() const { return m_fldList; }
    // The store's class name, which starts some log lines.
    virtual QString className() const;

    // The shared queue on the database file, opened on first use; none when it cannot be opened.
    static FMDatabaseQueue* fmdbQueue();
    // Closes the shared connection, if the queue exists; the next use reopens it.
    static void closeFMDB();
    // Closes and drops the shared queue so that the next use opens appDBPath afresh; for tests
    // that replace the database file between cases.
    static void resetSharedQueueForTesting();
    // Runs work inside one exclusive transaction on the shared connection: every store call that
    // work makes on this thread joins it, and other threads wait until it ends. Commits when work
    // answers true, else rolls back (as after a failed commit); answers whether it was committed.
    // Inside another transaction work just joins it, and the outer one decides.
    static bool inTransaction(const std::function<bool()>& work);
    static bool isInTransaction();

    // Whether a store call on this thread met another program's write lock since the last clear.
    // A call on the application thread that meets one also posts
    // FNWDatabaseWriteFailedNotification, unless the thread keeps such writes to retry them.
    static bool metLockSinceClear();
    static void clearMetLock();
    // While one lives on a thread, calls there that meet a lock post nothing: their caller keeps
    // the write and retries it.
    class KeepsLockedWrites final
    {
    public:
        KeepsLockedWrites();
        ~KeepsLockedWrites();
        KeepsLockedWrites(const KeepsLockedWrites&) = delete;
        KeepsLockedWrites& operator=(const KeepsLockedWrites&) = delete;

    private:
        bool m_before;
    };

    std::optional<QVariantMap> getRecordWithID(qint64 recordID);
    // Sets every column of the row on the record; false, leaving it as it was, without a row.
    bool loadWithID(qint64 recordID, FNWBaseBean& beanToLoad);
    QList<QVariantMap> getAllRecords();
    // The clause carries its own "where" and "order by".
    QList<QVariantMap> getRecordsWithMatchingWhereClause(const QString& clause);
    QList<QVariantMap> getRecordsWithSQLQuery(const QString& sql);
    QList<QVariantMap> getRecordsWithSQLQuery(const QString& sql, const QVariantList& arguments);
    bool removeRecordWithID(qint64 recordID);
    bool removeAllRecords();

    // Sets every entry of a row on the record of the same name, "id" on ID.
    static void setRecordFromRow(FNWBaseBean& bean, const QVariantMap& row);
    // One record per row, in row order.
    template <class Bean> static std::vector<std::shared_ptr<Bean>> recordsFromRows(const QList<QVariantMap>& rows)
    {
        std::vector<std::shared_ptr<Bean>> records;
        records.reserve(static_cast<size_t>(rows.size()));
        for (const QVariantMap& row : rows) {
            auto record = std::make_shared<Bean>();
            setRecordFromRow(*record, row);
            records.push_back(std::move(record));
        }
        return records;
    }

protected:
    // Runs the block on the shared queue with an open connection; false when there is none.
    bool inDatabase(const std::function<void(FMDatabase& db)>& block) const;
    // The insert shape over the field list without "id"; on success the record takes the new
    // row id. On failure logs saveFailureFormat ("%d ... %@") with the result and last error,
    // and hands that error out when asked.
    bool insertRecord(FNWBaseBean& bean, const char* saveFailureFormat, QString* errorMessage = nullptr);
    // The update shape: every field but "id", by the record's ID. On failure logs
    // updateFailureFormat with the result and last error.
    bool updateRecord(const FNWBaseBean& bean, const char* updateFailureFormat);
    // One statement without rows, positional arguments; logs failureFormat on failure.
    bool executeUpdate(const QString& sql, const QVariantList& arguments, const char* failureFormat);
    // Whether the query yields a row; a query error logs failureFormat ("%d ... %@") with the
    // SQLite code and message.
    bool hasRowForQuery(const QString& sql, const QVariantList& arguments, const char* failureFormat);
    // The largest viewPosition of the table, 0 when it has no rows.
    qint64 maxViewPosition();

private:
    // Runs one query and collects its rows; onError gets the last error message when the
    // connection reports one.
    QList<QVariantMap> queryRows(const QString& sql, const QVariantList& arguments,
                                 const std::function<void(const QString& lastErrorMessage)>& onError);

    const QString m_tableName;
    const QStringList m_fldList;
    const QString m_idColumnName;
};
