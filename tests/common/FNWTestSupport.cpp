#include "FNWTestSupport.h"

#include "base/FNWUtils.h"
#include "db/DBUtils.h"
#include "db/FNWBaseModel.h"

#include "db/FMDatabase.h"
#include "db/FMDatabaseQueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdlib>

namespace fnw::test {

QString g_testHome;

QString testHome()
{
    return g_testHome;
}

std::unique_ptr<QTemporaryDir> usePrivateHome()
{
    auto home = std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1String("/fenwave-test-home-XXXXXX"));
    if (!home->isValid())
        return nullptr;
    g_testHome = home->path();
    const QByteArray path = home->path().toUtf8();
    setenv("HOME", path.constData(), 1);
    setenv("XDG_DATA_HOME", (path + "/.local/share").constData(), 1);
    setenv("XDG_CONFIG_HOME", (path + "/.config").constData(), 1);
    setenv("XDG_CACHE_HOME", (path + "/.cache").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (path + "/run").constData(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    QDir().mkpath(home->path() + QLatin1String("/run"));
    QFile::setPermissions(home->path() + QLatin1String("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return home;
}

bool useFreshDatabase()
{
    FNWBaseModel::resetSharedQueueForTesting();
    // Logging set-up makes the support folder at start-up; the tests have no start-up.
    QDir().mkpath(FNWUtils::applicationSupportDirectory());
    QFile::remove(DBUtils::appDBPath());
    return DBUtils::performDBMigration();
}

bool executeSQL(const QString& sql)
{
    bool done = false;
    FNWBaseModel::fmdbQueue()->inDatabase([&](FMDatabase* db) { done = db->executeStatements(sql); });
    return done;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    // Wakes the loop now and then, for conditions other threads change without posting an event.
    QTimer wake;
    wake.start(20);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

class LogCapture::Logger final : public DDAbstractLogger
{
public:
    Logger()
        : DDAbstractLogger("test.capture")
    {
    }
    void logMessage(const DDLogMessage& message) override
    {
        std::lock_guard lock(m_mutex);
        m_messages.append(message.logMsg);
    }
    QString loggerName() const override { return QStringLiteral("test.capture"); }
    // A list of its own: sharing the array would let the logging thread append to it in place
    // while the reader detaches.
    QStringList messages() const
    {
        std::lock_guard lock(m_mutex);
        QStringList copy;
        copy.reserve(m_messages.size());
        for (const QString& message : m_messages)
            copy.append(message);
        return copy;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_messages;
};

LogCapture::LogCapture()
    : m_logger(std::make_shared<Logger>())
{
    DDLog::sharedInstance().addLogger(m_logger);
}

LogCapture::~LogCapture()
{
    DDLog::sharedInstance().removeLogger(m_logger);
}

QStringList LogCapture::messages() const
{
    DDLog::sharedInstance().flushLog();
    return m_logger->messages();
}

} // namespace fnw::test
