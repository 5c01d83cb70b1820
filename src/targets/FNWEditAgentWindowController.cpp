#include "targets/FNWEditAgentWindowController.h"

#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "base/FNWUtils.h"
#include "support/DDLog.h"
#include "support/FNWFormat.h"
#include "targets/FNWCreateAgentWindowController.h"

namespace {

QString name(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

FNWEditAgentWindowController::FNWEditAgentWindowController(QObject* parent)
    : QObject(parent)
    , m_errorLine(new FNWErrorLine(this))
{
    connect(m_errorLine, &FNWErrorLine::textChanged, this, &FNWEditAgentWindowController::errorTextChanged);
}

FNWEditAgentWindowController::~FNWEditAgentWindowController() = default;

void FNWEditAgentWindowController::setAgentBean(std::shared_ptr<FNWAgentBean> agent)
{
    m_agentBean = std::move(agent);
    if (m_agentBean) {
        m_agentIP = m_agentBean->ip_address;
        m_agentName = m_agentBean->agent_name;
        m_agentPort = m_agentBean->port_number;
    } else {
        m_agentIP.clear();
        m_agentName.clear();
        m_agentPort = 0;
    }
    emit formValuesChanged();
}

void FNWEditAgentWindowController::setAgentPortText(const QString& text)
{
    bool isNumber = false;
    const qint64 port = text.trimmed().toLongLong(&isNumber);
    m_agentPort = isNumber ? port : 0;
}

void FNWEditAgentWindowController::trimAgentIP()
{
    const QString trimmed = FNWCreateAgentWindowController::trimSpacesAndTabs(m_agentIP);
    if (trimmed == m_agentIP)
        return;
    m_agentIP = trimmed;
    emit formValuesChanged();
}

bool FNWEditAgentWindowController::validateAgentIPAddress()
{
    trimAgentIP();
    if (!FNWUtils::isIPAddressValid(m_agentIP)) {
        showErrorMessage(QStringLiteral("Invalid IP Address."));
        return false;
    }
    if (m_agentBean && m_agentIP == m_agentBean->ip_address)
        return true;
    if (FNWAgentBean::findAgent(m_agentIP)) {
        showErrorMessage(FNWStringWithFormat("Server with IP Address '%@' already exist.", m_agentIP));
        return false;
    }
    return true;
}

bool FNWEditAgentWindowController::validateAgentPort()
{
    if (FNWCreateAgentWindowController::isPortInRange(m_agentPort))
        return true;
    showErrorMessage(QStringLiteral("Server port should be between 1024 and 49151."));
    return false;
}

bool FNWEditAgentWindowController::controlTextDidEndEditing(const QString& fieldIdentifier)
{
    if (fieldIdentifier == name(kPortField))
        return !validateAgentPort();
    if (fieldIdentifier == name(kIPAddressField))
        return !validateAgentIPAddress();
    return false;
}

bool FNWEditAgentWindowController::updateAgentButtonDidClicked()
{
    if (!m_agentBean) {
        DDLogError("FNWEditAgentWindowController: no agent to update");
        return false;
    }
    if (!validateAgentIPAddress() || !validateAgentPort())
        return false;

    m_agentBean->agent_name = FNWUtils::hasValue(m_agentName) ? m_agentName : QString::fromLatin1("");
    m_agentBean->port_number = m_agentPort;
    m_agentBean->ip_address = m_agentIP;
    DDLogInfo("FNWEditAgentWindowController: updated agent %@", m_agentBean);
    if (m_delegate)
        m_delegate->userClickedToAddUpdatedAgentsInfo(m_agentBean);
    FNWNotificationCenter::defaultCenter().postNotificationName(
        name(ShowWarningOnMainWindowNotification), nullptr,
        {{name(kErrorKey), QStringLiteral("Target Server details updated successfully.")},
         {name(kTextColorKey), QStringLiteral("green")}});
    emit closeWindowRequested();
    return true;
}

void FNWEditAgentWindowController::cancelButtonDidClicked()
{
    m_agentPort = 0;
    emit closeWindowRequested();
}

void FNWEditAgentWindowController::showErrorMessage(const QString& message)
{
    m_errorLine->show(message);
}

void FNWEditAgentWindowController::setErrorClearInterval(int milliseconds)
{
    m_errorLine->setClearInterval(milliseconds);
}
