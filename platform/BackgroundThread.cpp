#include "platform/BackgroundThread.h"

#include <QtGlobal>

#include <sys/resource.h>
#include <unistd.h>

void lowerCurrentThreadPriority() {
#ifdef Q_OS_LINUX
    // Linux keeps a nice value per thread; elsewhere this would lower the
    // whole program, so it is left there. A refusal only leaves it as it was.
    (void)setpriority(PRIO_PROCESS, id_t(gettid()), 19);
#endif
}
