// Loaded into vornel by the durability test: a sync of a folder fails as a
// disk that lost its connection would fail it; everything else passes.
// VORNEL_FAILED_FOLDER_SYNCS=n fails only the first n of them.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern "C" int fsync(int fd) {
    static const char* limit = std::getenv("VORNEL_FAILED_FOLDER_SYNCS");
    static long left = limit ? std::atol(limit) : -1;
    struct stat st;
    if (left != 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        if (left > 0) --left;
        errno = EIO;
        return -1;
    }
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}
