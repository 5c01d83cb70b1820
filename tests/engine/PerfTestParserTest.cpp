// Reading iperf's lines into stored results, and the one outcome of a run.

#include "FNWEngineTestSupport.h"
#include "FNWTestSupport.h"

#include "db/FNWPresetDAO.h"
#include "db/TestIntervalResultsDAO.h"
#include "engine/PerfTestParsing.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"

#include <gtest/gtest.h>

#include <thread>

using namespace fnw::test;
using namespace fnw::engine::parsing;

namespace {

// "start-end bytes speed jitter|datagrams", of a line read or a result stored.
template <class Line> QString row(const Line& line)
{
    return QStringLiteral("%1-%2 %3 %4 %5|%6")
        .arg(line.start_time, line.end_time, QString::number(line.data_transfered, 'g', 7),
             QString::number(line.speed, 'g', 7), line.jitter, line.datagrams);
}

class PerfTestParser : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(useFreshDatabase()); }

    // A run of a preset with the given type, direction and duration, as the test manager sets it up.
    std::shared_ptr<PerfTest> makeRun(qint64 testType, qint64 direction, qint64 duration)
    {
        preset = timedPreset(duration);
        preset->test_type = testType;
        preset->direction = direction;
        QString error;
        EXPECT_TRUE(FNWPresetDAO().save(*preset, &error)) << error.toStdString();
        auto test = makeTest(preset, QStringLiteral("127.0.0.1"), 5201);
        test->ID = 7;
        execution = std::make_shared<TestExecutionBean>();
        execution->ID = 42;
        auto run = PerfTest::initWithTestBean(test);
        run->setExecutionBean(execution);
        run->setExecutionID(42);
        run->setDelegate(delegate);
        return run;
    }

    // The execution's results oldest first, each as its row and its test.
    static QStringList stored()
    {
        QStringList rows;
        for (const auto& r : TestIntervalResultsDAO().loadAllResultsForTestExectionID(42))
            rows.prepend(row(*r) + u' ' + QString::number(r->test_id));
        return rows;
    }

    std::shared_ptr<FNWPresetBean> preset;
    std::shared_ptr<TestExecutionBean> execution;
    std::shared_ptr<RecordingRunDelegate> delegate = std::make_shared<RecordingRunDelegate>();
};

} // namespace

TEST(PerfTestParsing, ReadsNumbersAndFields)
{
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral("1200 KBytes")), 1200.0);
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral("-2.5e3x")), -2500.0);
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral("12.31")), 12.31);
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral("Mbits")), 0.0);
    EXPECT_DOUBLE_EQ(readLeadingNumber(QStringLiteral(".")), 0.0);
    EXPECT_EQ(trimBlanks(QStringLiteral(" \t0.012 ms\r\n\t ")), QLatin1String("0.012 ms\r\n"));

    const auto line =
        parseDataLine(QStringLiteral("RESULT_x$# 0.00-1.00 sec $#1200 KBytes$#9600 Kbits/sec$# 0.5 ms $#0/9 "));
    ASSERT_TRUE(line);
    EXPECT_EQ(row(*line), QLatin1String("0.00-1.00 1200 9600 0.5 ms|0/9"));
    // Other unit words are not converted: the number before them is kept.
    const auto megabits = parseDataLine(QStringLiteral("RESULT_$#0-1$#3 MBytes$#5 Mbits/sec"));
    ASSERT_TRUE(megabits);
    EXPECT_EQ(row(*megabits), QLatin1String("0-1 3 5 |"));
    EXPECT_FALSE(parseDataLine(QStringLiteral("RESULT_$#0.00-1.00 sec$#1200")));
    EXPECT_FALSE(parseDataLine(QStringLiteral("RESULT_$#1.00 sec$#1200$#9600")));
}

TEST(PerfTestParsing, JoinsLinesCutAcrossChunks)
{
    FNWLineAssembler lines;
    EXPECT_EQ(lines.append("Connected\nRESU"), QByteArray("Connected\n"));
    EXPECT_EQ(lines.append("LT_$#0.00-1."), QByteArray());
    EXPECT_EQ(lines.append("00 sec$#1$#2\nFinished_$#0"), QByteArray("RESULT_$#0.00-1.00 sec$#1$#2\n"));
    // A character cut in the middle of its bytes comes out whole.
    const QByteArray name = QStringLiteral("Büro\n").toUtf8();
    EXPECT_EQ(lines.append(name.left(2)), QByteArray());
    EXPECT_EQ(QString::fromUtf8(lines.append(name.mid(2))), QStringLiteral("Finished_$#0Büro\n"));
    lines.append("iperf Done.");
    EXPECT_EQ(lines.takeRemainder(), QByteArray("iperf Done."));
    EXPECT_FALSE(lines.hasRemainder());
}

TEST(PerfTestParsing, JudgesTheFinalLineAgainstThePreset)
{
    // The final line from 0.00 of a 10-second test whose intervals carried data, unless the row says otherwise.
    const struct
    {
        const char* end;
        double bytes;
        double secondsSinceLaunch;
        const char* problem; // none when the line stands
        bool lastIntervalEmpty = false, byAmount = false, hadIntervalsWithData = true;
    } cases[] = {
        {"10.00", 5e6, 10.2, nullptr},
        {"9.05", 5e6, 10.2, nullptr}, // within a second
        {"2.00", 5e6, 10.2, "The final result covers only 2.00 of 10 seconds."},
        {"10.00", 0, 10.2, "The final result reports 0 bytes after intervals that carried data."},
        // A slow link's queue drains after the end: a few seconds late is fine while data still flowed.
        {"12.92", 5e6, 13.1, nullptr},
        // After intervals without data the server had stopped receiving.
        {"20.38", 5e6, 20.4,
         "The final result arrived 10.4 seconds after the end of the 10-second test, after intervals without data: "
         "the server stopped receiving.",
         true},
        {"10.00", 5e6, 41.0, "The final result arrived 31.0 seconds after the end of the 10-second test."},
        // A run by amount takes as long as it takes; a run without intervals may carry nothing.
        {"0.04", 1e6, 41.0, nullptr, false, true},
        {"10.00", 0, 10.2, nullptr, false, false, false},
    };
    for (const auto& c : cases) {
        FNWDataLine line;
        line.start_time = QStringLiteral("0.00");
        line.end_time = QString::fromLatin1(c.end);
        line.data_transfered = c.bytes;
        const FNWFinalLineContext context{10, c.byAmount, c.hadIntervalsWithData, c.lastIntervalEmpty,
                                          c.secondsSinceLaunch};
        const auto expected = c.problem ? std::optional(QString::fromLatin1(c.problem)) : std::nullopt;
        EXPECT_EQ(judgeFinalLine(line, context), expected) << c.end << " at " << c.secondsSinceLaunch;
    }
}

TEST_F(PerfTestParser, StoresIntervalLinesInOrderWithJitterOnlyForReverseUdp)
{
    auto run = makeRun(1, 0, 10);
    run->didReceivePerfTestRespnose(
        QStringLiteral("Connected: local\nRESULT_$#0.00-1.00 sec$#1200$#9600$#0.1 ms$#0/10\n"
                       "RESULT_$#1.00-2.00 sec$#1200 KBytes$#9600 Kbits/sec\nRESULT_$#2.00-3.00 sec$#1200\n"
                       "RESULT_$#3.00-4.00 sec$#1300$#10400\n"));
    // The line without a speed is skipped.
    EXPECT_EQ(stored(),
              (QStringList{"0.00-1.00 1200 9600 | 7", "1.00-2.00 1200 9600 | 7", "3.00-4.00 1300 10400 | 7"}));
    EXPECT_TRUE(delegate->outcomes().empty());

    auto reverse = makeRun(1, 1, 10);
    reverse->didReceivePerfTestRespnose(QStringLiteral("RESULT_$#0.00-1.00 sec$#1200$#9600$#0.1 ms$#0/10\n"));
    EXPECT_EQ(stored().mid(3), QStringList{"0.00-1.00 1200 9600 0.1 ms|0/10 7"});
}

TEST_F(PerfTestParser, TheFinalLineFillsTheSummaryAndItsTimeAndFinishesOnce)
{
    LogCapture log;
    auto run = makeRun(1, 0, 10);
    run->didReceivePerfTestRespnose(QStringLiteral(
        "RESULT_$#9.00-10.00 sec$#1000$#8000\nFinished_$#0.00-10.00 sec$#123456$#98765.9$#0.2 ms$#1/100\n"
        "Finished_$#0.00-10.00 sec$#1$#1\niperf Done.\n"));
    run->didReceivePerfTestRespnose(QStringLiteral("Finished_$#0.00-10.00 sec$#5$#5\n"));

    ASSERT_EQ(delegate->outcomes().size(), 1U);
    EXPECT_TRUE(delegate->outcomes()[0].finished);
    EXPECT_EQ(execution->averageSpeed(), 98765);
    EXPECT_EQ(execution->dataTransfered(), 123456);
    EXPECT_EQ(execution->execution_duration(), 10);
    // The interval line and the first final line; the final phase ended there.
    EXPECT_EQ(stored(), (QStringList{"9.00-10.00 1000 8000 | 7", "0.00-10.00 123456 98765.9 0.2 ms|1/100 7"}));
    EXPECT_TRUE(log.messages().contains(
        QLatin1String("PerfTest: final interval result has been received from native iperf, stopping test.. ")));

    // A final line before the duration is stored, does not end the phase, and still finishes.
    auto shortRun = makeRun(0, 0, 10);
    shortRun->didReceivePerfTestRespnose(QStringLiteral("Finished_$#0.00-9.99 sec$#10$#80\n"));
    EXPECT_EQ(execution->execution_duration(), 10);
    EXPECT_EQ(delegate->outcomes().size(), 2U);
    auto roundedUp = makeRun(0, 0, 10);
    roundedUp->didReceivePerfTestRespnose(QStringLiteral("Finished_$#0.00-10.01 sec$#10$#80\n"));
    EXPECT_EQ(execution->execution_duration(), 11);
    // A run by amount keeps its amount and gives its time to the execution.
    auto byAmount = makeRun(0, 0, -1);
    byAmount->didReceivePerfTestRespnose(QStringLiteral("Finished_$#0.00-12.31 sec$#104857600$#68000000\n"));
    EXPECT_EQ(execution->execution_duration(), 13);
    EXPECT_EQ(preset->duration, -1);
}

TEST_F(PerfTestParser, AFailureWordFailsTheRunWithTheWholeChunkKeepingWhatCameBefore)
{
    auto run = makeRun(0, 0, 10);
    run->didReceivePerfTestRespnose(QStringLiteral("Error in the banner\nRESULT_$#0.00-1.00 sec$#1$#8\n"));
    EXPECT_TRUE(delegate->outcomes().empty());

    const QString chunk = QStringLiteral("RESULT_$#1.00-2.00 sec$#1$#8\niperf3: error - control socket has closed\n"
                                         "RESULT_$#2.00-3.00 sec$#1$#8\nFinished_$#0.00-3.00 sec$#3$#8\n");
    run->didReceivePerfTestRespnose(chunk);
    run->didReceivePerfTestRespnose(QStringLiteral("Finished_$#0.00-10.00 sec$#3$#8\n"));
    ASSERT_EQ(delegate->outcomes().size(), 1U);
    EXPECT_FALSE(delegate->outcomes()[0].finished);
    EXPECT_EQ(delegate->outcomes()[0].reason, chunk);
    EXPECT_TRUE(run->hasCancelled());
    // The interval line before the failure word; nothing after it, and not the final line of 3 seconds
    // in a 10-second test.
    EXPECT_EQ(stored(), (QStringList{"0.00-1.00 1 8 | 7", "1.00-2.00 1 8 | 7"}));
}

TEST_F(PerfTestParser, AFinalLineThatIsNoResultFailsTheRunAndAnIntervalPrintedTwiceIsStoredOnce)
{
    // iperf repeats the interval during which the server went away, then prints totals of what it saw.
    auto run = makeRun(0, 1, 6);
    run->didReceivePerfTestRespnose(QStringLiteral("RESULT_$#0.00-1.00 sec$#1000$#8000\n"
                                                   "RESULT_$#1.00-2.00 sec$#1000$#8000\n"
                                                   "RESULT_$#1.00-2.00 sec$#1000$#8000\n"));
    run->didReceivePerfTestRespnose(QStringLiteral("Finished_$#0.00-2.00 sec$#2000$#8000\niperf Done.\n"));
    ASSERT_EQ(delegate->outcomes().size(), 1U);
    EXPECT_FALSE(delegate->outcomes()[0].finished);
    EXPECT_EQ(delegate->outcomes()[0].reason, QStringLiteral("The final result covers only 2.00 of 6 seconds."));
    EXPECT_LE(execution->averageSpeed(), 0); // never filled
    EXPECT_TRUE(run->hasCancelled());
    EXPECT_EQ(stored(), (QStringList{"0.00-1.00 1000 8000 | 7", "1.00-2.00 1000 8000 | 7"}));

    auto empty = makeRun(0, 0, 2);
    empty->didReceivePerfTestRespnose(
        QStringLiteral("RESULT_$#0.00-1.00 sec$#1000$#8000\nRESULT_$#1.00-2.00 sec$#0$#0\nFinished_$#0.00-2.00 sec$#0$#0\n"));
    ASSERT_EQ(delegate->outcomes().size(), 2U);
    EXPECT_EQ(delegate->outcomes()[1].reason,
              QStringLiteral("The final result reports 0 bytes after intervals that carried data."));
}

TEST_F(PerfTestParser, RacingReportsGiveExactlyOneOutcome)
{
    auto run = makeRun(0, 0, 10);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&run, i] {
            run->didReceivePerfTestRespnose(i % 2 == 0 ? QStringLiteral("Finished_$#0.00-10.00 sec$#3$#8\n")
                                                       : QStringLiteral("iperf3: error - boom\n"));
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(delegate->outcomes().size(), 1U);
}
