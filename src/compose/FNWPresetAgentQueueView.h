#pragma once

#include "base/FNWMainWindowPages.h"
#include "compose/PresetsListView.h"
#include "compose/QueueListView.h"
#include "targets/AgentsListView.h"

// The home tab's coordinator: it is the delegate of the presets list, the agents list and the
// queue and passes each event on to the lists it concerns. The main window drives the tab through
// it.
class FNWPresetAgentQueueView final : public PresetViewDelegate,
                                      public AgentListViewDelegate,
                                      public QueueListViewDelegate,
                                      public FNWHomePage
{
public:
    FNWPresetAgentQueueView(PresetsListView& presetListView, AgentsListView& agentsListView,
                            QueueListView& queueListView);
    ~FNWPresetAgentQueueView() override;
    FNWPresetAgentQueueView(const FNWPresetAgentQueueView&) = delete;
    FNWPresetAgentQueueView& operator=(const FNWPresetAgentQueueView&) = delete;

    // The lists' deferred set-up.
    void setUpViews();

    void presetSelectionDidChanged(const std::shared_ptr<FNWPresetBean>& preset) override;
    void presetDidRemoved(const std::shared_ptr<FNWPresetBean>& preset) override;
    bool presetIsInUseByRun(const FNWPresetBean& preset) override;

    void userDidClickedToAddAgentToQueue(const std::shared_ptr<FNWAgentBean>& agent) override;
    void userDidClickedToRemoveAgentFromQueue(const std::shared_ptr<FNWAgentBean>& agent) override;
    void userDidClearedAllSelection() override;
    bool isRunningTestFromHomeScreen() override;
    bool agentIsInUseByRun(const FNWAgentBean& agent) override;

    void userDidClearedAllTestFromQueue() override;
    void userDidRemoveAgent(const std::shared_ptr<FNWAgentBean>& agent) override;

    void prepareView() override;
    bool startStopButtonDidClicked() override;
    void setIsCreateNewMyTestProfile(bool isCreateNew) override;

private:
    PresetsListView& m_presetListView;
    AgentsListView& m_agentsListView;
    QueueListView& m_queueListView;
};
