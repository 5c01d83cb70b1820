#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <set>

struct sqlite3;
struct sqlite3_stmt;
class FMResultSet;

// The connection's latest SQLite error: domain "FMDatabase", SQLite's code and message.
struct FMError
{
    QString domain = QStringLiteral("FMDatabase");
    int code = 0;
    QString message;
    QString description() const { return message; }
};

// One SQLite connection. Statements are prepared, bound, run and finalised on every call;
// failures are return values plus log lines, and the connection stays usable.
//
// Binding: an invalid QVariant, a null QString or nullptr binds NULL; QByteArray a blob;
// QDateTime a real number of seconds since 1970; bool and 32-bit integers a 32-bit integer;
// wider integers a 64-bit integer; float and double a real; anything else its text, UTF-8.
// Reading: INTEGER gives qint64, REAL double, BLOB QByteArray, NULL an invalid QVariant and
// TEXT a QString.
class FMDatabase final
{
public:
    explicit FMDatabase(QString path);
    ~FMDatabase();
    FMDatabase(const FMDatabase&) = delete;
    FMDatabase& operator=(const FMDatabase&) = delete;

    const QString& databasePath() const { return m_databasePath; }
    sqlite3* sqliteHandle() const { return m_db; }

    // Opens read-write, creating the file when missing. YES when already open.
    bool open();
    bool openWithFlags(int flags);
    // Closes open cursors, finalises leaked statements if need be; always answers YES.
    bool close();
    bool isOpen() const { return m_db != nullptr; }
    bool goodConnection();

    bool logsErrors() const { return m_logsErrors; }
    void setLogsErrors(bool logs) { m_logsErrors = logs; }
    bool traceExecution() const { return m_traceExecution; }
    void setTraceExecution(bool trace) { m_traceExecution = trace; }
    double maxBusyRetryTimeInterval() const { return m_maxBusyRetryTimeInterval; }
    void setMaxBusyRetryTimeInterval(double seconds);

    // One statement that returns no rows, with positional (?) or named (:name) parameters.
    bool executeUpdate(const QString& sql);
    bool executeUpdate(const QString& sql, const QVariantList& arguments);
    bool executeUpdate(const QString& sql, const QVariantMap& withParameterDictionary);
    // One query; the cursor, or none on failure.
    std::unique_ptr<FMResultSet> executeQuery(const QString& sql);
    std::unique_ptr<FMResultSet> executeQuery(const QString& sql, const QVariantList& arguments);
    std::unique_ptr<FMResultSet> executeQuery(const QString& sql, const QVariantMap& withParameterDictionary);
    // Several statements separated by semicolons, run in order.
    bool executeStatements(const QString& sql);

    qint64 lastInsertRowId() const;
    int lastErrorCode() const;
    QString lastErrorMessage() const;
    bool hadError() const;
    FMError lastError() const;

    bool beginTransaction();
    bool commit();
    bool rollback();

    // Whether a statement since the last clear gave up on another connection's lock
    // (SQLITE_BUSY or SQLITE_LOCKED once the busy wait was spent).
    bool metLock() const { return m_metLock; }
    void clearMetLock() { m_metLock = false; }

    bool hasOpenResultSets() const { return !m_openResultSets.empty(); }
    void closeOpenResultSets();

private:
    friend class FMResultSet;

    // Prepares and binds; the statement, or none after logging why.
    sqlite3_stmt* prepare(const QString& sql, const QVariantList* arguments, const QVariantMap* dictionary,
                          bool forQuery);
    bool runUpdate(const QString& sql, const QVariantList* arguments, const QVariantMap* dictionary);
    std::unique_ptr<FMResultSet> runQuery(const QString& sql, const QVariantList* arguments,
                                          const QVariantMap* dictionary);
    void bindObject(const QVariant& value, int column, sqlite3_stmt* statement);
    void resultSetDidClose(FMResultSet* resultSet);
    static int busyHandler(void* context, int count);
    // Notes a step's or prepare's result that means another connection holds the lock.
    void noteResult(int result);

    const QString m_databasePath;
    sqlite3* m_db = nullptr;
    bool m_logsErrors = true;
    bool m_traceExecution = false;
    bool m_isExecutingStatement = false;
    double m_maxBusyRetryTimeInterval = 2.0;
    qint64 m_busyRetryStartMs = 0;
    bool m_metLock = false;
    std::set<FMResultSet*> m_openResultSets;
};

// A cursor over the rows of one query. It closes itself after the last row or a failure.
class FMResultSet final
{
public:
    ~FMResultSet();
    FMResultSet(const FMResultSet&) = delete;
    FMResultSet& operator=(const FMResultSet&) = delete;

    bool next();
    // The current row by column name (the table's name or the alias given with "as").
    QVariantMap resultDictionary() const;
    int columnCount() const;
    QString columnNameForIndex(int index) const;
    QVariant objectForColumnIndex(int index) const;
    QVariant objectForColumnName(const QString& name) const;
    int intForColumnIndex(int index) const;
    quint64 unsignedLongLongIntForColumnIndex(int index) const;
    qint64 longLongIntForColumn(const QString& name) const;
    QString stringForColumn(const QString& name) const;
    double doubleForColumn(const QString& name) const;
    const QString& query() const { return m_query; }
    // Resets and releases the statement; closing twice is harmless.
    void close();

private:
    friend class FMDatabase;
    FMResultSet(FMDatabase* parent, sqlite3_stmt* statement, QString query);
    int columnIndexForName(const QString& name) const;

    FMDatabase* m_parent;
    sqlite3_stmt* m_statement;
    QString m_query;
};
