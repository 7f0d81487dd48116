#include "runtime/safe_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace runtime {
namespace {

void CloseKeepingErrno(int fd) {
    if (fd < 0) return;
    const int saved = errno;
    close(fd);
    errno = saved;
}

// The kernel's own limit on symbolic links followed in one lookup.
constexpr int MaxLinkHops = 40;

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= path.size()) {
        const auto slash = path.find('/', at);
        const auto end = slash == std::string::npos ? path.size() : slash;
        if (end > at) parts.push_back(path.substr(at, end - at));
        if (slash == std::string::npos) break;
        at = slash + 1;
    }
    return parts;
}

// The protected-symlinks rule: in a sticky, world-writable folder (such as
// /tmp) a link is followed only when the follower or the folder's owner owns
// it, so another user cannot point our save at a file of ours.
bool MayFollow(int folderFd, const struct stat& linkStat) {
    struct stat dir;
    if (fstat(folderFd, &dir) != 0) return false;
    const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    if (!shared) return true;
    return linkStat.st_uid == geteuid() || linkStat.st_uid == dir.st_uid;
}

}  // namespace

// Each name is looked up in the folder reached so far through its
// descriptor, never by name again, so nothing swapped in after a check is
// ever followed.
bool WalkPath(const std::string& path, int& folderFd, std::string& name, std::string& resolved) {
    std::vector<std::string> pending = Components(path);
    std::reverse(pending.begin(), pending.end());  // the next name is at the back
    const bool absolute = !path.empty() && path[0] == '/';
    int at = open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (at < 0) return false;
    std::string shown = absolute ? "" : ".";
    int hops = 0;
    if (pending.empty()) pending.push_back(".");
    name.clear();
    while (name.empty()) {
        const std::string part = pending.back();
        pending.pop_back();
        const bool last = pending.empty();
        struct stat st;
        if (fstatat(at, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && last) {  // a new file in this folder
                name = part;
                break;
            }
            CloseKeepingErrno(at);
            return false;
        }
        if (S_ISLNK(st.st_mode)) {
            std::vector<char> buf(PATH_MAX + 1);
            const ssize_t n = ++hops > MaxLinkHops ? (errno = ELOOP, -1)
                              : !MayFollow(at, st)  ? (errno = EACCES, -1)
                                                    : readlinkat(at, part.c_str(), buf.data(), PATH_MAX);
            if (n <= 0) {
                if (n == 0) errno = ENOENT;
                CloseKeepingErrno(at);
                return false;
            }
            const std::string target(buf.data(), static_cast<std::size_t>(n));
            std::vector<std::string> parts = Components(target);
            if (parts.empty()) parts.push_back(".");
            pending.insert(pending.end(), parts.rbegin(), parts.rend());
            if (target[0] == '/') {
                close(at);
                at = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
                if (at < 0) return false;
                shown.clear();
            }
            continue;
        }
        if (last && !S_ISDIR(st.st_mode)) {
            name = part;
            break;
        }
        if (!S_ISDIR(st.st_mode)) {
            close(at);
            errno = ENOTDIR;
            return false;
        }
        // A link swapped in since the check above is refused, not followed.
        const int next = openat(at, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(at);
        if (next < 0) return false;
        at = next;
        if (part != ".") shown += "/" + part;
        if (last) {
            // The path names a folder, not a file.
            close(at);
            errno = EISDIR;
            return false;
        }
    }
    folderFd = at;
    resolved = shown + "/" + name;
    if (resolved.size() >= PATH_MAX) {
        close(at);
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

}  // namespace runtime
