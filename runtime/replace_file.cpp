#include "runtime/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <random>
#include <vector>

namespace runtime {
namespace {

using Kind = FileReplacement::Kind;

// The kernel's own limit on symbolic links followed in one lookup.
constexpr int MaxLinkHops = 40;

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Keeps errno across the clean-up calls of a failure path.
void CloseKeepingErrno(int fd) {
    if (fd < 0) return;
    const int saved = errno;
    close(fd);
    errno = saved;
}

// The protected-symlinks rule: in a sticky, world-writable folder (such as
// /tmp) a link is followed only when the follower or the folder's owner owns
// it, so another user cannot point our save at a file of ours.
bool MayFollow(const std::string& link, const struct stat& linkStat) {
    struct stat dir;
    if (stat(DirectoryOf(link).c_str(), &dir) != 0) return true;
    const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    if (!shared) return true;
    return linkStat.st_uid == geteuid() || linkStat.st_uid == dir.st_uid;
}

// The file a path really names, every symbolic link of the chain followed,
// so that saving through a link writes its target and never replaces the
// link itself. A name that does not exist yet is a new file to create.
bool ResolveLinks(const std::string& path, std::string& resolved) {
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) return false;
            resolved = current;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            resolved = current;
            return true;
        }
        if (hops == MaxLinkHops) {
            errno = ELOOP;
            return false;
        }
        if (!MayFollow(current, st)) {
            errno = EACCES;
            return false;
        }
        std::vector<char> buf(PATH_MAX + 1);
        const ssize_t n = readlink(current.c_str(), buf.data(), PATH_MAX);
        if (n <= 0) return false;
        const std::string target(buf.data(), static_cast<std::size_t>(n));
        current = target[0] == '/' ? target : DirectoryOf(current) + "/" + target;
        if (current.size() >= PATH_MAX) {
            errno = ENAMETOOLONG;
            return false;
        }
    }
}

constexpr char TemporaryPrefix[] = ".vornel-";

// Hidden, short, and naming the process that made it.
std::string RandomName() {
    static std::minstd_rand generator{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = TemporaryPrefix + std::to_string(getpid()) + "-";
    for (int i = 0; i < 6; ++i) name += letters[generator() % 36];
    return name;
}

// A process killed in the instant between naming its new file and renaming
// it over the target leaves that name behind; the next save in the folder
// removes such names of ours whose process is gone.
void SweepStaleTemporaries(int dirFd) {
    const int listFd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* folder = fdopendir(listFd);
    if (!folder) {
        close(listFd);
        return;
    }
    const std::size_t prefix = sizeof TemporaryPrefix - 1;
    while (const dirent* e = readdir(folder)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix, TemporaryPrefix) != 0) continue;
        const auto dash = name.find('-', prefix);
        if (dash == std::string::npos || dash == prefix) continue;
        const std::string digits = name.substr(prefix, dash - prefix);
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
        const pid_t owner = static_cast<pid_t>(std::stol(digits));
        struct stat st;
        if (owner == getpid() || (kill(owner, 0) != 0 && errno == ESRCH)) {
            if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
                st.st_uid == geteuid())
                unlinkat(dirFd, name.c_str(), 0);
        }
    }
    closedir(folder);
}

// A short hidden name in the folder, whatever the length of the target's.
int CreateNamedTemporary(int dirFd, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = RandomName();
        const int fd = openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the new file everything the user sees of the old one. False when
// any of it cannot be carried over: then the old file is rewritten instead.
bool CopyIdentity(int from, const struct stat& st, int to) {
    struct stat now;
    if (fstat(to, &now) != 0) return false;
    if ((now.st_uid != st.st_uid || now.st_gid != st.st_gid) && fchown(to, st.st_uid, st.st_gid) != 0) return false;
    // A file system without attributes has none to lose.
    const ssize_t size = flistxattr(from, nullptr, 0);
    if (size < 0 && errno != ENOTSUP) return false;
    std::vector<char> names(static_cast<std::size_t>(size > 0 ? size : 0) + 1);
    const ssize_t got = size > 0 ? flistxattr(from, names.data(), names.size()) : 0;
    if (got < 0) return false;
    for (ssize_t at = 0; at < got;) {
        const char* name = names.data() + at;
        at += static_cast<ssize_t>(std::char_traits<char>::length(name)) + 1;
        const ssize_t length = fgetxattr(from, name, nullptr, 0);
        if (length < 0) return false;
        std::vector<char> value(static_cast<std::size_t>(length) + 1);
        const ssize_t read = fgetxattr(from, name, value.data(), value.size());
        if (read < 0 || fsetxattr(to, name, value.data(), static_cast<std::size_t>(read), 0) != 0) return false;
    }
    // After the owner (a change of owner clears the set-id bits) and the
    // access list (which carries the group bits of its own).
    return fchmod(to, st.st_mode & 07777) == 0;
}

// Non-regular files (devices, pipes) are written as they are.
bool OpenDirect(const std::string& path, FileReplacement& r) {
    // O_NONBLOCK: a pipe without a reader fails at once instead of hanging.
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        CloseKeepingErrno(fd);
        errno = EISDIR;
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    r.fd = RaiseDescriptor(fd);
    if (r.fd < 0) return false;
    r.kind = Kind::Direct;
    r.finalPath = path;
    return true;
}

// The file itself is written from offset 0 and cut to length only after the
// new bytes are on the disk.
bool UseInPlace(FileReplacement& r, int existingFd) {
    fcntl(existingFd, F_SETFL, fcntl(existingFd, F_GETFL) & ~O_NONBLOCK);
    r.fd = RaiseDescriptor(existingFd);
    if (r.fd < 0) {
        AbortReplace(r);
        return false;
    }
    r.kind = Kind::InPlace;
    return true;
}

// Gives the unnamed file a name in the folder, so that it can be renamed.
bool LinkUnnamed(FileReplacement& r) {
    const std::string self = "/proc/self/fd/" + std::to_string(r.fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        r.tempName = RandomName();
        if (linkat(AT_FDCWD, self.c_str(), r.dirFd, r.tempName.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        // Without /proc, a privileged process may still link the descriptor.
        if (errno == ENOENT && linkat(r.fd, "", r.dirFd, r.tempName.c_str(), AT_EMPTY_PATH) == 0) return true;
        if (errno != EEXIST) break;
    }
    r.tempName.clear();
    return false;
}

}  // namespace

int RaiseDescriptor(int fd) {
    if (fd < 0 || fd >= 3) return fd;
    const int raised = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    CloseKeepingErrno(fd);
    return raised;
}

bool BeginReplace(const std::string& path, FileReplacement& r) {
    r = FileReplacement{};
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    if (path.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::string target;
    if (!ResolveLinks(path, target)) return false;
    struct stat st;
    bool exists = lstat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) return OpenDirect(target, r);

    r.finalPath = target;
    r.finalName = BaseOf(target);
    if (r.finalName.empty()) {
        errno = EISDIR;
        return false;
    }
    // A folder we may not read is still one we may create in and rename in.
    r.dirFd = open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (r.dirFd < 0) r.dirFd = open(DirectoryOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (r.dirFd < 0) return false;
    SweepStaleTemporaries(r.dirFd);

    // The kernel itself says whether this user may write the file (mode,
    // access lists, read-only file system, immutable flag).
    int existingFd = -1;
    if (exists) {
        existingFd = openat(r.dirFd, r.finalName.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
        if (existingFd < 0 || fstat(existingFd, &st) != 0) {
            CloseKeepingErrno(existingFd);
            AbortReplace(r);
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            CloseKeepingErrno(existingFd);
            AbortReplace(r);
            return OpenDirect(target, r);
        }
        // A second name would keep the old picture, so the file is rewritten.
        if (st.st_nlink != 1) return UseInPlace(r, existingFd);
    }

    int fd = openat(r.dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    r.kind = Kind::Unnamed;
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        fd = CreateNamedTemporary(r.dirFd, r.tempName);
        r.kind = Kind::Named;
    }
    if (fd < 0) {
        // A folder where no new file may be made, holding a file we may
        // write: the only way left is to rewrite that file in place.
        if (exists) return UseInPlace(r, existingFd);
        AbortReplace(r);
        return false;
    }
    r.fd = fd;
    if (exists) {
        const bool kept = CopyIdentity(existingFd, st, fd);
        if (!kept) {
            CloseKeepingErrno(r.fd);
            r.fd = -1;
            if (r.kind == Kind::Named) unlinkat(r.dirFd, r.tempName.c_str(), 0);
            r.tempName.clear();
            return UseInPlace(r, existingFd);
        }
        close(existingFd);
    }
    r.fd = RaiseDescriptor(fd);
    if (r.fd < 0) {
        AbortReplace(r);
        return false;
    }
    return true;
}

bool CommitReplace(FileReplacement& r) {
    if (r.fd < 0) {
        AbortReplace(r);
        return false;
    }
    bool ok = true;
    switch (r.kind) {
    case Kind::Direct: break;
    case Kind::InPlace: {
        // New bytes first, then the cut: a failure before the cut leaves old
        // bytes after the new ones at worst, never an empty file.
        const off_t end = lseek(r.fd, 0, SEEK_CUR);
        ok = end >= 0 && fsync(r.fd) == 0 && ftruncate(r.fd, end) == 0 && fsync(r.fd) == 0;
        break;
    }
    case Kind::Unnamed: ok = fsync(r.fd) == 0 && LinkUnnamed(r); break;
    case Kind::Named: ok = fsync(r.fd) == 0; break;
    case Kind::None: ok = false; break;
    }
    if (close(r.fd) != 0) ok = false;
    r.fd = -1;
    if (r.kind == Kind::Unnamed || r.kind == Kind::Named) {
        if (ok && renameat(r.dirFd, r.tempName.c_str(), r.dirFd, r.finalName.c_str()) == 0) {
            r.tempName.clear();
            fsync(r.dirFd);  // the new name survives a power cut (not possible on every folder handle)
        } else {
            ok = false;
        }
    }
    AbortReplace(r);
    return ok;
}

void AbortReplace(FileReplacement& r) {
    CloseKeepingErrno(r.fd);
    r.fd = -1;
    if (!r.tempName.empty() && r.dirFd >= 0) unlinkat(r.dirFd, r.tempName.c_str(), 0);
    r.tempName.clear();
    CloseKeepingErrno(r.dirFd);
    r.dirFd = -1;
}

}  // namespace runtime
