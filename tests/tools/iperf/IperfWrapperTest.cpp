#include "IperfWrapper.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <iterator>
#include <sstream>

using namespace fnw::wrapper;

namespace {

std::vector<std::string> split(const std::string& text)
{
    std::istringstream words(text);
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const auto& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

struct Transcript
{
    std::vector<std::string> out;
    std::vector<std::string> err;
    int exitStatus = -1;
    bool stopRequested = false;
};

// Feeds tool output, given as "1|line" for standard output and "2|line" for standard error.
Transcript translate(IperfFlavor flavor, const std::string& arguments, const std::vector<std::string>& lines,
    int toolExitStatus = 0)
{
    const auto parsed = parseArguments(split(arguments), flavor);
    EXPECT_TRUE(parsed.command) << parsed.error;
    OutputTranslator translator(flavor, *parsed.command);
    Transcript transcript;
    auto take = [&](const OutputTranslator::Output& output) {
        transcript.out.insert(transcript.out.end(), output.out.begin(), output.out.end());
        transcript.err.insert(transcript.err.end(), output.err.begin(), output.err.end());
        transcript.stopRequested |= output.stopTool;
    };
    for (const auto& line : lines)
        take(line[0] == '1' ? translator.standardOutputLine(line.substr(2)) : translator.standardErrorLine(line.substr(2)));
    take(translator.finish(toolExitStatus, transcript.exitStatus));
    return transcript;
}

} // namespace

TEST(WrapperArguments, TranslatesTheApplicationsListOrRefusesWhatTheToolWouldMisread)
{
    const struct
    {
        IperfFlavor flavor;
        const char* given;
        const char* expected;
        size_t notes; // a length cut to what the tool takes, or an option it lacks or the kernel refuses
    } cases[] = {
        {IperfFlavor::Iperf3, "./iperf3 -c 10.0.0.5 -t10 -i1 -p5201",
            "-c 10.0.0.5 -p 5201 -f k --forceflush -t 10 -i 1", 0},
        {IperfFlavor::Iperf3, "./iperf3 -c 10.0.0.5 -u -R -b0M -l128KB -p5201",
            "-c 10.0.0.5 -p 5201 -f k --forceflush -b 0M -l 65507 -u -R", 1},
        {IperfFlavor::Iperf3, "./iperf3 -c h -n100M -w64KB -M MSS-1460 -N -i2",
            "-c h -f k --forceflush -i 2 -n 100M -w 64K -M 1460 -N", 0},
        {IperfFlavor::Iperf3, "./iperf3 -c h -b50M -l128KB -M MSS-40", "-c h -f k --forceflush -b 50M -l 128K", 1},
        {IperfFlavor::Iperf3, "-c h -t 10 -p 5201 -P 4", "-c h -p 5201 -f k --forceflush -t 10 -P 4", 0},
        {IperfFlavor::Iperf3, "./iperf3 -c h -l2048KB", "-c h -f k --forceflush -l 1048576", 1},
        {IperfFlavor::Iperf3, "-c h -M MSS-87", "-c h -f k --forceflush", 1},
        {IperfFlavor::Iperf3, "-c h -M MSS-88", "-c h -f k --forceflush -M 88", 0},
        {IperfFlavor::Iperf3, "-c h -M 40000", "-c h -f k --forceflush", 1},
        {IperfFlavor::Iperf3, "-c h -u -M MSS-1460", "-c h -f k --forceflush -u", 1},
        {IperfFlavor::Iperf2, "./iperf2 -c h -t10 -i1 -fb -p5001", "-c h -p 5001 -f b -t 10 -i 1", 0},
        // iperf refuses a zero rate; its rate suffixes are decimal in lower case.
        {IperfFlavor::Iperf2, "./iperf2 -c h -u -b0M -fb -p5002", "-c h -p 5002 -f b -b 100g -u", 0},
        {IperfFlavor::Iperf2, "./iperf2 -c h -b0M -fb -p5001", "-c h -p 5001 -f b", 0},
        {IperfFlavor::Iperf2, "./iperf2 -c h -u -b50M -M MSS-1460 -N -fb -p5002", "-c h -p 5002 -f b -b 50m -u", 1},
    };
    for (const auto& c : cases) {
        const auto parsed = parseArguments(split(c.given), c.flavor);
        ASSERT_TRUE(parsed.command) << c.given << ": " << parsed.error;
        EXPECT_EQ(joined(parsed.command->toolArguments), c.expected) << c.given;
        EXPECT_EQ(parsed.command->notes.size(), c.notes) << c.given;
        for (const auto& note : parsed.command->notes)
            EXPECT_FALSE(containsFailureWord(note)) << note;
    }
    // iperf3 reads "-t abc" and "-t 0" as "run forever"; every number is checked here instead.
    for (const char* given : {"-c h -tabc", "-c h -t0", "-c h -t -5", "-c h -t1.5", "-c h -i0", "-c h -p70000",
             "-c h -n0M", "-c h -b5X", "-c h -l128KBB", "-c h -M MSS-", "-c h -x", "-c h extra", "-t10",
             "-c -t10", "-c h -t"}) {
        const auto parsed = parseArguments(split(given), IperfFlavor::Iperf3);
        EXPECT_FALSE(parsed.command) << given;
        EXPECT_TRUE(parsed.error.rfind("error: ", 0) == 0) << given << ": " << parsed.error;
    }
}

TEST(WrapperDataLines, ReadsBothToolsLayoutsAndDerivesBytesFromTheRateWhereThatIsCloser)
{
    const struct
    {
        const char* text;
        const char* row; // id start-end bytes bits/s jitter|datagrams role
    } lines[] = {
        // Transfers in binary units, rates in decimal ones.
        {"[  5]   0.00-1.00   sec  2.73 GBytes  23471288 Kbits/sec   39   1023 KBytes       ",
            "5 0.00-1.00 2931315179.52 23471288000 | "},
        {"[  5]   0.00-2.00   sec  2.41 MBytes  10092 Kbits/sec  0.008 ms  0/77 (0%)  receiver",
            "5 0.00-2.00 2527068.16 10092000 0.008 ms|0/77 receiver"},
        {"[ *1] 0.0000-2.0018 sec  2625420 Bytes  10492137 bits/sec   0.001 ms 0/ 1786 (0%)",
            "1 0.0000-2.0018 2625420 10492137 0.001 ms|0/1786 "},
        {"[SUM]   0.00-1.00   sec  2.76 GBytes  23702923 Kbits/sec    8             sender",
            "SUM 0.00-1.00 2963527434.24 23702923000 | sender"},
        // "10.0 MBytes" is known to 0.5 %; 8400 Kbits/sec over exactly 10 seconds pins the bytes far closer.
        {"[  5]   0.00-10.00  sec  10.0 MBytes  8400 Kbits/sec  receiver", "5 0.00-10.00 10500000 8400000 | receiver"},
    };
    for (const auto& l : lines) {
        const auto line = parseDataLine(l.text);
        ASSERT_TRUE(line) << l.text;
        std::ostringstream row;
        row << std::setprecision(15) << line->id << ' ' << line->startText << '-' << line->endText << ' ' << line->bytes
            << ' ' << line->bitsPerSecond << ' ' << line->jitter << '|' << line->datagrams << ' ' << line->role;
        EXPECT_EQ(row.str(), l.row);
    }
    EXPECT_EQ(formatLine("Finished_", *parseDataLine(lines[4].text), false),
        "Finished_$#0.00-10.00 sec$#10500000$#8400000");

    for (const char* other : {"[ ID] Interval           Transfer     Bitrate", "[  1] Sent 1788 datagrams",
             "[  1] 0.0000-1.0207 sec  1 datagrams received out-of-order", "- - - - - - - -", "",
             "[  5] local 127.0.0.1 port 59388 connected to 127.0.0.1 port 15201"})
        EXPECT_FALSE(parseDataLine(other)) << other;
}

TEST(WrapperTranslation, Iperf3RunsGiveTheIntervalsThenTheReceiversSummaryOrTheSumsOrOnlyTheirFailures)
{
    auto t = translate(IperfFlavor::Iperf3, "./iperf3 -c 127.0.0.1 -t2 -i1",
        {"1|Connecting to host 127.0.0.1, port 5201",
            "1|[  5] local 127.0.0.1 port 59388 connected to 127.0.0.1 port 5201",
            "1|[ ID] Interval           Transfer     Bitrate         Retr  Cwnd",
            "1|[  5]   0.00-1.00   sec  2.73 GBytes  23471288 Kbits/sec   39   1023 KBytes",
            "1|[  5]   1.00-2.00   sec  2.85 GBytes  24465848 Kbits/sec   14   1023 KBytes",
            "1|- - - - - - - - - - - - - - - - - - - - - - - - -",
            "1|[  5]   0.00-2.00   sec  5.58 GBytes  23968568 Kbits/sec  53             sender",
            "1|[  5]   0.00-2.00   sec  5.58 GBytes  23968000 Kbits/sec                  receiver", "1|",
            "1|iperf Done."});
    ASSERT_EQ(t.out.size(), 5u);
    EXPECT_EQ(t.out[0].rfind("Connected:", 0), 0u);
    EXPECT_EQ(t.out[1].rfind("RESULT_$#0.00-1.00 sec$#", 0), 0u);
    EXPECT_EQ(t.out[3].rfind("Finished_$#0.00-2.00 sec$#", 0), 0u);
    EXPECT_NE(t.out[3].find("$#23968000000"), std::string::npos); // the receiver's figure
    EXPECT_EQ(t.out[4], "iperf Done.");
    EXPECT_EQ(t.exitStatus, 0);
    for (const auto& line : t.out)
        EXPECT_FALSE(containsFailureWord(line)) << line;

    // Parallel streams: the sums, not one stream's figures.
    t = translate(IperfFlavor::Iperf3, "-c h -t1 -P2",
        {"1|[  5] local 127.0.0.1 port 1 connected to 127.0.0.1 port 5201",
            "1|[  5]   0.00-1.00   sec  1.38 GBytes  11846220 Kbits/sec    4   1 MBytes",
            "1|[  7]   0.00-1.00   sec  1.38 GBytes  11842159 Kbits/sec    4   1 MBytes",
            "1|[SUM]   0.00-1.00   sec  2.76 GBytes  23688379 Kbits/sec    8",
            "1|[  5]   0.00-1.00   sec  1.38 GBytes  11846220 Kbits/sec    4             sender",
            "1|[  5]   0.00-1.00   sec  1.38 GBytes  11842159 Kbits/sec                  receiver",
            "1|[SUM]   0.00-1.00   sec  2.76 GBytes  23702923 Kbits/sec    8             sender",
            "1|[SUM]   0.00-1.00   sec  2.76 GBytes  23694797 Kbits/sec                  receiver"});
    ASSERT_EQ(t.out.size(), 4u);
    EXPECT_NE(t.out[1].find("$#23688379000"), std::string::npos);
    EXPECT_NE(t.out[2].find("$#23694797000"), std::string::npos);

    // Failures reach standard error only, and a summary stands only when the tool ends well.
    t = translate(IperfFlavor::Iperf3, "-c h -t2",
        {"1|Connecting to host h, port 5201", "2|iperf3: error - unable to connect to server: Connection refused"}, 1);
    EXPECT_TRUE(t.out.empty());
    EXPECT_EQ(t.err, std::vector<std::string>{"iperf3: error - unable to connect to server: Connection refused"});
    EXPECT_EQ(t.exitStatus, 1);

    // A run cut short without a summary and without a word from the tool still fails, loudly.
    t = translate(IperfFlavor::Iperf3, "-c h -t2",
        {"1|[  5] local a port 1 connected to b port 2", "1|[  5]   0.00-1.00   sec  1.00 MBytes  8388 Kbits/sec"}, 0);
    ASSERT_EQ(t.out.size(), 2u);
    EXPECT_EQ(t.out[1].rfind("RESULT_", 0), 0u);
    EXPECT_EQ(t.err, std::vector<std::string>{"error: iperf3 ended without a summary"});
    EXPECT_EQ(t.exitStatus, 1);

    // The server stopped two seconds in: iperf3 repeats the last interval, prints totals of what it
    // saw, then the failure.
    const std::vector<std::string> cutShort{"1|[  5] local a port 1 connected to b port 5201",
        "1|[  5]   0.00-1.00   sec  1.84 GBytes  15751224 Kbits/sec    1   2.25 MBytes",
        "1|[  5]   1.00-2.00   sec  1.56 GBytes  13421125 Kbits/sec    0   2.50 MBytes",
        "1|[  5]   1.00-2.00   sec  1.56 GBytes  13421125 Kbits/sec    0   2.50 MBytes",
        "1|[  5]   0.00-2.00   sec  4.62 GBytes  19818414 Kbits/sec    1             sender",
        "1|[  5]   0.00-2.00   sec  0.00 Bytes  0.00 Kbits/sec                  receiver",
        "2|iperf3: error - the server has terminated"};
    t = translate(IperfFlavor::Iperf3, "-c h -t6 -i1", cutShort, 1);
    ASSERT_EQ(t.out.size(), 3u);
    EXPECT_EQ(t.out[2].rfind("RESULT_$#1.00-2.00 sec$#", 0), 0u);
    EXPECT_EQ(t.err, std::vector<std::string>{"iperf3: error - the server has terminated"});
    EXPECT_EQ(t.exitStatus, 1);

    // A summary followed by a failing exit without a word is no result either; the status is the tool's.
    t = translate(IperfFlavor::Iperf3, "-c h -t2 -i1",
        {"1|[  5]   0.00-2.00   sec  4.62 GBytes  19818414 Kbits/sec                  receiver"}, 3);
    EXPECT_TRUE(t.out.empty());
    EXPECT_EQ(t.err, std::vector<std::string>{"error: iperf3 reported a failure after its summary (exit status 3)"});
    EXPECT_EQ(t.exitStatus, 3);

    // A summary that covers clearly less than the test, whatever the tool's status.
    t = translate(IperfFlavor::Iperf3, "-c h -t6 -R",
        {"1|[  5]   0.00-2.00   sec  4.80 GBytes  20635965 Kbits/sec                  receiver", "1|iperf Done."}, 0);
    EXPECT_TRUE(t.out.empty());
    EXPECT_EQ(t.err, std::vector<std::string>{"error: the summary covers only 2.00 of 6 seconds"});
    EXPECT_EQ(t.exitStatus, 1);
}

TEST(WrapperTranslation, Iperf2TcpSummaryIsKnownByItsTimesAndWhenLateFailsOnlyAfterIntervalsWithoutData)
{
    const std::vector<std::string> start{"1|[  1] local a port 1 connected with b port 5001",
        "1|[  1] 0.0000-1.0000 sec  4158524 Bytes  33268192 bits/sec"};
    // The server stopped reading: writes filled the kernel's buffers, then nothing moved.
    auto stalled = start;
    stalled.insert(stalled.end(), {"1|[  1] 1.0000-2.0000 sec  65536 Bytes  524288 bits/sec",
        "1|[  1] 2.0000-3.0000 sec  0.000 Bytes  0.000 bits/sec",
        "1|[  1] 0.0000-12.3825 sec  4224060 Bytes  2729060 bits/sec"});
    auto t = translate(IperfFlavor::Iperf2, "-c h -t3 -i1 -fb", stalled);
    EXPECT_TRUE(t.stopRequested);
    EXPECT_EQ(t.err, std::vector<std::string>{
        "error: the server stopped receiving; the 3-second test took 12.4 seconds to end"});
    EXPECT_EQ(t.exitStatus, 1);
    for (const auto& line : t.out)
        EXPECT_NE(line.rfind("Finished_", 0), 0u);

    // A slow link drains its queue after the end, with data moving to the last interval.
    auto draining = start;
    draining.insert(draining.end(), {"1|[  1] 1.0000-2.0000 sec  1179648 Bytes  9437184 bits/sec",
        "1|[  1] 2.0000-3.0000 sec  1179648 Bytes  9437184 bits/sec",
        "1|[  1] 0.0000-7.9174 sec  9830400 Bytes  9932985 bits/sec"});
    t = translate(IperfFlavor::Iperf2, "-c h -t3 -i1 -fb", draining);
    EXPECT_EQ(t.exitStatus, 0);
    EXPECT_EQ(t.out[t.out.size() - 2], "Finished_$#0.0000-7.9174 sec$#9830400$#9932985");

    // With the interval as long as the run, "0.0000-2.0000" could be the first interval or the summary:
    // it is held until its meaning is known.
    t = translate(IperfFlavor::Iperf2, "-c h -t2 -i2 -fb",
        {"1|[  1] local a port 1 connected with b port 5001",
            "1|[  1] 0.0000-2.0000 sec  5462818876 Bytes  21851275504 bits/sec",
            "1|[  1] 0.0000-2.0136 sec  5462949948 Bytes  21704006361 bits/sec"});
    ASSERT_EQ(t.out.size(), 4u);
    EXPECT_EQ(t.out[1], "RESULT_$#0.0000-2.0000 sec$#5462818876$#21851275504");
    EXPECT_EQ(t.out[2], "Finished_$#0.0000-2.0136 sec$#5462949948$#21704006361");

    // Without intervals the only line is the summary, known as such when the tool ends.
    t = translate(IperfFlavor::Iperf2, "-c h -n10M -fb",
        {"1|[  1] local a port 1 connected with b port 5001",
            "1|[  1] 0.0000-0.0175 sec  10485760 Bytes  4796505232 bits/sec"});
    ASSERT_EQ(t.out.size(), 3u);
    EXPECT_EQ(t.out[1], "Finished_$#0.0000-0.0175 sec$#10485760$#4796505232");
    EXPECT_EQ(t.exitStatus, 0);
}

TEST(WrapperTranslation, Iperf2UdpTakesTheServerReport)
{
    auto t = translate(IperfFlavor::Iperf2, "-c h -t2 -i1 -u -b5M -fb",
        {"1|[  1] local a port 1 connected with b port 5002",
            "1|[  1] 0.0000-1.0000 sec  627690 Bytes  5021520 bits/sec",
            "1|[  1] 1.0000-2.0000 sec  624750 Bytes  4998000 bits/sec",
            "1|[  1] 0.0000-2.0040 sec  1255380 Bytes  5011597 bits/sec", "1|[  1] Sent 855 datagrams",
            "1|[  1] Server Report:", "1|[ ID] Interval       Transfer     Bandwidth        Jitter   Lost/Total Datagrams",
            "1|[  1] 0.0000-2.0040 sec  1255380 Bytes  5011202 bits/sec   0.000 ms 0/854 (0%)"});
    ASSERT_EQ(t.out.size(), 5u);
    EXPECT_EQ(t.out[3], "Finished_$#0.0000-2.0040 sec$#1255380$#5011202$#0.000 ms$#0/854");

    // Two streams: the two reports add up.
    t = translate(IperfFlavor::Iperf2, "-c h -t1 -u -P2 -fb",
        {"1|[SUM] 0.0000-1.0207 sec  273420 Bytes  2142926 bits/sec", "1|[  1] Server Report:",
            "1|[  1] 0.0000-1.0207 sec  138180 Bytes  1083000 bits/sec   0.002 ms 0/93 (0%)",
            "1|[  1] 0.0000-1.0207 sec  1 datagrams received out-of-order", "1|[  2] Server Report:",
            "1|[  2] 0.0000-1.0091 sec  135240 Bytes  1072174 bits/sec   0.004 ms 1/93 (1.1%)"});
    ASSERT_FALSE(t.out.empty());
    EXPECT_EQ(t.out.front(), "Finished_$#0.0000-1.0207 sec$#273420$#2155174$#0.004 ms$#1/186");

    // The server was stopped a third of the way in and reported what it had seen by then.
    t = translate(IperfFlavor::Iperf2, "-c h -t6 -i3 -u -b10M -fb",
        {"1|[  1] 0.0000-3.0000 sec  3750705 Bytes  10001880 bits/sec",
            "1|[  1] 3.0000-6.0000 sec  3750705 Bytes  10001880 bits/sec",
            "1|[  1] 0.0000-6.0001 sec  7501410 Bytes  10001765 bits/sec", "1|[  1] Sent 5104 datagrams",
            "1|[  1] Server Report:", "1|[  1] 0.0000-2.7237 sec  3405990 Bytes  10004017 bits/sec   0.007 ms 0/2317 (0%)"});
    EXPECT_EQ(t.err, std::vector<std::string>{"error: the server confirmed only 2.72 of 6 seconds (3405990 of "
                                              "7501410 bytes sent, 2317 of 5104 datagrams)"});
    EXPECT_EQ(t.exitStatus, 1);
    // By amount, the datagrams tell.
    t = translate(IperfFlavor::Iperf2, "-c h -n7M -u -b10M -fb",
        {"1|[  1] 0.0000-5.8722 sec  7340032 Bytes  10001765 bits/sec", "1|[  1] Sent 4993 datagrams",
            "1|[  1] Server Report:", "1|[  1] 0.0000-5.8000 sec  3405990 Bytes  4697917 bits/sec   0.007 ms 0/2317 (0%)"});
    EXPECT_EQ(t.err, std::vector<std::string>{
        "error: the server confirmed only 3405990 of 7340032 bytes sent (2317 of 4993 datagrams)"});
    // Counts past any range (found by fuzzing) are held at the largest, not overflowed.
    t = translate(IperfFlavor::Iperf2, "-c h -n7M -u -b10M -fb",
        {"1|[  1] 0.0000-5.8722 sec  7340032 Bytes  10001765 bits/sec", "1|[  1] Sent 99999999999999999999 datagrams",
            "1|[  2] Sent 9223372036854775807 datagrams", "1|[  1] Server Report:",
            "1|[  1] 0.0000-5.8000 sec  7340032 Bytes  10001765 bits/sec   0.007 ms 0/2317 (0%)"});
    EXPECT_EQ(t.exitStatus, 1);

    // No report: the server never acknowledged the end of the test.
    t = translate(IperfFlavor::Iperf2, "-c h -t1 -u -fb",
        {"1|[  1] 0.0000-1.0095 sec  133770 Bytes  1060124 bits/sec", "1|[  1] Sent 92 datagrams",
            "2|[  3] WARNING: did not receive ack of last datagram after 10 tries."});
    EXPECT_TRUE(t.out.empty());
    EXPECT_EQ(t.err, (std::vector<std::string>{"[  3] WARNING: did not receive ack of last datagram after 10 tries.",
                         "error: iperf ended without a summary"}));
    EXPECT_EQ(t.exitStatus, 1);
}

TEST(WrapperTranslation, Iperf2RefusedConnectionStopsTheToolAtOnceAndHarmlessNotesLoseTheirFailureWords)
{
    auto t = translate(IperfFlavor::Iperf2, "-c h -t10 -fb",
        {"2|tcp connect failed: Connection refused", "1|[  1] local 0.0.0.0 port 0 connected with h port 5001",
            "2|read failed: Connection refused", "2|read failed: Connection refused"});
    EXPECT_TRUE(t.stopRequested);
    EXPECT_TRUE(t.out.empty());
    EXPECT_EQ(t.err, std::vector<std::string>{"tcp connect failed: Connection refused"});
    EXPECT_EQ(t.exitStatus, 1);

    // Harmless notes lose their failure words.
    t = translate(IperfFlavor::Iperf2, "-c h -n1M -w64KB -fb",
        {"1|TCP window size: 131072 Byte (WARNING: requested 65536 Byte)",
            "1|[  1] local a port 1 connected with b port 5001",
            "1|[  1] 0.0000-0.0100 sec  1048576 Bytes  838860800 bits/sec"});
    EXPECT_EQ(t.exitStatus, 0);
    EXPECT_EQ(t.err, std::vector<std::string>{"TCP window size: 131072 Byte (note: requested 65536 Byte)"});
}
