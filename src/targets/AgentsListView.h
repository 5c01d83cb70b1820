#pragma once

#include "base/FNWNotificationCenter.h"
#include "targets/FNWCreateAgentWindowController.h"
#include "targets/FNWEditAgentWindowController.h"
#include "targets/Server.h"

#include "compose/FNWRowListModel.h"
#include <QHash>
#include <QList>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class FNWAgentBean;
class FNWPresetBean;

// The home-tab coordinator: clicks on agents add tests to the queue, deleted agents leave it.
class AgentListViewDelegate
{
public:
    virtual ~AgentListViewDelegate() = default;
    virtual void userDidClickedToAddAgentToQueue(const std::shared_ptr<FNWAgentBean>& agent) = 0;
    virtual void userDidClickedToRemoveAgentFromQueue(const std::shared_ptr<FNWAgentBean>& agent) = 0;
    virtual void userDidClearedAllSelection() = 0;
    virtual bool isRunningTestFromHomeScreen() = 0;
    // Whether tests of the agent are part of a run that goes on now.
    virtual bool agentIsInUseByRun(const FNWAgentBean& agent)
    {
        (void)agent;
        return false;
    }
};

// The agents list of the home tab, without its table: the library agents in list order, how many
// queued tests use each (the rows of those agents stay selected, and a count of 2 or more shows
// in a badge while a preset is selected), edit mode, reordering by drag and deleting. It is the
// table's model. Agents found over DNS-SD are stored as they are announced and shown at once.
class AgentsListView : public FNWRowListModel,
                       public CreateAgentWindowDelegate,
                       public EditAgentWindowDelegate,
                       public ServerDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AgentsListView)

public:
    static constexpr char kRowsMimeType[] = "application/x-fenwave-agent-rows";

    explicit AgentsListView(QObject* parent = nullptr);
    ~AgentsListView() override;

    void setDelegate(AgentListViewDelegate* delegate) { m_delegate = delegate; }

    // Deferred set-up: edit mode off, no counts, the agents loaded; they load again whenever a
    // new test profile was created in its own window. Discovery starts here.
    void setUpView();
    // The home tab shows again: the agents are read afresh.
    void prepareView();
    void loadAllAgents();

    // Composition with the queue.
    void addAgentAtRowToQueue(int row);
    void presetDidSelectedInAgentList(const std::shared_ptr<FNWPresetBean>& preset);
    void presetDidDeleted(const std::shared_ptr<FNWPresetBean>& preset);
    void userDidClearedAllTestInQueueList();
    void userDidRemoveAgentFromQueue(const std::shared_ptr<FNWAgentBean>& agent);

    // The editor windows.
    void createNewAgentButtonDidClicked();
    void openAgentEditorWindowForAgent(const std::shared_ptr<FNWAgentBean>& agent);
    void didAddedNewAgents() override;
    void userClickedToAddUpdatedAgentsInfo(const std::shared_ptr<FNWAgentBean>& agent) override;

    // Deleting and edit mode.
    void deleteIndividualAgentButtonDidClicked(qint64 agentID);
    void removeAgentsAtIndexes(const QList<int>& rows);
    // Delete pressed in edit mode: the selected rows go after asking.
    void deleteKeyPressedForRows(const QList<int>& rows);
    void didReceivedDraggedItems(const QStringList& items);
    void trashButtonDidClicked();
    void enableAgentEditModeButtonDidClicked(bool checked);

    // From the table.
    bool tableViewShouldSelectRow(int row);
    void tableViewDidClickedRow(int row);
    void tableViewSelectionDidChange(const QList<int>& rows);

    bool acceptDropOfRows(const QString& pasteboard, int dropRow) override;

    // Discovery.
    void serverRemoteConnectionComplete(Server* server) override;
    void serverStopped(Server* server) override;
    void serverDidNotStart(Server* server, const ServerError& error) override;
    void serverLostConnection(Server* server, const std::optional<ServerError>& error) override;
    void serviceAdded(const ServerService& service, bool moreComing) override;
    void serviceRemoved(const ServerService& service, bool moreComing) override;
    // Null until discovery starts, and again when it could not.
    Server* bonjorServer() const { return m_bonjorServer.get(); }
    const QList<ServerService>& discoveredServices() const { return m_discoveredServices; }

    // What an announced name "name,port,address[,extra]" gives: the address with "_" read as "."
    // and without blanks, before its part up to a ":" is dropped. A collision rename's " #2" at the
    // end of the name is not part of the fields. Nothing without three fields.
    struct AnnouncedAgent
    {
        QString name;
        QString portText;
        QString address;
    };
    static std::optional<AnnouncedAgent> agentFromServiceName(const QString& serviceName);
    // The address an agent that went away was stored under: field 3, or fields 4 and 3 as "%@: %@".
    // Empty without a ",".
    static QString removalKeyForServiceName(const QString& serviceName);

    const std::vector<std::shared_ptr<FNWAgentBean>>& agentsBeans() const { return m_agentsBeans; }
    std::shared_ptr<FNWPresetBean> selectedPreset() const { return m_selectedPreset; }
    // Queued tests per agent ID; 0 for none.
    int clickedCount(qint64 agentID) const { return m_agentVsClickedCount.value(agentID, 0); }
    QList<int> selectedRows() const { return m_selectedRows; }

    // "Added on: " or "Last Seen: " and the time, as the row's second line shows it in edit mode.
    static QString lastSeenText(const FNWAgentBean& agent);

    QVariant data(const QModelIndex& index, int role) const override;

protected:
    int count() const override;

signals:
    void selectionChanged(const QList<int>& rows);
    void openCreateAgentWindowRequested();
    void openEditAgentWindowRequested(const std::shared_ptr<FNWAgentBean>& agent);
    void repaintRequested();

private:
    void reloadPreservingSelection();
    int rowOfAgent(const std::shared_ptr<FNWAgentBean>& agent) const;
    QList<int> countedRows() const;
    void showPleaseWait() const;
    // False, after telling the user, when one of them is in use by the run going on.
    bool mayRemove(const std::vector<std::shared_ptr<FNWAgentBean>>& agents) const;

    AgentListViewDelegate* m_delegate = nullptr;
    std::vector<std::shared_ptr<FNWAgentBean>> m_agentsBeans;
    std::shared_ptr<FNWPresetBean> m_selectedPreset;
    QHash<qint64, int> m_agentVsClickedCount;
    QList<int> m_selectedRows;
    // The agents selected when edit mode was entered, followed through deletions and moves.
    std::vector<std::shared_ptr<FNWAgentBean>> m_selectedAgentsBeforeEditing;
    FNWObserverToken m_newProfileObserver;
    std::unique_ptr<Server> m_bonjorServer;
    QList<ServerService> m_discoveredServices;
};
