#pragma once

#include "support/DDLog.h"
#include "support/FNWClock.h"
#include "support/FNWSerialQueue.h"

#include <QDateTime>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// One log file on disk. Attributes are read when first asked for and kept until reset().
class DDLogFileInfo final
{
public:
    explicit DDLogFileInfo(QString filePath);

    const QString& filePath() const { return m_filePath; }
    QString fileName() const;
    // When the file was created (its birth time; the modification time where the file system
    // keeps none).
    QDateTime creationDate() const;
    // For a file this process has just created: its creation time by the logger's clock.
    void setCreationDate(const QDateTime& date);
    QDateTime modificationDate() const;
    // Full-precision times, so files made within one millisecond still sort by age.
    qint64 creationTimeNanoseconds() const;
    qint64 modificationTimeNanoseconds() const;
    qint64 fileSize() const;
    // Seconds since creation, by the given clock.
    double age(const FNWClock& clock) const;

    // The archived marker: the extended attribute "user.lumberjack.log.archived", or where the
    // file system refuses extended attributes, a hidden marker file ".<name>.archived" beside it.
    bool isArchived() const;
    void setIsArchived(bool archived);
    void reset();

    // The marker file used where extended attributes are refused.
    QString fallbackMarkerPath() const;
    // Makes every file act as if its file system refused extended attributes.
    static void setExtendedAttributesDisabledForTesting(bool disabled);

private:
    void loadAttributes() const;

    QString m_filePath;
    mutable bool m_loaded = false;
    mutable qint64 m_creationNs = 0;
    mutable qint64 m_modificationNs = 0;
    std::optional<QDateTime> m_creationDateOverride;
    mutable qint64 m_fileSize = 0;
};

// Names, finds, creates and prunes the log files of one folder.
class DDLogFileManagerDefault final
{
public:
    static constexpr int kDefaultMaximumNumberOfLogFiles = 5;

    explicit DDLogFileManagerDefault(QString logsDirectory,
                                     std::shared_ptr<FNWClock> clock = FNWClock::systemClock());

    // The folder, created with its parents when missing.
    QString logsDirectory() const;

    int maximumNumberOfLogFiles() const;
    // 0 keeps every file. Changing the number prunes at once.
    void setMaximumNumberOfLogFiles(int maximum);

    QStringList unsortedLogFilePaths() const;
    // Newest first by creation date.
    QStringList sortedLogFilePaths() const;
    std::vector<std::shared_ptr<DDLogFileInfo>> sortedLogFileInfos() const;

    // Creates an empty "log-XXXXXX.txt" and prunes the old files; returns its path, or an empty
    // text when it could not be created.
    QString createNewLogFile();
    void deleteOldLogFiles();

    // "log-" followed by six upper-case hexadecimal characters.
    static bool isLogFile(const QString& fileName);
    static QString generateShortUUID();
    // Replaces the name generator, so a test can make names collide.
    void setShortUUIDGeneratorForTesting(std::function<QString()> generator);

private:
    void deleteOldLogFilesLocked(const QString& keepPath = QString());

    const QString m_logsDirectory;
    const std::shared_ptr<FNWClock> m_clock;
    mutable std::recursive_mutex m_mutex;
    int m_maximumNumberOfLogFiles = kDefaultMaximumNumberOfLogFiles;
    std::function<QString()> m_generateShortUUID;
};

// "yyyy/MM/dd HH:mm:ss:SSS  message", local time.
class DDLogFileFormatterDefault final : public DDLogFormatter
{
public:
    QString formatLogMessage(const DDLogMessage& message) const override;
};

// Appends every message to the current log file, rolling it when it reaches maximumFileSize
// after a write or when it is rollingFrequency seconds old. All file state lives on the
// logger's queue.
class DDFileLogger final : public DDAbstractLogger
{
public:
    static constexpr qint64 kDefaultLogMaxFileSize = 1024 * 1024;
    static constexpr double kDefaultLogRollingFrequency = 60 * 60 * 24;

    explicit DDFileLogger(std::shared_ptr<DDLogFileManagerDefault> logFileManager,
                          std::shared_ptr<FNWClock> clock = FNWClock::systemClock());
    ~DDFileLogger() override;

    const std::shared_ptr<DDLogFileManagerDefault>& logFileManager() const { return m_logFileManager; }

    qint64 maximumFileSize() const { return m_maximumFileSize; }
    // 0 turns rolling by size off.
    void setMaximumFileSize(qint64 bytes);
    double rollingFrequency() const { return m_rollingFrequency; }
    // 0 turns rolling by age off.
    void setRollingFrequency(double seconds);

    // Closes and archives the current file; the next message starts a new one.
    void rollLogFile();
    // The file the next message goes to, opened or created as the next message would.
    std::shared_ptr<DDLogFileInfo> currentLogFileInfo();

    void logMessage(const DDLogMessage& message) override;
    QString loggerName() const override;
    void flush() override;
    void willRemoveLogger() override;

private:
    // Everything below runs on the logger's queue.
    std::shared_ptr<DDLogFileInfo> currentLogFileInfoOnQueue();
    int currentLogFileHandle();
    void rollLogFileNow();
    void giveUpOnFiles();
    void maybeRollLogFileDueToAge();
    void maybeRollLogFileDueToSize();
    void scheduleTimerToRollLogFileDueToAge();
    void cancelRollingTimer();
    void closeCurrentFile();

    const std::shared_ptr<DDLogFileManagerDefault> m_logFileManager;
    const std::shared_ptr<FNWClock> m_clock;
    FNWClock::ListenerId m_clockListener = 0;
    std::atomic<qint64> m_maximumFileSize{kDefaultLogMaxFileSize};
    std::atomic<double> m_rollingFrequency{kDefaultLogRollingFrequency};

    std::shared_ptr<DDLogFileInfo> m_currentLogFileInfo;
    int m_currentLogFileHandle = -1;
    // Set when no file could be made or opened: the logger stops trying (the console logger still
    // has every message) until a roll is asked for.
    bool m_fileUnavailable = false;
    std::optional<FNWSerialQueue::TimerId> m_rollingTimer;
};
