#include "runtime/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "runtime/safe_path.h"

namespace runtime {
namespace {

using Kind = FileReplacement::Kind;

// Keeps errno across the clean-up calls of a failure path.
void CloseKeepingErrno(int fd) {
    if (fd < 0) return;
    const int saved = errno;
    close(fd);
    errno = saved;
}

constexpr char TemporaryPrefix[] = ".vornel-";
constexpr int TemporarySuffixLength = 6;

// Hidden, short, and naming the process that made it.
std::string RandomName() {
    static std::minstd_rand generator{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = TemporaryPrefix + std::to_string(getpid()) + "-";
    for (int i = 0; i < TemporarySuffixLength; ++i) name += letters[generator() % 36];
    return name;
}

// Exactly a name RandomName makes: ".vornel-", digits, "-", six letters.
bool IsTemporaryName(const std::string& name) {
    const std::size_t prefix = sizeof TemporaryPrefix - 1;
    if (name.compare(0, prefix, TemporaryPrefix) != 0) return false;
    const auto dash = name.find('-', prefix);
    if (dash == std::string::npos || dash == prefix || dash - prefix > 10) return false;
    for (std::size_t i = prefix; i < dash; ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    if (name.size() != dash + 1 + TemporarySuffixLength) return false;
    for (std::size_t i = dash + 1; i < name.size(); ++i)
        if (!((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= '0' && name[i] <= '9'))) return false;
    return true;
}

// A writer holds a lock on its temporary for as long as it lives, so a
// name left behind by a killed writer (one killed in the instant between
// naming its new file and renaming it) is one whose lock can be taken. A
// process id would not tell: the writer may run in another PID namespace,
// container or host sharing the folder.
void SweepStaleTemporaries(int dirFd) {
    const int listFd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* folder = fdopendir(listFd);
    if (!folder) {
        close(listFd);
        return;
    }
    while (const dirent* e = readdir(folder)) {
        const std::string name = e->d_name;
        if (!IsTemporaryName(name)) continue;
        struct stat st;
        if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != geteuid())
            continue;
        int fd = openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) fd = openat(dirFd, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held;
        // Still the file judged above, and nobody holds it.
        if (fstat(fd, &held) == 0 && held.st_ino == st.st_ino && held.st_dev == st.st_dev &&
            flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlinkat(dirFd, name.c_str(), 0);
        close(fd);
    }
    closedir(folder);
}

// A short hidden name in the folder, whatever the length of the target's.
int CreateNamedTemporary(int dirFd, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = RandomName();
        const int fd = openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) flock(fd, LOCK_EX);
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

// Non-regular files (devices, pipes) are written as they are, through the
// descriptor opened for them.
bool UseDirect(FileReplacement& r, int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    r.fd = RaiseDescriptor(fd);
    if (r.fd < 0) {
        AbortReplace(r);
        return false;
    }
    r.kind = Kind::Direct;
    return true;
}

// The new content is gathered in memory and written over the file itself
// only at the commit, once the space for all of it is reserved: a full disk
// then fails before the first byte of the old file changes.
bool UseInPlace(FileReplacement& r, int existingFd) {
    fcntl(existingFd, F_SETFL, fcntl(existingFd, F_GETFL) & ~O_NONBLOCK);
    r.targetFd = RaiseDescriptor(existingFd);
    r.fd = r.targetFd < 0 ? -1 : RaiseDescriptor(memfd_create("vornel-new-content", MFD_CLOEXEC));
    if (r.fd < 0) {
        AbortReplace(r);
        return false;
    }
    r.kind = Kind::InPlace;
    return true;
}

bool WriteAllAt(int fd, const std::uint8_t* bytes, std::size_t length, off_t offset) {
    while (length > 0) {
        const ssize_t n = pwrite(fd, bytes, length, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// Makes sure the file has room for length bytes without changing a byte of
// it. Where the file system cannot reserve, the room past the old end is
// taken by writing zeros there (and given back if that fails).
bool ReserveSpace(int fd, off_t length) {
    if (length == 0 || fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length) == 0) return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS) return false;
    struct stat st;
    if (fstat(fd, &st) != 0) return false;
    if (st.st_size >= length) return true;
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(length - st.st_size), 0);
    if (WriteAllAt(fd, zeros.data(), zeros.size(), st.st_size) && fsync(fd) == 0) return true;
    const int saved = errno;
    if (ftruncate(fd, st.st_size) != 0) {
        // The room stays taken; the old bytes are untouched either way.
    }
    errno = saved;
    return false;
}

// One write of the whole content (a page is never torn by a kill), on the
// disk before the file is cut to its new length.
bool RewriteInPlace(FileReplacement& r) {
    struct stat st;
    if (fstat(r.fd, &st) != 0) return false;
    std::vector<std::uint8_t> content(static_cast<std::size_t>(st.st_size));
    if (!content.empty() && pread(r.fd, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size()))
        return false;
    const off_t length = static_cast<off_t>(content.size());
    return ReserveSpace(r.targetFd, length) && WriteAllAt(r.targetFd, content.data(), content.size(), 0) &&
           fsync(r.targetFd) == 0 && ftruncate(r.targetFd, length) == 0 && fsync(r.targetFd) == 0;
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

// The rename is on the disk once the folder is: synced through a handle
// opened for reading (one opened only to name the folder cannot be synced).
// A failure here leaves the new content in place, so it is not a failed
// save, but the caller is told (folderSyncError).
void SyncFolder(FileReplacement& r) {
    const int fd = openat(r.dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) r.folderSyncError = errno ? errno : EIO;
    if (fd >= 0) close(fd);
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
    if (!WalkPath(path, r.dirFd, r.finalName, r.finalPath)) return false;

    // Whatever is there now is opened without following a link and judged
    // by its descriptor; the kernel itself says whether this user may write
    // it (mode, access lists, read-only file system, immutable flag). A pipe
    // with no reader fails at once instead of hanging.
    const int existingFd =
        openat(r.dirFd, r.finalName.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    const bool exists = existingFd >= 0;
    struct stat st;
    if ((!exists && errno != ENOENT) || (exists && fstat(existingFd, &st) != 0)) {
        CloseKeepingErrno(existingFd);
        AbortReplace(r);
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) return UseDirect(r, existingFd);

    SweepStaleTemporaries(r.dirFd);
    // A second name would keep the old picture, so the file is rewritten.
    if (exists && st.st_nlink != 1) return UseInPlace(r, existingFd);

    int fd = openat(r.dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    r.kind = Kind::Unnamed;
    if (fd >= 0) {
        flock(fd, LOCK_EX);  // held until the content is renamed into place
    } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
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
        if (!CopyIdentity(existingFd, st, fd)) {
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
    bool ok = false;
    switch (r.kind) {
    case Kind::Direct:
        ok = close(r.fd) == 0;
        r.fd = -1;
        break;
    case Kind::InPlace: ok = RewriteInPlace(r); break;
    case Kind::Unnamed:
    case Kind::Named:
        // Renamed while the descriptor (and so the lock) is still held.
        ok = fsync(r.fd) == 0 && (r.kind == Kind::Named || LinkUnnamed(r)) &&
             renameat(r.dirFd, r.tempName.c_str(), r.dirFd, r.finalName.c_str()) == 0;
        if (ok) {
            r.tempName.clear();
            SyncFolder(r);  // the new name survives a power cut
        }
        break;
    case Kind::None: break;
    }
    AbortReplace(r);
    return ok;
}

void AbortReplace(FileReplacement& r) {
    CloseKeepingErrno(r.fd);
    r.fd = -1;
    CloseKeepingErrno(r.targetFd);
    r.targetFd = -1;
    if (!r.tempName.empty() && r.dirFd >= 0) unlinkat(r.dirFd, r.tempName.c_str(), 0);
    r.tempName.clear();
    CloseKeepingErrno(r.dirFd);
    r.dirFd = -1;
}

}  // namespace runtime
