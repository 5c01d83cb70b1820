#include "db/FMDBMigrationManager.h"

#include "support/DDLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace {

const QString kMigrationsTable = QStringLiteral("schema_migrations");

void setError(FMError* out, const FMError& error)
{
    if (out)
        *out = error;
}

FMError managerError(int code, const QString& message)
{
    FMError error;
    error.domain = QString::fromLatin1(kFMDBMigrationManagerErrorDomain);
    error.code = code;
    error.message = message;
    return error;
}

} // namespace

FMDBFileMigration::FMDBFileMigration(QString path, quint64 version, QString name)
    : m_path(std::move(path))
    , m_version(version)
    , m_name(std::move(name))
{
}

std::unique_ptr<FMDBFileMigration> FMDBFileMigration::migrationWithPath(const QString& path)
{
    // \z rather than $, which also matches before a line feed at the end ("1.sql\n").
    static const QRegularExpression rule(QStringLiteral(R"(^(\d+)_?((?<=_)[\w\s-]+)?(?<!_)\.sql\z)"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch match = rule.match(QFileInfo(path).fileName());
    if (!match.hasMatch())
        return nullptr;

    bool ok = false;
    const quint64 version = match.captured(1).toULongLong(&ok, 10);
    // schema_migrations stores versions as signed 64-bit integers; a larger one could never be
    // recorded correctly, and MIN/MAX over it would be wrong.
    if (!ok || version > quint64(std::numeric_limits<qint64>::max())) {
        DDLogWarn("FMDBFileMigration: ignoring %@, its version is out of range", path);
        return nullptr;
    }
    const QString name = match.hasCaptured(2) ? match.captured(2) : QString();
    return std::unique_ptr<FMDBFileMigration>(new FMDBFileMigration(path, version, name));
}

std::optional<QString> FMDBFileMigration::SQL() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return QString::fromUtf8(contents);
}

bool FMDBFileMigration::migrateDatabase(FMDatabase* database, FMError* error)
{
    // An unreadable file must not pass for an empty one: its version would be recorded unapplied.
    const std::optional<QString> sql = SQL();
    if (!sql) {
        DDLogError("FMDBFileMigration: can't read migration file %@", m_path);
        setError(error, managerError(FMDBMigrationManagerErrorUnreadableMigration,
                                     QStringLiteral("Could not read migration file ") + m_path));
        return false;
    }
    if (!database->executeStatements(*sql)) {
        setError(error, database->lastError());
        return false;
    }
    return true;
}

FMDBMigrationManager::FMDBMigrationManager(std::unique_ptr<FMDatabase> database, QString migrationsDirectory)
    : m_database(std::move(database))
    , m_migrationsDirectory(std::move(migrationsDirectory))
{
}

FMDBMigrationManager::~FMDBMigrationManager()
{
    if (m_shouldCloseOnDealloc)
        m_database->close();
}

std::unique_ptr<FMDBMigrationManager>
FMDBMigrationManager::managerWithDatabaseAtPath(const QString& path, const QString& migrationsDirectory)
{
    if (path.isEmpty()) {
        DDLogError("Cannot initialize a `%@` with nil `database`.", "FMDBMigrationManager");
        return nullptr;
    }
    if (migrationsDirectory.isEmpty()) {
        DDLogError("Cannot initialize a `%@` with nil `migrationsBundle`.", "FMDBMigrationManager");
        return nullptr;
    }
    std::unique_ptr<FMDBMigrationManager> manager(
        new FMDBMigrationManager(std::make_unique<FMDatabase>(path), migrationsDirectory));
    if (!manager->m_database->goodConnection()) {
        manager->m_database->open();
        manager->m_shouldCloseOnDealloc = true;
    }
    return manager;
}

const std::vector<std::shared_ptr<FMDBMigrating>>& FMDBMigrationManager::migrations()
{
    if (m_migrationsCollected)
        return m_migrations;

    m_migrations.clear();
    const QFileInfoList files =
        QDir(m_migrationsDirectory).entryInfoList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        if (std::unique_ptr<FMDBFileMigration> migration = FMDBFileMigration::migrationWithPath(file.filePath()))
            m_migrations.push_back(std::move(migration));
    }
    m_migrations.insert(m_migrations.end(), m_externalMigrations.begin(), m_externalMigrations.end());
    // Stable, so that of two equal versions the first in name order is the one that applies.
    std::stable_sort(m_migrations.begin(), m_migrations.end(),
                     [](const auto& a, const auto& b) { return a->version() < b->version(); });
    m_migrationsCollected = true;
    return m_migrations;
}

void FMDBMigrationManager::addMigration(std::shared_ptr<FMDBMigrating> migration)
{
    if (!migration)
        return;
    m_externalMigrations.push_back(std::move(migration));
    m_migrationsCollected = false;
}

bool FMDBMigrationManager::hasMigrationsTable()
{
    std::unique_ptr<FMResultSet> rs = m_database->executeQuery(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name=?"), QVariantList{kMigrationsTable});
    if (!rs)
        return false;
    const bool found = rs->next();
    rs->close();
    return found;
}

bool FMDBMigrationManager::createMigrationsTable(FMError* error)
{
    if (m_database->executeUpdate(QStringLiteral("CREATE TABLE schema_migrations(version INTEGER UNIQUE NOT NULL)")))
        return true;
    setError(error, m_database->lastError());
    return false;
}

quint64 FMDBMigrationManager::versionFromQuery(const QString& sql)
{
    if (!hasMigrationsTable())
        return 0;
    std::unique_ptr<FMResultSet> rs = m_database->executeQuery(sql);
    if (!rs || !rs->next())
        return 0;
    const quint64 version = rs->unsignedLongLongIntForColumnIndex(0);
    rs->close();
    return version;
}

quint64 FMDBMigrationManager::currentVersion()
{
    return versionFromQuery(QStringLiteral("SELECT MAX(version) FROM schema_migrations"));
}

quint64 FMDBMigrationManager::originVersion()
{
    return versionFromQuery(QStringLiteral("SELECT MIN(version) FROM schema_migrations"));
}

QList<quint64> FMDBMigrationManager::appliedVersions()
{
    QList<quint64> versions;
    if (!hasMigrationsTable())
        return versions;
    std::unique_ptr<FMResultSet> rs = m_database->executeQuery(QStringLiteral("SELECT version FROM schema_migrations"));
    if (!rs)
        return versions;
    while (rs->next())
        versions.append(rs->unsignedLongLongIntForColumnIndex(0));
    std::sort(versions.begin(), versions.end());
    return versions;
}

QList<quint64> FMDBMigrationManager::pendingVersions()
{
    QList<quint64> versions;
    for (const auto& migration : migrations())
        versions.append(migration->version());
    if (hasMigrationsTable()) {
        const QList<quint64> applied = appliedVersions();
        versions.removeIf([&applied](quint64 version) { return applied.contains(version); });
    }
    std::sort(versions.begin(), versions.end());
    return versions;
}

bool FMDBMigrationManager::needsMigration()
{
    return !hasMigrationsTable() || !pendingVersions().isEmpty();
}

FMDBMigrating* FMDBMigrationManager::migrationForVersion(quint64 version)
{
    for (const auto& migration : migrations()) {
        if (migration->version() == version)
            return migration.get();
    }
    return nullptr;
}

bool FMDBMigrationManager::migrateDatabaseToVersion(quint64 targetVersion, const ProgressBlock& progress,
                                                    FMError* error)
{
    // The pending migrations themselves rather than their versions: of two files sharing a version, the
    // second one runs and then fails to record it.
    const QList<quint64> applied = hasMigrationsTable() ? appliedVersions() : QList<quint64>();
    std::vector<FMDBMigrating*> pending;
    for (const auto& migration : migrations()) {
        if (!applied.contains(migration->version()))
            pending.push_back(migration.get());
    }

    for (FMDBMigrating* migration : pending) {
        const quint64 version = migration->version();
        if (version > targetVersion)
            return true;
        // Without the transaction a failing file could leave half its statements applied.
        if (!m_database->beginTransaction()) {
            setError(error, m_database->lastError());
            return false;
        }
        FMError stepError;
        bool done = migration->migrateDatabase(m_database.get(), &stepError);
        if (done) {
            done = m_database->executeUpdate(QStringLiteral("INSERT INTO schema_migrations(version) VALUES (?)"),
                                             QVariantList{QVariant(qint64(version))});
            // Taken before the rollback, which would replace the connection's last error.
            if (!done)
                stepError = m_database->lastError();
        }
        if (done && progress && !progress(version, *migration)) {
            done = false;
            stepError = managerError(FMDBMigrationManagerErrorMigrationCancelled,
                                     QStringLiteral("Migration was halted due to cancellation."));
        }
        // A failed commit must not count as applied.
        if (done && !m_database->commit()) {
            done = false;
            stepError = m_database->lastError();
        }
        if (!done) {
            m_database->rollback();
            setError(error, stepError);
            return false;
        }
    }
    return true;
}
