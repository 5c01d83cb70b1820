#include "support/FNWMainQueue.h"

#include "support/DDLog.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

namespace {

struct QueuedBlock
{
    std::chrono::milliseconds delay;
    std::function<void()> block;
};

class FNWMainQueuePump;

// The hand-over is guarded by a plain mutex and signalled through an eventfd, so that what one
// thread queues is visibly handed to the application thread, also to ThreadSanitizer (Qt's own
// cross-thread calls synchronise inside the uninstrumented Qt library).
std::mutex s_mutex;
FNWMainQueuePump* s_pump = nullptr;
std::deque<QueuedBlock> s_blocks;

class FNWMainQueuePump final : public QObject
{
public:
    explicit FNWMainQueuePump(QCoreApplication* app)
        : QObject(app)
        , m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
        auto* notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &FNWMainQueuePump::drain);
    }

    ~FNWMainQueuePump() override
    {
        std::deque<QueuedBlock> dropped;
        {
            std::lock_guard lock(s_mutex);
            s_pump = nullptr;
            dropped.swap(s_blocks);
        }
        ::close(m_fd);
    }

    // Called with s_mutex held.
    void wake()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
    }

private:
    void drain()
    {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(m_fd, &count, sizeof count);
        std::deque<QueuedBlock> blocks;
        {
            std::lock_guard lock(s_mutex);
            blocks.swap(s_blocks);
        }
        for (QueuedBlock& queued : blocks) {
            // Precise: a coarse timer may fire up to 5 % early, and a 3-second time-out must not.
            if (queued.delay.count() > 0)
                QTimer::singleShot(queued.delay, Qt::PreciseTimer, this, std::move(queued.block));
            else
                queued.block();
        }
    }

    const int m_fd;
};

void createPump()
{
    auto* pump = new FNWMainQueuePump(QCoreApplication::instance());
    std::lock_guard lock(s_mutex);
    s_pump = pump;
}

void enqueue(std::chrono::milliseconds delay, std::function<void()> block)
{
    {
        std::lock_guard lock(s_mutex);
        if (s_pump != nullptr) {
            s_blocks.push_back({delay, std::move(block)});
            s_pump->wake();
            return;
        }
    }
    DDLogError("FNWMainQueue: no application, a queued block is dropped");
}

} // namespace

// Made on the application thread as the application object is constructed.
Q_COREAPP_STARTUP_FUNCTION(createPump)

namespace FNWMainQueue {

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void async(std::function<void()> block)
{
    enqueue(std::chrono::milliseconds(0), std::move(block));
}

void asyncAfter(std::chrono::milliseconds delay, std::function<void()> block)
{
    enqueue(delay, std::move(block));
}

} // namespace FNWMainQueue
