// The error the eye sees of a page made from a photograph: the page drawn in
// its palette and the photograph averaged into the same cells, both blurred
// by about a cell, as the mean OKLab distance.
// Usage: photo_error PHOTO PAGE|PAGE.png [PALETTE [FIT [sharp]]]
// PAGE.png is a 40x48 picture of the palette's colours (another program's
// answer); prints the error.
#include <cmath>
#include <cstdio>
#include <functional>
#include <tuple>
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

// A measure the conversion does not search by: a blur of about half a cell
// (the cell itself, a little of its four neighbours) and the distance in
// linear light, as the eye sees the page up close.
double SharpError(const documents::CellColours& chosen, const lores::Palette& palette, const documents::LinearCells& cells) {
    const auto linear = [&](int n) {
        const auto v = palette[static_cast<std::size_t>(n)];
        return documents::LinearRgb{documents::LinearOf(v & 0xFF), documents::LinearOf((v >> 8) & 0xFF),
                                    documents::LinearOf((v >> 16) & 0xFF)};
    };
    const int cols = lores::PageWidth, rows = lores::PageHeight;
    const auto blurred = [&](const std::function<documents::LinearRgb(int)>& at, int x, int y) {
        documents::LinearRgb sum{0, 0, 0};
        float weight = 0;
        for (const auto& [dx, dy, w] : {std::tuple{0, 0, 0.6f}, {1, 0, 0.1f}, {-1, 0, 0.1f}, {0, 1, 0.1f}, {0, -1, 0.1f}}) {
            const int u = x + dx, v = y + dy;
            if (u < 0 || u >= cols || v < 0 || v >= rows) continue;
            const auto c = at(v * cols + u);
            for (std::size_t k = 0; k < 3; ++k) sum[k] += w * c[k];
            weight += w;
        }
        for (float& c : sum) c /= weight;
        return sum;
    };
    double total = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            const auto a = blurred([&](int i) { return linear(chosen[static_cast<std::size_t>(i)]); }, x, y);
            const auto b = blurred([&](int i) { return cells[static_cast<std::size_t>(i)]; }, x, y);
            total += std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
        }
    return total / (cols * rows);
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
    if (argc > 5 && std::string(argv[5]) == "sharp") {
        std::printf("%.5f\n", SharpError(colours, palette->colours, cells));
        return 0;
    }
    std::printf("%.5f\n", documents::SeenError(colours, palette->colours, cells));
    return 0;
}
