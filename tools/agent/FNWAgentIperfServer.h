#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>

class QTimer;

namespace fnw::agent {

// Keeps one iperf server running: a server that exits is started again after a back-off that
// doubles from the first delay up to kMaxRestartDelay, so one that dies at once (its port is
// taken, say) does not spin. Its standard error lines and every start and exit are logged.
class FNWAgentIperfServer final : public QObject
{
public:
    struct Setup
    {
        // "iperf3", "iperf TCP", "iperf UDP".
        QString label;
        QString program;
        QStringList arguments;
        std::uint16_t port = 0;
        // The server ends after each test (iperf's "-P 1") and is started afresh at once.
        bool oneTestPerRun = false;
    };

    static constexpr std::chrono::milliseconds kMaxRestartDelay{30000};
    // A server that ran this long was healthy: its next restart waits the first delay again.
    static constexpr std::chrono::milliseconds kHealthyRun{10000};
    // A one-test server that ends cleanly sooner than this served nothing (its port was taken, say).
    static constexpr std::chrono::milliseconds kShortestTest{200};

    FNWAgentIperfServer(Setup setup, std::chrono::milliseconds firstRestartDelay, QObject* parent = nullptr);
    ~FNWAgentIperfServer() override;

    void start();
    // Asks the server to end (SIGTERM) and restarts it no more.
    void requestStop();
    // Waits for the server to end until the deadline, then kills it.
    void finishStop(QDeadlineTimer deadline);
    // 0 while no server runs.
    qint64 processId() const;

private:
    void launch();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onStandardError();
    void scheduleRestart(const QString& what);
    QString name() const;

    const Setup m_setup;
    const std::chrono::milliseconds m_firstRestartDelay;
    std::chrono::milliseconds m_nextRestartDelay;
    QProcess* m_process;
    QTimer* m_restartTimer;
    QElapsedTimer m_runTime;
    qint64 m_pid = 0;
    QByteArray m_partialLine;
    bool m_stopping = false;
};

} // namespace fnw::agent
