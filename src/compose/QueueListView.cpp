#include "compose/QueueListView.h"

#include "base/FNWAlerts.h"
#include "base/FNWEnums.h"
#include "base/FNWErrorLine.h"
#include "base/FNWListRoles.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "compose/FNWListRows.h"
#include "engine/TestManager.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestQueueBean.h"
#include "support/DDLog.h"
#include "support/FNWFormat.h"

#include <QPointer>

#include <algorithm>
#include <set>

using namespace fnw::compose;

namespace {

QString agentAddress(const std::shared_ptr<TestBean>& test)
{
    const std::shared_ptr<FNWAgentBean> agent = test->agent();
    return agent ? agent->ip_address : QString();
}

bool isTestOfAgent(const TestBean& test, const FNWAgentBean& library)
{
    const std::shared_ptr<FNWAgentBean> agent = test.agent();
    return agent && agent->isCopyOf(library);
}

void warnSameAgent()
{
    FNWNotificationCenter::defaultCenter().postNotificationName(
        QString::fromLatin1(ShowWarningOnMainWindowNotification), nullptr,
        {{QString::fromLatin1(kErrorKey), QStringLiteral("Simultaneous test with same agent cannot be performed.")}});
}

} // namespace

// Hands the test manager's reports to the queue while it lives; the manager calls on the
// application thread, where the queue lives.
class QueueListView::ManagerRelay final : public TestManagerDelegate
{
public:
    explicit ManagerRelay(QueueListView* queue)
        : m_queue(queue)
    {
    }
    void willExecuteTest(const std::shared_ptr<TestExecutionBean>& execution) override
    {
        if (m_queue)
            m_queue->willExecuteTest(execution);
    }
    void iperfShallExecutionFinishedForTest(const std::shared_ptr<TestExecutionBean>& execution) override
    {
        if (m_queue)
            m_queue->iperfShallExecutionFinishedForTest(execution);
    }
    void testProfileExecutionDidStopped() override
    {
        if (m_queue)
            m_queue->testProfileExecutionDidStopped();
    }

private:
    QPointer<QueueListView> m_queue;
};

QueueListView::QueueListView(QObject* parent)
    : FNWRowListModel(kRowsMimeType, Dragging::Always, parent)
    , m_relay(std::make_shared<ManagerRelay>(this))
    , m_errorLine(new FNWErrorLine(this))
{
    connect(m_errorLine, &FNWErrorLine::textChanged, this, &QueueListView::errorTextChanged);
}

QueueListView::~QueueListView() = default;

void QueueListView::setTestManager(std::shared_ptr<TestManager> manager)
{
    m_testManager = std::move(manager);
}

std::shared_ptr<TestManager> QueueListView::testManager() const
{
    return m_testManager ? m_testManager : TestManager::sharedTestManager();
}

std::shared_ptr<TestManagerDelegate> QueueListView::testManagerDelegate() const
{
    return m_relay;
}

bool QueueListView::isTestManagerRunningThisQueue() const
{
    const std::shared_ptr<TestManager> manager = testManager();
    return !manager->isFreeToUse() && manager->delegate() == m_relay;
}

void QueueListView::setUpView()
{
    beginResetModel();
    m_testList.clear();
    endResetModel();
    setEditing(false);
}

void QueueListView::presetSelectionDidChanged(const std::shared_ptr<FNWPresetBean>& preset)
{
    m_orginalPreset = preset;
    if (!preset) {
        beginResetModel();
        m_testList.clear();
        endResetModel();
        setStartStopButtonVisibility(false);
    }
}

bool QueueListView::holdsTestsOfAgent(const FNWAgentBean& agent) const
{
    return std::any_of(m_testList.begin(), m_testList.end(),
                       [&](const std::shared_ptr<TestBean>& test) { return isTestOfAgent(*test, agent); });
}

bool QueueListView::holdsTestsOfPreset(const FNWPresetBean& preset) const
{
    return std::any_of(m_testList.begin(), m_testList.end(), [&](const std::shared_ptr<TestBean>& test) {
        const std::shared_ptr<FNWPresetBean> testPreset = test->preset();
        return testPreset && testPreset->originalID == preset.ID;
    });
}

void QueueListView::addAgentToQueue(const std::shared_ptr<FNWAgentBean>& agent)
{
    if (!m_orginalPreset) {
        DDLogError("QueueListView-addAgentToQueue: Oppps no preset is present..");
        return;
    }
    if (!agent)
        return;
    qint64 order = static_cast<qint64>(m_testList.size());
    if (!m_testList.empty()) {
        order = m_testList.front()->testOrder;
        for (const std::shared_ptr<TestBean>& test : m_testList)
            order = std::max(order, test->testOrder);
    }
    auto test = std::make_shared<TestBean>();
    std::shared_ptr<FNWAgentBean> agentCopy = agent->copy();
    agentCopy->originalID = agent->ID;
    agentCopy->isAttachedToQueue = true;
    std::shared_ptr<FNWPresetBean> presetCopy = m_orginalPreset->copy();
    presetCopy->originalID = m_orginalPreset->ID;
    presetCopy->agent_id = -1;
    presetCopy->isAttachedToQueue = true;
    test->setAgent(agentCopy);
    test->setPreset(presetCopy);
    test->testOrder = order + 1;
    test->testName = agentCopy->ip_address + FNWStringWithFormat(" - %@", presetCopy->name);

    const int row = static_cast<int>(m_testList.size());
    beginInsertRows(QModelIndex(), row, row);
    m_testList.push_back(test);
    endInsertRows();
    reloadData();
    setStartStopButtonVisibility(true);
}

void QueueListView::removeAgentFromQueue(const std::shared_ptr<FNWAgentBean>& agent)
{
    if (!agent)
        return;
    beginResetModel();
    std::erase_if(m_testList, [&](const std::shared_ptr<TestBean>& test) { return isTestOfAgent(*test, *agent); });
    endResetModel();
    reloadData();
    if (m_testList.empty())
        setStartStopButtonVisibility(false);
}

void QueueListView::removeAllTests()
{
    beginResetModel();
    m_testList.clear();
    endResetModel();
    setStartStopButtonVisibility(false);
}

void QueueListView::presetDidDeleted(const std::shared_ptr<FNWPresetBean>& preset)
{
    if (!preset)
        return;
    std::vector<std::shared_ptr<TestBean>> removed;
    beginResetModel();
    std::erase_if(m_testList, [&](const std::shared_ptr<TestBean>& test) {
        const std::shared_ptr<FNWPresetBean> testPreset = test->preset();
        const bool fromDeleted = testPreset && testPreset->originalID == preset->ID;
        if (fromDeleted)
            removed.push_back(test);
        return fromDeleted;
    });
    endResetModel();
    for (const std::shared_ptr<TestBean>& test : removed) {
        if (m_delegate)
            m_delegate->userDidRemoveAgent(test->agent());
    }
    reloadData();
    if (m_testList.empty() && !removed.empty())
        setStartStopButtonVisibility(false);
}

bool QueueListView::startStopButtonDidClicked()
{
    if (m_testList.empty())
        return false;
    std::vector<qint64> orders;
    for (const std::shared_ptr<TestBean>& test : m_testList) {
        test->ID = 0;
        test->setExecutionStatus(FNWExecutionStatusNotStarted);
        test->setMessage(QString());
        if (std::find(orders.begin(), orders.end(), test->testOrder) == orders.end())
            orders.push_back(test->testOrder);
    }
    const std::shared_ptr<TestManager> manager = testManager();
    manager->setDelegate(m_relay);

    bool handedOver = false;
    for (qint64 order : orders) {
        auto profile = std::make_shared<TestQueueBean>();
        for (const std::shared_ptr<TestBean>& test : m_testList) {
            if (test->testOrder == order)
                profile->testList.push_back(test);
        }
        QString error;
        if (!profile->save(&error)) {
            DDLogError("QueueListView: unable to save test profile for adhoc exeuction...%@", error);
            reloadData();
            return false;
        }
        DDLogInfo("QueueListView: saved test profile for adhoc execution and starting exeuction..");
        manager->addTestProfileToQeue(profile);
        handedOver = true;
    }
    reloadData();
    return handedOver;
}

void QueueListView::loadAllTestForTestProfile(const std::shared_ptr<TestQueueBean>& profile)
{
    beginResetModel();
    if (profile) {
        m_testQueue = profile;
        profile->loadAllTestBeans();
        m_testList = profile->testList;
    } else {
        m_testList.clear();
        m_testQueue = nullptr;
    }
    endResetModel();
    reloadData();
    setStartStopButtonVisibility(profile != nullptr);
}

void QueueListView::setTestList(std::vector<std::shared_ptr<TestBean>> tests)
{
    setEditing(false);
    beginResetModel();
    m_testQueue = nullptr;
    m_testList = std::move(tests);
    endResetModel();
    reloadData();
}

void QueueListView::willExecuteTest(const std::shared_ptr<TestExecutionBean>& execution)
{
    if (!execution)
        return;
    const std::shared_ptr<TestBean> test = testWithID(execution->testBean_id);
    if (!test)
        return;
    test->setExecutionStatus(FNWExecutionStatusRunning);
    DDLogInfo("QueueListView: Got event that test (%@) started", test->testName);
    statusDidChange(test);
}

void QueueListView::iperfShallExecutionFinishedForTest(const std::shared_ptr<TestExecutionBean>& execution)
{
    if (!execution)
        return;
    const std::shared_ptr<TestBean> test = testWithID(execution->testBean_id);
    const std::shared_ptr<TestBean> running = execution->testBean();
    if (!test || !running)
        return;
    if (running != test) {
        test->setExecutionStatus(running->executionStatus());
        test->setMessage(running->message());
    }
    DDLogInfo("QueueListView: Got event that test (%@) finished...Error: %@", test->testName, test->message());
    statusDidChange(test);
}

void QueueListView::testProfileExecutionDidStopped()
{
    for (const std::shared_ptr<TestBean>& test : m_testList) {
        test->setExecutionStatus(FNWExecutionStatusNotStarted);
        test->setMessage(QString());
    }
    reloadData();
}

void QueueListView::didEditedPresetFromQueueView(const std::shared_ptr<FNWPresetBean>& preset)
{
    if (m_testInEdit && std::find(m_testList.begin(), m_testList.end(), m_testInEdit) == m_testList.end()) {
        // The test left the queue while its preset was open.
        DDLogInfo("QueueListView: the edited test is no longer queued, its preset is not kept");
        m_testInEdit = nullptr;
    }
    if (m_testInEdit && preset) {
        preset->isEdited = true;
        m_testInEdit->setPreset(preset);
        // Kept in memory: a stored test's preset belongs to its runs, so the edit is written when
        // the profile is updated (as new rows) or the queue runs.
        m_testInEdit->testName = agentAddress(m_testInEdit) + FNWStringWithFormat(" %@", preset->name);
    }
    reloadData();
}

void QueueListView::enableEditModeOnQueueButtonDidClicked(bool checked)
{
    if (isRunningTestFromHomeScreen()) {
        showPleaseWait();
        setEditing(false);
        return;
    }
    setEditing(!m_testList.empty() && checked);
    reloadData();
}

void QueueListView::deleteIndividualTestButtonDidClicked(int row)
{
    didReceivedDraggedItems({QString::number(row)});
}

void QueueListView::deleteKeyPressedForRows(const QList<int>& rows)
{
    if (!m_isEditing)
        return;
    if (isRunningTestFromHomeScreen()) {
        showPleaseWait();
        return;
    }
    const std::vector<std::shared_ptr<TestBean>> tests = membersAtRows(m_testList, rows);
    if (tests.empty() ||
        !FNWAlerts::showConfirmationAlertWithMessage(
            QStringLiteral("Please Confirm"),
            tests.size() == 1 ? QStringLiteral("Are you sure you want to remove the selected test from the Queue?")
                              : QStringLiteral("Are you sure you want to remove the selected tests from the Queue?")))
        return;
    for (const std::shared_ptr<TestBean>& test : tests) {
        const auto at = std::find(m_testList.begin(), m_testList.end(), test);
        if (at != m_testList.end())
            removeTestAt(static_cast<int>(at - m_testList.begin()));
    }
}

void QueueListView::clearAllTestFromQueueButtonDidClicked()
{
    if (isRunningTestFromHomeScreen()) {
        showPleaseWait();
        return;
    }
    if (m_testList.empty())
        return;
    if (!FNWAlerts::showConfirmationAlertWithMessage(
            QStringLiteral("Please Confirm"),
            QStringLiteral("Are you sure you want to remove all tests from the Queue?")))
        return;
    beginResetModel();
    m_testList.clear();
    endResetModel();
    setStartStopButtonVisibility(false);
    if (m_delegate)
        m_delegate->userDidClearedAllTestFromQueue();
}

void QueueListView::trashButtonDidClicked()
{
    clearAllTestFromQueueButtonDidClicked();
}

void QueueListView::didReceivedDraggedItems(const QStringList& items)
{
    if (items.isEmpty())
        return;
    const QList<int> rows = rowsFromPasteboardString(items.first());
    if (rows.isEmpty())
        return;
    if (isRunningTestFromHomeScreen()) {
        showPleaseWait();
        return;
    }
    removeTestAt(rows.first());
}

void QueueListView::removeTestAt(int row)
{
    if (row < 0 || row >= static_cast<int>(m_testList.size()))
        return;
    const std::shared_ptr<TestBean> test = m_testList[static_cast<size_t>(row)];
    beginRemoveRows(QModelIndex(), row, row);
    m_testList.erase(m_testList.begin() + row);
    endRemoveRows();
    reloadData();
    if (m_delegate) {
        m_delegate->userDidRemoveAgent(test->agent());
        m_delegate->userDidRemoveTest(test);
    }
    if (m_testList.empty()) {
        setEditing(false);
        // Nothing is left to start.
        setStartStopButtonVisibility(false);
    }
}

void QueueListView::upperHalfCircleDidClicked(int row)
{
    const int count = static_cast<int>(m_testList.size());
    if (row < 0 || row >= count - 1)
        return;
    const std::shared_ptr<TestBean>& clicked = m_testList[static_cast<size_t>(row)];
    const std::shared_ptr<TestBean>& next = m_testList[static_cast<size_t>(row) + 1];
    if (agentAddress(clicked) == agentAddress(next)) {
        warnSameAgent();
        return;
    }
    if (clicked->testOrder == next->testOrder) {
        DDLogInfo("QueueListView-upperHalfCircleDidClicked: Order is already same so user want to seaprate "
                  "it...clicked order is %ld....clickedRow:%ld",
                  clicked->testOrder, static_cast<long>(row));
        for (size_t later = static_cast<size_t>(row) + 1; later < m_testList.size(); ++later)
            m_testList[later]->testOrder += 1;
    } else {
        joinRows(row, row + 1);
    }
    reloadData();
    storeOrdersOfProfile();
}

void QueueListView::lowerHalfCircleDidClicked(int row)
{
    const int count = static_cast<int>(m_testList.size());
    if (row <= 0 || row >= count)
        return;
    const std::shared_ptr<TestBean>& previous = m_testList[static_cast<size_t>(row) - 1];
    const std::shared_ptr<TestBean>& clicked = m_testList[static_cast<size_t>(row)];
    if (agentAddress(previous) == agentAddress(clicked)) {
        warnSameAgent();
        return;
    }
    if (previous->testOrder != clicked->testOrder) {
        joinRows(row - 1, row);
    } else {
        for (int earlier = 0; earlier < row; ++earlier)
            m_testList[static_cast<size_t>(earlier)]->testOrder -= 1;
    }
    reloadData();
    storeOrdersOfProfile();
}

void QueueListView::storeOrdersOfProfile()
{
    if (!m_testQueue || !isFromMyTestView)
        return;
    for (const std::shared_ptr<TestBean>& test : m_testList) {
        if (test->ID > 0 && !test->updateOrder())
            DDLogError("QueueListView: unable to store the order of test %@", test->testName);
    }
}

void QueueListView::joinRows(int first, int second)
{
    const qint64 firstOrder = m_testList[static_cast<size_t>(first)]->testOrder;
    const qint64 secondOrder = m_testList[static_cast<size_t>(second)]->testOrder;
    std::vector<std::shared_ptr<TestBean>> group;
    std::set<QString> addresses;
    for (const std::shared_ptr<TestBean>& test : m_testList) {
        if (test->testOrder != firstOrder && test->testOrder != secondOrder)
            continue;
        if (!addresses.insert(agentAddress(test)).second) {
            warnSameAgent();
            return;
        }
        group.push_back(test);
    }
    const qint64 order = std::min(firstOrder, secondOrder);
    for (const std::shared_ptr<TestBean>& test : group)
        test->testOrder = order;
}

void QueueListView::showFailuerResonOnProgressButtonClick(int row)
{
    if (row < 0 || row >= static_cast<int>(m_testList.size()))
        return;
    const std::shared_ptr<TestBean>& test = m_testList[static_cast<size_t>(row)];
    if (test->executionStatus() != FNWExecutionStatusFailed)
        return;
    DDLogInfo("QueueListView: failed reasons is - %@", test->message());
    FNWAlerts::showCriticalAlertWithMessage(FNWStringWithFormat("%@ Test Failed", test->testName), test->message());
}

void QueueListView::showPresetSettingWindowForRow(int row)
{
    if (row < 0 || row >= static_cast<int>(m_testList.size()))
        return;
    const std::shared_ptr<TestBean> test = m_testList[static_cast<size_t>(row)];
    // The editor's working copy always belongs to the test it was opened for: it turns to this
    // test only when it may (the user kept no changes for another).
    if (presetEditor()->openWindowForPreset(test->preset(), true))
        m_testInEdit = test;
}

FNWCreatePresetWindowController* QueueListView::presetEditor()
{
    if (!m_presetEditor) {
        m_presetEditor = new FNWCreatePresetWindowController(this);
        m_presetEditor->setDelegate(this);
        m_presetEditor->setIsFromQueueListView(true);
        emit presetEditorCreated(m_presetEditor);
    }
    return m_presetEditor;
}

void QueueListView::queueSaveButtonDidClicked()
{
    if (m_testList.empty() || !m_saveWindowQueue)
        return;
    QueueListView* target = m_saveWindowQueue;
    target->setEditing(false);
    target->beginResetModel();
    target->m_testList.clear();
    target->m_testQueue = nullptr;
    for (const std::shared_ptr<TestBean>& test : m_testList)
        target->m_testList.push_back(test->copyWithOwnSettings());
    target->endResetModel();
    target->reloadData();
    emit target->saveWindowRequested();
}

bool QueueListView::saveTestQueueButtonDidClicked(const std::optional<QString>& name)
{
    const QString profileName = (name ? *name : m_newProfileName).trimmed();
    auto profile = std::make_shared<TestQueueBean>();
    if (isCreateNewMyTestProfile)
        profile->testProfileName = profileName;
    if (profileName.isEmpty()) {
        showErrorMessage(QStringLiteral("Test Profile Name is Required."));
        return false;
    }
    if (TestQueueBean::findTestName(profileName)) {
        showErrorMessage(QStringLiteral("Test name already used, please use different name."));
        return false;
    }
    if (m_testList.empty()) {
        showErrorMessage(QStringLiteral("Queue List is empty."));
        return false;
    }
    profile->testProfileName = profileName;
    // The profile's rows are its own: the queue's tests, presets and agents stay unsaved.
    for (const std::shared_ptr<TestBean>& test : m_testList) {
        std::shared_ptr<TestBean> stored = test->copyWithOwnSettings();
        stored->ID = 0;
        profile->testList.push_back(std::move(stored));
    }
    profile->viewPosition = TestQueueBean::getMaxViewPosition() + 1;
    QString error;
    const QString warning = QString::fromLatin1(ShowWarningOnMainWindowNotification);
    if (!profile->save(&error)) {
        DDLogError("QueueListView: unable to save test profile %@...%@", profileName, error);
        if (error.isEmpty())
            error = QStringLiteral("The test profile could not be saved.");
        FNWNotificationCenter::defaultCenter().postNotificationName(warning, nullptr,
                                                                    {{QString::fromLatin1(kErrorKey), error}});
        return false;
    }
    DDLogInfo("QueueListView: saved test profile %@ with %ld tests", profileName,
              static_cast<long>(profile->testList.size()));
    FNWNotificationCenter::defaultCenter().postNotificationName(
        warning, nullptr,
        {{QString::fromLatin1(kErrorKey), QStringLiteral("Test Information Saved.")},
         {QString::fromLatin1(kTextColorKey), QStringLiteral("green")}});
    if (m_isSaveWindowVisible) {
        emit saveWindowCloseRequested();
        setUpView();
    }
    return true;
}

bool QueueListView::userClickedToAddNewTestProfileWithName(const QString& name)
{
    if (TestQueueBean::findTestName(name.trimmed())) {
        showErrorMessage(QStringLiteral("Test name already used, please use different name."));
        return false;
    }
    if (m_testList.empty())
        return false;
    m_newProfileName = name;
    // A failed save keeps the window open with its report, so the user can try again.
    if (!saveTestQueueButtonDidClicked(std::nullopt))
        return false;
    FNWNotificationCenter::defaultCenter().postNotificationName(
        QString::fromLatin1(DidCreatedNewTestProfileFromNewWindow), nullptr);
    setIsCreateNewMyTestProfile(false);
    return true;
}

void QueueListView::showErrorMessage(const QString& message)
{
    m_errorLine->show(message);
}

QString QueueListView::errorText() const
{
    return m_errorLine->text();
}

void QueueListView::setErrorClearInterval(int milliseconds)
{
    m_errorLine->setClearInterval(milliseconds);
}

void QueueListView::setIsCreateNewMyTestProfile(bool isCreateNew)
{
    if (isCreateNewMyTestProfile == isCreateNew)
        return;
    isCreateNewMyTestProfile = isCreateNew;
    emit saveButtonVisibilityChanged(isSaveButtonVisible());
}

bool QueueListView::canAcceptDropOfRows(const QString& pasteboard, int dropRow) const
{
    return !isRunningTestFromHomeScreen() && FNWRowListModel::canAcceptDropOfRows(pasteboard, dropRow);
}

void QueueListView::tableViewDidClickedRow(int row)
{
    if (m_isEditing)
        showPresetSettingWindowForRow(row);
}

bool QueueListView::acceptDropOfRows(const QString& pasteboard, int dropRow)
{
    if (!canAcceptDropOfRows(pasteboard, dropRow))
        return false;
    relayout();
    const int from = rowsFromPasteboardString(pasteboard).first();
    const int count = static_cast<int>(m_testList.size());
    const std::shared_ptr<TestBean> dragged = m_testList[static_cast<size_t>(from)];
    std::shared_ptr<TestBean> moved = dragged->copy();
    moved->ID = dragged->ID;
    moved->setExecutionStatus(dragged->executionStatus());
    moved->setMessage(dragged->message());

    if (dropRow < count && m_testList[static_cast<size_t>(dropRow)]->haveSameOrderAsLastRow) {
        // The gap lies inside a group: the test joins it.
        moved->testOrder = m_testList[static_cast<size_t>(dropRow)]->testOrder;
        moved->haveSameOrderAsLastRow = true;
        moved->haveSameOrderAsNextRow = true;
    } else {
        if (dropRow == 0) {
            moved->testOrder = 0;
        } else {
            const qint64 above = m_testList[static_cast<size_t>(dropRow) - 1]->testOrder;
            moved->testOrder = above + 1;
            DDLogInfo("Order above new order is = %ld and new order is = %ld NSRange(%ld,%ld)", above, moved->testOrder,
                      static_cast<long>(dropRow), static_cast<long>(count - dropRow));
        }
        for (int later = dropRow; later < count; ++later) {
            if (later == from)
                continue;
            m_testList[static_cast<size_t>(later)]->testOrder += 2;
        }
    }
    beginResetModel();
    moveIntoGap(m_testList, from, dropRow, moved);
    endResetModel();
    reloadData();
    storeOrdersOfProfile();
    if (m_testQueue)
        m_testQueue->testList = m_testList;
    return true;
}

QVariant QueueListView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_testList.size()))
        return {};
    const TestBean& test = *m_testList[static_cast<size_t>(index.row())];
    const std::shared_ptr<FNWPresetBean> preset = test.preset();
    const bool edited = preset && preset->isEdited;
    switch (role) {
    case Qt::DisplayRole:
        return edited ? test.testName + QLatin1Char('*') : test.testName;
    case Qt::ToolTipRole:
        if (test.executionStatus() == FNWExecutionStatusFailed)
            return FNWUtils::shownText(test.message());
        return FNWUtils::shownText(test.testName);
    case FNWListRoles::IsItalic:
        return edited;
    case FNWListRoles::RecordID:
        return test.ID;
    case FNWListRoles::LinkedToPrevious:
        return test.haveSameOrderAsLastRow;
    case FNWListRoles::LinkedToNext:
        return test.haveSameOrderAsNextRow;
    case FNWListRoles::ShowsLinkControls:
        return m_testList.size() > 1;
    case FNWListRoles::ShowsDeleteButton:
    case FNWListRoles::IsEditing:
        return m_isEditing;
    case FNWListRoles::ExecutionStatus:
        return m_isEditing ? -1 : test.executionStatus();
    default:
        return {};
    }
}

bool QueueListView::isRunningTestFromHomeScreen() const
{
    return m_delegate && m_delegate->isRunningTestFromHomeScreen();
}

void QueueListView::showPleaseWait() const
{
    FNWAlerts::showCriticalAlertWithMessage(
        QStringLiteral("Please wait..."),
        QStringLiteral(
            "Tests currently in progress. Please allow all tests in the Queue to finish before proceeding or "
            "stop the tests."));
}

void QueueListView::reloadData()
{
    relayout();
    if (!m_testList.empty())
        emit dataChanged(index(0), index(static_cast<int>(m_testList.size()) - 1));
}

void QueueListView::relayout()
{
    for (size_t row = 0; row < m_testList.size(); ++row) {
        TestBean& test = *m_testList[row];
        test.haveSameOrderAsLastRow = row > 0 && m_testList[row - 1]->testOrder == test.testOrder;
        test.haveSameOrderAsNextRow = row + 1 < m_testList.size() && m_testList[row + 1]->testOrder == test.testOrder;
    }
}

void QueueListView::setStartStopButtonVisibility(bool visible) const
{
    if (!drivesStartStopButton)
        return;
    // While a run goes the control is its stop button: nothing in the queue may hide it.
    if (!visible && !testManager()->isFreeToUse())
        return;
    FNWUtils::setUserSetting(visible, QString::fromLatin1(kStartStopButtonVisibilityKey));
}

std::shared_ptr<TestBean> QueueListView::testWithID(qint64 testID) const
{
    const auto at = std::find_if(m_testList.begin(), m_testList.end(),
                                 [testID](const std::shared_ptr<TestBean>& test) { return test->ID == testID; });
    return at == m_testList.end() ? nullptr : *at;
}

void QueueListView::statusDidChange(const std::shared_ptr<TestBean>& test)
{
    const auto at = std::find(m_testList.begin(), m_testList.end(), test);
    if (at == m_testList.end())
        return;
    const QModelIndex changed = index(static_cast<int>(at - m_testList.begin()));
    emit dataChanged(changed, changed);
}

int QueueListView::count() const
{
    return static_cast<int>(m_testList.size());
}
