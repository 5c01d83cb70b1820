#pragma once

#include "support/EmailMessage.h"
#include "support/FNWSupportMailConfig.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

// One form request as it goes on the wire.
struct SendGridRequest
{
    QUrl url;
    QByteArray contentType;
    QByteArray body;
    int timeoutMs = 0;
    // Extra certificate authorities (PEM) to trust besides the system's.
    QString caFile;
};

// What came back: an HTTP status and body, or no answer at all.
struct SendGridReply
{
    bool answered = false;
    int httpStatus = 0;
    QByteArray body;
    QString transportError;
};

// Carries a request and reports its reply once, on the thread that posted it, without blocking.
class SendGridTransport
{
public:
    virtual ~SendGridTransport() = default;
    virtual void post(const SendGridRequest& request, std::function<void(const SendGridReply&)> done) = 0;
};

// The mail service's form interface: the multipart body with its fields and files, and the
// reading of the answer.
class SendGrid final
{
public:
    static constexpr char kBoundary[] = "FENWAVE_BOUNDARY_STRING";
    static constexpr char kPath[] = "api/mail.send.json";
    static constexpr char kNoConnection[] = "Internet connection not available";
    static constexpr int kTimeoutMs = 10000;

    using Success = std::function<void(const QJsonValue& answer)>;
    using Failure = std::function<void(const QString& message)>;

    static std::shared_ptr<SendGrid> apiUser(const QString& apiUser, const QString& apiKey);
    void initWithApiUser(const QString& apiUser, const QString& apiKey);
    // Endpoint, copy and sender addresses and the trusted authorities come from here.
    void setConfiguration(const FNWSupportMailConfig& config) { m_config = config; }
    void setTransport(SendGridTransport* transport) { m_transport = transport; }

    // The endpoint followed by "api/mail.send.json".
    QUrl baseURL() const;
    // The form body: the ten text fields, then the image and the file when given.
    QByteArray bodyForMessage(const EmailMessage& message, const QString& imagePath, const QString& filePath) const;
    void sendEmailWithMessage(const EmailMessage& message, const QString& imagePath, const QString& filePath,
                              Success success, Failure failure);
    void sendEmailWithBody(const QByteArray& body, Success success, Failure failure);

    // The file's bytes; empty, with the error logged, when it cannot be read.
    static QByteArray GetDataFromFile(const QString& path);

    struct Outcome
    {
        bool sent = false;
        QJsonValue answer;
        QString failure;
    };
    // Sent only for a JSON answer that is not an HTTP error and does not say it failed.
    static Outcome readAnswer(const SendGridReply& reply);

private:
    QString m_apiUser;
    QString m_apiKey;
    FNWSupportMailConfig m_config;
    SendGridTransport* m_transport = nullptr;
};
