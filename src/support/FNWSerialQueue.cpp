#include "support/FNWSerialQueue.h"

#include <pthread.h>

namespace {
thread_local const FNWSerialQueue* t_currentQueue = nullptr;
}

FNWSerialQueue::FNWSerialQueue(std::string label)
    : m_label(std::move(label))
{
    m_thread = std::thread([this] { run(); });
}

FNWSerialQueue::~FNWSerialQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        if (isCurrent())
            m_thread.detach();
        else
            m_thread.join();
    }
}

void FNWSerialQueue::async(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void FNWSerialQueue::sync(const Task& task)
{
    if (isCurrent()) {
        task();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneCondition;
    bool done = false;
    async([&] {
        task();
        std::lock_guard lock(doneMutex);
        done = true;
        doneCondition.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneCondition.wait(lock, [&] { return done; });
}

FNWSerialQueue::TimerId FNWSerialQueue::asyncAfter(std::chrono::steady_clock::duration delay, Task task)
{
    TimerId id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = m_nextTimerId++;
        m_timers.emplace(std::chrono::steady_clock::now() + delay, std::make_pair(id, std::move(task)));
    }
    m_wake.notify_one();
    return id;
}

void FNWSerialQueue::cancel(TimerId id)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.first == id) {
            m_timers.erase(it);
            return;
        }
    }
}

bool FNWSerialQueue::isCurrent() const
{
    return t_currentQueue == this;
}

std::string FNWSerialQueue::currentLabel()
{
    return t_currentQueue ? t_currentQueue->m_label : std::string();
}

void FNWSerialQueue::run()
{
    t_currentQueue = this;
    pthread_setname_np(pthread_self(), m_label.substr(0, 15).c_str());
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_tasks.empty()) {
            Task task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!m_timers.empty() && m_timers.begin()->first <= now) {
            Task task = std::move(m_timers.begin()->second.second);
            m_timers.erase(m_timers.begin());
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        // Pending timers are dropped once the queue is being destroyed; queued blocks are not.
        if (m_stopping)
            break;
        if (m_timers.empty()) {
            m_wake.wait(lock);
        } else {
            // A copy: the timer may be cancelled, and its node freed, while we wait.
            const auto due = m_timers.begin()->first;
            m_wake.wait_until(lock, due);
        }
    }
    t_currentQueue = nullptr;
}
