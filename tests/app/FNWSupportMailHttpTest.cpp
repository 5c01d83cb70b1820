// The support mail against real servers on 127.0.0.1 that record every request: plain HTTP for
// the answers, and HTTPS with certificates the test makes with openssl.

#include "app/FNWSupportMailTransport.h"
#include "app/SendDebugLogWindowController.h"
#include "support/SendGrid.h"

#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include <QElapsedTimer>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using fnw::test::readFile;
using fnw::test::waitUntil;
using fnw::test::writeFile;

namespace {

using State = SendDebugLogWindowController::State;

// Reads one request per connection and answers it, or never does.
class RecordingServer final : public QTcpServer
{
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        bool silent = false;
    };
    Answer answer;
    QByteArray request;
    // Set for HTTPS.
    QSslCertificate certificate;
    QSslKey key;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        QTcpSocket* socket = nullptr;
        if (certificate.isNull()) {
            socket = new QTcpSocket(this);
            socket->setSocketDescriptor(descriptor);
        } else {
            auto* tls = new QSslSocket(this);
            tls->setSocketDescriptor(descriptor);
            tls->setLocalCertificate(certificate);
            tls->setPrivateKey(key);
            tls->startServerEncryption();
            socket = tls;
        }
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, received] {
            *received += socket->readAll();
            const qsizetype headerEnd = received->indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            const QByteArray headers = received->left(headerEnd).toLower();
            const qsizetype at = headers.indexOf("content-length:");
            const qsizetype length =
                at < 0 ? 0 : headers.mid(at + 15, headers.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
            if (received->size() < headerEnd + 4 + length)
                return;
            request = *received;
            if (answer.silent)
                return;
            socket->write("HTTP/1.1 " + QByteArray::number(answer.status) +
                          " Answer\r\nContent-Type: application/json\r\n"
                          "Content-Length: " +
                          QByteArray::number(answer.body.size()) + "\r\nConnection: close\r\n\r\n" + answer.body);
            socket->disconnectFromHost();
        });
    }
};

class SupportMailOverHttp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        logFile = folder.filePath(QStringLiteral("fenwave_log.txt"));
        writeFile(logFile, "****************Details of Log file (1) **********\n\nstarted\n");
    }

    // The configuration as the product reads it: a support.conf named by FENWAVE_SUPPORT_CONF.
    FNWSupportMailConfig configure(const QString& endpoint, const QString& caFile = QString())
    {
        const QString path = folder.filePath(QStringLiteral("support.conf"));
        writeFile(path, QStringLiteral("endpoint=%1\napi_user=fnwusr\napi_key=k3y-s3cr3t-42\nto=support@example.net\n"
                                       "cc=copy@example.net\nfrom=fenwave@example.net\nca_file=%2\n")
                            .arg(endpoint, caFile)
                            .toUtf8());
        ::setenv("FENWAVE_SUPPORT_CONF", path.toUtf8().constData(), 1);
        return FNWSupportMailConfig::load();
    }

    // Sends with the user's address and waits for the end; the failure shown, if any.
    QString send(const FNWSupportMailConfig& config, State* ended, int timeoutMs = 5000)
    {
        SendDebugLogWindowController controller(&transport, config);
        controller.setLogFilePath(logFile);
        QString failure;
        QObject::connect(&controller, &SendDebugLogWindowController::failureShown,
                         [&](const QString& text) { failure = text; });
        controller.showWindow();
        EXPECT_TRUE(controller.sendDebugLog(QStringLiteral("ana@example.org")));
        EXPECT_TRUE(waitUntil([&] { return controller.state() != State::Sending; }, timeoutMs));
        *ended = controller.state();
        return failure;
    }

    QString endpoint() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()); }

    QTemporaryDir folder;
    QString logFile;
    RecordingServer server;
    FNWSupportMailTransport transport;
};

TEST_F(SupportMailOverHttp, TheRequestIsTheFormByteForByteAndEachAnswerIsReadAsMeant)
{
    const FNWSupportMailConfig config = configure(endpoint());
    server.answer = {200, R"({"message":"success"})"};
    State ended = State::Input;
    EXPECT_EQ(send(config, &ended), QString());
    EXPECT_EQ(ended, State::Sent);

    const qsizetype headerEnd = server.request.indexOf("\r\n\r\n");
    const QByteArray headers = server.request.left(headerEnd);
    EXPECT_TRUE(headers.startsWith("POST /api/mail.send.json HTTP/1.1\r\n")) << headers.toStdString();
    EXPECT_TRUE(headers.contains("\r\nContent-Type: multipart/form-data; boundary=FENWAVE_BOUNDARY_STRING\r\n"))
        << headers.toStdString();
    const auto sendGrid = SendGrid::apiUser(config.apiUser, config.apiKey);
    sendGrid->setConfiguration(config);
    EmailMessage message;
    message.to = QStringLiteral("support@example.net");
    message.replyto = QStringLiteral("ana@example.org");
    message.subject = QStringLiteral("Fenwave Support Log File ");
    message.body = QStringLiteral("#requester ana@example.org <br />");
    EXPECT_EQ(server.request.mid(headerEnd + 4), sendGrid->bodyForMessage(message, QString(), logFile));

    const struct
    {
        RecordingServer::Answer answer;
        State ended;
        const char* failure;
    } answers[] = {
        {{200, R"({"message":"error","errors":["Bad username / password"]})"},
         State::Input,
         "The support service did not take the log: Bad username / password"},
        {{200, "<html>a captive portal</html>"}, State::Input, "Internet connection not available"},
        {{500, "<html>Internal Server Error</html>"},
         State::Input,
         "The support service answered with HTTP status 500."},
        {{400, R"({"message":"error","errors":["Empty to"]})"},
         State::Input,
         "The support service did not take the log: Empty to"},
    };
    for (const auto& item : answers) {
        server.answer = item.answer;
        EXPECT_EQ(send(config, &ended), QString::fromUtf8(item.failure)) << item.answer.body.toStdString();
        EXPECT_EQ(ended, item.ended);
    }

    // Nobody listening.
    const quint16 closed = server.serverPort();
    server.close();
    EXPECT_EQ(send(configure(QStringLiteral("http://127.0.0.1:%1/").arg(closed)), &ended),
              QStringLiteral("Internet connection not available"));
}

TEST_F(SupportMailOverHttp, AServerThatNeverAnswersFailsAfterTenSecondsAndTheLoopKeepsRunning)
{
    server.answer.silent = true;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(100);
    QElapsedTimer clock;
    clock.start();
    State ended = State::Sending;
    EXPECT_EQ(send(configure(endpoint()), &ended, 15000), QStringLiteral("Internet connection not available"));
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(ended, State::Input);
    EXPECT_GE(elapsed, 9500);
    EXPECT_LE(elapsed, 13000);
    EXPECT_GE(ticks, static_cast<int>(elapsed / 100) - 10) << "the window's loop ran all along";
}

bool openssl(const QStringList& arguments, const QString& folder)
{
    return fnw::test::runToEnd(QStringList{QStringLiteral("openssl")} + arguments, folder);
}

// A throw-away authority and a certificate it signs for 127.0.0.1.
bool makeAuthority(const QString& folder, const QString& name)
{
    writeFile(folder + QStringLiteral("/san.cnf"), "subjectAltName=IP:127.0.0.1\n");
    const QStringList ec{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                         QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    return openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec +
                       QStringList{QStringLiteral("-keyout"), name + QStringLiteral("-ca.key"), QStringLiteral("-out"),
                                   name + QStringLiteral("-ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                                   QStringLiteral("-subj"), QStringLiteral("/CN=Fenwave test %1").arg(name)},
                   folder) &&
           openssl(QStringList{QStringLiteral("req")} + ec +
                       QStringList{QStringLiteral("-keyout"), name + QStringLiteral("-server.key"),
                                   QStringLiteral("-out"), name + QStringLiteral("-server.csr"),
                                   QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")},
                   folder) &&
           openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                    name + QStringLiteral("-server.csr"), QStringLiteral("-CA"), name + QStringLiteral("-ca.pem"),
                    QStringLiteral("-CAkey"), name + QStringLiteral("-ca.key"), QStringLiteral("-CAcreateserial"),
                    QStringLiteral("-out"), name + QStringLiteral("-server.pem"), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-extfile"), QStringLiteral("san.cnf")},
                   folder);
}

TEST_F(SupportMailOverHttp, HttpsTrustsTheConfiguredAuthorityAndRefusesAnyOther)
{
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    const QString certificates = folder.path();
    ASSERT_TRUE(makeAuthority(certificates, QStringLiteral("ours")));
    ASSERT_TRUE(makeAuthority(certificates, QStringLiteral("theirs")));
    const QString ourAuthority = certificates + QStringLiteral("/ours-ca.pem");
    const QString https = QStringLiteral("https://127.0.0.1:%1/").arg(server.serverPort());
    server.answer = {200, R"({"message":"success"})"};
    State ended = State::Input;
    for (const char* signer : {"ours", "theirs"}) {
        const QString name = QString::fromLatin1(signer);
        server.certificate = QSslCertificate(readFile(certificates + QStringLiteral("/%1-server.pem").arg(name)));
        server.key = QSslKey(readFile(certificates + QStringLiteral("/%1-server.key").arg(name)), QSsl::Ec);
        ASSERT_FALSE(server.certificate.isNull());
        ASSERT_FALSE(server.key.isNull());
        server.request.clear();
        const QString failure = send(configure(https, ourAuthority), &ended);
        if (name == QLatin1String("ours")) {
            EXPECT_EQ(failure, QString());
            EXPECT_EQ(ended, State::Sent);
            EXPECT_TRUE(server.request.startsWith("POST /api/mail.send.json"));
        } else {
            EXPECT_EQ(failure, QStringLiteral("Internet connection not available"));
            EXPECT_EQ(ended, State::Input);
            EXPECT_TRUE(server.request.isEmpty()) << "nothing went to a server the authority did not sign";
        }
    }
    // Without the configured authority our own server is not trusted either.
    server.certificate = QSslCertificate(readFile(certificates + QStringLiteral("/ours-server.pem")));
    server.key = QSslKey(readFile(certificates + QStringLiteral("/ours-server.key")), QSsl::Ec);
    EXPECT_EQ(send(configure(https), &ended), QStringLiteral("Internet connection not available"));
}

} // namespace
