// Numbered off-screen images and the small drawing layer over them: one
// current DrawingContext at a time, opened on an image or a canvas, in which
// FillBox writes opaque boxes straight into 24-bit bottom-up pixel memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace runtime {

using ColourValue = std::uint32_t;  // red bits 0..7, green 8..15, blue 16..23
using ImageHandleValue = std::uintptr_t;

inline constexpr int AllImages = -1;
inline constexpr std::uint32_t FormatBmp = 0x504D42;    // "BMP"
inline constexpr std::uint32_t FormatIcon = 0x4E4F4349; // "ICON"

constexpr ColourValue RgbColour(int red, int green, int blue) {
    return static_cast<ColourValue>(red + 256 * green + 65536 * blue);
}

// Pixel memory of an image: rows bottom-up, blue-green-red(-alpha), each row
// padded to a multiple of 4 bytes.
struct ImagePixels {
    bool isIcon = false;
    int width = 0;
    int height = 0;
    int depth = 24;  // bits per pixel: 24, or 32 (icons are always 32)
    int stride = 0;
    std::vector<std::uint8_t> bits;
};

constexpr int StrideFor(int width, int depth) {
    return depth == 32 ? 4 * width : (3 * width + 3) / 4 * 4;
}

void InitImages();

ImageHandleValue CreateImageObject(int number, int width, int height);

// Decodes an uncompressed BMP (24 or 32 bits, bottom-up or top-down) or an
// icon file. Data shorter than its headers claim is refused.
ImageHandleValue LoadImageFromMemory(int number, const std::uint8_t* data, std::size_t length);
// The BMP reader alone: pixels bottom-up, 24 or 32 bits as the file has them
// (sourceDepth), without making an image object.
bool DecodeBmp(const std::uint8_t* data, std::size_t length, ImagePixels& out, int& sourceDepth);

ImageHandleValue ImageHandle(int number);
void FreeImageObject(int number);

// The pixels behind a handle that ImageHandle gave, or nullptr when it
// names no live image.
const ImagePixels* ImagePixelsFromHandle(ImageHandleValue handle);

// Width, height, depth and source depth of an image record (0 when empty).
struct ImageInfo {
    int width = 0, height = 0, depth = 0, sourceDepth = 0;
    std::uint32_t formatTag = 0;
    const ImagePixels* pixels = nullptr;
};
ImageInfo ImageRecordOf(int number);

// --- drawing ---------------------------------------------------------------

struct DrawingContext;

// A rectangle that a drawing span wrote, in picture coordinates (y down).
struct ChangedArea {
    int x = 0, y = 0, width = 0, height = 0;
};
// A span keeps this many separate rectangles; past that, their bounding box.
inline constexpr int MaxChangedAreas = 64;

// What a target hands the drawing layer: pixel memory and a finish step,
// which runs with 1 when drawing ends normally and 0 when it is abandoned.
// A target that shows its pixels may ask instead for the finish step that
// also gets the rectangles the span wrote, so that it shows only those.
struct DrawSurface {
    std::uint8_t* pixels = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
    void (*finish)(int flag, void* user) = nullptr;
    void* user = nullptr;
    void (*finishChanged)(int flag, void* user, const ChangedArea* areas, int count) = nullptr;
};

// Makes a new current context over the surface (ending any context a
// careless caller left open).
DrawingContext* MakeDrawTarget(const DrawSurface& surface);
DrawingContext* ImageDrawTarget(int number);

// Non-zero on success; 0 for no target, after which no context is current.
std::uintptr_t BeginDrawing(DrawingContext* target);
void FillBox(int x, int y, int width, int height, ColourValue colour);
void EndDrawing();

// Called by the owner of pixel memory that is about to go: a context open
// on it ends, and later drawing calls do nothing.
void InvalidateDrawTarget(const std::uint8_t* pixels);

}  // namespace runtime
