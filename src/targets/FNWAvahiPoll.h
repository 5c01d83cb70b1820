#pragma once

#include <QObject>

#include <memory>
#include <vector>

struct AvahiPoll;
struct AvahiWatch;
struct AvahiTimeout;

// Runs the Avahi client's sockets and timers on the event loop of the thread that makes it, so
// every Avahi callback arrives on that thread. A watch or timeout freed inside its own callback
// is kept until the callback has returned; whatever is left goes with this object, which must
// outlive every Avahi object made on it.
class FNWAvahiPoll final : public QObject
{
    Q_DISABLE_COPY_MOVE(FNWAvahiPoll)

public:
    explicit FNWAvahiPoll(QObject* parent = nullptr);
    ~FNWAvahiPoll() override;

    const AvahiPoll* poll() const { return m_poll.get(); }

private:
    friend struct FNWAvahiPollBridge;

    void retire(AvahiWatch* watch);
    void retire(AvahiTimeout* timeout);
    void sweep();

    std::unique_ptr<AvahiPoll> m_poll;
    std::vector<std::unique_ptr<AvahiWatch>> m_retiredWatches;
    std::vector<std::unique_ptr<AvahiTimeout>> m_retiredTimeouts;
    bool m_sweepPending = false;
};
