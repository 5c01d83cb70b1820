#include "compose/TestProfilesListView.h"

#include "base/FNWAlerts.h"
#include "base/FNWListRoles.h"
#include "base/FNWUtils.h"
#include "base/FNWNotifications.h"
#include "compose/FNWListRows.h"
#include "db/TestQueueBeanDAO.h"
#include "model/TestQueueBean.h"
#include "support/DDLog.h"

#include <algorithm>

using namespace fnw::compose;

TestProfilesListView::TestProfilesListView(QObject* parent)
    : FNWRowListModel(kRowsMimeType, Dragging::OnlyWhileEditing, parent)
{
    m_createdObserver = FNWNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(DidCreatedNewTestProfileFromNewWindow), [this](const FNWNotification&) {
            QMetaObject::invokeMethod(this, &TestProfilesListView::reloadAllProfiles, Qt::QueuedConnection);
        });
}

TestProfilesListView::~TestProfilesListView() = default;

FNWSaveTestProfileController* TestProfilesListView::updateController()
{
    if (!m_updateController) {
        m_updateController = new FNWSaveTestProfileController(this);
        m_updateController->setDelegate(this);
        emit updateControllerCreated(m_updateController);
    }
    return m_updateController;
}

void TestProfilesListView::setUpView()
{
    setEditing(false);
    updateController();
    loadAllProfiles();
}

void TestProfilesListView::prepareView()
{
    setEditing(false);
    openEditTestProfileWindow(nullptr);
    reloadAllProfiles();
}

void TestProfilesListView::loadAllProfiles()
{
    beginResetModel();
    m_testProfiles = TestQueueBeanDAO().getAllNamedProfiles();
    // The selection follows its profile into the fresh records, or ends with it.
    const auto fresh = [this](const std::shared_ptr<TestQueueBean>& profile) -> std::shared_ptr<TestQueueBean> {
        const int row = profile ? rowOfProfileWithID(profile->ID) : -1;
        return row >= 0 ? m_testProfiles[static_cast<size_t>(row)] : nullptr;
    };
    m_selectedTestProfile = fresh(m_selectedTestProfile);
    m_selectedBeforeEditing = fresh(m_selectedBeforeEditing);
    if (m_testProfiles.empty())
        setEditing(false);
    endResetModel();
}

void TestProfilesListView::reloadAllProfiles()
{
    const std::shared_ptr<TestQueueBean> before = m_selectedTestProfile;
    loadAllProfiles();
    applySelection();
    if (before && !m_selectedTestProfile && m_delegate)
        m_delegate->testProfileSelectionDidChanged(nullptr);
}

void TestProfilesListView::didClickonTableRow(int row)
{
    const std::shared_ptr<TestQueueBean> profile =
        row >= 0 && row < count() ? m_testProfiles[static_cast<size_t>(row)] : nullptr;
    if (!m_isEditing) {
        setSelected(profile, true);
        return;
    }
    const bool endedDrag = m_isDragging;
    m_isDragging = false;
    if (!profile || endedDrag || !mayChange({profile}))
        return;
    profile->loadAllTestBeans();
    openEditTestProfileWindow(profile);
}

void TestProfilesListView::doubleClickDidReceivedOnProfileTableRow(int row)
{
    (void)row;
    DDLogInfo("..doubleClickDidReceivedOnProfileTableRow..");
}

void TestProfilesListView::addNewTestProfileButtonDidClicked()
{
    FNWNotificationCenter::defaultCenter().postNotificationName(
        QString::fromLatin1(ShowWindowToCreateNewTestProfileNotification), nullptr);
}

void TestProfilesListView::enableEditModeButtonDidClicked(bool checked)
{
    if (m_testProfiles.empty() || checked == m_isEditing) {
        // The button goes back to the list's state.
        emit editModeChanged(m_isEditing);
        return;
    }
    if (checked) {
        m_selectedBeforeEditing = m_selectedTestProfile;
        setEditing(true);
    } else {
        setEditing(false);
        m_selectedTestProfile = m_selectedBeforeEditing;
        m_selectedBeforeEditing = nullptr;
    }
    beginResetModel();
    endResetModel();
    applySelection();
    emit repaintRequested();
}

void TestProfilesListView::deleteIndividualTestButtonDidClicked(qint64 profileID)
{
    const int row = rowOfProfileWithID(profileID);
    if (row < 0)
        return;
    const std::shared_ptr<TestQueueBean> profile = m_testProfiles[static_cast<size_t>(row)];
    if (!mayChange({profile}))
        return;
    if (!profile->remove()) {
        DDLogError("TestProfilesListView: unable to delete test profile %@", profile->testProfileName);
        return;
    }
    if (m_testProfiles.size() == 1)
        endEditMode();
    beginRemoveRows(QModelIndex(), row, row);
    m_testProfiles.erase(m_testProfiles.begin() + row);
    endRemoveRows();
    setSelected(nullptr, true);
}

void TestProfilesListView::didReceivedDraggedItems(const QStringList& items)
{
    if (items.isEmpty())
        return;
    removeProfilesAtRows(rowsFromPasteboardString(items.first()));
}

void TestProfilesListView::removeProfilesAtRows(const QList<int>& rows)
{
    const std::vector<std::shared_ptr<TestQueueBean>> profiles = membersAtRows(m_testProfiles, rows);
    if (profiles.empty() || !mayChange(profiles))
        return;
    if (!FNWAlerts::showConfirmationAlertWithMessage(
            QStringLiteral("Profile Delete Confirmation"),
            QStringLiteral("Are you sure you want to delete this Test Profile?")))
        return;
    beginResetModel();
    for (const std::shared_ptr<TestQueueBean>& profile : profiles) {
        const auto at = std::find(m_testProfiles.begin(), m_testProfiles.end(), profile);
        DDLogInfo("-------MyTest Delete row =%ld", static_cast<long>(at - m_testProfiles.begin()));
        if (profile->remove())
            m_testProfiles.erase(at);
        else
            DDLogError("TestProfilesListView: unable to delete test profile %@", profile->testProfileName);
    }
    if (m_testProfiles.empty())
        setEditing(false);
    endResetModel();
    setSelected(nullptr, true);
}

void TestProfilesListView::trashButtonDidClicked()
{
    if (m_testProfiles.empty() || !mayChange(m_testProfiles))
        return;
    if (!FNWAlerts::showConfirmationAlertWithMessage(
            QStringLiteral("Delete All Confirmation"),
            QStringLiteral("Are you sure you want to delete all profiles from list?")))
        return;
    for (const std::shared_ptr<TestQueueBean>& profile : m_testProfiles) {
        if (!profile->remove())
            DDLogError("TestProfilesListView: unable to delete test profile %@", profile->testProfileName);
    }
    endEditMode();
    setSelected(nullptr, true);
    loadAllProfiles();
}

void TestProfilesListView::openEditTestProfileWindow(const std::shared_ptr<TestQueueBean>& profile)
{
    if (!profile || !mayChange({profile}))
        return;
    FNWSaveTestProfileController* controller = updateController();
    controller->setTestQueueBean(profile);
    controller->showUpdateTestWindow();
}

void TestProfilesListView::userClickedToAddUpdatedTestProfileInfo(const std::shared_ptr<TestQueueBean>& profile)
{
    // The name may have changed: the list reads the profiles afresh.
    loadAllProfiles();
    applySelection();
    if (profile && m_selectedTestProfile && m_selectedTestProfile->ID == profile->ID && m_delegate)
        m_delegate->testProfileSelectionDidChanged(m_selectedTestProfile);
}

bool TestProfilesListView::acceptDropOfRows(const QString& pasteboard, int dropRow)
{
    if (!canAcceptDropOfRows(pasteboard, dropRow))
        return false;
    const int from = rowsFromPasteboardString(pasteboard).first();
    const std::shared_ptr<TestQueueBean> dragged = m_testProfiles[static_cast<size_t>(from)];
    beginResetModel();
    // The record moves as it is, so the selection and the remembered selection follow it.
    moveIntoGap(m_testProfiles, from, dropRow, dragged);
    storeViewPositions(m_testProfiles, [](const TestQueueBean& profile) {
        DDLogError("TestProfilesListView: unable to store the position of test profile %@", profile.testProfileName);
    });
    endResetModel();
    applySelection();
    return true;
}

int TestProfilesListView::selectedRow() const
{
    const auto at = std::find(m_testProfiles.begin(), m_testProfiles.end(), m_selectedTestProfile);
    return m_selectedTestProfile && at != m_testProfiles.end() ? static_cast<int>(at - m_testProfiles.begin()) : -1;
}

QVariant TestProfilesListView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const TestQueueBean& profile = *m_testProfiles[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return profile.testProfileName;
    case Qt::ToolTipRole:
        return FNWUtils::shownText(profile.testProfileName);
    case FNWListRoles::RecordID:
        return profile.ID;
    case FNWListRoles::ShowsDeleteButton:
    case FNWListRoles::IsEditing:
        return m_isEditing;
    default:
        return {};
    }
}

int TestProfilesListView::count() const
{
    return static_cast<int>(m_testProfiles.size());
}

void TestProfilesListView::setSelected(const std::shared_ptr<TestQueueBean>& profile, bool tellDelegate)
{
    m_selectedTestProfile = profile;
    if (!profile)
        m_selectedBeforeEditing = nullptr;
    applySelection();
    if (tellDelegate && m_delegate)
        m_delegate->testProfileSelectionDidChanged(profile);
}

void TestProfilesListView::endEditMode()
{
    setEditing(false);
    m_selectedBeforeEditing = nullptr;
}

void TestProfilesListView::applySelection()
{
    const int row = selectedRow();
    emit selectionChanged(row >= 0 ? QList<int>{row} : QList<int>{});
}

bool TestProfilesListView::mayChange(const std::vector<std::shared_ptr<TestQueueBean>>& profiles) const
{
    if (!m_delegate)
        return true;
    for (const std::shared_ptr<TestQueueBean>& profile : profiles) {
        if (m_delegate->isProfileRunning(profile->ID)) {
            FNWAlerts::showCriticalAlertWithMessage(
                QStringLiteral("Please wait..."),
                QStringLiteral("Tests currently in progress. Please allow all tests in the Queue to finish before "
                               "proceeding or stop the tests."));
            return false;
        }
    }
    return true;
}

int TestProfilesListView::rowOfProfileWithID(qint64 profileID) const
{
    const auto at = std::find_if(m_testProfiles.begin(), m_testProfiles.end(),
                                 [profileID](const std::shared_ptr<TestQueueBean>& p) { return p->ID == profileID; });
    return at == m_testProfiles.end() ? -1 : static_cast<int>(at - m_testProfiles.begin());
}
