// Numbered file objects with a 4096-byte transfer buffer that switches
// between reading and writing mode as the caller alternates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace runtime {

inline constexpr int AllFiles = -1;

void InitFiles();

// Non-zero (the descriptor) on success, 0 on failure. Only regular files and
// character devices are opened; pipes, sockets and folders are refused
// rather than blocking.
int OpenForReading(int number, const std::string& path);

// Non-zero on success, 0 on failure. A regular file (or a new one) is
// written to a hidden temporary file beside it and put in place when the
// object is closed, so a failed write never destroys the file it replaces.
// A device is written directly.
int CreateForWriting(int number, const std::string& path);

// The general open: mode 1 read, mode 2 read and write (created if missing),
// mode 3 as CreateForWriting, any other mode an already open descriptor.
// Flag bit 2 makes the object unbuffered, bit 3 moves to the end (mode 2).
int OpenFileWithMode(int number, const std::string& path, int mode, int flags);

std::size_t ReadBytes(int number, void* destination, std::size_t length);
std::size_t WriteBytes(int number, const void* source, std::size_t length);

// How a close came out, beyond its result: the errno of the first failure,
// and of a folder's sync that failed after the file was put in place.
struct CloseOutcome {
    int error = 0;
    int folderSyncError = 0;
};

// Writes pending bytes and closes. Returns 1 when every byte reached the
// file (and a replaced file is in place), 0 on any failure or for a number
// that is not open. AllFiles closes every open object.
int CloseFileObject(int number, CloseOutcome* outcome = nullptr);
void CloseAllFiles();

// The buffer size given to newly opened objects (0: unbuffered).
void SetFileBufferSize(int size);

}  // namespace runtime
