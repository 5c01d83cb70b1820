#include "engine/TestManager.h"

#include "base/FNWEnums.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "base/FNWUtils.h"
#include "db/FNWDeferredWrites.h"
#include "db/TestExecutionDAO.h"
#include "db/TestProfileExecutionDAO.h"
#include "model/FNWAgentBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"
#include "support/DDLog.h"
#include "support/FNWMainQueue.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>

namespace {

constexpr std::chrono::milliseconds kNextProfileDelay{500};
constexpr std::chrono::milliseconds kFailureWarningDelay{100};

QString profileNameOrAdHoc(const QString& name)
{
    return name.isEmpty() ? QStringLiteral("Ad-Hoc Execution") : name;
}

void post(const char* name, const QVariantMap& userInfo = {})
{
    FNWNotificationCenter::defaultCenter().postNotificationName(QLatin1String(name), nullptr, userInfo);
}

// A run's records change at its end whether or not another program holds the database: what
// meets its lock is written once the lock goes.
void writeOrKeep(const QString& description, FNWDeferredWrites::Write write)
{
    if (!FNWDeferredWrites::shared().writeOrKeep(description, std::move(write)))
        DDLogError("TestManager: %@ could not be written", description);
}

void updateExecution(const std::shared_ptr<TestExecutionBean>& execution)
{
    writeOrKeep(QStringLiteral("the outcome of execution %1").arg(execution->ID),
                [execution] { return TestExecutionDAO().update(*execution); });
}

} // namespace

TestManager::TestManager()
    : m_wifiReader(fnw::engine::currentWiFiDetails)
{
}

TestManager::~TestManager() = default;

std::shared_ptr<TestManager> TestManager::sharedTestManager()
{
    // Never destroyed: runs may still report while the process ends.
    static auto* const shared = new std::shared_ptr<TestManager>(std::make_shared<TestManager>());
    return *shared;
}

void TestManager::setDelegate(std::shared_ptr<TestManagerDelegate> delegate)
{
    std::lock_guard lock(m_delegateMutex);
    m_delegate = std::move(delegate);
}

std::shared_ptr<TestManagerDelegate> TestManager::delegate() const
{
    std::lock_guard lock(m_delegateMutex);
    return m_delegate;
}

void TestManager::setWiFiDetailsReader(WiFiReader reader)
{
    m_wifiReader = std::move(reader);
}

bool TestManager::movedToMainQueue(std::function<void(TestManager&)> call)
{
    if (FNWMainQueue::isMainThread())
        return false;
    FNWMainQueue::async([self = shared_from_this(), call = std::move(call)] { call(*self); });
    return true;
}

void TestManager::addTestProfileToQeue(std::shared_ptr<TestQueueBean> profile)
{
    if (!profile || movedToMainQueue([profile](TestManager& manager) { manager.addTestProfileToQeue(profile); }))
        return;
    // The home queue's unnamed profiles exist for this run alone; a stop removes them.
    if (profile->testProfileName.isEmpty())
        m_temporaryProfiles.push_back(profile);
    if (isFreeToUse()) {
        beginProfile(std::move(profile));
        return;
    }
    m_profilesToBeExecuted.push_back(std::move(profile));
}

void TestManager::startProfileExecutionWithTestProfile(std::shared_ptr<TestQueueBean> profile)
{
    if (!profile ||
        movedToMainQueue([profile](TestManager& manager) { manager.startProfileExecutionWithTestProfile(profile); }))
        return;
    // Starting over a running profile would leave its runs reporting into the new one.
    if (!isFreeToUse()) {
        DDLogInfo("TestManager: a test profile is running, '%@' will follow it",
                  profileNameOrAdHoc(profile->testProfileName));
        m_profilesToBeExecuted.push_back(std::move(profile));
        return;
    }
    beginProfile(std::move(profile));
}

void TestManager::beginProfile(std::shared_ptr<TestQueueBean> profile)
{
    // A profile that starts is no longer waiting; only waiting ones are removed by a stop.
    std::erase(m_temporaryProfiles, profile);
    m_testProfile = std::move(profile);
    m_isStopped = false;
    m_orderInExecution = -1;
    m_currentlyRunningSetOfTest.clear();
    m_perfTestThoseAreRunning.clear();
    m_profileRunning = false;
    startProfileExecution();
}

void TestManager::startProfileExecution()
{
    if (movedToMainQueue([](TestManager& manager) { manager.startProfileExecution(); }))
        return;
    if (m_isStopped || !m_testProfile)
        return;

    const std::vector<std::shared_ptr<TestBean>>& testList = m_testProfile->testList;
    if (m_orderInExecution == -1) {
        m_isFreeToUse.store(false);
        m_orderInExecution =
            testList.empty() ? 0
                             : (*std::min_element(testList.begin(), testList.end(), [](const auto& a, const auto& b) {
                                   return a->testOrder < b->testOrder;
                               }))->testOrder;
        DDLogInfo("TestManager: startProfileExecution - starting profile exeuction from order %ld", m_orderInExecution);

        m_executingProfile = std::make_shared<TestProfileExecutionBean>();
        m_executingProfile->execution_date = QDateTime::currentDateTime();
        m_executingProfile->profile_name = m_testProfile->testProfileName;
        m_executingProfile->test_profile_id = m_testProfile->ID;
        if (!TestProfileExecutionDAO().save(*m_executingProfile)) {
            DDLogError("TestManager: can't save TestProfileExectionBean: %@", m_executingProfile->description());
            abandonProfile();
            return;
        }
        m_profileRunning = true;
    } else {
        qint64 next = -1;
        for (const std::shared_ptr<TestBean>& test : testList) {
            if (test->testOrder > m_orderInExecution && (next == -1 || test->testOrder < next))
                next = test->testOrder;
        }
        if (next == -1) {
            finishProfile();
            return;
        }
        m_orderInExecution = next;
        DDLogInfo("TestManager: startProfileExecution - next test order to execute is %ld", m_orderInExecution);
    }

    std::vector<std::shared_ptr<TestBean>> tests;
    std::copy_if(testList.begin(), testList.end(), std::back_inserter(tests),
                 [this](const auto& test) { return test->testOrder == m_orderInExecution; });

    if (tests.empty()) {
        // Only an empty profile gets here. Profiles waiting behind it still run.
        if (!m_profilesToBeExecuted.empty()) {
            finishProfile();
            return;
        }
        m_isFreeToUse.store(true);
        m_profileRunning = false;
        DDLogInfo("TestManager: execution of test profile '%@' is finished.",
                  profileNameOrAdHoc(m_testProfile->testProfileName));
        post(AllTestProfileExecutionDidFinishedNotification);
        return;
    }

    m_isFreeToUse.store(false);
    DDLogInfo("TestManager: startProfileExecution - for order = %ld there are %ld test to execute at the same time",
              m_orderInExecution, static_cast<long>(tests.size()));
    m_currentlyRunningSetOfTest = tests;

    // One reading for the whole order: the tests start together.
    const fnw::engine::FNWWiFiDetails wifi = m_wifiReader ? m_wifiReader() : fnw::engine::FNWWiFiDetails{};
    const std::shared_ptr<TestManagerDelegate> viewDelegate = delegate();
    std::vector<std::shared_ptr<TestExecutionBean>> executions;
    for (const std::shared_ptr<TestBean>& test : tests) {
        auto execution = std::make_shared<TestExecutionBean>();
        execution->testBean_id = test->ID;
        execution->testProfile_id = m_testProfile->ID;
        execution->setExecutionStatus(FNWExecutionStatusRunning);
        execution->execution_date = QDateTime::currentDateTime();
        execution->ssid = wifi.ssid;
        execution->bssid = wifi.bssid.toUpper();
        execution->test_profile_execution_id = m_executingProfile->ID;
        execution->setTestBean(test);
        if (!TestExecutionDAO().save(*execution)) {
            // A test that cannot be recorded is not run: its figures would be stored nowhere.
            DDLogError("TestManager: Can't save TestExecutionBean, %@", execution->description());
            for (const std::shared_ptr<TestExecutionBean>& saved : executions)
                writeOrKeep(QStringLiteral("the removal of unrun execution %1").arg(saved->ID),
                            [saved] { return saved->remove(); });
            abandonProfile();
            return;
        }
        executions.push_back(std::move(execution));
    }
    for (std::size_t i = 0; i < tests.size(); ++i) {
        const std::shared_ptr<TestBean>& test = tests[i];
        const std::shared_ptr<TestExecutionBean>& execution = executions[i];
        m_executingProfile->addExecutedTest(execution);
        test->setExecutionStatus(FNWExecutionStatusRunning);

        const std::shared_ptr<PerfTest> run = PerfTest::initWithTestBean(test);
        run->setDelegate(weak_from_this());
        run->setExecutionID(execution->ID);
        run->setExecutionBean(execution);
        // Listed before it starts: a run that fails at once reports into the list it is on.
        m_perfTestThoseAreRunning.push_back(run);
        run->startTest();

        if (viewDelegate)
            viewDelegate->willExecuteTest(execution);
    }
}

void TestManager::abandonProfile()
{
    // Ends the run here. Orders that ran keep their results; a run that recorded nothing yet
    // leaves no empty entry in the history.
    DDLogError("TestManager: test profile '%@' can't be recorded in the database, so it is not run further",
               profileNameOrAdHoc(m_testProfile ? m_testProfile->testProfileName : QString()));
    m_currentlyRunningSetOfTest.clear();
    if (m_executingProfile && m_executingProfile->ID > 0 && m_executingProfile->allExecutedTest().empty()) {
        const std::shared_ptr<TestProfileExecutionBean> abandoned = m_executingProfile;
        writeOrKeep(QStringLiteral("the removal of abandoned run %1").arg(abandoned->ID),
                    [abandoned] { return abandoned->remove(); });
    }
    m_profileRunning = true;
    finishProfile();
}

void TestManager::finishProfile()
{
    const QString finishedName = m_executingProfile ? m_executingProfile->profile_name : QString();
    DDLogInfo("TestManager: **** execution of test profile '%@' is finished *****", profileNameOrAdHoc(finishedName));
    m_profileRunning = false;
    post(AllTestProfileExecutionDidFinishedNotification);

    if (!m_profilesToBeExecuted.empty()) {
        std::shared_ptr<TestQueueBean> next = m_profilesToBeExecuted.front();
        DDLogInfo("TestManager: starting execution of next test profile '%@'...",
                  profileNameOrAdHoc(next->testProfileName));
        m_profilesToBeExecuted.erase(m_profilesToBeExecuted.begin());
        m_isFreeToUse.store(false);
        m_scheduledProfile = next;
        const quint64 stopCount = m_stopCount;
        FNWMainQueue::asyncAfter(kNextProfileDelay, [self = shared_from_this(), next, stopCount] {
            // A stop in between cancels the start.
            if (self->m_stopCount != stopCount || self->m_scheduledProfile != next)
                return;
            self->m_scheduledProfile.reset();
            self->beginProfile(next);
        });
        return;
    }

    m_isFreeToUse.store(true);
    if (!m_isAnyTestFinished) {
        post(TestProfileExecutionDidFailedNotification);
    } else {
        DDLogInfo("TestManager: all test profiles are done execution...");
        post(TestProfileExecutionDidFinishedNotification);
        m_isAnyTestFinished = false;
    }
}

void TestManager::stopProfileExecution()
{
    if (movedToMainQueue([](TestManager& manager) { manager.stopProfileExecution(); }))
        return;
    m_isStopped = true;
    ++m_stopCount;
    for (const std::shared_ptr<PerfTest>& run : m_perfTestThoseAreRunning)
        run->stopPerfTest();
    // Only the execution of a profile still running goes; one that ended before the stop (while
    // the next waited to start) keeps its results.
    if (m_executingProfile && m_profileRunning) {
        const std::shared_ptr<TestProfileExecutionBean> stopped = m_executingProfile;
        writeOrKeep(QStringLiteral("the removal of stopped run %1").arg(stopped->ID),
                    [stopped] { return stopped->remove(); });
    }
    m_profileRunning = false;
    if (m_scheduledProfile) {
        m_profilesToBeExecuted.insert(m_profilesToBeExecuted.begin(), m_scheduledProfile);
        m_scheduledProfile.reset();
    }
    // Only the temporary profiles go; a saved profile waiting its turn (a rerun, a profile of My
    // Tests) stays as it is.
    for (const std::shared_ptr<TestQueueBean>& profile : m_profilesToBeExecuted) {
        if (std::find(m_temporaryProfiles.begin(), m_temporaryProfiles.end(), profile) != m_temporaryProfiles.end())
            writeOrKeep(QStringLiteral("the removal of temporary profile %1").arg(profile->ID),
                        [profile] { return profile->remove(); });
    }
    m_profilesToBeExecuted.clear();
    m_temporaryProfiles.clear();
    if (const std::shared_ptr<TestManagerDelegate> viewDelegate = delegate())
        viewDelegate->testProfileExecutionDidStopped();
    // The next run's end notification speaks of that run alone.
    m_isAnyTestFinished = false;
    m_isFreeToUse.store(true);
}

void TestManager::testDidFinished(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test)
{
    // Always queued, also from the application thread, so that a run reporting while it is being
    // started is handled after the start.
    FNWMainQueue::async([self = shared_from_this(), run, test] { self->handleFinished(run, test); });
}

void TestManager::testDidFailed(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test,
                                const QString& failuerReason)
{
    FNWMainQueue::async(
        [self = shared_from_this(), run, test, failuerReason] { self->handleFailed(run, test, failuerReason); });
}

void TestManager::testDidReceiveResult(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>&,
                                       const std::shared_ptr<TestIntervalResults>& result, bool isFinal)
{
    FNWMainQueue::async([self = shared_from_this(), run, result, isFinal] {
        // A run no longer of the current order (stopped, or left behind) has no one to tell.
        const auto& running = self->m_perfTestThoseAreRunning;
        if (self->m_isStopped || std::find(running.begin(), running.end(), run) == running.end())
            return;
        const std::shared_ptr<TestExecutionBean> execution = run->executionBean();
        if (const std::shared_ptr<TestManagerDelegate> viewDelegate = self->delegate(); viewDelegate && execution)
            viewDelegate->didReceiveIntervalResult(execution, result, isFinal);
    });
}

bool TestManager::removeFromCurrentOrder(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test)
{
    const auto runAt = std::find(m_perfTestThoseAreRunning.begin(), m_perfTestThoseAreRunning.end(), run);
    if (runAt == m_perfTestThoseAreRunning.end())
        return false;
    m_perfTestThoseAreRunning.erase(runAt);
    const auto testAt = std::find(m_currentlyRunningSetOfTest.begin(), m_currentlyRunningSetOfTest.end(), test);
    if (testAt != m_currentlyRunningSetOfTest.end())
        m_currentlyRunningSetOfTest.erase(testAt);
    return true;
}

void TestManager::handleFinished(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test)
{
    const std::shared_ptr<TestExecutionBean> execution = run->executionBean();
    if (!execution)
        return;
    execution->setExecutionStatus(FNWExecutionStatusFinished);
    test->setExecutionStatus(FNWExecutionStatusFinished);
    const QString address = FNWUtils::getSystemIPAddress();
    DDLogInfo("[FNWUtils getSystemIPAddress]:%@", address);
    test->sourceIPAddress = address;

    updateExecution(execution);
    writeOrKeep(QStringLiteral("test %1").arg(test->ID), [test] { return test->update(); });
    DDLogInfo("TestManager: testDidFinished for bean ID = %ld/%ld and Execution ID=%ld ...", test->ID,
              execution->testBean_id, execution->ID);

    const bool ofCurrentOrder = removeFromCurrentOrder(run, test);
    if (!ofCurrentOrder)
        DDLogWarn("TestManager: execution ID=%ld is no longer scheduled, nothing more starts from it", execution->ID);
    // Any finished test makes the run a finished one, whichever test of its order reports last:
    // the run has a result to show.
    if (ofCurrentOrder && !m_isStopped)
        m_isAnyTestFinished = true;
    if (const std::shared_ptr<TestManagerDelegate> viewDelegate = delegate())
        viewDelegate->iperfShallExecutionFinishedForTest(execution);

    if (ofCurrentOrder && m_currentlyRunningSetOfTest.empty() && !m_isStopped)
        startProfileExecution();
}

void TestManager::handleFailed(const std::shared_ptr<PerfTest>& run, const std::shared_ptr<TestBean>& test,
                               const QString& reason)
{
    const std::shared_ptr<TestExecutionBean> execution = run->executionBean();
    if (!execution)
        return;
    execution->setExecutionStatus(FNWExecutionStatusFailed);
    execution->setMessage(reason);
    test->setExecutionStatus(FNWExecutionStatusFailed);
    test->setMessage(reason);
    updateExecution(execution);
    DDLogError("TestManager: testDidFailed for bean ID = %ld / %ld and Execution ID=%ld and failuer reason is : %@",
               test->ID, execution->testBean_id, execution->ID, reason);

    const bool ofCurrentOrder = removeFromCurrentOrder(run, test);
    if (!ofCurrentOrder)
        DDLogWarn("TestManager: execution ID=%ld is no longer scheduled, nothing more starts from it", execution->ID);

    const std::shared_ptr<FNWAgentBean> agent = test->agent();
    const QString warning = execution->message() + FNWStringWithFormat(" (%@)", agent ? agent->ip_address : QString());
    FNWMainQueue::asyncAfter(kFailureWarningDelay, [self = shared_from_this(), execution, warning] {
        post(ShowWarningOnMainWindowNotification, {{QLatin1String(kErrorKey), warning}});
        if (const std::shared_ptr<TestManagerDelegate> viewDelegate = self->delegate())
            viewDelegate->iperfShallExecutionFinishedForTest(execution);
    });

    if (ofCurrentOrder && m_currentlyRunningSetOfTest.empty() && !m_isStopped)
        startProfileExecution();
}
