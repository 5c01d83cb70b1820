// Builds the prepared database shipped as "fnwe.db": a fresh file migrated with every .sql file
// of the given folder, so that a first start only copies it.
//
// Usage: fenwave-prepare-db <output.db> <migrations-folder>

#include "db/FMDBMigrationManager.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <filesystem>
#include <limits>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output.db> <migrations-folder>\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString migrations = QString::fromLocal8Bit(argv[2]);
    // Built aside and renamed into place, so that a failed run leaves no file that looks up to date.
    const QString scratch = output + QLatin1String(".tmp");
    QFile::remove(scratch);

    bool ok = false;
    {
        std::unique_ptr<FMDBMigrationManager> manager =
            FMDBMigrationManager::managerWithDatabaseAtPath(scratch, migrations);
        FMError error;
        if (!manager) {
            std::fprintf(stderr, "fenwave-prepare-db: no migration manager for %s\n", qPrintable(scratch));
        } else if (!manager->createMigrationsTable(&error)) {
            std::fprintf(stderr, "fenwave-prepare-db: %s\n", qPrintable(error.description()));
        } else if (manager->migrations().empty()) {
            std::fprintf(stderr, "fenwave-prepare-db: no migration files in %s\n", qPrintable(migrations));
        } else if (!manager->migrateDatabaseToVersion(std::numeric_limits<quint64>::max(), {}, &error)) {
            std::fprintf(stderr, "fenwave-prepare-db: migration failed: %s\n", qPrintable(error.description()));
        } else {
            ok = true;
        }
    }
    if (!ok) {
        QFile::remove(scratch);
        return 1;
    }
    std::error_code code;
    std::filesystem::rename(scratch.toStdString(), output.toStdString(), code);
    if (code) {
        std::fprintf(stderr, "fenwave-prepare-db: %s\n", code.message().c_str());
        QFile::remove(scratch);
        return 1;
    }
    return 0;
}
