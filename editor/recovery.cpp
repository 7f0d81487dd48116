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
#include "runtime/settings.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

constexpr auto MinInterval = std::chrono::milliseconds(250);
constexpr char PageSuffix[] = ".page";
constexpr char LockSuffix[] = ".lock";
constexpr char NameSuffix[] = ".name";
constexpr char AsideSuffix[] = ".damaged";

// What a signal handler or exit() writes: two copies of the picture, the
// one being filled never the one in use, and the paths ready made, so that
// writing needs nothing but system calls that are safe in a handler.
// A picture of frames: the other frames likewise in two copies, made again
// only when another frame is shown or the list changes; the shown frame's
// place in them is filled from the page's copy.
struct Emergency {
    char pagePath[PATH_MAX] = {};
    char newPath[PATH_MAX] = {};
    std::uint8_t pages[2][lores::PageBytes] = {};
    volatile std::sig_atomic_t current = -1;  // the copy to write; -1: nothing unsaved
    std::vector<std::uint8_t> frames[2];
    std::size_t shown[2] = {};
    volatile std::sig_atomic_t framesCurrent = -1;  // -1: a picture of one frame
    std::uint64_t structure = ~std::uint64_t{0};
};
Emergency emergency;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void WriteEmergency() {
    const int i = emergency.current;
    if (i < 0 || !emergency.pagePath[0]) return;
    const int fd = open(emergency.newPath, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    bool whole = true;
    if (const int f = emergency.framesCurrent; f >= 0) {
        const std::vector<std::uint8_t>& all = emergency.frames[f];
        const std::size_t at = emergency.shown[f] * lores::PageBytes;
        whole = WriteAll(fd, all.data(), at) && WriteAll(fd, emergency.pages[i], lores::PageBytes) &&
                WriteAll(fd, all.data() + at + lores::PageBytes, all.size() - at - lores::PageBytes);
    } else {
        whole = WriteAll(fd, emergency.pages[i], lores::PageBytes);
    }
    whole = whole && fsync(fd) == 0;
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

void SetEmergency(const lores::LoresPage* page, const documents::Frames* frames = nullptr) {
    if (!page) {
        emergency.current = -1;
        return;
    }
    if (!frames || frames->pages.size() < 2) {
        emergency.framesCurrent = -1;
        emergency.structure = ~std::uint64_t{0};
    } else if (frames->structure != emergency.structure) {
        const int next = emergency.framesCurrent == 0 ? 1 : 0;
        std::vector<std::uint8_t>& all = emergency.frames[next];
        all.clear();
        for (const lores::LoresPage& p : frames->pages) all.insert(all.end(), p.begin(), p.end());
        emergency.shown[next] = frames->shown;
        emergency.framesCurrent = next;
        emergency.structure = frames->structure;
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
    // Ctrl+C and Ctrl+\ in the terminal that started it end it like a
    // logout: the last changes are written first.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) sigaction(signal, &action, nullptr);
    std::atexit(OnExit);
}

std::string StateFolder() { return runtime::UserFolder("XDG_STATE_HOME", ".local/state"); }

std::string PathOf(const std::string& folder, const std::string& id, const char* suffix) {
    return folder + "/" + id + suffix;
}

// Another start's sweep of abandoned locks may take a lock file between its
// making and its locking here, and remove it: then the lock held would be
// on a file nobody sees, and the copy would look abandoned. So the lock
// counts only while the path still names the file locked.
bool TakeLock(Recovery& r) {
    if (r.lockFd >= 0) return true;
    const std::string path = PathOf(r.folder, r.id, LockSuffix);
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (attempt > 0) usleep(1000);  // a sweep holding the old file lets go of it at once
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        struct stat held, named;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            r.lockFd = fd;
            return true;
        }
        close(fd);
    }
    errno = EAGAIN;
    return false;
}

void RemoveKept(Recovery& r) {
    SetEmergency(nullptr);
    if (r.kept) unlink(PathOf(r.folder, r.id, PageSuffix).c_str());
    if (!r.keptName.empty()) unlink(PathOf(r.folder, r.id, NameSuffix).c_str());
    r.kept = false;
    r.keptName.clear();
    r.failure.clear();
}

// The picture's file, for the question: written beside the copy, replaced whole.
bool WriteName(const Recovery& r, const std::string& name) {
    const std::string path = PathOf(r.folder, r.id, NameSuffix), fresh = path + ".new";
    const int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool whole = write(fd, name.data(), name.size()) == static_cast<ssize_t>(name.size());
    close(fd);
    if (whole && rename(fresh.c_str(), path.c_str()) == 0) return true;
    unlink(fresh.c_str());
    return false;
}

std::string ReadName(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::string();
    char buffer[PATH_MAX];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    close(fd);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

bool OpenRecovery(Recovery& r) {
    r.folder = StateFolder();
    if (r.folder.empty() || !runtime::MakeFolders(r.folder)) {
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

void KeepRecovery(Recovery& r, const lores::LoresPage& page, bool changed, const std::string& fileName) {
    documents::Frames one;
    one.pages[0] = page;
    KeepRecovery(r, one, page, changed, fileName);
}

void KeepRecovery(Recovery& r, const documents::Frames& frames, const lores::LoresPage& page, bool changed,
                  const std::string& fileName) {
    if (r.folder.empty()) return;
    if (!changed) {
        RemoveKept(r);
        return;
    }
    if (r.kept && page == r.keptPage && frames.structure == r.keptStructure && frames.pages.size() == r.keptFrames &&
        fileName == r.keptName)
        return;
    SetEmergency(&page, &frames);
    const auto now = std::chrono::steady_clock::now();
    if (now - r.lastWrite < MinInterval) {
        // The last change of a burst is written when the interval is over
        // (and a failed write tried again then).
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(MinInterval - (now - r.lastWrite));
        windowing::ScheduleWakeUp(static_cast<int>(wait.count()) + 1);
        return;
    }
    r.lastWrite = now;
    errno = 0;
    if (!TakeLock(r)) {
        r.failure = errno ? std::strerror(errno) : "cannot be written";
        windowing::ScheduleWakeUp(static_cast<int>(MinInterval.count()) + 1);
        return;
    }
    if (const runtime::WriteResult written =
            documents::WriteFramesBytes(PathOf(r.folder, r.id, PageSuffix), documents::AllFrames(frames, page));
        !written) {
        r.failure = written.error;
        windowing::ScheduleWakeUp(static_cast<int>(MinInterval.count()) + 1);
        return;
    }
    r.kept = true;
    r.keptPage = page;
    r.keptStructure = frames.structure;
    r.keptFrames = frames.pages.size();
    r.failure.clear();
    if (fileName != r.keptName && WriteName(r, fileName)) r.keptName = fileName;
}

void CloseRecovery(Recovery& r) {
    if (r.folder.empty()) return;
    RemoveKept(r);
    unlink(PathOf(r.folder, r.id, NameSuffix).c_str());
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
            if (lock >= 0 && flock(lock, LOCK_EX | LOCK_NB) == 0) {
                unlink(PathOf(r.folder, id, NameSuffix).c_str());
                unlink(PathOf(r.folder, id, LockSuffix).c_str());
            }
            if (lock >= 0) close(lock);
            continue;
        }
        if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, PageSuffix) != 0) continue;
        Orphan o{name.substr(0, name.size() - suffix), 0, {}};
        if (o.id == r.id) continue;
        struct stat st;
        if (lstat(PathOf(r.folder, o.id, PageSuffix).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        // Its program still runs while it holds the lock.
        const int lock = open(PathOf(r.folder, o.id, LockSuffix).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool gone = lock < 0 || flock(lock, LOCK_EX | LOCK_NB) == 0;
        if (lock >= 0) close(lock);
        if (!gone) continue;
        o.saved = st.st_mtime;
        o.name = ReadName(PathOf(r.folder, o.id, NameSuffix));
        found.push_back(o);
    }
    closedir(folder);
    std::sort(found.begin(), found.end(), [](const Orphan& a, const Orphan& b) { return a.saved > b.saved; });
    return found;
}

bool ReadOrphan(const Recovery& r, const Orphan& o, std::vector<lores::LoresPage>& frames, std::string* why) {
    const auto fail = [why](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    const int fd = open(PathOf(r.folder, o.id, PageSuffix).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat st;
    if (fstat(fd, &st) != 0) {
        const int saved = errno;
        close(fd);
        return fail(std::strerror(saved));
    }
    if (!S_ISREG(st.st_mode) || st.st_size > MaxRecoveryCopy) {
        close(fd);
        return fail(S_ISREG(st.st_mode) ? "larger than any copy of a picture" : "not a file");
    }
    // As a page file is read: frames when it is whole pages (2 to 256),
    // else what there is of the first page, the rest clear.
    std::vector<std::uint8_t> read(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < read.size()) {
        const ssize_t n = ::read(fd, read.data() + got, read.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int saved = errno;
            close(fd);
            return fail(std::strerror(saved));
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    const std::size_t count = got / lores::PageBytes;
    const bool framed = got % lores::PageBytes == 0 && count >= 2 && count <= documents::MaxFrames;
    frames.assign(framed ? count : 1, lores::LoresPage{});
    for (std::size_t i = 0; i < (framed ? got : std::min<std::size_t>(got, lores::PageBytes)); ++i)
        frames[i / lores::PageBytes][i % lores::PageBytes] = read[i];
    return true;
}

bool ReadOrphan(const Recovery& r, const Orphan& o, lores::LoresPage& page, std::string* why) {
    std::vector<lores::LoresPage> frames;
    if (!ReadOrphan(r, o, frames, why)) return false;
    page = frames.front();
    return true;
}

bool SavedToItsFile(const Orphan& o, const std::vector<lores::LoresPage>& frames) {
    if (o.name.empty()) return false;
    std::vector<lores::LoresPage> onDisk;
    const documents::PageRead got = documents::ReadFramesFile(o.name, onDisk);
    const bool whole = got.opened && !got.longer && got.bytes == onDisk.size() * lores::PageBytes;
    return whole && onDisk == frames;
}

bool SavedToItsFile(const Orphan& o, const lores::LoresPage& page) {
    return SavedToItsFile(o, std::vector<lores::LoresPage>{page});
}

void RemoveOrphan(const Recovery& r, const Orphan& o) {
    unlink(PathOf(r.folder, o.id, PageSuffix).c_str());
    unlink(PathOf(r.folder, o.id, NameSuffix).c_str());
    unlink(PathOf(r.folder, o.id, LockSuffix).c_str());
}

std::string KeepAside(const Recovery& r, const Orphan& o) {
    std::string aside = PathOf(r.folder, o.id, AsideSuffix);
    for (int n = 2; access(aside.c_str(), F_OK) == 0 && n < 1000; ++n)
        aside = PathOf(r.folder, o.id, (AsideSuffix + std::string("-") + std::to_string(n)).c_str());
    if (rename(PathOf(r.folder, o.id, PageSuffix).c_str(), aside.c_str()) != 0)
        return PathOf(r.folder, o.id, PageSuffix);  // left where it is, and named there
    unlink(PathOf(r.folder, o.id, LockSuffix).c_str());
    return aside;
}

std::string RecoverQuestion(std::time_t saved, const std::string& name) {
    char when[64] = "an earlier session";
    std::tm local{};
    if (localtime_r(&saved, &local)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local);
    const std::string shown = name.empty() ? "untitled picture" : name.substr(name.find_last_of('/') + 1);
    return "Recover the unsaved picture " + shown + " from " + when + "?";
}

}  // namespace editor
