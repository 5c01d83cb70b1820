#pragma once

#include "db/FMDatabase.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Errors the manager reports itself; SQLite failures keep the connection's domain and code.
inline constexpr const char* kFMDBMigrationManagerErrorDomain = "FMDBMigrationManager";
enum FMDBMigrationManagerError {
    FMDBMigrationManagerErrorMigrationCancelled = 1,
    FMDBMigrationManagerErrorUnreadableMigration = 2,
};

// One schema step: a version, an optional name and the work that applies it.
class FMDBMigrating
{
public:
    virtual ~FMDBMigrating() = default;
    virtual quint64 version() const = 0;
    // A null QString when the migration has no name.
    virtual QString name() const = 0;
    // Applies the step on the connection; on failure fills error (when given) and answers false.
    virtual bool migrateDatabase(FMDatabase* database, FMError* error) = 0;
};

// A migration read from a file named "<version>[_<name>].sql".
class FMDBFileMigration final : public FMDBMigrating
{
public:
    // The migration for the file, or none when its name does not follow the rule.
    static std::unique_ptr<FMDBFileMigration> migrationWithPath(const QString& path);

    const QString& path() const { return m_path; }
    quint64 version() const override { return m_version; }
    QString name() const override { return m_name; }
    // The file's contents as UTF-8, read on every call; none when the file cannot be read.
    std::optional<QString> SQL() const;
    bool migrateDatabase(FMDatabase* database, FMError* error) override;

private:
    FMDBFileMigration(QString path, quint64 version, QString name);

    const QString m_path;
    const quint64 m_version;
    const QString m_name;
};

// Brings a database up to date with the numbered .sql files of one folder, recording each
// applied version in schema_migrations.
class FMDBMigrationManager final
{
public:
    // Answers false to cancel the run; told each version once it has been applied, before its commit.
    using ProgressBlock = std::function<bool(quint64 version, const FMDBMigrating& migration)>;

    // A manager on its own connection to path, opened here and closed when the manager goes away.
    // None (logged) without a path or a migrations folder.
    static std::unique_ptr<FMDBMigrationManager> managerWithDatabaseAtPath(const QString& path,
                                                                           const QString& migrationsDirectory);
    ~FMDBMigrationManager();
    FMDBMigrationManager(const FMDBMigrationManager&) = delete;
    FMDBMigrationManager& operator=(const FMDBMigrationManager&) = delete;

    FMDatabase* database() const { return m_database.get(); }
    const QString& migrationsDirectory() const { return m_migrationsDirectory; }
    bool shouldCloseOnDealloc() const { return m_shouldCloseOnDealloc; }

    // Every known migration by version ascending: the folder's files, then those added in code.
    const std::vector<std::shared_ptr<FMDBMigrating>>& migrations();
    void addMigration(std::shared_ptr<FMDBMigrating> migration);

    bool hasMigrationsTable();
    bool createMigrationsTable(FMError* error);
    quint64 currentVersion();
    quint64 originVersion();
    QList<quint64> appliedVersions();
    QList<quint64> pendingVersions();
    bool needsMigration();
    FMDBMigrating* migrationForVersion(quint64 version);

    // Applies the pending versions up to targetVersion, each in its own exclusive transaction
    // together with its bookkeeping row. Stops at the first failure, which fills error.
    bool migrateDatabaseToVersion(quint64 targetVersion, const ProgressBlock& progress, FMError* error);

private:
    FMDBMigrationManager(std::unique_ptr<FMDatabase> database, QString migrationsDirectory);
    quint64 versionFromQuery(const QString& sql);

    std::unique_ptr<FMDatabase> m_database;
    const QString m_migrationsDirectory;
    bool m_shouldCloseOnDealloc = false;
    bool m_migrationsCollected = false;
    std::vector<std::shared_ptr<FMDBMigrating>> m_migrations;
    std::vector<std::shared_ptr<FMDBMigrating>> m_externalMigrations;
};
