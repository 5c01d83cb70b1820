#include "app/FNWAppDelegate.h"
#include "app/SendDebugLogWindowController.h"
#include "support/SendGrid.h"

#include "FNWTestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>

using fnw::test::LogCapture;
using fnw::test::readFile;
using fnw::test::writeFile;

namespace {

FNWSupportMailConfig testConfig()
{
    return {QStringLiteral("https://mail.example.net/"),
            QStringLiteral("fnwusr"),
            QStringLiteral("k3y-s3cr3t-42"),
            QStringLiteral("support@example.net"),
            QStringLiteral("copy@example.net"),
            QStringLiteral("fenwave@example.net"),
            QString()};
}

QByteArray textPart(const char* name, const QByteArray& value)
{
    return QByteArray("--FENWAVE_BOUNDARY_STRING\r\nContent-Disposition: form-data; name=\"") + name + "\"\r\n\r\n" +
           value + "\r\n";
}

TEST(SendGridForm, TheBodyIsTheTenFieldsThenTheLogFileThenTheClosingBoundary)
{
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("fenwave_log.txt"));
    writeFile(log, QByteArray("line one\nzwei \xc3\xa9\r\n"));
    const auto sendGrid = SendGrid::apiUser(QStringLiteral("fnwusr"), QStringLiteral("k3y-s3cr3t-42"));
    sendGrid->setConfiguration(testConfig());
    EXPECT_EQ(sendGrid->baseURL(), QUrl(QStringLiteral("https://mail.example.net/api/mail.send.json")));

    EmailMessage message;
    message.to = QStringLiteral("support@example.net");
    message.replyto = QStringLiteral("ana@example.org");
    message.subject = QStringLiteral("Fenwave Support Log File ");
    message.body = QStringLiteral("#requester ana@example.org <br />");
    const QByteArray expected =
        textPart("api_user", "fnwusr") + textPart("api_key", "k3y-s3cr3t-42") + textPart("to", "support@example.net") +
        textPart("cc", "copy@example.net") + textPart("from", "fenwave@example.net") +
        textPart("fromname", "ana@example.org") + textPart("replyto", "ana@example.org") +
        textPart("subject", "Fenwave Support Log File ") + textPart("html", "#requester ana@example.org <br />") +
        textPart("x-smtpapi", "{ \"category\" : \"fenwave-enterprise_mac\" }") +
        "--FENWAVE_BOUNDARY_STRING\r\nContent-Disposition: form-data; name=\"files[logfile.txt]\"; "
        "filename=\"log.txt\"\r\nContent-Type: html/text\r\n\r\nline one\nzwei \xc3\xa9\r\n\r\n"
        "--FENWAVE_BOUNDARY_STRING--\r\n";
    EXPECT_EQ(sendGrid->bodyForMessage(message, QString(), log), expected);

    // An attachment that cannot be read is logged and sent empty.
    LogCapture capture;
    const QByteArray withoutFile =
        sendGrid->bodyForMessage(message, QString(), folder.filePath(QStringLiteral("gone")));
    EXPECT_TRUE(
        withoutFile.contains("filename=\"log.txt\"\r\nContent-Type: html/text\r\n\r\n\r\n--FENWAVE_BOUNDARY_STRING--"));
    EXPECT_EQ(capture.messages().filter(QStringLiteral("ERROR: ")).size(), 1);
}

TEST(SendGridForm, OnlyAJsonAnswerThatDoesNotSayItFailedIsSent)
{
    LogCapture capture;
    const auto read = [](int status, const char* body) {
        return SendGrid::readAnswer({true, status, QByteArray(body), QString()});
    };
    EXPECT_TRUE(read(200, R"({"message":"success"})").sent);
    EXPECT_EQ(read(200, R"({"message":"success"})").answer.toObject().value(QStringLiteral("message")).toString(),
              QStringLiteral("success"));

    const SendGrid::Outcome refused = read(200, R"({"message":"error","errors":["Bad username / password"]})");
    EXPECT_FALSE(refused.sent);
    EXPECT_EQ(refused.failure, QStringLiteral("The support service did not take the log: Bad username / password"));
    EXPECT_FALSE(read(400, R"({"errors":["to: missing"],"message":"error"})").sent);
    EXPECT_TRUE(read(400, R"({"errors":["a","b"]})").failure.endsWith(QStringLiteral(": a; b")));
    EXPECT_EQ(read(500, "<html>Internal Server Error</html>").failure,
              QStringLiteral("The support service answered with HTTP status 500."));
    EXPECT_EQ(read(503, "{}").failure, QStringLiteral("The support service did not take the log: HTTP status 503"));

    EXPECT_EQ(read(200, "<html>captive portal</html>").failure, QString::fromLatin1(SendGrid::kNoConnection));
    EXPECT_EQ(SendGrid::readAnswer({false, 0, {}, QStringLiteral("Connection refused")}).failure,
              QString::fromLatin1(SendGrid::kNoConnection));
    const QStringList messages = capture.messages();
    EXPECT_EQ(messages.filter(QStringLiteral("Error parsing JSON: ")).size(), 1);
    EXPECT_TRUE(messages.contains(QStringLiteral("error: Connection refused")));
}

TEST(SupportMailConfig, TheSystemFileOverridesTheBuiltInValuesAndTheEndpointMustBeSafe)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("support.conf"));
    EXPECT_FALSE(FNWSupportMailConfig::load(path).isConfigured()) << "this build has nothing built in";
    writeFile(path, "endpoint = https://mail.example.net/v2/\napi_user=fnwusr\napi_key=k3y\nto=support@example.net\n"
                    "ca_file=/etc/fenwave/ca.pem\n");
    const FNWSupportMailConfig config = FNWSupportMailConfig::load(path);
    EXPECT_TRUE(config.isConfigured());
    EXPECT_EQ(config.endpoint, QStringLiteral("https://mail.example.net/v2/"));
    EXPECT_EQ(config.caFile, QStringLiteral("/etc/fenwave/ca.pem"));
    EXPECT_TRUE(config.cc.isEmpty());

    FNWSupportMailConfig endpoint = config;
    for (const char* safe :
         {"https://mail.example.net", "http://127.0.0.1:8080/", "http://localhost/", "http://[::1]:99/"}) {
        endpoint.endpoint = QString::fromLatin1(safe);
        EXPECT_TRUE(endpoint.endpointProblem().isEmpty()) << safe;
    }
    for (const char* unsafe : {"http://mail.example.net/", "ftp://127.0.0.1/", "mail.example.net", "https://"}) {
        endpoint.endpoint = QString::fromLatin1(unsafe);
        EXPECT_FALSE(endpoint.endpointProblem().isEmpty()) << unsafe;
    }
}

// Replies when the test says so.
class HeldTransport final : public SendGridTransport
{
public:
    void post(const SendGridRequest& request, std::function<void(const SendGridReply&)> done) override
    {
        requests.push_back(request);
        pending = std::move(done);
    }
    void answer(const SendGridReply& reply) { std::exchange(pending, nullptr)(reply); }
    std::vector<SendGridRequest> requests;
    std::function<void(const SendGridReply&)> pending;
};

TEST(SendDebugLogWindowRules, InputSendingSentOrBackToInputWithTheFailureAndNothingSentUnconfigured)
{
    LogCapture capture;
    HeldTransport transport;
    // An unconfigured build, or one with a plain-HTTP endpoint, says so and sends nothing.
    SendDebugLogWindowController unconfigured(&transport, FNWSupportMailConfig{});
    EXPECT_TRUE(unconfigured.configurationProblem().startsWith(
        QStringLiteral("Support mail is not configured for this build")));
    EXPECT_TRUE(unconfigured.configurationProblem().contains(QStringLiteral("FENWAVE_SUPPORT_ENDPOINT")));
    EXPECT_FALSE(unconfigured.sendDebugLog(QString()));
    FNWSupportMailConfig plainHttp = testConfig();
    plainHttp.endpoint = QStringLiteral("http://mail.example.net/");
    EXPECT_FALSE(SendDebugLogWindowController(&transport, plainHttp).sendDebugLog(QString()));
    SendDebugLogWindowController controller(&transport, testConfig());
    QStringList failures;
    QObject::connect(&controller, &SendDebugLogWindowController::failureShown,
                     [&](const QString& failure) { failures.append(failure); });
    controller.showWindow();
    ASSERT_EQ(controller.state(), SendDebugLogWindowController::State::Input);
    // Nor does an address that would add a header or a part of its own reach the transport.
    EXPECT_FALSE(controller.sendDebugLog(QStringLiteral("ana@example.org\r\n--FENWAVE_BOUNDARY_STRING")));
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(controller.state(), SendDebugLogWindowController::State::Input);
    EXPECT_TRUE(transport.requests.empty());

    // An empty address sends, with empty reply fields.
    ASSERT_TRUE(controller.sendDebugLog(QString()));
    EXPECT_EQ(controller.state(), SendDebugLogWindowController::State::Sending);
    EXPECT_FALSE(controller.sendDebugLog(QStringLiteral("ana@example.org"))) << "one send at a time";
    ASSERT_EQ(transport.requests.size(), 1u);
    const SendGridRequest& request = transport.requests[0];
    EXPECT_EQ(request.timeoutMs, 10000);
    EXPECT_EQ(request.contentType, QByteArray("multipart/form-data; boundary=FENWAVE_BOUNDARY_STRING"));
    EXPECT_TRUE(request.body.contains(textPart("fromname", "") + textPart("replyto", "")));
    EXPECT_TRUE(request.body.contains(textPart("html", "#requester  <br />")));
    transport.answer({false, 0, {}, QStringLiteral("Connection refused")});
    EXPECT_EQ(controller.state(), SendDebugLogWindowController::State::Input);
    EXPECT_EQ(failures.mid(1), QStringList{QStringLiteral("Internet connection not available")});

    ASSERT_TRUE(controller.sendDebugLog(QStringLiteral("ana@example.org")));
    transport.answer({true, 200, R"({"message":"success"})", {}});
    EXPECT_EQ(controller.state(), SendDebugLogWindowController::State::Sent);
    EXPECT_EQ(controller.statusText(), QStringLiteral("Thanks, your log file has been sent. "));
    EXPECT_TRUE(capture.messages().contains(QStringLiteral("Success -- {\"message\":\"success\"}")));

    // Shown again it is back at the form, and a reply to an earlier send keeps quiet.
    controller.showWindow();
    EXPECT_EQ(controller.state(), SendDebugLogWindowController::State::Input);
    ASSERT_TRUE(controller.sendDebugLog(QString()));
    controller.showWindow();
    transport.answer({true, 200, R"({"message":"success"})", {}});
    EXPECT_EQ(controller.state(), SendDebugLogWindowController::State::Input);

    for (const QString& line : capture.messages())
        EXPECT_FALSE(line.contains(QStringLiteral("k3y-s3cr3t-42")))
            << "the key is never logged: " << line.toStdString();
}

TEST(SendDebugLogWindowRules, OnlyOnePlainAddressOrNoneIsAccepted)
{
    for (const char* good : {"", "ana@example.org", "first.last+tag@sub.example.co.uk"})
        EXPECT_TRUE(SendDebugLogWindowController::addressProblem(QString::fromUtf8(good)).isEmpty()) << good;
    for (const char* bad : {"ana", "ana@example", "ana@example.org\r\nBcc: x@y.z", "ana@example.org\n",
                            "\"ana\"@example.org", "ana@example.org, bob@example.org", "ana bob@example.org",
                            "Ana <ana@example.org>", "FENWAVE_BOUNDARY_STRING@example.org", "@example.org"})
        EXPECT_FALSE(SendDebugLogWindowController::addressProblem(QString::fromUtf8(bad)).isEmpty()) << bad;
}

TEST(DebugLogFile, TheNewestThreeJoinOldestFirstAndAnUnreadableOneKeepsItsNumber)
{
    QTemporaryDir folder;
    QStringList newestFirst;
    for (int file = 5; file >= 1; --file) {
        const QString path = folder.filePath(QStringLiteral("log-00000%1.txt").arg(file));
        writeFile(path, QStringLiteral("log %1\n").arg(file).toUtf8());
        newestFirst.append(path);
    }
    LogCapture capture;
    const QString joined = FNWAppDelegate::joinNewestLogFiles(newestFirst, folder.path());
    EXPECT_EQ(joined, folder.filePath(QStringLiteral("fenwave_log.txt")));
    EXPECT_EQ(readFile(joined), QByteArray("****************Details of Log file (1) **********\n\nlog 3\n"
                                           "****************Details of Log file (2) **********\n\nlog 4\n"
                                           "****************Details of Log file (3) **********\n\nlog 5\n"));
    EXPECT_EQ(capture.messages().filter(QStringLiteral("Debug Log files: (")).size(), 1);

    // Rewritten each time; a file that cannot be read adds nothing but keeps its number.
    QFile::remove(newestFirst[1]);
    EXPECT_EQ(readFile(FNWAppDelegate::joinNewestLogFiles(newestFirst, folder.path())),
              QByteArray("****************Details of Log file (1) **********\n\nlog 3\n"
                         "****************Details of Log file (3) **********\n\nlog 5\n"));
    EXPECT_EQ(readFile(FNWAppDelegate::joinNewestLogFiles(newestFirst.mid(0, 1), folder.path())),
              QByteArray("****************Details of Log file (1) **********\n\nlog 5\n"));
}

} // namespace
