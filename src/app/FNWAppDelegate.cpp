#include "app/FNWAppDelegate.h"

#include "base/FNWAlerts.h"
#include "base/FNWExecutableInstall.h"
#include "base/FNWNotifications.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "db/DBUtils.h"
#include "db/FNWBaseModel.h"
#include "db/FNWDeferredWrites.h"
#include "support/DDFileLogger.h"
#include "support/DDLog.h"
#include "support/DDTTYLogger.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace {

constexpr std::chrono::seconds kLastWriteWait{5};

std::mutex s_fileLoggerMutex;
std::shared_ptr<DDFileLogger> s_fileLogger;

QString operatingSystemVersion()
{
    return QSysInfo::prettyProductName() + QLatin1String(" (") + QSysInfo::kernelType() + QLatin1Char(' ') +
           QSysInfo::kernelVersion() + QLatin1Char(')');
}

} // namespace

FNWAppDelegate::FNWAppDelegate() = default;

FNWAppDelegate::~FNWAppDelegate()
{
    waitForExecutableInstall();
}

QString FNWAppDelegate::versionString()
{
    return QStringLiteral(FENWAVE_VERSION);
}

QString FNWAppDelegate::buildNumber()
{
    return QStringLiteral(FENWAVE_BUILD_NUMBER);
}

QString FNWAppDelegate::sendDebugLog()
{
    const std::shared_ptr<DDFileLogger> logger = fileLogger();
    const QString folder = logger ? logger->logFileManager()->logsDirectory() : FNWUtils::applicationSupportDirectory();
    return joinNewestLogFiles(logger ? logger->logFileManager()->sortedLogFilePaths() : QStringList(), folder);
}

QString FNWAppDelegate::joinNewestLogFiles(const QStringList& newestFirst, const QString& logsDirectory)
{
    QStringList kept = newestFirst.mid(0, 3);
    std::reverse(kept.begin(), kept.end());
    QDir().mkpath(logsDirectory);
    const QString target = QDir(logsDirectory).filePath(QStringLiteral("fenwave_log.txt"));
    QFile::remove(target);
    QString joined;
    int number = 0;
    for (const QString& path : std::as_const(kept)) {
        ++number;
        QFile file(path);
        // An unreadable file adds nothing but keeps its number.
        if (file.open(QIODevice::ReadOnly))
            joined += FNWStringWithFormat("****************Details of Log file (%d) **********\n\n%@", number,
                                          QString::fromUtf8(file.readAll()));
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(joined.toUtf8()) < 0 || !out.commit()) {
        DDLogError("FNWAppDelegate: unable to write the debug log %@: %@", target, out.errorString());
        return {};
    }
    QString list = QStringLiteral("(");
    for (const QString& path : std::as_const(kept))
        list += QStringLiteral("\n    \"%1\"%2").arg(path, &path == &kept.last() ? QString() : QStringLiteral(","));
    list += QStringLiteral("\n)");
    DDLogInfo("Debug Log files: %@", list);
    return target;
}

std::shared_ptr<DDFileLogger> FNWAppDelegate::fileLogger()
{
    std::lock_guard lock(s_fileLoggerMutex);
    return s_fileLogger;
}

void FNWAppDelegate::applicationDidFinishLaunching(FNWMainWindowHost* window)
{
    setupLogging();
    setupDefaults();
    waitForExecutableInstall();
    m_installThread = std::thread([this] { copyiPerfExecutableToAppSupportDir(); });
    setupDatabase();
    FNWUtils::setUserSetting(50, QString::fromLatin1(kInitialToolTipDelayKey));
    if (window)
        window->prepareMainWindow();
    if (!m_storageProblem.isEmpty())
        FNWAlerts::showCriticalAlertWithMessage(
            QStringLiteral("Fenwave Cannot Save Your Work"),
            m_storageProblem +
                QLatin1String(".\n\nPresets, agents and results will not be saved. Mend the folder or file, "
                              "then start Fenwave again."));
    else if (!m_movedAsideDatabase.isEmpty())
        FNWAlerts::showCriticalAlertWithMessage(
            QStringLiteral("Fenwave Found a Damaged Database"),
            FNWStringWithFormat("The database could not be read and was moved to\n%@\n\nFenwave started with an empty "
                                "one. Presets, agents and results stored before are in the moved file.",
                                m_movedAsideDatabase));
    FNWUtils::setUserSetting(false, QString::fromLatin1(kStartStopButtonVisibilityKey));
}

void FNWAppDelegate::setupLogging()
{
    {
        std::lock_guard lock(s_fileLoggerMutex);
        if (!s_fileLogger) {
            DDLog& log = DDLog::sharedInstance();
            log.addLogger(DDTTYLogger::sharedInstance());

            auto manager = std::make_shared<DDLogFileManagerDefault>(FNWUtils::applicationSupportDirectory());
            auto fileLogger = std::make_shared<DDFileLogger>(manager);
            fileLogger->setRollingFrequency(60 * 60 * 24);
            manager->setMaximumNumberOfLogFiles(7);
            log.addLogger(fileLogger);
            s_fileLogger = fileLogger;
        }
    }
    if (!m_terminateObserver.isActive()) {
        m_terminateObserver = FNWNotificationCenter::defaultCenter().addObserver(
            QString::fromLatin1(NSApplicationWillTerminateNotification),
            [](const FNWNotification&) { DDLog::sharedInstance().flushLog(); });
    }

    DDLogError("%@", QString(87, QLatin1Char('-')));
    DDLogError("Starting Enterprise Fenwave Version %@.%@", versionString(), buildNumber());
    DDLogError("OS Version %@", operatingSystemVersion());
}

void FNWAppDelegate::setupDefaults()
{
    const QVariantMap defaults = FNWUtils::loadDefaultsResource();
    QString text;
    QDebug(&text).nospace().noquote() << defaults;
    std::fprintf(stderr, "setupDefaults:%s\n", qPrintable(text));
    FNWUtils::registerDefaults(defaults);
}

void FNWAppDelegate::copyiPerfExecutableToAppSupportDir()
{
    fnw::base::copyiPerfExecutableToAppSupportDir();
}

void FNWAppDelegate::waitForExecutableInstall()
{
    if (m_installThread.joinable())
        m_installThread.join();
}

void FNWAppDelegate::setupDatabase()
{
    // Start-up goes on whatever fails here (the window still shows what it can), but the user is
    // told once; a file that is not a database is never replaced.
    m_movedAsideDatabase.clear();
    m_storageProblem = DBUtils::prepareDatabase(&m_movedAsideDatabase);
    if (!m_storageProblem.isEmpty()) {
        DDLogError("FNWAppDelegate: nothing can be stored, %@", m_storageProblem);
        return;
    }
    // A run the last session was killed in would otherwise show as running for ever.
    DBUtils::repairInterruptedRuns();
}

bool FNWAppDelegate::applicationShouldTerminateAfterLastWindowClosed()
{
    FNWBaseModel::closeFMDB();
    FNWUtils::clearTmpDirectory();
    return true;
}

void FNWAppDelegate::applicationWillTerminate()
{
    waitForExecutableInstall();
    FNWNotificationCenter::defaultCenter().postNotificationName(
        QString::fromLatin1(NSApplicationWillTerminateNotification));
    // Results kept back while another program held the database get a last chance to go in.
    if (!FNWDeferredWrites::shared().flush(kLastWriteWait))
        DDLogError("FNWAppDelegate: %ld changes were never written: another program held the database until exit",
                   static_cast<long>(FNWDeferredWrites::shared().count()));
}
