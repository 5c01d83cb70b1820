#include "FNWAgentConfig.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#include <arpa/inet.h>

#include <set>

namespace fnw::agent {

namespace {

bool isNumericAddress(const QString& text)
{
    const QByteArray address = text.toLatin1();
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, address.constData(), buffer) == 1 ||
           inet_pton(AF_INET6, address.constData(), buffer) == 1;
}

bool readNumber(const QCommandLineParser& parser, const QString& option, long long minimum, long long maximum,
                long long* value, QString* error)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const long long number = parser.value(option).toLongLong(&ok);
    if (!ok || number < minimum || number > maximum) {
        *error = QStringLiteral("invalid value '%1' for --%2 (expected %3..%4)")
                     .arg(parser.value(option), option)
                     .arg(minimum)
                     .arg(maximum);
        return false;
    }
    *value = number;
    return true;
}

bool readPort(const QCommandLineParser& parser, const QString& option, long long minimum, std::uint16_t* port,
              QString* error)
{
    long long value = *port;
    if (!readNumber(parser, option, minimum, 65535, &value, error))
        return false;
    *port = static_cast<std::uint16_t>(value);
    return true;
}

bool readDuration(const QCommandLineParser& parser, const QString& option, long long minimum,
                  std::chrono::milliseconds* duration, QString* error)
{
    long long value = duration->count();
    if (!readNumber(parser, option, minimum, 3'600'000, &value, error))
        return false;
    *duration = std::chrono::milliseconds(value);
    return true;
}

} // namespace

FNWAgentCommand parseAgentArguments(const QStringList& arguments, FNWAgentConfig* config, QString* error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {{QStringLiteral("h"), QStringLiteral("help")}, QString()},
        {QStringLiteral("name"), QString(), QStringLiteral("NAME")},
        {QStringLiteral("bind"), QString(), QStringLiteral("ADDR")},
        {QStringLiteral("iperf3-port"), QString(), QStringLiteral("N")},
        {QStringLiteral("tcp-port"), QString(), QStringLiteral("N")},
        {QStringLiteral("udp-port"), QString(), QStringLiteral("N")},
        {QStringLiteral("wifi-port"), QString(), QStringLiteral("N")},
        {QStringLiteral("iperf3"), QString(), QStringLiteral("PATH")},
        {QStringLiteral("iperf"), QString(), QStringLiteral("PATH")},
        // --idle-timeout is the name older scripts know it by.
        {{QStringLiteral("request-timeout"), QStringLiteral("idle-timeout")}, QString(), QStringLiteral("MS")},
        {QStringLiteral("restart-delay"), QString(), QStringLiteral("MS")},
        {QStringLiteral("max-connections"), QString(), QStringLiteral("N")},
        {QStringLiteral("max-per-address"), QString(), QStringLiteral("N")},
        {QStringLiteral("no-announce"), QString()},
    });
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return FNWAgentCommand::Invalid;
    }
    if (parser.isSet(QStringLiteral("help")))
        return FNWAgentCommand::Help;
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst());
        return FNWAgentCommand::Invalid;
    }

    FNWAgentConfig result;
    result.name =
        parser.isSet(QStringLiteral("name")) ? parser.value(QStringLiteral("name")) : QSysInfo::machineHostName();
    if (result.name.isEmpty()) {
        *error = QStringLiteral("the agent name must not be empty");
        return FNWAgentCommand::Invalid;
    }
    result.bindAddress = parser.value(QStringLiteral("bind"));
    if (parser.isSet(QStringLiteral("bind")) && !isNumericAddress(result.bindAddress)) {
        *error = QStringLiteral("invalid value '%1' for --bind (expected a numeric IPv4 or IPv6 address)")
                     .arg(result.bindAddress);
        return FNWAgentCommand::Invalid;
    }
    result.announce = !parser.isSet(QStringLiteral("no-announce"));
    result.iperf3Program = parser.value(QStringLiteral("iperf3"));
    result.iperfProgram = parser.value(QStringLiteral("iperf"));
    long long maxConnections = result.maxConnections;
    long long maxPerAddress = result.maxConnectionsPerAddress;
    if (!readPort(parser, QStringLiteral("iperf3-port"), 1, &result.iperf3Port, error) ||
        !readPort(parser, QStringLiteral("tcp-port"), 1, &result.iperfTcpPort, error) ||
        !readPort(parser, QStringLiteral("udp-port"), 1, &result.iperfUdpPort, error) ||
        !readPort(parser, QStringLiteral("wifi-port"), 0, &result.wifiPort, error) ||
        !readDuration(parser, QStringLiteral("request-timeout"), 1, &result.requestTimeout, error) ||
        !readDuration(parser, QStringLiteral("restart-delay"), 1, &result.restartDelay, error) ||
        !readNumber(parser, QStringLiteral("max-connections"), 1, 10000, &maxConnections, error) ||
        !readNumber(parser, QStringLiteral("max-per-address"), 1, 10000, &maxPerAddress, error))
        return FNWAgentCommand::Invalid;
    result.maxConnections = static_cast<int>(maxConnections);
    result.maxConnectionsPerAddress = static_cast<int>(maxPerAddress);

    // iperf3 also takes UDP tests on its port, so all four ports must differ.
    std::set<std::uint16_t> ports{result.iperf3Port, result.iperfTcpPort, result.iperfUdpPort};
    if (ports.size() != 3 || (result.wifiPort != 0 && !ports.insert(result.wifiPort).second)) {
        *error = QStringLiteral("the iperf3, TCP, UDP and Wi-Fi ports must all differ");
        return FNWAgentCommand::Invalid;
    }
    *config = result;
    return FNWAgentCommand::Run;
}

QString agentUsage()
{
    return QStringLiteral(
        "Usage: fenwave-agent [OPTIONS]\n"
        "Runs the iperf3 and iperf servers that Fenwave measures against, restarting any that exits,\n"
        "and answers Fenwave's Wi-Fi query with this computer's network name and access point.\n"
        "\n"
        "Options:\n"
        "  --name NAME            agent name (default: the host name)\n"
        "  --bind ADDR            listen on this address only (default: every interface)\n"
        "  --iperf3-port N        iperf3 server port (default 5201)\n"
        "  --tcp-port N           iperf TCP server port (default 5001)\n"
        "  --udp-port N           iperf UDP server port (default 5002)\n"
        "  --wifi-port N          Wi-Fi query port (default 5208; 0 picks a free port)\n"
        "  --iperf3 PATH          iperf3 program (default: iperf3 on PATH)\n"
        "  --iperf PATH           iperf 2 program (default: iperf on PATH)\n"
        "  --request-timeout MS   close a Wi-Fi query connection that has not sent its whole request\n"
        "                         this long after connecting (default 5000)\n"
        "  --restart-delay MS     first wait before restarting a server, doubling up to 30 s (default 1000)\n"
        "  --max-connections N    simultaneous Wi-Fi query connections (default 256)\n"
        "  --max-per-address N    simultaneous Wi-Fi query connections from one address (default 64);\n"
        "                         past either limit a newcomer closes the oldest one still without a request\n"
        "  --no-announce          do not announce the agent over mDNS (by default Fenwave finds it as\n"
        "                         \"NAME,IPERF3-PORT,ADDRESS\" under _FenwaveServer._tcp, one\n"
        "                         announcement per IPv4 address it serves, through avahi-daemon)\n"
        "  -h, --help             show this text\n"
        "\n"
        "SIGTERM or SIGINT stops the servers and exits. Exit status: 0 on a clean stop, 1 when the\n"
        "agent cannot start, 2 for an invalid command line.\n");
}

QString resolveAgentTool(const QString& toolName, const QString& configured, QString* error)
{
    if (!configured.isEmpty()) {
        const QFileInfo info(configured);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
        *error = QStringLiteral("%1 not found at %2 (no executable file there)").arg(toolName, configured);
        return {};
    }
    const QString found = QStandardPaths::findExecutable(toolName);
    if (found.isEmpty())
        *error = QStringLiteral("%1 not found on PATH (install it, or pass --%1 PATH)").arg(toolName);
    return found;
}

QString displayAddress(const QString& address, std::uint16_t port)
{
    if (address.isEmpty())
        return QStringLiteral("*:%1").arg(port);
    if (address.contains(QLatin1Char(':')))
        return QStringLiteral("[%1]:%2").arg(address).arg(port);
    return QStringLiteral("%1:%2").arg(address).arg(port);
}

} // namespace fnw::agent
