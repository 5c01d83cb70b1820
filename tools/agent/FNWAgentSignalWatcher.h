#pragma once

#include "FNWAgentSupport.h"

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace fnw::agent {

// Turns SIGTERM and SIGINT into a call on the event loop: the handler only writes the signal
// number into a pipe, whose other end the loop watches. One watcher per process.
class FNWAgentSignalWatcher final : public QObject
{
public:
    using Handler = std::function<void(int signalNumber)>;

    explicit FNWAgentSignalWatcher(Handler handler, QObject* parent = nullptr);
    // Puts the default handlers back.
    ~FNWAgentSignalWatcher() override;

    bool install(QString* error);

private:
    void readSignals();

    const Handler m_handler;
    FNWUniqueFd m_readEnd;
    FNWUniqueFd m_writeEnd;
    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};

} // namespace fnw::agent
