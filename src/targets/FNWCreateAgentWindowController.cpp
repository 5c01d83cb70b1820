#include "targets/FNWCreateAgentWindowController.h"

#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "base/FNWUtils.h"
#include "support/DDLog.h"
#include "support/FNWFormat.h"

#include <QTimer>

#include <algorithm>

namespace {

QString name(const char* text)
{
    return QString::fromLatin1(text);
}

const QString kPortRangeMessage = QStringLiteral("Server port should be between 1024 and 49151.");

} // namespace

QStringList FNWCreateAgentWindowController::columnIdentifiers()
{
    return {name(kIPAddressColumn), name(kPortColumn), name(kNameColumn), name(kRemoveButtonColumn)};
}

FNWCreateAgentWindowController::FNWCreateAgentWindowController(QObject* parent)
    : QObject(parent)
    , m_errorLine(new FNWErrorLine(this))
{
    connect(m_errorLine, &FNWErrorLine::textChanged, this, &FNWCreateAgentWindowController::errorTextChanged);
}

FNWCreateAgentWindowController::~FNWCreateAgentWindowController() = default;

bool FNWCreateAgentWindowController::isPortInRange(qint64 port)
{
    return port >= kLowestPort && port <= kHighestPort;
}

QString FNWCreateAgentWindowController::trimSpacesAndTabs(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    auto isBlank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (first < last && isBlank(text.at(first)))
        ++first;
    while (last > first && isBlank(text.at(last - 1)))
        --last;
    // A null text stays null: it is the missing address, not an empty one.
    return text.isNull() ? text : text.mid(first, last - first);
}

void FNWCreateAgentWindowController::showWindow()
{
    // A window opened again starts afresh: no rows, no message from last time.
    m_errorLine->show(QString());
    m_agentArray.clear();
    appendDefaultRow();
    emit agentArrayChanged();
}

void FNWCreateAgentWindowController::addRowButtonDidClicked()
{
    appendDefaultRow();
    emit agentArrayChanged();
}

void FNWCreateAgentWindowController::appendDefaultRow()
{
    m_agent = std::make_shared<FNWAgentBean>();
    m_agentArray.push_back(m_agent);
}

bool FNWCreateAgentWindowController::removeRowButtonDidClicked(int row)
{
    if (row <= 0 || row >= static_cast<int>(m_agentArray.size()))
        return false;
    // The row is resolved now: a second click before the removal, or a reload in between, must
    // not take another row with it.
    std::weak_ptr<FNWAgentBean> clicked = m_agentArray[static_cast<size_t>(row)];
    QTimer::singleShot(kRemoveRowDelayMs, this, [this, clicked] {
        const auto agent = clicked.lock();
        if (!agent)
            return;
        const auto found = std::find(m_agentArray.begin(), m_agentArray.end(), agent);
        if (found == m_agentArray.end() || found == m_agentArray.begin())
            return;
        m_agentArray.erase(found);
        emit agentArrayChanged();
    });
    return true;
}

QVariant FNWCreateAgentWindowController::objectValue(const QString& columnIdentifier, int row) const
{
    if (row < 0 || row >= static_cast<int>(m_agentArray.size()))
        return {};
    const FNWAgentBean& agent = *m_agentArray[static_cast<size_t>(row)];
    if (columnIdentifier == name(kIPAddressColumn))
        return agent.ip_address;
    if (columnIdentifier == name(kPortColumn))
        return agent.port_number;
    if (columnIdentifier == name(kNameColumn))
        return agent.agent_name;
    return {};
}

void FNWCreateAgentWindowController::setObjectValue(const QString& text, const QString& columnIdentifier, int row)
{
    if (row < 0 || row >= static_cast<int>(m_agentArray.size()))
        return;
    FNWAgentBean& agent = *m_agentArray[static_cast<size_t>(row)];
    if (columnIdentifier == name(kIPAddressColumn)) {
        if (!FNWUtils::isIPAddressValid(text))
            showErrorMessage(QStringLiteral("Please enter a valid IP Address."));
        agent.ip_address = text;
    } else if (columnIdentifier == name(kPortColumn)) {
        bool isNumber = false;
        qint64 port = text.trimmed().toLongLong(&isNumber);
        if (!isNumber)
            port = 0;
        if (isPortInRange(port))
            agent.port_number = port;
        else
            showErrorMessage(kPortRangeMessage);
    } else if (columnIdentifier == name(kNameColumn)) {
        agent.agent_name = text;
    } else {
        return;
    }
    emit rowChanged(row);
}

std::optional<FNWAgentTableCell> FNWCreateAgentWindowController::validateRow(int row)
{
    FNWAgentBean& agent = *m_agentArray[static_cast<size_t>(row)];
    agent.ip_address = trimSpacesAndTabs(agent.ip_address);
    const QString address = agent.ip_address;
    const FNWAgentTableCell addressCell{row, name(kIPAddressColumn)};

    if (!FNWUtils::hasValue(address) || !FNWUtils::isIPAddressValid(address)) {
        showErrorMessage(QStringLiteral("Please Enter Valid IP address."));
        return addressCell;
    }
    if (FNWAgentBean::findAgent(address)) {
        showErrorMessage(FNWStringWithFormat("Server with IP Address '%@' already exist.", address));
        return addressCell;
    }
    if (!isPortInRange(agent.port_number)) {
        showErrorMessage(kPortRangeMessage);
        return FNWAgentTableCell{row, name(kPortColumn)};
    }
    const auto sameAddress = std::count_if(m_agentArray.begin(), m_agentArray.end(),
                                           [&address](const auto& other) { return other->ip_address == address; });
    if (sameAddress > 1) {
        showErrorMessage(FNWStringWithFormat("Duplicate IP Address '%@' found.", address));
        return addressCell;
    }
    return std::nullopt;
}

std::optional<FNWAgentTableCell> FNWCreateAgentWindowController::saveAgentButtonDidClicked()
{
    for (int row = 0; row < static_cast<int>(m_agentArray.size()); ++row) {
        if (auto failed = validateRow(row)) {
            DDLogInfo("FNWCreateAgentWindowController: row %d refused: %@", row, m_errorLine->text());
            // The table shows the trimmed addresses.
            emit agentArrayChanged();
            return failed;
        }
    }
    if (!storeRows())
        return std::nullopt;

    emit closeWindowRequested();
    if (m_delegate)
        m_delegate->didAddedNewAgents();
    FNWNotificationCenter::defaultCenter().postNotificationName(
        name(ShowWarningOnMainWindowNotification), nullptr,
        {{name(kErrorKey), QStringLiteral("New Target Server added successfully.")},
         {name(kTextColorKey), QStringLiteral("green")}});
    return std::nullopt;
}

// Stores the rows in table order after the largest position in the store. When the store refuses
// a row, the rows stored before it leave the table (the list shows them) and the others stay for
// another try; a success is never reported for rows that were not stored.
bool FNWCreateAgentWindowController::storeRows()
{
    const qint64 maxViewPosition = FNWAgentBean::getMaxViewPosition();
    const QDateTime now = QDateTime::currentDateTime();
    size_t stored = 0;
    for (; stored < m_agentArray.size(); ++stored) {
        FNWAgentBean& agent = *m_agentArray[stored];
        agent.addedManually = true;
        agent.viewPosition = maxViewPosition + static_cast<qint64>(stored) + 1;
        agent.lastSeen = now;
        QString error;
        if (!agent.save(&error)) {
            DDLogError("FNWCreateAgentWindowController: could not save agent %@: %@", agent, error);
            break;
        }
        DDLogInfo("FNWCreateAgentWindowController: added agent %@", agent);
    }
    if (stored == m_agentArray.size())
        return true;

    const QString refused = m_agentArray[stored]->ip_address;
    m_agentArray.erase(m_agentArray.begin(), m_agentArray.begin() + static_cast<std::ptrdiff_t>(stored));
    emit agentArrayChanged();
    if (stored > 0 && m_delegate)
        m_delegate->didAddedNewAgents();
    showErrorMessage(FNWStringWithFormat("Could not save Server with IP Address '%@'.", refused));
    return false;
}

void FNWCreateAgentWindowController::cancelButtonDidClicked()
{
    emit closeWindowRequested();
}

void FNWCreateAgentWindowController::showErrorMessage(const QString& message)
{
    m_errorLine->show(message);
}

void FNWCreateAgentWindowController::setErrorClearInterval(int milliseconds)
{
    m_errorLine->setClearInterval(milliseconds);
}
