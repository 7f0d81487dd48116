#include "diskimage/disk_image.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cerrno>
#include <cstring>

#include "diskimage/boot_disk.h"
#include "diskimage/image_lock.h"
#include "runtime/whole_file.h"
#include "runtime/replace_file.h"

namespace diskimage {
namespace {

// The largest image file read: the largest ProDOS volume, a 2IMG header
// and room for its comment.
constexpr std::size_t MaxImageFile = MaxVolumeBlocks * BlockBytes + (1u << 20);

enum class Kind { Dos33, ProDos };

struct Image {
    Container c;
    Kind kind = Kind::Dos33;
};

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    return runtime::ReadWholeFile(path, bytes, MaxImageFile,
                                  "larger than any ProDOS volume (65,535 blocks of 512 bytes)", error);
}

// The container and which file system holds it, the order checked against
// the content (a raw 140 KB image may be in either order, whatever its name).
bool Recognise(Container& c, Kind& kind) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (dos33::Recognise(c)) {
            kind = Kind::Dos33;
            return true;
        }
        if (prodos::Recognise(c)) {
            kind = Kind::ProDos;
            return true;
        }
        if (!c.Is140K()) return false;
        c.order = c.order == Order::Dos ? Order::ProDos : Order::Dos;
    }
    return false;
}

bool LoadImage(const std::string& path, Image& image, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error) || !ParseContainer(std::move(bytes), path, image.c, error)) return false;
    if (!Recognise(image.c, image.kind)) {
        error = "not a DOS 3.3 or ProDOS volume (no catalog or volume directory where they belong)";
        return false;
    }
    return true;
}

// A blank 140 KB data disk: DOS 3.3 (volume 254) for .dsk and .do, ProDOS
// named after the file for .po and .2mg.
Image BlankImage(const std::string& path) {
    Image image;
    const Order order = OrderOfExtension(path);
    image.c = BlankContainer(DiskBytes140K, order, IsTwoImgExtension(path));
    if (order == Order::Dos) {
        image.kind = Kind::Dos33;
        dos33::Format(image.c, 254);
        return image;
    }
    image.kind = Kind::ProDos;
    std::string base = path.substr(path.find_last_of('/') + 1);
    base = base.substr(0, base.find_last_of('.'));
    std::string volume;
    for (const char ch : base) {
        const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (volume.size() < 15) volume += (std::isalnum(static_cast<unsigned char>(up)) ? up : '.');
    }
    if (volume.empty() || !std::isalpha(static_cast<unsigned char>(volume[0]))) volume = ("V" + volume).substr(0, 15);
    prodos::Format(image.c, volume);
    return image;
}

bool SaveImage(const std::string& path, const Image& image, WriteResult& result) {
    runtime::FileReplacement r;
    bool ok = runtime::BeginReplace(path, r);
    std::size_t done = 0;
    while (ok && done < image.c.file.size()) {
        const ssize_t n = write(r.fd, image.c.file.data() + done, image.c.file.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<std::size_t>(n);
    }
    if (ok) {
        ok = runtime::CommitReplace(r);
        result.folderSyncError = r.folderSyncError;
    } else {
        const int saved = errno;
        runtime::AbortReplace(r);
        errno = saved;
    }
    if (!ok) result.error = std::strerror(errno ? errno : EIO);
    result.ok = ok;
    return ok;
}

}  // namespace

std::string NameAsTyped(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

bool IsDiskImageFile(const std::string& path) {
    Image image;
    std::string error;
    return LoadImage(path, image, error);
}

bool SplitImagePath(const std::string& path, ImagePath& out) {
    // IMAGE:NAME, split at the last colon: an image path when IMAGE names a
    // file that is there (whatever is in it: one that is no image is then a
    // message, never a plain file named after the whole path) or has an
    // image's extension. Anything else is a plain file name.
    const std::size_t colon = path.find_last_of(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == path.size()) return false;
    const std::string image = path.substr(0, colon), name = path.substr(colon + 1);
    struct stat st;
    if (stat(image.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return false;
        out = {image, name, true};
        return true;
    }
    if (errno == ENOENT && HasImageExtension(image)) {
        out = {image, name, false};
        return true;
    }
    return false;
}

bool ListImage(const std::string& path, Listing& listing, std::string& error) {
    Image image;
    if (!LoadImage(path, image, error)) return false;
    listing.format = image.kind == Kind::Dos33 ? "DOS 3.3" : "ProDOS";
    return image.kind == Kind::Dos33 ? dos33::List(image.c, listing.files, error)
                                     : prodos::List(image.c, listing.files, error);
}

bool ReadImageFile(const std::string& path, const std::string& name, Bytes& data, std::string& error) {
    Image image;
    if (!LoadImage(path, image, error)) return false;
    const std::string upper = NameAsTyped(name);
    return image.kind == Kind::Dos33 ? dos33::Read(image.c, upper, data, error)
                                     : prodos::Read(image.c, upper, data, error);
}

namespace {

// What every write into an image checks first, then its turn: false (the
// error set) when the bytes are not 1 to maxPages whole pages or the turn
// never came.
bool ReadyToWrite(const Bytes& page, ImageLock& lock, WriteResult& result, std::size_t maxPages = 1) {
    if (page.empty() || page.size() % PageBytes != 0 || page.size() > maxPages * PageBytes) {
        result.error = maxPages == 1 ? "not a page" : "not 1 to 256 whole pages";
        return false;
    }
    return lock.Take(result.error, result.note);
}

void AddNote(WriteResult& result, const std::string& note) {
    if (!note.empty()) result.note += (result.note.empty() ? "" : "; ") + note;
}

}  // namespace

WriteResult WritePageToImage(const std::string& path, const std::string& name, const Bytes& page) {
    return WriteFileToImage(path, name, page, FileKind::Pages);
}

WriteResult WriteFileToImage(const std::string& path, const std::string& name, const Bytes& data, FileKind kind) {
    WriteResult result;
    ImageLock lock(path);
    if (kind == FileKind::Pages ? !ReadyToWrite(data, lock, result, 256) : !lock.Take(result.error, result.note))
        return result;
    const Bytes& page = data;
    Image image;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT && HasImageExtension(path)) {
        image = BlankImage(path);
    } else if (!LoadImage(path, image, result.error)) {
        return result;
    }
    const std::string upper = NameAsTyped(name);
    std::vector<std::string> made;
    const bool written = image.kind == Kind::Dos33 ? dos33::WritePage(image.c, upper, page, result.error, -1, kind)
                                                   : prodos::WritePage(image.c, upper, page, result.error, &made, kind);
    if (!written || !SaveImage(path, image, result)) return result;
    std::string folders;
    for (const std::string& folder : made) folders += (folders.empty() ? "made the folder " : ", ") + folder;
    AddNote(result, folders);
    result.ok = true;
    return result;
}

WriteResult WriteBootDisk(const std::string& path, const std::string& fileName, const Bytes& page, bool mixed,
                          int fps) {
    WriteResult result;
    std::string& error = result.error;
    if (!HasImageExtension(path) || OrderOfExtension(path) != Order::Dos || IsTwoImgExtension(path)) {
        error = "a boot disk is a 140 KB image in DOS order: name it .dsk or .do";
        return result;
    }
    const std::size_t frames = page.size() / PageBytes;
    if (page.size() > MaxBootFrames * PageBytes) {
        error = "more than " + std::to_string(MaxBootFrames) + " frames do not fit in the machine's memory; nothing was written";
        return result;
    }
    ImageLock lock(path);
    if (!ReadyToWrite(page, lock, result, MaxBootFrames)) return result;
    // Only a disk made this way is replaced; anything else there stays.
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        std::vector<std::uint8_t> bytes;
        std::string ignored;
        if (!S_ISREG(st.st_mode) || !ReadWholeFile(path, bytes, ignored) || !IsBootDisk(bytes)) {
            error = S_ISDIR(st.st_mode) ? "is a folder; nothing was written"
                                        : "exists and is not a boot disk made by vornel; nothing was written";
            return result;
        }
    } else if (errno != ENOENT) {
        error = std::strerror(errno);
        return result;
    }
    Image image;
    image.c = BlankContainer(DiskBytes140K, Order::Dos, false);
    dos33::Format(image.c, 254);
    if (!dos33::WritePage(image.c, fileName, page, error, frames > 1 ? 1 : -1)) return result;
    if (frames > 1) PutFramesBootTrack(image.c, frames, mixed, fps);
    else PutBootTrack(image.c, page, mixed);
    SaveImage(path, image, result);
    return result;
}

std::string FileNameFor(const std::string& path, const std::string& name, std::string& error) {
    const std::string upper = NameAsTyped(name);
    Image image;
    std::string ignored;
    const bool dos = LoadImage(path, image, ignored) ? image.kind == Kind::Dos33 : OrderOfExtension(path) == Order::Dos;
    error = dos ? dos33::CheckName(upper) : prodos::CheckName(upper);
    return error.empty() ? upper : std::string();
}

}  // namespace diskimage
