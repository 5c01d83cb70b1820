#pragma once

#include <chrono>
#include <functional>

// The application thread's event loop as a queue: any thread hands it a block, which runs there
// later. Without an application object the block is dropped (and the drop logged).
namespace FNWMainQueue {

bool isMainThread();
// Runs the block on the application thread after everything already queued there.
void async(std::function<void()> block);
// Runs the block on the application thread once the delay has passed.
void asyncAfter(std::chrono::milliseconds delay, std::function<void()> block);

} // namespace FNWMainQueue
