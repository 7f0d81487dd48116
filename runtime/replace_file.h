// Replacing a file without harming it. The new content is prepared unnamed
// beside the chosen file and renamed over it only when complete, and only
// when that keeps everything the user sees of the file (one link, owner,
// group, mode, extended attributes); otherwise the file is rewritten in
// place, never emptied first and only once the disk has room for the new
// content. Every symbolic link on the way is judged before it is followed
// and nothing is looked up by name twice. Paths that are not regular files (devices,
// pipes) are written directly and never renamed over or deleted.
#pragma once

#include <string>

namespace runtime {

struct FileReplacement {
    enum class Kind { None, Direct, InPlace, Unnamed, Named };
    Kind kind = Kind::None;
    int fd = -1;        // where the caller writes, from offset 0
    int dirFd = -1;     // the folder of finalPath
    int targetFd = -1;  // InPlace only: the file rewritten at the commit
    std::string finalPath;  // the file that ends up written (symbolic links resolved)
    std::string finalName;  // its name inside dirFd
    std::string tempName;   // Named only: the visible temporary file inside dirFd
    // Set by a commit whose new name could not be made durable (the folder's
    // sync failed): the content is in place, but a power cut may still take
    // the save back.
    int folderSyncError = 0;
};

// What a write of a whole file came to: whether it is in place, why not,
// and what else the caller should hear (the folder's sync failed, folders
// made on the way).
struct WriteResult {
    bool ok = false;
    std::string error;  // the reason, when not ok
    std::string note;
    int folderSyncError = 0;
    explicit operator bool() const { return ok; }
};

// Opens the descriptor to write to. False (errno set) when nothing may or
// can be written there; nothing is left behind then.
bool BeginReplace(const std::string& path, FileReplacement& r);

// Flushes to the disk and puts the content in place. False on any failure,
// in which case no temporary file is left and a renamed-over file is
// untouched (a file rewritten in place holds the new bytes, perhaps
// followed by some of the old ones, but never less than the old content).
bool CommitReplace(FileReplacement& r);

// Closes and removes what was prepared; a renamed-over file is untouched.
void AbortReplace(FileReplacement& r);

// Moves a descriptor to 3 or above, so that a valid one is never 0.
int RaiseDescriptor(int fd);

}  // namespace runtime
