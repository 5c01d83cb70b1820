#include "FNWAgent.h"
#include "FNWAgentConfig.h"
#include "FNWAgentSupport.h"
#include "support/FNWSignalWatcher.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

using namespace fnw::agent;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FNWAgentConfig config;
    QString error;
    switch (parseAgentArguments(app.arguments(), &config, &error)) {
    case FNWAgentCommand::Help:
        std::fputs(agentUsage().toLocal8Bit().constData(), stdout);
        return 0;
    case FNWAgentCommand::Invalid:
        agentLog(error + QStringLiteral("\nTry 'fenwave-agent --help' for the options."));
        return 2;
    case FNWAgentCommand::Run:
        break;
    }

    FNWAgent agent(config);
    // Installed before any server starts, so a signal during start-up still stops them all.
    FNWSignalWatcher signalWatcher([&](int signalNumber) {
        agentLog(QStringLiteral("%1 received; stopping").arg(signalNumber == SIGINT ? "SIGINT" : "SIGTERM"));
        agent.stop();
        QCoreApplication::exit(0);
    });
    if (!signalWatcher.install(&error)) {
        agentLog(error);
        return 1;
    }
    if (!agent.start())
        return 1;
    return app.exec();
}
