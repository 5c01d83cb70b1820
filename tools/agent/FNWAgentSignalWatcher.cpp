#include "FNWAgentSignalWatcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace fnw::agent {

namespace {

std::atomic<int> g_signalPipe{-1};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a signal to handle; losing this one changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe.load(), &byte, 1);
    errno = savedErrno;
}

} // namespace

FNWAgentSignalWatcher::FNWAgentSignalWatcher(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
}

FNWAgentSignalWatcher::~FNWAgentSignalWatcher()
{
    if (m_installed) {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        g_signalPipe = -1;
    }
}

bool FNWAgentSignalWatcher::install(QString* error)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = QStringLiteral("cannot make the signal pipe: %1").arg(qt_error_string(errno));
        return false;
    }
    m_readEnd.reset(ends[0]);
    m_writeEnd.reset(ends[1]);
    g_signalPipe = m_writeEnd.get();
    m_notifier = new QSocketNotifier(m_readEnd.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readSignals(); });

    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, nullptr) != 0 || ::sigaction(SIGINT, &action, nullptr) != 0) {
        *error = QStringLiteral("cannot handle SIGTERM and SIGINT: %1").arg(qt_error_string(errno));
        return false;
    }
    m_installed = true;
    return true;
}

void FNWAgentSignalWatcher::readSignals()
{
    unsigned char numbers[16];
    ssize_t count = 0;
    while ((count = ::read(m_readEnd.get(), numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            m_handler(numbers[i]);
    }
}

} // namespace fnw::agent
