// Safe replacement of a file: the new content goes to a hidden temporary
// file in the same folder, is flushed to the disk and renamed over the
// chosen path only when complete. Paths that are not regular files
// (devices, pipes) are written directly and never renamed over or deleted.
#pragma once

#include <string>

namespace runtime {

struct FileReplacement {
    int fd = -1;
    std::string finalPath;  // where the content ends up (symbolic links resolved)
    std::string tempPath;   // empty when writing directly
};

// Opens the descriptor to write to. False (errno set) when nothing could be
// opened; nothing is left behind then.
bool BeginReplace(const std::string& path, FileReplacement& r);

// Flushes, closes and puts the content in place. False on any failure, in
// which case the temporary file is removed and the old file is untouched.
bool CommitReplace(FileReplacement& r);

// Closes and removes the temporary file; the old file is untouched.
void AbortReplace(FileReplacement& r);

// Moves a descriptor to 3 or above, so that a valid one is never 0.
int RaiseDescriptor(int fd);

}  // namespace runtime
