#include "support/DDFileLogger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr char kArchivedAttribute[] = "user.lumberjack.log.archived";
std::atomic<bool> s_extendedAttributesDisabled{false};

qint64 nanoseconds(const struct statx_timestamp& time)
{
    return static_cast<qint64>(time.tv_sec) * 1000000000LL + time.tv_nsec;
}

bool attributesUnsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP || error == EPERM || error == EACCES;
}

} // namespace

DDLogFileInfo::DDLogFileInfo(QString filePath)
    : m_filePath(std::move(filePath))
{
}

QString DDLogFileInfo::fileName() const
{
    return QFileInfo(m_filePath).fileName();
}

void DDLogFileInfo::loadAttributes() const
{
    if (m_loaded)
        return;
    m_loaded = true;
    struct statx info = {};
    const QByteArray path = QFile::encodeName(m_filePath);
    if (statx(AT_FDCWD, path.constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        return;
    m_fileSize = static_cast<qint64>(info.stx_size);
    m_modificationNs = nanoseconds(info.stx_mtime);
    m_creationNs = (info.stx_mask & STATX_BTIME) ? nanoseconds(info.stx_btime) : m_modificationNs;
}

QDateTime DDLogFileInfo::creationDate() const
{
    if (m_creationDateOverride)
        return *m_creationDateOverride;
    loadAttributes();
    return m_creationNs ? QDateTime::fromMSecsSinceEpoch(m_creationNs / 1000000) : QDateTime();
}

void DDLogFileInfo::setCreationDate(const QDateTime& date)
{
    m_creationDateOverride = date;
}

QDateTime DDLogFileInfo::modificationDate() const
{
    loadAttributes();
    return m_modificationNs ? QDateTime::fromMSecsSinceEpoch(m_modificationNs / 1000000) : QDateTime();
}

qint64 DDLogFileInfo::creationTimeNanoseconds() const
{
    loadAttributes();
    return m_creationNs;
}

qint64 DDLogFileInfo::modificationTimeNanoseconds() const
{
    loadAttributes();
    return m_modificationNs;
}

qint64 DDLogFileInfo::fileSize() const
{
    loadAttributes();
    return m_fileSize;
}

double DDLogFileInfo::age(const FNWClock& clock) const
{
    const QDateTime created = creationDate();
    if (!created.isValid())
        return 0.0;
    return static_cast<double>(created.msecsTo(clock.now())) / 1000.0;
}

QString DDLogFileInfo::fallbackMarkerPath() const
{
    const QFileInfo info(m_filePath);
    return info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1String(".archived");
}

void DDLogFileInfo::setExtendedAttributesDisabledForTesting(bool disabled)
{
    s_extendedAttributesDisabled = disabled;
}

bool DDLogFileInfo::isArchived() const
{
    if (!s_extendedAttributesDisabled) {
        const QByteArray path = QFile::encodeName(m_filePath);
        if (getxattr(path.constData(), kArchivedAttribute, nullptr, 0) >= 0)
            return true;
    }
    return QFileInfo::exists(fallbackMarkerPath());
}

void DDLogFileInfo::setIsArchived(bool archived)
{
    const QByteArray path = QFile::encodeName(m_filePath);
    if (archived) {
        const char value = 1;
        if (!s_extendedAttributesDisabled && setxattr(path.constData(), kArchivedAttribute, &value, 1, 0) == 0)
            return;
        if (!s_extendedAttributesDisabled && !attributesUnsupported(errno)) {
            std::fprintf(stderr, "DDLogFileInfo: Error setting extended attribute on %s: %s\n", path.constData(),
                         std::strerror(errno));
            return;
        }
        QFile marker(fallbackMarkerPath());
        if (!marker.open(QIODevice::WriteOnly))
            std::fprintf(stderr, "DDLogFileInfo: Error marking %s archived: %s\n", path.constData(),
                         qPrintable(marker.errorString()));
        return;
    }
    removexattr(path.constData(), kArchivedAttribute);
    QFile::remove(fallbackMarkerPath());
}

void DDLogFileInfo::reset()
{
    m_loaded = false;
}

DDLogFileManagerDefault::DDLogFileManagerDefault(QString logsDirectory, std::shared_ptr<FNWClock> clock)
    : m_logsDirectory(std::move(logsDirectory))
    , m_clock(std::move(clock))
    , m_generateShortUUID(&DDLogFileManagerDefault::generateShortUUID)
{
}

QString DDLogFileManagerDefault::logsDirectory() const
{
    if (!QFileInfo::exists(m_logsDirectory) && !QDir().mkpath(m_logsDirectory))
        std::fprintf(stderr, "DDFileLogManagerDefault: Error creating logsDirectory: %s\n",
                     qPrintable(m_logsDirectory));
    return m_logsDirectory;
}

int DDLogFileManagerDefault::maximumNumberOfLogFiles() const
{
    std::lock_guard lock(m_mutex);
    return m_maximumNumberOfLogFiles;
}

void DDLogFileManagerDefault::setMaximumNumberOfLogFiles(int maximum)
{
    std::lock_guard lock(m_mutex);
    if (maximum == m_maximumNumberOfLogFiles)
        return;
    m_maximumNumberOfLogFiles = std::max(0, maximum);
    deleteOldLogFilesLocked();
}

bool DDLogFileManagerDefault::isLogFile(const QString& fileName)
{
    if (!fileName.startsWith(QLatin1String("log-")) || fileName.size() < 10)
        return false;
    for (qsizetype i = 4; i < 10; ++i) {
        const QChar c = fileName.at(i);
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    }
    return true;
}

QString DDLogFileManagerDefault::generateShortUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().left(6);
}

void DDLogFileManagerDefault::setShortUUIDGeneratorForTesting(std::function<QString()> generator)
{
    std::lock_guard lock(m_mutex);
    m_generateShortUUID = std::move(generator);
}

QStringList DDLogFileManagerDefault::unsortedLogFilePaths() const
{
    const QString directory = logsDirectory();
    QStringList paths;
    const QStringList names = QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (isLogFile(name))
            paths.append(directory + QLatin1Char('/') + name);
    }
    return paths;
}

std::vector<std::shared_ptr<DDLogFileInfo>> DDLogFileManagerDefault::sortedLogFileInfos() const
{
    std::vector<std::shared_ptr<DDLogFileInfo>> infos;
    for (const QString& path : unsortedLogFilePaths())
        infos.push_back(std::make_shared<DDLogFileInfo>(path));
    std::stable_sort(infos.begin(), infos.end(), [](const auto& a, const auto& b) {
        if (a->creationTimeNanoseconds() != b->creationTimeNanoseconds())
            return a->creationTimeNanoseconds() > b->creationTimeNanoseconds();
        return a->modificationTimeNanoseconds() > b->modificationTimeNanoseconds();
    });
    return infos;
}

QStringList DDLogFileManagerDefault::sortedLogFilePaths() const
{
    QStringList paths;
    for (const auto& info : sortedLogFileInfos())
        paths.append(info->filePath());
    return paths;
}

QString DDLogFileManagerDefault::createNewLogFile()
{
    std::lock_guard lock(m_mutex);
    const QString directory = logsDirectory();
    // A name already taken is drawn again; give up only if the folder cannot take any file.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString path = directory + QLatin1String("/log-") + m_generateShortUUID() + QLatin1String(".txt");
        const QByteArray encoded = QFile::encodeName(path);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            std::fprintf(stderr, "DDLogFileManagerDefault: Error creating log file %s: %s\n", encoded.constData(),
                         std::strerror(errno));
            return {};
        }
        ::close(fd);
        deleteOldLogFilesLocked(path);
        return path;
    }
    return {};
}

void DDLogFileManagerDefault::deleteOldLogFiles()
{
    std::lock_guard lock(m_mutex);
    deleteOldLogFilesLocked();
}

void DDLogFileManagerDefault::deleteOldLogFilesLocked(const QString& keepPath)
{
    const int maximum = m_maximumNumberOfLogFiles;
    if (maximum <= 0)
        return;
    const std::vector<std::shared_ptr<DDLogFileInfo>> infos = sortedLogFileInfos();
    for (size_t i = static_cast<size_t>(maximum); i < infos.size(); ++i) {
        const auto& info = infos[i];
        // The newest file, still being written, is never deleted; nor is the one just created,
        // should a coarse file-system clock have given it the same time as older files.
        if ((i == 0 && !info->isArchived()) || info->filePath() == keepPath)
            continue;
        QFile::remove(info->filePath());
        QFile::remove(info->fallbackMarkerPath());
    }
}

QString DDLogFileFormatterDefault::formatLogMessage(const DDLogMessage& message) const
{
    int milliseconds = 0;
    const std::tm local = DDLogLocalTime(message, &milliseconds);
    const QString timestamp = QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d:%03d", local.tm_year + 1900,
                                                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                                                local.tm_sec, milliseconds);
    return timestamp + QLatin1String("  ") + message.logMsg;
}

DDFileLogger::DDFileLogger(std::shared_ptr<DDLogFileManagerDefault> logFileManager, std::shared_ptr<FNWClock> clock)
    : DDAbstractLogger("cocoa.lumberjack.fileLogger")
    , m_logFileManager(std::move(logFileManager))
    , m_clock(std::move(clock))
{
    setLogFormatter(std::make_shared<DDLogFileFormatterDefault>());
    // When the clock jumps, the age timer is checked at once rather than when it was due.
    m_clockListener = m_clock->addChangeListener([this] { loggerQueue().async([this] { maybeRollLogFileDueToAge(); }); });
}

DDFileLogger::~DDFileLogger()
{
    m_clock->removeChangeListener(m_clockListener);
    loggerQueue().sync([this] {
        cancelRollingTimer();
        closeCurrentFile();
    });
}

QString DDFileLogger::loggerName() const
{
    return QStringLiteral("cocoa.lumberjack.fileLogger");
}

void DDFileLogger::setMaximumFileSize(qint64 bytes)
{
    m_maximumFileSize = std::max<qint64>(0, bytes);
    loggerQueue().async([this] { maybeRollLogFileDueToSize(); });
}

void DDFileLogger::setRollingFrequency(double seconds)
{
    m_rollingFrequency = std::max(0.0, seconds);
    loggerQueue().async([this] { maybeRollLogFileDueToAge(); });
}

void DDFileLogger::rollLogFile()
{
    loggerQueue().sync([this] { rollLogFileNow(); });
}

std::shared_ptr<DDLogFileInfo> DDFileLogger::currentLogFileInfo()
{
    std::shared_ptr<DDLogFileInfo> info;
    loggerQueue().sync([&] { info = currentLogFileInfoOnQueue(); });
    return info;
}

std::shared_ptr<DDLogFileInfo> DDFileLogger::currentLogFileInfoOnQueue()
{
    if (m_currentLogFileInfo)
        return m_currentLogFileInfo;

    const auto infos = m_logFileManager->sortedLogFileInfos();
    if (!infos.empty()) {
        const std::shared_ptr<DDLogFileInfo>& newest = infos.front();
        const qint64 maximumSize = m_maximumFileSize;
        const double frequency = m_rollingFrequency;
        const bool roomLeft = maximumSize == 0 || newest->fileSize() < maximumSize;
        const bool young = frequency <= 0 || newest->age(*m_clock) < frequency;
        if (!newest->isArchived() && roomLeft && young) {
            m_currentLogFileInfo = newest;
            return m_currentLogFileInfo;
        }
        if (!newest->isArchived())
            newest->setIsArchived(true);
    }
    const QString path = m_logFileManager->createNewLogFile();
    if (path.isEmpty())
        return nullptr;
    m_currentLogFileInfo = std::make_shared<DDLogFileInfo>(path);
    m_currentLogFileInfo->setCreationDate(m_clock->now());
    return m_currentLogFileInfo;
}

int DDFileLogger::currentLogFileHandle()
{
    if (m_currentLogFileHandle >= 0) {
        // A file removed from under us (someone emptied the folder) would swallow every message.
        struct stat info = {};
        if (::fstat(m_currentLogFileHandle, &info) == 0 && info.st_nlink > 0)
            return m_currentLogFileHandle;
        cancelRollingTimer();
        closeCurrentFile();
        m_currentLogFileInfo.reset();
    }
    if (m_fileUnavailable)
        return -1;
    const std::shared_ptr<DDLogFileInfo> info = currentLogFileInfoOnQueue();
    if (!info) {
        giveUpOnFiles();
        return -1;
    }
    const QByteArray path = QFile::encodeName(info->filePath());
    m_currentLogFileHandle = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (m_currentLogFileHandle < 0) {
        std::fprintf(stderr, "DDFileLogger: Unable to open log file %s: %s\n", path.constData(),
                     std::strerror(errno));
        m_currentLogFileInfo.reset();
        giveUpOnFiles();
        return -1;
    }
    scheduleTimerToRollLogFileDueToAge();
    return m_currentLogFileHandle;
}

void DDFileLogger::logMessage(const DDLogMessage& message)
{
    QString text = formattedText(message);
    if (text.isNull())
        return;
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    const QByteArray data = text.toUtf8();

    // The age timer runs on a monotonic clock that stands still while the computer sleeps; a
    // file that came of age meanwhile is rolled before it takes another day's messages.
    const double frequency = m_rollingFrequency;
    if (m_currentLogFileHandle >= 0 && frequency > 0 && m_currentLogFileInfo->age(*m_clock) >= frequency)
        rollLogFileNow();

    const int fd = currentLogFileHandle();
    if (fd < 0)
        return;
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, static_cast<size_t>(data.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "DDFileLogger: Failed to write to log file: %s\n", std::strerror(errno));
            break;
        }
        written += n;
    }
    maybeRollLogFileDueToSize();
}

void DDFileLogger::maybeRollLogFileDueToSize()
{
    const qint64 maximumSize = m_maximumFileSize;
    if (m_currentLogFileHandle < 0 || maximumSize <= 0)
        return;
    const off_t position = ::lseek(m_currentLogFileHandle, 0, SEEK_END);
    if (position >= maximumSize)
        rollLogFileNow();
}

void DDFileLogger::scheduleTimerToRollLogFileDueToAge()
{
    cancelRollingTimer();
    const double frequency = m_rollingFrequency;
    if (!m_currentLogFileInfo || frequency <= 0)
        return;
    const double remaining = frequency - m_currentLogFileInfo->age(*m_clock);
    const auto delay = std::chrono::milliseconds(static_cast<qint64>(std::max(0.0, remaining) * 1000.0));
    m_rollingTimer = loggerQueue().asyncAfter(delay, [this] {
        m_rollingTimer.reset();
        maybeRollLogFileDueToAge();
    });
}

void DDFileLogger::maybeRollLogFileDueToAge()
{
    if (!m_currentLogFileInfo)
        return;
    const double frequency = m_rollingFrequency;
    if (frequency > 0 && m_currentLogFileInfo->age(*m_clock) >= frequency)
        rollLogFileNow();
    else if (m_currentLogFileHandle >= 0)
        scheduleTimerToRollLogFileDueToAge();
}

void DDFileLogger::cancelRollingTimer()
{
    if (m_rollingTimer) {
        loggerQueue().cancel(*m_rollingTimer);
        m_rollingTimer.reset();
    }
}

void DDFileLogger::closeCurrentFile()
{
    if (m_currentLogFileHandle >= 0) {
        ::fsync(m_currentLogFileHandle);
        ::close(m_currentLogFileHandle);
        m_currentLogFileHandle = -1;
    }
}

void DDFileLogger::giveUpOnFiles()
{
    m_fileUnavailable = true;
    std::fprintf(stderr, "DDFileLogger: no log file can be written in %s; messages go to standard error only\n",
                 qPrintable(m_logFileManager->logsDirectory()));
}

void DDFileLogger::rollLogFileNow()
{
    m_fileUnavailable = false;
    cancelRollingTimer();
    closeCurrentFile();
    if (m_currentLogFileInfo) {
        m_currentLogFileInfo->setIsArchived(true);
        m_currentLogFileInfo.reset();
    }
}

void DDFileLogger::flush()
{
    if (m_currentLogFileHandle >= 0)
        ::fdatasync(m_currentLogFileHandle);
}

void DDFileLogger::willRemoveLogger()
{
    cancelRollingTimer();
    closeCurrentFile();
}
