#pragma once

#include "base/FNWMainWindowPages.h"
#include "engine/FNWWiFiInfo.h"
#include "engine/PerfTest.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TestBean;
class TestExecutionBean;
class TestIntervalResults;
class TestProfileExecutionBean;
class TestQueueBean;

// The view that shows the executing queue. Every call comes on the application thread.
class TestManagerDelegate
{
public:
    virtual ~TestManagerDelegate() = default;
    virtual void willExecuteTest(const std::shared_ptr<TestExecutionBean>& execution) = 0;
    virtual void iperfShallExecutionFinishedForTest(const std::shared_ptr<TestExecutionBean>& execution) = 0;
    virtual void testProfileExecutionDidStopped() {}
    // A running test's interval line, or its final totals (isFinal), as it is recorded.
    virtual void didReceiveIntervalResult(const std::shared_ptr<TestExecutionBean>& execution,
                                          const std::shared_ptr<TestIntervalResults>& result, bool isFinal)
    {
        (void)execution;
        (void)result;
        (void)isFinal;
    }
};

// The one scheduler of test runs. A profile's tests of one order run at the same time; orders run
// one after another, ascending; waiting profiles follow 0.5 s after the one before. Everything is
// recorded in the database and the end is announced by notification.
//
// All scheduling happens on the application thread: the runs report from their own threads and
// the reports are queued to it, so the lists and flags are only ever touched there. Calls made on
// another thread are moved there too.
class TestManager final : public FNWTestRunControl,
                          public PerfTestDelegate,
                          public std::enable_shared_from_this<TestManager>
{
public:
    using WiFiReader = std::function<fnw::engine::FNWWiFiDetails()>;

    TestManager();
    ~TestManager() override;
    TestManager(const TestManager&) = delete;
    TestManager& operator=(const TestManager&) = delete;

    static std::shared_ptr<TestManager> sharedTestManager();

    // Starts the profile when the manager is free, else queues it behind the others.
    void addTestProfileToQeue(std::shared_ptr<TestQueueBean> profile);
    // Starts the profile; when a profile is already running it is queued instead.
    void startProfileExecutionWithTestProfile(std::shared_ptr<TestQueueBean> profile);
    // Starts the first or the next order, or finishes the profile.
    void startProfileExecution();
    void stopProfileExecution() override;
    bool isFreeToUse() const override { return m_isFreeToUse.load(); }

    void setDelegate(std::shared_ptr<TestManagerDelegate> delegate);
    std::shared_ptr<TestManagerDelegate> delegate() const;
    // Where this computer's Wi-Fi details come from; the system's by default.
    void setWiFiDetailsReader(WiFiReader reader);

    void testDidFinished(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test) override;
    void testDidFailed(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test,
                       const QString& failuerReason) override;
    void testDidReceiveResult(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test,
                              const std::shared_ptr<TestIntervalResults>& result, bool isFinal) override;

    // The state, for the interface and tests; read on the application thread.
    std::shared_ptr<TestQueueBean> testProfile() const { return m_testProfile; }
    std::shared_ptr<TestProfileExecutionBean> executingProfile() const { return m_executingProfile; }
    qint64 orderInExecution() const { return m_orderInExecution; }
    bool isStopped() const { return m_isStopped; }
    const std::vector<std::shared_ptr<PerfTest>>& perfTestThoseAreRunning() const { return m_perfTestThoseAreRunning; }
    const std::vector<std::shared_ptr<TestQueueBean>>& profilesToBeExecuted() const { return m_profilesToBeExecuted; }

private:
    // Runs the call on the application thread; true when it had to be moved there.
    bool movedToMainQueue(std::function<void(TestManager&)> call);
    void beginProfile(std::shared_ptr<TestQueueBean> profile);
    void abandonProfile();
    void finishProfile();
    void handleFinished(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test);
    void handleFailed(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test,
                      const QString& reason);
    // Drops the run and its test from the current order; false when the run is not one of it.
    bool removeFromCurrentOrder(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test);

    std::shared_ptr<TestQueueBean> m_testProfile;
    std::shared_ptr<TestProfileExecutionBean> m_executingProfile;
    std::vector<std::shared_ptr<TestBean>> m_currentlyRunningSetOfTest;
    std::vector<std::shared_ptr<PerfTest>> m_perfTestThoseAreRunning;
    qint64 m_orderInExecution = -1;
    bool m_isStopped = false;
    // Set by any test of the run that finished; decides which end notification is posted.
    bool m_isAnyTestFinished = false;
    std::vector<std::shared_ptr<TestQueueBean>> m_profilesToBeExecuted;
    // The unnamed profiles handed in by the home queue that have not started yet.
    std::vector<std::shared_ptr<TestQueueBean>> m_temporaryProfiles;
    std::atomic<bool> m_isFreeToUse{true};
    // Whether the execution record belongs to a profile still running (not one already ended and
    // waiting for the next to start).
    bool m_profileRunning = false;
    // The profile whose start is scheduled 0.5 s ahead, and the stop count that start belongs to.
    std::shared_ptr<TestQueueBean> m_scheduledProfile;
    quint64 m_stopCount = 0;

    mutable std::mutex m_delegateMutex;
    std::shared_ptr<TestManagerDelegate> m_delegate;
    WiFiReader m_wifiReader;
};
