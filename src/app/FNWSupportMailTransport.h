#pragma once

#include "support/SendGrid.h"

#include <QObject>

class QNetworkAccessManager;

// Posts the support mail's form with Qt's network access: asynchronous, with the request's
// time-out, certificates checked against the system's authorities and the configured ones.
class FNWSupportMailTransport final : public QObject, public SendGridTransport
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWSupportMailTransport)

public:
    explicit FNWSupportMailTransport(QObject* parent = nullptr);
    ~FNWSupportMailTransport() override;

    void post(const SendGridRequest& request, std::function<void(const SendGridReply&)> done) override;

private:
    QNetworkAccessManager* m_network;
};
