// The unsaved picture kept on disk while it is unsaved, so that a kill, a
// logout, a closed terminal or a lost display costs nothing: the next start
// offers it back.
#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "lores/lores_page.h"

namespace editor {

inline constexpr const char* RecoverButton = "&Recover";
inline constexpr const char* DiscardButton = "&Discard";

// One running program's recovery file, `<folder>/<id>.page`, with
// `<id>.lock` locked for as long as the program lives, so that a start can
// tell the files of programs still running from those of programs gone.
struct Recovery {
    std::string folder;  // $XDG_STATE_HOME/vornel (~/.local/state/vornel)
    std::string id;      // this process's own name in it
    int lockFd = -1;
    bool kept = false;   // our .page file exists
    lores::LoresPage keptPage{};
    std::chrono::steady_clock::time_point lastWrite{};
};

// A recovery file left by a program that is gone.
struct Orphan {
    std::string id;
    std::time_t saved = 0;
};

// The folder to use (made if missing) and a fresh id; false when there is
// no folder for it (then nothing is kept, and nothing else changes).
bool OpenRecovery(Recovery& r);

// After every event: the page is kept while changed is set, at most a few
// times a second (a wake-up is asked for the last change); removed once it
// is not. Also what a SIGTERM, SIGHUP or exit() writes before the end.
void KeepRecovery(Recovery& r, const lores::LoresPage& page, bool changed);

// Removes our files and lets go of the lock (a normal end).
void CloseRecovery(Recovery& r);

// Recovery files in the folder whose program is gone, newest first.
std::vector<Orphan> FindOrphans(const Recovery& r);
// Its page, when it is exactly a page; false otherwise.
bool ReadOrphan(const Recovery& r, const Orphan& o, lores::LoresPage& page);
void RemoveOrphan(const Recovery& r, const Orphan& o);

// "Recover the unsaved picture from 2026-12-08 03:15?"
std::string RecoverQuestion(std::time_t saved);

}  // namespace editor
