#pragma once

#include "support/DDLog.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <mutex>

#include <ostream>

namespace fnw::test {

// The temporary home made for this test process (also XDG data, config and cache).
QString testHome();

// Points HOME and the XDG folders of this process at a new temporary folder, removed when the
// returned object goes; settings, data and logs of a test never touch the real home.
std::unique_ptr<QTemporaryDir> usePrivateHome();

// Starts the shared database queue afresh on a new, fully migrated fnwe.db in the support folder.
bool useFreshDatabase();
// Runs the statements on the shared database queue; false when one fails.
bool executeSQL(const QString& sql);

// Runs the application's event loop until the condition holds; false when the time-out passed.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

QByteArray readFile(const QString& path);
// Creates the parent folders as needed.
void writeFile(const QString& path, const QByteArray& data);

// Collects every message of the shared dispatcher while it lives.
class LogCapture final
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every message so far, once the queued ones have been written.
    QStringList messages() const;

private:
    class Logger;
    std::shared_ptr<Logger> m_logger;
};

// Another program holding the database's write lock: a child process that begins an immediate
// transaction on the file and holds it for holdMs, or until release().
class DatabaseLockHolder final
{
public:
    // Returns once the child holds the lock, or has failed to take it (see locked()).
    DatabaseLockHolder(const QString& databasePath, int holdMs);
    ~DatabaseLockHolder();
    DatabaseLockHolder(const DatabaseLockHolder&) = delete;
    DatabaseLockHolder& operator=(const DatabaseLockHolder&) = delete;

    bool locked() const { return m_locked; }
    // Waits until the child has committed and let go of the file.
    bool waitUntilReleased(int timeoutMs = 20000);
    void release();

private:
    // The child's next line ("locked", "released"), empty on end or time-out.
    QByteArray readLine(int timeoutMs);

    int m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    bool m_locked = false;
    bool m_released = false;
    QByteArray m_buffer;
};

} // namespace fnw::test

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
