// An independent PNG reader for tests: walks the chunks, checks their CRCs,
// inflates the image data with zlib and undoes the None filter only.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testpng {

struct Png {
    bool ok = false;
    std::string error;
    std::vector<std::string> chunks;
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = 0, compression = -1, filter = -1, interlace = -1;
    std::vector<int> rowFilters;
    std::vector<std::uint8_t> pixels;  // rows top first, channels as stored

    int Channels() const { return colourType == 6 ? 4 : 3; }
    const std::uint8_t* At(int x, int y) const { return pixels.data() + (static_cast<std::size_t>(y) * width + x) * Channels(); }
};

inline std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

inline Png Read(const std::vector<std::uint8_t>& file) {
    Png png;
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (file.size() < 8 || !std::equal(signature, signature + 8, file.begin())) {
        png.error = "no signature";
        return png;
    }
    std::vector<std::uint8_t> idat;
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::uint32_t len = Be32(&file[at]);
        if (at + 12 + len > file.size()) {
            png.error = "chunk overruns the file";
            return png;
        }
        const std::string type(file.begin() + at + 4, file.begin() + at + 8);
        const std::uint8_t* data = &file[at + 8];
        const uLong crc = crc32(crc32(0, &file[at + 4], 4), data, len);
        if (crc != Be32(data + len)) {
            png.error = "bad crc in " + type;
            return png;
        }
        if (png.chunks.empty() || png.chunks.back() != type) png.chunks.push_back(type);
        if (type == "IHDR") {
            png.width = Be32(data);
            png.height = Be32(data + 4);
            png.bitDepth = data[8];
            png.colourType = data[9];
            png.compression = data[10];
            png.filter = data[11];
            png.interlace = data[12];
        } else if (type == "IDAT") {
            idat.insert(idat.end(), data, data + len);
        }
        at += 12 + len;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(png.width) * png.Channels() + 1;
    std::vector<std::uint8_t> raw(rowBytes * png.height + 1);
    uLongf rawLen = raw.size();
    if (uncompress(raw.data(), &rawLen, idat.data(), idat.size()) != Z_OK || rawLen != rowBytes * png.height) {
        png.error = "image data does not inflate to the rows";
        return png;
    }
    for (std::uint32_t y = 0; y < png.height; ++y) {
        png.rowFilters.push_back(raw[y * rowBytes]);
        png.pixels.insert(png.pixels.end(), raw.begin() + y * rowBytes + 1, raw.begin() + (y + 1) * rowBytes);
    }
    png.ok = true;
    return png;
}

}  // namespace testpng
