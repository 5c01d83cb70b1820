// The argument list, the option mapping and the shell command a run builds.

#include "FNWEngineTestSupport.h"
#include "FNWTestSupport.h"

#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace fnw::test;

namespace {

void useIperfVersion(qint64 version)
{
    FNWUtils::setUserSetting(version, QLatin1String(kiPerfVersionKey));
}

struct OptionRow
{
    const char* key;
    qint64 value;
    const char* iperf3;
    const char* iperf2;
};

} // namespace

TEST(PerfTestOptions, MapsEveryKeyForBothVersionsAndNoneForOthers)
{
    const OptionRow rows[] = {
        {"duration", 10, "-t10", "-t10"},
        {"duration", 2, "-t2", "-t2"},
        {"duration", 1, "", ""},
        {"duration", -1, "", ""},
        {"test_type", 1, "-u", "-u"},
        {"test_type", 0, "", ""},
        {"direction", 1, "-R", ""},
        {"direction", 0, "", ""},
        {"number_of_byte", 100, "-n100M", "-n100M"},
        {"number_of_byte", 0, "", ""},
        {"number_of_byte", -1, "", ""},
        {"datagram_size", 8, "", ""},
        {"send_bw", 0, "-b0M", "-b0M"},
        {"send_bw", 50, "-b50M", "-b50M"},
        {"send_bw", -1, "", ""},
        {"data_format", 0, "", "-fb"},
        {"data_format", 3, "", "-fb"},
        {"buffer_length", 128, "-l128KB", ""},
        {"buffer_length", 0, "", ""},
        {"tcp_window_size", 64, "-w64KB", "-w64KB"},
        {"tcp_window_size", -1, "", ""},
        {"tcp_max_segment_size", 1460, "-M MSS-1460", "-M MSS-1460"},
        {"tcp_max_segment_size", 0, "", ""},
        {"no_tcp_delay", 1, "-N", "-N"},
        {"no_tcp_delay", 0, "", ""},
        {"time_interval", 1, "-i1", "-i1"},
        {"time_interval", 0, "", ""},
        {"unknown", 5, "", ""},
    };
    for (const qint64 version : {0, 1, 2}) {
        useIperfVersion(version);
        for (const OptionRow& row : rows) {
            const char* expected = version == 0 ? row.iperf3 : version == 1 ? row.iperf2 : "";
            EXPECT_EQ(FNWUtils::getOptionValueFromPropName(QLatin1String(row.key), row.value), QLatin1String(expected))
                << "version " << version << ", " << row.key << " = " << row.value;
        }
    }
}

TEST(PerfTestArguments, BuildsTheListForIperf3AndIperf2)
{
    struct Case
    {
        qint64 version;
        const char* edits; // "field=value ..." on a timed TCP preset of 10 seconds
        QStringList expected;
    };
    const Case cases[] = {
        {0, "", {"./iperf3 ", "-c", "10.0.0.5", "-t10", "-i1", "-p5201"}},
        {0, "test_type=1", {"./iperf3 ", "-c", "10.0.0.5", "-t10", "-u", "-i1", "-p5201"}},
        {0, "test_type=1 send_bw=0", {"./iperf3 ", "-c", "10.0.0.5", "-t10", "-u", "-b0M", "-i1", "-p5201"}},
        {0,
         "number_of_byte=100 direction=1 buffer_length=128 tcp_window_size=64 tcp_max_segment_size=1460 no_tcp_delay=1",
         {"./iperf3 ", "-c", "10.0.0.5", "-R", "-n100M", "-l128KB", "-w64KB", "-M MSS-1460", "-N", "-i1", "-p5201"}},
        {0, "duration=1", {"./iperf3 ", "-c", "10.0.0.5", "-i1", "-p5201"}},
        {1,
         "test_type=1 direction=1 buffer_length=128",
         {"./iperf2 ", "-c", "10.0.0.5", "-t10", "-u", "-fb", "-i1", "-p5002"}},
        {1, "", {"./iperf2 ", "-c", "10.0.0.5", "-t10", "-fb", "-i1", "-p5001"}},
        {2, "test_type=1", {"./iperf3 ", "-c", "10.0.0.5", "-p5201"}}, // another version: no options
    };
    for (const Case& c : cases) {
        useIperfVersion(c.version);
        auto preset = timedPreset(10);
        for (const QString& edit : QString::fromLatin1(c.edits).split(u' ', Qt::SkipEmptyParts))
            ASSERT_TRUE(preset->setValueForKey(edit.section(u'=', 1).toLongLong(), edit.section(u'=', 0, 0)))
                << c.edits;
        auto run = PerfTest::initWithTestBean(makeTest(preset, QStringLiteral("10.0.0.5"), 5201));
        auto execution = std::make_shared<TestExecutionBean>();
        run->setExecutionBean(execution);
        LogCapture log;
        EXPECT_EQ(run->buildArguments(), c.expected);
        EXPECT_EQ(execution->iperfVersion(), c.version == 1 ? 1 : 0) << c.expected.join(u' ').toStdString();
        const QStringList messages = log.messages();
        const bool blankBandwidth = preset->test_type == 1 && preset->send_bw == -1;
        EXPECT_EQ(messages.contains(QLatin1String(
                      "PerfTest: need to set bandwidth explicitly to unlimited for UDP as user has left it blank..")),
                  blankBandwidth)
            << c.expected.join(u' ').toStdString();
        EXPECT_EQ(messages.contains(QLatin1String("PerfTest: Skipping option duration for value 1")),
                  preset->duration == 1);
    }
}

TEST(PerfTestArguments, TheShellPassesEveryArgumentAsBuiltAndRunsNothingElse)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A path the shell would expand inside double quotes, and an argument with shell syntax.
    const QString marker = folder.filePath(QStringLiteral("ran"));
    const QString executable = folder.filePath(QStringLiteral("$(touch ran) bin/print args"));
    installExecutable(executable, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n");

    const QString command = PerfTest::commandText(
        executable, {QStringLiteral("./iperf3 "), QStringLiteral("-c"), QStringLiteral("10.0.0.5; touch ran"),
                     QStringLiteral("-t10"), QStringLiteral("-M MSS-1460"), QStringLiteral("-p5201")});
    QProcess shell;
    shell.setWorkingDirectory(folder.path());
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    ASSERT_TRUE(shell.waitForFinished(10000));
    EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()),
              QLatin1String("[./iperf3]\n[-c]\n[10.0.0.5; touch ran]\n[-t10]\n[-M]\n[MSS-1460]\n[-p5201]\n"));
    EXPECT_FALSE(QFile::exists(marker));

    // A plain path keeps the double quotes.
    EXPECT_EQ(PerfTest::commandText(QStringLiteral("/opt/a b/native-iperf"),
                                    {QStringLiteral("./iperf3 "), QStringLiteral("-c"), QStringLiteral("10.0.0.5")}),
              QLatin1String("\"/opt/a b/native-iperf\" ./iperf3 -c 10.0.0.5"));
}

TEST(PerfTestArguments, AnAddressThatIsNoIPv4AddressNeverReachesTheShell)
{
    ASSERT_TRUE(useFreshDatabase());
    QTemporaryDir folder;
    const QString marker = folder.filePath(QStringLiteral("ran"));
    for (const QString& address : {QStringLiteral("10.0.0.5;touch ") + marker,
                                   QStringLiteral("$(touch ") + marker + u')', QStringLiteral("agent.local")}) {
        auto delegate = std::make_shared<RecordingRunDelegate>();
        auto run = PerfTest::initWithTestBean(makeTest(timedPreset(2), address, 5201));
        auto execution = std::make_shared<TestExecutionBean>();
        run->setExecutionBean(execution);
        run->setDelegate(delegate);
        run->startTest();
        ASSERT_EQ(delegate->outcomes().size(), 1U);
        EXPECT_FALSE(delegate->outcomes()[0].finished);
        EXPECT_EQ(execution->message(), QStringLiteral("Invalid agent address '%1'.").arg(address));
    }
    EXPECT_TRUE(PerfTest::waitForAllRunsToEnd(5000));
    EXPECT_FALSE(QFile::exists(marker));
}
