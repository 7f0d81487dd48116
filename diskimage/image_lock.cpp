#include "diskimage/image_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace diskimage {
namespace {

// Every writer of an image reads it, changes it and replaces it holding an
// exclusive lock on the image's folder (the image gets a new inode with
// every write, the folder stays) and on the image file itself, checked to
// be still the file its path names once held. Both are taken on the image
// as it really is, its links resolved, so that every way of naming one
// image meets the same locks; the file's lock serves a writer that may not
// read the folder. A writer waits for them a while, then gives up changing
// nothing; one that can have neither writes nothing, unless the file system
// keeps no locks at all.
constexpr int LockWaitMilliseconds = 10000;

// The path with every symbolic link on the way resolved; for an image not
// made yet, its folder resolved (and a dangling link followed to where the
// image will be made).
std::string Resolved(const std::string& path) {
    if (char* real = realpath(path.c_str(), nullptr)) {
        std::string out(real);
        free(real);
        return out;
    }
    std::string p = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        char target[4096];
        const ssize_t n = readlink(p.c_str(), target, sizeof target - 1);
        if (n <= 0) break;
        const std::string to(target, static_cast<std::size_t>(n));
        const auto slash = p.find_last_of('/');
        p = to[0] == '/' || slash == std::string::npos ? to : p.substr(0, slash + 1) + to;
    }
    const auto slash = p.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
    char* real = realpath(folder.c_str(), nullptr);
    if (!real) return p;
    std::string out = std::string(real) + "/" + p.substr(slash == std::string::npos ? 0 : slash + 1);
    free(real);
    return out;
}

bool NoLocksHere(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL; }

// False when another writer held the lock past the deadline.
bool Wait(int fd, std::chrono::steady_clock::time_point deadline, bool& unsupported) {
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (NoLocksHere(errno)) {
            unsupported = true;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        usleep(5000);
    }
}

bool Busy(std::string& error) {
    error = "another program kept writing to the disk image for 10 seconds; nothing was written";
    return false;
}

}  // namespace

ImageLock::ImageLock(const std::string& image) : path_(Resolved(image)) {}

ImageLock::~ImageLock() {
    if (folderFd_ >= 0) close(folderFd_);  // lets go of the locks
    if (fileFd_ >= 0) close(fileFd_);
}

bool ImageLock::Take(std::string& error, std::string& note) {
    const auto slash = path_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LockWaitMilliseconds);
    bool unsupported = false;
    folderFd_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string folderWhy = folderFd_ < 0 ? folder + ": " + std::strerror(errno) : std::string();
    if (folderFd_ >= 0 && !Wait(folderFd_, deadline, unsupported)) return Busy(error);
    if (unsupported) {
        close(folderFd_);
        folderFd_ = -1;
    }
    // The file's lock, on the file the path names once it is held.
    for (;;) {
        fileFd_ = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat held, named;
        if (fileFd_ < 0 || fstat(fileFd_, &held) != 0 || !S_ISREG(held.st_mode)) break;
        bool fileUnsupported = false;
        if (!Wait(fileFd_, deadline, fileUnsupported)) return Busy(error);
        if (fileUnsupported) {
            unsupported = true;
            break;
        }
        if (stat(path_.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            return true;
        close(fileFd_);  // replaced while we waited: lock the new one
        fileFd_ = -1;
    }
    if (fileFd_ >= 0) {
        close(fileFd_);
        fileFd_ = -1;
    }
    if (folderFd_ >= 0) return true;
    if (unsupported) {
        note = "the file system keeps no locks: written without one";
        return true;
    }
    error = "cannot take the disk image's lock (" + folderWhy + "); nothing was written";
    return false;
}

}  // namespace diskimage
