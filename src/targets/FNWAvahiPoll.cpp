#include "targets/FNWAvahiPoll.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

#include <avahi-common/timeval.h>
#include <avahi-common/watch.h>

struct AvahiWatch
{
    FNWAvahiPoll* owner = nullptr;
    int fd = -1;
    AvahiWatchCallback callback = nullptr;
    void* userdata = nullptr;
    std::unique_ptr<QSocketNotifier> reading;
    std::unique_ptr<QSocketNotifier> writing;
    // What woke the watch, while its callback runs.
    int happened = 0;
    bool retired = false;
};

struct AvahiTimeout
{
    FNWAvahiPoll* owner = nullptr;
    AvahiTimeoutCallback callback = nullptr;
    void* userdata = nullptr;
    std::unique_ptr<QTimer> timer;
    bool retired = false;
};

struct FNWAvahiPollBridge
{
    static FNWAvahiPoll* ownerOf(const AvahiPoll* api) { return static_cast<FNWAvahiPoll*>(api->userdata); }

    static void dispatch(AvahiWatch* watch, int event)
    {
        if (watch->retired)
            return;
        watch->happened = event;
        watch->callback(watch, watch->fd, static_cast<AvahiWatchEvent>(event), watch->userdata);
        // The callback may have freed the watch; it is then retired, not deleted, until the sweep.
        watch->happened = 0;
    }

    static void update(AvahiWatch* watch, AvahiWatchEvent events)
    {
        watch->reading->setEnabled(!watch->retired && (events & AVAHI_WATCH_IN));
        watch->writing->setEnabled(!watch->retired && (events & AVAHI_WATCH_OUT));
    }

    static AvahiWatch* watchNew(const AvahiPoll* api, int fd, AvahiWatchEvent events, AvahiWatchCallback callback,
                                void* userdata)
    {
        auto* watch = new AvahiWatch;
        watch->owner = ownerOf(api);
        watch->fd = fd;
        watch->callback = callback;
        watch->userdata = userdata;
        watch->reading = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        watch->writing = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        // A hang-up or error wakes the read side too; Avahi reads it as end of the connection.
        QObject::connect(watch->reading.get(), &QSocketNotifier::activated, watch->owner,
                         [watch] { dispatch(watch, AVAHI_WATCH_IN); });
        QObject::connect(watch->writing.get(), &QSocketNotifier::activated, watch->owner,
                         [watch] { dispatch(watch, AVAHI_WATCH_OUT); });
        update(watch, events);
        return watch;
    }

    static AvahiWatchEvent watchGetEvents(AvahiWatch* watch) { return static_cast<AvahiWatchEvent>(watch->happened); }

    static void watchFree(AvahiWatch* watch) { watch->owner->retire(watch); }

    static void arm(AvahiTimeout* timeout, const struct timeval* when)
    {
        if (!when || timeout->retired) {
            timeout->timer->stop();
            return;
        }
        // avahi_age is how long ago the time was: negative while it lies ahead.
        const AvahiUsec ahead = -avahi_age(when);
        timeout->timer->start(ahead <= 0 ? 0 : static_cast<int>(std::min<AvahiUsec>((ahead + 999) / 1000, 1 << 30)));
    }

    static AvahiTimeout* timeoutNew(const AvahiPoll* api, const struct timeval* when, AvahiTimeoutCallback callback,
                                    void* userdata)
    {
        auto* timeout = new AvahiTimeout;
        timeout->owner = ownerOf(api);
        timeout->callback = callback;
        timeout->userdata = userdata;
        timeout->timer = std::make_unique<QTimer>();
        timeout->timer->setSingleShot(true);
        timeout->timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timeout->timer.get(), &QTimer::timeout, timeout->owner, [timeout] {
            if (!timeout->retired)
                timeout->callback(timeout, timeout->userdata);
        });
        arm(timeout, when);
        return timeout;
    }

    static void timeoutUpdate(AvahiTimeout* timeout, const struct timeval* when) { arm(timeout, when); }

    static void timeoutFree(AvahiTimeout* timeout) { timeout->owner->retire(timeout); }
};

FNWAvahiPoll::FNWAvahiPoll(QObject* parent)
    : QObject(parent)
    , m_poll(std::make_unique<AvahiPoll>())
{
    m_poll->userdata = this;
    m_poll->watch_new = &FNWAvahiPollBridge::watchNew;
    m_poll->watch_update = &FNWAvahiPollBridge::update;
    m_poll->watch_get_events = &FNWAvahiPollBridge::watchGetEvents;
    m_poll->watch_free = &FNWAvahiPollBridge::watchFree;
    m_poll->timeout_new = &FNWAvahiPollBridge::timeoutNew;
    m_poll->timeout_update = &FNWAvahiPollBridge::timeoutUpdate;
    m_poll->timeout_free = &FNWAvahiPollBridge::timeoutFree;
}

FNWAvahiPoll::~FNWAvahiPoll() = default;

void FNWAvahiPoll::retire(AvahiWatch* watch)
{
    watch->retired = true;
    watch->reading->setEnabled(false);
    watch->writing->setEnabled(false);
    m_retiredWatches.emplace_back(watch);
    sweep();
}

void FNWAvahiPoll::retire(AvahiTimeout* timeout)
{
    timeout->retired = true;
    timeout->timer->stop();
    m_retiredTimeouts.emplace_back(timeout);
    sweep();
}

// Deleting a notifier or timer from inside its own signal is not safe, so retired ones go on the
// next turn of the loop.
void FNWAvahiPoll::sweep()
{
    if (m_sweepPending)
        return;
    m_sweepPending = true;
    QTimer::singleShot(0, this, [this] {
        m_sweepPending = false;
        m_retiredWatches.clear();
        m_retiredTimeouts.clear();
    });
}
