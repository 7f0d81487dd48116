// Writers of one disk image take turns: a lock on the image as it really
// is (its links resolved), held while it is read, changed and replaced.
#pragma once

#include <string>

namespace diskimage {

class ImageLock {
public:
    explicit ImageLock(const std::string& image);
    ~ImageLock();
    ImageLock(const ImageLock&) = delete;
    ImageLock& operator=(const ImageLock&) = delete;

    // True with the turn taken (or on a file system that keeps no locks,
    // which note then says); false with the reason in error: another writer
    // kept it for 10 seconds, or no lock could be had at all.
    bool Take(std::string& error, std::string& note);

private:
    std::string path_;
    int folderFd_ = -1;
    int fileFd_ = -1;
};

}  // namespace diskimage
