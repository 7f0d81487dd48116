// The unsaved picture kept on disk while it is unsaved, so that a kill, a
// logout, a closed terminal or a lost display costs nothing: the next start
// offers it back.
#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "documents/documents.h"
#include "lores/lores_page.h"

namespace editor {

inline constexpr const char* RecoverButton = "&Recover";
inline constexpr const char* DiscardButton = "&Discard";

// One running program's recovery file, `<folder>/<id>.page`, with
// `<id>.lock` locked for as long as the program lives, so that a start can
// tell the files of programs still running from those of programs gone.
// `<id>.name` beside them holds the path of the picture's file, if it has one.
struct Recovery {
    std::string folder;  // $XDG_STATE_HOME/vornel (~/.local/state/vornel)
    std::string id;      // this process's own name in it
    int lockFd = -1;
    bool kept = false;   // our .page file exists
    lores::LoresPage keptPage{};
    std::uint64_t keptStructure = 0;  // the frames' list, as kept
    std::size_t keptFrames = 1;
    std::string keptName;  // what our .name file says
    std::chrono::steady_clock::time_point lastWrite{};
    // Why the last write of the copy failed (it is tried again); empty
    // while the copy is kept.
    std::string failure;
};

// A recovery file left by a program that is gone.
struct Orphan {
    std::string id;
    std::time_t saved = 0;
    std::string name;  // the picture's file, empty for an untitled picture
};

// Copies up to this size are offered, their first bytes as a page (a copy
// damaged from outside, cut short or grown); larger ones are kept aside.
inline constexpr long MaxRecoveryCopy = 1 << 20;

// The folder to use (made if missing) and a fresh id; false when there is
// no folder for it (then nothing is kept, and nothing else changes).
bool OpenRecovery(Recovery& r);

// After every event: the page is kept while changed is set, at most a few
// times a second (a wake-up is asked for the last change, and for another
// try after a failed write); removed once it is not. Also what a SIGTERM,
// SIGHUP, SIGINT, SIGQUIT or exit() writes before the end. fileName is the
// picture's file, for the question a later start asks.
void KeepRecovery(Recovery& r, const lores::LoresPage& page, bool changed, const std::string& fileName = {});
// The same for a picture of frames: every frame is kept (page the shown one).
void KeepRecovery(Recovery& r, const documents::Frames& frames, const lores::LoresPage& page, bool changed,
                  const std::string& fileName);

// Removes our files and lets go of the lock (a normal end).
void CloseRecovery(Recovery& r);

// Recovery files in the folder whose program is gone, newest first.
std::vector<Orphan> FindOrphans(const Recovery& r);
// Its bytes as a page (a short copy into a cleared page, a longer one's
// first page); false with the reason when it cannot be read at all.
bool ReadOrphan(const Recovery& r, const Orphan& o, lores::LoresPage& page, std::string* why = nullptr);
// The same with its frames (a copy of 2 to 256 whole pages is so many).
bool ReadOrphan(const Recovery& r, const Orphan& o, std::vector<lores::LoresPage>& frames, std::string* why);
// True when the picture's own file holds exactly this page: the program
// saved it and was ended before it could remove its copy.
bool SavedToItsFile(const Orphan& o, const lores::LoresPage& page);
bool SavedToItsFile(const Orphan& o, const std::vector<lores::LoresPage>& frames);
// Only for a copy the user discarded, or one its file holds (above).
void RemoveOrphan(const Recovery& r, const Orphan& o);
// A copy that cannot be read is never deleted: it is renamed out of the
// way (no later start asks again) and its new path returned for a message.
std::string KeepAside(const Recovery& r, const Orphan& o);

// "Recover the unsaved picture art.gr from 2026-12-08 03:15?" ("untitled
// picture" when it had no file).
std::string RecoverQuestion(std::time_t saved, const std::string& name = {});

}  // namespace editor
