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

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // No test reaches this machine's system bus: discovery would publish on the real network.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + path + "/run/no-system-bus").constData(), 1);
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

DatabaseLockHolder::DatabaseLockHolder(const QString& databasePath, int holdMs)
{
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0)
        return;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return;
    }
    const QByteArray program = QByteArrayLiteral(FNW_DB_LOCKER_PATH);
    const QByteArray path = databasePath.toUtf8();
    const QByteArray hold = QByteArray::number(holdMs);
    m_pid = fork();
    if (m_pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        execl(program.constData(), program.constData(), path.constData(), hold.constData(), nullptr);
        _exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    m_input = toChild[1];
    m_output = fromChild[0];
    m_locked = m_pid > 0 && readLine(20000) == "locked";
}

DatabaseLockHolder::~DatabaseLockHolder()
{
    release();
    waitUntilReleased();
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_output >= 0)
        ::close(m_output);
}

void DatabaseLockHolder::release()
{
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
}

bool DatabaseLockHolder::waitUntilReleased(int timeoutMs)
{
    if (!m_released && m_locked)
        m_released = readLine(timeoutMs) == "released";
    return m_released;
}

QByteArray DatabaseLockHolder::readLine(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_buffer.contains('\n')) {
        pollfd output{m_output, POLLIN, 0};
        if (m_output < 0 || poll(&output, 1, static_cast<int>(deadline.remainingTime())) <= 0)
            return {};
        char chunk[64];
        const ssize_t got = ::read(m_output, chunk, sizeof chunk);
        if (got <= 0)
            return {};
        m_buffer.append(chunk, got);
    }
    const qsizetype end = m_buffer.indexOf('\n');
    const QByteArray line = m_buffer.left(end);
    m_buffer.remove(0, end + 1);
    return line;
}

} // namespace fnw::test
