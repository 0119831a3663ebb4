// Indexes a data file in the encoding given with little memory to spare, and
// prints the number of the error it met, or "indexed" and the article count.
// Run by tst_datafile in a process of its own.
//
//   oom_loader PATH SPARE_MIB CODEC[,CODEC...]

#include "platform/RuntimeError.h"
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
    if (argc != 4)
        return 2;
    const rlim_t spare = rlim_t(std::stoul(argv[2])) << 20;
    const QList<QByteArray> codecs = QByteArray(argv[3]).split(',');
    const rlimit limit{addressSpaceInUse() + spare, addressSpaceInUse() + spare};
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        return 2;
    try {
        const QString path = QString::fromLocal8Bit(argv[1]);
        const DataFileIndex index = indexDataFile(path, codecs);
        std::printf("indexed %d\n", int(index.count()));
    } catch (const RuntimeError& error) {
        std::printf("%d\n", error.number());
    }
    return 0;
}
