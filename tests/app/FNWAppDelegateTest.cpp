#include "app/FNWAppDelegate.h"
#include "base/FNWUtils.h"
#include "support/DDFileLogger.h"
#include "support/DDLog.h"

#include "FNWTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using fnw::test::readFile;
using fnw::test::writeFile;

class FakeWindow final : public FNWMainWindowHost
{
public:
    void prepareMainWindow() override
    {
        ++prepared;
        // The window is prepared before the start/stop control is hidden.
        visibilityWhenPrepared = FNWUtils::getUserSettingForKey(QStringLiteral("StartStopButtonVisibility"));
    }
    int prepared = 0;
    QVariant visibilityWhenPrepared;
};

class FNWAppDelegateTest : public ::testing::Test
{
protected:
    void SetUp() override { FNWUtils::setResourcesDirectory(resources.path()); }
    void TearDown() override { FNWUtils::setResourcesDirectory(QString()); }

    void addResource(const QString& name, const QByteArray& content, QFile::Permissions permissions)
    {
        const QString path = resources.path() + QLatin1Char('/') + name;
        writeFile(path, content);
        QFile::setPermissions(path, permissions);
    }

    static constexpr QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                      QFile::ExeOther;

    QTemporaryDir resources;
    fnw::test::LogCapture capture;
};

TEST_F(FNWAppDelegateTest, InstallsBothExecutablesWithTheirModesReplacingOldCopies)
{
    addResource("native-iperf", "#!/bin/sh\necho iperf3 v2\n", kExecutable);
    addResource("native-iPerf-2", "#!/bin/sh\necho iperf2 v2\n", kExecutable);
    QDir().mkpath(FNWUtils::applicationSupportDirectory());
    writeFile(FNWUtils::getiPerfExecutablePath(), "old iperf3 from an earlier version, longer than the new one");
    QFile::setPermissions(FNWUtils::getiPerfExecutablePath(), QFile::ReadOwner);
    writeFile(FNWUtils::getiPerf_2_ExecutablePath(), "old iperf2");

    FNWAppDelegate delegate;
    delegate.copyiPerfExecutableToAppSupportDir();

    EXPECT_EQ(readFile(FNWUtils::getiPerfExecutablePath()), "#!/bin/sh\necho iperf3 v2\n");
    EXPECT_EQ(readFile(FNWUtils::getiPerf_2_ExecutablePath()), "#!/bin/sh\necho iperf2 v2\n");
    EXPECT_TRUE(QFileInfo(FNWUtils::getiPerfExecutablePath()).isExecutable());
    EXPECT_TRUE(QFileInfo(FNWUtils::getiPerf_2_ExecutablePath()).isExecutable());
    const QStringList lines = capture.messages();
    EXPECT_TRUE(lines.contains("FNWBaseModel: iPerf Executable Path is " + FNWUtils::getiPerfExecutablePath()));
    EXPECT_TRUE(lines.contains("FNWAppDelegate: copied iperf3 executable..."));
    EXPECT_TRUE(lines.contains("FNWAppDelegate: copied iPerf2 executable..."));
}

TEST_F(FNWAppDelegateTest, EachCopyIsJudgedByItsOwnResult)
{
    addResource("native-iPerf-2", "iperf2", kExecutable);
    FNWAppDelegate delegate;
    delegate.copyiPerfExecutableToAppSupportDir();

    const QStringList lines = capture.messages();
    const QStringList failures = lines.filter("FNWAppDelegate: can't copy iPerf3 executable file at above path..");
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].endsWith('.'));
    EXPECT_FALSE(lines.contains("FNWAppDelegate: copied iperf3 executable..."));
    EXPECT_EQ(lines.filter("can't copy iPerf2").size(), 0);
    EXPECT_TRUE(lines.contains("FNWAppDelegate: copied iPerf2 executable..."));
    EXPECT_FALSE(QFileInfo::exists(FNWUtils::getiPerfExecutablePath()));
    EXPECT_EQ(readFile(FNWUtils::getiPerf_2_ExecutablePath()), "iperf2");
}

TEST_F(FNWAppDelegateTest, StartUpWritesTheBannerFirstAndLeavesTheSettingsAsStarted)
{
    addResource("FenwaveDefaults.json", R"({"iPerf_Version": 0, "showGridLinesOnGraph": 1})", kExecutable);
    addResource("native-iperf", "a", kExecutable);
    addResource("native-iPerf-2", "b", kExecutable);
    FNWUtils::setUserSetting(true, QStringLiteral("StartStopButtonVisibility"));
    const QString leftover = FNWUtils::temporaryDirectory() + QLatin1String("fnw_Graph_results_x.png");
    writeFile(leftover, "png");

    FakeWindow window;
    {
        FNWAppDelegate delegate;
        delegate.applicationDidFinishLaunching(&window);
        delegate.waitForExecutableInstall();
        // Closing the last window empties the private temporary folder.
        EXPECT_TRUE(delegate.applicationShouldTerminateAfterLastWindowClosed());
        EXPECT_FALSE(QFileInfo::exists(leftover));
        DDLogInfo("last words before quitting");
        delegate.applicationWillTerminate();
    }

    EXPECT_EQ(window.prepared, 1);
    EXPECT_TRUE(window.visibilityWhenPrepared.toBool());
    EXPECT_FALSE(FNWUtils::getUserSettingForKey(QStringLiteral("StartStopButtonVisibility")).toBool());
    EXPECT_EQ(FNWUtils::getUserSettingForKey(QStringLiteral("NSInitialToolTipDelay")).toInt(), 50);
    EXPECT_EQ(FNWUtils::getUserSettingForKey(QStringLiteral("iPerf_Version")).toInt(), 0);
    EXPECT_EQ(FNWUtils::getUserSettingForKey(QStringLiteral("showGridLinesOnGraph")).toInt(), 1);
    EXPECT_EQ(readFile(FNWUtils::getiPerf_2_ExecutablePath()), "b");

    const std::shared_ptr<DDFileLogger> fileLogger = FNWAppDelegate::fileLogger();
    ASSERT_TRUE(fileLogger);
    EXPECT_EQ(fileLogger->rollingFrequency(), 86400.0);
    EXPECT_EQ(fileLogger->maximumFileSize(), 1024 * 1024);
    EXPECT_EQ(fileLogger->logFileManager()->maximumNumberOfLogFiles(), 7);
    const QStringList logs = fileLogger->logFileManager()->sortedLogFilePaths();
    ASSERT_EQ(logs.size(), 1);
    EXPECT_TRUE(logs[0].startsWith(FNWUtils::applicationSupportDirectory() + "/log-"));

    const QStringList lines = QString::fromUtf8(readFile(logs[0])).split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith("  " + QString(87, '-'))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith("  Starting Enterprise Fenwave Version " + FNWAppDelegate::versionString() + "." +
                                  FNWAppDelegate::buildNumber()))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains("  OS Version ")) << lines[2].toStdString();
    // Queued info messages are written by the time the application has terminated.
    EXPECT_TRUE(readFile(logs[0]).contains("  last words before quitting\n"));
}

} // namespace
