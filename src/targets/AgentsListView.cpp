#include "targets/AgentsListView.h"

#include "base/FNWAlerts.h"
#include "base/FNWListRoles.h"
#include "base/FNWNotifications.h"
#include "base/FNWUtils.h"
#include "compose/FNWListRows.h"
#include "db/FNWAgentDAO.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "support/DDLog.h"
#include "support/FNWFormat.h"
#include "support/FNWMainQueue.h"

#include <QPointer>
#include <QRegularExpression>

#include <algorithm>

using namespace fnw::compose;

AgentsListView::AgentsListView(QObject* parent)
    : FNWRowListModel(kRowsMimeType, Dragging::OnlyWhileEditing, parent)
{
}

AgentsListView::~AgentsListView()
{
    if (m_bonjorServer) {
        m_bonjorServer->setDelegate(nullptr);
        m_bonjorServer->stop();
        m_bonjorServer->stopBrowser();
    }
}

void AgentsListView::setUpView()
{
    setEditing(false);
    m_agentVsClickedCount.clear();
    m_selectedRows.clear();
    m_newProfileObserver =
        FNWNotificationCenter::defaultCenter().addObserver(QString::fromLatin1(DidCreatedNewTestProfileFromNewWindow),
                                                           [self = QPointer<AgentsListView>(this)](const auto&) {
                                                               FNWMainQueue::async([self] {
                                                                   if (self)
                                                                       self->loadAllAgents();
                                                               });
                                                           });
    loadAllAgents();
    if (!m_bonjorServer) {
        m_bonjorServer = std::make_unique<Server>();
        m_bonjorServer->initWithProtocol(QStringLiteral("FenwaveServer"), QString());
        m_bonjorServer->setDelegate(this);
        ServerError error;
        if (!m_bonjorServer->start(&error)) {
            DDLogError("AgentsListView.Bonjour Service: Error     = %@", error.description());
            // Discovery stays off; the stored agents are all the list shows.
            m_bonjorServer->setDelegate(nullptr);
            m_bonjorServer.reset();
        }
    }
}

void AgentsListView::prepareView()
{
    loadAllAgents();
}

void AgentsListView::loadAllAgents()
{
    m_agentsBeans = FNWAgentDAO().getAllAttachedAgents(false);
    reloadPreservingSelection();
}

void AgentsListView::addAgentAtRowToQueue(int row)
{
    if (row < 0 || row >= static_cast<int>(m_agentsBeans.size()) || !m_selectedPreset)
        return;
    if (m_delegate && m_delegate->isRunningTestFromHomeScreen()) {
        showPleaseWait();
        return;
    }
    const std::shared_ptr<FNWAgentBean> agent = m_agentsBeans[static_cast<size_t>(row)];
    m_agentVsClickedCount[agent->ID] += 1;
    QList<int> rows = m_selectedRows;
    rows.append(row);
    rows.append(countedRows());
    m_selectedRows = rows;
    if (m_delegate)
        m_delegate->userDidClickedToAddAgentToQueue(agent);
    reloadPreservingSelection();
}

void AgentsListView::presetDidSelectedInAgentList(const std::shared_ptr<FNWPresetBean>& preset)
{
    if (!preset)
        m_agentVsClickedCount.clear();
    m_selectedPreset = preset;
    if (m_agentVsClickedCount.isEmpty())
        m_selectedRows.clear();
    reloadPreservingSelection();
}

void AgentsListView::presetDidDeleted(const std::shared_ptr<FNWPresetBean>& preset)
{
    if (preset && m_selectedPreset && (preset == m_selectedPreset || preset->ID == m_selectedPreset->ID)) {
        m_selectedPreset = nullptr;
        reloadPreservingSelection();
    }
}

void AgentsListView::userDidClearedAllTestInQueueList()
{
    m_agentVsClickedCount.clear();
    m_selectedRows.clear();
    reloadPreservingSelection();
}

void AgentsListView::userDidRemoveAgentFromQueue(const std::shared_ptr<FNWAgentBean>& agent)
{
    if (!agent)
        return;
    const auto at = std::find_if(m_agentsBeans.begin(), m_agentsBeans.end(),
                                 [&](const auto& listed) { return agent->isCopyOf(*listed); });
    if (at == m_agentsBeans.end())
        return;
    const qint64 agentID = (*at)->ID;
    if (m_agentVsClickedCount.value(agentID, 0) > 1) {
        m_agentVsClickedCount[agentID] -= 1;
        DDLogInfo("AgentListView: decreased agent count as it's been removed from queue..");
    } else {
        m_agentVsClickedCount.remove(agentID);
        m_selectedRows.removeAll(static_cast<int>(at - m_agentsBeans.begin()));
        DDLogInfo("AgentListView: cleared agent selection as it's been removed from queue..");
    }
    reloadPreservingSelection();
}

void AgentsListView::createNewAgentButtonDidClicked()
{
    emit openCreateAgentWindowRequested();
}

void AgentsListView::openAgentEditorWindowForAgent(const std::shared_ptr<FNWAgentBean>& agent)
{
    if (agent)
        emit openEditAgentWindowRequested(agent);
}

void AgentsListView::didAddedNewAgents()
{
    loadAllAgents();
}

void AgentsListView::userClickedToAddUpdatedAgentsInfo(const std::shared_ptr<FNWAgentBean>& agent)
{
    if (!agent)
        return;
    if (!agent->update())
        DDLogError("AgentListView: unable to update agent %@", agent->description());
    // The editor may hold a record from before the last reload: the rows are read afresh.
    loadAllAgents();
}

void AgentsListView::deleteIndividualAgentButtonDidClicked(qint64 agentID)
{
    DDLogInfo("AgentListView: deleteIndividualAgentButtonDidClicked ....");
    for (size_t row = 0; row < m_agentsBeans.size(); ++row) {
        if (m_agentsBeans[row]->ID == agentID) {
            removeAgentsAtIndexes({static_cast<int>(row)});
            return;
        }
    }
}

void AgentsListView::deleteKeyPressedForRows(const QList<int>& rows)
{
    if (!m_isEditing || membersAtRows(m_agentsBeans, rows).empty())
        return;
    if (FNWAlerts::showConfirmationAlertWithMessage(
            QString(), rows.size() == 1 ? QStringLiteral("Are you sure you want to delete the selected agent?")
                                        : QStringLiteral("Are you sure you want to delete the selected agents?")))
        removeAgentsAtIndexes(rows);
}

void AgentsListView::removeAgentsAtIndexes(const QList<int>& rows)
{
    const std::vector<std::shared_ptr<FNWAgentBean>> removing = membersAtRows(m_agentsBeans, rows);
    if (removing.empty() || !mayRemove(removing))
        return;
    for (const std::shared_ptr<FNWAgentBean>& agent : removing) {
        const int row = rowOfAgent(agent);
        if (row < 0 || !agent->remove())
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_agentsBeans.erase(m_agentsBeans.begin() + row);
        endRemoveRows();
        QList<int> selected;
        for (int shown : std::as_const(m_selectedRows)) {
            if (shown != row)
                selected.append(shown > row ? shown - 1 : shown);
        }
        m_selectedRows = selected;
        m_agentVsClickedCount.remove(agent->ID);
        std::erase(m_selectedAgentsBeforeEditing, agent);
        if (m_delegate)
            m_delegate->userDidClickedToRemoveAgentFromQueue(agent);
    }
    if (m_agentsBeans.empty())
        setEditing(false);
    reloadPreservingSelection();
}

void AgentsListView::didReceivedDraggedItems(const QStringList& items)
{
    m_isDragging = false;
    if (!items.isEmpty())
        removeAgentsAtIndexes(rowsFromPasteboardString(items.first()));
}

void AgentsListView::trashButtonDidClicked()
{
    if (m_agentsBeans.empty() || !mayRemove(m_agentsBeans))
        return;
    if (!FNWAlerts::showConfirmationAlertWithMessage(
            QString(), QStringLiteral("Are you sure you want to delete all agents in this list?.")))
        return;
    const std::vector<std::shared_ptr<FNWAgentBean>> agents = m_agentsBeans;
    for (const std::shared_ptr<FNWAgentBean>& agent : agents) {
        if (!agent->remove())
            DDLogError("AgentListView: unable to delete agent %@", agent->description());
        if (m_delegate)
            m_delegate->userDidClickedToRemoveAgentFromQueue(agent);
    }
    m_agentsBeans.clear();
    m_agentVsClickedCount.clear();
    m_selectedRows.clear();
    m_selectedAgentsBeforeEditing.clear();
    setEditing(false);
    loadAllAgents();
}

void AgentsListView::enableAgentEditModeButtonDidClicked(bool checked)
{
    if (m_agentsBeans.empty()) {
        setEditing(false);
        return;
    }
    if (checked == m_isEditing) {
        emit editModeChanged(m_isEditing);
        return;
    }
    if (checked) {
        m_selectedAgentsBeforeEditing = membersAtRows(m_agentsBeans, m_selectedRows);
        setEditing(true);
    } else {
        setEditing(false);
        QList<int> rows;
        // By ID: a reload since may have replaced the records.
        for (const std::shared_ptr<FNWAgentBean>& agent : m_selectedAgentsBeforeEditing) {
            for (size_t row = 0; row < m_agentsBeans.size(); ++row) {
                if (m_agentsBeans[row]->ID == agent->ID)
                    rows.append(static_cast<int>(row));
            }
        }
        m_selectedAgentsBeforeEditing.clear();
        m_selectedRows = rows;
    }
    reloadPreservingSelection();
    emit repaintRequested();
}

bool AgentsListView::tableViewShouldSelectRow(int)
{
    return !(m_delegate && m_delegate->isRunningTestFromHomeScreen());
}

void AgentsListView::tableViewDidClickedRow(int row)
{
    if (!m_isEditing) {
        addAgentAtRowToQueue(row);
        return;
    }
    if (m_isDragging) {
        m_isDragging = false;
        return;
    }
    if (row >= 0 && row < static_cast<int>(m_agentsBeans.size()))
        openAgentEditorWindowForAgent(m_agentsBeans[static_cast<size_t>(row)]);
}

void AgentsListView::tableViewSelectionDidChange(const QList<int>& rows)
{
    if (m_isEditing)
        return;
    m_selectedRows.clear();
    for (int row : rows) {
        if (row >= 0 && row < static_cast<int>(m_agentsBeans.size()) && !m_selectedRows.contains(row))
            m_selectedRows.append(row);
    }
}

bool AgentsListView::acceptDropOfRows(const QString& pasteboard, int dropRow)
{
    m_isDragging = false;
    if (!canAcceptDropOfRows(pasteboard, dropRow))
        return false;
    const int from = rowsFromPasteboardString(pasteboard).first();
    std::vector<std::shared_ptr<FNWAgentBean>> selected = membersAtRows(m_agentsBeans, m_selectedRows);

    const std::shared_ptr<FNWAgentBean> dragged = m_agentsBeans[static_cast<size_t>(from)];
    std::shared_ptr<FNWAgentBean> moved = dragged->copy();
    moved->ID = dragged->ID;
    moved->viewPosition = dragged->viewPosition;
    for (auto* agents : {&selected, &m_selectedAgentsBeforeEditing})
        std::replace(agents->begin(), agents->end(), dragged, moved);

    beginResetModel();
    moveIntoGap(m_agentsBeans, from, dropRow, moved);
    storeViewPositions(m_agentsBeans, [](const FNWAgentBean& agent) {
        DDLogError("AgentListView: unable to store the position of agent %@", agent.description());
    });
    m_selectedRows.clear();
    for (const std::shared_ptr<FNWAgentBean>& agent : selected)
        m_selectedRows.append(rowOfAgent(agent));
    endResetModel();
    emit selectionChanged(m_isEditing ? QList<int>{} : m_selectedRows);
    return true;
}

QString AgentsListView::lastSeenText(const FNWAgentBean& agent)
{
    const QString prefix = agent.addedManually ? QStringLiteral("Added on: ") : QStringLiteral("Last Seen: ");
    if (!agent.lastSeen.isValid())
        return prefix;
    const QDateTime local = agent.lastSeen.toLocalTime();
    const int hour = local.time().hour() % 12 == 0 ? 12 : local.time().hour() % 12;
    return prefix +
           QStringLiteral("%1:%2")
               .arg(hour, 2, 10, QLatin1Char('0'))
               .arg(local.time().minute(), 2, 10, QLatin1Char('0')) +
           local.toString(QStringLiteral(" MM/dd/yy"));
}

QVariant AgentsListView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_agentsBeans.size()))
        return {};
    const FNWAgentBean& agent = *m_agentsBeans[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return agent.agent_name + FNWStringWithFormat(" - %@", agent.ip_address);
    case Qt::ToolTipRole:
        return FNWStringWithFormat("%@ - %@ : %ld", agent.agent_name, agent.ip_address, agent.port_number);
    case FNWListRoles::Subtitle:
        return m_isEditing ? lastSeenText(agent) : QString();
    case FNWListRoles::Badge: {
        const int count = m_agentVsClickedCount.value(agent.ID, 0);
        return m_selectedPreset && count >= 2 ? count : 0;
    }
    case FNWListRoles::RecordID:
        return agent.ID;
    case FNWListRoles::ShowsDeleteButton:
    case FNWListRoles::IsEditing:
        return m_isEditing;
    default:
        return {};
    }
}

void AgentsListView::reloadPreservingSelection()
{
    QList<int> rows;
    for (int row : std::as_const(m_selectedRows)) {
        if (row >= 0 && row < static_cast<int>(m_agentsBeans.size()) && !rows.contains(row))
            rows.append(row);
    }
    m_selectedRows = rows;
    beginResetModel();
    endResetModel();
    emit selectionChanged(m_isEditing ? QList<int>{} : m_selectedRows);
}

int AgentsListView::rowOfAgent(const std::shared_ptr<FNWAgentBean>& agent) const
{
    const auto at = std::find(m_agentsBeans.begin(), m_agentsBeans.end(), agent);
    return at == m_agentsBeans.end() ? -1 : static_cast<int>(at - m_agentsBeans.begin());
}

QList<int> AgentsListView::countedRows() const
{
    QList<int> rows;
    for (size_t row = 0; row < m_agentsBeans.size(); ++row) {
        if (m_agentVsClickedCount.value(m_agentsBeans[row]->ID, 0) > 0)
            rows.append(static_cast<int>(row));
    }
    return rows;
}

void AgentsListView::showPleaseWait() const
{
    FNWAlerts::showCriticalAlertWithMessage(
        QStringLiteral("Please wait..."),
        QStringLiteral("Tests currently in progress. Please allow all tests in the Queue to finish before "
                       "proceeding or press Stop."));
}

bool AgentsListView::mayRemove(const std::vector<std::shared_ptr<FNWAgentBean>>& agents) const
{
    const bool inUse = m_delegate && std::any_of(agents.begin(), agents.end(), [this](const auto& agent) {
                           return m_delegate->agentIsInUseByRun(*agent);
                       });
    if (inUse)
        showPleaseWait();
    return !inUse;
}

int AgentsListView::count() const
{
    return static_cast<int>(m_agentsBeans.size());
}

void AgentsListView::serverRemoteConnectionComplete(Server*) {}

void AgentsListView::serverStopped(Server*)
{
    reloadPreservingSelection();
}

void AgentsListView::serverDidNotStart(Server*, const ServerError& error)
{
    DDLogError("Server did not start %@", error.description());
}

void AgentsListView::serverLostConnection(Server*, const std::optional<ServerError>&)
{
    DDLogInfo("Lost connection");
    reloadPreservingSelection();
}

namespace {

// avahi renames a service whose name is taken to "name #2", "name #3"...
QString withoutCollisionSuffix(const QString& serviceName)
{
    static const QRegularExpression suffix(QStringLiteral(" #[0-9]+$"));
    QString name = serviceName;
    name.remove(suffix);
    return name;
}

bool sameService(const ServerService& left, const ServerService& right)
{
    return left.name == right.name && left.type == right.type && left.domain == right.domain;
}

} // namespace

std::optional<AgentsListView::AnnouncedAgent> AgentsListView::agentFromServiceName(const QString& serviceName)
{
    const QString name = withoutCollisionSuffix(serviceName);
    if (!name.contains(QLatin1Char(',')))
        return std::nullopt;
    const QStringList fields = name.split(QLatin1Char(','));
    if (fields.size() < 3)
        return std::nullopt;
    QString address = fields[2];
    address.replace(QLatin1Char('_'), QLatin1Char('.'));
    address.remove(QRegularExpression(QStringLiteral("\\s")));
    if (address.isEmpty())
        return std::nullopt;
    return AnnouncedAgent{fields[0], fields[1], address};
}

QString AgentsListView::removalKeyForServiceName(const QString& serviceName)
{
    const QString name = withoutCollisionSuffix(serviceName);
    if (!name.contains(QLatin1Char(',')))
        return {};
    const QStringList fields = name.split(QLatin1Char(','));
    QString key = fields.size() < 4 ? fields.value(2) : FNWStringWithFormat("%@: %@", fields[3], fields[2]);
    key.replace(QLatin1Char('_'), QLatin1Char('.'));
    return key;
}

void AgentsListView::serviceAdded(const ServerService& service, bool)
{
    DDLogInfo("AgentListView: Got new agent with name as -  %@ ", service.name);
    // Found again when discovery comes back after the daemon restarted: still one service.
    if (std::none_of(m_discoveredServices.begin(), m_discoveredServices.end(),
                     [&](const ServerService& seen) { return sameService(seen, service); }))
        m_discoveredServices.append(service);
    const std::optional<AnnouncedAgent> announced = agentFromServiceName(service.name);
    if (!announced) {
        DDLogInfo("AgentListView: No IP is presnet so not adding this agent in list.");
        return;
    }
    const QString& lookedUp = announced->address;
    const qsizetype colon = lookedUp.indexOf(QLatin1Char(':'));
    const QString address = colon < 0 ? lookedUp : lookedUp.mid(colon + 1);
    bool portIsNumber = false;
    const qint64 port = announced->portText.trimmed().toLongLong(&portIsNumber);
    // The name comes off the network: only a real address and port are stored.
    if (!FNWUtils::isIPAddressValid(address) || !portIsNumber || port < 1 || port > 65535) {
        DDLogWarn("AgentListView: skipping the announced agent %@: its address or port is not valid",
                  FNWUtils::shownText(service.name, 200));
        return;
    }
    // Found again under the address as announced or as stored, so an agent is never doubled.
    const auto listed = std::find_if(m_agentsBeans.begin(), m_agentsBeans.end(), [&](const auto& agent) {
        return agent->ip_address == lookedUp || agent->ip_address == address;
    });
    if (listed != m_agentsBeans.end()) {
        (*listed)->lastSeen = QDateTime::currentDateTimeUtc();
        if (!(*listed)->update())
            DDLogError("AgentListView: unable to store when agent %@ was seen", (*listed)->description());
    } else {
        auto agent = std::make_shared<FNWAgentBean>();
        agent->ip_address = address;
        agent->port_number = port;
        agent->agent_name = announced->name;
        agent->addedManually = false;
        agent->viewPosition = FNWAgentBean::getMaxViewPosition() + 1;
        agent->lastSeen = QDateTime::currentDateTimeUtc();
        QString error;
        if (!agent->save(&error))
            DDLogError("AgentListView: unable to store the announced agent %@: %@", agent->description(), error);
    }
    loadAllAgents();
}

void AgentsListView::serviceRemoved(const ServerService& service, bool)
{
    // Services are not resolved, so there are no addresses to show.
    DDLogInfo("AgentListView:serviceRemoved: %@   %@", service.name, static_cast<const char*>(nullptr));
    const auto known = std::find_if(m_discoveredServices.begin(), m_discoveredServices.end(),
                                    [&](const ServerService& seen) { return sameService(seen, service); });
    if (known != m_discoveredServices.end())
        m_discoveredServices.erase(known);
    const QString key = removalKeyForServiceName(service.name);
    if (key.isEmpty()) {
        loadAllAgents();
        return;
    }
    // Another announcement of the same agent (a renamed copy) keeps it.
    const bool stillAnnounced =
        std::any_of(m_discoveredServices.begin(), m_discoveredServices.end(),
                    [&](const ServerService& seen) { return removalKeyForServiceName(seen.name) == key; });
    const auto listed = std::find_if(m_agentsBeans.begin(), m_agentsBeans.end(),
                                     [&](const auto& agent) { return agent->ip_address == key; });
    if (listed != m_agentsBeans.end() && !stillAnnounced) {
        const std::shared_ptr<FNWAgentBean> agent = *listed;
        const int row = static_cast<int>(listed - m_agentsBeans.begin());
        // Only what discovery added goes with the announcement: an agent the user typed in, or
        // one that queued tests or the run going on use, stays.
        const bool inUse =
            m_agentVsClickedCount.value(agent->ID, 0) > 0 || (m_delegate && m_delegate->agentIsInUseByRun(*agent));
        if (agent->addedManually || inUse) {
            DDLogInfo("AgentListView: keeping agent %@ though its announcement went away", agent->description());
        } else if (!agent->remove()) {
            DDLogError("AgentListView: unable to delete agent %@", agent->description());
        } else {
            QList<int> selected;
            for (int shown : std::as_const(m_selectedRows)) {
                if (shown != row)
                    selected.append(shown > row ? shown - 1 : shown);
            }
            m_selectedRows = selected;
            std::erase(m_selectedAgentsBeforeEditing, agent);
        }
    }
    loadAllAgents();
    if (m_agentsBeans.empty() && m_isEditing) {
        setEditing(false);
        reloadPreservingSelection();
    }
}
