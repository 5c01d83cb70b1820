#include "support/DDLog.h"

#include "support/FNWSerialQueue.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <thread>

namespace {

// Set while a thread serves the dispatcher or an output: logging synchronously from there
// would wait on itself.
thread_local bool t_inLoggingMachinery = false;

struct LoggingScope
{
    LoggingScope() : m_previous(t_inLoggingMachinery) { t_inLoggingMachinery = true; }
    ~LoggingScope() { t_inLoggingMachinery = m_previous; }
    bool m_previous;
};

std::string currentThreadName()
{
    char name[64] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof name) != 0)
        return {};
    return name;
}

// Counts down as each output finishes one message.
class CompletionLatch
{
public:
    explicit CompletionLatch(size_t count) : m_count(count) {}
    void countDown()
    {
        std::lock_guard lock(m_mutex);
        if (--m_count == 0)
            m_done.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_count == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    size_t m_count;
};

} // namespace

std::tm DDLogLocalTime(const DDLogMessage& message, int* milliseconds)
{
    const auto sinceEpoch = message.timestamp.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    *milliseconds = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count());
    const std::time_t time = static_cast<std::time_t>(seconds.count());
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

DDAbstractLogger::DDAbstractLogger(const std::string& queueLabel)
    : m_queue(std::make_unique<FNWSerialQueue>(queueLabel))
{
}

DDAbstractLogger::~DDAbstractLogger() = default;

std::shared_ptr<DDLogFormatter> DDAbstractLogger::logFormatter() const
{
    std::lock_guard lock(m_formatterMutex);
    return m_formatter;
}

void DDAbstractLogger::setLogFormatter(std::shared_ptr<DDLogFormatter> formatter)
{
    std::lock_guard lock(m_formatterMutex);
    m_formatter = std::move(formatter);
}

QString DDAbstractLogger::formattedText(const DDLogMessage& message) const
{
    const std::shared_ptr<DDLogFormatter> formatter = logFormatter();
    return formatter ? formatter->formatLogMessage(message) : message.logMsg;
}

DDLog::DDLog()
    : m_queue(std::make_unique<FNWSerialQueue>("cocoa.lumberjack"))
    , m_processorCount(std::max(1u, std::thread::hardware_concurrency()))
{
}

DDLog::~DDLog()
{
    flushLog();
    removeAllLoggers();
    m_queue.reset();
}

DDLog& DDLog::sharedInstance()
{
    // Never destroyed: messages logged while static objects are torn down still have a home.
    static DDLog* instance = [] {
        auto* log = new DDLog;
        std::atexit([] { DDLog::sharedInstance().flushLog(); });
        return log;
    }();
    return *instance;
}

void DDLog::addLogger(std::shared_ptr<DDAbstractLogger> logger)
{
    if (!logger)
        return;
    m_queue->sync([&] {
        {
            std::lock_guard lock(m_loggersMutex);
            if (std::find(m_loggers.begin(), m_loggers.end(), logger) != m_loggers.end())
                return;
            m_loggers.push_back(logger);
        }
        logger->loggerQueue().sync([&] { logger->didAddLogger(); });
    });
}

void DDLog::removeLogger(const std::shared_ptr<DDAbstractLogger>& logger)
{
    if (!logger)
        return;
    m_queue->sync([&] {
        {
            std::lock_guard lock(m_loggersMutex);
            auto it = std::find(m_loggers.begin(), m_loggers.end(), logger);
            if (it == m_loggers.end())
                return;
            m_loggers.erase(it);
        }
        logger->loggerQueue().sync([&] { logger->willRemoveLogger(); });
    });
}

void DDLog::removeAllLoggers()
{
    m_queue->sync([&] {
        std::vector<std::shared_ptr<DDAbstractLogger>> loggers;
        {
            std::lock_guard lock(m_loggersMutex);
            loggers.swap(m_loggers);
        }
        for (const auto& logger : loggers)
            logger->loggerQueue().sync([&] { logger->willRemoveLogger(); });
    });
}

std::vector<std::shared_ptr<DDAbstractLogger>> DDLog::allLoggers() const
{
    std::lock_guard lock(m_loggersMutex);
    return m_loggers;
}

void DDLog::log(bool asynchronous, unsigned level, DDLogFlag flag, int context, const char* file,
                const char* function, int line, const void* tag, const QString& message)
{
    if ((level & flag) == 0)
        return;
    DDLogMessage logMessage;
    logMessage.logLevel = level;
    logMessage.logFlag = flag;
    logMessage.logContext = context;
    logMessage.logMsg = message;
    logMessage.timestamp = std::chrono::system_clock::now();
    logMessage.file = file ? file : "";
    logMessage.function = function ? function : "";
    logMessage.lineNumber = line;
    logMessage.machThreadID = static_cast<std::uint64_t>(gettid());
    logMessage.queueLabel = FNWSerialQueue::currentLabel();
    logMessage.threadName = currentThreadName();
    logMessage.tag = tag;
    queueLogMessage(std::move(logMessage), asynchronous);
}

bool DDLog::calledFromLoggingThread() const
{
    return t_inLoggingMachinery || m_queue->isCurrent();
}

void DDLog::queueLogMessage(DDLogMessage message, bool asynchronous)
{
    // A message logged from inside the machinery is queued without waiting: waiting for room
    // or for the outputs there would wait on the very thread that has to make progress.
    if (calledFromLoggingThread()) {
        m_queue->async([this, message = std::move(message)] { dispatch(message); });
        return;
    }
    m_queueSemaphore.acquire();
    auto task = [this, message = std::move(message)] {
        dispatch(message);
        m_queueSemaphore.release();
    };
    if (asynchronous)
        m_queue->async(std::move(task));
    else
        m_queue->sync(task);
}

void DDLog::dispatch(const DDLogMessage& message)
{
    LoggingScope scope;
    std::vector<std::shared_ptr<DDAbstractLogger>> loggers = allLoggers();
    if (loggers.empty())
        return;
    auto write = [&message](const std::shared_ptr<DDAbstractLogger>& logger) {
        LoggingScope loggerScope;
        logger->logMessage(message);
    };
    if (m_processorCount == 1 || loggers.size() == 1) {
        for (const auto& logger : loggers)
            logger->loggerQueue().sync([&] { write(logger); });
        return;
    }
    // Several processors: every output writes at the same time, and the dispatcher waits for all.
    CompletionLatch latch(loggers.size());
    for (const auto& logger : loggers) {
        logger->loggerQueue().async([&, logger] {
            write(logger);
            latch.countDown();
        });
    }
    latch.wait();
}

void DDLog::flushLog()
{
    if (calledFromLoggingThread())
        return;
    m_queue->sync([this] {
        for (const auto& logger : allLoggers()) {
            logger->loggerQueue().sync([&] {
                LoggingScope scope;
                logger->flush();
            });
        }
    });
}

namespace fnw::log {

void write(DDLogFlag flag, const char* file, const char* function, int line, const QString& message)
{
    const bool asynchronous = flag != DDLogFlagError;
    DDLog::sharedInstance().log(asynchronous, DDLogLevelAll, flag, 0, file, function, line, nullptr, message);
}

} // namespace fnw::log
