#include "engine/PerfTest.h"

#include "base/FNWEnums.h"
#include "base/FNWUtils.h"
#include "db/FNWDeferredWrites.h"
#include "db/TestIntervalResultsDAO.h"
#include "engine/FNWTargetWiFiQuery.h"
#include "engine/PerfTestParsing.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "support/DDLog.h"
#include "support/FNWMainQueue.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

extern char** environ;

using namespace fnw::engine;

namespace {

constexpr std::chrono::milliseconds kNoResponseTimeout{3000};
// A stopped process that ignores the terminate request is killed after this long.
constexpr std::chrono::milliseconds kKillAfter{3000};
// Output still arriving from children of an exited shell is read for this long.
constexpr std::chrono::milliseconds kDrainAfterExit{1000};
// What is kept of standard error for the failure message.
constexpr qsizetype kErrorDataLimit = 64 * 1024;

const QString kTimeoutMessage = QStringLiteral(" Connection timedout, no Response received from server.");
const QString kLaunchFailedMessage = QStringLiteral("Unable to connect to iperf server.");

// Every thread a run starts is counted, so that tests and shutdown can wait for them.
std::mutex s_watchdogMutex;
FNWWatchdogLimits s_watchdogLimits;

std::mutex s_threadsMutex;
std::condition_variable s_threadsDone;
int s_activeThreads = 0;

void startRunThread(std::function<void()> function)
{
    {
        std::lock_guard lock(s_threadsMutex);
        ++s_activeThreads;
    }
    std::thread([function = std::move(function)]() mutable {
        function();
        // The run may end here; drop it before the count says the thread is done.
        function = nullptr;
        std::lock_guard lock(s_threadsMutex);
        if (--s_activeThreads == 0)
            s_threadsDone.notify_all();
    }).detach();
}

qint64 steadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

int openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void execShell(pid_t parent, int input, int output, int error, char* const argv[])
{
    // Every signal is blocked until here: a stop that comes before the exec must find the default
    // actions, not the application's handlers (which would run in this copy of it).
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
        ::sigaction(signalNumber, &byDefault, nullptr);
    ::setpgid(0, 0);
    // The shell goes when the thread that waits for it goes, e.g. when the application dies.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::_exit(127);
    ::dup2(input, STDIN_FILENO);
    ::dup2(output, STDOUT_FILENO);
    ::dup2(error, STDERR_FILENO);
#ifdef SYS_close_range
    ::syscall(SYS_close_range, 3U, ~0U, 0U);
#endif
    // The application's blocked signals would be inherited by iperf.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve("/bin/sh", argv, environ);
    ::_exit(127);
}

} // namespace

std::shared_ptr<PerfTest> PerfTest::initWithTestBean(std::shared_ptr<TestBean> test)
{
    return std::shared_ptr<PerfTest>(new PerfTest(std::move(test)));
}

PerfTest::PerfTest(std::shared_ptr<TestBean> test)
    : m_testBean(std::move(test))
{
}

PerfTest::~PerfTest() = default;

void PerfTest::setDelegate(std::weak_ptr<PerfTestDelegate> delegate)
{
    std::lock_guard lock(m_mutex);
    m_delegate = std::move(delegate);
}

std::shared_ptr<TestExecutionBean> PerfTest::executionBean() const
{
    std::lock_guard lock(m_mutex);
    return m_executionBean;
}

void PerfTest::setExecutionBean(std::shared_ptr<TestExecutionBean> execution)
{
    std::lock_guard lock(m_mutex);
    m_executionBean = std::move(execution);
}

QStringList PerfTest::iperfOptions() const
{
    std::lock_guard lock(m_mutex);
    return m_iperfOptions;
}

std::vector<std::shared_ptr<TestIntervalResults>> PerfTest::intervalResults() const
{
    std::lock_guard lock(m_mutex);
    return m_intervalResults;
}

bool PerfTest::checkIfTestIsFailed(const QString& text)
{
    return parsing::containsFailureWord(text);
}

bool PerfTest::waitForAllRunsToEnd(int timeoutMs)
{
    std::unique_lock lock(s_threadsMutex);
    return s_threadsDone.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return s_activeThreads == 0; });
}

void PerfTest::setWatchdogLimits(const FNWWatchdogLimits& limits)
{
    std::lock_guard lock(s_watchdogMutex);
    s_watchdogLimits = limits;
}

FNWWatchdogLimits PerfTest::watchdogLimits()
{
    std::lock_guard lock(s_watchdogMutex);
    return s_watchdogLimits;
}

// --- Arguments ---------------------------------------------------------------------------------

void PerfTest::createOptionsArray()
{
    const std::shared_ptr<FNWPresetBean> preset = m_testBean->preset();
    if (!preset)
        return;
    QStringList options;
    for (const QString& key : FNWUtils::allOptionsKeyNames()) {
        const qint64 value = preset->valueForKey(key).toLongLong();
        // A byte-count test has no time limit.
        if (preset->number_of_byte >= 1 && key == QLatin1String("duration"))
            continue;
        if (preset->test_type == FNWTestTypeUDP && key == QLatin1String("send_bw") && value == -1) {
            DDLogInfo("PerfTest: need to set bandwidth explicitly to unlimited for UDP as user has left it blank..");
            continue;
        }
        const QString option = FNWUtils::getOptionValueFromPropName(key, value);
        if (option.isEmpty()) {
            DDLogInfo("PerfTest: Skipping option %@ for value %@", key, QString::number(value));
            continue;
        }
        options.append(option);
    }
    std::lock_guard lock(m_mutex);
    m_iperfOptions.append(options);
}

QStringList PerfTest::buildArguments()
{
    const qint64 version = FNWUtils::iPerfVersionSetting();
    const std::shared_ptr<FNWAgentBean> agent = m_testBean->agent();
    {
        std::lock_guard lock(m_mutex);
        m_iperfOptions = {version == FNWIperfVersion2 ? QStringLiteral("./iperf2 ") : QStringLiteral("./iperf3 "),
                          QStringLiteral("-c"), agent ? agent->ip_address : QString()};
    }
    createOptionsArray();

    const std::shared_ptr<TestExecutionBean> execution = executionBean();
    std::lock_guard lock(m_mutex);
    if (version != FNWIperfVersion2) {
        if (execution)
            execution->setIperfVersion(FNWIperfVersion3);
        m_iperfOptions.append(QLatin1String("-p") + QString::number(agent ? agent->port_number : 0));
    } else {
        if (execution)
            execution->setIperfVersion(FNWIperfVersion2);
        // iperf2 servers listen on fixed ports, whatever the agent's port.
        m_iperfOptions.append(m_iperfOptions.contains(QLatin1String("-u")) ? QStringLiteral("-p5002")
                                                                           : QStringLiteral("-p5001"));
    }
    return m_iperfOptions;
}

QString PerfTest::commandText(const QString& executablePath, const QStringList& arguments)
{
    QStringList words;
    // The path in double quotes, unless it holds a character that is special there.
    static const QString specialInDoubleQuotes = QStringLiteral("\"$`\\!\n");
    const bool doubleQuotesSafe = std::none_of(executablePath.begin(), executablePath.end(),
                                               [](QChar c) { return specialInDoubleQuotes.contains(c); });
    words.append(doubleQuotesSafe ? QLatin1Char('"') + executablePath + QLatin1Char('"')
                                  : parsing::shellQuoted(executablePath));
    for (const QString& argument : arguments) {
        const QString trimmed = argument.trimmed();
        // The segment size is meant to be split by the shell; it is built from a number alone.
        if (trimmed.startsWith(QLatin1String("-M MSS-")))
            words.append(trimmed);
        else
            words.append(parsing::shellQuoted(trimmed));
    }
    return words.join(u' ');
}

// --- Running -----------------------------------------------------------------------------------

void PerfTest::startTest()
{
    const std::shared_ptr<PerfTest> self = shared_from_this();
    const std::shared_ptr<FNWAgentBean> agent = m_testBean->agent();
    const std::shared_ptr<FNWPresetBean> preset = m_testBean->preset();

    DDLogInfo("PerfTest: Starting test...");
    {
        std::lock_guard lock(m_mutex);
        m_intervalResults.clear();
        m_iperfOptions.clear();
    }

    // Only a valid IPv4 address reaches the network and the shell: an address that arrived from
    // the network must never run a command.
    if (!agent || !preset || !FNWUtils::isIPAddressValid(agent->ip_address)) {
        const QString reason = !agent || !preset
                                   ? QStringLiteral("The test has no preset or no agent.")
                                   : FNWStringWithFormat("Invalid agent address '%@'.", agent->ip_address);
        DDLogError("PerfTest: not starting the test: %@", reason);
        if (const std::shared_ptr<TestExecutionBean> execution = executionBean())
            execution->setMessage(reason);
        reportFailed(reason);
        return;
    }

    startRunThread([self] { self->getTargetWiFiDetails(); });
    const QStringList arguments = buildArguments();
    // The executable matches the arguments, whatever the setting says by the time it starts.
    const QString executable = arguments.first() == QLatin1String("./iperf2 ") ? FNWUtils::getiPerf_2_ExecutablePath()
                                                                               : FNWUtils::getiPerfExecutablePath();
    startRunThread([self, executable, arguments] { self->executeiPerfOnShell(executable, arguments); });
}

void PerfTest::getTargetWiFiDetails()
{
    const std::shared_ptr<FNWAgentBean> agent = m_testBean->agent();
    if (!agent)
        return;
    const std::optional<FNWTargetWiFiReply> reply = queryTargetWiFiDetails(agent->ip_address);
    const std::shared_ptr<TestExecutionBean> execution = executionBean();
    if (reply && execution) {
        execution->setTargetSsid(reply->ssid);
        execution->setTargetBssid(reply->bssid);
    }
}

void PerfTest::executeiPerfOnShell(const QString& executable, const QStringList& arguments)
{
    m_hasTestFinished.store(false);
    const QString command = commandText(executable, arguments);
    DDLogInfo("PerfTesr: arguments are - %@", QStringLiteral("(\"-c\", \"%1\")").arg(command));

    // Standard input, output and error: nothing is ever written to the first.
    std::array<int, 2> input{-1, -1};
    std::array<int, 2> output{-1, -1};
    std::array<int, 2> error{-1, -1};
    const auto closeAll = [&] {
        for (auto* pipe : {&input, &output, &error}) {
            closeFd((*pipe)[0]);
            closeFd((*pipe)[1]);
        }
    };
    std::string commandBytes = command.toLocal8Bit().toStdString();
    char shellName[] = "sh";
    char dashC[] = "-c";
    char* const argv[] = {shellName, dashC, commandBytes.data(), nullptr};

    const pid_t parent = ::getpid();
    pid_t pid = -1;
    sigset_t everything;
    sigset_t before;
    ::sigfillset(&everything);
    ::pthread_sigmask(SIG_SETMASK, &everything, &before);
    const bool launched = ::pipe2(input.data(), O_CLOEXEC) == 0 && ::pipe2(output.data(), O_CLOEXEC) == 0 &&
                          ::pipe2(error.data(), O_CLOEXEC) == 0 && (pid = ::fork()) >= 0;
    if (pid == 0)
        execShell(parent, input[0], output[1], error[1], argv);
    const int launchError = errno;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (!launched) {
        const QString reason = systemError(launchError);
        closeAll();
        DDLogError("PerfTest: unable to launch iperf client...%@", reason);
        if (const std::shared_ptr<TestExecutionBean> execution = executionBean())
            execution->setMessage(kLaunchFailedMessage);
        reportFailed(kLaunchFailedMessage);
        return;
    }

    {
        std::lock_guard lock(m_mutex);
        m_pid = pid;
        m_processRunning = true;
    }
    m_launchedAtMs.store(steadyMilliseconds());
    closeFd(input[0]);
    closeFd(output[1]);
    closeFd(error[1]);
    // A stop that came while launching finds no process yet; terminate it now.
    if (m_hasCancelled.load())
        stopPerfTest();

    const std::shared_ptr<PerfTest> self = shared_from_this();
    FNWMainQueue::asyncAfter(kNoResponseTimeout, [self] { self->checkForResponse(); });

    // The progress watchdog: the interval lines so far, and the slowest rate they showed.
    const FNWWatchdogLimits limits = watchdogLimits();
    FNWRunProgress progress = progressShapeOfArguments(arguments);
    const auto launchedAt = std::chrono::steady_clock::now();
    auto lastIntervalAt = launchedAt;
    auto lastDataAt = launchedAt;
    const auto noteIntervalLines = [&](const QByteArray& lines) {
        for (const QByteArray& line : lines.split('\n')) {
            if (!line.startsWith("RESULT_"))
                continue;
            const std::optional<parsing::FNWDataLine> data = parsing::parseDataLine(QString::fromUtf8(line));
            if (!data)
                continue;
            lastIntervalAt = std::chrono::steady_clock::now();
            const auto rate = static_cast<double>(data->speed);
            if (data->data_transfered > 0.0)
                lastDataAt = lastIntervalAt;
            if (rate > 0.0 && (progress.slowestRate <= 0.0 || rate < progress.slowestRate))
                progress.slowestRate = rate;
        }
    };

    int pidFd = openPidFd(pid);
    ::fcntl(output[0], F_SETFL, O_NONBLOCK);
    ::fcntl(error[0], F_SETFL, O_NONBLOCK);

    parsing::FNWLineAssembler outputLines;
    parsing::FNWLineAssembler errorLines;
    int exitStatus = -1;
    bool exited = false;
    std::chrono::steady_clock::time_point exitedAt;
    std::chrono::steady_clock::time_point cancelSeenAt;
    bool cancelSeen = false;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);

    const auto reap = [&](int options) {
        int status = 0;
        const pid_t reaped = ::waitpid(pid, &status, options);
        if (reaped != pid)
            return;
        {
            std::lock_guard lock(m_mutex);
            m_processRunning = false;
        }
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        exited = true;
        exitedAt = std::chrono::steady_clock::now();
        DDLogInfo("PerfTest: Termination handler called...");
    };

    while (true) {
        const auto now = std::chrono::steady_clock::now();
        if (exited && ((output[0] < 0 && error[0] < 0) || now - exitedAt > kDrainAfterExit))
            break;
        if (!exited && !m_hasCancelled.load() && !m_hasReported.load() && !m_hasTestFinished.load()) {
            progress.sinceLaunch = std::chrono::duration_cast<std::chrono::milliseconds>(now - launchedAt);
            progress.sinceLastInterval = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastIntervalAt);
            progress.sinceLastData = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastDataAt);
            const FNWWatchdogDecision decision = judgeRunProgress(progress, limits);
            if (decision.verdict != FNWWatchdogVerdict::Running)
                stopForNoProgress(decision.message);
        }
        if (!exited && m_hasCancelled.load()) {
            if (!cancelSeen) {
                cancelSeen = true;
                cancelSeenAt = now;
            } else if (now - cancelSeenAt > kKillAfter) {
                ::kill(-pid, SIGKILL);
                ::kill(pid, SIGKILL);
            }
        }

        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        int outputIndex = -1;
        int errorIndex = -1;
        int pidIndex = -1;
        if (output[0] >= 0) {
            outputIndex = static_cast<int>(count);
            fds[count++] = {output[0], POLLIN, 0};
        }
        if (error[0] >= 0) {
            errorIndex = static_cast<int>(count);
            fds[count++] = {error[0], POLLIN, 0};
        }
        if (pidFd >= 0 && !exited) {
            pidIndex = static_cast<int>(count);
            fds[count++] = {pidFd, POLLIN, 0};
        }
        // Without a process descriptor the exit is checked on every wake; a stop is noticed
        // within the same period.
        const int ready = ::poll(fds.data(), count, 200);
        if (ready < 0 && errno != EINTR) {
            DDLogError("PerfTest: waiting for iperf failed: %@", systemError(errno));
            ::kill(-pid, SIGKILL);
            reap(0);
            break;
        }

        const auto readFrom = [&](int& fd, bool isOutput) {
            for (;;) {
                const ssize_t got = ::read(fd, buffer.data(), static_cast<std::size_t>(buffer.size()));
                if (got > 0) {
                    const QByteArray data(buffer.constData(), got);
                    if (isOutput) {
                        m_hasReceivediPerfResponse.store(true);
                        if (!m_hasCancelled.load() && !m_hasTestFinished.load()) {
                            const QByteArray lines = outputLines.append(data);
                            if (!lines.isEmpty()) {
                                noteIntervalLines(lines);
                                didReceivePerfTestRespnose(QString::fromUtf8(lines));
                            }
                        }
                    } else if (!m_hasCancelled.load()) {
                        const QByteArray lines = errorLines.append(data);
                        if (!lines.isEmpty())
                            handleStandardError(lines);
                    }
                    continue;
                }
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    return;
                if (got < 0) {
                    const QString reason = systemError(errno);
                    DDLogError("PerfTest: unable to read from standardOutput....%@", reason);
                    if (!m_hasCancelled.load()) {
                        if (isOutput)
                            didReceivePerfTestRespnose(QStringLiteral(" error: unable to read iPerf response."));
                        else
                            handleStandardError(
                                QByteArrayLiteral(" error: unable to read iPerf error stream response."));
                    }
                }
                closeFd(fd);
                return;
            }
        };
        if (outputIndex >= 0 && fds[outputIndex].revents != 0)
            readFrom(output[0], true);
        if (errorIndex >= 0 && fds[errorIndex].revents != 0)
            readFrom(error[0], false);
        if (!exited && (pidFd < 0 || (pidIndex >= 0 && fds[pidIndex].revents != 0)))
            reap(WNOHANG);
    }
    if (!exited)
        reap(0);
    closeFd(pidFd);
    closeAll();

    // What is left after the last line end, and the rest of standard error.
    const QByteArray errorRest = errorLines.takeRemainder();
    if (!errorRest.isEmpty() && !m_hasCancelled.load())
        handleStandardError(errorRest);
    const QByteArray outputRest = outputLines.takeRemainder();
    const QString remainder =
        m_hasCancelled.load() || m_hasTestFinished.load() ? QString() : QString::fromUtf8(outputRest);
    checkExit(remainder, m_errorData, exitStatus);
}

void PerfTest::handleStandardError(const QByteArray& data)
{
    const QString text = QString::fromUtf8(data);
    DDLogInfo("PerfTest.standardError: Line output - %@", text);
    if (m_errorData.size() < kErrorDataLimit)
        m_errorData.append(text.left(kErrorDataLimit - m_errorData.size()));
    if (checkIfTestIsFailed(text) && !m_hasReported.load() && !m_hasCancelled.load()) {
        m_hasCancelled.store(true);
        stopPerfTest();
        reportFailed(text);
    }
}

void PerfTest::checkExit(const QString& remainder, const QString& errorData, int exitStatus)
{
    if (!remainder.isEmpty())
        DDLogInfo("PerfTest output is: %@", remainder);
    if (m_hasCancelled.load())
        return;

    const std::shared_ptr<TestExecutionBean> execution = executionBean();
    if (remainder.contains(QLatin1String("Finished_")) || remainder.contains(QLatin1String("iperf Done"))) {
        didReceivePerfTestRespnose(remainder);
    } else if (!m_hasReported.load() && !errorData.isEmpty() && checkIfTestIsFailed(remainder)) {
        DDLogError("PerfTest: unable to execute test, error is: %@", errorData);
        if (execution)
            execution->setMessage(errorData);
        reportFailed(errorData);
        m_hasTestFinished.store(true);
    }

    // Every run reports once: an end without a result (a missing executable, a tool that died)
    // is a failure, with what the tool said when it said anything.
    if (!m_hasReported.load() && !m_hasCancelled.load()) {
        const QString said = errorData.trimmed();
        const QString reason =
            said.isEmpty() ? FNWStringWithFormat("iperf ended without a result (exit status %d).", exitStatus) : said;
        DDLogError("PerfTest: iperf ended without a result (exit status %d): %@", exitStatus, reason);
        if (execution)
            execution->setMessage(reason);
        reportFailed(reason);
        m_hasTestFinished.store(true);
    }
}

void PerfTest::checkForResponse()
{
    if (m_hasReceivediPerfResponse.load() || m_hasCancelled.load() || m_hasReported.load())
        return;
    DDLogError("PerfTest: Timeout occured, no response received in last (%d) seconds so aborting it....",
               static_cast<int>(kNoResponseTimeout.count() / 1000));
    stopPerfTest();
    if (const std::shared_ptr<TestExecutionBean> execution = executionBean())
        execution->setMessage(kTimeoutMessage);
    reportFailed(kTimeoutMessage);
}

void PerfTest::stopForNoProgress(const QString& reason)
{
    DDLogError("PerfTest: no progress, stopping the test: %@", reason);
    stopPerfTest();
    if (const std::shared_ptr<TestExecutionBean> execution = executionBean())
        execution->setMessage(reason);
    reportFailed(reason);
}

void PerfTest::stopPerfTest()
{
    m_hasCancelled.store(true);
    std::lock_guard lock(m_mutex);
    if (m_pid <= 0 || !m_processRunning)
        return;
    DDLogInfo("PerfTest: stopping perf test..");
    // The shell, the wrapper and iperf share the shell's process group.
    ::kill(-m_pid, SIGTERM);
    ::kill(m_pid, SIGTERM);
}

std::shared_ptr<PerfTestDelegate> PerfTest::claimOutcome()
{
    if (m_hasReported.exchange(true))
        return nullptr;
    std::lock_guard lock(m_mutex);
    return m_delegate.lock();
}

void PerfTest::reportFinished()
{
    if (const std::shared_ptr<PerfTestDelegate> delegate = claimOutcome())
        delegate->testDidFinished(shared_from_this(), m_testBean);
}

void PerfTest::reportFailed(const QString& reason)
{
    const std::shared_ptr<PerfTestDelegate> delegate = claimOutcome();
    if (!delegate)
        return;
    if (sendsWithoutConfirmation())
        discardUnconfirmedResults();
    delegate->testDidFailed(shared_from_this(), m_testBean, reason);
}

bool PerfTest::sendsWithoutConfirmation() const
{
    // iperf's UDP sender counts what it sent, not what arrived; only the server's report says
    // that, and a failed run has none to trust.
    const std::shared_ptr<FNWPresetBean> preset = m_testBean->preset();
    const std::shared_ptr<TestExecutionBean> execution = executionBean();
    return preset && execution && execution->iperfVersion() == FNWIperfVersion2 &&
           preset->test_type == FNWTestTypeUDP && preset->direction == FNWDirectionNormal;
}

void PerfTest::discardUnconfirmedResults()
{
    m_discardsResults.store(true);
    {
        std::lock_guard lock(m_mutex);
        m_intervalResults.clear();
    }
    const qint64 execution = executionID();
    if (FNWDeferredWrites::shared().writeOrKeep(
            QStringLiteral("the removal of the unconfirmed intervals of execution %1").arg(execution),
            [execution] { return TestIntervalResultsDAO().removeAllResultsForTestExecutionID(execution); }))
        DDLogInfo("PerfTest: the sent intervals of failed UDP execution %ld were never confirmed by the server, "
                  "none are kept",
                  execution);
}

// --- Parsing -----------------------------------------------------------------------------------

bool PerfTest::saveResult(const std::shared_ptr<TestIntervalResults>& result, bool isFinal, const char* failureFormat)
{
    // A stopped run's records are deleted with its execution; nothing more is added after that.
    if (m_hasCancelled.load() || m_discardsResults.load())
        return false;
    std::shared_ptr<PerfTestDelegate> delegate;
    {
        std::lock_guard lock(m_mutex);
        delegate = m_delegate.lock();
    }
    if (delegate)
        delegate->testDidReceiveResult(shared_from_this(), m_testBean, result, isFinal);
    // Another program holding the database keeps the row back until it can be written; the row
    // written later is a copy, so that no other thread sees this one's ID change.
    auto row = std::make_shared<TestIntervalResults>();
    for (const QString& key : TestIntervalResults::storedFieldNames())
        if (key != QLatin1String("id"))
            row->setValueForKey(result->valueForKey(key), key);
    const bool saved = FNWDeferredWrites::shared().writeOrKeep(QStringLiteral("the interval %1-%2 of execution %3")
                                                                   .arg(result->start_time, result->end_time)
                                                                   .arg(result->execution_id),
                                                               [row] { return TestIntervalResultsDAO().save(*row); });
    if (!saved)
        DDLogError(failureFormat, result->description());
    std::lock_guard lock(m_mutex);
    m_intervalResults.push_back(result);
    return saved;
}

bool PerfTest::isRepeatOfLastInterval(const parsing::FNWDataLine& data) const
{
    // iperf repeats its last interval when a run is cut short.
    std::lock_guard lock(m_mutex);
    return !m_intervalResults.empty() && m_intervalResults.back()->start_time == data.start_time &&
           m_intervalResults.back()->end_time == data.end_time;
}

parsing::FNWFinalLineContext PerfTest::finalLineContext() const
{
    parsing::FNWFinalLineContext context;
    if (const std::shared_ptr<FNWPresetBean> preset = m_testBean->preset()) {
        context.duration = preset->duration;
        context.byAmount = preset->number_of_byte >= 1;
    }
    if (const qint64 launchedAt = m_launchedAtMs.load(); launchedAt > 0)
        context.secondsSinceLaunch = static_cast<double>(steadyMilliseconds() - launchedAt) / 1000.0;
    std::lock_guard lock(m_mutex);
    context.hadIntervalsWithData = std::any_of(m_intervalResults.begin(), m_intervalResults.end(),
                                               [](const auto& result) { return result->data_transfered > 0.0F; });
    context.lastIntervalEmpty = !m_intervalResults.empty() && m_intervalResults.back()->data_transfered <= 0.0F;
    return context;
}

void PerfTest::didReceivePerfTestRespnose(const QString& response)
{
    DDLogInfo("didReceivePerfTestRespnose : %@", response);
    if (m_hasCancelled.load() || m_hasTestFinished.load())
        return;
    DDLogInfo("[TID=%ld] %@", m_testBean->ID, response);

    const std::shared_ptr<FNWPresetBean> preset = m_testBean->preset();
    const std::shared_ptr<TestExecutionBean> execution = executionBean();
    const qint64 testType = preset ? preset->test_type : FNWTestTypeTCP;
    const qint64 direction = preset ? preset->direction : FNWDirectionNormal;

    const auto makeRecord = [&](const parsing::FNWDataLine& data) {
        auto record = std::make_shared<TestIntervalResults>();
        record->test_id = m_testBean->ID;
        record->execution_id = executionID();
        record->start_time = data.start_time;
        record->end_time = data.end_time;
        record->data_transfered = data.data_transfered;
        record->speed = data.speed;
        record->jitter = QLatin1String("");
        record->datagrams = QLatin1String("");
        return record;
    };

    // Interval lines.
    const qsizetype firstResult = response.indexOf(QLatin1String("RESULT_"));
    if (firstResult >= 0) {
        for (const QString& line : response.mid(firstResult).split(u'\n')) {
            if (line.isEmpty())
                continue;
            if (checkIfTestIsFailed(line))
                break;
            if (line.startsWith(QLatin1String("Finished_")) || !line.startsWith(QLatin1String("RESULT_")))
                continue;
            const std::optional<parsing::FNWDataLine> data = parsing::parseDataLine(line);
            if (!data) {
                DDLogWarn("PerfTest: Ignoring line  as components are less than 3'%@'", line);
                continue;
            }
            if (isRepeatOfLastInterval(*data))
                continue;
            const std::shared_ptr<TestIntervalResults> record = makeRecord(*data);
            if (data->fieldCount >= 6 && testType == FNWTestTypeUDP && direction == FNWDirectionReverse) {
                record->jitter = data->jitter;
                record->datagrams = data->datagrams;
            }
            saveResult(record, false, "PerfTest: can't save interval results, %@");
        }
    }

    // The final totals, unless they plainly are not the test's result.
    std::optional<QString> finalLineFault;
    const qsizetype firstFinished = response.indexOf(QLatin1String("Finished"));
    if (response.contains(QLatin1String("Finished_")) && firstFinished >= 0) {
        for (const QString& line : response.mid(firstFinished).split(u'\n')) {
            if (line.contains(QLatin1String("RESULT_")) || checkIfTestIsFailed(line))
                break;
            if (!line.startsWith(QLatin1String("Finished_")))
                continue;
            const std::optional<parsing::FNWDataLine> data = parsing::parseDataLine(line);
            if (!data) {
                DDLogWarn("PerfTest: Ignoring line  as components are less than 3'%@'", line);
                continue;
            }
            finalLineFault = parsing::judgeFinalLine(*data, finalLineContext());
            if (finalLineFault) {
                DDLogError("PerfTest: final result not taken: %@ '%@'", *finalLineFault, line);
                break;
            }
            const std::shared_ptr<TestIntervalResults> record = makeRecord(*data);
            if (execution) {
                execution->setAverageSpeed(static_cast<qint64>(std::trunc(record->speed)));
                execution->setDataTransfered(static_cast<qint64>(std::trunc(record->data_transfered)));
            }
            if (data->fieldCount >= 6 && testType == FNWTestTypeUDP) {
                record->jitter = data->jitter;
                record->datagrams = data->datagrams;
            }
            saveResult(record, true, "PerfTest: can't save finished results, %@");

            const double endTime = parsing::readLeadingNumber(data->end_time);
            const auto wholeSeconds = static_cast<qint64>(std::ceil(endTime));
            if (execution)
                execution->setExecution_duration(wholeSeconds);
            if (preset && preset->duration != -1 && static_cast<qint64>(endTime) >= preset->duration) {
                m_hasTestFinished.store(true);
                DDLogInfo("PerfTest: final interval result has been received from native iperf, stopping test.. ");
                break;
            }
            // A test by amount keeps its amount: the time it took is the execution's, not the preset's.
        }
    }

    // The outcome.
    if (finalLineFault && !checkIfTestIsFailed(response)) {
        stopPerfTest();
        reportFailed(*finalLineFault);
    } else if (checkIfTestIsFailed(response)) {
        DDLogError("PerfTest: iPerf test got failed...");
        m_hasCancelled.store(true);
        reportFailed(response);
    } else if (response.contains(QLatin1String("Finished_"))) {
        m_hasTestFinished.store(true);
        DDLogInfo("PerfTest: testDidFinished for bean ID = %ld and total interval reslts are %ld",
                  execution ? execution->ID : 0, static_cast<long>(intervalResults().size()));
        reportFinished();
    }
}
