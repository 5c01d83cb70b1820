#include "app/FNWAppDelegate.h"
#include "base/FNWAlerts.h"
#include "base/FNWUtils.h"
#include "db/DBUtils.h"
#include "db/FNWBaseModel.h"
#include "model/FNWPresetBean.h"
#include "support/DDLog.h"

#include "FNWTestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace {

using fnw::test::readFile;
using fnw::test::writeFile;

class NoWindow final : public FNWMainWindowHost
{
public:
    void prepareMainWindow() override {}
};

// Start-up with a support folder or database that cannot hold anything: one alert that names
// the path and the reason, the user's file left alone, and a file logger that gives up once.
class FNWStorageProblemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FNWAlerts::setTestResponder([this](const FNWAlertRequest& request) {
            alerts.append(request);
            return 0;
        });
    }
    void TearDown() override { FNWAlerts::setTestResponder({}); }

    // Runs start-up with standard error caught in a file; returns what was written there.
    QByteArray launch(FNWAppDelegate& delegate, int linesAfterwards = 0)
    {
        QTemporaryFile capture;
        EXPECT_TRUE(capture.open());
        std::fflush(stderr);
        const int saved = ::dup(STDERR_FILENO);
        ::dup2(capture.handle(), STDERR_FILENO);
        NoWindow window;
        delegate.applicationDidFinishLaunching(&window);
        for (int i = 0; i < linesAfterwards; ++i)
            DDLogError("line %d after start-up", i);
        DDLog::sharedInstance().flushLog();
        delegate.waitForExecutableInstall();
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        return readFile(capture.fileName());
    }

    QList<FNWAlertRequest> alerts;
};

TEST_F(FNWStorageProblemTest, ASupportFolderThatIsAFileIsReportedOnceAndKept)
{
    const QString folder = FNWUtils::applicationSupportDirectory();
    QDir().mkpath(QFileInfo(folder).path());
    writeFile(folder, "the user's own file");

    FNWAppDelegate delegate;
    const QByteArray errors = launch(delegate, 50);

    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].style, FNWAlertStyle::Critical);
    EXPECT_TRUE(alerts[0].informativeText.startsWith(folder + ": it is a file, not a folder"))
        << alerts[0].informativeText.toStdString();
    EXPECT_EQ(delegate.storageProblem(), folder + ": it is a file, not a folder");
    EXPECT_EQ(readFile(folder), "the user's own file");
    // Fifty lines later the logger has said once that it writes no file.
    EXPECT_EQ(errors.count("no log file can be written"), 1) << errors.toStdString();
}

TEST_F(FNWStorageProblemTest, AFolderThatCannotBeCreatedIsReported)
{
    // The data folder's parent is a file, so no folder can be made beneath it.
    const QString data = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    QDir().mkpath(QFileInfo(data).path());
    writeFile(data, "not a folder");

    FNWAppDelegate delegate;
    launch(delegate);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(delegate.storageProblem(), FNWUtils::applicationSupportDirectory() + ": it cannot be created");
}

TEST_F(FNWStorageProblemTest, ADamagedDatabaseIsMovedAsideWholeAndANewerOneIsLeftAlone)
{
    // A working database with a few presets, damaged afterwards: cut short, or overwritten with
    // garbage. Either is moved aside as it was, a fresh copy takes its place, and the alert says
    // where the old file went.
    const auto storeAndClose = [this] {
        FNWAppDelegate delegate;
        launch(delegate);
        for (int i = 0; i < 40; ++i) {
            FNWPresetBean preset;
            preset.name = QStringLiteral("Lab %1 ").arg(i) + QString(200, u'x');
            EXPECT_TRUE(preset.save());
        }
        FNWBaseModel::resetSharedQueueForTesting();
    };
    const QString path = DBUtils::appDBPath();
    const auto damagedCopies = [&] {
        // The file itself; its log and shared memory go with it under the same name.
        return QDir(QFileInfo(path).path())
            .entryList({QStringLiteral("fnwe.db.damaged-*")}, QDir::Files)
            .filter(QRegularExpression(QStringLiteral("^fnwe\\.db\\.damaged-[0-9-]+$")));
    };
    for (const bool truncate : {true, false}) {
        for (const QString& old : damagedCopies())
            QFile::remove(QFileInfo(path).path() + u'/' + old);
        storeAndClose();
        QByteArray damaged = readFile(path);
        ASSERT_GT(damaged.size(), 4 * 4096);
        damaged = truncate ? damaged.left(2 * 4096) : QByteArray(damaged.size(), 'x');
        writeFile(path, damaged);
        alerts.clear();

        FNWAppDelegate delegate;
        launch(delegate);
        EXPECT_TRUE(delegate.storageProblem().isEmpty()) << delegate.storageProblem().toStdString();
        const QStringList moved = damagedCopies();
        ASSERT_EQ(moved.size(), 1) << (truncate ? "truncated" : "garbage");
        const QString movedPath = QFileInfo(path).path() + u'/' + moved.first();
        EXPECT_EQ(delegate.movedAsideDatabase(), movedPath);
        EXPECT_EQ(readFile(movedPath), damaged);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts[0].style, FNWAlertStyle::Critical);
        EXPECT_TRUE(alerts[0].informativeText.contains(movedPath)) << alerts[0].informativeText.toStdString();
        FNWPresetBean preset;
        preset.name = QStringLiteral("After the repair");
        EXPECT_TRUE(preset.save());
        FNWBaseModel::resetSharedQueueForTesting();
    }

    // A database a newer Fenwave migrated further is refused and left byte for byte.
    ASSERT_TRUE(fnw::test::executeSQL(QStringLiteral("insert into schema_migrations (version) values (9999)")));
    FNWBaseModel::resetSharedQueueForTesting();
    const QByteArray newer = readFile(path);
    alerts.clear();
    FNWAppDelegate delegate;
    launch(delegate);
    EXPECT_TRUE(delegate.storageProblem().contains(QStringLiteral("written by a newer Fenwave (database version 9999")))
        << delegate.storageProblem().toStdString();
    EXPECT_EQ(alerts.size(), 1);
    FNWBaseModel::resetSharedQueueForTesting();
    EXPECT_EQ(readFile(path), newer);
}

TEST_F(FNWStorageProblemTest, AWorkingFolderAndDatabaseRaiseNoAlert)
{
    FNWAppDelegate delegate;
    launch(delegate);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(delegate.storageProblem().isEmpty());
}

} // namespace
