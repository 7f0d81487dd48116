// Decoders for the image data the program carries: uncompressed BMP files
// and icon files. Every read is checked against the data's length.
#include <cstdint>
#include <cstring>

#include "runtime/images.h"

namespace runtime {
namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t length;

    bool Has(std::size_t at, std::size_t n) const { return at <= length && n <= length - at; }
    std::uint32_t U16(std::size_t at) const { return data[at] | (data[at + 1] << 8); }
    std::uint32_t U32(std::size_t at) const {
        return data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (static_cast<std::uint32_t>(data[at + 3]) << 24);
    }
    std::int32_t I32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }
};

void Allocate(ImagePixels& out, int width, int height, int depth) {
    out.width = width;
    out.height = height;
    out.depth = depth;
    out.stride = StrideFor(width, depth);
    out.bits.assign(static_cast<std::size_t>(out.stride) * height, 0);
}

// Colour of pixel x of a source row at the given bit count, as blue, green,
// red, alpha. palette points at 4-byte entries for counts of 8 and less.
void SourcePixel(const std::uint8_t* row, int x, int bitCount, const std::uint8_t* palette, std::size_t colours,
                 std::uint8_t out[4]) {
    if (bitCount >= 24) {
        const std::uint8_t* p = row + x * (bitCount / 8);
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        out[3] = bitCount == 32 ? p[3] : 0;
        return;
    }
    const int perByte = 8 / bitCount;
    const int shift = (perByte - 1 - x % perByte) * bitCount;
    const std::size_t index = (row[x / perByte] >> shift) & ((1 << bitCount) - 1);
    if (index < colours) {
        std::memcpy(out, palette + 4 * index, 3);
    } else {
        std::memset(out, 0, 3);
    }
    out[3] = 0;
}

}  // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t length, ImagePixels& out, int& sourceDepth) {
    const Reader r{data, length};
    if (!r.Has(0, 54)) return false;
    const std::uint32_t offset = r.U32(10);
    const std::uint32_t infoSize = r.U32(14);
    const std::int32_t width = r.I32(18);
    const std::int32_t rawHeight = r.I32(22);
    const int bitCount = static_cast<int>(r.U16(28));
    const std::uint32_t compression = r.U32(30);
    if (infoSize < 40 || compression != 0 || (bitCount != 24 && bitCount != 32)) return false;
    if (width <= 0 || width > 32767 || rawHeight == 0 || rawHeight < -32767 || rawHeight > 32767) return false;
    const int height = rawHeight < 0 ? -rawHeight : rawHeight;
    const std::size_t srcStride = (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
    if (!r.Has(offset, srcStride * height)) return false;

    Allocate(out, width, height, bitCount);
    const int bpp = bitCount / 8;
    bool anyAlpha = false;
    for (int row = 0; row < height; ++row) {
        // Stored rows stay bottom-up whatever order the file used.
        const int fileRow = rawHeight < 0 ? height - 1 - row : row;
        const std::uint8_t* src = data + offset + srcStride * fileRow;
        std::uint8_t* dst = out.bits.data() + static_cast<std::size_t>(out.stride) * row;
        std::memcpy(dst, src, static_cast<std::size_t>(width) * bpp);
        if (bpp == 4)
            for (int x = 0; x < width; ++x) anyAlpha |= dst[4 * x + 3] != 0;
    }
    if (bpp == 4 && !anyAlpha)
        for (int i = 3; i < static_cast<int>(out.bits.size()); i += 4) out.bits[i] = 255;
    sourceDepth = bitCount;
    return true;
}

bool DecodeIcon(const std::uint8_t* data, std::size_t length, ImagePixels& out) {
    const Reader r{data, length};
    if (!r.Has(0, 6) || r.U16(0) != 0 || r.U16(2) != 1) return false;
    const int entries = static_cast<int>(r.U16(4));
    if (entries == 0 || !r.Has(6, 16u * entries)) return false;
    // Entry 0, or a later one of the same size with more colours.
    int best = 0;
    for (int i = 1; i < entries; ++i) {
        const std::size_t e = 6 + 16u * i, b = 6 + 16u * best;
        if (data[e] == data[6] && data[e + 1] == data[7] && r.U16(e + 6) > r.U16(b + 6)) best = i;
    }
    const std::size_t entry = 6 + 16u * best;
    const std::size_t size = r.U32(entry + 8), at = r.U32(entry + 12);
    if (!r.Has(at, size) || size < 40) return false;
    const Reader img{data + at, size};
    const std::int32_t width = img.I32(4);
    const std::int32_t height = img.I32(8) / 2;  // colour rows, then the mask rows
    const int bitCount = static_cast<int>(img.U16(14));
    if (img.U32(16) != 0 || width <= 0 || height <= 0 || width > 256 || height > 256) return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) return false;
    const std::size_t headerSize = img.U32(0);
    std::size_t colours = bitCount <= 8 ? img.U32(32) : 0;
    if (bitCount <= 8 && colours == 0) colours = std::size_t{1} << bitCount;
    if (colours > 256) return false;
    const std::size_t paletteAt = headerSize;
    const std::size_t colourAt = paletteAt + 4 * colours;
    const std::size_t colourStride = (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
    const std::size_t maskStride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    const std::size_t maskAt = colourAt + colourStride * height;
    if (!img.Has(colourAt, colourStride * height)) return false;
    const bool haveMask = img.Has(maskAt, maskStride * height);

    Allocate(out, width, height, 32);
    out.isIcon = true;
    bool anyAlpha = false;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* src = img.data + colourAt + colourStride * row;
        std::uint8_t* dst = out.bits.data() + static_cast<std::size_t>(out.stride) * row;
        for (int x = 0; x < width; ++x) {
            SourcePixel(src, x, bitCount, img.data + paletteAt, colours, dst + 4 * x);
            anyAlpha |= dst[4 * x + 3] != 0;
        }
    }
    if (bitCount == 32 && anyAlpha) return true;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* mask = haveMask ? img.data + maskAt + maskStride * row : nullptr;
        std::uint8_t* dst = out.bits.data() + static_cast<std::size_t>(out.stride) * row;
        for (int x = 0; x < width; ++x) {
            const bool transparent = mask && ((mask[x / 8] >> (7 - x % 8)) & 1);
            dst[4 * x + 3] = transparent ? 0 : 255;
        }
    }
    return true;
}

}  // namespace runtime
