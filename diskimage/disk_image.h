// Apple II disk images as places where pages live: `IMAGE:NAME` names a
// file inside a DOS 3.3 or ProDOS image (ProDOS: `IMAGE:DIR/NAME`). An
// image is read whole, changed in memory and written whole through the safe
// file replacement, so the image on disk is always the old one or the new.
#pragma once

#include <string>
#include <vector>

#include "diskimage/file_system.h"
#include "runtime/replace_file.h"

namespace diskimage {

using runtime::WriteResult;

struct ImagePath {
    std::string image;  // the image file
    std::string name;   // the file inside it, as given
    bool exists = false;  // the image file is there (else a save makes it)
};

// True when path names a file inside an image: IMAGE is an existing disk
// image (by its content), or a missing file with an image extension
// (.dsk, .do, .po, .2mg) in an existing folder. A plain path is false.
bool SplitImagePath(const std::string& path, ImagePath& out);

// True when the file at path is a disk image this program reads.
bool IsDiskImageFile(const std::string& path);

struct Listing {
    std::string format;  // "DOS 3.3" or "ProDOS"
    std::vector<FileEntry> files;
};

bool ListImage(const std::string& image, Listing& listing, std::string& error);

// The data of a binary file (B or BIN) inside the image.
bool ReadImageFile(const std::string& image, const std::string& name, Bytes& data, std::string& error);

// The 1024-byte page (or 2 to 256 pages, a picture's frames, one after
// the other) as file name inside the image (made, blank, when it does not
// exist; a DOS 3.3 B file loads at $0400, the pages where the machine
// holds pages 1 and 2 and on). Only that file's sectors, its catalog entry and the free
// map change. On failure the image file is as it was.
// In a ProDOS volume, folders missing on the way are made (the result's
// note says which: "made the folder PICS"). Every writer of the image waits
// its turn (at most 10 s).
WriteResult WritePageToImage(const std::string& image, const std::string& name, const Bytes& page);
// The same for any kind of file the program writes (an Applesoft program).
WriteResult WriteFileToImage(const std::string& image, const std::string& name, const Bytes& data, FileKind kind);

// A 140 KB DOS 3.3 disk (.dsk or .do) that boots into the page: the page as
// B file fileName at $0400, and in track 0 boot code that shows it full
// screen, or mixed. path must not exist, or be a boot disk made so before.
// Frames (2 to 39 pages one after the other) give a disk that plays them
// in a loop at fps frames a second, its own loader reading them.
WriteResult WriteBootDisk(const std::string& path, const std::string& fileName, const Bytes& page, bool mixed,
                          int fps = 10);

// A name inside an image as the machine's file systems write it: upper case.
std::string NameAsTyped(std::string name);

// The name as the image's file system wants it (upper case), or the empty
// text with the reason in error.
std::string FileNameFor(const std::string& image, const std::string& name, std::string& error);

// The image and the name joined as a path again.
inline std::string JoinImagePath(const std::string& image, const std::string& name) { return image + ":" + name; }

}  // namespace diskimage
