#pragma once

#include <QObject>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>

// Work run on a thread of its own, its end reported on
// the thread of a receiver. Whoever starts it never waits for it: dropping the
// task asks the work to stop and forgets it.
//
// The work sees a stop request, and passes its result through what its
// closure shares with `done`; the handover is ordered, so `done` reads what
// the work wrote. What the work throws reaches `done` as its failure.
class BackgroundTask {
public:
    using Work = std::function<void(const std::atomic<bool>& stop)>;
    using Done = std::function<void(std::exception_ptr failure)>;

    // Starts `work`. `done` runs on `receiver`'s thread once the work has
    // ended, unless the task has been dropped first; `receiver` must outlive
    // the task.
    BackgroundTask(QObject* receiver, Work work, Done done);
    ~BackgroundTask();
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Waits, at most `timeoutMs` in all, for dropped work still running to
    // end, so that none outlives the objects it reads from. For the end of the
    // program only, once nothing starts tasks any more.
    static void waitForDroppedWork(int timeoutMs);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// Lets the work on a task wait a moment, for a file to be left alone.
void pauseWork(std::chrono::nanoseconds duration);
