#pragma once

#include "base/FNWMainWindowPages.h"

#include <QWidget>

#include <memory>

class AgentsListView;
class DraggEnabledViewWithTrashButton;
class FNWCreateAgentWindow;
class FNWCreatePresetWindow;
class FNWEditAgentWindow;
class FNWPresetAgentQueueView;
class FNWPresetsTableView;
class PresetsListView;
class QLabel;
class QToolButton;
class QueueListView;
class SaveTestProfileWindow;

// The home tab: presets, agents and the test queue side by side. Each list is a table over the
// list's rules (which are its model); this widget only lays them out, passes clicks and keys on,
// and opens the editor windows the rules ask for. The editors are created on first use and then
// only shown and hidden.
class FNWHomeView final : public QWidget, public FNWHomePage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWHomeView)

public:
    static constexpr int kSetUpDelayMs = 500;

    explicit FNWHomeView(QWidget* parent = nullptr);
    ~FNWHomeView() override;

    void prepareView() override;
    bool startStopButtonDidClicked() override;
    void setIsCreateNewMyTestProfile(bool isCreateNew) override;
    void createNewPreset() override;
    void createNewAgent() override;

    // The lists' set-up, run 0.5 s after the tab is made (at once when called).
    void setUpViews();
    bool isSetUp() const { return m_isSetUp; }

    PresetsListView* presetListView() const { return m_presets; }
    AgentsListView* agentsListView() const { return m_agents; }
    QueueListView* queueListView() const { return m_queue; }
    FNWPresetAgentQueueView* coordinator() const { return m_coordinator.get(); }

    FNWPresetsTableView* presetsTable() const { return m_presetsTable; }
    FNWPresetsTableView* agentsTable() const { return m_agentsTable; }
    FNWPresetsTableView* queueTable() const { return m_queueTable; }
    QToolButton* addPresetButton() const { return m_addPreset; }
    QToolButton* addAgentButton() const { return m_addAgent; }
    QToolButton* presetsEditButton() const { return m_presetsEdit; }
    QToolButton* agentsEditButton() const { return m_agentsEdit; }
    QToolButton* queueEditButton() const { return m_queueEdit; }
    QToolButton* clearQueueButton() const { return m_clearQueue; }
    QToolButton* saveQueueButton() const { return m_saveQueue; }
    QLabel* queueErrorLabel() const { return m_queueError; }
    DraggEnabledViewWithTrashButton* presetsTrash() const { return m_presetsTrash; }
    DraggEnabledViewWithTrashButton* agentsTrash() const { return m_agentsTrash; }
    DraggEnabledViewWithTrashButton* queueTrash() const { return m_queueTrash; }

    // Created on first use.
    FNWCreatePresetWindow* presetEditor() const { return m_presetEditor; }
    FNWCreatePresetWindow* queuePresetEditor() const { return m_queuePresetEditor; }
    FNWCreateAgentWindow* createAgentWindow() const { return m_createAgentWindow; }
    FNWEditAgentWindow* editAgentWindow() const { return m_editAgentWindow; }
    SaveTestProfileWindow* saveTestProfileWindow() const { return m_saveWindow; }

private:
    void wirePresets();
    void wireAgents();
    void wireQueue();
    void updateQueueHint();

    PresetsListView* m_presets;
    AgentsListView* m_agents;
    QueueListView* m_queue;
    std::unique_ptr<FNWPresetAgentQueueView> m_coordinator;

    FNWPresetsTableView* m_presetsTable;
    FNWPresetsTableView* m_agentsTable;
    FNWPresetsTableView* m_queueTable;
    QToolButton* m_addPreset = nullptr;
    QToolButton* m_addAgent = nullptr;
    QToolButton* m_presetsEdit = nullptr;
    QToolButton* m_agentsEdit = nullptr;
    QToolButton* m_queueEdit = nullptr;
    QToolButton* m_clearQueue = nullptr;
    QToolButton* m_saveQueue = nullptr;
    DraggEnabledViewWithTrashButton* m_presetsTrash = nullptr;
    DraggEnabledViewWithTrashButton* m_agentsTrash = nullptr;
    DraggEnabledViewWithTrashButton* m_queueTrash = nullptr;
    QLabel* m_queueHint = nullptr;
    QLabel* m_queueError = nullptr;

    FNWCreatePresetWindow* m_presetEditor = nullptr;
    FNWCreatePresetWindow* m_queuePresetEditor = nullptr;
    FNWCreateAgentWindow* m_createAgentWindow = nullptr;
    FNWEditAgentWindow* m_editAgentWindow = nullptr;
    // The save window's own queue, filled with copies when the queue is saved as a profile.
    QueueListView* m_saveQueueList = nullptr;
    SaveTestProfileWindow* m_saveWindow = nullptr;
    bool m_isSetUp = false;
};
