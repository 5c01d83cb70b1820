#pragma once

#include "base/FNWNotificationCenter.h"
#include "compose/FNWRowListModel.h"
#include "compose/FNWSaveTestProfileController.h"

#include <QList>
#include <QStringList>

#include <memory>
#include <vector>

class TestQueueBean;

// The My Tests tab hears which profile is selected (none after deletions).
class TestProfileListViewDelegate
{
public:
    virtual ~TestProfileListViewDelegate() = default;
    virtual void testProfileSelectionDidChanged(const std::shared_ptr<TestQueueBean>& profile) = 0;
    // Whether a run of the profile goes on now: it is then neither updated nor deleted.
    virtual bool isProfileRunning(qint64 profileID)
    {
        (void)profileID;
        return false;
    }
};

// The saved test profiles of the My Tests tab, without their table: the named profiles in list
// order, the selected one, edit mode (reorder by drag, delete, open the update window), and the
// deletions. It is the table's model.
class TestProfilesListView final : public FNWRowListModel, public FNWSaveTestProfileControllerWindowDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TestProfilesListView)

public:
    static constexpr char kRowsMimeType[] = "application/x-fenwave-profile-rows";

    explicit TestProfilesListView(QObject* parent = nullptr);
    ~TestProfilesListView() override;

    void setDelegate(TestProfileListViewDelegate* delegate) { m_delegate = delegate; }

    // Deferred set-up: edit mode off, the profiles loaded.
    void setUpView();
    // The tab shows: edit mode off, no update window, the profiles read afresh.
    void prepareView();
    void loadAllProfiles();
    void reloadAllProfiles();

    void didClickonTableRow(int row);
    void doubleClickDidReceivedOnProfileTableRow(int row);
    void addNewTestProfileButtonDidClicked();
    void enableEditModeButtonDidClicked(bool checked);
    void deleteIndividualTestButtonDidClicked(qint64 profileID);
    // Rows dragged onto the trash (or selected when Delete is pressed in edit mode), after asking.
    void didReceivedDraggedItems(const QStringList& items);
    void removeProfilesAtRows(const QList<int>& rows);
    void trashButtonDidClicked();
    void openEditTestProfileWindow(const std::shared_ptr<TestQueueBean>& profile);
    void userClickedToAddUpdatedTestProfileInfo(const std::shared_ptr<TestQueueBean>& profile) override;

    // Moves the first dragged row into the gap above dropRow and numbers every profile 1..n.
    bool acceptDropOfRows(const QString& pasteboard, int dropRow) override;

    FNWSaveTestProfileController* updateController();
    const std::vector<std::shared_ptr<TestQueueBean>>& testProfiles() const { return m_testProfiles; }
    std::shared_ptr<TestQueueBean> selectedTestProfile() const { return m_selectedTestProfile; }
    int selectedRow() const;

    QVariant data(const QModelIndex& index, int role) const override;

protected:
    int count() const override;

signals:
    // The table selects exactly these rows (without reporting them back).
    void selectionChanged(const QList<int>& rows);
    void repaintRequested();
    void updateControllerCreated(FNWSaveTestProfileController* controller);

private:
    void setSelected(const std::shared_ptr<TestQueueBean>& profile, bool tellDelegate);
    void endEditMode();
    void applySelection();
    int rowOfProfileWithID(qint64 profileID) const;
    // False, after telling the user, when one of them is running.
    bool mayChange(const std::vector<std::shared_ptr<TestQueueBean>>& profiles) const;

    TestProfileListViewDelegate* m_delegate = nullptr;
    std::vector<std::shared_ptr<TestQueueBean>> m_testProfiles;
    std::shared_ptr<TestQueueBean> m_selectedTestProfile;
    std::shared_ptr<TestQueueBean> m_selectedBeforeEditing;
    FNWSaveTestProfileController* m_updateController = nullptr;
    FNWObserverToken m_createdObserver;
};
