#include "support/DDFileLogger.h"

#include "FNWTestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/xattr.h>

namespace {

using fnw::test::readFile;
using fnw::test::writeFile;

QStringList fileNames(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names.append(QFileInfo(path).fileName());
    return names;
}

class DDFileLoggerTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        stop();
        DDLogFileInfo::setExtendedAttributesDisabledForTesting(false);
    }

    void stop()
    {
        if (logger)
            log.removeLogger(logger);
        logger.reset();
    }

    // A file logger on the test folder, added to a private dispatcher.
    std::shared_ptr<DDFileLogger> start(std::shared_ptr<FNWClock> clock = FNWClock::systemClock())
    {
        manager = std::make_shared<DDLogFileManagerDefault>(directory.path(), clock);
        logger = std::make_shared<DDFileLogger>(manager, clock);
        log.addLogger(logger);
        return logger;
    }

    void write(const QString& message, DDLogFlag flag = DDLogFlagError)
    {
        log.log(flag != DDLogFlagError, DDLogLevelAll, flag, 0, __FILE__, __func__, __LINE__, nullptr, message);
    }

    QString existingLogFile(const QString& name, const QByteArray& content)
    {
        const QString path = directory.path() + QLatin1Char('/') + name;
        writeFile(path, content);
        return path;
    }

    QTemporaryDir directory;
    DDLog log;
    std::shared_ptr<DDLogFileManagerDefault> manager;
    std::shared_ptr<DDFileLogger> logger;
};

TEST_F(DDFileLoggerTest, WritesTimestampedUtf8LinesErrorsAtOnceAndInfosAfterAFlush)
{
    start();
    write(QStringLiteral("FNWAppDelegate: copied iperf3 executable..."));
    write(QStringLiteral("already terminated\n"));
    write(QStringLiteral("Zürich ✓"));
    const QStringList paths = manager->sortedLogFilePaths();
    ASSERT_EQ(paths.size(), 1);
    const QString path = paths.front();
    const QString text = QString::fromUtf8(readFile(path));
    const QRegularExpression line(QStringLiteral(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}:\d{3}  (.*)$)"));
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 4) << text.toStdString();
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(line.match(lines[0]).captured(1), "FNWAppDelegate: copied iperf3 executable...");
    EXPECT_EQ(line.match(lines[1]).captured(1), "already terminated");
    EXPECT_EQ(line.match(lines[2]).captured(1), QStringLiteral("Zürich ✓"));

    // Through the shared dispatcher an error is in the file when the call returns, infos after a flush.
    DDLog::sharedInstance().addLogger(logger);
    DDLogError("FNWAppDelegate: can't copy iPerf3 executable file at above path..%@.", "denied");
    EXPECT_TRUE(readFile(path).contains("can't copy iPerf3 executable file at above path..denied."));
    for (int i = 0; i < 200; ++i)
        DDLogInfo("queued info %d", i);
    DDLog::sharedInstance().flushLog();
    DDLog::sharedInstance().removeLogger(logger);
    const QByteArray content = readFile(path);
    EXPECT_TRUE(content.contains("queued info 0\n"));
    EXPECT_TRUE(content.contains("queued info 199\n"));
}

TEST(DDLogFileManagerDefault, RecognisesLogFileNames)
{
    for (const char* name : {"log-ABC123.txt", "log-FFFFFF.anything"})
        EXPECT_TRUE(DDLogFileManagerDefault::isLogFile(name)) << name;
    for (const char* name :
         {"log-abc123.txt", "log-ABC12G.txt", "log-ABC12", "Log-ABC123.txt", ".log-ABC123.txt.archived"})
        EXPECT_FALSE(DDLogFileManagerDefault::isLogFile(name)) << name;

    const QRegularExpression hex(QStringLiteral("^[0-9A-F]{6}$"));
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(hex.match(DDLogFileManagerDefault::generateShortUUID()).hasMatch());
}

TEST(DDLogFileManagerDefault, CreatesTheLogsFolderAndDrawsAgainWhenANameIsTaken)
{
    QTemporaryDir root;
    const QString folder = root.path() + QLatin1String("/a/b/FenwaveEnterprise");
    DDLogFileManagerDefault manager(folder);
    writeFile(folder + QLatin1String("/log-AAAAAA.txt"), "old");
    QStringList draws{"AAAAAA", "AAAAAA", "BBBBBB"};
    manager.setShortUUIDGeneratorForTesting([&] { return draws.takeFirst(); });
    const QString path = manager.createNewLogFile();
    EXPECT_EQ(QFileInfo(path).fileName(), "log-BBBBBB.txt");
    EXPECT_EQ(readFile(folder + QLatin1String("/log-AAAAAA.txt")), "old");
    EXPECT_TRUE(draws.isEmpty());
}

TEST_F(DDFileLoggerTest, ContinuesTheNewestYoungUnarchivedFileOnRestartUntilItIsRemoved)
{
    const QString path = existingLogFile("log-ABC123.txt", "2026/12/06 06:00:00:000  earlier run\n");
    start();
    write(QStringLiteral("second run"));
    EXPECT_EQ(fileNames(manager->sortedLogFilePaths()), QStringList{"log-ABC123.txt"});
    const QByteArray content = readFile(path);
    EXPECT_TRUE(content.startsWith("2026/12/06 06:00:00:000  earlier run\n"));
    EXPECT_TRUE(content.endsWith("  second run\n"));

    // Removed from under the logger, the file is replaced by a fresh one.
    QFile::remove(path);
    write(QStringLiteral("after"));
    const QStringList paths = manager->sortedLogFilePaths();
    ASSERT_EQ(paths.size(), 1);
    EXPECT_NE(paths.front(), path);
    EXPECT_TRUE(readFile(paths.front()).endsWith("  after\n"));
}

TEST_F(DDFileLoggerTest, StartsANewFileWhenTheNewestIsArchivedFullOrOld)
{
    // Archived: never written again.
    const QString archived = existingLogFile("log-AAAAA1.txt", "archived\n");
    DDLogFileInfo(archived).setIsArchived(true);
    auto clock = std::make_shared<FNWManualClock>();
    start(clock);
    write(QStringLiteral("one"));
    const QString first = logger->currentLogFileInfo()->filePath();
    EXPECT_NE(first, archived);
    EXPECT_EQ(readFile(archived), "archived\n");
    stop();

    // Old: a restart more than a day later archives it and starts another.
    clock->advance(24 * 60 * 60 + 1);
    start(clock);
    write(QStringLiteral("two"));
    const QString second = logger->currentLogFileInfo()->filePath();
    EXPECT_NE(second, first);
    EXPECT_TRUE(DDLogFileInfo(first).isArchived());
    stop();

    // Full: a young file of 1 MiB is not continued.
    clock->setNow(QDateTime::currentDateTime());
    writeFile(second, QByteArray(DDFileLogger::kDefaultLogMaxFileSize, 'x'));
    start(clock);
    write(QStringLiteral("three"));
    EXPECT_NE(logger->currentLogFileInfo()->filePath(), second);
    EXPECT_TRUE(DDLogFileInfo(second).isArchived());
    EXPECT_EQ(manager->sortedLogFilePaths().size(), 4);
}

TEST_F(DDFileLoggerTest, RollsWhenAWriteReachesTheMaximumSize)
{
    start();
    const QString chunk(64 * 1024 - 26, QLatin1Char('m'));
    for (int i = 0; i < 16; ++i)
        write(chunk);
    const QString firstPath = manager->sortedLogFilePaths().value(0);
    // Each line is 64 KiB with its timestamp, so sixteen reach 1 MiB, so the file was rolled right after the last write.
    EXPECT_GE(QFileInfo(firstPath).size(), DDFileLogger::kDefaultLogMaxFileSize);
    EXPECT_TRUE(DDLogFileInfo(firstPath).isArchived());

    write(QStringLiteral("next message"));
    const QStringList paths = manager->sortedLogFilePaths();
    ASSERT_EQ(paths.size(), 2);
    EXPECT_NE(paths[0], firstPath);
    EXPECT_TRUE(DDLogFileManagerDefault::isLogFile(QFileInfo(paths[0]).fileName()));
    EXPECT_TRUE(readFile(paths[0]).endsWith("  next message\n"));
    EXPECT_FALSE(readFile(firstPath).contains("next message"));
}

TEST_F(DDFileLoggerTest, RollsWhenTheFileComesOfAgeByTheClock)
{
    auto clock = std::make_shared<FNWManualClock>();
    start(clock);
    write(QStringLiteral("first day"));
    const QString firstPath = logger->currentLogFileInfo()->filePath();

    clock->advance(60 * 60);
    logger->loggerQueue().sync([] {});
    EXPECT_FALSE(DDLogFileInfo(firstPath).isArchived());

    clock->advance(24 * 60 * 60);
    logger->loggerQueue().sync([] {});
    EXPECT_TRUE(DDLogFileInfo(firstPath).isArchived());

    write(QStringLiteral("second day"));
    const QString secondPath = logger->currentLogFileInfo()->filePath();
    EXPECT_NE(secondPath, firstPath);
    EXPECT_TRUE(readFile(secondPath).endsWith("  second day\n"));
}

// Wall-clock time that moves without telling anyone, as across a suspend.
class SleepingClock final : public FNWClock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc().addSecs(offset); }
    std::atomic<qint64> offset{0};
};

TEST_F(DDFileLoggerTest, AFileThatCameOfAgeWhileAsleepIsRolledBeforeTheNextWriteAndTheAgeTimerRollsTheNext)
{
    auto clock = std::make_shared<SleepingClock>();
    start(clock);
    write(QStringLiteral("before sleeping"));
    const QString firstPath = logger->currentLogFileInfo()->filePath();
    clock->offset = 24 * 60 * 60 + 60;
    write(QStringLiteral("after waking"));
    EXPECT_TRUE(DDLogFileInfo(firstPath).isArchived());
    EXPECT_FALSE(readFile(firstPath).contains("after waking"));
    EXPECT_EQ(manager->sortedLogFilePaths().size(), 2);

    // The age timer itself fires on the logger's queue, half a second on (far longer than the file
    // is old by now, so it is the timer that rolls); waits for it, bounded in case it never does.
    const QString secondPath = logger->currentLogFileInfo()->filePath();
    logger->setRollingFrequency(0.5);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!DDLogFileInfo(secondPath).isArchived() && std::chrono::steady_clock::now() < deadline)
        logger->loggerQueue().sync([] { std::this_thread::yield(); });
    EXPECT_TRUE(DDLogFileInfo(secondPath).isArchived());
}

TEST_F(DDFileLoggerTest, ArchivedMarkerIsTheExtendedAttributeOrElseAHiddenFile)
{
    start();
    manager->setMaximumNumberOfLogFiles(1);
    write(QStringLiteral("x"));
    const QString path = logger->currentLogFileInfo()->filePath();
    const QByteArray encoded = QFile::encodeName(path);
    EXPECT_LT(getxattr(encoded.constData(), "user.lumberjack.log.archived", nullptr, 0), 0);
    logger->rollLogFile();
    EXPECT_GE(getxattr(encoded.constData(), "user.lumberjack.log.archived", nullptr, 0), 0);
    EXPECT_FALSE(QFileInfo::exists(DDLogFileInfo(path).fallbackMarkerPath()));

    DDLogFileInfo::setExtendedAttributesDisabledForTesting(true);
    write(QStringLiteral("y"));
    const QString second = logger->currentLogFileInfo()->filePath();
    logger->rollLogFile();
    DDLogFileInfo info(second);
    EXPECT_TRUE(info.isArchived());
    EXPECT_TRUE(QFileInfo::exists(info.fallbackMarkerPath()));
    // The marker is not a log file, and it goes when its log file is deleted.
    write(QStringLiteral("z"));
    EXPECT_EQ(manager->sortedLogFilePaths().size(), 1);
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_FALSE(QFileInfo::exists(info.fallbackMarkerPath()));
}

TEST_F(DDFileLoggerTest, KeepsSevenFilesWhenAnEighthExists)
{
    start();
    manager->setMaximumNumberOfLogFiles(7);
    QStringList old;
    for (int i = 0; i < 8; ++i) {
        const QString path = existingLogFile(QStringLiteral("log-00000%1.txt").arg(i), "old\n");
        DDLogFileInfo(path).setIsArchived(true);
        old.append(path);
    }
    write(QStringLiteral("new"));
    const QStringList kept = manager->sortedLogFilePaths();
    ASSERT_EQ(kept.size(), 7);
    // The new file is kept and the two oldest went.
    EXPECT_EQ(kept.front(), logger->currentLogFileInfo()->filePath());
    EXPECT_FALSE(QFileInfo::exists(old[0]));
    EXPECT_FALSE(QFileInfo::exists(old[1]));
    EXPECT_TRUE(QFileInfo::exists(old[2]));
    EXPECT_TRUE(QFileInfo::exists(old[7]));

    // Lowering the maximum prunes at once; 0 keeps every file.
    manager->setMaximumNumberOfLogFiles(3);
    EXPECT_EQ(manager->sortedLogFilePaths().size(), 3);
    EXPECT_EQ(manager->sortedLogFilePaths().front(), logger->currentLogFileInfo()->filePath());
    manager->setMaximumNumberOfLogFiles(0);
    logger->rollLogFile();
    write(QStringLiteral("newer"));
    EXPECT_EQ(manager->sortedLogFilePaths().size(), 4);
}

} // namespace
