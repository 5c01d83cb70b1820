#include "support/FNWMainQueue.h"

#include "support/DDLog.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace FNWMainQueue {

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void async(std::function<void()> block)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        DDLogError("FNWMainQueue: no application, a queued block is dropped");
        return;
    }
    QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
}

void asyncAfter(std::chrono::milliseconds delay, std::function<void()> block)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        DDLogError("FNWMainQueue: no application, a delayed block is dropped");
        return;
    }
    // Timers belong to the thread that starts them, so a timer for the application thread is
    // started there.
    if (isMainThread()) {
        QTimer::singleShot(delay, app, std::move(block));
        return;
    }
    QMetaObject::invokeMethod(
        app, [delay, block = std::move(block), app]() mutable { QTimer::singleShot(delay, app, std::move(block)); },
        Qt::QueuedConnection);
}

} // namespace FNWMainQueue
