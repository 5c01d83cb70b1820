#include "app/SendDebugLogWindowController.h"

#include "support/DDLog.h"
#include "support/SendGrid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>

SendDebugLogWindowController::SendDebugLogWindowController(SendGridTransport* transport,
                                                           const FNWSupportMailConfig& config, QObject* parent)
    : QObject(parent)
    , m_transport(transport)
    , m_config(config)
{
}

SendDebugLogWindowController::~SendDebugLogWindowController() = default;

void SendDebugLogWindowController::showWindow()
{
    ++m_generation;
    m_statusText.clear();
    setState(State::Input);
}

void SendDebugLogWindowController::closeWindow()
{
    emit closeRequested();
}

QString SendDebugLogWindowController::configurationProblem() const
{
    if (!m_config.isConfigured())
        return QStringLiteral(
                   "Support mail is not configured for this build, so the log cannot be sent from here. To "
                   "configure it, build with the FENWAVE_SUPPORT_ENDPOINT, FENWAVE_SUPPORT_API_USER, "
                   "FENWAVE_SUPPORT_API_KEY and FENWAVE_SUPPORT_TO options, or set endpoint, api_user, api_key "
                   "and to in %1. The joined log file is %2.")
            .arg(FNWSupportMailConfig::defaultPath(),
                 m_logFilePath.isEmpty() ? QStringLiteral("not made yet") : m_logFilePath);
    return m_config.endpointProblem();
}

QString SendDebugLogWindowController::addressProblem(const QString& address)
{
    if (address.isEmpty())
        return {};
    // One address and nothing else: it goes into the form as it is.
    static const QRegularExpression oneAddress(
        QStringLiteral(R"(^[^\s@"'<>(),;:\\\[\]]+@[^\s@"'<>(),;:\\\[\]]+\.[^\s@"'<>(),;:\\\[\].]+\z)"));
    if (address.size() > 254 || address.contains(QLatin1String(SendGrid::kBoundary)) ||
        !oneAddress.match(address).hasMatch())
        return QStringLiteral("Please enter one e-mail address (such as name@example.com), or leave the field empty.");
    return {};
}

bool SendDebugLogWindowController::sendDebugLog(const QString& address)
{
    if (m_state == State::Sending)
        return false;
    const QString problem = configurationProblem();
    if (!problem.isEmpty()) {
        emit failureShown(problem);
        return false;
    }
    const QString addressText = addressProblem(address);
    if (!addressText.isEmpty()) {
        emit failureShown(addressText);
        return false;
    }
    setState(State::Sending);
    EmailMessage message;
    message.to = m_config.to;
    message.replyto = address;
    message.subject = QString::fromLatin1(kSubject);
    message.body = QStringLiteral("#requester %1 <br />").arg(address);
    m_sendGrid = SendGrid::apiUser(m_config.apiUser, m_config.apiKey);
    m_sendGrid->setConfiguration(m_config);
    m_sendGrid->setTransport(m_transport);
    const QPointer<SendDebugLogWindowController> self(this);
    const int generation = m_generation;
    m_sendGrid->sendEmailWithMessage(
        message, QString(), m_logFilePath,
        [self, generation](const QJsonValue& answer) {
            if (!self || self->m_generation != generation)
                return;
            const QByteArray text = answer.isObject() ? QJsonDocument(answer.toObject()).toJson(QJsonDocument::Compact)
                                                      : QJsonDocument(answer.toArray()).toJson(QJsonDocument::Compact);
            DDLogInfo("Success -- %@", QString::fromUtf8(text));
            self->m_statusText = QString::fromLatin1(kThanks);
            self->setState(State::Sent);
        },
        [self, generation](const QString& failure) {
            if (!self || self->m_generation != generation)
                return;
            self->setState(State::Input);
            emit self->failureShown(failure);
        });
    return true;
}

void SendDebugLogWindowController::setState(State state)
{
    m_state = state;
    emit stateChanged(state);
}
