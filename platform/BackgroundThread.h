#pragma once

#include <chrono>
#include <optional>
#include <thread>

// For work done on a thread beside the one that shows the window.

// Gives the calling thread the lowest priority, so that it runs on what the
// rest of the program and the window system leave. It cannot be raised again.
void lowerCurrentThreadPriority();

// The processor time a running thread of this process has used so far; none
// when the system cannot tell.
std::optional<std::chrono::nanoseconds> threadProcessorTime(std::thread& thread);
