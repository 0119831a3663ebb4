#include "platform/BackgroundThread.h"

#include <QtGlobal>

#include <pthread.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

void lowerCurrentThreadPriority() {
#ifdef Q_OS_LINUX
    // Linux keeps a nice value per thread; elsewhere this would lower the
    // whole program, so it is left there. A refusal only leaves it as it was.
    (void)setpriority(PRIO_PROCESS, id_t(gettid()), 19);
#endif
}

std::optional<std::chrono::nanoseconds> threadProcessorTime(std::thread& thread) {
    clockid_t clock;
    timespec used{};
    if (pthread_getcpuclockid(thread.native_handle(), &clock) != 0 ||
        clock_gettime(clock, &used) != 0)
        return std::nullopt;
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}
