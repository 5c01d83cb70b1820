#include "base/FNWUtils.h"

#include "FNWTestSupport.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(FNWSettings, AWriteIsOnDiskAtOnceAndReadsBackFromAnotherStore)
{
    FNWUtils::setUserSetting(1, QStringLiteral("iPerf_Version"));
    FNWUtils::setUserSetting(true, QStringLiteral("StartStopButtonVisibility"));
    QSettings reader(QStringLiteral("Fenwave"), QStringLiteral("Fenwave"));
    EXPECT_EQ(reader.value(QStringLiteral("iPerf_Version")).toInt(), 1);
    EXPECT_TRUE(reader.value(QStringLiteral("StartStopButtonVisibility")).toBool());
    EXPECT_TRUE(QFileInfo(reader.fileName()).absoluteFilePath().startsWith(fnw::test::testHome()));

    // A value written by someone else is seen by the next read.
    reader.setValue(QStringLiteral("iPerf_Version"), 0);
    reader.sync();
    EXPECT_EQ(FNWUtils::getUserSettingForKey(QStringLiteral("iPerf_Version")).toInt(), 0);
}

TEST(FNWSettings, DefaultsAnswerForAbsentKeysButAreNeverStored)
{
    EXPECT_FALSE(FNWUtils::getUserSettingForKey(QStringLiteral("showGridLinesOnGraph")).isValid());
    FNWUtils::registerDefaults({{QStringLiteral("showGridLinesOnGraph"), 1}, {QStringLiteral("some_default"), "a"}});
    EXPECT_EQ(FNWUtils::getUserSettingForKey(QStringLiteral("showGridLinesOnGraph")).toInt(), 1);
    EXPECT_FALSE(QSettings(QStringLiteral("Fenwave"), QStringLiteral("Fenwave"))
                     .contains(QStringLiteral("showGridLinesOnGraph")));

    FNWUtils::setUserSetting(0, QStringLiteral("showGridLinesOnGraph"));
    EXPECT_EQ(FNWUtils::getUserSettingForKey(QStringLiteral("showGridLinesOnGraph")).toInt(), 0);
    EXPECT_EQ(FNWUtils::getUserSettingForKey(QStringLiteral("some_default")).toString(), "a");
}

TEST(FNWSettings, TheDefaultsResourceIsReadFromTheResourcesFolder)
{
    // The build tree's share/fenwave beside bin/ holds the shipped resource, which chooses iperf3.
    const QVariantMap shipped = FNWUtils::loadDefaultsResource();
    ASSERT_TRUE(shipped.contains(QStringLiteral("iPerf_Version"))) << FNWUtils::resourcesDirectory().toStdString();
    EXPECT_EQ(shipped.value(QStringLiteral("iPerf_Version")).toInt(), 0);

    QTemporaryDir resources;
    FNWUtils::setResourcesDirectory(resources.path());
    // Missing or broken: nothing is registered, so every key reads as absent (0, NO: iperf3).
    EXPECT_TRUE(FNWUtils::loadDefaultsResource().isEmpty());
    fnw::test::writeFile(resources.path() + QLatin1String("/FenwaveDefaults.json"), "{ not json");
    EXPECT_TRUE(FNWUtils::loadDefaultsResource().isEmpty());
    EXPECT_EQ(FNWUtils::getUserSettingForKey(QStringLiteral("iPerf_Version")).toInt(), 0);

    fnw::test::writeFile(resources.path() + QLatin1String("/FenwaveDefaults.json"),
                         R"({"iPerf_Version": 0, "showGridLinesOnGraph": 1})");
    const QVariantMap defaults = FNWUtils::loadDefaultsResource();
    EXPECT_EQ(defaults.value(QStringLiteral("iPerf_Version")).toInt(), 0);
    EXPECT_EQ(defaults.value(QStringLiteral("showGridLinesOnGraph")).toInt(), 1);
    FNWUtils::setResourcesDirectory(QString());
}

TEST(FNWTemporaryDirectory, IsPrivateAndClearingItLeavesOtherProgramsFilesAlone)
{
    const QString tmp = FNWUtils::temporaryDirectory();
    ASSERT_FALSE(tmp.isEmpty());
    EXPECT_TRUE(tmp.endsWith('/'));
    EXPECT_NE(QDir(tmp).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    EXPECT_EQ(FNWUtils::temporaryDirectory(), tmp);

    QTemporaryDir sibling(QDir::tempPath() + QLatin1String("/fenwave-sibling-XXXXXX"));
    fnw::test::writeFile(sibling.path() + QLatin1String("/keep.txt"), "someone else's");
    fnw::test::writeFile(tmp + QLatin1String("graph.png"), "png");
    fnw::test::writeFile(tmp + QLatin1String(".hidden"), "h");
    QDir(tmp).mkpath(QStringLiteral("nested/deeper"));
    fnw::test::writeFile(tmp + QLatin1String("nested/deeper/file"), "f");
    // A link to the sibling is removed, never followed.
    QFile::link(sibling.path(), tmp + QLatin1String("link"));

    FNWUtils::clearTmpDirectory();

    EXPECT_TRUE(QDir(tmp).exists());
    EXPECT_TRUE(QDir(tmp).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EQ(fnw::test::readFile(sibling.path() + QLatin1String("/keep.txt")), "someone else's");
}

} // namespace
