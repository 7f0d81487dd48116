// JPEG pictures (baseline or progressive; grey, YCbCr, RGB or CMYK) as
// 8-bit RGBA rows, through libjpeg-turbo.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <new>

// The library's header needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "runtime/png_decoder.h"

namespace runtime {
namespace {

constexpr unsigned MaxSide = 16384;
constexpr std::uint64_t MaxPixels = 16u << 20;
// What the library may hold besides the rows we ask for (a progressive
// picture keeps its coefficients, about two bytes a pixel and component).
constexpr long MaxLibraryBytes = 160L << 20;

struct Failure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX] = "not a JPEG image";
};

[[noreturn]] void OnError(j_common_ptr info) {
    auto* failure = reinterpret_cast<Failure*>(info->err);
    (*info->err->format_message)(info, failure->text);
    std::longjmp(failure->jump, 1);
}

// Warnings pass, but for a file that ends early: the library would make up
// the rest of the picture in grey, and a picture with a made-up half is not
// the picture.
void OnMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        std::snprintf(reinterpret_cast<Failure*>(info->err)->text, JMSG_LENGTH_MAX, "the file ends too early");
        std::longjmp(reinterpret_cast<Failure*>(info->err)->jump, 1);
    }
}

// Ink to light: an Adobe picture keeps its CMYK inverted (255 is no ink).
void CmykRow(const std::uint8_t* in, std::uint8_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 4) {
        const int k = inverted ? in[3] : 255 - in[3];
        for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>(((inverted ? in[c] : 255 - in[c]) * k + 127) / 255);
        out[3] = 0xFF;
    }
}

// The part between setjmp and the library's errors: nothing here may own
// memory the jump would skip freeing (the rows live in out, the library's
// in its own pools).
bool Decode(jpeg_decompress_struct& info, Failure& failure, const std::uint8_t* data, std::size_t length,
            DecodedImage& out) {
    if (setjmp(failure.jump)) return false;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = MaxLibraryBytes;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(length));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > MaxSide || info.image_height > MaxSide ||
        std::uint64_t{info.image_width} * info.image_height > MaxPixels) {
        std::snprintf(failure.text, sizeof failure.text, "too many pixels (more than 16 million)");
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.rgba.resize(static_cast<std::size_t>(out.width) * out.height * 4);  // bad_alloc is caught outside
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.rgba.data() + static_cast<std::size_t>(info.output_scanline) * out.width * 4;
        jpeg_read_scanlines(&info, &row, 1);
        if (cmyk) CmykRow(row, row, out.width, info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

bool IsJpeg(const std::uint8_t* data, std::size_t length) {
    return data && length >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool DecodeJpeg(const std::uint8_t* data, std::size_t length, DecodedImage& out, std::string& error) {
    out = DecodedImage{};
    if (!IsJpeg(data, length)) {
        error = "not a JPEG image";
        return false;
    }
    jpeg_decompress_struct info{};
    Failure failure;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = OnError;
    failure.manager.emit_message = OnMessage;
    bool ok = false;
    try {
        ok = Decode(info, failure, data, length, out);
    } catch (const std::bad_alloc&) {
        std::snprintf(failure.text, sizeof failure.text, "out of memory");
    }
    jpeg_destroy_decompress(&info);
    if (!ok) {
        error = failure.text;
        out = DecodedImage{};
    }
    return ok;
}

}  // namespace runtime
