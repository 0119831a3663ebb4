// Times a program from launch until it maps a top-level window whose title
// starts with a given prefix, then ends it. It sleeps on the X connection
// while it waits, so on a small machine it takes no CPU from the program.
//
// Usage: orvenla_launch_timer TITLE_PREFIX PROGRAM [ARGUMENT...]
// Prints the milliseconds on stdout and exits 0; exits 1 when the program ends
// or a minute passes without such a window, or on a signal to stop; 2 on bad
// use or no X server.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto GiveUpAfter = std::chrono::seconds(60);
constexpr auto TermGrace = std::chrono::seconds(3);

bool titled(Display* display, Window window, const std::string& prefix) {
    XTextProperty property{};
    if (!XGetWMName(display, window, &property) || !property.value)
        return false;
    const std::string name(reinterpret_cast<const char*>(property.value), property.nitems);
    XFree(property.value);
    return name.compare(0, prefix.size(), prefix) == 0;
}

// A window may be gone before a request about it arrives; that is no failure.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

volatile sig_atomic_t stopped = 0;

void stop(int) {
    stopped = 1;
}

pid_t launch(char** argv) {
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // A timer killed outright must not leave the program running.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        execv(argv[0], argv);
        _exit(127);
    }
    return pid;
}

// Asks the program to end, and makes it if it has not within the grace time.
void end(pid_t pid) {
    kill(pid, SIGTERM);
    const auto deadline = Clock::now() + TermGrace;
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return;
        }
        usleep(10000);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TITLE_PREFIX PROGRAM [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    const std::string prefix = argv[1];
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
        return 2;
    }
    XSetErrorHandler(ignoreError);
    const int connection = ConnectionNumber(display);
    fcntl(connection, F_SETFD, FD_CLOEXEC);
    const Atom wmName = XA_WM_NAME;
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    // The selection must be in force before the program can map anything.
    XSync(display, False);

    struct sigaction action {};
    action.sa_handler = stop;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);

    const auto start = Clock::now();
    const pid_t pid = launch(argv + 2);
    if (pid < 0) {
        std::perror("fork");
        return 2;
    }
    // Windows that were mapped untitled: a title may still come.
    std::set<Window> mapped;
    bool found = false;
    while (!found) {
        while (!found && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify) {
                XSelectInput(display, event.xcreatewindow.window, PropertyChangeMask);
            } else if (event.type == MapNotify) {
                found = titled(display, event.xmap.window, prefix);
                if (!found)
                    mapped.insert(event.xmap.window);
            } else if (event.type == UnmapNotify || event.type == DestroyNotify) {
                mapped.erase(event.type == UnmapNotify ? event.xunmap.window
                                                       : event.xdestroywindow.window);
            } else if (event.type == PropertyNotify && event.xproperty.atom == wmName &&
                       mapped.count(event.xproperty.window)) {
                found = titled(display, event.xproperty.window, prefix);
            }
        }
        if (found)
            break;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "no window titled \"%s\" from %s: it ended (status %d)\n",
                         prefix.c_str(), argv[2], status);
            return 1;
        }
        if (stopped || Clock::now() - start > GiveUpAfter) {
            std::fprintf(stderr, "no window titled \"%s\" from %s\n", prefix.c_str(), argv[2]);
            end(pid);
            return 1;
        }
        // Wakes for X events, and now and then to see whether the program ended.
        pollfd wait{connection, POLLIN, 0};
        poll(&wait, 1, 100);
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    end(pid);
    std::printf("%.1f\n", ms);
    XCloseDisplay(display);
    return 0;
}
