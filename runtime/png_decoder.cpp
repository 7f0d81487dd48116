#include "runtime/png_decoder.h"

#include <png.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace runtime {
namespace {

// Pictures larger than this are not what anyone draws 40x48 pixels with.
constexpr png_uint_32 MaxSide = 16384;

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

}  // namespace

bool DecodePng(const std::uint8_t* data, std::size_t length, DecodedImage& out, std::string& error) {
    out = DecodedImage{};
    if (!data || length < 8 || png_sig_cmp(data, 0, 8) != 0) {
        error = "not a PNG image";
        return false;
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
    png_set_user_limits(png, MaxSide, MaxSide);
    png_read_info(png, info);
    // Whatever the file holds becomes 8-bit red, green, blue, alpha.
    png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, transparency to alpha
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(out.width) * 4) png_error(png, "unexpected pixel layout");
    out.rgba.resize(static_cast<std::size_t>(out.width) * out.height * 4);
    rows.resize(static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) rows[y] = out.rgba.data() + static_cast<std::size_t>(y) * out.width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool ReadPngFile(const std::string& path, DecodedImage& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = "read error";
        return false;
    }
    return DecodePng(data.data(), data.size(), out, error);
}

}  // namespace runtime
