#include "runtime/png_encoder.h"

#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "runtime/images.h"
#include "runtime/replace_file.h"

namespace runtime {
namespace {

std::vector<const ImageEncoder*> encoderList;
bool pngRegistered = false;

int WritePngRgb(const std::string& path, const std::uint8_t* pixels, int width, int height, int stride,
                int layoutFlags, int option, int requestedDepth, int* folderSyncError) {
    return WritePngFile(path, pixels, width, height, stride, layoutFlags, option, requestedDepth, PNG_COLOR_TYPE_RGB,
                        folderSyncError);
}

int WritePngRgba(const std::string& path, const std::uint8_t* pixels, int width, int height, int stride,
                 int layoutFlags, int option, int requestedDepth, int* folderSyncError) {
    return WritePngFile(path, pixels, width, height, stride, layoutFlags, option, requestedDepth,
                        PNG_COLOR_TYPE_RGB_ALPHA, folderSyncError);
}

const ImageEncoder pngEncoder{EncoderPng, WritePngRgb, WritePngRgba};

// The runtime shows and logs nothing: libpng's errors come back through the
// jump, its warnings are dropped.
void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

// Everything between setjmp and the jump back lives in plain variables: no
// destructor is skipped by libpng's longjmp.
bool EncodeRows(std::FILE* file, const std::uint8_t* pixels, int width, int height, int stride, int layoutFlags,
                int colourType) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) return false;
    png_infop volatile info = nullptr;
    if (setjmp(*png_set_longjmp_fn(png, longjmp, sizeof(jmp_buf)))) {
        png_infop i = info;
        png_destroy_write_struct(&png, &i);
        return false;
    }
    png_init_io(png, file);
    info = png_create_info_struct(png);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_set_bgr(png);
    png_write_info(png, info);
    for (int i = 0; i < height; ++i) {
        // Bottom-up memory: the top picture row is the last stored one.
        const int stored = (layoutFlags & LayoutBottomUp) ? height - 1 - i : i;
        png_write_row(png, pixels + static_cast<std::ptrdiff_t>(stored) * stride);
    }
    png_write_end(png, info);
    png_infop i = info;
    png_destroy_write_struct(&png, &i);
    return true;
}

}  // namespace

void RegisterPngEncoder() {
    if (pngRegistered) return;
    pngRegistered = true;
    encoderList.push_back(&pngEncoder);
}

void ResetEncoders() {
    encoderList.clear();
    pngRegistered = false;
}

int WritePngFile(const std::string& path, const std::uint8_t* pixels, int width, int height, int stride,
                 int layoutFlags, int /*option*/, int requestedDepth, int colourType, int* folderSyncError) {
    if (!pixels || width <= 0 || height <= 0) return 0;
    // Palette output (depths 1 to 8) is never asked for by this program.
    if (requestedDepth >= 1 && requestedDepth <= 8) return 0;
    FileReplacement target;
    if (!BeginReplace(path, target)) return 0;
    std::FILE* file = fdopen(target.fd, "wb");
    if (!file) {
        AbortReplace(target);
        return 0;
    }
    bool ok = EncodeRows(file, pixels, width, height, stride, layoutFlags, colourType);
    // The last buffered bytes reach the disk only here: a failure now is a
    // failure of the save.
    ok = std::fflush(file) == 0 && ok;
    // CommitReplace takes its own descriptor to the disk, closes and renames it.
    const int fd = dup(fileno(file));
    ok = std::fclose(file) == 0 && ok;
    target.fd = fd;
    if (!ok || fd < 0) {
        AbortReplace(target);
        return 0;
    }
    const bool committed = CommitReplace(target);
    if (folderSyncError) *folderSyncError = target.folderSyncError;
    return committed ? 1 : 0;
}

int SaveImageObjectAs(int number, const std::string& path, std::uint32_t encoderId, int option, int requestedDepth,
                      int* folderSyncError) {
    if (path.empty()) return 0;
    const ImageInfo info = ImageRecordOf(number);
    if (!info.pixels || info.pixels->isIcon) return 0;
    if (requestedDepth == -1) requestedDepth = info.sourceDepth;
    const ImagePixels& px = *info.pixels;
    if (encoderId == EncoderBmp) return 0;  // no built-in BMP writer in this program
    const ImageEncoder* encoder = nullptr;
    for (const ImageEncoder* e : encoderList)
        if (e->id == encoderId) {
            encoder = e;
            break;
        }
    if (!encoder) return 0;
    if (info.depth == 24) {
        return encoder->write24(path, px.bits.data(), info.width, info.height, px.stride, LayoutBottomUp, option,
                                requestedDepth, folderSyncError);
    }
    if (info.depth != 32) return 0;
    if (encoder->write32 && (requestedDepth == 32 || requestedDepth == -1)) {
        return encoder->write32(path, px.bits.data(), info.width, info.height, px.stride, LayoutBottomUp, option,
                                requestedDepth, folderSyncError);
    }
    // Lay every pixel over white and write 24 bits.
    const int stride24 = StrideFor(info.width, 24);
    std::vector<std::uint8_t> flat;
    try {
        flat.assign(static_cast<std::size_t>(stride24) * info.height, 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    for (int row = 0; row < info.height; ++row) {
        const std::uint8_t* src = px.bits.data() + static_cast<std::size_t>(px.stride) * row;
        std::uint8_t* dst = flat.data() + static_cast<std::size_t>(stride24) * row;
        for (int x = 0; x < info.width; ++x) {
            const int alpha = src[4 * x + 3];
            for (int k = 0; k < 3; ++k) dst[3 * x + k] = static_cast<std::uint8_t>((alpha * (src[4 * x + k] - 255) + 65025) / 255);
        }
    }
    return encoder->write24(path, flat.data(), info.width, info.height, stride24, LayoutBottomUp, option,
                            requestedDepth, folderSyncError);
}

int SaveImageObject(int number, const std::string& path, std::uint32_t encoderId, int* folderSyncError) {
    return SaveImageObjectAs(number, path, encoderId, 7, -1, folderSyncError);
}

}  // namespace runtime
