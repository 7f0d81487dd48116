// Animated GIFs through giflib.
#include "runtime/gif_writer.h"

#include <gif_lib.h>

namespace runtime {

struct GifOut {
    GifFileType* file = nullptr;
    ColorMapObject* map = nullptr;
    int width = 0, height = 0;
};

namespace {

int AppendBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

}  // namespace

GifOut* GifBegin(int width, int height, const std::vector<std::uint32_t>& colours, std::vector<std::uint8_t>& bytes,
                 std::string& why) {
    std::vector<GifColorType> entries;
    for (const std::uint32_t rgb : colours)
        entries.push_back({static_cast<GifByteType>(rgb >> 16), static_cast<GifByteType>(rgb >> 8),
                           static_cast<GifByteType>(rgb)});
    int error = 0;
    auto* gif = new GifOut{EGifOpen(&bytes, AppendBytes, &error), nullptr, width, height};
    // Its delays and loop are GIF89a's blocks: say so in the header (giflib
    // writes GIF87a unless told).
    if (gif->file) EGifSetGifVersion(gif->file, true);
    gif->map = gif->file ? GifMakeMapObject(static_cast<int>(entries.size()), entries.data()) : nullptr;
    bool ok = gif->map && EGifPutScreenDesc(gif->file, width, height, 8, 0, gif->map) == GIF_OK;
    // Looping forever: the application extension browsers and viewers read.
    const GifByteType loop[3] = {1, 0, 0};
    ok = ok && EGifPutExtensionLeader(gif->file, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif->file, 11, "NETSCAPE2.0") == GIF_OK &&
         EGifPutExtensionBlock(gif->file, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif->file) == GIF_OK;
    if (ok) return gif;
    const char* said = GifErrorString(gif->file ? gif->file->Error : error);
    why = said ? said : "the GIF could not be started";
    GifEnd(gif);
    return nullptr;
}

bool GifFrame(GifOut* gif, int delay, const std::uint8_t* indices) {
    GraphicsControlBlock control{DISPOSE_DO_NOT, false, delay, NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    bool ok = EGifPutExtension(gif->file, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
              EGifPutImageDesc(gif->file, 0, 0, gif->width, gif->height, false, nullptr) == GIF_OK;
    for (int y = 0; y < gif->height && ok; ++y)
        ok = EGifPutLine(gif->file, const_cast<GifByteType*>(indices) + static_cast<std::size_t>(y) * gif->width,
                         gif->width) == GIF_OK;
    return ok;
}

bool GifEnd(GifOut* gif) {
    if (!gif) return false;
    GifFreeMapObject(gif->map);
    int error = 0;
    const bool ok = !gif->file || EGifCloseFile(gif->file, &error) == GIF_OK;
    const bool whole = gif->file && ok;
    delete gif;
    return whole;
}

}  // namespace runtime
