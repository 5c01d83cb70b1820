#include "FNWAgentConfig.h"

#include "FNWTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace fnw::agent;

namespace {

TEST(FNWAgentConfigFile, TheFileSetsTheOptionsAndTheCommandLineWins)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("agent.conf"));
    fnw::test::writeFile(path,
                         "# the lab's agent\n[agent]\nname = Lab 2\nbind=10.0.0.2\n\n; ports\niperf3-port = 5301\n"
                         "wifi-port = 0\nannounce = no\n");
    FNWAgentConfig config;
    QString error;
    ASSERT_EQ(parseAgentArguments({QStringLiteral("fenwave-agent"), QStringLiteral("--config"), path,
                                   QStringLiteral("--iperf3-port"), QStringLiteral("5401")},
                                  &config, &error),
              FNWAgentCommand::Run)
        << error.toStdString();
    EXPECT_EQ(config.name, QStringLiteral("Lab 2"));
    EXPECT_EQ(config.bindAddress, QStringLiteral("10.0.0.2"));
    EXPECT_EQ(config.iperf3Port, 5401);
    EXPECT_EQ(config.wifiPort, 0);
    EXPECT_EQ(config.iperfTcpPort, 5001);
    EXPECT_FALSE(config.announce);

    // Each fault is named with its place; nothing runs.
    const struct
    {
        const char* text;
        const char* error;
    } faults[] = {
        {"name = Lab\nport = 5201\n", "agent.conf:2: expected one of the option names"},
        {"just words\n", "agent.conf:1: expected one of the option names"},
        {"tcp-port = 70000\n", "invalid value '70000' for --tcp-port"},
        {"bind = lab.example\n", "invalid value 'lab.example' for --bind"},
        {"announce = maybe\n", "invalid value 'maybe' for announce"},
    };
    for (const auto& fault : faults) {
        fnw::test::writeFile(path, fault.text);
        EXPECT_EQ(
            parseAgentArguments({QStringLiteral("fenwave-agent"), QStringLiteral("--config"), path}, &config, &error),
            FNWAgentCommand::Invalid)
            << fault.text;
        EXPECT_TRUE(error.contains(QString::fromLatin1(fault.error))) << error.toStdString();
    }
    EXPECT_EQ(parseAgentArguments({QStringLiteral("fenwave-agent"), QStringLiteral("--config"),
                                   folder.filePath(QStringLiteral("missing.conf"))},
                                  &config, &error),
              FNWAgentCommand::Invalid);
    EXPECT_TRUE(error.startsWith(QStringLiteral("cannot read the configuration file"))) << error.toStdString();
}

} // namespace
