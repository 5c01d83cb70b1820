#include "compose/MyTestView.h"

#include "base/FNWEnums.h"
#include "engine/TestManager.h"
#include "model/TestBean.h"
#include "model/TestQueueBean.h"
#include "support/DDLog.h"

MyTestView::MyTestView(QObject* parent)
    : QObject(parent)
    , m_list(new TestProfilesListView(this))
    , m_details(new QueueListView(this))
{
    m_list->setDelegate(this);
    m_details->setDelegate(this);
    m_details->isFromMyTestView = true;
}

MyTestView::~MyTestView() = default;

void MyTestView::setTestManager(std::shared_ptr<TestManager> manager)
{
    m_details->setTestManager(std::move(manager));
}

void MyTestView::setUpView()
{
    m_list->setUpView();
}

void MyTestView::prepareView()
{
    m_list->prepareView();
    // A run of this tab goes on showing its progress on the tests it started with.
    if (m_details->isTestManagerRunningThisQueue())
        return;
    m_selectedTestProfile = m_list->selectedTestProfile();
    m_details->loadAllTestForTestProfile(m_selectedTestProfile);
}

bool MyTestView::startProfileExecutionButtonDidPressed()
{
    const std::shared_ptr<TestManager> manager = m_details->testManager();
    if (!m_selectedTestProfile || !manager->isFreeToUse()) {
        DDLogInfo("MyTestView: no test profile selected or a test is in progress, not starting");
        return false;
    }
    if (m_details->testList().empty()) {
        DDLogInfo("MyTestView: the selected test profile has no tests to run");
        return false;
    }
    for (const std::shared_ptr<TestBean>& test : m_details->testList()) {
        test->setExecutionStatus(FNWExecutionStatusNotStarted);
        test->setMessage(QString());
    }
    m_details->testProfileExecutionDidStopped();
    manager->setDelegate(m_details->testManagerDelegate());
    m_selectedTestProfile->testList = m_details->testList();
    DDLogInfo("MyTestView: starting test profile %@", m_selectedTestProfile->testProfileName);
    m_runningProfileID = m_selectedTestProfile->ID;
    manager->startProfileExecutionWithTestProfile(m_selectedTestProfile);
    return true;
}

void MyTestView::testProfileSelectionDidChanged(const std::shared_ptr<TestQueueBean>& profile)
{
    // The running profile's record keeps the tests the run reports on.
    if (profile && profile == m_selectedTestProfile && m_details->isTestManagerRunningThisQueue())
        return;
    m_selectedTestProfile = profile;
    m_details->loadAllTestForTestProfile(profile);
}

bool MyTestView::isProfileRunning(qint64 profileID)
{
    return profileID == m_runningProfileID && m_details->isTestManagerRunningThisQueue();
}

bool MyTestView::isRunningTestFromHomeScreen()
{
    return m_details->isTestManagerRunningThisQueue();
}
