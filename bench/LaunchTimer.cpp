// Times a program from launch until it maps a top-level window whose title
// starts with a given prefix, then ends it. It sleeps on the X connection
// while it waits, so on a small machine it takes no CPU from the program.
// With --press, it then waits for that window to have the input focus, sends
// it a key with xdotool, as a keyboard would, and takes the time when the
// window's title starts with a second prefix.
//
// Usage: orvenla_launch_timer [--press KEY TITLE_AFTER] TITLE_PREFIX PROGRAM [ARGUMENT...]
// Prints the milliseconds on stdout and exits 0; exits 1 when the program ends
// or a minute passes without such a window, or on a signal to stop; 2 on bad
// use or no X server.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>

extern char** environ;

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

// Through the XTEST extension, to whichever window has the input focus.
bool pressKey(const char* key) {
    char program[] = "xdotool";
    char command[] = "key";
    char* arguments[] = {program, command, const_cast<char*>(key), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, arguments, environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What the timer waits for next.
enum class Stage { Window, Focus, Title, Done };

// Follows the program's windows from their creation. A window manager maps a
// window after reparenting it into its frame, where the root does not see the
// map; so each new window reports its own.
class Watch {
public:
    Watch(Display* display, std::string prefix, std::string after)
        : m_display(display), m_prefix(std::move(prefix)), m_after(std::move(after)) {}

    Stage stage() const { return m_stage; }
    Window window() const { return m_window; }
    bool focused() const { return m_focused.count(m_window) != 0; }
    void pressed() {
        m_stage = Stage::Title;
        if (titled(m_display, m_window, m_after))
            m_stage = Stage::Done;
    }

    void handle(const XEvent& event) {
        switch (event.type) {
        case CreateNotify: {
            const Window window = event.xcreatewindow.window;
            XSelectInput(m_display, window,
                         PropertyChangeMask | StructureNotifyMask | FocusChangeMask);
            // Mapped before the selection took hold: only the state tells.
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(m_display, window, &attributes) &&
                attributes.map_state != IsUnmapped)
                mappedNow(window);
            break;
        }
        case MapNotify:
            mappedNow(event.xmap.window);
            break;
        case UnmapNotify:
            m_mapped.erase(event.xunmap.window);
            break;
        case DestroyNotify:
            m_mapped.erase(event.xdestroywindow.window);
            m_focused.erase(event.xdestroywindow.window);
            break;
        case FocusIn:
            if (event.xfocus.detail != NotifyPointer && event.xfocus.detail != NotifyPointerRoot &&
                event.xfocus.detail != NotifyDetailNone)
                m_focused.insert(event.xfocus.window);
            break;
        case FocusOut:
            if (event.xfocus.detail != NotifyInferior && event.xfocus.detail != NotifyPointer)
                m_focused.erase(event.xfocus.window);
            break;
        case PropertyNotify:
            if (event.xproperty.atom != XA_WM_NAME)
                break;
            if (m_stage == Stage::Window && m_mapped.count(event.xproperty.window))
                found(event.xproperty.window);
            else if (m_stage == Stage::Title && event.xproperty.window == m_window &&
                     titled(m_display, m_window, m_after))
                m_stage = Stage::Done;
            break;
        default:
            break;
        }
    }

private:
    void mappedNow(Window window) {
        if (m_stage != Stage::Window)
            return;
        m_mapped.insert(window);
        found(window);
    }
    void found(Window window) {
        if (!titled(m_display, window, m_prefix))
            return;
        m_window = window;
        m_stage = m_after.empty() ? Stage::Done : Stage::Focus;
    }

    Display* m_display;
    std::string m_prefix;
    std::string m_after;
    Stage m_stage = Stage::Window;
    Window m_window = None;
    // Windows that were mapped untitled: a title may still come.
    std::set<Window> m_mapped;
    std::set<Window> m_focused;
};

} // namespace

int main(int argc, char** argv) {
    std::string key;
    std::string after;
    int first = 1;
    if (argc > 3 && std::strcmp(argv[1], "--press") == 0) {
        key = argv[2];
        after = argv[3];
        first = 4;
    }
    if (argc < first + 2 || (!key.empty() && after.empty())) {
        std::fprintf(stderr,
                     "usage: %s [--press KEY TITLE_AFTER] TITLE_PREFIX PROGRAM [ARGUMENT...]\n",
                     argv[0]);
        return 2;
    }
    const std::string prefix = argv[first];
    char** program = argv + first + 1;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
        return 2;
    }
    XSetErrorHandler(ignoreError);
    const int connection = ConnectionNumber(display);
    fcntl(connection, F_SETFD, FD_CLOEXEC);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    // The selection must be in force before the program can map anything.
    XSync(display, False);

    struct sigaction action {};
    action.sa_handler = stop;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);

    const auto start = Clock::now();
    const pid_t pid = launch(program);
    if (pid < 0) {
        std::perror("fork");
        return 2;
    }
    Watch watch(display, prefix, after);
    const std::string& awaited = after.empty() ? prefix : after;
    while (watch.stage() != Stage::Done) {
        while (watch.stage() != Stage::Done && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            watch.handle(event);
        }
        if (watch.stage() == Stage::Focus && watch.focused()) {
            if (!pressKey(key.c_str())) {
                std::fprintf(stderr, "xdotool could not press %s\n", key.c_str());
                end(pid);
                return 1;
            }
            watch.pressed();
            continue;
        }
        if (watch.stage() == Stage::Done)
            break;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "no window titled \"%s\" from %s: it ended (status %d)\n",
                         awaited.c_str(), program[0], status);
            return 1;
        }
        if (stopped || Clock::now() - start > GiveUpAfter) {
            std::fprintf(stderr, "no window titled \"%s\" from %s\n", awaited.c_str(), program[0]);
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
