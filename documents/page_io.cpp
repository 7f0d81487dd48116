// Page files as bytes: up to a page read from a file (or from a file inside
// a disk image), and a page written through the safe replacement. No window
// is involved: the commands and the command line share these.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "diskimage/container.h"
#include "diskimage/disk_image.h"
#include "documents/documents.h"
#include "runtime/file_objects.h"
#include "runtime/replace_file.h"

namespace documents {

PageRead ReadPageFile(const std::string& path, lores::LoresPage& page) {
    PageRead read;
    diskimage::ImagePath inImage;
    if (diskimage::SplitImagePath(path, inImage)) {
        diskimage::Bytes data;
        if (!inImage.exists) {
            read.problem = "no such disk image";
        } else if (diskimage::ReadImageFile(inImage.image, inImage.name, data, read.problem)) {
            read.opened = true;
            read.bytes = std::min<std::size_t>(data.size(), lores::PageBytes);
            read.longer = data.size() > lores::PageBytes;
            std::copy_n(data.begin(), read.bytes, page.begin());
        }
        return read;
    }
    if (!runtime::OpenForReading(PageFileNumber, path)) return read;
    read.opened = true;
    read.bytes = runtime::ReadBytes(PageFileNumber, page.data(), lores::PageBytes);
    std::uint8_t more = 0;
    read.longer = read.bytes == lores::PageBytes && runtime::ReadBytes(PageFileNumber, &more, 1) != 0;
    runtime::CloseFileObject(PageFileNumber);
    return read;
}

std::string SyncWarning(const std::string& path, int folderSyncError) {
    if (!folderSyncError) return std::string();
    return path + ": written, but the disk did not confirm its folder (" + std::strerror(folderSyncError) +
           "): the save may not survive a power cut";
}

std::string WhyNot(const std::string& path, int error) {
    struct stat st;
    if (error == EISDIR || (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) return "is a folder";
    if ((error == EINVAL || error == ENXIO) && stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
        !S_ISCHR(st.st_mode))
        return "is not a regular file";
    return std::strerror(error ? error : EIO);
}

runtime::WriteResult WritePageBytes(const std::string& path, const lores::LoresPage& page) {
    return WriteFramesBytes(path, {page});
}

bool HasPictureExtension(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".gif";
}

std::string PageNameProblem(const std::string& path, std::size_t frames) {
    // A page is no picture: under a picture's name other programs would
    // fail to read it, and a file manager would show it as a broken one.
    if (HasPictureExtension(path))
        return "has a picture's extension, and a page file is no picture: name it .gr, or write a picture with "
               "--export-png (File, Export Picture)";
    // Under a disk image's name it would be taken for a damaged image.
    if (diskimage::HasImageExtension(path))
        return "is a disk image's name: save the picture inside it, as " + path + ":NAME";
    // A file of a disk image's size is never read as frames.
    if (frames * lores::PageBytes == diskimage::DiskBytes140K)
        return "140 frames are the size of a disk image and would not open again as frames: add or delete a frame, "
               "or save them inside a disk image (IMAGE:NAME)";
    return std::string();
}

runtime::WriteResult WriteFramesBytes(const std::string& path, const std::vector<lores::LoresPage>& frames) {
    diskimage::Bytes bytes;
    bytes.reserve(frames.size() * lores::PageBytes);
    for (const lores::LoresPage& page : frames) bytes.insert(bytes.end(), page.begin(), page.end());
    diskimage::ImagePath inImage;
    if (diskimage::SplitImagePath(path, inImage)) return diskimage::WritePageToImage(inImage.image, inImage.name, bytes);
    if (std::string problem = PageNameProblem(path, frames.size()); !problem.empty()) {
        runtime::WriteResult refused;
        refused.error = std::move(problem);
        return refused;
    }
    return WriteWholeFile(path, bytes);
}

runtime::WriteResult WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    runtime::WriteResult result;
    errno = 0;
    if (!runtime::CreateForWriting(PageFileNumber, path)) {
        result.error = WhyNot(path, errno);
        return result;
    }
    const std::size_t written = runtime::WriteBytes(PageFileNumber, bytes.data(), bytes.size());
    // The bytes reach the disk at close; a failure there is a failed save
    // too, and the file it would have replaced is left as it was.
    runtime::CloseOutcome closed;
    result.ok = runtime::CloseFileObject(PageFileNumber, &closed) != 0 && written == bytes.size();
    result.folderSyncError = closed.folderSyncError;
    if (!result.ok) result.error = WhyNot(path, closed.error);
    return result;
}

std::vector<lores::LoresPage> AllFrames(const Frames& frames, const lores::LoresPage& page) {
    std::vector<lores::LoresPage> all = frames.pages;
    all[frames.shown] = page;
    return all;
}

PageRead ReadFramesFile(const std::string& path, std::vector<lores::LoresPage>& frames) {
    PageRead read;
    diskimage::Bytes data;
    constexpr std::size_t Most = MaxFrames * lores::PageBytes;
    diskimage::ImagePath inImage;
    if (diskimage::SplitImagePath(path, inImage)) {
        if (!inImage.exists) read.problem = "no such disk image";
        else read.opened = diskimage::ReadImageFile(inImage.image, inImage.name, data, read.problem);
    } else if (runtime::OpenForReading(PageFileNumber, path)) {
        // One byte past the most frames: a longer file is no picture of frames.
        read.opened = true;
        data.resize(Most + 1);
        data.resize(runtime::ReadBytes(PageFileNumber, data.data(), data.size()));
        runtime::CloseFileObject(PageFileNumber);
        // A file of a disk image's size or name is never frames, nor a page
        // longer than it should be: a disk image the program cannot read (a
        // damaged one, a game disk) is refused with the reason.
        if (data.size() == diskimage::DiskBytes140K ||
            (diskimage::HasImageExtension(path) && data.size() > lores::PageBytes)) {
            diskimage::Listing listing;
            read = PageRead{};
            if (diskimage::ListImage(path, listing, read.problem))
                read.problem = "is a disk image: open a picture inside it (" + path + ":NAME)";
            return read;
        }
    }
    if (!read.opened) return read;
    const std::size_t n = data.size() / lores::PageBytes;
    const bool framed = data.size() % lores::PageBytes == 0 && n >= 2 && n <= MaxFrames;
    frames.assign(framed ? n : 1, lores::LoresPage{});
    read.bytes = framed ? data.size() : std::min<std::size_t>(data.size(), lores::PageBytes);
    read.longer = !framed && data.size() > lores::PageBytes;
    for (std::size_t i = 0; i < read.bytes; ++i) frames[i / lores::PageBytes][i % lores::PageBytes] = data[i];
    return read;
}

}  // namespace documents
