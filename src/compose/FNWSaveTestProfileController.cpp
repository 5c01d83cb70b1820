#include "compose/FNWSaveTestProfileController.h"

#include "base/FNWAlerts.h"
#include "base/FNWErrorLine.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "model/TestBean.h"
#include "model/TestQueueBean.h"
#include "support/DDLog.h"

FNWSaveTestProfileController::FNWSaveTestProfileController(QObject* parent)
    : QObject(parent)
    , m_queue(new QueueListView(this))
    , m_errorLine(new FNWErrorLine(this))
{
    m_queue->setDelegate(this);
    m_queue->drivesStartStopButton = false;
    connect(m_errorLine, &FNWErrorLine::textChanged, this, &FNWSaveTestProfileController::errorTextChanged);
}

FNWSaveTestProfileController::~FNWSaveTestProfileController() = default;

void FNWSaveTestProfileController::showUpdateTestWindow()
{
    if (!testQueueBean || testQueueBean->testList.empty())
        return;
    // The window works on copies that keep the tests' ids: the profile's record and its stored
    // rows change only on Update.
    std::vector<std::shared_ptr<TestBean>> tests;
    for (const std::shared_ptr<TestBean>& test : testQueueBean->testList) {
        std::shared_ptr<TestBean> shown = test->copyWithOwnSettings();
        shown->ID = test->ID;
        tests.push_back(std::move(shown));
    }
    m_queue->setTestList(std::move(tests));
    oldObjOftestProfileName = testQueueBean->testProfileName;
    deletedTestList.clear();
    m_errorLine->show(QString());
    m_isWindowVisible = true;
    emit showWindowRequested(QString::fromLatin1(kWindowTitle), testQueueBean->testProfileName);
}

bool FNWSaveTestProfileController::updateTestProfileButtonDidClicked(const QString& enteredName)
{
    if (!testQueueBean)
        return false;
    const QString name = enteredName.trimmed();
    if (name.isEmpty()) {
        showErrorMessage(QStringLiteral("Test Profile Name is Required."));
        return false;
    }
    if (name != oldObjOftestProfileName && TestQueueBean::findTestName(name)) {
        showErrorMessage(QStringLiteral("Test name already used, please use different name."));
        return false;
    }
    if (m_queue->testList().empty()) {
        showErrorMessage(QStringLiteral("Queue List is Empty."));
        return false;
    }
    if (!deletedTestList.empty() &&
        !FNWAlerts::showConfirmationAlertWithMessage(QStringLiteral("Are you sure to update test profile."), QString()))
        return false;

    const QString storedName = testQueueBean->testProfileName;
    testQueueBean->testProfileName = name;
    QString error;
    if (!testQueueBean->updateWithTests(m_queue->testList(), deletedTestList, &error)) {
        testQueueBean->testProfileName = storedName;
        showErrorMessage(error);
        return false;
    }
    DDLogInfo("FNWSaveTestProfileController: updated test profile %@ (%ld tests, %ld removed)", name,
              static_cast<long>(testQueueBean->testList.size()), static_cast<long>(deletedTestList.size()));
    FNWNotificationCenter::defaultCenter().postNotificationName(
        QString::fromLatin1(ShowWarningOnMainWindowNotification), nullptr,
        {{QString::fromLatin1(kErrorKey), QStringLiteral("Test Information Updated.")},
         {QString::fromLatin1(kTextColorKey), QStringLiteral("green")}});
    closeWindow();
    oldObjOftestProfileName.clear();
    if (m_delegate)
        m_delegate->userClickedToAddUpdatedTestProfileInfo(testQueueBean);
    return true;
}

void FNWSaveTestProfileController::cancelButtonDidClicked()
{
    closeWindow();
    reloadProfileFromStore();
    if (m_delegate && testQueueBean)
        m_delegate->userClickedToAddUpdatedTestProfileInfo(testQueueBean);
}

void FNWSaveTestProfileController::closeWindow()
{
    if (m_isWindowVisible) {
        m_isWindowVisible = false;
        emit hideWindowRequested();
    }
    m_queue->setUpView();
    deletedTestList.clear();
    m_errorLine->show(QString());
}

void FNWSaveTestProfileController::reloadProfileFromStore()
{
    if (!testQueueBean || testQueueBean->ID <= 0)
        return;
    const TestQueueBean stored(testQueueBean->ID);
    testQueueBean->testProfileName = stored.testProfileName;
    testQueueBean->loadAllTestBeans();
}

void FNWSaveTestProfileController::showErrorMessage(const QString& message)
{
    m_errorLine->show(message);
}

QString FNWSaveTestProfileController::errorText() const
{
    return m_errorLine->text();
}

void FNWSaveTestProfileController::setErrorClearInterval(int milliseconds)
{
    m_errorLine->setClearInterval(milliseconds);
}

void FNWSaveTestProfileController::userDidRemoveTest(const std::shared_ptr<TestBean>& test)
{
    if (test)
        deletedTestList.push_back(test);
}
