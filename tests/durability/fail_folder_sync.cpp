// Loaded into vornel by the durability test: a sync of a folder fails as a
// disk that lost its connection would fail it; everything else passes.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

extern "C" int fsync(int fd) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EIO;
        return -1;
    }
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}
