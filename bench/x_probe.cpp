// Measures a program on a real X server, from outside it.
//   x_probe startup TITLE X Y RRGGBB [X Y RRGGBB...] -- COMMAND...
//     starts COMMAND; prints the milliseconds until a window titled TITLE...
//     is mapped, until the screen shows every RRGGBB at its (X, Y) (the
//     first fully drawn frame), the gap between them, and the peak resident
//     size in KiB.
//   x_probe moves PID X Y WIDTH HEIGHT COUNT
//     moves the pointer COUNT times over the rectangle, one move handled at
//     a time, and prints the CPU microseconds PID spent per move.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool TitleStartsWith(Display* d, Window w, const char* prefix) {
    char* name = nullptr;
    const bool match = XFetchName(d, w, &name) && name && std::strncmp(name, prefix, std::strlen(prefix)) == 0;
    if (name) XFree(name);
    return match;
}

// A viewable top-level window (or one reparented below the root) with the title.
bool MappedWindow(Display* d, Window w, const char* title, int depth = 0) {
    XWindowAttributes a;
    if (depth > 0 && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable && TitleStartsWith(d, w, title))
        return true;
    if (depth > 2) return false;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i) found = MappedWindow(d, children[i], title, depth + 1);
    if (children) XFree(children);
    return found;
}

unsigned long PixelAt(Display* d, int x, int y) {
    XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0;
    const unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
}

long PeakKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Nanoseconds on a CPU of every thread of a process (the toolkit reads the
// X connection on a thread of its own).
long long CpuNanoseconds(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    long long total = 0;
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            std::ifstream stat(tasks + "/" + e->d_name + "/schedstat");
            long long ns = 0;
            if (stat >> ns) total += ns;
        }
        closedir(dir);
    }
    return total;
}

struct Point {
    int x, y;
    unsigned long colour;
};

int Startup(int argc, char** argv) {
    if (argc < 7) return 2;
    const char* title = argv[1];
    std::vector<Point> points;
    int at = 2;
    for (; at + 2 < argc && std::strcmp(argv[at], "--") != 0; at += 3)
        points.push_back({std::atoi(argv[at]), std::atoi(argv[at + 1]), std::strtoul(argv[at + 2], nullptr, 16)});
    if (points.empty() || at + 1 >= argc || std::strcmp(argv[at], "--") != 0) return 2;
    char** command = argv + at + 1;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 1;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(command[0], command);
        _exit(127);
    }
    double mapped = -1, drawn = -1;
    while (MillisecondsSince(start) < 20000 && drawn < 0) {
        if (mapped < 0 && MappedWindow(d, DefaultRootWindow(d), title)) mapped = MillisecondsSince(start);
        bool all = mapped >= 0;
        for (std::size_t i = 0; all && i < points.size(); ++i) all = PixelAt(d, points[i].x, points[i].y) == points[i].colour;
        if (all) drawn = MillisecondsSince(start);
        if (drawn < 0) usleep(200);
    }
    usleep(300000);  // settled: the peak size after the first frame
    const long peak = PeakKib(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(d);
    std::printf("%.2f %.2f %.2f %ld\n", mapped, drawn, drawn - mapped, peak);
    return drawn < 0 ? 1 : 0;
}

int Moves(int argc, char** argv) {
    if (argc < 7) return 2;
    const pid_t pid = std::atoi(argv[1]);
    const int x = std::atoi(argv[2]), y = std::atoi(argv[3]), w = std::atoi(argv[4]), h = std::atoi(argv[5]);
    const int count = std::atoi(argv[6]);
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 1;
    const Window root = DefaultRootWindow(d);
    const long long before = CpuNanoseconds(pid);
    for (int i = 0; i < count; ++i) {
        // A walk over the rectangle that changes cell on most moves.
        XWarpPointer(d, None, root, 0, 0, 0, 0, x + (i * 37) % w, y + (i * 23) % h);
        XSync(d, False);
        usleep(1500);  // one move handled at a time, as a hand would give them
    }
    usleep(100000);
    const long long after = CpuNanoseconds(pid);
    XCloseDisplay(d);
    std::printf("%.1f\n", static_cast<double>(after - before) / 1000.0 / count);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "startup") == 0) return Startup(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "moves") == 0) return Moves(argc - 1, argv + 1);
    std::fprintf(stderr, "usage: x_probe startup|moves ...\n");
    return 2;
}
