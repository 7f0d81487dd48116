#include "editor/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>

#include "documents/documents.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

constexpr auto MinInterval = std::chrono::milliseconds(250);
constexpr char PageSuffix[] = ".page";
constexpr char LockSuffix[] = ".lock";

// What a signal handler or exit() writes: two copies of the picture, the
// one being filled never the one in use, and the paths ready made, so that
// writing needs nothing but system calls that are safe in a handler.
struct Emergency {
    char pagePath[PATH_MAX] = {};
    char newPath[PATH_MAX] = {};
    std::uint8_t pages[2][lores::PageBytes] = {};
    volatile std::sig_atomic_t current = -1;  // the copy to write; -1: nothing unsaved
};
Emergency emergency;

void WriteEmergency() {
    const int i = emergency.current;
    if (i < 0 || !emergency.pagePath[0]) return;
    const int fd = open(emergency.newPath, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const bool whole = write(fd, emergency.pages[i], lores::PageBytes) == lores::PageBytes && fsync(fd) == 0;
    close(fd);
    if (whole) rename(emergency.newPath, emergency.pagePath);
    else unlink(emergency.newPath);
}

void OnEndingSignal(int signal) {
    const int saved = errno;
    WriteEmergency();
    errno = saved;
    // Ends as the signal would have ended it.
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Qt ends the process with exit() when the display goes away.
void OnExit() { WriteEmergency(); }

void SetEmergency(const lores::LoresPage* page) {
    if (!page) {
        emergency.current = -1;
        return;
    }
    const int next = emergency.current == 0 ? 1 : 0;
    std::memcpy(emergency.pages[next], page->data(), lores::PageBytes);
    emergency.current = next;
}

void InstallHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::atexit(OnExit);
}

std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return std::string(state) + "/vornel";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/state/vornel";
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

std::string PathOf(const std::string& folder, const std::string& id, const char* suffix) {
    return folder + "/" + id + suffix;
}

bool TakeLock(Recovery& r) {
    if (r.lockFd >= 0) return true;
    const int fd = open(PathOf(r.folder, r.id, LockSuffix).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    r.lockFd = fd;
    return true;
}

void RemoveKept(Recovery& r) {
    SetEmergency(nullptr);
    if (r.kept) unlink(PathOf(r.folder, r.id, PageSuffix).c_str());
    r.kept = false;
}

}  // namespace

bool OpenRecovery(Recovery& r) {
    r.folder = StateFolder();
    if (r.folder.empty() || !MakeFolders(r.folder)) {
        r.folder.clear();
        return false;
    }
    std::random_device random;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    r.id = std::to_string(getpid()) + "-";
    for (int i = 0; i < 8; ++i) r.id += letters[random() % 36];
    const std::string page = PathOf(r.folder, r.id, PageSuffix);
    const std::string fresh = page + ".new";
    if (fresh.size() >= PATH_MAX) {
        r.folder.clear();
        return false;
    }
    std::memcpy(emergency.pagePath, page.c_str(), page.size() + 1);
    std::memcpy(emergency.newPath, fresh.c_str(), fresh.size() + 1);
    InstallHandlers();
    return true;
}

void KeepRecovery(Recovery& r, const lores::LoresPage& page, bool changed) {
    if (r.folder.empty()) return;
    if (!changed) {
        RemoveKept(r);
        return;
    }
    if (r.kept && page == r.keptPage) return;
    SetEmergency(&page);
    const auto now = std::chrono::steady_clock::now();
    if (now - r.lastWrite < MinInterval) {
        // The last change of a burst is written when the interval is over.
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(MinInterval - (now - r.lastWrite));
        windowing::ScheduleWakeUp(static_cast<int>(wait.count()) + 1);
        return;
    }
    r.lastWrite = now;
    if (TakeLock(r) && documents::WritePageBytes(PathOf(r.folder, r.id, PageSuffix), page)) {
        r.kept = true;
        r.keptPage = page;
    }
}

void CloseRecovery(Recovery& r) {
    if (r.folder.empty()) return;
    RemoveKept(r);
    if (r.lockFd >= 0) {
        unlink(PathOf(r.folder, r.id, LockSuffix).c_str());
        close(r.lockFd);
        r.lockFd = -1;
    }
    emergency.pagePath[0] = 0;
    r.folder.clear();
}

std::vector<Orphan> FindOrphans(const Recovery& r) {
    std::vector<Orphan> found;
    if (r.folder.empty()) return found;
    DIR* folder = opendir(r.folder.c_str());
    if (!folder) return found;
    const std::size_t suffix = sizeof PageSuffix - 1, lockSuffix = sizeof LockSuffix - 1;
    while (const dirent* e = readdir(folder)) {
        const std::string name = e->d_name;
        // A lock left by a program that ended with nothing unsaved: nobody's.
        if (name.size() > lockSuffix && name.compare(name.size() - lockSuffix, lockSuffix, LockSuffix) == 0) {
            const std::string id = name.substr(0, name.size() - lockSuffix);
            struct stat page;
            if (id == r.id || lstat(PathOf(r.folder, id, PageSuffix).c_str(), &page) == 0) continue;
            const int lock = open(PathOf(r.folder, id, LockSuffix).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (lock >= 0 && flock(lock, LOCK_EX | LOCK_NB) == 0) unlink(PathOf(r.folder, id, LockSuffix).c_str());
            if (lock >= 0) close(lock);
            continue;
        }
        if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, PageSuffix) != 0) continue;
        Orphan o{name.substr(0, name.size() - suffix)};
        if (o.id == r.id) continue;
        struct stat st;
        if (lstat(PathOf(r.folder, o.id, PageSuffix).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        // Its program still runs while it holds the lock.
        const int lock = open(PathOf(r.folder, o.id, LockSuffix).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool gone = lock < 0 || flock(lock, LOCK_EX | LOCK_NB) == 0;
        if (lock >= 0) close(lock);
        if (!gone) continue;
        o.saved = st.st_mtime;
        found.push_back(o);
    }
    closedir(folder);
    std::sort(found.begin(), found.end(), [](const Orphan& a, const Orphan& b) { return a.saved > b.saved; });
    return found;
}

bool ReadOrphan(const Recovery& r, const Orphan& o, lores::LoresPage& page) {
    lores::LoresPage read{};
    const documents::PageRead got = documents::ReadPageFile(PathOf(r.folder, o.id, PageSuffix), read);
    if (got.bytes != lores::PageBytes || got.longer) return false;
    page = read;
    return true;
}

void RemoveOrphan(const Recovery& r, const Orphan& o) {
    unlink(PathOf(r.folder, o.id, PageSuffix).c_str());
    unlink(PathOf(r.folder, o.id, LockSuffix).c_str());
}

std::string RecoverQuestion(std::time_t saved) {
    char when[64] = "an earlier session";
    std::tm local{};
    if (localtime_r(&saved, &local)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local);
    return std::string("Recover the unsaved picture from ") + when + "?";
}

}  // namespace editor
