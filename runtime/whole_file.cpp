// A regular file read whole, for the pictures' decoders and the disk images.
#include "runtime/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace runtime {

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& data, std::size_t maxBytes,
                   const char* tooLarge, std::string& error) {
    data.clear();
    // Never waits: a pipe, a terminal or a device is refused, not read.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st;
    error.clear();
    if (fstat(fd, &st) != 0) error = std::strerror(errno);
    else if (S_ISDIR(st.st_mode)) error = "is a folder";
    else if (!S_ISREG(st.st_mode)) error = "not a regular file";
    else if (static_cast<std::uint64_t>(st.st_size) > maxBytes) error = tooLarge;
    if (error.empty()) {
        try {
            data.resize(static_cast<std::size_t>(st.st_size));
        } catch (const std::bad_alloc&) {
            error = "out of memory";
        }
        // All of it or nothing: a read error, or a file that shrinks while
        // it is read, must not pass for the whole file.
        std::size_t got = 0;
        while (error.empty() && got < data.size()) {
            const ssize_t n = read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = std::strerror(errno);
            else if (n == 0) error = "changed while it was read";
            else got += static_cast<std::size_t>(n);
        }
    }
    close(fd);
    if (!error.empty()) data.clear();
    return error.empty();
}

}  // namespace runtime
