// Linked into each test of the thread-sanitized build only.
//
// QProcess starts a child with clone(CLONE_VM | CLONE_VFORK), the child
// running in the parent's memory until it execs. The thread sanitizer's
// runtime in Debian 12 (gcc 12's and clang 14's alike) treats every clone as
// a fork, so that child marks the parent itself as a child forked from many
// threads: the parent then dies at the next thread it starts, or stops being
// checked. Defined in the executable, this clone comes before the runtime's
// and calls the C library's own; nothing of the child runs before its exec but
// Qt's code, which the sanitizer does not watch anyway.

#include <dlfcn.h>
#include <sched.h>

#include <cstdarg>
#include <cstdlib>

extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) noexcept {
    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static const Clone libcClone = [] {
        void* libc = dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
        return libc ? reinterpret_cast<Clone>(dlsym(libc, "clone")) : nullptr;
    }();
    if (!libcClone)
        std::abort();
    // The optional arguments, passed on whether or not the flags use them.
    va_list rest;
    va_start(rest, arg);
    pid_t* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    pid_t* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    return libcClone(fn, stack, flags, arg, parentTid, tls, childTid);
}
