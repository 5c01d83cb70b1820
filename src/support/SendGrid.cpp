#include "support/SendGrid.h"

#include "support/DDLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <utility>

namespace {

void appendTextPart(QByteArray& body, const char* name, const QString& value)
{
    body += QByteArray("--") + SendGrid::kBoundary + "\r\n";
    body += QByteArray("Content-Disposition: form-data; name=\"") + name + "\"\r\n\r\n";
    body += value.toUtf8() + "\r\n";
}

void appendFilePart(QByteArray& body, const char* name, const char* fileName, const char* type, const QString& path)
{
    body += QByteArray("--") + SendGrid::kBoundary + "\r\n";
    body += QByteArray("Content-Disposition: form-data; name=\"") + name + "\"; filename=\"" + fileName + "\"\r\n";
    body += QByteArray("Content-Type: ") + type + "\r\n\r\n";
    body += SendGrid::GetDataFromFile(path) + "\r\n";
}

// The service's own words for a failure: its "errors", else its message.
QString failureWords(const QJsonObject& answer)
{
    QStringList words;
    const QJsonValue errors = answer.value(QStringLiteral("errors"));
    for (const QJsonValue& error : errors.toArray())
        words.append(error.isString()
                         ? error.toString()
                         : QString::fromUtf8(QJsonDocument(error.toObject()).toJson(QJsonDocument::Compact)));
    if (errors.isString())
        words.append(errors.toString());
    const QString message = answer.value(QStringLiteral("message")).toString();
    if (words.isEmpty() && !message.isEmpty() && message != QLatin1String("error"))
        words.append(message);
    return words.join(QStringLiteral("; "));
}

} // namespace

std::shared_ptr<SendGrid> SendGrid::apiUser(const QString& apiUser, const QString& apiKey)
{
    auto sendGrid = std::make_shared<SendGrid>();
    sendGrid->initWithApiUser(apiUser, apiKey);
    return sendGrid;
}

void SendGrid::initWithApiUser(const QString& apiUser, const QString& apiKey)
{
    m_apiUser = apiUser;
    m_apiKey = apiKey;
}

QUrl SendGrid::baseURL() const
{
    QString endpoint = m_config.endpoint;
    if (!endpoint.endsWith(QLatin1Char('/')))
        endpoint += QLatin1Char('/');
    return QUrl(endpoint + QLatin1String(kPath));
}

QByteArray SendGrid::bodyForMessage(const EmailMessage& message, const QString& imagePath,
                                    const QString& filePath) const
{
    QByteArray body;
    appendTextPart(body, "api_user", m_apiUser);
    appendTextPart(body, "api_key", m_apiKey);
    appendTextPart(body, "to", message.to);
    appendTextPart(body, "cc", m_config.cc);
    appendTextPart(body, "from", m_config.from);
    appendTextPart(body, "fromname", message.replyto);
    appendTextPart(body, "replyto", message.replyto);
    appendTextPart(body, "subject", message.subject);
    appendTextPart(body, "html", message.body);
    appendTextPart(body, "x-smtpapi", QStringLiteral("{ \"category\" : \"fenwave-enterprise_mac\" }"));
    if (!imagePath.isEmpty())
        appendFilePart(body, "files[photo.jpg]", "photo.jpg", "image/jpeg", imagePath);
    if (!filePath.isEmpty())
        appendFilePart(body, "files[logfile.txt]", "log.txt", "html/text", filePath);
    body += QByteArray("--") + kBoundary + "--\r\n";
    return body;
}

void SendGrid::sendEmailWithMessage(const EmailMessage& message, const QString& imagePath, const QString& filePath,
                                    Success success, Failure failure)
{
    sendEmailWithBody(bodyForMessage(message, imagePath, filePath), std::move(success), std::move(failure));
}

void SendGrid::sendEmailWithBody(const QByteArray& body, Success success, Failure failure)
{
    if (!m_transport) {
        failure(QString::fromLatin1(kNoConnection));
        return;
    }
    SendGridRequest request{baseURL(), QByteArray("multipart/form-data; boundary=") + kBoundary, body, kTimeoutMs,
                            m_config.caFile};
    m_transport->post(request,
                      [success = std::move(success), failure = std::move(failure)](const SendGridReply& reply) {
                          const Outcome outcome = readAnswer(reply);
                          if (outcome.sent)
                              success(outcome.answer);
                          else
                              failure(outcome.failure);
                      });
}

QByteArray SendGrid::GetDataFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        DDLogError("ERROR: %@", file.errorString());
        return {};
    }
    return file.readAll();
}

SendGrid::Outcome SendGrid::readAnswer(const SendGridReply& reply)
{
    if (!reply.answered) {
        DDLogError("error: %@", reply.transportError);
        return {false, {}, QString::fromLatin1(kNoConnection)};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(reply.body, &error);
    const bool httpError = reply.httpStatus >= 400;
    if (error.error != QJsonParseError::NoError) {
        if (httpError)
            return {
                false, {}, QStringLiteral("The support service answered with HTTP status %1.").arg(reply.httpStatus)};
        DDLogError("Error parsing JSON: %@", error.errorString());
        return {false, {}, QString::fromLatin1(kNoConnection)};
    }
    const QJsonValue answer = document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
    const QJsonObject object = document.object();
    const QString words = failureWords(object);
    const bool saysFailed = object.value(QStringLiteral("message")).toString() == QLatin1String("error") ||
                            !object.value(QStringLiteral("errors")).toArray().isEmpty() ||
                            object.value(QStringLiteral("errors")).isString();
    if (httpError || saysFailed) {
        const QString reason = words.isEmpty() ? QStringLiteral("HTTP status %1").arg(reply.httpStatus) : words;
        return {false, answer, QStringLiteral("The support service did not take the log: %1").arg(reason)};
    }
    return {true, answer, {}};
}
