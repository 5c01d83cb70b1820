#pragma once

#include "support/FNWFormat.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <vector>

class FNWSerialQueue;

enum DDLogFlag : unsigned {
    DDLogFlagError = 1 << 0,
    DDLogFlagWarning = 1 << 1,
    DDLogFlagInfo = 1 << 2,
    DDLogFlagDebug = 1 << 3,
};

// Every call site passes this mask: error, warning, info and debug all enabled.
inline constexpr unsigned DDLogLevelAll = DDLogFlagError | DDLogFlagWarning | DDLogFlagInfo | DDLogFlagDebug;

struct DDLogMessage
{
    unsigned logLevel = DDLogLevelAll;
    DDLogFlag logFlag = DDLogFlagError;
    int logContext = 0;
    QString logMsg;
    std::chrono::system_clock::time_point timestamp;
    const char* file = "";
    const char* function = "";
    int lineNumber = 0;
    std::uint64_t machThreadID = 0;
    std::string queueLabel;
    std::string threadName;
    const void* tag = nullptr;
    unsigned options = 0;
};

// The message's time of creation in local time, with its milliseconds.
std::tm DDLogLocalTime(const DDLogMessage& message, int* milliseconds);

class DDLogFormatter
{
public:
    virtual ~DDLogFormatter() = default;
    // The text to write, or an empty optional-like null QString to drop the message.
    virtual QString formatLogMessage(const DDLogMessage& message) const = 0;
};

// Base of every output. logMessage runs on the logger's own serial queue.
class DDAbstractLogger
{
public:
    explicit DDAbstractLogger(const std::string& queueLabel);
    virtual ~DDAbstractLogger();
    DDAbstractLogger(const DDAbstractLogger&) = delete;
    DDAbstractLogger& operator=(const DDAbstractLogger&) = delete;

    virtual void logMessage(const DDLogMessage& message) = 0;
    virtual QString loggerName() const = 0;
    virtual void didAddLogger() {}
    virtual void willRemoveLogger() {}
    // Called on the logger's queue when the dispatcher flushes.
    virtual void flush() {}

    std::shared_ptr<DDLogFormatter> logFormatter() const;
    void setLogFormatter(std::shared_ptr<DDLogFormatter> formatter);

    FNWSerialQueue& loggerQueue() const { return *m_queue; }

protected:
    // The formatted text of a message: the formatter's output, or the bare message without one.
    QString formattedText(const DDLogMessage& message) const;

private:
    std::unique_ptr<FNWSerialQueue> m_queue;
    mutable std::mutex m_formatterMutex;
    std::shared_ptr<DDLogFormatter> m_formatter;
};

// The dispatcher: every message passes its serial queue "cocoa.lumberjack", which hands it to
// each output. At most 1000 messages wait at a time; a caller past that waits for room.
class DDLog final
{
public:
    static constexpr std::ptrdiff_t kMaxQueuedMessages = 1000;

    DDLog();
    ~DDLog();
    DDLog(const DDLog&) = delete;
    DDLog& operator=(const DDLog&) = delete;

    // The process-wide dispatcher the logging calls go through; it is flushed at exit.
    static DDLog& sharedInstance();

    void addLogger(std::shared_ptr<DDAbstractLogger> logger);
    void removeLogger(const std::shared_ptr<DDAbstractLogger>& logger);
    void removeAllLoggers();
    std::vector<std::shared_ptr<DDAbstractLogger>> allLoggers() const;

    // Asynchronous messages are queued and the call returns; a synchronous call returns once
    // every output has written the message.
    void log(bool asynchronous, unsigned level, DDLogFlag flag, int context, const char* file,
             const char* function, int line, const void* tag, const QString& message);
    // Returns once every message queued before the call has been written and the outputs flushed.
    void flushLog();

private:
    void queueLogMessage(DDLogMessage message, bool asynchronous);
    void dispatch(const DDLogMessage& message);
    bool calledFromLoggingThread() const;

    std::unique_ptr<FNWSerialQueue> m_queue;
    std::counting_semaphore<kMaxQueuedMessages> m_queueSemaphore{kMaxQueuedMessages};
    mutable std::mutex m_loggersMutex;
    std::vector<std::shared_ptr<DDAbstractLogger>> m_loggers;
    const unsigned m_processorCount;
};

namespace fnw::log {
void write(DDLogFlag flag, const char* file, const char* function, int line, const QString& message);
}

// The logging calls. Errors are written before the call returns; warnings and infos are queued.
// The format is printf-style with "%@" for the text form of a value.
#define DDLogError(...) \
    ::fnw::log::write(DDLogFlagError, __FILE__, __func__, __LINE__, FNWStringWithFormat(__VA_ARGS__))
#define DDLogWarn(...) \
    ::fnw::log::write(DDLogFlagWarning, __FILE__, __func__, __LINE__, FNWStringWithFormat(__VA_ARGS__))
#define DDLogInfo(...) \
    ::fnw::log::write(DDLogFlagInfo, __FILE__, __func__, __LINE__, FNWStringWithFormat(__VA_ARGS__))
