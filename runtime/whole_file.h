// Reading a regular file whole, never from a pipe or a device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace runtime {

// A regular file, whole, of at most maxBytes (else the error is tooLarge);
// never waits on a pipe or a device; a file that changes while it is read
// is a failure, never a short read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& data, std::size_t maxBytes,
                   const char* tooLarge, std::string& error);

}  // namespace runtime
