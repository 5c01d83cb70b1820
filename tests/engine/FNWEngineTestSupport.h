#pragma once

// Shared by the engine's tests: runs, their outcomes, notifications, installed executables.

#include "base/FNWNotificationCenter.h"
#include "engine/PerfTest.h"
#include "engine/TestManager.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class FNWPresetBean;
class TestBean;

namespace fnw::test {

// A preset as the editor leaves it for a timed TCP test without extras.
std::shared_ptr<FNWPresetBean> timedPreset(qint64 seconds, qint64 interval = 1);
// One test: the preset against address:port, at the given order.
std::shared_ptr<TestBean> makeTest(std::shared_ptr<FNWPresetBean> preset, const QString& address, int port,
                                   qint64 order = 1);

// iperf3's server arguments on 127.0.0.1 at the port.
QStringList loopbackIperf3Arguments(int port);

// Writes an executable at the path (made executable).
void installExecutable(const QString& path, const QByteArray& content);
// Installs the built wrappers into the support folder, as start-up does.
bool installWrappers();

// A server process for the length of a test, started with fork and exec (ThreadSanitizer follows
// those, unlike QProcess's way of starting children) and killed at the end. Output is discarded.
class ServerProcess final
{
public:
    ServerProcess(const QString& program, const QStringList& arguments);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    // Stops the server as a service stop (SIGTERM) or a crash (SIGKILL) would.
    void sendSignal(int signal);

private:
    int m_pid = -1;
};

// Every outcome a run reports.
class RecordingRunDelegate final : public PerfTestDelegate
{
public:
    struct Outcome
    {
        bool finished = false;
        QString reason;
    };
    void testDidFinished(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test) override;
    void testDidFailed(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test,
                       const QString& failuerReason) override;
    std::vector<Outcome> outcomes() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Outcome> m_outcomes;
};

// Every call of the test manager to its view, in order.
class RecordingManagerDelegate final : public TestManagerDelegate
{
public:
    // "will:<testBean_id>", "done:<testBean_id>:<status>", "stopped".
    QStringList calls;
    void willExecuteTest(const std::shared_ptr<TestExecutionBean>& execution) override;
    void iperfShallExecutionFinishedForTest(const std::shared_ptr<TestExecutionBean>& execution) override;
    void testProfileExecutionDidStopped() override { calls << QStringLiteral("stopped"); }
};

// The engine's notifications as they are posted.
class NotificationRecorder final
{
public:
    NotificationRecorder();
    QStringList names() const;
    std::vector<QVariantMap> userInfosOf(const QString& name) const;
    bool hasEndNotification() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<QString, QVariantMap>> m_posted;
    std::vector<FNWObserverToken> m_tokens;
};

} // namespace fnw::test
