#pragma once

#include "compose/FNWCreatePresetWindowController.h"

#include "compose/FNWRowListModel.h"
#include <QList>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class FNWAgentBean;
class FNWPresetBean;
class TestBean;
class TestExecutionBean;
class TestManager;
class TestManagerDelegate;
class TestQueueBean;
class FNWErrorLine;

// Whoever shows the queue: the home-tab coordinator or the My Tests tab. All optional.
class QueueListViewDelegate
{
public:
    virtual ~QueueListViewDelegate() = default;
    virtual void userDidClearedAllTestFromQueue() {}
    virtual void userDidRemoveAgent(const std::shared_ptr<FNWAgentBean>& agent) { (void)agent; }
    virtual void userDidRemoveTest(const std::shared_ptr<TestBean>& test) { (void)test; }
    virtual bool isRunningTestFromHomeScreen() { return false; }
};

// The test queue without its table: the tests in display order, grouped by testOrder (one order
// runs at the same time; orders run ascending). Tests enter from agent clicks, are joined and
// separated with their neighbours, reordered by drag, edited and removed; the queue starts an
// ad-hoc run and shows each test's state in it. It is the table's model.
class QueueListView : public FNWRowListModel, public FNWCreatePresetWindowDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueueListView)

public:
    static constexpr char kRowsMimeType[] = "application/x-fenwave-queue-rows";

    explicit QueueListView(QObject* parent = nullptr);
    ~QueueListView() override;

    void setDelegate(QueueListViewDelegate* delegate) { m_delegate = delegate; }
    // The shared test manager unless a test gives another.
    void setTestManager(std::shared_ptr<TestManager> manager);
    std::shared_ptr<TestManager> testManager() const;
    // What the test manager reports to while this queue's run goes.
    std::shared_ptr<TestManagerDelegate> testManagerDelegate() const;
    // The test manager is busy with a run this queue started.
    bool isTestManagerRunningThisQueue() const;

    // Deferred set-up: an empty queue, edit mode off.
    void setUpView();

    void presetSelectionDidChanged(const std::shared_ptr<FNWPresetBean>& preset);
    // Whether a queued test was made from the library agent / preset.
    bool holdsTestsOfAgent(const FNWAgentBean& agent) const;
    bool holdsTestsOfPreset(const FNWPresetBean& preset) const;
    void addAgentToQueue(const std::shared_ptr<FNWAgentBean>& agent);
    void removeAgentFromQueue(const std::shared_ptr<FNWAgentBean>& agent);
    void removeAllTests();
    void presetDidDeleted(const std::shared_ptr<FNWPresetBean>& preset);
    bool canStartTest() const { return !m_testList.empty(); }
    // Starts an ad-hoc run: one unnamed profile per order, in order of first appearance.
    bool startStopButtonDidClicked();
    void loadAllTestForTestProfile(const std::shared_ptr<TestQueueBean>& profile);
    // Shows these tests, edit mode off, with no stored profile behind them.
    void setTestList(std::vector<std::shared_ptr<TestBean>> tests);

    // Progress of a run, from the test manager.
    void willExecuteTest(const std::shared_ptr<TestExecutionBean>& execution);
    void iperfShallExecutionFinishedForTest(const std::shared_ptr<TestExecutionBean>& execution);
    void testProfileExecutionDidStopped();

    // From the preset editor in queue mode.
    void didEditedPresetFromQueueView(const std::shared_ptr<FNWPresetBean>& preset) override;

    void enableEditModeOnQueueButtonDidClicked(bool checked);
    void deleteIndividualTestButtonDidClicked(int row);
    // Delete pressed in edit mode: the selected tests go after asking.
    void deleteKeyPressedForRows(const QList<int>& rows);
    void clearAllTestFromQueueButtonDidClicked();
    void trashButtonDidClicked();
    void didReceivedDraggedItems(const QStringList& items);
    // Joins or separates row with the row below / above.
    void upperHalfCircleDidClicked(int row);
    void lowerHalfCircleDidClicked(int row);
    void showFailuerResonOnProgressButtonClick(int row);
    void showPresetSettingWindowForRow(int row);
    void tableViewDidClickedRow(int row);
    // The queue's own preset editor (queue mode), made on first use.
    FNWCreatePresetWindowController* presetEditor();

    // Saving as a test profile. The home queue's save button fills the save window's queue with
    // copies of its tests; that queue's save stores them under the window's name.
    void setSaveWindowQueue(QueueListView* queue) { m_saveWindowQueue = queue; }
    QueueListView* saveWindowQueue() const { return m_saveWindowQueue; }
    void queueSaveButtonDidClicked();
    // With a name (the save window's field), or none for the name given by
    // userClickedToAddNewTestProfileWithName. True when the profile was stored.
    bool saveTestQueueButtonDidClicked(const std::optional<QString>& name);
    // The new-test window's save: the queue composing a new My Tests profile stores itself.
    bool userClickedToAddNewTestProfileWithName(const QString& name);
    // Whether this queue's save window is on screen (the window reports it).
    void setSaveWindowVisible(bool visible) { m_isSaveWindowVisible = visible; }
    bool isSaveWindowVisible() const { return m_isSaveWindowVisible; }

    // The queue's error line: a message stays 5 s after the last one.
    void showErrorMessage(const QString& message);
    QString errorText() const;
    void setErrorClearInterval(int milliseconds);
    // The save button is offered unless the queue composes a new My Tests profile.
    bool isSaveButtonVisible() const { return !isCreateNewMyTestProfile; }
    void setIsCreateNewMyTestProfile(bool isCreateNew);

    // Refused while a run this queue started goes: the queue holds still until it ends.
    bool canAcceptDropOfRows(const QString& pasteboard, int dropRow) const override;
    bool acceptDropOfRows(const QString& pasteboard, int dropRow) override;

    const std::vector<std::shared_ptr<TestBean>>& testList() const { return m_testList; }
    std::shared_ptr<FNWPresetBean> orginalPreset() const { return m_orginalPreset; }
    std::shared_ptr<TestQueueBean> testQueue() const { return m_testQueue; }
    std::shared_ptr<TestBean> testInEdit() const { return m_testInEdit; }
    bool isFromMyTestView = false;
    // Whether this queue decides if the main window's start control shows (the save and update
    // windows' queues do not).
    bool drivesStartStopButton = true;
    bool isCreateNewMyTestProfile = false;

    QVariant data(const QModelIndex& index, int role) const override;

protected:
    int count() const override;

signals:
    // The window layer builds the editor's window over it.
    void presetEditorCreated(FNWCreatePresetWindowController* editor);
    void errorTextChanged(const QString& text);
    void saveButtonVisibilityChanged(bool visible);
    // The save window is to show over this queue (its name field emptied) / to close.
    void saveWindowRequested();
    void saveWindowCloseRequested();

private:
    class ManagerRelay;

    bool isRunningTestFromHomeScreen() const;
    void showPleaseWait() const;
    void reloadData();
    void relayout();
    void setStartStopButtonVisibility(bool visible) const;
    void removeTestAt(int row);
    void joinRows(int first, int second);
    // The details queue of a stored profile writes its groups at once.
    void storeOrdersOfProfile();
    std::shared_ptr<TestBean> testWithID(qint64 testID) const;
    void statusDidChange(const std::shared_ptr<TestBean>& test);

    QueueListViewDelegate* m_delegate = nullptr;
    std::shared_ptr<TestManager> m_testManager;
    std::shared_ptr<ManagerRelay> m_relay;
    std::vector<std::shared_ptr<TestBean>> m_testList;
    std::shared_ptr<FNWPresetBean> m_orginalPreset;
    std::shared_ptr<TestQueueBean> m_testQueue;
    std::shared_ptr<TestBean> m_testInEdit;
    FNWCreatePresetWindowController* m_presetEditor = nullptr;
    FNWErrorLine* m_errorLine;
    QueueListView* m_saveWindowQueue = nullptr;
    bool m_isSaveWindowVisible = false;
    QString m_newProfileName;
};
