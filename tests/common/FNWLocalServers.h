#pragma once

// Real servers on 127.0.0.1 for tests that run iperf end to end.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace fnw::test {

enum class Transport { Tcp, Udp };

// A port on 127.0.0.1 that nothing uses at the moment of asking.
int freePort(Transport transport = Transport::Tcp);

// A TCP socket listening on 127.0.0.1 at a free port (its number in port); -1 on failure. The
// kernel completes connections to it whether or not anyone accepts them.
int listenOnLoopback(int& port);

// Waits until something listens on 127.0.0.1 (or any address) at the port; false after the deadline.
bool waitUntilListening(int port, Transport transport, int timeoutMs = 5000);

// Pids of processes whose command line holds every one of the given words.
QList<int> processesWith(const QStringList& words);

// Waits until no process holds the words; false after the deadline.
bool waitUntilGone(const QStringList& words, int timeoutMs = 5000);

// Every process below this one (children, theirs, zombies too), as "pid: command line".
QStringList descendantProcesses();

// Waits until this process has no child left; false after the deadline.
bool waitUntilNoChildren(int timeoutMs = 5000);

// Runs a command (looked up on PATH) in the folder, or here, with its output dropped, and waits for
// it; true when it exited 0. Started with fork and exec: a QProcess started while other threads
// run trips ThreadSanitizer's check of forks in threaded programs.
bool runToEnd(const QStringList& command, const QString& workingDirectory = QString());

// A child process killed when the test is over.
class LocalProcess final
{
public:
    LocalProcess(const QString& program, const QStringList& arguments);
    ~LocalProcess();
    LocalProcess(const LocalProcess&) = delete;
    LocalProcess& operator=(const LocalProcess&) = delete;

    QProcess& process() { return *m_process; }
    // Reads standard output until it holds the text; everything read so far is kept.
    bool waitForOutput(const QByteArray& text, int timeoutMs = 10000);
    QByteArray output() const { return m_output; }

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_output;
};

} // namespace fnw::test
