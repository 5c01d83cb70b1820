#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// A labelled serial queue on its own thread: blocks run one at a time in the order they were
// queued; delayed blocks run once their time has come. Destruction drains what was queued.
class FNWSerialQueue final
{
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;

    explicit FNWSerialQueue(std::string label);
    ~FNWSerialQueue();
    FNWSerialQueue(const FNWSerialQueue&) = delete;
    FNWSerialQueue& operator=(const FNWSerialQueue&) = delete;

    const std::string& label() const { return m_label; }

    void async(Task task);
    // Runs the task and returns once it has run. Called on the queue itself, runs it in place.
    void sync(const Task& task);
    TimerId asyncAfter(std::chrono::steady_clock::duration delay, Task task);
    void cancel(TimerId id);

    bool isCurrent() const;
    // Label of the queue the calling thread is serving, empty when it serves none.
    static std::string currentLabel();

private:
    void run();

    const std::string m_label;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    std::multimap<std::chrono::steady_clock::time_point, std::pair<TimerId, Task>> m_timers;
    TimerId m_nextTimerId = 1;
    bool m_stopping = false;
    std::thread m_thread;
};
