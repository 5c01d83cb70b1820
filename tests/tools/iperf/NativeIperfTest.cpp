// The wrappers as the application runs them: through /bin/sh, against real servers on 127.0.0.1.

#include "FNWLocalServers.h"
#include "IperfWrapper.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <thread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace fnw::test;
using fnw::wrapper::containsFailureWord;

namespace {

const QString kIperf3Wrapper = QStringLiteral(FENWAVE_NATIVE_IPERF);
const QString kIperf2Wrapper = QStringLiteral(FENWAVE_NATIVE_IPERF_2);

struct WrapperRun
{
    QStringList lines;
    QString errors;
    int exitCode = -1;
    qint64 firstResultMs = -1;
    qint64 endMs = -1;

    QStringList linesStartingWith(const QString& marker) const
    {
        QStringList found;
        for (const QString& line : lines)
            if (line.startsWith(marker))
                found << line;
        return found;
    }
};

// The command text as the application writes it: the quoted path, the stray operand ending in a blank,
// then every option joined by single blanks.
QString commandText(const QString& wrapper, const QString& options)
{
    const QString operand = wrapper == kIperf2Wrapper ? QStringLiteral("./iperf2 ") : QStringLiteral("./iperf3 ");
    return QLatin1Char('"') + wrapper + QLatin1String("\" ") + operand + QLatin1String(" -c 127.0.0.1 ") + options;
}

WrapperRun runShell(const QString& command, const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess shell;
    shell.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    WrapperRun run;
    QByteArray output;
    while (shell.state() != QProcess::NotRunning || shell.bytesAvailable() > 0) {
        shell.waitForReadyRead(30000);
        output += shell.readAllStandardOutput();
        if (run.firstResultMs < 0 && output.contains("RESULT_"))
            run.firstResultMs = clock.elapsed();
        if (clock.elapsed() > 60000)
            break;
    }
    shell.waitForFinished(30000);
    run.endMs = clock.elapsed();
    output += shell.readAllStandardOutput();
    run.lines = QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(shell.readAllStandardError());
    run.exitCode = shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
    return run;
}

struct Figures
{
    double bytes = 0;
    double bitsPerSecond = 0;
};

Figures finishedFigures(const WrapperRun& run)
{
    const QStringList finished = run.linesStartingWith(QStringLiteral("Finished_"));
    if (finished.size() != 1)
        return {};
    const QStringList fields = finished[0].split(QStringLiteral("$#"));
    return {fields.value(2).toDouble(), fields.value(3).toDouble()};
}

void expectGrammar(const WrapperRun& run, bool udpFinal, bool udpIntervals)
{
    static const QRegularExpression plain(QStringLiteral(R"(^(RESULT|Finished)_\$#\d+\.\d+-\d+\.\d+ sec\$#\d+\$#\d+$)"));
    static const QRegularExpression udp(
        QStringLiteral(R"(^(RESULT|Finished)_\$#\d+\.\d+-\d+\.\d+ sec\$#\d+\$#\d+\$#\d+\.\d+ ms\$#\d+/\d+$)"));
    for (const QString& line : run.lines) {
        EXPECT_FALSE(containsFailureWord(line.toStdString())) << line.toStdString();
        if (line.startsWith(QLatin1String("RESULT_"))) {
            EXPECT_TRUE((udpIntervals ? udp : plain).match(line).hasMatch()) << line.toStdString();
        }
        if (line.startsWith(QLatin1String("Finished_"))) {
            EXPECT_TRUE((udpFinal ? udp : plain).match(line).hasMatch()) << line.toStdString();
        }
    }
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("Finished_")).size(), 1) << run.lines.join('\n').toStdString();
    EXPECT_EQ(run.lines.value(run.lines.size() - 1), QStringLiteral("iperf Done."));
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
}

void expectClose(double ours, double theirs, const char* what)
{
    ASSERT_GT(theirs, 0) << what;
    EXPECT_NEAR(ours / theirs, 1.0, 0.01) << what << ": " << ours << " vs " << theirs;
}

// An iperf3 server that prints each test's results as JSON: the tool's own, exact figures.
class Iperf3Server
{
public:
    Iperf3Server()
        : port(freePort())
        , server(QStringLiteral("iperf3"),
              {QStringLiteral("-s"), QStringLiteral("-B"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                  QString::number(port), QStringLiteral("-J")})
    {
        ready = waitUntilListening(port, Transport::Tcp);
    }

    QJsonObject results()
    {
        // The report ends with a closing brace at the start of a line.
        if (!server.waitForOutput("\n}\n"))
            return {};
        return QJsonDocument::fromJson(server.output()).object().value(QStringLiteral("end")).toObject();
    }

    int port;
    LocalProcess server;
    bool ready = false;
};

// iperf's server reports what it received in its own lines.
class Iperf2Server
{
public:
    explicit Iperf2Server(Transport transport)
        : port(freePort(transport))
        , server(QStringLiteral("iperf"), arguments(transport, port))
    {
        ready = waitUntilListening(port, transport);
    }

    std::optional<fnw::wrapper::DataLine> report()
    {
        if (!server.waitForOutput(" sec "))
            return std::nullopt;
        server.waitForOutput("bits/sec");
        for (const QByteArray& line : server.output().split('\n'))
            if (auto data = fnw::wrapper::parseDataLine(line.toStdString()))
                return data;
        return std::nullopt;
    }

    int port;
    LocalProcess server;
    bool ready = false;

private:
    static QStringList arguments(Transport transport, int port)
    {
        QStringList list{QStringLiteral("-s"), QStringLiteral("-B"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
            QString::number(port), QStringLiteral("-f"), QStringLiteral("b")};
        if (transport == Transport::Udp)
            list << QStringLiteral("-u");
        return list;
    }
};

} // namespace

TEST(NativeIperf, Iperf3TcpStreamsIntervalsAndAgreesWithTheServer)
{
    Iperf3Server server;
    ASSERT_TRUE(server.ready);
    const WrapperRun run = runShell(commandText(kIperf3Wrapper,
        QStringLiteral("-t3 -i1 -l128KB -w256KB -M MSS-40 -N -p%1").arg(server.port)));
    expectGrammar(run, false, false);
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("RESULT_")).size(), 3);
    // Each interval is printed when the tool reports it, not when the run ends.
    EXPECT_GT(run.endMs - run.firstResultMs, 1000);
    // The segment size the kernel refuses is left out, and said so without a failure word.
    EXPECT_TRUE(run.errors.contains(QLatin1String("segment size 40"))) << run.errors.toStdString();
    EXPECT_FALSE(containsFailureWord(run.errors.toStdString()));

    const QJsonObject received = server.results().value(QStringLiteral("sum_received")).toObject();
    const Figures figures = finishedFigures(run);
    expectClose(figures.bytes, received.value(QStringLiteral("bytes")).toDouble(), "bytes");
    expectClose(figures.bitsPerSecond, received.value(QStringLiteral("bits_per_second")).toDouble(), "rate");
}

TEST(NativeIperf, Iperf3ReverseByAmount)
{
    Iperf3Server server;
    ASSERT_TRUE(server.ready);
    // Long enough (about a second on loopback) that the few milliseconds by which the two ends'
    // clocks start and stop apart stay well inside the 1% the rates are held to.
    const WrapperRun run = runShell(commandText(kIperf3Wrapper, QStringLiteral("-n3000M -R -i1 -p%1").arg(server.port)));
    expectGrammar(run, false, false);
    const Figures figures = finishedFigures(run);
    EXPECT_NEAR(figures.bytes, 3000.0 * 1024 * 1024, 3000.0 * 1024 * 1024 * 0.01);
    const QJsonObject end = server.results();
    expectClose(figures.bitsPerSecond, end.value(QStringLiteral("sum_sent")).toObject().value(QStringLiteral("bits_per_second")).toDouble(), "rate");
}

TEST(NativeIperf, Iperf3UdpCarriesJitterWhereTheToolReportsIt)
{
    for (const bool reverse : {false, true}) {
        Iperf3Server server;
        ASSERT_TRUE(server.ready);
        const QString options = QStringLiteral("-t2 -u -b8M -l128KB -i1 %1-p%2")
                                    .arg(reverse ? QStringLiteral("-R ") : QString())
                                    .arg(server.port);
        const WrapperRun run = runShell(commandText(kIperf3Wrapper, options));
        SCOPED_TRACE(reverse ? "reverse" : "normal");
        // Sending, iperf3 reports jitter only in its summary; receiving, on every interval.
        expectGrammar(run, true, reverse);
        EXPECT_EQ(run.linesStartingWith(QStringLiteral("RESULT_")).size(), 2);
        EXPECT_FALSE(containsFailureWord(run.errors.toStdString())) << run.errors.toStdString();

        // The server's figures are under "sum_received" when it received, "sum_sent" when it sent.
        const QJsonObject end = server.results();
        QJsonObject measured = end.value(QStringLiteral("sum_received")).toObject();
        if (measured.value(QStringLiteral("bytes")).toDouble() == 0)
            measured = end.value(QStringLiteral("sum_sent")).toObject();
        const Figures figures = finishedFigures(run);
        expectClose(figures.bytes, measured.value(QStringLiteral("bytes")).toDouble(), "bytes");
        expectClose(figures.bitsPerSecond, measured.value(QStringLiteral("bits_per_second")).toDouble(), "rate");
        const QString datagrams = run.linesStartingWith(QStringLiteral("Finished_")).value(0).section(QStringLiteral("$#"), 5);
        EXPECT_EQ(datagrams.section(QLatin1Char('/'), 1).toInt(),
            end.value(QStringLiteral("sum")).toObject().value(QStringLiteral("packets")).toInt());
    }
}

TEST(NativeIperf, Iperf2TcpAndUdpAgreeWithTheServer)
{
    {
        Iperf2Server server(Transport::Tcp);
        ASSERT_TRUE(server.ready);
        const WrapperRun run = runShell(commandText(kIperf2Wrapper, QStringLiteral("-t2 -i1 -w128KB -fb -p%1").arg(server.port)));
        expectGrammar(run, false, false);
        EXPECT_EQ(run.linesStartingWith(QStringLiteral("RESULT_")).size(), 2);
        EXPECT_FALSE(containsFailureWord(run.errors.toStdString())) << run.errors.toStdString();
        const auto received = server.report();
        ASSERT_TRUE(received);
        expectClose(finishedFigures(run).bytes, received->bytes, "tcp bytes");
    }
    {
        // iperf's UDP server serves one test and then falls over; every UDP run gets a fresh one.
        Iperf2Server server(Transport::Udp);
        ASSERT_TRUE(server.ready);
        const WrapperRun run = runShell(commandText(kIperf2Wrapper, QStringLiteral("-t2 -i1 -u -b5M -fb -p%1").arg(server.port)));
        expectGrammar(run, true, false);
        const auto received = server.report();
        ASSERT_TRUE(received);
        const Figures figures = finishedFigures(run);
        expectClose(figures.bytes, received->bytes, "udp bytes");
        expectClose(figures.bitsPerSecond, 5e6, "udp rate");
        EXPECT_EQ(run.linesStartingWith(QStringLiteral("Finished_")).value(0).section(QStringLiteral("$#"), 5),
            QString::fromStdString(received->datagrams));
    }
}

TEST(NativeIperf, FailuresEndAtOnceWithTheToolsWords)
{
    const int closedPort = freePort();
    for (const QString& wrapper : {kIperf3Wrapper, kIperf2Wrapper}) {
        const WrapperRun run = runShell(commandText(wrapper, QStringLiteral("-t10 -i1 -p%1").arg(closedPort)));
        SCOPED_TRACE(wrapper.toStdString());
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(run.errors.contains(QLatin1String("Connection refused"))) << run.errors.toStdString();
        EXPECT_TRUE(containsFailureWord(run.errors.toStdString()));
        EXPECT_TRUE(run.linesStartingWith(QStringLiteral("Finished_")).isEmpty());
        EXPECT_LT(run.endMs, 5000); // iperf would retry for the whole ten seconds
    }

    const WrapperRun bad = runShell(commandText(kIperf3Wrapper, QStringLiteral("-tabc -p5201")));
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.lines.isEmpty());
    EXPECT_TRUE(bad.errors.startsWith(QLatin1String("error: invalid value 'abc' for -t"))) << bad.errors.toStdString();

    QProcessEnvironment noTools;
    noTools.insert(QStringLiteral("PATH"), QStringLiteral("/nonexistent"));
    const WrapperRun missing = runShell(commandText(kIperf3Wrapper, QStringLiteral("-t2 -p5201")), noTools);
    EXPECT_EQ(missing.exitCode, 127);
    EXPECT_TRUE(missing.errors.contains(QLatin1String("error: iperf3 is not installed"))) << missing.errors.toStdString();
}

TEST(NativeIperf, BusyServerFails)
{
    Iperf3Server server;
    ASSERT_TRUE(server.ready);
    LocalProcess first(QStringLiteral("iperf3"), {QStringLiteral("-c"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                                     QString::number(server.port), QStringLiteral("-t"),
                                                     QStringLiteral("20"), QStringLiteral("-b"), QStringLiteral("10M"),
                                                     QStringLiteral("--forceflush")});
    ASSERT_TRUE(first.waitForOutput(" connected to "));
    const WrapperRun run = runShell(commandText(kIperf3Wrapper, QStringLiteral("-t2 -p%1").arg(server.port)));
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains(QLatin1String("busy"))) << run.errors.toStdString();
    EXPECT_TRUE(containsFailureWord(run.errors.toStdString()));
    EXPECT_TRUE(run.linesStartingWith(QStringLiteral("Finished_")).isEmpty());
}

TEST(NativeIperf, SilentServerStaysSilentAndStoppingTheShellLeavesNoChild)
{
    // Accepts connections (the kernel completes them) and never says a word.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 8), 0);
    socklen_t length = sizeof address;
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const QString port = QString::number(ntohs(address.sin_port));

    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), commandText(kIperf3Wrapper, QStringLiteral("-t10 -i1 -p") + port)});
    ASSERT_TRUE(shell.waitForStarted());
    // The application's no-response check must see nothing at all for three seconds.
    EXPECT_FALSE(shell.waitForReadyRead(3500));
    EXPECT_TRUE(shell.readAllStandardOutput().isEmpty());
    ASSERT_EQ(processesWith({QStringLiteral("-p"), port}).size(), 1); // the waiting iperf3

    // Stopping the shell, as the application does, takes the wrapper and the tool down with it.
    shell.terminate();
    EXPECT_TRUE(shell.waitForFinished(5000));
    EXPECT_TRUE(waitUntilGone({QStringLiteral("-p"), port}));
    EXPECT_TRUE(waitUntilGone({QStringLiteral("-p") + port}));
    ::close(silent);
}

TEST(NativeIperf, TerminatingMidRunPrintsNoSummaryAndLeavesNoChild)
{
    Iperf3Server server;
    ASSERT_TRUE(server.ready);
    const QString port = QString::number(server.port);
    LocalProcess wrapper(kIperf3Wrapper, {QStringLiteral("./iperf3"), QStringLiteral("-c"), QStringLiteral("127.0.0.1"),
                                             QStringLiteral("-t30"), QStringLiteral("-i1"), QStringLiteral("-p") + port});
    ASSERT_TRUE(wrapper.waitForOutput("RESULT_"));
    QElapsedTimer clock;
    clock.start();
    wrapper.process().terminate();
    ASSERT_TRUE(wrapper.process().waitForFinished(5000));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_NE(wrapper.process().exitCode(), 0);
    wrapper.waitForOutput("never", 0);
    EXPECT_FALSE(wrapper.output().contains("Finished_"));
    EXPECT_TRUE(waitUntilGone({QStringLiteral("-c"), QStringLiteral("-p"), port}));
}

namespace {

QStringList resultSpans(const QByteArray& output)
{
    QStringList spans;
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith("RESULT_"))
            spans << QString::fromUtf8(line.split('$').value(1));
    return spans;
}

// A wrapper run whose server is stopped once the third interval is out.
struct StoppedRun
{
    StoppedRun(const QString& wrapper, const QStringList& serverArguments, const QStringList& options, bool kill)
        : port(freePort(serverArguments.contains(QStringLiteral("-u")) ? Transport::Udp : Transport::Tcp))
        , server(wrapper == kIperf3Wrapper ? QStringLiteral("iperf3") : QStringLiteral("iperf"),
              serverArguments + QStringList{QStringLiteral("-s"), QStringLiteral("-B"), QStringLiteral("127.0.0.1"),
                                    QStringLiteral("-p"), QString::number(port)})
        , ready(waitUntilListening(port, serverArguments.contains(QStringLiteral("-u")) ? Transport::Udp : Transport::Tcp))
        , client(wrapper, QStringList{wrapper == kIperf3Wrapper ? QStringLiteral("./iperf3") : QStringLiteral("./iperf2"),
                              QStringLiteral("-c"), QStringLiteral("127.0.0.1"), QStringLiteral("-p%1").arg(port)}
                              + options)
        , kill(kill)
    {
    }

    void stopServerAt(const QByteArray& interval)
    {
        stopped = client.waitForOutput("RESULT_$#" + interval);
        kill ? server.process().kill() : server.process().terminate();
    }

    void finish()
    {
        finished = client.process().waitForFinished(15000);
        client.waitForOutput("never", 0);
        errors = QString::fromUtf8(client.process().readAllStandardError());
    }

    int port;
    LocalProcess server;
    bool ready;
    LocalProcess client;
    bool kill;
    bool stopped = false;
    bool finished = false;
    QString errors;
};

} // namespace

TEST(NativeIperf, Iperf3UdpServerStoppedOrKilledMidRunFailsWithTheToolsWordsAndStatus)
{
    std::vector<std::unique_ptr<StoppedRun>> runs;
    for (const bool kill : {false, true})
        for (const bool reverse : {false, true}) {
            QStringList options{QStringLiteral("-t5"), QStringLiteral("-i1"), QStringLiteral("-u"), QStringLiteral("-b20M")};
            if (reverse)
                options << QStringLiteral("-R");
            runs.push_back(std::make_unique<StoppedRun>(kIperf3Wrapper, QStringList{}, options, kill));
        }
    for (auto& run : runs) {
        ASSERT_TRUE(run->ready);
        run->stopServerAt("2.00-3.00");
    }
    for (auto& run : runs) {
        run->finish();
        SCOPED_TRACE(run->errors.toStdString());
        EXPECT_TRUE(run->stopped && run->finished);
        EXPECT_EQ(run->client.process().exitCode(), 1); // iperf3's own
        EXPECT_FALSE(run->client.output().contains("Finished_"));
        EXPECT_TRUE(run->errors.contains(QLatin1String("iperf3: error - ")));
        if (!run->kill)
            EXPECT_TRUE(run->errors.contains(QLatin1String("the server has terminated")));
        const QStringList spans = resultSpans(run->client.output());
        EXPECT_GE(spans.size(), 3);
        EXPECT_EQ(QStringList(spans).removeDuplicates(), 0) << spans.join(u' ').toStdString();
    }
}

TEST(NativeIperf, Iperf2UdpServerStoppedMidRunFailsWithWhatItConfirmed)
{
    const QStringList options{QStringLiteral("-t5"), QStringLiteral("-i1"), QStringLiteral("-u"), QStringLiteral("-b10M"),
        QStringLiteral("-fb")};
    StoppedRun stopped(kIperf2Wrapper, {QStringLiteral("-u")}, options, false);
    StoppedRun killed(kIperf2Wrapper, {QStringLiteral("-u")}, options, true);
    ASSERT_TRUE(stopped.ready && killed.ready);
    stopped.stopServerAt("2.0000-3.0000");
    killed.stopServerAt("2.0000-3.0000");
    for (StoppedRun* run : {&stopped, &killed}) {
        run->finish();
        SCOPED_TRACE(run->errors.toStdString());
        EXPECT_TRUE(run->stopped && run->finished);
        EXPECT_NE(run->client.process().exitCode(), 0);
        EXPECT_FALSE(run->client.output().contains("Finished_"));
        EXPECT_TRUE(containsFailureWord(run->errors.toStdString()));
    }
    // The server's report covers what it received before its stop: about three of the five seconds.
    static const QRegularExpression confirmed(
        QStringLiteral(R"(error: the server confirmed only [23]\.\d\d of 5 seconds \(\d+ of \d+ bytes sent)"));
    EXPECT_TRUE(confirmed.match(stopped.errors).hasMatch());
}

TEST(NativeIperf, Iperf2TcpToAServerThatNeverReadsFailsSoonAfterItsDuration)
{
    int port = 0;
    const int listener = listenOnLoopback(port);
    ASSERT_GE(listener, 0);
    // Accepts the connection and never reads from it.
    int accepted = -1;
    std::thread acceptor([&] { accepted = ::accept(listener, nullptr, nullptr); });

    const WrapperRun run = runShell(commandText(kIperf2Wrapper, QStringLiteral("-t3 -i1 -fb -p%1").arg(port)));
    acceptor.join();
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.linesStartingWith(QStringLiteral("Finished_")).isEmpty());
    EXPECT_TRUE(run.errors.contains(QLatin1String("error: the server stopped receiving"))) << run.errors.toStdString();
    // Three seconds, four of grace and at most one more to stop the tool; not the tool's own twenty.
    EXPECT_LT(run.endMs, 9000);
    ::close(accepted);
    ::close(listener);
}
