#include "FNWAgent.h"

#include "FNWAgentAnnouncer.h"
#include "FNWAgentIperfServer.h"
#include "FNWAgentSupport.h"
#include "FNWAgentWiFiServer.h"

#include <QDeadlineTimer>

namespace fnw::agent {

FNWAgent::FNWAgent(FNWAgentConfig config, QObject* parent)
    : QObject(parent)
    , m_config(std::move(config))
{
}

FNWAgent::~FNWAgent()
{
    stop();
}

bool FNWAgent::start()
{
    QString error;
    const QString iperf3 = resolveAgentTool(QStringLiteral("iperf3"), m_config.iperf3Program, &error);
    const QString iperf =
        iperf3.isEmpty() ? QString() : resolveAgentTool(QStringLiteral("iperf"), m_config.iperfProgram, &error);
    if (iperf3.isEmpty() || iperf.isEmpty()) {
        agentLog(error);
        return false;
    }

    FNWAgentWiFiServer::Settings settings;
    settings.bindAddress = m_config.bindAddress;
    settings.port = m_config.wifiPort;
    settings.requestTimeout = m_config.requestTimeout;
    settings.maxConnections = m_config.maxConnections;
    settings.maxConnectionsPerAddress = m_config.maxConnectionsPerAddress;
    m_wifiServer = std::make_unique<FNWAgentWiFiServer>(settings, [this] { return m_wifiSource.reply(); });
    if (!m_wifiServer->listen(&error)) {
        agentLog(error);
        m_wifiServer.reset();
        return false;
    }
    m_wifiSource.start();
    agentLog(QStringLiteral("agent \"%1\" answers Wi-Fi queries on %2")
                 .arg(m_config.name, displayAddress(m_config.bindAddress, m_wifiServer->port())));

    QStringList bind;
    if (!m_config.bindAddress.isEmpty())
        bind = {QStringLiteral("-B"), m_config.bindAddress};
    // iperf 2 serves an IPv6 address only with -V; iperf3 needs nothing.
    const QStringList iperfBind =
        m_config.bindAddress.contains(QLatin1Char(':')) ? bind + QStringList{QStringLiteral("-V")} : bind;
    const auto add = [&](const QString& label, const QString& program, QStringList arguments, std::uint16_t port,
                         bool oneTestPerRun = false) {
        const bool isIperf3 = label == QLatin1String("iperf3");
        FNWAgentIperfServer::Setup setup{label, program, arguments + (isIperf3 ? bind : iperfBind), port,
                                         oneTestPerRun};
        m_iperfServers.push_back(std::make_unique<FNWAgentIperfServer>(setup, m_config.restartDelay));
    };
    // A taken iperf port is not fatal: that server exits at once, its own error line is logged and
    // the back-off retries it until the port is free, while the other servers and the Wi-Fi query
    // keep working.
    add(QStringLiteral("iperf3"), iperf3,
        {QStringLiteral("-s"), QStringLiteral("-p"), QString::number(m_config.iperf3Port)}, m_config.iperf3Port);
    add(QStringLiteral("iperf TCP"), iperf,
        {QStringLiteral("-s"), QStringLiteral("-p"), QString::number(m_config.iperfTcpPort)}, m_config.iperfTcpPort);
    // iperf 2.1.8's UDP server crashes when its second client arrives, failing every other test; a
    // fresh server for each test ("-P 1": serve one client, then exit) serves them all.
    add(QStringLiteral("iperf UDP"), iperf,
        {QStringLiteral("-s"), QStringLiteral("-u"), QStringLiteral("-P"), QStringLiteral("1"), QStringLiteral("-p"),
         QString::number(m_config.iperfUdpPort)},
        m_config.iperfUdpPort, true);
    for (const auto& server : m_iperfServers)
        server->start();
    if (m_config.announce) {
        m_announcer = std::make_unique<FNWAgentAnnouncer>(m_config);
        m_announcer->start();
    }
    return true;
}

void FNWAgent::stop()
{
    // Withdrawn first, so nobody is sent to servers that are going.
    m_announcer.reset();
    if (m_wifiServer)
        m_wifiServer->close();
    // Every server gets SIGTERM first, so they all end within one grace time.
    for (const auto& server : m_iperfServers)
        server->requestStop();
    const QDeadlineTimer deadline(kStopGrace);
    for (const auto& server : m_iperfServers)
        server->finishStop(deadline);
    m_iperfServers.clear();
    m_wifiServer.reset();
    m_wifiSource.stop();
}

} // namespace fnw::agent
