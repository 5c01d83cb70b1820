#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>

namespace fnw::agent {

// Everything the agent is told at start. The mDNS announcement reads its name, the iperf3 port and
// the bind address from here: service type kServiceType, service name
// "<name>,<iperf3 port>,<IPv4 address with _ for .>".
struct FNWAgentConfig
{
    static constexpr const char* kServiceType = "_FenwaveServer._tcp.";

    QString name;
    // A numeric IPv4 or IPv6 address; empty for every interface.
    QString bindAddress;
    std::uint16_t iperf3Port = 5201;
    std::uint16_t iperfTcpPort = 5001;
    std::uint16_t iperfUdpPort = 5002;
    // 0 picks any free port, which the agent logs; tests use it to avoid collisions.
    std::uint16_t wifiPort = 5208;
    // Empty: found on PATH.
    QString iperf3Program;
    QString iperfProgram;
    std::chrono::milliseconds requestTimeout{5000};
    std::chrono::milliseconds restartDelay{1000};
    int maxConnections = 256;
    int maxConnectionsPerAddress = 64;
    bool announce = true;
};

enum class FNWAgentCommand { Run, Help, Invalid };

// Reads the configuration file and the command line (program name first, it wins over the file)
// into the configuration. Invalid fills the message.
FNWAgentCommand parseAgentArguments(const QStringList& arguments, FNWAgentConfig* config, QString* error);
QString agentUsage();
// The settings file read at start when it exists: /etc/fenwave/agent.conf for the /usr prefix.
QString defaultAgentConfigPath();

// The program to run for a tool: the configured path when it is an executable file, else the
// tool's name looked up on PATH. Empty, with the reason, when there is none.
QString resolveAgentTool(const QString& toolName, const QString& configured, QString* error);

// "127.0.0.1:5208", "[::1]:5208", "*:5208" when listening on every interface.
QString displayAddress(const QString& address, std::uint16_t port);

} // namespace fnw::agent
