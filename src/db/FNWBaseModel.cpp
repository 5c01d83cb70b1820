#include "db/FNWBaseModel.h"

#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "db/DBUtils.h"
#include "db/FMDatabase.h"
#include "db/FMDatabaseQueue.h"
#include "model/FNWBaseBean.h"
#include "support/DDLog.h"
#include "support/FNWMainQueue.h"

#include <mutex>

namespace {

// SQLite's own text for a file it cannot open, handed out when there is no connection at all.
const char* const kNoConnectionMessage = "unable to open database file";

std::mutex g_queueMutex;
// Deliberately never destroyed: it lives until the process ends, and closing at exit must not
// depend on the order in which statics (the logger among them) go away.
FMDatabaseQueue* g_queue = nullptr;

// The connection of the transaction this thread runs, if any: store calls made inside it use the
// connection directly instead of queueing behind the block that holds it.
thread_local FMDatabase* t_transactionDB = nullptr;
thread_local bool t_metLock = false;
thread_local bool t_keepsLockedWrites = false;

// After each block on the queue: remembers a lock it met and, for the window's own writes, says
// so once per call so that the user hears the change was not saved.
void noteBlock(const FMDatabaseQueue& queue)
{
    if (!FMDatabaseQueue::lastBlockMetLock())
        return;
    t_metLock = true;
    DDLogError("FNWBaseModel: another connection holds the write lock on %@", queue.path());
    if (!t_keepsLockedWrites && FNWMainQueue::isMainThread())
        FNWNotificationCenter::defaultCenter().postNotificationName(QLatin1String(FNWDatabaseWriteFailedNotification),
                                                                    nullptr, {{QStringLiteral("path"), queue.path()}});
}

// Rolls back unless committed, and ends the thread's transaction in every case.
class FNWTransaction final
{
public:
    explicit FNWTransaction(FMDatabase& db)
        : m_db(db)
    {
        t_transactionDB = &db;
    }
    ~FNWTransaction()
    {
        t_transactionDB = nullptr;
        if (!m_committed && !m_db.rollback())
            DDLogError("FNWBaseModel: rollback failed - %@", m_db.lastErrorMessage());
    }
    FNWTransaction(const FNWTransaction&) = delete;
    FNWTransaction& operator=(const FNWTransaction&) = delete;

    bool commit()
    {
        m_committed = m_db.commit();
        if (!m_committed)
            DDLogError("FNWBaseModel: commit failed - %@", m_db.lastErrorMessage());
        return m_committed;
    }

private:
    FMDatabase& m_db;
    bool m_committed = false;
};

} // namespace

FNWBaseModel::FNWBaseModel(QString tableName, QStringList fldList, QString idColumnName)
    : m_tableName(std::move(tableName))
    , m_fldList(std::move(fldList))
    , m_idColumnName(std::move(idColumnName))
{
}

FNWBaseModel::~FNWBaseModel() = default;

QString FNWBaseModel::className() const
{
    return QStringLiteral("FNWBaseModel");
}

FMDatabaseQueue* FNWBaseModel::fmdbQueue()
{
    std::lock_guard lock(g_queueMutex);
    if (!g_queue)
        g_queue = FMDatabaseQueue::databaseQueueWithPath(DBUtils::appDBPath()).release();
    return g_queue;
}

void FNWBaseModel::closeFMDB()
{
    std::lock_guard lock(g_queueMutex);
    if (g_queue)
        g_queue->close();
}

void FNWBaseModel::resetSharedQueueForTesting()
{
    std::lock_guard lock(g_queueMutex);
    delete g_queue;
    g_queue = nullptr;
}

bool FNWBaseModel::inTransaction(const std::function<bool()>& work)
{
    if (t_transactionDB)
        return work();
    FMDatabaseQueue* queue = fmdbQueue();
    if (!queue)
        return false;
    bool committed = false;
    queue->inDatabase([&](FMDatabase* db) {
        if (!db)
            return;
        if (!db->beginTransaction()) {
            DDLogError("FNWBaseModel: can't begin transaction - %@", db->lastErrorMessage());
            return;
        }
        FNWTransaction transaction(*db);
        if (work())
            committed = transaction.commit();
    });
    noteBlock(*queue);
    return committed;
}

bool FNWBaseModel::isInTransaction()
{
    return t_transactionDB != nullptr;
}

bool FNWBaseModel::metLockSinceClear()
{
    return t_metLock;
}

void FNWBaseModel::clearMetLock()
{
    t_metLock = false;
}

FNWBaseModel::KeepsLockedWrites::KeepsLockedWrites()
    : m_before(t_keepsLockedWrites)
{
    t_keepsLockedWrites = true;
}

FNWBaseModel::KeepsLockedWrites::~KeepsLockedWrites()
{
    t_keepsLockedWrites = m_before;
}

bool FNWBaseModel::inDatabase(const std::function<void(FMDatabase& db)>& block) const
{
    if (FMDatabase* db = t_transactionDB) {
        block(*db);
        return true;
    }
    FMDatabaseQueue* queue = fmdbQueue();
    if (!queue)
        return false;
    bool ran = false;
    queue->inDatabase([&](FMDatabase* db) {
        if (!db)
            return;
        ran = true;
        block(*db);
    });
    noteBlock(*queue);
    return ran;
}

std::optional<QVariantMap> FNWBaseModel::getRecordWithID(qint64 recordID)
{
    if (m_idColumnName.isEmpty()) {
        DDLogError("select record - No unique id column name proivded");
        return std::nullopt;
    }
    const QString sql =
        FNWStringWithFormat("select * FROM %@ where %@=:%@", m_tableName, m_idColumnName, m_idColumnName);
    const QVariantMap parameters{{m_idColumnName, recordID}};
    std::optional<QVariantMap> row;
    inDatabase([&](FMDatabase& db) {
        std::unique_ptr<FMResultSet> resultSet = db.executeQuery(sql, parameters);
        if (!resultSet) {
            DDLogError("can't get row from db -  %@", db.lastErrorMessage());
            return;
        }
        if (resultSet->next())
            row = resultSet->resultDictionary();
        resultSet->close();
    });
    return row;
}

bool FNWBaseModel::loadWithID(qint64 recordID, FNWBaseBean& beanToLoad)
{
    const std::optional<QVariantMap> row = getRecordWithID(recordID);
    if (!row) {
        DDLogError("FNWBaseModel: Can't load record with id from table %@ (null result set)", m_tableName);
        return false;
    }
    if (row->isEmpty()) {
        DDLogError("FNWBaseModel:Can't load record with id from table %@ (empty dictionary)", m_tableName);
        return false;
    }
    setRecordFromRow(beanToLoad, *row);
    return true;
}

QList<QVariantMap> FNWBaseModel::queryRows(const QString& sql, const QVariantList& arguments,
                                           const std::function<void(const QString& lastErrorMessage)>& onError)
{
    QList<QVariantMap> rows;
    inDatabase([&](FMDatabase& db) {
        std::unique_ptr<FMResultSet> resultSet = db.executeQuery(sql, arguments);
        if (!resultSet || db.hadError())
            onError(db.lastErrorMessage());
        while (resultSet && resultSet->next())
            rows.append(resultSet->resultDictionary());
    });
    return rows;
}

QList<QVariantMap> FNWBaseModel::getAllRecords()
{
    const QString sql =
        QStringLiteral("select ") + FNWStringWithFormat(" %@ from %@ ", m_fldList.join(','), m_tableName);
    return queryRows(sql, {}, [](const QString& message) {
        DDLogError("FNWBaseModel: GetAllRecords, can't retrive - %@", message);
    });
}

QList<QVariantMap> FNWBaseModel::getRecordsWithMatchingWhereClause(const QString& clause)
{
    const QString sql =
        QStringLiteral("select ") + FNWStringWithFormat(" %@ from %@ %@", m_fldList.join(','), m_tableName, clause);
    return queryRows(sql, {}, [this](const QString& message) {
        DDLogError("%@: getRecordsWithMatchingWhereClause, can't retrive - %@", className(), message);
    });
}

QList<QVariantMap> FNWBaseModel::getRecordsWithSQLQuery(const QString& sql)
{
    return getRecordsWithSQLQuery(sql, {});
}

QList<QVariantMap> FNWBaseModel::getRecordsWithSQLQuery(const QString& sql, const QVariantList& arguments)
{
    return queryRows(sql, arguments, [this](const QString& message) {
        DDLogError("%@: getRecordsWithSQLQuery, can't retrive - %@", className(), message);
    });
}

bool FNWBaseModel::removeRecordWithID(qint64 recordID)
{
    if (m_idColumnName.isEmpty()) {
        DDLogError("delete record - No unique id column name proivded");
        return false;
    }
    const QString sql =
        QStringLiteral("DELETE FROM ") + FNWStringWithFormat("%@ WHERE %@ = ?", m_tableName, m_idColumnName);
    bool result = false;
    inDatabase([&](FMDatabase& db) {
        result = db.executeUpdate(sql, QVariantList{recordID});
        if (!result)
            DDLogError("%@: delete row results are :%d,  errorCode=%d, errorMessage=%@", className(), result,
                       db.lastErrorCode(), db.lastErrorMessage());
    });
    return result;
}

bool FNWBaseModel::removeAllRecords()
{
    if (m_tableName.isEmpty()) {
        DDLogError("No table name proivded");
        return false;
    }
    bool result = false;
    inDatabase([&](FMDatabase& db) { result = db.executeUpdate(QStringLiteral("delete FROM ") + m_tableName); });
    return result;
}

void FNWBaseModel::setRecordFromRow(FNWBaseBean& bean, const QVariantMap& row)
{
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        // A column the record cannot take means the schema and the record disagree.
        if (!bean.setValueForKey(it.value(), it.key()))
            DDLogError("FNWBaseModel: record has no field for column %@ (value %@)", it.key(), it.value().toString());
    }
}

bool FNWBaseModel::insertRecord(FNWBaseBean& bean, const char* saveFailureFormat, QString* errorMessage)
{
    QStringList columns = m_fldList;
    columns.removeAll(QStringLiteral("id"));
    const QVariantMap parameters = bean.getDictionaryOfObject(columns);
    // The column list and the placeholders both follow the dictionary's key order.
    const QStringList keys = parameters.keys();
    const QString sql = FNWStringWithFormat("insert into %@ %@ values (", m_tableName,
                                            QLatin1Char('(') + keys.join(QStringLiteral(", ")) + QLatin1Char(')')) +
                        QLatin1Char(':') + keys.join(QStringLiteral(",:")) + QLatin1Char(')');

    bool result = false;
    QString message = QString::fromLatin1(kNoConnectionMessage);
    inDatabase([&](FMDatabase& db) {
        result = db.executeUpdate(sql, parameters);
        if (result)
            bean.ID = db.lastInsertRowId();
        else
            message = db.lastErrorMessage();
    });
    if (!result) {
        DDLogError(saveFailureFormat, result, message);
        if (errorMessage)
            *errorMessage = message;
    }
    return result;
}

bool FNWBaseModel::updateRecord(const FNWBaseBean& bean, const char* updateFailureFormat)
{
    QStringList assignments;
    for (const QString& field : m_fldList) {
        if (field != QLatin1String("id"))
            assignments.append(FNWStringWithFormat("%@=:%@", field, field));
    }
    const QString sql = FNWStringWithFormat("update %@  set %@ where id = %ld", m_tableName,
                                            assignments.join(QLatin1Char(',')), bean.ID);
    // The whole field list: the extra "id" entry matches no parameter and is skipped.
    const QVariantMap parameters = bean.getDictionaryOfObject(m_fldList);
    bool result = false;
    QString message = QString::fromLatin1(kNoConnectionMessage);
    inDatabase([&](FMDatabase& db) {
        result = db.executeUpdate(sql, parameters);
        if (!result)
            message = db.lastErrorMessage();
    });
    if (!result)
        DDLogError(updateFailureFormat, result, message);
    return result;
}

bool FNWBaseModel::executeUpdate(const QString& sql, const QVariantList& arguments, const char* failureFormat)
{
    bool result = false;
    QString message = QString::fromLatin1(kNoConnectionMessage);
    inDatabase([&](FMDatabase& db) {
        result = db.executeUpdate(sql, arguments);
        if (!result)
            message = db.lastErrorMessage();
    });
    if (!result && failureFormat)
        DDLogError(failureFormat, result, message);
    return result;
}

bool FNWBaseModel::hasRowForQuery(const QString& sql, const QVariantList& arguments, const char* failureFormat)
{
    bool found = false;
    inDatabase([&](FMDatabase& db) {
        std::unique_ptr<FMResultSet> resultSet = db.executeQuery(sql, arguments);
        if (!resultSet || db.hadError())
            DDLogError(failureFormat, db.lastErrorCode(), db.lastErrorMessage());
        found = resultSet && resultSet->next();
    });
    return found;
}

qint64 FNWBaseModel::maxViewPosition()
{
    const QString sql =
        FNWStringWithFormat("select coalesce( (SELECT max(viewPosition)  FROM %@), 0) as cn ", m_tableName);
    qint64 position = 0;
    inDatabase([&](FMDatabase& db) {
        std::unique_ptr<FMResultSet> resultSet = db.executeQuery(sql);
        if (!resultSet || db.hadError())
            DDLogError("%@: getMaxViewPosition, can't retrive - %@", className(), db.lastErrorMessage());
        if (resultSet && resultSet->next())
            position = resultSet->longLongIntForColumn(QStringLiteral("cn"));
    });
    return position;
}
