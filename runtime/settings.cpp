#include "runtime/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "runtime/replace_file.h"

namespace runtime {

std::string UserFolder(const char* variable, const char* fallback) {
    const char* base = std::getenv(variable);
    if (base && base[0] == '/') return std::string(base) + "/vornel";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/" + fallback + "/vornel";
    return std::string();
}

bool MakeFolders(const std::string& path) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        if (mkdir(path.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadSmallFile(const std::string& path, std::string& text, std::size_t maxBytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= maxBytes;
    std::string read(ok ? static_cast<std::size_t>(st.st_size) : 0, '\0');
    std::size_t got = 0;
    while (ok && got < read.size()) {
        const ssize_t n = ::read(fd, read.data() + got, read.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else got += static_cast<std::size_t>(n);
    }
    close(fd);
    if (ok) text = std::move(read);
    return ok;
}

bool WriteSmallFile(const std::string& path, const std::string& text) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_nlink != 1)) return false;
    FileReplacement r;
    if (!BeginReplace(path, r)) return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(r.fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            AbortReplace(r);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return CommitReplace(r);
}

namespace {

std::string ConfigFolder() { return UserFolder("XDG_CONFIG_HOME", ".config"); }

}  // namespace

bool ReadSetting(const char* name, std::string& text, std::size_t maxBytes) {
    const std::string folder = ConfigFolder();
    return !folder.empty() && ReadSmallFile(folder + "/" + name, text, maxBytes);
}

bool KeepSetting(const char* name, const std::string& text) {
    const std::string folder = ConfigFolder();
    return !folder.empty() && MakeFolders(folder) && WriteSmallFile(folder + "/" + name, text);
}

}  // namespace runtime
