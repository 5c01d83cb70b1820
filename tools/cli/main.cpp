// fenwave-cli: Fenwave's presets, agents, profiles, runs and history from a terminal. It shares
// the application's support folder (database, logs, installed iperf wrappers) and settings.

#include "FNWCli.h"

#include "base/FNWExecutableInstall.h"
#include "base/FNWUtils.h"
#include "db/DBUtils.h"
#include "db/FNWBaseModel.h"
#include "db/FNWDeferredWrites.h"
#include "support/DDFileLogger.h"
#include "support/DDLog.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <csignal>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

using namespace fnw::cli;

namespace {

struct Command
{
    const char* summary;
    std::function<void(QCommandLineParser&)> addOptions;
    // Reads the parsed words into the request; false (with the complaint) for a usage error.
    std::function<bool(const QCommandLineParser&, FNWCliRequest&, QString*)> read;
    std::function<int(const FNWCliRequest&)> run;
    bool needsExecutables = false;
};

const QCommandLineOption kDataDir(QStringLiteral("data-dir"),
                                  QStringLiteral("Keep the database and logs in <dir> instead of the application's "
                                                 "support folder."),
                                  QStringLiteral("dir"));
const QCommandLineOption kJson(QStringLiteral("json"), QStringLiteral("Print JSON for other programs."));

void addJson(QCommandLineParser& parser)
{
    parser.addOption(kJson);
}

bool noPositionals(const QCommandLineParser& parser, QString* error)
{
    if (parser.positionalArguments().isEmpty())
        return true;
    *error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
    return false;
}

bool readExecutionID(const QCommandLineParser& parser, FNWCliRequest& request, QString* error)
{
    const QStringList words = parser.positionalArguments();
    if (words.size() != 1) {
        *error = words.isEmpty() ? QStringLiteral("an execution ID is needed (see 'fenwave-cli history')")
                                 : QStringLiteral("unexpected argument '%1'").arg(words.at(1));
        return false;
    }
    if (!parseExecutionID(words.first(), &request.executionID)) {
        *error = QStringLiteral("'%1' is not an execution ID (a whole number above 0)").arg(words.first());
        return false;
    }
    return true;
}

std::map<QString, Command> commands()
{
    std::map<QString, Command> all;
    const auto listing = [](const char* summary, std::function<int(const FNWCliRequest&)> run) {
        return Command{summary, addJson,
                       [](const QCommandLineParser& parser, FNWCliRequest& request, QString* error) {
                           request.json = parser.isSet(kJson);
                           return noPositionals(parser, error);
                       },
                       std::move(run)};
    };
    const auto ofOneExecution = [](const char* summary, std::function<int(const FNWCliRequest&)> run) {
        return Command{summary, addJson,
                       [](const QCommandLineParser& parser, FNWCliRequest& request, QString* error) {
                           request.json = parser.isSet(kJson);
                           return readExecutionID(parser, request, error);
                       },
                       std::move(run)};
    };
    all[QStringLiteral("presets")] = listing("List the saved presets.", listPresets);
    all[QStringLiteral("agents")] = listing("List the agents.", listAgents);
    all[QStringLiteral("profiles")] = listing("List the saved test profiles and their tests.", listProfiles);

    all[QStringLiteral("history")] = Command{
        "List executions, newest first, with their summary figures.",
        [](QCommandLineParser& parser) {
            addJson(parser);
            parser.addOption({QStringLiteral("limit"), QStringLiteral("Only the <n> newest executions."),
                              QStringLiteral("n")});
        },
        [](const QCommandLineParser& parser, FNWCliRequest& request, QString* error) {
            request.json = parser.isSet(kJson);
            if (parser.isSet(QStringLiteral("limit"))) {
                const QString text = parser.value(QStringLiteral("limit"));
                if (!parseExecutionID(text, &request.limit)) {
                    *error = QStringLiteral("--limit needs a whole number above 0, not '%1'").arg(text);
                    return false;
                }
            }
            return noPositionals(parser, error);
        },
        listHistory};

    all[QStringLiteral("show")] =
        ofOneExecution("Print one execution's tests, settings and interval results.", showExecution);

    all[QStringLiteral("export")] = Command{
        "Write one execution as the window's CSV documents or as JSON.",
        [](QCommandLineParser& parser) {
            parser.addOption({QStringLiteral("csv"), QStringLiteral("Write the interval results CSV to <file>."),
                              QStringLiteral("file")});
            parser.addOption({QStringLiteral("summary-csv"), QStringLiteral("Write the summary CSV to <file>."),
                              QStringLiteral("file")});
            parser.addOption({QStringLiteral("json"),
                              QStringLiteral("Write the execution with every interval as JSON to <file>."),
                              QStringLiteral("file")});
        },
        [](const QCommandLineParser& parser, FNWCliRequest& request, QString* error) {
            request.csvPath = parser.value(QStringLiteral("csv"));
            request.summaryCsvPath = parser.value(QStringLiteral("summary-csv"));
            request.jsonPath = parser.value(QStringLiteral("json"));
            if (request.csvPath.isEmpty() && request.summaryCsvPath.isEmpty() && request.jsonPath.isEmpty()) {
                *error = QStringLiteral("say where to write: --csv FILE, --summary-csv FILE or --json FILE");
                return false;
            }
            return readExecutionID(parser, request, error);
        },
        exportExecution};

    all[QStringLiteral("delete")] = ofOneExecution("Delete one execution with all its results.", deleteExecution);

    all[QStringLiteral("run")] = Command{
        "Run a saved profile, or presets against agents, printing results as they arrive.",
        [](QCommandLineParser& parser) {
            parser.addOption({QStringLiteral("json"),
                              QStringLiteral("Stream one JSON object per line: each interval, each outcome, the end.")});
            parser.addOption({QStringLiteral("profile"), QStringLiteral("Run the saved test profile <name>."),
                              QStringLiteral("name")});
            parser.addOption({QStringLiteral("agent"),
                              QStringLiteral("A target: an IPv4 address, with :port for an iperf3 port other than "
                                             "the agent's. Pairs with the --preset given in the same place."),
                              QStringLiteral("addr[:port]")});
            parser.addOption({QStringLiteral("preset"), QStringLiteral("The saved preset <name> for the --agent it pairs with."),
                              QStringLiteral("name")});
            parser.addOption({QStringLiteral("together"),
                              QStringLiteral("Run every agent and preset pair at the same time (one after another "
                                             "otherwise).")});
            parser.addOption({QStringLiteral("iperf2"), QStringLiteral("Run iperf2 for this run only.")});
        },
        [](const QCommandLineParser& parser, FNWCliRequest& request, QString* error) {
            request.json = parser.isSet(kJson);
            request.profileName = parser.value(QStringLiteral("profile"));
            request.agents = parser.values(QStringLiteral("agent"));
            request.presets = parser.values(QStringLiteral("preset"));
            request.together = parser.isSet(QStringLiteral("together"));
            request.iperf2 = parser.isSet(QStringLiteral("iperf2"));
            if (!noPositionals(parser, error))
                return false;
            if (parser.isSet(QStringLiteral("profile"))) {
                if (request.profileName.trimmed().isEmpty()) {
                    *error = QStringLiteral("--profile needs a profile name");
                    return false;
                }
                if (!request.agents.isEmpty() || !request.presets.isEmpty() || request.together) {
                    *error = QStringLiteral("--profile runs a saved profile; it takes no --agent, --preset or --together");
                    return false;
                }
                return true;
            }
            if (request.agents.isEmpty() || request.agents.size() != request.presets.size()) {
                *error = QStringLiteral("give --profile NAME, or one --preset NAME for each --agent ADDR[:PORT]");
                return false;
            }
            for (const QString& agent : request.agents) {
                FNWAgentAddress address;
                if (!parseAgentAddress(agent, &address, error))
                    return false;
            }
            return true;
        },
        runTests, true};
    return all;
}

QString generalHelp(const std::map<QString, Command>& all)
{
    QString text = QStringLiteral("Usage: fenwave-cli [--data-dir DIR] <command> [options]\n\n"
                                  "Fenwave's measurements and history from a terminal.\n\nCommands:\n");
    for (const auto& [name, command] : all)
        text += QStringLiteral("  %1%2\n").arg(name, -10).arg(QLatin1String(command.summary));
    text += QStringLiteral("\n'fenwave-cli <command> --help' tells a command's options. Exit status: 0 when every "
                           "test finished,\n1 when a test failed or something could not be read or written, 2 for "
                           "a usage error,\n3 when the run was interrupted.\n");
    return text;
}

// The application's rolling log files in the support folder; standard error stays for the user.
void startLogging(const QStringList& arguments)
{
    auto manager = std::make_shared<DDLogFileManagerDefault>(FNWUtils::applicationSupportDirectory());
    auto fileLogger = std::make_shared<DDFileLogger>(manager);
    fileLogger->setRollingFrequency(60 * 60 * 24);
    manager->setMaximumNumberOfLogFiles(7);
    DDLog::sharedInstance().addLogger(fileLogger);
    DDLogInfo("fenwave-cli %@: %@", QStringLiteral(FENWAVE_VERSION), arguments.join(u' '));
}

int usageError(const QString& message)
{
    printError(message);
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    // A reader that goes away (`| head`) shows as a failed write, not as a killed process.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Fenwave"));
    QCoreApplication::setApplicationName(QStringLiteral("fenwave-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FENWAVE_VERSION));

    const std::map<QString, Command> all = commands();
    const QStringList arguments = QCoreApplication::arguments();

    // The words before the command: the data folder, help and version.
    QCommandLineParser top;
    top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    top.addOption(kDataDir);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    top.addOption(help);
    top.addOption(version);
    if (!top.parse(arguments))
        return usageError(top.errorText());
    if (top.isSet(version)) {
        printLine(QStringLiteral("fenwave-cli %1").arg(QStringLiteral(FENWAVE_VERSION)));
        return kExitOk;
    }
    const QStringList words = top.positionalArguments();
    if (words.isEmpty()) {
        if (!top.isSet(help))
            return usageError(QStringLiteral("a command is needed; 'fenwave-cli --help' lists them"));
        std::fputs(generalHelp(all).toUtf8().constData(), stdout);
        return kExitOk;
    }
    const auto found = all.find(words.first());
    if (found == all.end())
        return usageError(QStringLiteral("'%1' is not a command; 'fenwave-cli --help' lists them").arg(words.first()));
    const Command& command = found->second;

    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(command.summary));
    parser.addHelpOption();
    parser.addOption(kDataDir);
    command.addOptions(parser);
    if (!parser.parse(QStringList{arguments.first()} + words.mid(1)))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QString text = parser.helpText();
        text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")), QStringLiteral("Usage: fenwave-cli ") + found->first);
        std::fputs(text.toUtf8().constData(), stdout);
        return kExitOk;
    }
    FNWCliRequest request;
    request.command = found->first;
    QString error;
    if (!command.read(parser, request, &error))
        return usageError(error);

    const QString dataDir = parser.isSet(kDataDir) ? parser.value(kDataDir) : top.value(kDataDir);
    if (parser.isSet(kDataDir) || top.isSet(kDataDir)) {
        if (dataDir.trimmed().isEmpty())
            return usageError(QStringLiteral("--data-dir needs a folder"));
        FNWUtils::setApplicationSupportDirectory(dataDir);
    }

    // The application's start-up, less its window: logs, defaults, database, and for a run the
    // iperf wrappers.
    startLogging(arguments);
    FNWUtils::registerDefaults(FNWUtils::loadDefaultsResource());
    QString movedAside;
    if (const QString problem = DBUtils::prepareDatabase(&movedAside); !problem.isEmpty()) {
        DDLogError("fenwave-cli: nothing can be stored, %@", problem);
        DDLog::sharedInstance().flushLog();
        printError(QStringLiteral("nothing can be read or stored: %1").arg(problem));
        return kExitFailed;
    }
    if (!movedAside.isEmpty())
        printError(QStringLiteral("the database could not be read and was moved to %1; starting with an empty one")
                       .arg(movedAside));
    DBUtils::repairInterruptedRuns();
    if (command.needsExecutables)
        fnw::base::copyiPerfExecutableToAppSupportDir();

    const int status = command.run(request);
    // Rows kept back while the window held the database get their last chance to go in.
    if (!FNWDeferredWrites::shared().flush(std::chrono::seconds(5)))
        DDLogError("fenwave-cli: %ld changes were never written: another program held the database until exit",
                   static_cast<long>(FNWDeferredWrites::shared().count()));
    FNWBaseModel::closeFMDB();
    FNWUtils::clearTmpDirectory();
    DDLog::sharedInstance().flushLog();
    return status;
}
