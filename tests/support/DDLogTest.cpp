#include "support/DDLog.h"
#include "support/DDTTYLogger.h"

#include <QDateTime>
#include <QRegularExpression>

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Records what reaches it; optionally holds every message until the gate opens.
class RecordingLogger final : public DDAbstractLogger
{
public:
    RecordingLogger() : DDAbstractLogger("test.recording") {}

    void logMessage(const DDLogMessage& message) override
    {
        std::unique_lock lock(m_mutex);
        m_open.wait(lock, [this] { return m_gateOpen; });
        m_messages.push_back(message.logMsg);
        m_flags.push_back(message.logFlag);
    }
    QString loggerName() const override { return QStringLiteral("test.recording"); }

    void setGateOpen(bool open)
    {
        std::lock_guard lock(m_mutex);
        m_gateOpen = open;
        m_open.notify_all();
    }
    QStringList messages() const
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<DDLogFlag> flags() const
    {
        std::lock_guard lock(m_mutex);
        return m_flags;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_open;
    bool m_gateOpen = true;
    QStringList m_messages;
    std::vector<DDLogFlag> m_flags;
};

class DDLogTest : public ::testing::Test
{
protected:
    void SetUp() override { DDLog::sharedInstance().addLogger(recorder); }
    void TearDown() override
    {
        recorder->setGateOpen(true);
        DDLog::sharedInstance().flushLog();
        DDLog::sharedInstance().removeLogger(recorder);
    }

    std::shared_ptr<RecordingLogger> recorder = std::make_shared<RecordingLogger>();
};

// Logs from inside its own output.
class EchoingLogger final : public DDAbstractLogger
{
public:
    EchoingLogger() : DDAbstractLogger("test.echo") {}
    void logMessage(const DDLogMessage& message) override
    {
        if (message.logMsg == QLatin1String("trigger"))
            DDLogError("echo from inside the output");
    }
    QString loggerName() const override { return QStringLiteral("test.echo"); }
};

TEST_F(DDLogTest, ErrorsAreWrittenBeforeTheCallReturnsWhileInfosAndWarningsAreQueued)
{
    DDLogError("PerfTest: Starting test...");
    EXPECT_EQ(recorder->messages(), QStringList{"PerfTest: Starting test..."});

    // With the output stalled, queued messages return at once; they arrive once it resumes.
    recorder->setGateOpen(false);
    DDLogInfo("info %ld", 1);
    DDLogWarn("warning %@", "two");
    EXPECT_EQ(recorder->messages().size(), 1);
    recorder->setGateOpen(true);
    DDLog::sharedInstance().flushLog();
    EXPECT_EQ(recorder->messages(), (QStringList{"PerfTest: Starting test...", "info 1", "warning two"}));
    EXPECT_EQ(recorder->flags(), (std::vector<DDLogFlag>{DDLogFlagError, DDLogFlagInfo, DDLogFlagWarning}));

    // An output that logs while it writes does not wait on itself.
    auto echo = std::make_shared<EchoingLogger>();
    DDLog::sharedInstance().addLogger(echo);
    DDLogError("trigger");
    DDLog::sharedInstance().flushLog();
    DDLog::sharedInstance().removeLogger(echo);
    EXPECT_EQ(recorder->messages().mid(3), (QStringList{"trigger", "echo from inside the output"}));
}

TEST_F(DDLogTest, AtMostAThousandMessagesWaitAndTheNextCallerWaitsForRoom)
{
    recorder->setGateOpen(false);
    std::atomic<int> returned{0};
    std::thread producer([&] {
        for (int i = 0; i < 1001; ++i) {
            DDLogInfo("burst %d", i);
            ++returned;
        }
    });
    // The first thousand calls return while nothing is written; the next one waits.
    while (returned < 1000)
        std::this_thread::yield();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(returned, 1000);
    recorder->setGateOpen(true);
    producer.join();
    DDLog::sharedInstance().flushLog();
    const QStringList messages = recorder->messages();
    ASSERT_EQ(messages.size(), 1001);
    EXPECT_EQ(messages.front(), "burst 0");
    EXPECT_EQ(messages.back(), "burst 1000");
}

TEST_F(DDLogTest, MessagesFromManyThreadsAllArriveInEachThreadsOrder)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                if (i % 50 == 0)
                    DDLogError("%d:%d", t, i);
                else
                    DDLogInfo("%d:%d", t, i);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    DDLog::sharedInstance().flushLog();
    const QStringList messages = recorder->messages();
    ASSERT_EQ(messages.size(), 800);
    std::vector<int> last(4, -1);
    for (const QString& message : messages) {
        const int t = message.section(':', 0, 0).toInt();
        const int i = message.section(':', 1, 1).toInt();
        EXPECT_EQ(i, last[t] + 1) << message.toStdString();
        last[t] = i;
    }
}

TEST(DDLogInstance, RemovedLoggersReceiveNothingAndTheLevelMaskFilters)
{
    DDLog log;
    auto recorder = std::make_shared<RecordingLogger>();
    log.addLogger(recorder);
    log.addLogger(recorder);
    EXPECT_EQ(log.allLoggers().size(), 1u);
    log.log(false, DDLogLevelAll, DDLogFlagInfo, 0, __FILE__, __func__, __LINE__, nullptr, "kept");
    log.log(false, DDLogFlagError, DDLogFlagDebug, 0, __FILE__, __func__, __LINE__, nullptr, "masked out");
    log.removeLogger(recorder);
    log.log(false, DDLogLevelAll, DDLogFlagError, 0, __FILE__, __func__, __LINE__, nullptr, "after removal");
    log.flushLog();
    EXPECT_EQ(recorder->messages(), QStringList{"kept"});
}

TEST(DDTTYLogger, LineCarriesLocalTimeWithMillisecondsProcessIdsAndMessage)
{
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    auto tty = std::make_shared<DDTTYLogger>(stream);
    DDLog log;
    log.addLogger(tty);
    log.log(false, DDLogLevelAll, DDLogFlagError, 0, __FILE__, __func__, __LINE__, nullptr,
            QStringLiteral("FNWUtils: user cancelled save.. ü"));
    log.removeLogger(tty);

    std::rewind(stream);
    char buffer[512] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, stream);
    std::fclose(stream);
    const QString line = QString::fromUtf8(buffer, static_cast<qsizetype>(n));
    const QRegularExpression pattern(QStringLiteral(
        R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \S+\[(\d+):([0-9a-f]+)\] FNWUtils: user cancelled save\.\. ü\n$)"));
    const QRegularExpressionMatch match = pattern.match(line);
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();
    EXPECT_EQ(match.captured(1).toInt(), getpid());

    // The time is local with milliseconds, the thread in hex.
    DDLogMessage message;
    message.logMsg = QStringLiteral("x");
    message.machThreadID = 0x2a;
    const QDateTime when(QDate(2021, 3, 2), QTime(14, 5, 9, 7), Qt::LocalTime);
    message.timestamp = std::chrono::system_clock::time_point(std::chrono::milliseconds(when.toMSecsSinceEpoch()));
    const QByteArray made = DDTTYLogger::lineForMessage(message);
    EXPECT_TRUE(made.startsWith("2021-03-02 14:05:09:007 ")) << made.constData();
    EXPECT_TRUE(made.endsWith(":2a] x\n")) << made.constData();
}

} // namespace
