#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class FNWAvahiPoll;
class QSocketNotifier;
class Server;
struct AvahiClient;
struct AvahiEntryGroup;
struct AvahiServiceBrowser;

// What went wrong, with the error domain and code it is known by.
struct ServerError
{
    QString domain;
    int code = 0;
    QString message;

    // "ServerErrorDomain 1: the listening socket cannot be bound"
    QString description() const;
};

// A service seen by the browser: its instance name, type and domain.
struct ServerService
{
    QString name;
    QString type;
    QString domain;
};

// Told, on the thread that made the server, what happens to it and what the browser sees.
class ServerDelegate
{
public:
    virtual ~ServerDelegate() = default;
    virtual void serverRemoteConnectionComplete(Server* server) = 0;
    virtual void serverStopped(Server* server) = 0;
    virtual void serverDidNotStart(Server* server, const ServerError& error) = 0;
    // No error: the other side ended the connection.
    virtual void serverLostConnection(Server* server, const std::optional<ServerError>& error) = 0;
    virtual void serviceAdded(const ServerService& service, bool moreComing) = 0;
    virtual void serviceRemoved(const ServerService& service, bool moreComing) = 0;
};

// Publishes this computer over DNS-SD (through avahi-daemon) with a listening TCP socket, and
// browses the same service type in "local" once the publication stands, skipping its own.
// The same service seen on several interfaces or over IPv4 and IPv6 is reported once, and
// reported gone when its last copy goes. When avahi-daemon is not there the server waits for
// it; when it goes away (a restart) the client is made anew, publishes and browses again.
class Server final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Server)

public:
    static constexpr char kErrorDomain[] = "ServerErrorDomain";
    static constexpr char kAvahiErrorDomain[] = "AvahiErrorDomain";
    enum ErrorCode { kCouldNotBindToIPv4Address = 1, kNoSocketsAvailable = 3 };

    explicit Server(QObject* parent = nullptr);
    ~Server() override;

    // Type "_<protocol>._tcp.", the default domain, and the requested publication name (empty:
    // the computer's name).
    void initWithProtocol(const QString& protocolName, const QString& name);
    void initWithDomainName(const QString& domain, const QString& protocol, const QString& name);
    void setDelegate(ServerDelegate* delegate) { m_delegate = delegate; }

    // Listens and publishes; false with the error when the socket cannot be made or bound.
    bool start(ServerError* error);
    // Withdraws the publication, closes the sockets, tells the delegate.
    void stop();
    // Ends browsing and the publication.
    void stopBrowser();

    QString domain() const { return m_domain; }
    QString protocol() const { return m_protocol; }
    // The publication's name once it stands.
    QString name() const { return m_name; }
    quint16 port() const { return m_port; }
    int payloadSize() const { return m_payloadSize; }
    bool isPublished() const { return !m_localService.isEmpty(); }
    bool isBrowsing() const { return m_browser != nullptr; }

    // What the browser reports, one event at a time; the browser calls this, and tests drive it.
    enum class BrowseEvent { Found, Gone };
    struct BrowseResult
    {
        BrowseEvent event = BrowseEvent::Found;
        int interfaceIndex = -1;
        int ipProtocol = -1;
        QString name;
        QString type;
        QString domain;
        // Published by this very client.
        bool ourOwn = false;
    };
    void browserDidReport(const BrowseResult& result);
    // The publication stands under the name (its own results are skipped from now on).
    void publicationDidConfirm(const QString& name);

private:
    struct Bridge;
    friend struct Bridge;

    void connectToDaemon();
    void clientStateChanged(AvahiClient* client, int state);
    void publish();
    void withdraw();
    void startBrowsing();
    void dropClient();
    void acceptConnection();
    void readConnection();
    void closeConnection();
    void closeListeningSocket();

    ServerDelegate* m_delegate = nullptr;
    QString m_domain;
    QString m_protocol;
    QString m_name;
    QString m_iPerfIP;
    quint16 m_port = 0;
    int m_payloadSize = 128;
    bool m_outputStreamHasSpace = false;
    QString m_localService;
    QString m_requestedName;

    std::unique_ptr<FNWAvahiPoll> m_avahiPoll;
    AvahiClient* m_client = nullptr;
    AvahiEntryGroup* m_netService = nullptr;
    AvahiServiceBrowser* m_browser = nullptr;
    bool m_wantsPublication = false;
    // Copies per service ("name\ntype\ndomain"), over interfaces and protocols.
    QHash<QString, int> m_copies;

    int m_listeningSocket = -1;
    std::unique_ptr<QSocketNotifier> m_listeningNotifier;
    int m_connection = -1;
    std::unique_ptr<QSocketNotifier> m_connectionNotifier;
};
