#include "db/FMDatabase.h"

#include "support/DDLog.h"

#include <QDateTime>

#include <sqlite3.h>

#include <algorithm>
#include <cassert>
#include <random>

namespace {

bool isThirtyTwoBit(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
        return true;
    default:
        return false;
    }
}

bool isSixtyFourBit(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

QVariant columnValue(sqlite3_stmt* statement, int index)
{
    switch (sqlite3_column_type(statement, index)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qint64>(sqlite3_column_int64(statement, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, index));
    case SQLITE_BLOB: {
        const void* data = sqlite3_column_blob(statement, index);
        const int size = sqlite3_column_bytes(statement, index);
        return QVariant(QByteArray(static_cast<const char*>(data), size));
    }
    case SQLITE_NULL:
        return QVariant();
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
        const int size = sqlite3_column_bytes(statement, index);
        return QVariant(QString::fromUtf8(text, size));
    }
    }
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

FMDatabase::FMDatabase(QString path)
    : m_databasePath(std::move(path))
{
    // Connections are used from several threads in turn; the library must be built for it.
    assert(sqlite3_threadsafe() != 0);
}

FMDatabase::~FMDatabase()
{
    close();
}

bool FMDatabase::open()
{
    return openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

bool FMDatabase::openWithFlags(int flags)
{
    if (m_db)
        return true;
    const QByteArray path = m_databasePath.toUtf8();
    const int result = sqlite3_open_v2(path.constData(), &m_db, flags, nullptr);
    if (result != SQLITE_OK) {
        DDLogError("error opening!: %d", result);
        if (m_db) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
        return false;
    }
    if (m_maxBusyRetryTimeInterval > 0.0)
        sqlite3_busy_handler(m_db, &FMDatabase::busyHandler, this);
    return true;
}

bool FMDatabase::close()
{
    closeOpenResultSets();
    if (!m_db)
        return true;
    int result = sqlite3_close(m_db);
    if (result == SQLITE_BUSY || result == SQLITE_LOCKED) {
        while (sqlite3_stmt* statement = sqlite3_next_stmt(m_db, nullptr)) {
            DDLogError("Closing leaked statement");
            sqlite3_finalize(statement);
        }
        result = sqlite3_close(m_db);
        if (result != SQLITE_OK)
            DDLogError("error closing!: %d", result);
    }
    m_db = nullptr;
    return true;
}

bool FMDatabase::goodConnection()
{
    if (!m_db)
        return false;
    std::unique_ptr<FMResultSet> rs = executeQuery(QStringLiteral("select name from sqlite_master where type='table'"));
    return rs != nullptr;
}

void FMDatabase::setMaxBusyRetryTimeInterval(double seconds)
{
    m_maxBusyRetryTimeInterval = seconds;
    if (!m_db)
        return;
    if (seconds > 0.0)
        sqlite3_busy_handler(m_db, &FMDatabase::busyHandler, this);
    else
        sqlite3_busy_handler(m_db, nullptr, nullptr);
}

int FMDatabase::busyHandler(void* context, int count)
{
    auto* self = static_cast<FMDatabase*>(context);
    if (count == 0) {
        self->m_busyRetryStartMs = nowMs();
        return 1;
    }
    const qint64 elapsed = nowMs() - self->m_busyRetryStartMs;
    if (static_cast<double>(elapsed) >= self->m_maxBusyRetryTimeInterval * 1000.0)
        return 0;
    // Short naps, so that a wait of a few milliseconds ends when the lock goes, not 50 ms later.
    thread_local std::minstd_rand random{std::random_device{}()};
    const qint64 left = static_cast<qint64>(self->m_maxBusyRetryTimeInterval * 1000.0) - elapsed;
    const int requested = static_cast<int>(std::min<qint64>(left, 2 + static_cast<int>(random() % 3)));
    const int actual = sqlite3_sleep(requested);
    if (actual != requested)
        DDLogError("WARNING: Requested sleep of %i milliseconds, but SQLite returned %i. Maybe SQLite wasn't built "
                   "with HAVE_USLEEP=1?",
                   requested, actual);
    return 1;
}

void FMDatabase::noteResult(int result)
{
    const int primary = result & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        m_metLock = true;
}

void FMDatabase::bindObject(const QVariant& value, int column, sqlite3_stmt* statement)
{
    const int type = value.typeId();
    if (!value.isValid() || type == QMetaType::Nullptr || (type == QMetaType::QString && value.toString().isNull())) {
        sqlite3_bind_null(statement, column);
    } else if (type == QMetaType::QByteArray) {
        const QByteArray data = value.toByteArray();
        // Empty data is an empty blob, not NULL.
        sqlite3_bind_blob(statement, column, data.isEmpty() ? "" : data.constData(), static_cast<int>(data.size()),
                          SQLITE_TRANSIENT);
    } else if (type == QMetaType::QDateTime) {
        const QDateTime date = value.toDateTime();
        if (date.isValid())
            sqlite3_bind_double(statement, column, static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0);
        else
            sqlite3_bind_null(statement, column);
    } else if (isThirtyTwoBit(value)) {
        sqlite3_bind_int(statement, column, value.toInt());
    } else if (isSixtyFourBit(value)) {
        sqlite3_bind_int64(statement, column,
                           type == QMetaType::ULongLong || type == QMetaType::ULong
                               ? static_cast<sqlite3_int64>(value.toULongLong())
                               : static_cast<sqlite3_int64>(value.toLongLong()));
    } else if (type == QMetaType::Double || type == QMetaType::Float) {
        sqlite3_bind_double(statement, column, value.toDouble());
    } else {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text(statement, column, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
}

sqlite3_stmt* FMDatabase::prepare(const QString& sql, const QVariantList* arguments, const QVariantMap* dictionary,
                                  bool forQuery)
{
    if (m_traceExecution)
        DDLogInfo("%@ executeQuery: %@", m_databasePath, sql);
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    const int result = sqlite3_prepare_v2(m_db, text.constData(), -1, &statement, nullptr);
    noteResult(result);
    if (result != SQLITE_OK) {
        if (m_logsErrors) {
            DDLogError("DB Error: %d \"%@\"", lastErrorCode(), lastErrorMessage());
            DDLogError("DB Query: %@", sql);
            DDLogError("DB Path: %@", m_databasePath);
        }
        sqlite3_finalize(statement);
        return nullptr;
    }

    const int parameterCount = sqlite3_bind_parameter_count(statement);
    int bound = 0;
    if (dictionary) {
        for (auto it = dictionary->cbegin(); it != dictionary->cend(); ++it) {
            const QByteArray name = (QLatin1Char(':') + it.key()).toUtf8();
            const int index = sqlite3_bind_parameter_index(statement, name.constData());
            if (index > 0) {
                if (m_traceExecution)
                    DDLogInfo("%@ = %@", it.key(), it.value().toString());
                bindObject(it.value(), index, statement);
                ++bound;
            } else {
                DDLogInfo("Could not find index for %@", it.key());
            }
        }
    } else if (arguments) {
        while (bound < parameterCount && bound < arguments->size()) {
            if (m_traceExecution)
                DDLogInfo("obj: %@", arguments->at(bound).toString());
            bindObject(arguments->at(bound), bound + 1, statement);
            ++bound;
        }
    }
    if (bound != parameterCount) {
        if (forQuery)
            DDLogError("Error: the bind count is not correct for the # of variables (executeQuery)");
        else
            DDLogError("Error: the bind count (%d) is not correct for the # of variables in the query (%d) (%@) "
                       "(executeUpdate)",
                       bound, parameterCount, sql);
        sqlite3_finalize(statement);
        return nullptr;
    }
    return statement;
}

bool FMDatabase::runUpdate(const QString& sql, const QVariantList* arguments, const QVariantMap* dictionary)
{
    if (!m_db) {
        DDLogError("The FMDatabase %@ is not open.", m_databasePath);
        return false;
    }
    if (m_isExecutingStatement) {
        DDLogError("The FMDatabase %@ is currently in use.", m_databasePath);
        return false;
    }
    m_isExecutingStatement = true;
    sqlite3_stmt* statement = prepare(sql, arguments, dictionary, false);
    if (!statement) {
        m_isExecutingStatement = false;
        return false;
    }
    const int result = sqlite3_step(statement);
    noteResult(result);
    if (result != SQLITE_DONE && result != SQLITE_OK && m_logsErrors) {
        if (result == SQLITE_ERROR)
            DDLogError("Error calling sqlite3_step (%d: %s) SQLITE_ERROR", result, lastErrorMessage());
        else if (result == SQLITE_MISUSE)
            DDLogError("Error calling sqlite3_step (%d: %s) SQLITE_MISUSE", result, lastErrorMessage());
        else
            DDLogError("Unknown error calling sqlite3_step (%d: %s) eu", result, lastErrorMessage());
        DDLogError("DB Query: %@", sql);
    }
    // Finalising reports the step's error again; only a new one is worth a line.
    const int finalized = sqlite3_finalize(statement);
    if (finalized != SQLITE_OK && finalized != result && m_logsErrors)
        DDLogError("Unknown error finalizing or resetting statement (%d: %s)", finalized, lastErrorMessage());
    m_isExecutingStatement = false;
    return result == SQLITE_DONE || result == SQLITE_OK;
}

std::unique_ptr<FMResultSet> FMDatabase::runQuery(const QString& sql, const QVariantList* arguments,
                                                  const QVariantMap* dictionary)
{
    if (!m_db) {
        DDLogError("The FMDatabase %@ is not open.", m_databasePath);
        return nullptr;
    }
    if (m_isExecutingStatement) {
        DDLogError("The FMDatabase %@ is currently in use.", m_databasePath);
        return nullptr;
    }
    m_isExecutingStatement = true;
    sqlite3_stmt* statement = prepare(sql, arguments, dictionary, true);
    m_isExecutingStatement = false;
    if (!statement)
        return nullptr;
    std::unique_ptr<FMResultSet> resultSet(new FMResultSet(this, statement, sql));
    m_openResultSets.insert(resultSet.get());
    return resultSet;
}

bool FMDatabase::executeUpdate(const QString& sql)
{
    const QVariantList none;
    return runUpdate(sql, &none, nullptr);
}

bool FMDatabase::executeUpdate(const QString& sql, const QVariantList& arguments)
{
    return runUpdate(sql, &arguments, nullptr);
}

bool FMDatabase::executeUpdate(const QString& sql, const QVariantMap& withParameterDictionary)
{
    return runUpdate(sql, nullptr, &withParameterDictionary);
}

std::unique_ptr<FMResultSet> FMDatabase::executeQuery(const QString& sql)
{
    const QVariantList none;
    return runQuery(sql, &none, nullptr);
}

std::unique_ptr<FMResultSet> FMDatabase::executeQuery(const QString& sql, const QVariantList& arguments)
{
    return runQuery(sql, &arguments, nullptr);
}

std::unique_ptr<FMResultSet> FMDatabase::executeQuery(const QString& sql, const QVariantMap& withParameterDictionary)
{
    return runQuery(sql, nullptr, &withParameterDictionary);
}

bool FMDatabase::executeStatements(const QString& sql)
{
    if (!m_db) {
        DDLogError("The FMDatabase %@ is not open.", m_databasePath);
        return false;
    }
    const QByteArray text = sql.toUtf8();
    char* error = nullptr;
    const int result = sqlite3_exec(m_db, text.constData(), nullptr, nullptr, &error);
    noteResult(result);
    if (result != SQLITE_OK && m_logsErrors)
        DDLogError("Error inserting batch: %s", error ? error : sqlite3_errmsg(m_db));
    sqlite3_free(error);
    return result == SQLITE_OK;
}

qint64 FMDatabase::lastInsertRowId() const
{
    return m_db ? static_cast<qint64>(sqlite3_last_insert_rowid(m_db)) : 0;
}

int FMDatabase::lastErrorCode() const
{
    return m_db ? sqlite3_errcode(m_db) : SQLITE_MISUSE;
}

QString FMDatabase::lastErrorMessage() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("database is not open");
}

bool FMDatabase::hadError() const
{
    const int code = lastErrorCode();
    return code > SQLITE_OK && code < SQLITE_ROW;
}

FMError FMDatabase::lastError() const
{
    FMError error;
    error.code = lastErrorCode();
    error.message = lastErrorMessage();
    return error;
}

bool FMDatabase::beginTransaction()
{
    return executeUpdate(QStringLiteral("begin exclusive transaction"));
}

bool FMDatabase::commit()
{
    return executeUpdate(QStringLiteral("commit transaction"));
}

bool FMDatabase::rollback()
{
    return executeUpdate(QStringLiteral("rollback transaction"));
}

void FMDatabase::closeOpenResultSets()
{
    // Closing removes each cursor from the set, so work on a copy.
    const std::set<FMResultSet*> open = m_openResultSets;
    for (FMResultSet* resultSet : open)
        resultSet->close();
}

void FMDatabase::resultSetDidClose(FMResultSet* resultSet)
{
    m_openResultSets.erase(resultSet);
}

FMResultSet::FMResultSet(FMDatabase* parent, sqlite3_stmt* statement, QString query)
    : m_parent(parent)
    , m_statement(statement)
    , m_query(std::move(query))
{
}

FMResultSet::~FMResultSet()
{
    close();
}

void FMResultSet::close()
{
    if (m_statement) {
        sqlite3_reset(m_statement);
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
    if (m_parent) {
        m_parent->resultSetDidClose(this);
        m_parent = nullptr;
    }
}

bool FMResultSet::next()
{
    if (!m_statement)
        return false;
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (m_parent)
        m_parent->noteResult(result);
    if (result == SQLITE_BUSY || result == SQLITE_LOCKED) {
        DDLogError("%s:%d Database busy (%@)", __FILE__, __LINE__, m_parent ? m_parent->databasePath() : QString());
        DDLogError("Database busy");
    } else if (result != SQLITE_DONE) {
        const QString message = m_parent ? m_parent->lastErrorMessage() : QString();
        if (result == SQLITE_ERROR)
            DDLogError("Error calling sqlite3_step (%d: %s) rs", result, message);
        else
            DDLogError("Unknown error calling sqlite3_step (%d: %s) rs", result, message);
    }
    close();
    return false;
}

int FMResultSet::columnCount() const
{
    return m_statement ? sqlite3_column_count(m_statement) : 0;
}

QString FMResultSet::columnNameForIndex(int index) const
{
    return m_statement ? QString::fromUtf8(sqlite3_column_name(m_statement, index)) : QString();
}

QVariantMap FMResultSet::resultDictionary() const
{
    const int count = m_statement ? sqlite3_data_count(m_statement) : 0;
    if (count == 0) {
        DDLogError("Warning: There seem to be no columns in this set.");
        return {};
    }
    QVariantMap row;
    for (int i = 0; i < count; ++i)
        row.insert(columnNameForIndex(i), columnValue(m_statement, i));
    return row;
}

QVariant FMResultSet::objectForColumnIndex(int index) const
{
    if (!m_statement || index < 0 || index >= sqlite3_column_count(m_statement))
        return {};
    return columnValue(m_statement, index);
}

int FMResultSet::columnIndexForName(const QString& name) const
{
    const int count = columnCount();
    for (int i = 0; i < count; ++i) {
        if (columnNameForIndex(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant FMResultSet::objectForColumnName(const QString& name) const
{
    return objectForColumnIndex(columnIndexForName(name));
}

int FMResultSet::intForColumnIndex(int index) const
{
    return m_statement ? sqlite3_column_int(m_statement, index) : 0;
}

quint64 FMResultSet::unsignedLongLongIntForColumnIndex(int index) const
{
    return m_statement ? static_cast<quint64>(sqlite3_column_int64(m_statement, index)) : 0;
}

qint64 FMResultSet::longLongIntForColumn(const QString& name) const
{
    const int index = columnIndexForName(name);
    return (m_statement && index >= 0) ? static_cast<qint64>(sqlite3_column_int64(m_statement, index)) : 0;
}

QString FMResultSet::stringForColumn(const QString& name) const
{
    const QVariant value = objectForColumnName(name);
    return value.isValid() ? value.toString() : QString();
}

double FMResultSet::doubleForColumn(const QString& name) const
{
    const int index = columnIndexForName(name);
    return (m_statement && index >= 0) ? sqlite3_column_double(m_statement, index) : 0.0;
}
