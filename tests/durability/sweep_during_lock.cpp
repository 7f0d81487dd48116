// Loaded into a test: the first time a recovery lock file is about to be
// locked, another start's sweep removes it and makes and locks a new one in
// its place (the moment the program cannot see between its open and its lock).
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

extern "C" int flock(int fd, int operation) {
    using Flock = int (*)(int, int);
    static const auto real = reinterpret_cast<Flock>(dlsym(RTLD_NEXT, "flock"));
    static bool swept = false;
    if (!swept && (operation & LOCK_EX)) {
        char link[64], path[4096];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t n = readlink(link, path, sizeof path - 1);
        if (n > 5 && std::strncmp(path + n - 5, ".lock", 5) == 0) {
            swept = true;
            path[n] = 0;
            unlink(path);
            const int other = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);  // held until the test ends
            if (other >= 0) real(other, LOCK_EX | LOCK_NB);
        }
    }
    return real(fd, operation);
}
