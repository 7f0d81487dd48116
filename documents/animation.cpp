// Frames out: an animated GIF of the pictures the PNG export draws, looping
// forever at a rate; and a file of frames read whole for the command line.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <unordered_map>

#include "documents/conversions.h"
#include "documents/documents.h"
#include "runtime/gif_writer.h"
#include "runtime/images.h"

namespace documents {
namespace {

// The frame as the export draws it, a colour index a pixel.
bool DrawFrame(const lores::LoresPage& page, const lores::Palette& palette, bool mixed, CellSize cells,
               const std::unordered_map<std::uint32_t, int>& indices, std::vector<std::uint8_t>& pixels) {
    const int Width = cells.ScreenWidth(), Height = cells.ScreenHeight();
    if (!runtime::CreateImageObject(ExportImage, Width, Height) ||
        !runtime::BeginDrawing(runtime::ImageDrawTarget(ExportImage)))
        return false;
    DrawPageBoxes(page, palette, cells);
    if (mixed) DrawMixedText(page, cells);
    runtime::EndDrawing();
    const runtime::ImagePixels* drawn = runtime::ImageRecordOf(ExportImage).pixels;
    if (!drawn) return false;
    pixels.resize(static_cast<std::size_t>(Width) * Height);
    for (int y = 0; y < Height; ++y) {
        const std::uint8_t* row = drawn->bits.data() + static_cast<std::size_t>(Height - 1 - y) * drawn->stride;
        for (int x = 0; x < Width; ++x) {
            const std::uint8_t* p = row + 3 * x;  // blue, green, red
            const std::uint32_t rgb = std::uint32_t{p[2]} << 16 | p[1] << 8 | p[0];
            const auto found = indices.find(rgb);
            if (found == indices.end()) return false;
            pixels[static_cast<std::size_t>(y) * Width + x] = static_cast<std::uint8_t>(found->second);
        }
    }
    return true;
}

// Each frame's delay in hundredths of a second, spread so that the whole
// keeps the rate (at 30 a second: 3, 3, 4...); never under 2, which many
// viewers take for 10.
int DelayOf(std::size_t frame, int fps) {
    const auto at = [fps](std::size_t k) { return std::lround(100.0 * static_cast<double>(k) / fps); };
    return std::max(2, static_cast<int>(at(frame + 1) - at(frame)));
}

bool Encode(const std::vector<lores::LoresPage>& frames, const lores::Palette& palette, bool mixed, int fps,
            CellSize cells, std::vector<std::uint8_t>& out, std::string& why) {
    const int Width = cells.ScreenWidth(), Height = cells.ScreenHeight();
    // The colours the export draws with: the palette's, and the text's
    // white and black (a colour two numbers share is the first's).
    std::vector<std::uint32_t> colours;
    std::unordered_map<std::uint32_t, int> indices;
    const auto add = [&](std::uint32_t bgr) {
        const std::uint32_t rgb = (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
        if (indices.try_emplace(rgb, static_cast<int>(colours.size())).second) colours.push_back(rgb);
    };
    for (const lores::ColourValue c : palette) add(c);
    add(0xFFFFFF);
    add(0);
    colours.resize(32, 0);
    runtime::GifOut* gif = runtime::GifBegin(Width, Height, colours, out, why);
    if (!gif) return false;
    std::vector<std::uint8_t> drawn;
    bool ok = true;
    for (std::size_t i = 0; i < frames.size() && ok; ++i)
        ok = DrawFrame(frames[i], palette, mixed, cells, indices, drawn) &&
             runtime::GifFrame(gif, DelayOf(i, fps), drawn.data());
    runtime::FreeImageObject(ExportImage);
    return runtime::GifEnd(gif) && ok;
}

}  // namespace

runtime::WriteResult SaveAnimation(const std::vector<lores::LoresPage>& frames, const std::string& path,
                                   const lores::Palette& palette, bool mixed, int fps, PixelAspect aspect) {
    runtime::WriteResult result;
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (frames.empty() || !Encode(frames, palette, mixed, std::clamp(fps, 1, 60), CellsOf(aspect), bytes, why)) {
        result.error = "the animation could not be made";
        if (!why.empty()) result.error += " (" + why + ")";
        return result;
    }
    result = WriteWholeFile(path, bytes);
    if (result && fps > 50)
        result.note = "a GIF plays at most 50 frames a second (its delays count hundredths, and viewers slow "
                      "shorter ones down): written at 50, not " + std::to_string(std::min(fps, 60));
    return result;
}

}  // namespace documents
