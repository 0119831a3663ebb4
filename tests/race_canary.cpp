// Built only with the thread sanitizer, which must report this program's race:
// a background task writes what a timer's slot reads, unordered. Qt's event
// loop lies below that slot, as below every slot of the reader's, so a
// suppression wide enough to match Qt's frames, or a build that has lost the
// sanitizer, fails this test before it hides a race of the reader's.

#include "platform/BackgroundTask.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

namespace {

int unguarded = 0;

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::optional<BackgroundTask> task(
        std::in_place, &app,
        [](const std::atomic<bool>& stop) {
            unguarded = 1;
            while (!stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        [](std::exception_ptr) {});
    QTimer::singleShot(100, &app, [] {
        std::printf("read %d\n", unguarded);
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    task.reset();
    BackgroundTask::waitForDroppedWork(10000);
    return 0;
}
