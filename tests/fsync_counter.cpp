// Loaded with LD_PRELOAD, writes one line to the file $ORVENLA_FSYNC_LOG for
// each fsync(): "file" for a regular file, "other" for anything else. Lets a
// test see that a save reaches the disk before it counts as done.
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" int fsync(int fd) {
    using Fsync = int (*)(int);
    static const auto realFsync = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
    struct stat info {};
    const char* line = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? "file\n" : "other\n";
    if (const char* log = std::getenv("ORVENLA_FSYNC_LOG")) {
        const int out = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (out >= 0) {
            [[maybe_unused]] const ssize_t written = ::write(out, line, std::strlen(line));
            ::close(out);
        }
    }
    return realFsync(fd);
}
