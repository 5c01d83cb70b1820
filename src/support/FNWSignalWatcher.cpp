#include "support/FNWSignalWatcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace {

std::atomic<int> g_signalPipe{-1};

void onSignal(int signalNumber)
{
    FNWSignalWatcher::post(signalNumber);
}

} // namespace

FNWSignalWatcher::FNWSignalWatcher(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
}

FNWSignalWatcher::~FNWSignalWatcher()
{
    // A later watcher owns the signals now; leave them to it.
    if (m_installed && g_signalPipe.load() == m_writeEnd) {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        g_signalPipe = -1;
    }
    if (m_readEnd >= 0)
        ::close(m_readEnd);
    if (m_writeEnd >= 0)
        ::close(m_writeEnd);
}

void FNWSignalWatcher::post(int signalNumber)
{
    const int savedErrno = errno;
    const int pipe = g_signalPipe.load();
    if (pipe >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a signal to handle; losing this one changes nothing.
        [[maybe_unused]] const ssize_t written = ::write(pipe, &byte, 1);
    }
    errno = savedErrno;
}

bool FNWSignalWatcher::install(QString* error)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = QStringLiteral("cannot make the signal pipe: %1").arg(qt_error_string(errno));
        return false;
    }
    m_readEnd = ends[0];
    m_writeEnd = ends[1];
    g_signalPipe = m_writeEnd;
    m_notifier = new QSocketNotifier(m_readEnd, QSocketNotifier::Read, this);
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

void FNWSignalWatcher::readSignals()
{
    unsigned char numbers[16];
    ssize_t count = 0;
    while ((count = ::read(m_readEnd, numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            m_handler(numbers[i]);
    }
}
