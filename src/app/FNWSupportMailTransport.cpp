#include "app/FNWSupportMailTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>

FNWSupportMailTransport::FNWSupportMailTransport(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
}

FNWSupportMailTransport::~FNWSupportMailTransport() = default;

void FNWSupportMailTransport::post(const SendGridRequest& request, std::function<void(const SendGridReply&)> done)
{
    QNetworkRequest http(request.url);
    http.setHeader(QNetworkRequest::ContentTypeHeader, request.contentType);
    http.setTransferTimeout(request.timeoutMs);
    http.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (!request.caFile.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(QSslCertificate::fromPath(request.caFile, QSsl::Pem));
        http.setSslConfiguration(tls);
    }
    // Every send makes its own connection, checked against the authorities of this request.
    m_network->clearConnectionCache();
    QNetworkReply* reply = m_network->post(http, request.body);
    connect(reply, &QNetworkReply::finished, this, [reply, done = std::move(done)] {
        reply->deleteLater();
        SendGridReply answer;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        answer.answered = status.isValid();
        answer.httpStatus = status.toInt();
        answer.body = reply->readAll();
        if (!answer.answered)
            answer.transportError = reply->errorString();
        done(answer);
    });
}
