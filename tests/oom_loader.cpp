// Loads a data file with little memory to spare, or with "outline" only
// outlines it, and prints the number of the error it met, or "loaded". Run by
// tst_datafile in a process of its own.

#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"
#include "store/DataFile.h"
#include "text/TextCodecs.h"

#include <QString>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

// The address space in use now, in bytes.
rlim_t addressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmSize:") {
            rlim_t kib = 0;
            status >> kib;
            return kib * 1024;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3 && argc != 4)
        return 2;
    const bool outlineOnly = argc == 4 && std::string(argv[3]) == "outline";
    const rlim_t spare = rlim_t(std::stoul(argv[2])) << 20;
    ArticleSlots store;
    const rlimit limit{addressSpaceInUse() + spare, addressSpaceInUse() + spare};
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        return 2;
    try {
        const QString path = QString::fromLocal8Bit(argv[1]);
        DataFileOutline outline;
        if (outlineOnly)
            outline.read(path, narrowCodecsFor(localeCodeset()));
        else
            loadDataFile(path, store);
        std::puts("loaded");
    } catch (const RuntimeError& error) {
        std::printf("%d\n", error.number());
    }
    return 0;
}
