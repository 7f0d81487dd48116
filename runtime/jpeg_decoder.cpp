// JPEG pictures (baseline or progressive; grey, YCbCr, RGB or CMYK) as
// 8-bit RGBA rows, through libjpeg-turbo.
#include <algorithm>
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

constexpr std::uint64_t MaxPixels = 16u << 20;
// What the library may hold besides the rows we ask for (a progressive
// picture keeps its coefficients, about two bytes a pixel and component).
constexpr long MaxLibraryBytes = 160L << 20;
constexpr std::uint64_t MaxScans = 100;
constexpr std::uint64_t MaxScanPixels = MaxPixels * 40;

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

// The warnings that say the picture's data is damaged are failures: the
// library would make up what it could not read (grey, or blocks out of
// place), and a picture with a made-up part is not the picture. The others
// (an unknown JFIF revision, bytes between segments) pass.
void OnMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    const char* why = nullptr;
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF: why = "the file ends too early"; break;
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION: why = "the picture's data is damaged"; break;
    default: return;
    }
    std::snprintf(reinterpret_cast<Failure*>(info->err)->text, JMSG_LENGTH_MAX, "%s", why);
    std::longjmp(reinterpret_cast<Failure*>(info->err)->jump, 1);
}

// A progressive picture's every scan passes over all of it: a small file
// of thousands of scans would keep the decoder busy for minutes. Real
// pictures have a dozen or two; the work of the scans is bounded too, so
// that a picture near the pixel limit may have fewer.
struct Progress {
    jpeg_progress_mgr manager;
    Failure* failure = nullptr;
};

void OnProgress(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    const std::uint64_t pixels = std::max<std::uint64_t>(1, std::uint64_t{info->image_width} * info->image_height);
    const std::uint64_t limit = std::min(MaxScans, MaxScanPixels / pixels);
    if (info->input_scan_number > 0 && static_cast<std::uint64_t>(info->input_scan_number) > limit) {
        Failure* failure = reinterpret_cast<Progress*>(common->progress)->failure;
        std::snprintf(failure->text, JMSG_LENGTH_MAX, "too many scans (more than %d)", static_cast<int>(limit));
        std::longjmp(failure->jump, 1);
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
bool Decode(jpeg_decompress_struct& info, Failure& failure, Progress& progress, const std::uint8_t* data, std::size_t length,
            DecodedImage& out) {
    if (setjmp(failure.jump)) return false;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = MaxLibraryBytes;
    progress.manager.progress_monitor = OnProgress;
    progress.failure = &failure;
    info.progress = &progress.manager;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(length));
    jpeg_read_header(&info, TRUE);
    if (const std::string problem = SizeProblem(info.image_width, info.image_height); !problem.empty()) {
        std::snprintf(failure.text, sizeof failure.text, "%s", problem.c_str());
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

bool DecodeJpeg(const std::uint8_t* data, std::size_t length, DecodedImage& out, std::string& error) {
    out = DecodedImage{};
    if (!IsJpeg(data, length)) {
        error = "not a JPEG image";
        return false;
    }
    jpeg_decompress_struct info{};
    Failure failure;
    Progress progress{};
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = OnError;
    failure.manager.emit_message = OnMessage;
    bool ok = false;
    try {
        ok = Decode(info, failure, progress, data, length, out);
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
