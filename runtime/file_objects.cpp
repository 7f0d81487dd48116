#include "runtime/file_objects.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "runtime/object_table.h"
#include "runtime/replace_file.h"

namespace runtime {
namespace {

struct FileObject {
    int handle = -1;  // descriptor, -1 when closed
    std::unique_ptr<std::uint8_t[]> buffer;
    int bufferSize = 0;
    int count = 0;   // reading: bytes not yet delivered; writing: free bytes left
    int filled = 0;  // reading: bytes the last refill brought
    int reading = 1;
    FileReplacement replacement;  // set while a replaced file is being written
    bool replacing = false;
    bool failed = false;  // a platform write fell short since the open
    int error = 0;        // and why
    int folderSyncError = 0;  // of the last close that replaced a file
    bool regular = false;  // a regular file: reads may loop until the length is met

    ~FileObject() { Close(); }

    int Close();
};

int fileBufferSize = 4096;
ObjectTable<FileObject>* files = nullptr;

ObjectTable<FileObject>& Files() {
    if (!files) files = new ObjectTable<FileObject>();
    return *files;
}

FileObject* OpenObject(int number) {
    FileObject* f = Files().Find(number);
    return f && f->handle >= 0 ? f : nullptr;
}

// As many bytes as the file gives, up to length. A device is read once and
// never waited on (its descriptor does not block): a terminal with nothing
// typed gives nothing rather than freezing the program.
std::size_t PlatformRead(const FileObject& f, std::uint8_t* to, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = read(f.handle, to + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
        if (!f.regular) break;
    }
    return done;
}

std::size_t PlatformWrite(FileObject& f, const std::uint8_t* from, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = write(f.handle, from + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    if (done < length && !f.failed) {
        f.failed = true;
        f.error = errno ? errno : EIO;
    }
    return done;
}

// Writes the pending bytes of a writing buffer; nothing in reading mode.
void FlushFileBuffer(FileObject& f) {
    if (f.reading) return;
    PlatformWrite(f, f.buffer.get(), static_cast<std::size_t>(f.bufferSize - f.count));
    f.count = f.bufferSize;
}

int FileObject::Close() {
    if (handle < 0) return 0;
    if (buffer) FlushFileBuffer(*this);
    buffer.reset();
    bool ok = !failed;
    folderSyncError = 0;
    if (replacing) {
        if (ok) {
            ok = CommitReplace(replacement);
            folderSyncError = replacement.folderSyncError;
            replacement.folderSyncError = 0;
        } else {
            AbortReplace(replacement);
        }
    } else if (close(handle) != 0) {
        ok = false;
    }
    if (!ok && !error) error = errno ? errno : EIO;
    handle = -1;
    replacing = false;
    failed = false;
    count = filled = 0;
    reading = 1;
    bufferSize = 0;
    regular = false;
    return ok ? 1 : 0;
}

// Fills the record of a freshly opened object.
int Attach(int number, int fd, bool buffered) {
    FileObject& f = Files().Take(number);
    f.handle = fd;
    f.bufferSize = buffered ? fileBufferSize : 0;
    if (f.bufferSize > 0) {
        f.buffer.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(f.bufferSize)]);
        if (!f.buffer) f.bufferSize = 0;  // works unbuffered
    }
    f.count = 0;
    f.filled = 0;
    f.reading = 1;
    f.error = 0;
    struct stat st;
    f.regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    return fd;
}

// Closes whatever the number held; an open failure leaves it free.
void Vacate(int number) {
    if (Files().Find(number)) Files().Release(number);
}

int OpenReadable(int number, const std::string& path, int accessFlags, bool buffered) {
    Vacate(number);
    // Opened without blocking so that a pipe cannot hang the program, then
    // refused unless it is a regular file or a character device. A device
    // keeps reading without blocking.
    int fd = open(path.c_str(), accessFlags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode))) {
        close(fd);
        errno = EINVAL;
        return 0;
    }
    if (S_ISREG(st.st_mode)) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd = RaiseDescriptor(fd);
    if (fd < 0) return 0;
    return Attach(number, fd, buffered);
}

int OpenReplacing(int number, const std::string& path, bool buffered) {
    Vacate(number);
    FileReplacement r;
    if (!BeginReplace(path, r)) return 0;
    const int fd = Attach(number, r.fd, buffered);
    FileObject& f = *Files().Find(number);
    f.replacement = r;
    f.replacing = true;
    return fd;
}

}  // namespace

void InitFiles() {
    delete files;
    files = new ObjectTable<FileObject>();
}

void SetFileBufferSize(int size) { fileBufferSize = size < 0 ? 0 : size; }

int OpenForReading(int number, const std::string& path) { return OpenReadable(number, path, O_RDONLY, true); }

int CreateForWriting(int number, const std::string& path) { return OpenReplacing(number, path, true); }

int OpenFileWithMode(int number, const std::string& path, int mode, int flags) {
    const bool buffered = !(flags & 4);
    switch (mode) {
    case 1: return OpenReadable(number, path, O_RDONLY, buffered);
    case 2: {
        const int fd = OpenReadable(number, path, O_RDWR | O_CREAT, buffered);
        if (fd && (flags & 8)) lseek(fd, 0, SEEK_END);
        return fd;
    }
    case 3: return OpenReplacing(number, path, buffered);
    default:
        // An already open descriptor, handed over to the object. Descriptor 0
        // cannot be told apart from a failed open, so it is refused.
        if (mode <= 0 || fcntl(mode, F_GETFD) < 0) return 0;
        Vacate(number);
        return Attach(number, mode, buffered);
    }
}

std::size_t ReadBytes(int number, void* destination, std::size_t length) {
    FileObject* f = OpenObject(number);
    if (!f || !destination || length == 0) return 0;
    auto* d = static_cast<std::uint8_t*>(destination);
    if (!f->buffer) return PlatformRead(*f, d, length);

    if (!f->reading) {
        FlushFileBuffer(*f);
        f->reading = 1;
        f->count = 0;
    }
    const auto count = static_cast<std::size_t>(f->count);
    if (count >= length) {
        std::memcpy(d, f->buffer.get() + (f->filled - f->count), length);
        f->count -= static_cast<int>(length);
        return length;
    }
    std::memcpy(d, f->buffer.get() + (f->filled - f->count), count);
    const std::size_t k = count;
    const std::size_t rest = length - k;
    if (rest >= static_cast<std::size_t>(f->bufferSize)) {
        f->count = 0;
        return k + PlatformRead(*f, d + k, rest);
    }
    const std::size_t n = PlatformRead(*f, f->buffer.get(), static_cast<std::size_t>(f->bufferSize));
    f->count = f->filled = static_cast<int>(n);
    const std::size_t m = rest < n ? rest : n;
    std::memcpy(d + k, f->buffer.get(), m);
    f->count -= static_cast<int>(m);
    return k + m;
}

std::size_t WriteBytes(int number, const void* source, std::size_t length) {
    FileObject* f = OpenObject(number);
    if (!f || !source || length == 0) return 0;
    const auto* s = static_cast<const std::uint8_t*>(source);
    if (!f->buffer) return PlatformWrite(*f, s, length);

    if (f->reading) {
        // Give back the read-ahead the caller has not seen yet.
        if (f->count > 0) lseek(f->handle, -static_cast<off_t>(f->count), SEEK_CUR);
        f->reading = 0;
        f->count = f->bufferSize;
    }
    if (static_cast<std::size_t>(f->count) > length) {
        std::memcpy(f->buffer.get() + (f->bufferSize - f->count), s, length);
        f->count -= static_cast<int>(length);
        return length;
    }
    FlushFileBuffer(*f);
    if (length >= static_cast<std::size_t>(f->bufferSize)) return PlatformWrite(*f, s, length);
    std::memcpy(f->buffer.get(), s, length);
    f->count -= static_cast<int>(length);
    return length;
}

int CloseFileObject(int number, CloseOutcome* outcome) {
    if (number == AllFiles) {
        CloseAllFiles();
        return 1;
    }
    FileObject* f = OpenObject(number);
    if (!f) return 0;
    const int ok = f->Close();
    if (outcome) *outcome = {ok ? 0 : f->error, f->folderSyncError};
    Files().Release(number);
    return ok;
}

void CloseAllFiles() {
    Files().ForEach([](int, FileObject& f) { f.Close(); });
    Files().Clear();
}

}  // namespace runtime
