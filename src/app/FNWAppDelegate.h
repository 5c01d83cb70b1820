#pragma once

#include "base/FNWNotificationCenter.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <thread>

class DDFileLogger;

// What start-up needs from the main window: the window layer implements it.
class FNWMainWindowHost
{
public:
    virtual ~FNWMainWindowHost() = default;
    // Selects the home tab and readies the window before it is shown.
    virtual void prepareMainWindow() = 0;
};

// Runs the start-up sequence and the clean-up at termination.
class FNWAppDelegate final
{
public:
    FNWAppDelegate();
    ~FNWAppDelegate();
    FNWAppDelegate(const FNWAppDelegate&) = delete;
    FNWAppDelegate& operator=(const FNWAppDelegate&) = delete;

    // Logging, defaults, executable install (in the background), database, settings, window.
    void applicationDidFinishLaunching(FNWMainWindowHost* window);

    void setupLogging();
    void setupDefaults();
    // Replaces both installed iperf executables with the resources' copies.
    void copyiPerfExecutableToAppSupportDir();
    // The install of the executables runs on its own thread; nothing waits for it but this.
    void waitForExecutableInstall();
    // Readies the support folder and the database; a problem with either is kept for the alert.
    void setupDatabase();
    // Why nothing can be stored ("<path>: <reason>"), or empty when the folder and database work.
    QString storageProblem() const { return m_storageProblem; }
    // Where a damaged database found at start-up was moved, or empty.
    QString movedAsideDatabase() const { return m_movedAsideDatabase; }

    // Closes the database and empties the temporary directory; the application then quits.
    bool applicationShouldTerminateAfterLastWindowClosed();
    // Last call before the process exits: flushes the logs through the terminate notification.
    void applicationWillTerminate();

    // The debug log for support: the newest three log files joined, oldest first, into
    // "fenwave_log.txt" in the logs folder. Its path, or empty when it could not be written.
    static QString sendDebugLog();
    // The same for given files (newest first), into the folder.
    static QString joinNewestLogFiles(const QStringList& newestFirst, const QString& logsDirectory);

    // The process-wide file logger made by setupLogging, or none before it ran.
    static std::shared_ptr<DDFileLogger> fileLogger();
    static QString versionString();
    static QString buildNumber();

private:
    std::thread m_installThread;
    FNWObserverToken m_terminateObserver;
    QString m_storageProblem;
    QString m_movedAsideDatabase;
};
