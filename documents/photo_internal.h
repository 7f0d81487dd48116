// What the conversion's methods share: the palette in linear light and
// OKLab, the blur the eye gives the cells at a pixel aspect, and the search
// that works against it.
#pragma once

#include <array>
#include <algorithm>
#include <cmath>

#include "documents/oklab.h"
#include "documents/photo_conversion.h"

namespace documents::photo {

constexpr int Cols = lores::PageWidth, Rows = lores::PageHeight;

inline float Distance2(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    const float x = a[0] - b[0], y = a[1] - b[1], z = a[2] - b[2];
    return x * x + y * y + z * z;
}

// The palette as linear light and as OKLab.
struct Colours {
    std::array<LinearRgb, lores::ColourCount> linear;
    std::array<Lab, lores::ColourCount> lab;
    explicit Colours(const lores::Palette& palette) {
        for (int n = 0; n < lores::ColourCount; ++n) {
            const lores::ColourValue v = palette[static_cast<std::size_t>(n)];
            linear[static_cast<std::size_t>(n)] = {LinearOf(v & 0xFF), LinearOf((v >> 8) & 0xFF),
                                                   LinearOf((v >> 16) & 0xFF)};
            lab[static_cast<std::size_t>(n)] = OkLabOf(linear[static_cast<std::size_t>(n)]);
        }
    }
    int Nearest(const LinearRgb& c) const {
        const Lab want = OkLabOf({std::clamp(c[0], 0.f, 1.f), std::clamp(c[1], 0.f, 1.f), std::clamp(c[2], 0.f, 1.f)});
        int best = 0;
        for (int n = 1; n < lores::ColourCount; ++n)
            if (Distance2(lab[static_cast<std::size_t>(n)], want) < Distance2(lab[static_cast<std::size_t>(best)], want))
                best = n;
        return best;
    }
};

// How much taller a cell is for its width, squared: how a distance down
// counts beside one across on the screen (1/4 with the 2:1 cells).
inline float Squash(PixelAspect aspect) {
    const CellSize c = CellsOf(aspect);
    return static_cast<float>(c.height * c.height) / static_cast<float>(c.width * c.width);
}

// The blur the eye gives the cells from a normal distance: a Gaussian of a
// cell's width, which on the screen is two cells down at 2:1 (1.6 at 8:5).
constexpr int BlurX = 3, BlurY = 6;
struct Blur {
    float weight[2 * BlurY + 1][2 * BlurX + 1];
    explicit Blur(float squash) {
        float sum = 0;
        for (int y = -BlurY; y <= BlurY; ++y)
            for (int x = -BlurX; x <= BlurX; ++x)
                sum += weight[y + BlurY][x + BlurX] = std::exp(-0.5f * (x * x + y * y * squash));
        for (auto& row : weight)
            for (float& w : row) w /= sum;
    }
    float At(int dx, int dy) const { return weight[dy + BlurY][dx + BlurX]; }
};
inline const Blur& TheBlur(PixelAspect aspect) {
    static const Blur blurs[] = {Blur(Squash(PixelAspects[0])), Blur(Squash(PixelAspects[1])),
                                 Blur(Squash(PixelAspects[2]))};
    return blurs[static_cast<int>(aspect)];
}

// Visits the cells on the page that the blur of cell (x, y) reaches:
// visit(weight, index).
template <typename Visit>
void UnderBlur(const Blur& blur, int x, int y, Visit visit) {
    for (int dy = -BlurY; dy <= BlurY; ++dy)
        for (int dx = -BlurX; dx <= BlurX; ++dx) {
            const int tx = x + dx, ty = y + dy;
            if (tx >= 0 && tx < Cols && ty >= 0 && ty < Rows) visit(blur.At(dx, dy), static_cast<std::size_t>(ty * Cols + tx));
        }
}

using Vec3 = std::array<float, 3>;

// Direct binary search from the diffusion's answer (start).
CellColours Search(const LinearCells& cells, const Colours& colours, CellColours start, PixelAspect aspect);

}  // namespace documents::photo
