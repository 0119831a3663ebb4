#include "platform/BackgroundTask.h"

#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

// What the task's handle and its thread share. The mutex orders the work's
// writes before `done` and guards the choice between delivering and dropping.
struct BackgroundTask::State {
    std::mutex mutex;
    std::atomic<bool> stop = false;
    bool dropped = false;
    QObject* receiver = nullptr;
    Done done;
};

namespace {

// Threads still running, so that the end of the program can let them finish.
std::mutex runningMutex;
std::condition_variable runningEnded;
int running = 0;

void deliver(const std::shared_ptr<BackgroundTask::State>& state, std::exception_ptr failure) {
    const std::lock_guard lock(state->mutex);
    if (state->dropped)
        return;
    // Posted while the handle cannot drop the task, so the receiver still exists.
    QMetaObject::invokeMethod(
        state->receiver,
        [state, failure] {
            BackgroundTask::Done done;
            {
                const std::lock_guard taken(state->mutex);
                if (state->dropped)
                    return;
                done = state->done;
            }
            done(failure);
        },
        Qt::QueuedConnection);
}

} // namespace

BackgroundTask::BackgroundTask(QObject* receiver, Work work, Done done)
    : m_state(std::make_shared<State>()) {
    m_state->receiver = receiver;
    m_state->done = std::move(done);
    {
        const std::lock_guard lock(runningMutex);
        ++running;
    }
    try {
        std::thread([state = m_state, work = std::move(work)] {
            std::exception_ptr failure;
            try {
                work(state->stop);
            } catch (...) {
                failure = std::current_exception();
            }
            deliver(state, failure);
            const std::lock_guard lock(runningMutex);
            --running;
            runningEnded.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        {
            const std::lock_guard lock(runningMutex);
            --running;
        }
        // No thread to spare: reported as the work's failure, later, as any end.
        deliver(m_state, std::current_exception());
    }
}

BackgroundTask::~BackgroundTask() {
    const std::lock_guard lock(m_state->mutex);
    m_state->dropped = true;
    m_state->stop = true;
}

void BackgroundTask::waitForDroppedWork(int timeoutMs) {
    std::unique_lock lock(runningMutex);
    runningEnded.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return running == 0; });
}

void pauseWork(std::chrono::nanoseconds duration) {
    std::this_thread::sleep_for(duration);
}
