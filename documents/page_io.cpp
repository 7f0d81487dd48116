// Page files as bytes: up to a page read from a file (or from a file inside
// a disk image), and a page written through the safe replacement. No window
// is involved: the commands and the command line share these.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
    diskimage::ImagePath inImage;
    if (diskimage::SplitImagePath(path, inImage))
        return diskimage::WritePageToImage(inImage.image, inImage.name, {page.begin(), page.end()});
    runtime::WriteResult result;
    if (!runtime::CreateForWriting(PageFileNumber, path)) {
        result.error = WhyNot(path, errno);
        return result;
    }
    const std::size_t written = runtime::WriteBytes(PageFileNumber, page.data(), lores::PageBytes);
    // The bytes reach the disk at close; a failure there is a failed save
    // too, and the file it would have replaced is left as it was.
    runtime::CloseOutcome closed;
    result.ok = runtime::CloseFileObject(PageFileNumber, &closed) != 0 && written == lores::PageBytes;
    result.folderSyncError = closed.folderSyncError;
    if (!result.ok) result.error = WhyNot(path, closed.error);
    return result;
}

}  // namespace documents
