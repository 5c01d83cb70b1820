#include "FNWAgentIperfServer.h"

#include "FNWAgentSupport.h"

#include <QTimer>

#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

namespace fnw::agent {

namespace {

constexpr qsizetype kMaxLineLength = 4096;

QString seconds(qint64 milliseconds)
{
    return QString::number(static_cast<double>(milliseconds) / 1000.0, 'f', 1);
}

} // namespace

FNWAgentIperfServer::FNWAgentIperfServer(Setup setup, std::chrono::milliseconds firstRestartDelay, QObject* parent)
    : QObject(parent)
    , m_setup(std::move(setup))
    , m_firstRestartDelay(firstRestartDelay)
    , m_nextRestartDelay(firstRestartDelay)
    , m_process(new QProcess(this))
    , m_restartTimer(new QTimer(this))
{
    m_process->setProgram(m_setup.program);
    m_process->setArguments(m_setup.arguments);
    m_process->setStandardInputFile(QProcess::nullDevice());
    // Standard output carries the report of every test, which nobody reads here; errors go to
    // standard error, which is logged.
    m_process->setStandardOutputFile(QProcess::nullDevice());
    const pid_t agent = ::getpid();
    m_process->setChildProcessModifier([agent] {
        // The server dies with the agent, even one killed with SIGKILL. The signal comes when the
        // forking thread ends, which is the main thread here.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != agent)
            ::_exit(127);
    });
    connect(m_process, &QProcess::started, this, [this] {
        m_pid = m_process->processId();
        agentLog(QStringLiteral("started %1 (pid %2): %3 %4")
                     .arg(name())
                     .arg(m_pid)
                     .arg(m_setup.program, m_setup.arguments.join(QLatin1Char(' '))));
    });
    connect(m_process, &QProcess::finished, this, &FNWAgentIperfServer::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // Only a failed start comes without finished().
        if (error == QProcess::FailedToStart && !m_stopping)
            scheduleRestart(QStringLiteral("%1 could not start: %2").arg(name(), m_process->errorString()));
    });
    connect(m_process, &QProcess::readyReadStandardError, this, &FNWAgentIperfServer::onStandardError);
    m_restartTimer->setSingleShot(true);
    connect(m_restartTimer, &QTimer::timeout, this, &FNWAgentIperfServer::launch);
}

FNWAgentIperfServer::~FNWAgentIperfServer()
{
    // No signal may reach this object while it is half destroyed.
    m_process->disconnect(this);
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(1000);
    }
}

void FNWAgentIperfServer::start()
{
    m_stopping = false;
    launch();
}

void FNWAgentIperfServer::requestStop()
{
    m_stopping = true;
    m_restartTimer->stop();
    if (m_process->state() != QProcess::NotRunning)
        m_process->terminate();
}

void FNWAgentIperfServer::finishStop(QDeadlineTimer deadline)
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    if (!m_process->waitForFinished(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)))) {
        agentLog(QStringLiteral("%1 (pid %2) did not end on SIGTERM; killing it").arg(name()).arg(m_pid));
        m_process->kill();
        m_process->waitForFinished(1000);
    }
}

qint64 FNWAgentIperfServer::processId() const
{
    return m_process->processId();
}

void FNWAgentIperfServer::launch()
{
    if (m_stopping)
        return;
    m_partialLine.clear();
    m_runTime.start();
    m_process->start();
}

void FNWAgentIperfServer::onFinished(int exitCode, QProcess::ExitStatus status)
{
    onStandardError();
    if (!m_partialLine.isEmpty()) {
        agentLog(QStringLiteral("%1: %2").arg(name(), QString::fromLocal8Bit(m_partialLine.trimmed())));
        m_partialLine.clear();
    }
    const qint64 pid = std::exchange(m_pid, 0);
    if (m_stopping) {
        agentLog(QStringLiteral("stopped %1 (pid %2)").arg(name()).arg(pid));
        return;
    }
    if (m_setup.oneTestPerRun && status == QProcess::NormalExit && exitCode == 0
        && m_runTime.elapsed() >= kShortestTest.count()) {
        agentLog(QStringLiteral("%1 (pid %2) served its test; starting a fresh one").arg(name()).arg(pid));
        m_nextRestartDelay = m_firstRestartDelay;
        launch();
        return;
    }
    // On a crash QProcess reports the signal as the exit code.
    const QString how = status == QProcess::CrashExit ? QStringLiteral("was killed by signal %1").arg(exitCode)
                                                      : QStringLiteral("exited with code %1").arg(exitCode);
    scheduleRestart(
        QStringLiteral("%1 (pid %2) %3 after %4 s").arg(name()).arg(pid).arg(how, seconds(m_runTime.elapsed())));
}

void FNWAgentIperfServer::onStandardError()
{
    m_partialLine += m_process->readAllStandardError();
    qsizetype end = 0;
    while ((end = m_partialLine.indexOf('\n')) >= 0 || m_partialLine.size() > kMaxLineLength) {
        const qsizetype length = end >= 0 ? end : kMaxLineLength;
        const QByteArray line = m_partialLine.left(length).trimmed();
        m_partialLine.remove(0, end >= 0 ? end + 1 : length);
        if (!line.isEmpty())
            agentLog(QStringLiteral("%1: %2").arg(name(), QString::fromLocal8Bit(line)));
    }
}

void FNWAgentIperfServer::scheduleRestart(const QString& what)
{
    if (m_runTime.isValid() && m_runTime.elapsed() >= kHealthyRun.count())
        m_nextRestartDelay = m_firstRestartDelay;
    const std::chrono::milliseconds delay = m_nextRestartDelay;
    m_nextRestartDelay = std::min(m_nextRestartDelay * 2, std::max(kMaxRestartDelay, m_firstRestartDelay));
    agentLog(QStringLiteral("%1; restarting in %2 s").arg(what, seconds(delay.count())));
    m_restartTimer->start(delay);
}

QString FNWAgentIperfServer::name() const
{
    return QStringLiteral("%1 server on port %2").arg(m_setup.label).arg(m_setup.port);
}

} // namespace fnw::agent
