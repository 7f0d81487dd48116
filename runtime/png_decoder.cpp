#include "runtime/png_decoder.h"
#include "runtime/whole_file.h"

#include <png.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace runtime {
namespace {

// Pictures larger than these are not what anyone draws 40x48 pixels with;
// they are refused before anything of their size is allocated.
constexpr std::uint64_t MaxSide = 16384;
constexpr std::uint64_t MaxPixels = 16u << 20;
constexpr png_alloc_size_t MaxChunkBytes = 8u << 20;
constexpr png_uint_32 MaxAncillaryChunks = 1000;
constexpr std::size_t MaxFileBytes = 64u << 20;

struct Source {
    const std::uint8_t* data;
    std::size_t length;
    std::size_t at = 0;
};

struct Failure {
    char text[200] = "not a PNG image";
};

void ReadFromMemory(png_structp png, png_bytep to, png_size_t length) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (source->length - source->at < length) png_error(png, "the file ends too early");
    std::memcpy(to, source->data + source->at, length);
    source->at += length;
}

// libpng reports errors here; the message is kept and the read abandoned.
void OnError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<Failure*>(png_get_error_ptr(png));
    std::snprintf(failure->text, sizeof failure->text, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Every chunk's length must fit in the bytes that follow it: the library
// would otherwise allocate what a chunk claims (gigabytes for a few bytes
// of file) before finding that the file ends.
bool ChunksFit(const std::uint8_t* data, std::size_t length) {
    for (std::size_t at = 8; at + 8 <= length;) {
        const std::size_t claimed = static_cast<std::size_t>(data[at]) << 24 | data[at + 1] << 16 |
                                    data[at + 2] << 8 | data[at + 3];
        if (claimed > length - at - 8) return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at += 12 + claimed;
    }
    return true;  // what is missing at the end is the library's to report
}

// A palette image is read as its indices (one byte each), and its colours
// looked up afterwards; anything else becomes 8-bit RGBA on the way.
void AskForRows(png_structp png, bool indexed) {
    if (indexed) {
        png_set_packing(png);
    } else {
        png_set_expand(png);  // grey below 8 bits to 8, transparency to alpha
        png_set_scale_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
}

// The palette, and each index's colour and alpha in the RGBA rows (an index
// past the palette is an error of the library's kind: it does not return).
void LookUpPalette(png_structp png, png_infop info, DecodedImage& out) {
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &colours, &count);
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_get_tRNS(png, info, &alphas, &alphaCount, nullptr);
    for (int n = 0; n < count; ++n)
        out.palette.push_back(std::uint32_t{colours[n].red} << 16 | std::uint32_t{colours[n].green} << 8 | colours[n].blue);
    for (std::size_t i = 0; i < out.indices.size(); ++i) {
        const int n = out.indices[i];
        if (n >= count) png_error(png, "a palette index past the palette");
        std::uint8_t* p = out.rgba.data() + 4 * i;
        p[0] = colours[n].red, p[1] = colours[n].green, p[2] = colours[n].blue;
        p[3] = n < alphaCount ? alphas[n] : 0xFF;
    }
}

}  // namespace

bool DecodePng(const std::uint8_t* data, std::size_t length, DecodedImage& out, std::string& error) {
    out = DecodedImage{};
    if (!data || length < 8 || png_sig_cmp(data, 0, 8) != 0) {
        error = "not a PNG image";
        return false;
    }
    if (!ChunksFit(data, length)) {
        error = "the file ends too early";
        return false;
    }
    // The size is said before libpng sees it (it would only say "Invalid
    // IHDR data" for a side beyond the limit).
    if (length >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0) {
        const auto word = [&](std::size_t at) {
            return std::uint64_t{data[at]} << 24 | std::uint64_t{data[at + 1]} << 16 | data[at + 2] << 8 | data[at + 3];
        };
        error = SizeProblem(word(16), word(20));
        if (!error.empty()) return false;
    }
    Failure failure;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, OnError, OnWarning);
    if (!png) {
        error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    Source source{data, length};
    std::vector<png_bytep> rows;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        error = failure.text;
        out = DecodedImage{};
        return false;
    }
    png_set_read_fn(png, &source, ReadFromMemory);
    png_set_user_limits(png, static_cast<png_uint_32>(MaxSide), static_cast<png_uint_32>(MaxSide));
    png_set_chunk_malloc_max(png, MaxChunkBytes);
    png_set_chunk_cache_max(png, MaxAncillaryChunks);
    png_read_info(png, info);
    if (static_cast<std::uint64_t>(png_get_image_width(png, info)) * png_get_image_height(png, info) > MaxPixels)
        png_error(png, "too many pixels (more than 16 million)");
    out.indexed = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE;
    AskForRows(png, out.indexed);
    png_read_update_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    const std::size_t bytesPerPixel = out.indexed ? 1 : 4;
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(out.width) * bytesPerPixel)
        png_error(png, "unexpected pixel layout");
    const std::size_t pixels = static_cast<std::size_t>(out.width) * out.height;
    bool allocated = true;
    try {
        out.rgba.resize(pixels * 4);
        if (out.indexed) out.indices.resize(pixels);
        rows.resize(static_cast<std::size_t>(out.height));
    } catch (const std::bad_alloc&) {
        allocated = false;
    }
    if (!allocated) png_error(png, "out of memory");
    std::uint8_t* target = out.indexed ? out.indices.data() : out.rgba.data();
    for (int y = 0; y < out.height; ++y) rows[y] = target + static_cast<std::size_t>(y) * out.width * bytesPerPixel;
    png_read_image(png, rows.data());
    if (out.indexed) LookUpPalette(png, info, out);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

std::string SizeProblem(std::uint64_t width, std::uint64_t height) {
    if (width > MaxSide || height > MaxSide)
        return std::to_string(width) + "x" + std::to_string(height) + " is too large (at most 16384 pixels a side)";
    if (width * height > MaxPixels) return "too many pixels (more than 16 million)";
    return std::string();
}


bool ReadPngFile(const std::string& path, DecodedImage& out, std::string& error) {
    out = DecodedImage{};
    std::vector<std::uint8_t> data;
    return ReadWholeFile(path, data, MaxFileBytes, "larger than 64 MiB", error) && DecodePng(data.data(), data.size(), out, error);
}

bool ReadPictureFile(const std::string& path, DecodedImage& out, std::string& error) {
    out = DecodedImage{};
    std::vector<std::uint8_t> data;
    return ReadWholeFile(path, data, MaxFileBytes, "larger than 64 MiB", error) &&
           DecodePicture(data.data(), data.size(), out, error);
}

bool IsJpeg(const std::uint8_t* data, std::size_t length) {
    return data && length >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool DecodePicture(const std::uint8_t* data, std::size_t length, DecodedImage& out, std::string& error) {
    if (length == 0) {
        error = "the file is empty";
        return false;
    }
    if (IsJpeg(data, length)) return DecodeJpeg(data, length, out, error);
    if (length >= 8 && png_sig_cmp(data, 0, 8) == 0) return DecodePng(data, length, out, error);
    error = "not a PNG or JPEG image";
    return false;
}

}  // namespace runtime
