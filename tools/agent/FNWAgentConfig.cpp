#include "FNWAgentConfig.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
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

// An option's value from the command line, else from the configuration file.
class AgentOptions
{
public:
    AgentOptions(const QCommandLineParser& parser, QHash<QString, QString> file)
        : m_parser(parser)
        , m_file(std::move(file))
    {
    }
    bool isSet(const QString& option) const { return m_parser.isSet(option) || m_file.contains(option); }
    QString value(const QString& option) const
    {
        return m_parser.isSet(option) ? m_parser.value(option) : m_file.value(option);
    }

private:
    const QCommandLineParser& m_parser;
    const QHash<QString, QString> m_file;
};

bool readNumber(const AgentOptions& parser, const QString& option, long long minimum, long long maximum,
                long long* value, QString* error)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const long long number = parser.value(option).trimmed().toLongLong(&ok);
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

bool readPort(const AgentOptions& parser, const QString& option, long long minimum, std::uint16_t* port, QString* error)
{
    long long value = *port;
    if (!readNumber(parser, option, minimum, 65535, &value, error))
        return false;
    *port = static_cast<std::uint16_t>(value);
    return true;
}

bool readDuration(const AgentOptions& parser, const QString& option, long long minimum,
                  std::chrono::milliseconds* duration, QString* error)
{
    long long value = duration->count();
    if (!readNumber(parser, option, minimum, 3'600'000, &value, error))
        return false;
    *duration = std::chrono::milliseconds(value);
    return true;
}

// "key = value" lines; blank lines and lines starting with "#" or ";" are skipped, a "[section]"
// header is ignored. Keys are the long option names.
bool readConfigFile(const QString& path, QHash<QString, QString>* values, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read the configuration file %1: %2").arg(path, file.errorString());
        return false;
    }
    static const QSet<QString> known{QStringLiteral("name"),
                                     QStringLiteral("bind"),
                                     QStringLiteral("iperf3-port"),
                                     QStringLiteral("tcp-port"),
                                     QStringLiteral("udp-port"),
                                     QStringLiteral("wifi-port"),
                                     QStringLiteral("iperf3"),
                                     QStringLiteral("iperf"),
                                     QStringLiteral("request-timeout"),
                                     QStringLiteral("restart-delay"),
                                     QStringLiteral("max-connections"),
                                     QStringLiteral("max-per-address"),
                                     QStringLiteral("announce")};
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')) ||
            (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals).trimmed();
        if (equals < 0 || !known.contains(key)) {
            *error = QStringLiteral("%1:%2: expected one of the option names and a value, as in 'name = lab-2'")
                         .arg(path)
                         .arg(number);
            return false;
        }
        values->insert(key, line.mid(equals + 1).trimmed());
    }
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
        {QStringLiteral("config"), QString(), QStringLiteral("FILE")},
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

    // The system-wide file when there is one, or the one named; the command line wins over both.
    QHash<QString, QString> fileValues;
    const QString configPath =
        parser.isSet(QStringLiteral("config")) ? parser.value(QStringLiteral("config")) : defaultAgentConfigPath();
    if ((parser.isSet(QStringLiteral("config")) || QFileInfo::exists(configPath)) &&
        !readConfigFile(configPath, &fileValues, error))
        return FNWAgentCommand::Invalid;
    const AgentOptions options(parser, fileValues);

    FNWAgentConfig result;
    result.name =
        options.isSet(QStringLiteral("name")) ? options.value(QStringLiteral("name")) : QSysInfo::machineHostName();
    if (result.name.isEmpty()) {
        *error = QStringLiteral("the agent name must not be empty");
        return FNWAgentCommand::Invalid;
    }
    result.bindAddress = options.value(QStringLiteral("bind"));
    if (options.isSet(QStringLiteral("bind")) && !isNumericAddress(result.bindAddress)) {
        *error = QStringLiteral("invalid value '%1' for --bind (expected a numeric IPv4 or IPv6 address)")
                     .arg(result.bindAddress);
        return FNWAgentCommand::Invalid;
    }
    const QString announce = fileValues.value(QStringLiteral("announce"), QStringLiteral("yes")).toLower();
    if (!QStringList{QStringLiteral("yes"), QStringLiteral("no"), QStringLiteral("true"), QStringLiteral("false")}
             .contains(announce)) {
        *error = QStringLiteral("invalid value '%1' for announce (expected yes or no)").arg(announce);
        return FNWAgentCommand::Invalid;
    }
    result.announce = !parser.isSet(QStringLiteral("no-announce")) &&
                      (announce == QLatin1String("yes") || announce == QLatin1String("true"));
    result.iperf3Program = options.value(QStringLiteral("iperf3"));
    result.iperfProgram = options.value(QStringLiteral("iperf"));
    long long maxConnections = result.maxConnections;
    long long maxPerAddress = result.maxConnectionsPerAddress;
    if (!readPort(options, QStringLiteral("iperf3-port"), 1, &result.iperf3Port, error) ||
        !readPort(options, QStringLiteral("tcp-port"), 1, &result.iperfTcpPort, error) ||
        !readPort(options, QStringLiteral("udp-port"), 1, &result.iperfUdpPort, error) ||
        !readPort(options, QStringLiteral("wifi-port"), 0, &result.wifiPort, error) ||
        !readDuration(options, QStringLiteral("request-timeout"), 1, &result.requestTimeout, error) ||
        !readDuration(options, QStringLiteral("restart-delay"), 1, &result.restartDelay, error) ||
        !readNumber(options, QStringLiteral("max-connections"), 1, 10000, &maxConnections, error) ||
        !readNumber(options, QStringLiteral("max-per-address"), 1, 10000, &maxPerAddress, error))
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

QString defaultAgentConfigPath()
{
#ifdef FENWAVE_AGENT_CONFIG_PATH
    return QStringLiteral(FENWAVE_AGENT_CONFIG_PATH);
#else
    return QStringLiteral("/etc/fenwave/agent.conf");
#endif
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
               "  --config FILE          read these options from FILE, one \"option = value\" per line\n"
               "                         (default: ") +
           defaultAgentConfigPath() +
           QStringLiteral(
               " when it exists;\n"
               "                         announce = no is --no-announce); the command line wins over it\n"
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
