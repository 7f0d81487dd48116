// The error the eye sees of a page made from a photograph: the page drawn in
// its palette and the photograph averaged into the same cells, both blurred
// by about a cell, as the mean OKLab distance.
// Usage: photo_error PHOTO PAGE|PAGE.png [PALETTE [FIT]]
// PAGE.png is a 40x48 picture of the palette's colours (another program's
// answer); prints the error.
#include <cstdio>
#include <string>

#include "documents/documents.h"
#include "documents/photo_conversion.h"
#include "lores/drawing.h"
#include "runtime/png_decoder.h"

namespace {

bool ColoursOf(const std::string& path, const lores::Palette& palette, documents::CellColours& colours) {
    runtime::DecodedImage image;
    std::string why;
    if (runtime::ReadPngFile(path, image, why)) {
        if (image.width != lores::PageWidth || image.height != lores::PageHeight) return false;
        for (int i = 0; i < documents::CellCount; ++i) {
            const std::uint8_t* p = image.rgba.data() + 4 * i;
            const lores::ColourValue v = p[0] | p[1] << 8 | p[2] << 16;
            int n = 0;
            while (n < lores::ColourCount && palette[static_cast<std::size_t>(n)] != v) ++n;
            if (n == lores::ColourCount) {
                std::fprintf(stderr, "photo_error: %s: a colour not in the palette\n", path.c_str());
                return false;
            }
            colours[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n);
        }
        return true;
    }
    lores::LoresPage page{};
    if (documents::ReadPageFile(path, page).bytes != lores::PageBytes) return false;
    for (int y = 0; y < lores::PageHeight; ++y)
        for (int x = 0; x < lores::PageWidth; ++x)
            colours[static_cast<std::size_t>(y * lores::PageWidth + x)] = static_cast<std::uint8_t>(lores::PixelAt(page, x, y));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: photo_error PHOTO PAGE|PAGE.png [PALETTE [FIT]]\n");
        return 2;
    }
    const lores::NamedPalette* palette = argc > 3 ? lores::FindPalette(argv[3]) : &lores::Palettes().front();
    documents::FitMode fit = documents::FitMode::Fit;
    if (!palette || (argc > 4 && !documents::FindName(argv[4], fit))) return 2;
    runtime::DecodedImage photo;
    std::string why;
    documents::CellColours colours{};
    if (!runtime::ReadPictureFile(argv[1], photo, why) || !ColoursOf(argv[2], palette->colours, colours)) {
        std::fprintf(stderr, "photo_error: cannot read %s or %s %s\n", argv[1], argv[2], why.c_str());
        return 1;
    }
    const auto cells = documents::AverageIntoCells(photo.rgba.data(), photo.width, photo.height, fit);
    std::printf("%.5f\n", documents::SeenError(colours, palette->colours, cells));
    return 0;
}
