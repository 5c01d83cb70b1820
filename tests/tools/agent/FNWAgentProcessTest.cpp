#include "FNWAgentSupport.h"

#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <vector>

namespace {

using fnw::agent::FNWUniqueFd;

constexpr int kWaitMs = 10000;
const QByteArray kRequest("EP_WiFi_Info\r\n");
const QByteArray kEmptyReply("SSID:$#$BSSID:");

sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port of 127.0.0.1 that was free a moment ago; the tests never use the agent's fixed ports.
std::uint16_t freePort(int type)
{
    const FNWUniqueFd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// Without Nagle, so every send leaves as a segment of its own.
FNWUniqueFd connectTo(std::uint16_t port)
{
    FNWUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = loopback(port);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return {};
    const int yes = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return fd;
}

bool sendAll(const FNWUniqueFd& fd, const QByteArray& data)
{
    return ::send(fd.get(), data.constData(), static_cast<size_t>(data.size()), MSG_NOSIGNAL) == data.size();
}

struct Outcome
{
    QByteArray data;
    // The agent closed the connection (end of stream or reset) before the time ran out.
    bool closed = false;
};

Outcome readUntilClosed(const FNWUniqueFd& fd, int timeoutMs = kWaitMs)
{
    Outcome outcome;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        pollfd readable{fd.get(), POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(deadline.remainingTime())) <= 0)
            return outcome;
        char buffer[256];
        const ssize_t count = ::recv(fd.get(), buffer, sizeof buffer, 0);
        if (count > 0) {
            outcome.data.append(buffer, count);
        } else if (count == 0 || errno != EINTR) {
            outcome.closed = true;
            return outcome;
        }
    }
}

// Nothing has arrived: no data and no end of stream.
bool isQuiet(const FNWUniqueFd& fd)
{
    pollfd readable{fd.get(), POLLIN, 0};
    return ::poll(&readable, 1, 0) == 0;
}

bool queryAnswered(std::uint16_t port)
{
    const FNWUniqueFd client = connectTo(port);
    if (!client.isValid() || !sendAll(client, kRequest))
        return false;
    const Outcome outcome = readUntilClosed(client);
    return outcome.closed && outcome.data == kEmptyReply;
}

// Waits for the process to end, through a pidfd: that works for processes that are not our
// children, and an orphan's zombie, which the container's first process may never reap, counts.
bool waitUntilDead(qint64 pid)
{
    const FNWUniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0)));
    if (!pidfd.isValid())
        return errno == ESRCH;
    pollfd ended{pidfd.get(), POLLIN, 0};
    return ::poll(&ended, 1, kWaitMs) == 1;
}

struct ToolRun
{
    int exitCode = -1;
    QString output;
    QString errors;
};

ToolRun runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(kWaitMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Runs a client until it succeeds: a server may take a moment to listen after its start line.
bool clientSucceeds(const QString& program, const QStringList& arguments, const QString& successText)
{
    const QDeadlineTimer deadline(kWaitMs);
    for (;;) {
        const ToolRun run = runTool(program, arguments);
        if (run.exitCode == 0 && run.output.contains(successText))
            return true;
        if (deadline.hasExpired()) {
            ADD_FAILURE() << program.toStdString() << ": " << run.output.toStdString() << run.errors.toStdString();
            return false;
        }
    }
}

// Options that keep an agent on 127.0.0.1 and off the fixed ports.
QStringList privatePorts()
{
    std::uint16_t iperf3 = 0, tcp = 0, udp = 0;
    while (iperf3 == 0 || tcp == 0 || udp == 0 || iperf3 == tcp || iperf3 == udp || tcp == udp) {
        iperf3 = freePort(SOCK_STREAM);
        tcp = freePort(SOCK_STREAM);
        udp = freePort(SOCK_DGRAM);
    }
    return {QStringLiteral("--bind"),        QStringLiteral("127.0.0.1"),
            QStringLiteral("--wifi-port"),   QStringLiteral("0"),
            QStringLiteral("--iperf3-port"), QString::number(iperf3),
            QStringLiteral("--tcp-port"),    QString::number(tcp),
            QStringLiteral("--udp-port"),    QString::number(udp)};
}

ToolRun runAgent(const QStringList& arguments)
{
    return runTool(QStringLiteral(FENWAVE_AGENT_PATH), arguments);
}

// The agent as a process of its own, its log read from standard error.
class AgentProcess final
{
public:
    explicit AgentProcess(const QStringList& options = {})
        : m_arguments(privatePorts() + options)
    {
        iperf3Port = m_arguments.at(m_arguments.indexOf(QStringLiteral("--iperf3-port")) + 1).toUShort();
        tcpPort = m_arguments.at(m_arguments.indexOf(QStringLiteral("--tcp-port")) + 1).toUShort();
        udpPort = m_arguments.at(m_arguments.indexOf(QStringLiteral("--udp-port")) + 1).toUShort();
        m_process.setReadChannel(QProcess::StandardError);
        m_process.start(QStringLiteral(FENWAVE_AGENT_PATH), m_arguments);
    }

    ~AgentProcess()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(kWaitMs)) {
            ADD_FAILURE() << "the agent ignored SIGTERM";
            m_process.kill();
            m_process.waitForFinished();
        }
        // Also how a sanitizer's finding in the agent shows.
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_process.exitCode(), 0) << m_log.toStdString();
    }

    // The first log line from `from` on that matches, waiting for it; no match when none came.
    QRegularExpressionMatch waitForLog(const QString& pattern, qsizetype from = 0)
    {
        const QRegularExpression expression(pattern);
        const QDeadlineTimer deadline(kWaitMs);
        for (;;) {
            m_log += QString::fromUtf8(m_process.readAllStandardError());
            QRegularExpressionMatch match = expression.match(m_log, from);
            if (match.hasMatch() || deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return match;
            m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        }
    }

    // Waits for the Wi-Fi port and the three servers.
    bool waitUntilServing()
    {
        const QRegularExpressionMatch listening = waitForLog(QStringLiteral("queries on 127\\.0\\.0\\.1:(\\d+)\n"));
        wifiPort = listening.captured(1).toUShort();
        iperf3Pid = serverPid(QStringLiteral("iperf3"), iperf3Port);
        tcpPid = serverPid(QStringLiteral("iperf TCP"), tcpPort);
        udpPid = serverPid(QStringLiteral("iperf UDP"), udpPort);
        return wifiPort != 0 && iperf3Pid > 0 && tcpPid > 0 && udpPid > 0;
    }

    qint64 serverPid(const QString& label, std::uint16_t port, qsizetype from = 0)
    {
        return waitForLog(QStringLiteral("started %1 server on port %2 \\(pid (\\d+)\\)").arg(label).arg(port), from)
            .captured(1)
            .toLongLong();
    }

    QProcess& process() { return m_process; }
    QString log() const { return m_log; }

    std::uint16_t wifiPort = 0;
    std::uint16_t iperf3Port = 0;
    std::uint16_t tcpPort = 0;
    std::uint16_t udpPort = 0;
    qint64 iperf3Pid = 0;
    qint64 tcpPid = 0;
    qint64 udpPid = 0;

private:
    const QStringList m_arguments;
    QProcess m_process;
    QString m_log;
};

TEST(FNWAgentProcess, AnswersTheWiFiQueryAndClosesTheConnection)
{
    AgentProcess agent;
    ASSERT_TRUE(agent.waitUntilServing()) << agent.log().toStdString();
    // The clients keep their side open: the reply comes as soon as the request is complete.
    for (const char* request : {"EP_WiFi_Info\r\n", "EP_WiFi_Info\n"}) {
        const FNWUniqueFd client = connectTo(agent.wifiPort);
        ASSERT_TRUE(sendAll(client, request));
        const Outcome outcome = readUntilClosed(client);
        EXPECT_TRUE(outcome.closed) << request;
        EXPECT_EQ(outcome.data, kEmptyReply) << request;
    }
}

TEST(FNWAgentProcess, AnswersFiftyClientsConnectedAtOnce)
{
    AgentProcess agent;
    ASSERT_TRUE(agent.waitUntilServing()) << agent.log().toStdString();
    std::vector<FNWUniqueFd> clients;
    for (int i = 0; i < 50; ++i) {
        clients.push_back(connectTo(agent.wifiPort));
        ASSERT_TRUE(clients.back().isValid());
    }
    for (const FNWUniqueFd& client : clients)
        ASSERT_TRUE(sendAll(client, kRequest));
    int answered = 0;
    for (const FNWUniqueFd& client : clients) {
        const Outcome outcome = readUntilClosed(client);
        answered += outcome.closed && outcome.data == kEmptyReply;
    }
    EXPECT_EQ(answered, 50);
}

TEST(FNWAgentProcess, MisbehavingClientsDoNotHoldUpOthers)
{
    // The older name of --request-timeout.
    AgentProcess agent({QStringLiteral("--idle-timeout"), QStringLiteral("2000")});
    ASSERT_TRUE(agent.waitUntilServing()) << agent.log().toStdString();

    QElapsedTimer silentFor;
    silentFor.start();
    const FNWUniqueFd silent = connectTo(agent.wifiPort);
    EXPECT_TRUE(queryAnswered(agent.wifiPort));
    EXPECT_TRUE(isQuiet(silent));

    // Closed without a reply as soon as the bytes can no longer become the request.
    for (const char* garbage : {"GET / HTTP/1.1\r\n", "EP_WiFi_Info\r\r"}) {
        const FNWUniqueFd client = connectTo(agent.wifiPort);
        ASSERT_TRUE(sendAll(client, garbage));
        const Outcome outcome = readUntilClosed(client, 2000);
        EXPECT_TRUE(outcome.closed) << garbage;
        EXPECT_EQ(outcome.data, QByteArray()) << garbage;
    }

    // One byte at a time, another client answered between any two of them.
    const FNWUniqueFd slow = connectTo(agent.wifiPort);
    for (const char byte : kRequest) {
        ASSERT_TRUE(queryAnswered(agent.wifiPort));
        ASSERT_TRUE(sendAll(slow, QByteArray(1, byte)));
    }
    const Outcome slowOutcome = readUntilClosed(slow);
    EXPECT_TRUE(slowOutcome.closed);
    EXPECT_EQ(slowOutcome.data, kEmptyReply);

    const Outcome silentOutcome = readUntilClosed(silent);
    EXPECT_TRUE(silentOutcome.closed);
    EXPECT_EQ(silentOutcome.data, QByteArray());
    // Qt's coarse timers may fire up to 5 % early.
    EXPECT_GE(silentFor.elapsed(), 1900);
}

std::vector<FNWUniqueFd> connectMany(std::uint16_t port, int count)
{
    std::vector<FNWUniqueFd> clients;
    for (int i = 0; i < count; ++i)
        clients.push_back(connectTo(port));
    return clients;
}

// Waits until every client in [first, last) has been closed by the agent, without a byte sent
// to it; false when one got data or the time ran out.
bool waitUntilClosed(const std::vector<FNWUniqueFd>& clients, std::size_t first, std::size_t last)
{
    const QDeadlineTimer deadline(kWaitMs);
    for (std::size_t i = first; i < last; ++i) {
        const Outcome outcome = readUntilClosed(clients[i], static_cast<int>(deadline.remainingTime()));
        if (!outcome.closed || !outcome.data.isEmpty())
            return false;
    }
    return true;
}

bool allQuiet(const std::vector<FNWUniqueFd>& clients, std::size_t first, std::size_t last)
{
    for (std::size_t i = first; i < last; ++i) {
        if (!isQuiet(clients[i]))
            return false;
    }
    return true;
}

// How long a well-formed query took to be answered in full; -1 when it was not.
qint64 answerTime(std::uint16_t port)
{
    QElapsedTimer timer;
    timer.start();
    return queryAnswered(port) ? timer.elapsed() : -1;
}

TEST(FNWAgentProcess, OneAddressHoldsOnlyItsShareAndStillGetsAnswered)
{
    AgentProcess agent({QStringLiteral("--request-timeout"), QStringLiteral("8000")});
    ASSERT_TRUE(agent.waitUntilServing()) << agent.log().toStdString();
    // All from 127.0.0.1, like the query that follows: each one past the 64 of one address closes
    // that address's oldest, which has not asked anything.
    const std::vector<FNWUniqueFd> idle = connectMany(agent.wifiPort, 300);
    EXPECT_TRUE(waitUntilClosed(idle, 0, 236));
    EXPECT_TRUE(allQuiet(idle, 236, 300));

    const qint64 answered = answerTime(agent.wifiPort);
    EXPECT_GE(answered, 0);
    EXPECT_LT(answered, 1000);
    EXPECT_TRUE(waitUntilClosed(idle, 236, 237));
    EXPECT_TRUE(allQuiet(idle, 237, 300));
    EXPECT_TRUE(agent.waitForLog(QStringLiteral("closed \\d+ Wi-Fi query connection\\(s\\) still waiting for a "
                                                "request, to admit newer ones \\(at most 256 open, 64 from one "
                                                "address\\)"))
                    .hasMatch())
        << agent.log().toStdString();
}

TEST(FNWAgentProcess, IdleAndTricklingClientsCannotKeepTheQueryFromAnAnswer)
{
    // The address's share as large as the table, so that the table's own limit is what holds.
    constexpr qint64 kDeadlineMs = 2000;
    AgentProcess agent({QStringLiteral("--request-timeout"), QString::number(kDeadlineMs),
                        QStringLiteral("--max-per-address"), QStringLiteral("256")});
    ASSERT_TRUE(agent.waitUntilServing()) << agent.log().toStdString();

    const std::vector<FNWUniqueFd> idle = connectMany(agent.wifiPort, 300);
    EXPECT_TRUE(waitUntilClosed(idle, 0, 44));
    EXPECT_TRUE(allQuiet(idle, 44, 300));
    qint64 answered = answerTime(agent.wifiPort);
    EXPECT_GE(answered, 0);
    EXPECT_LT(answered, 1000);

    // Trickling clients: a byte of the request every 500 ms, which a deadline moved by every byte
    // would never end. They push out every idle one that is left.
    struct Trickler
    {
        FNWUniqueFd fd;
        QElapsedTimer since;
        int sent = 0;
        qint64 closedAfter = -1;
        bool gotData = false;
    };
    std::vector<Trickler> tricklers(256);
    for (Trickler& trickler : tricklers) {
        trickler.since.start();
        trickler.fd = connectTo(agent.wifiPort);
        ASSERT_TRUE(sendAll(trickler.fd, kRequest.left(1)));
        trickler.sent = 1;
    }
    EXPECT_TRUE(waitUntilClosed(idle, 44, 300));

    answered = answerTime(agent.wifiPort);
    EXPECT_GE(answered, 0);
    EXPECT_LT(answered, 1000);

    // Now wait for each trickler's end, sending the next byte every 500 ms to those still open.
    const QDeadlineTimer deadline(kWaitMs);
    QDeadlineTimer nextByte(500);
    std::size_t stillOpen = tricklers.size();
    while (stillOpen > 0 && !deadline.hasExpired()) {
        std::vector<pollfd> waiting;
        std::vector<Trickler*> owners;
        for (Trickler& trickler : tricklers) {
            if (trickler.closedAfter < 0) {
                waiting.push_back({trickler.fd.get(), POLLIN, 0});
                owners.push_back(&trickler);
            }
        }
        const int ready = ::poll(waiting.data(), waiting.size(), static_cast<int>(nextByte.remainingTime()));
        for (std::size_t i = 0; ready > 0 && i < waiting.size(); ++i) {
            if (waiting[i].revents == 0)
                continue;
            char buffer[64];
            const ssize_t count = ::recv(waiting[i].fd, buffer, sizeof buffer, 0);
            if (count > 0) {
                owners[i]->gotData = true;
            } else if (count == 0 || errno != EINTR) {
                owners[i]->closedAfter = owners[i]->since.elapsed();
                --stillOpen;
            }
        }
        if (nextByte.hasExpired()) {
            for (Trickler* trickler : owners) {
                // Never the whole request.
                if (trickler->closedAfter < 0 && trickler->sent < kRequest.size() - 1)
                    sendAll(trickler->fd, kRequest.mid(trickler->sent++, 1));
            }
            nextByte.setRemainingTime(500);
        }
    }
    ASSERT_EQ(stillOpen, 0U);
    // The oldest made room for the second query; every other one lasted its deadline, not longer,
    // however many bytes it sent. Qt's coarse timers may fire up to 5 % early.
    EXPECT_LT(tricklers.front().closedAfter, kDeadlineMs * 9 / 10);
    int lastedTheirDeadline = 0;
    qint64 longest = 0;
    for (std::size_t i = 1; i < tricklers.size(); ++i) {
        const Trickler& trickler = tricklers[i];
        longest = std::max(longest, trickler.closedAfter);
        lastedTheirDeadline += !trickler.gotData && trickler.sent >= 2 &&
                               trickler.closedAfter >= kDeadlineMs * 9 / 10 &&
                               trickler.closedAfter < kDeadlineMs + 1000;
    }
    EXPECT_EQ(lastedTheirDeadline, 255) << "the longest lasted " << longest << " ms";
}

TEST(FNWAgentProcess, RunsTheIperfServersAndRestartsOneThatDies)
{
    AgentProcess agent({QStringLiteral("--restart-delay"), QStringLiteral("100")});
    ASSERT_TRUE(agent.waitUntilServing()) << agent.log().toStdString();
    const QString host = QStringLiteral("127.0.0.1");
    const QStringList iperf3 = {QStringLiteral("-c"), host,
                                QStringLiteral("-p"), QString::number(agent.iperf3Port),
                                QStringLiteral("-n"), QStringLiteral("1M")};
    const QString iperf3Done = QStringLiteral("iperf Done.");
    EXPECT_TRUE(clientSucceeds(QStringLiteral("iperf3"), iperf3, iperf3Done));
    EXPECT_TRUE(clientSucceeds(QStringLiteral("iperf"),
                               {QStringLiteral("-c"), host, QStringLiteral("-p"), QString::number(agent.tcpPort),
                                QStringLiteral("-n"), QStringLiteral("1M")},
                               QStringLiteral("MBytes")));
    // Over UDP only the server's report tells that a server was there. iperf's UDP server falls over on
    // its second client, so each test gets a fresh one: two tests in a row both succeed at the first try.
    const QStringList udp = {QStringLiteral("-c"), host, QStringLiteral("-u"), QStringLiteral("-p"),
                             QString::number(agent.udpPort), QStringLiteral("-t"), QStringLiteral("1"),
                             QStringLiteral("-b"), QStringLiteral("5M")};
    qsizetype from = 0;
    for (int test = 0; test < 2; ++test) {
        ASSERT_TRUE(fnw::test::waitUntilListening(agent.udpPort, fnw::test::Transport::Udp));
        const ToolRun run = runTool(QStringLiteral("iperf"), udp);
        EXPECT_TRUE(run.output.contains(QLatin1String("Server Report"))) << run.output.toStdString() << run.errors.toStdString();
        const QRegularExpressionMatch served = agent.waitForLog(
            QStringLiteral("iperf UDP server on port %1 \\(pid \\d+\\) served its test; starting a fresh one").arg(agent.udpPort),
            from);
        ASSERT_TRUE(served.hasMatch()) << agent.log().toStdString();
        from = served.capturedEnd();
        EXPECT_GT(agent.serverPid(QStringLiteral("iperf UDP"), agent.udpPort, from), 0);
    }

    ASSERT_EQ(::kill(static_cast<pid_t>(agent.iperf3Pid), SIGKILL), 0);
    const QRegularExpressionMatch exited =
        agent.waitForLog(QStringLiteral("iperf3 server on port %1 \\(pid %2\\) was killed by signal 9")
                             .arg(agent.iperf3Port)
                             .arg(agent.iperf3Pid));
    ASSERT_TRUE(exited.hasMatch()) << agent.log().toStdString();
    const qint64 restarted = agent.serverPid(QStringLiteral("iperf3"), agent.iperf3Port, exited.capturedEnd());
    EXPECT_GT(restarted, 0) << agent.log().toStdString();
    EXPECT_NE(restarted, agent.iperf3Pid);
    EXPECT_TRUE(clientSucceeds(QStringLiteral("iperf3"), iperf3, iperf3Done));
}

TEST(FNWAgentProcess, StopsEveryServerOnSigterm)
{
    AgentProcess agent;
    ASSERT_TRUE(agent.waitUntilServing()) << agent.log().toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(agent.process().processId()), SIGTERM), 0);
    ASSERT_TRUE(agent.process().waitForFinished(kWaitMs));
    EXPECT_EQ(agent.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(agent.process().exitCode(), 0);
    for (const qint64 pid : {agent.iperf3Pid, agent.tcpPid, agent.udpPid})
        EXPECT_TRUE(waitUntilDead(pid)) << pid;
    EXPECT_FALSE(connectTo(agent.wifiPort).isValid());
}

TEST(FNWAgentProcess, ServersDieWithAKilledAgent)
{
    AgentProcess agent;
    ASSERT_TRUE(agent.waitUntilServing()) << agent.log().toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(agent.process().processId()), SIGKILL), 0);
    ASSERT_TRUE(agent.process().waitForFinished(kWaitMs));
    for (const qint64 pid : {agent.iperf3Pid, agent.tcpPid, agent.udpPid})
        EXPECT_TRUE(waitUntilDead(pid)) << pid;
}

TEST(FNWAgentCommandLine, PrintsHelpAndRejectsInvalidOptions)
{
    const ToolRun help = runAgent({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.startsWith(QStringLiteral("Usage: fenwave-agent"))) << help.output.toStdString();
    EXPECT_TRUE(help.output.contains(QStringLiteral("--wifi-port")));
    EXPECT_TRUE(help.output.contains(QStringLiteral("--no-announce")));

    // After the private ports, so an option wrongly accepted could not start an agent on the fixed ones.
    const QString port = QString::number(freePort(SOCK_STREAM));
    const QList<QStringList> invalid = {
        {QStringLiteral("--bogus")},
        {QStringLiteral("stray")},
        {QStringLiteral("--tcp-port"), QStringLiteral("70000")},
        {QStringLiteral("--request-timeout"), QStringLiteral("soon")},
        {QStringLiteral("--max-per-address"), QStringLiteral("0")},
        {QStringLiteral("--bind"), QStringLiteral("agent.example")},
        {QStringLiteral("--tcp-port"), port, QStringLiteral("--udp-port"), port},
    };
    for (const QStringList& options : invalid) {
        const ToolRun run = runAgent(privatePorts() + options);
        EXPECT_EQ(run.exitCode, 2) << options.join(' ').toStdString();
        EXPECT_TRUE(run.errors.startsWith(QStringLiteral("fenwave-agent: "))) << run.errors.toStdString();
    }
}

TEST(FNWAgentCommandLine, FailsClearlyWhenItCannotStart)
{
    const FNWUniqueFd taken(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(taken.get(), reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(taken.get(), 1), 0);
    ASSERT_EQ(::getsockname(taken.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    const QString port = QString::number(ntohs(address.sin_port));

    const ToolRun busy = runAgent(privatePorts() + QStringList{QStringLiteral("--wifi-port"), port});
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_TRUE(busy.errors.contains(
        QStringLiteral("fenwave-agent: cannot listen on 127.0.0.1:%1: Address already in use").arg(port)))
        << busy.errors.toStdString();

    const ToolRun noIperf3 =
        runAgent(privatePorts() + QStringList{QStringLiteral("--iperf3"), QStringLiteral("/nonexistent")});
    EXPECT_EQ(noIperf3.exitCode, 1);
    EXPECT_TRUE(noIperf3.errors.contains(QStringLiteral("fenwave-agent: iperf3 not found at /nonexistent")))
        << noIperf3.errors.toStdString();
    const ToolRun noIperf =
        runAgent(privatePorts() + QStringList{QStringLiteral("--iperf"), QStringLiteral("/nonexistent")});
    EXPECT_EQ(noIperf.exitCode, 1);
    EXPECT_TRUE(noIperf.errors.contains(QStringLiteral("fenwave-agent: iperf not found at /nonexistent")))
        << noIperf.errors.toStdString();
}

} // namespace
