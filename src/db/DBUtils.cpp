#include "db/DBUtils.h"

#include "base/FNWUtils.h"
#include "db/FMDBMigrationManager.h"
#include "db/TestExecutionDAO.h"
#include "support/DDLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// What the file is: a database, plainly damaged (no database at all, or cut short), or not to be
// judged now (busy, unreadable for its permissions).
enum class FileState { Whole, Damaged, Unknown };

FileState inspectDatabaseFile(const QString& path, QString* detail)
{
    // The header alone tells garbage and a file cut short, without reading the whole file at every
    // start: the magic text, and the size SQLite wrote there against the size on disk.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *detail = file.errorString();
        return FileState::Unknown;
    }
    const QByteArray header = file.read(100);
    const qint64 fileSize = file.size();
    file.close();
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16))) {
        *detail = fileSize == 0 ? QStringLiteral("the file is empty") : QStringLiteral("it is not a database");
        return FileState::Damaged;
    }
    const auto bigEndian = [&](int offset, int bytes) {
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | static_cast<quint8>(header.at(offset + i));
        return value;
    };
    const quint64 pageSize = bigEndian(16, 2) == 1 ? 65536 : bigEndian(16, 2);
    const quint64 pages = bigEndian(28, 4);
    // The size field is only kept up by versions that also write the matching change counter; with
    // a write-ahead log beside it another process may be checkpointing, so only a file without
    // one is judged by its size.
    const bool logBeside = QFileInfo(path + QLatin1String("-wal")).size() > 0;
    if (!logBeside && bigEndian(92, 4) == bigEndian(24, 4) && pages > 0 &&
        static_cast<quint64>(fileSize) < pages * pageSize) {
        *detail = FNWStringWithFormat("it is cut short: %lld of %llu bytes", fileSize, pages * pageSize);
        return FileState::Damaged;
    }
    // Then what SQLite makes of its schema.
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 2000);
        rc = sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
    }
    *detail = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    const int primary = rc & 0xff;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        return FileState::Damaged;
    return primary == SQLITE_OK ? FileState::Whole : FileState::Unknown;
}

// Renames the file, with its write-ahead log and shared memory, to "<path>.damaged-<date>".
bool moveAside(const QString& path, QString* movedTo, QString* error)
{
    const QString stem =
        path + QLatin1String(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    // Never over an earlier damaged copy.
    QString target = stem;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = stem + QLatin1Char('-') + QString::number(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString companion = path + QLatin1String(suffix);
        if (QFileInfo::exists(companion))
            ::rename(QFile::encodeName(companion).constData(), QFile::encodeName(target + QLatin1String(suffix)).constData());
    }
    *movedTo = target;
    return true;
}


std::mutex s_pathMutex;
QString s_appDBPath;

// Writes the copy under a temporary name and renames it into place, so that an interrupted copy
// never leaves a partial file that later starts would take for the database. The new file gets
// default permissions rather than the resource's, which may be read-only once installed.
bool copyFileAtomically(const QString& source, const QString& destination, QString* error)
{
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly)) {
        *error = input.errorString() + QLatin1String(" (") + source + QLatin1Char(')');
        return false;
    }
    QSaveFile output(destination);
    if (!output.open(QIODevice::WriteOnly)) {
        *error = output.errorString() + QLatin1String(" (") + destination + QLatin1Char(')');
        return false;
    }
    while (!input.atEnd()) {
        const QByteArray chunk = input.read(1 << 16);
        if (chunk.isEmpty() && input.error() != QFileDevice::NoError) {
            *error = input.errorString() + QLatin1String(" (") + source + QLatin1Char(')');
            return false;
        }
        if (output.write(chunk) != chunk.size()) {
            *error = output.errorString() + QLatin1String(" (") + destination + QLatin1Char(')');
            return false;
        }
    }
    if (!output.commit()) {
        *error = output.errorString() + QLatin1String(" (") + destination + QLatin1Char(')');
        return false;
    }
    return true;
}

} // namespace

QString DBUtils::appDBPath()
{
    std::lock_guard lock(s_pathMutex);
    if (s_appDBPath.isEmpty()) {
        s_appDBPath = FNWUtils::applicationSupportDirectory() + QLatin1String("/fnwe.db");
        DDLogInfo("DBUtils: dbPath is %@", s_appDBPath);
    }
    return s_appDBPath;
}

void DBUtils::setAppDBPathForTesting(const QString& path)
{
    std::lock_guard lock(s_pathMutex);
    s_appDBPath = path;
}

bool DBUtils::copyDBFileIfNeeded(QString* failure)
{
    const QString path = appDBPath();
    if (QFileInfo::exists(path)) {
        DDLogInfo("DBUtils: DB file is already present..");
        return true;
    }
    QString error;
    if (!copyFileAtomically(FNWUtils::pathForResource(QStringLiteral("fnwe.db")), path, &error)) {
        DDLogError("DBUtils: copied db file at above path..%@.", error);
        if (failure)
            *failure = error;
        return false;
    }
    DDLogInfo("DBUtils: copied db file at above path..%@.", QString());
    return true;
}

bool DBUtils::performDBMigration(QString* failure)
{
    std::unique_ptr<FMDBMigrationManager> manager =
        FMDBMigrationManager::managerWithDatabaseAtPath(appDBPath(), FNWUtils::resourcesDirectory());
    if (!manager) {
        if (failure)
            *failure = QStringLiteral("the database cannot be opened");
        return false;
    }

    if (manager->hasMigrationsTable()) {
        DDLogInfo("DBUtils: migration table is already present...");
        // A newer Fenwave's database would be half understood: it is left as it is.
        const auto& known = manager->migrations();
        const quint64 newest = known.empty() ? 0 : known.back()->version();
        if (manager->currentVersion() > newest) {
            DDLogError("DBUtils: the database is at version %llu, this Fenwave knows up to %llu; left untouched",
                       manager->currentVersion(), newest);
            if (failure)
                *failure = FNWStringWithFormat("it was written by a newer Fenwave (database version %llu; this one "
                                               "knows up to %llu) and is left as it is",
                                               manager->currentVersion(), newest);
            return false;
        }
    } else {
        FMError error;
        if (!manager->createMigrationsTable(&error))
            DDLogError("DBUtils: Unable create migration table, not sure what to do now.. %@", error);
    }

    FMError error;
    if (!manager->migrateDatabaseToVersion(std::numeric_limits<quint64>::max(), {}, &error)) {
        DDLogError("DBUtils: Opps can't perfrom database migration using FMDBMigrationManager... not sure where to go "
                   "after this error.. %@",
                   error);
        if (failure)
            *failure = error.message;
        return false;
    }
    DDLogInfo("DBUtils: migration done successfully...");
    DDLogInfo("DBUtils: Origin Version is '%llu'", manager->originVersion());
    DDLogInfo("DBUtils: Current version is '%llu'", manager->currentVersion());
    return true;
}

QString DBUtils::prepareDatabase(QString* movedAside)
{
    QString reason = FNWUtils::applicationSupportDirectoryProblem();
    QString path = FNWUtils::applicationSupportDirectory();
    if (reason.isEmpty()) {
        path = appDBPath();
        // A damaged file is kept for whoever wants to rescue it, never overwritten; the results
        // to come go into a fresh copy.
        QString detail;
        if (QFileInfo::exists(path) && inspectDatabaseFile(path, &detail) == FileState::Damaged) {
            QString movedTo;
            QString error;
            if (moveAside(path, &movedTo, &error)) {
                DDLogError("DBUtils: %@ is damaged (%@), moved to %@", path, detail, movedTo);
                if (movedAside)
                    *movedAside = movedTo;
            } else {
                DDLogError("DBUtils: %@ is damaged (%@) and cannot be moved aside - %@", path, detail, error);
                return path + FNWStringWithFormat(": the file is damaged (%@) and cannot be moved aside (%@)", detail,
                                                  error);
            }
        }
        if (copyDBFileIfNeeded(&reason) && performDBMigration(&reason)) {
            QFile file(path);
            if (!file.open(QIODevice::ReadWrite))
                reason = FNWStringWithFormat("the file cannot be written (%@)", file.errorString());
        }
    }
    return reason.isEmpty() ? QString() : path + QLatin1String(": ") + reason;
}

qint64 DBUtils::repairInterruptedRuns()
{
    // Kept open for the life of the process; the kernel lets go of the lock when it ends, however it
    // ends.
    static std::mutex mutex;
    static int lockFile = -1;
    std::lock_guard lock(mutex);
    if (lockFile < 0) {
        lockFile = ::open(QFile::encodeName(appDBPath() + QLatin1String(".running")).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lockFile < 0) {
            DDLogError("DBUtils: can't open the run lock beside %@ - %s", appDBPath(), std::strerror(errno));
            return -1;
        }
    }
    qint64 marked = -1;
    if (::flock(lockFile, LOCK_EX | LOCK_NB) == 0) {
        marked = TestExecutionDAO().markRunningExecutionsFailed(QString::fromLatin1(kInterruptedReason));
        if (marked > 0)
            DDLogError("DBUtils: %ld test executions were left running by a Fenwave that stopped during them, "
                       "marked failed",
                       marked);
    } else {
        DDLogInfo("DBUtils: another Fenwave program uses %@, its running tests are left as they are", appDBPath());
    }
    if (::flock(lockFile, LOCK_SH) != 0)
        DDLogError("DBUtils: can't hold the run lock beside %@ - %s", appDBPath(), std::strerror(errno));
    return marked;
}
