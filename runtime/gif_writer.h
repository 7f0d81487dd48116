// Animated GIFs out: a screen of colour indices that loops forever, then
// frames with their delays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace runtime {

struct GifOut;

// Starts a GIF89a of width x height pixels with colours (0xRRGGBB, a power
// of two of them, at most 256) that loops forever, written to bytes; nothing,
// with the reason, when it cannot be started.
GifOut* GifBegin(int width, int height, const std::vector<std::uint32_t>& colours, std::vector<std::uint8_t>& bytes,
                 std::string& why);
// A frame: its delay in hundredths of a second, and width x height colour
// indices, the top row first.
bool GifFrame(GifOut* gif, int delay, const std::uint8_t* indices);
// Ends the GIF and lets it go, whole or not; false when it could not be
// finished.
bool GifEnd(GifOut* gif);

}  // namespace runtime
