#include "compose/FNWPresetAgentQueueView.h"

#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"

FNWPresetAgentQueueView::FNWPresetAgentQueueView(PresetsListView& presetListView, AgentsListView& agentsListView,
                                                 QueueListView& queueListView)
    : m_presetListView(presetListView)
    , m_agentsListView(agentsListView)
    , m_queueListView(queueListView)
{
    m_presetListView.setDelegate(this);
    m_agentsListView.setDelegate(this);
    m_queueListView.setDelegate(this);
}

FNWPresetAgentQueueView::~FNWPresetAgentQueueView()
{
    m_presetListView.setDelegate(nullptr);
    m_agentsListView.setDelegate(nullptr);
    m_queueListView.setDelegate(nullptr);
}

void FNWPresetAgentQueueView::setUpViews()
{
    m_queueListView.setUpView();
    m_agentsListView.setUpView();
    m_presetListView.setUpView();
}

void FNWPresetAgentQueueView::presetSelectionDidChanged(const std::shared_ptr<FNWPresetBean>& preset)
{
    m_agentsListView.presetDidSelectedInAgentList(preset);
    m_queueListView.presetSelectionDidChanged(preset);
}

void FNWPresetAgentQueueView::presetDidRemoved(const std::shared_ptr<FNWPresetBean>& preset)
{
    m_queueListView.presetDidDeleted(preset);
    m_agentsListView.presetDidDeleted(preset);
}

void FNWPresetAgentQueueView::userDidClickedToAddAgentToQueue(const std::shared_ptr<FNWAgentBean>& agent)
{
    m_queueListView.addAgentToQueue(agent);
}

void FNWPresetAgentQueueView::userDidClickedToRemoveAgentFromQueue(const std::shared_ptr<FNWAgentBean>& agent)
{
    m_queueListView.removeAgentFromQueue(agent);
}

void FNWPresetAgentQueueView::userDidClearedAllSelection()
{
    m_queueListView.removeAllTests();
}

bool FNWPresetAgentQueueView::isRunningTestFromHomeScreen()
{
    return m_queueListView.isTestManagerRunningThisQueue();
}

bool FNWPresetAgentQueueView::presetIsInUseByRun(const FNWPresetBean& preset)
{
    return isRunningTestFromHomeScreen() && m_queueListView.holdsTestsOfPreset(preset);
}

bool FNWPresetAgentQueueView::agentIsInUseByRun(const FNWAgentBean& agent)
{
    return isRunningTestFromHomeScreen() && m_queueListView.holdsTestsOfAgent(agent);
}

void FNWPresetAgentQueueView::userDidClearedAllTestFromQueue()
{
    m_agentsListView.userDidClearedAllTestInQueueList();
}

void FNWPresetAgentQueueView::userDidRemoveAgent(const std::shared_ptr<FNWAgentBean>& agent)
{
    m_agentsListView.userDidRemoveAgentFromQueue(agent);
}

void FNWPresetAgentQueueView::prepareView()
{
    m_presetListView.prepareView();
    m_agentsListView.prepareView();
    if (m_queueListView.canStartTest())
        FNWUtils::setUserSetting(true, QString::fromLatin1(kStartStopButtonVisibilityKey));
}

bool FNWPresetAgentQueueView::startStopButtonDidClicked()
{
    return m_queueListView.startStopButtonDidClicked();
}

void FNWPresetAgentQueueView::setIsCreateNewMyTestProfile(bool isCreateNew)
{
    m_queueListView.setIsCreateNewMyTestProfile(isCreateNew);
}
