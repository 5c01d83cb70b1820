#pragma once

#include "engine/PerfTestWatchdog.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class PerfTest;
class TestBean;
class TestExecutionBean;
class TestIntervalResults;

namespace fnw::engine::parsing {
struct FNWDataLine;
struct FNWFinalLineContext;
} // namespace fnw::engine::parsing

// Receives the one outcome of each run, on the thread that detected it.
class PerfTestDelegate
{
public:
    virtual ~PerfTestDelegate() = default;
    virtual void testDidFinished(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test) = 0;
    virtual void testDidFailed(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test,
                               const QString& failuerReason) = 0;
    virtual void testDidStarted(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test)
    {
        (void)run;
        (void)test;
    }
    // Each interval line as it is recorded, then the final totals line (isFinal), in iperf's order;
    // none once the run is stopped or its results are being thrown away.
    virtual void testDidReceiveResult(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test,
                                      const std::shared_ptr<TestIntervalResults>& result, bool isFinal)
    {
        (void)run;
        (void)test;
        (void)result;
        (void)isFinal;
    }
};

// One run of one test: the test's preset against its agent, through the installed iperf wrapper
// under /bin/sh. It streams the output into stored interval results and reports exactly one
// outcome (finished or failed) unless it is stopped, in which case it reports nothing.
class PerfTest final : public std::enable_shared_from_this<PerfTest>
{
public:
    static std::shared_ptr<PerfTest> initWithTestBean(std::shared_ptr<TestBean> test);
    ~PerfTest();
    PerfTest(const PerfTest&) = delete;
    PerfTest& operator=(const PerfTest&) = delete;

    std::shared_ptr<TestBean> testBean() const { return m_testBean; }
    void setDelegate(std::weak_ptr<PerfTestDelegate> delegate);
    std::shared_ptr<TestExecutionBean> executionBean() const;
    void setExecutionBean(std::shared_ptr<TestExecutionBean> execution);
    qint64 executionID() const { return m_executionID.load(); }
    void setExecutionID(qint64 identifier) { m_executionID.store(identifier); }

    // Starts the agent's Wi-Fi query and the shell, each on a thread of its own; returns at once.
    // The 3-second no-response check runs on the application's event loop.
    void startTest();
    // Cancels the run: the process and its children are terminated and nothing more is read or
    // reported. Once the process has exited it only marks the run cancelled.
    void stopPerfTest();

    // Appends the preset's options for the version chosen by "iPerf_Version".
    void createOptionsArray();
    // The argument list as startTest builds it: "./iperf3 " (or "./iperf2 "), "-c", the address,
    // the options, the port.
    QStringList buildArguments();
    QStringList iperfOptions() const;
    // The command /bin/sh runs: the executable, then the arguments, each a shell word of its own
    // except the segment size, which the shell splits into "-M" and "MSS-<n>".
    static QString commandText(const QString& executablePath, const QStringList& arguments);

    static bool checkIfTestIsFailed(const QString& text);
    // Parses one chunk of standard output: stores interval and final lines, fills the execution's
    // summary figures and may report the outcome.
    void didReceivePerfTestRespnose(const QString& response);
    // Asks the agent for its Wi-Fi network and fills the execution's target fields.
    void getTargetWiFiDetails();

    std::vector<std::shared_ptr<TestIntervalResults>> intervalResults() const;
    bool hasTestFinished() const { return m_hasTestFinished.load(); }
    bool hasCancelled() const { return m_hasCancelled.load(); }
    bool hasReceivediPerfResponse() const { return m_hasReceivediPerfResponse.load(); }
    // Whether the outcome has been reported.
    bool hasReported() const { return m_hasReported.load(); }

    // Waits until every run's threads (shell and Wi-Fi query) of this process have ended; false
    // when the time-out passed first.
    static bool waitForAllRunsToEnd(int timeoutMs);

    // When a run that has stopped making progress is stopped and failed; read by every run at its
    // launch.
    static void setWatchdogLimits(const fnw::engine::FNWWatchdogLimits& limits);
    static fnw::engine::FNWWatchdogLimits watchdogLimits();

private:
    explicit PerfTest(std::shared_ptr<TestBean> test);

    void executeiPerfOnShell(const QString& executable, const QStringList& arguments);
    void handleStandardOutput(const QByteArray& data);
    void handleStandardError(const QByteArray& data);
    void checkExit(const QString& remainder, const QString& errorData, int exitStatus);
    void checkForResponse();
    // Stops a run the watchdog gave up on and reports it failed with the reason.
    void stopForNoProgress(const QString& reason);
    // Latches the outcome: the delegate for the first report, nothing for any later one.
    std::shared_ptr<PerfTestDelegate> claimOutcome();
    // Only the first of these reaches the delegate.
    void reportFinished();
    void reportFailed(const QString& reason);
    bool sendsWithoutConfirmation() const;
    void discardUnconfirmedResults();
    bool saveResult(const std::shared_ptr<TestIntervalResults>& result, bool isFinal, const char* failureFormat);
    bool isRepeatOfLastInterval(const fnw::engine::parsing::FNWDataLine& data) const;
    // What the final line is judged against.
    fnw::engine::parsing::FNWFinalLineContext finalLineContext() const;

    const std::shared_ptr<TestBean> m_testBean;
    std::atomic<qint64> m_executionID{0};
    // Set once a failed run's unconfirmed intervals are gone; later lines are not stored.
    std::atomic<bool> m_discardsResults{false};

    // Latches: set once, never cleared during the run (hasTestFinished is cleared once before
    // the launch).
    std::atomic<bool> m_hasTestFinished{false};
    std::atomic<bool> m_hasCancelled{false};
    std::atomic<bool> m_hasReceivediPerfResponse{false};
    std::atomic<bool> m_hasReported{false};

    mutable std::mutex m_mutex;
    std::weak_ptr<PerfTestDelegate> m_delegate;
    std::shared_ptr<TestExecutionBean> m_executionBean;
    QStringList m_iperfOptions;
    std::vector<std::shared_ptr<TestIntervalResults>> m_intervalResults;
    // The shell's process id (also its process group) while it runs and has not been reaped.
    int m_pid = -1;
    bool m_processRunning = false;

    // When the tool was launched (steady clock, milliseconds); 0 before.
    std::atomic<qint64> m_launchedAtMs{0};

    // Owned by the shell thread alone.
    QString m_errorData;
};
