#include "runtime/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace runtime {
namespace {

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

// The file a path really names: a symbolic link is followed, so that saving
// through it replaces its target rather than the link.
std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> buf(PATH_MAX + 1);
        const ssize_t n = readlink(current.c_str(), buf.data(), PATH_MAX);
        if (n <= 0) return current;
        const std::string target(buf.data(), static_cast<std::size_t>(n));
        current = target[0] == '/' ? target : DirectoryOf(current) + "/" + target;
    }
    return current;
}

bool OpenDirect(const std::string& path, FileReplacement& r) {
    // O_NONBLOCK: a pipe without a reader fails at once instead of hanging.
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) {
        close(fd);
        return false;
    }
    r.fd = RaiseDescriptor(fd);
    r.finalPath = path;
    r.tempPath.clear();
    return true;
}

}  // namespace

int RaiseDescriptor(int fd) {
    if (fd < 0 || fd >= 3) return fd;
    const int raised = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return raised;
}

bool BeginReplace(const std::string& path, FileReplacement& r) {
    r = FileReplacement{};
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    const std::string target = ResolveLinks(path);
    struct stat st;
    const bool exists = stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return OpenDirect(target, r);

    std::string base = BaseOf(target);
    if (base.empty()) {
        errno = EISDIR;
        return false;
    }
    if (base.size() > 240) base.resize(240);  // room for ".", ".XXXXXX" within NAME_MAX
    std::string temp = DirectoryOf(target) + "/." + base + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        // A folder we may not create files in, holding a file we may write:
        // the only way left is to rewrite that file in place.
        if (exists && errno == EACCES) return OpenDirect(target, r);
        return false;
    }
    if (exists) {
        fchmod(fd, st.st_mode & 07777);
        if (fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Keeping the owner needs privileges; the content matters more.
        }
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    r.fd = RaiseDescriptor(fd);
    r.finalPath = target;
    r.tempPath.assign(name.data());
    return r.fd >= 0;
}

bool CommitReplace(FileReplacement& r) {
    if (r.fd < 0) return false;
    bool ok = true;
    if (!r.tempPath.empty()) ok = fsync(r.fd) == 0;
    if (close(r.fd) != 0) ok = false;
    r.fd = -1;
    if (r.tempPath.empty()) return ok;
    if (ok && rename(r.tempPath.c_str(), r.finalPath.c_str()) != 0) ok = false;
    if (!ok) unlink(r.tempPath.c_str());
    r.tempPath.clear();
    return ok;
}

void AbortReplace(FileReplacement& r) {
    if (r.fd >= 0) close(r.fd);
    r.fd = -1;
    if (!r.tempPath.empty()) unlink(r.tempPath.c_str());
    r.tempPath.clear();
}

}  // namespace runtime
