#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a call on the event loop: the signal handler only writes the
// signal number into a pipe, whose other end the loop watches, so whatever the handler does
// (stopping a run, quitting) happens outside the signal. One watcher per process at a time.
class FNWSignalWatcher final : public QObject
{
public:
    using Handler = std::function<void(int signalNumber)>;

    explicit FNWSignalWatcher(Handler handler, QObject* parent = nullptr);
    // Puts the default actions back.
    ~FNWSignalWatcher() override;

    // Catches both signals from now on; false with the reason when it cannot.
    bool install(QString* error);
    // Hands a signal number to the watching loop as a caught signal would; safe inside a signal
    // handler, and a no-op without a watcher.
    static void post(int signalNumber);

private:
    void readSignals();

    const Handler m_handler;
    int m_readEnd = -1;
    int m_writeEnd = -1;
    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};
