// The search: the colours one cell at a time against the blurred error.
#include <algorithm>
#include <vector>

#include "documents/photo_internal.h"

namespace documents::photo {
namespace {

// The blur met with itself over the page: how a change at one cell moves
// the blurred error as another cell's blur weighs it. The blur is a
// product of a curve across and one down, and the page a rectangle, so this
// is a product too: across[a][b] * down[c][d] for cells (a, c) and (b, d).
struct SelfBlur {
    float across[Cols][Cols] = {};
    float down[Rows][Rows] = {};
    explicit SelfBlur(const Blur& blur) {
        const float middle = blur.At(0, 0);  // the two curves' product at 0
        for (int a = 0; a < Cols; ++a)
            for (int b = 0; b < Cols; ++b)
                for (int k = std::max(a, b) - BlurX; k <= std::min(a, b) + BlurX; ++k)
                    if (k >= 0 && k < Cols) across[a][b] += blur.At(k - a, 0) * blur.At(k - b, 0) / middle;
        for (int a = 0; a < Rows; ++a)
            for (int b = 0; b < Rows; ++b)
                for (int k = std::max(a, b) - BlurY; k <= std::min(a, b) + BlurY; ++k)
                    if (k >= 0 && k < Rows) down[a][b] += blur.At(0, k - a) * blur.At(0, k - b) / middle;
    }
};

// The weight of each cell's own error beside the blurred one, as a share
// of the blur's own weight at the cell: at 2 the page stays well ahead of
// a plain Floyd-Steinberg by the blurred measure and also by one close up
// (half a cell, in linear light), where lone far colours showed as speckles.
constexpr float CellWeight = 2.0f;

// Direct binary search: from the diffusion's answer, one cell at a time
// takes the colour that lowers the blurred error most, until none does. The
// error is measured in an opponent space of linear light (luminance, and
// two colour differences weighed less), blurred within the page. Each cell
// keeps the blurred error as its own blur weighs it, so that trying a colour
// costs a few products and only a change spreads.
const SelfBlur& SelfBlurOf(PixelAspect aspect) {
    // Each made when first asked for (60 KiB a pixel aspect).
    switch (aspect) {
    case PixelAspect::SevenToFour: {
        static const SelfBlur self(TheBlur(aspect));
        return self;
    }
    case PixelAspect::EightToFive: {
        static const SelfBlur self(TheBlur(aspect));
        return self;
    }
    case PixelAspect::TwoToOne: break;
    }
    static const SelfBlur self(TheBlur(PixelAspect::TwoToOne));
    return self;
}

}  // namespace

CellColours Search(const LinearCells& cells, const Colours& colours, CellColours start, PixelAspect aspect) {
    const auto opponent = [](const LinearRgb& c) -> Vec3 {
        return {0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2], 0.5f * (c[0] - c[1]),
                0.35f * (0.5f * (c[0] + c[1]) - c[2])};
    };
    std::array<Vec3, lores::ColourCount> palette;
    for (int n = 0; n < lores::ColourCount; ++n) palette[static_cast<std::size_t>(n)] = opponent(colours.linear[static_cast<std::size_t>(n)]);
    const SelfBlur& self = SelfBlurOf(aspect);
    constexpr int RX = 2 * BlurX, RY = 2 * BlurY;
    std::vector<Vec3> toward(CellCount, {0, 0, 0});
    const auto spreadChange = [&](int x, int y, const Vec3& d) {
        for (int ty = std::max(0, y - RY); ty <= std::min(Rows - 1, y + RY); ++ty)
            for (int tx = std::max(0, x - RX); tx <= std::min(Cols - 1, x + RX); ++tx) {
                const float g = self.across[x][tx] * self.down[y][ty];
                Vec3& t = toward[static_cast<std::size_t>(ty * Cols + tx)];
                for (std::size_t c = 0; c < 3; ++c) t[c] += g * d[c];
            }
    };
    std::vector<Vec3> wants(CellCount);
    for (int y = 0; y < Rows; ++y)
        for (int x = 0; x < Cols; ++x) {
            const auto want = opponent(cells[static_cast<std::size_t>(y * Cols + x)]);
            wants[static_cast<std::size_t>(y * Cols + x)] = want;
            const auto& got = palette[start[static_cast<std::size_t>(y * Cols + x)]];
            spreadChange(x, y, {got[0] - want[0], got[1] - want[1], got[2] - want[2]});
        }
    for (int pass = 0; pass < 16; ++pass) {
        bool changed = false;
        for (int y = 0; y < Rows; ++y)
            for (int x = 0; x < Cols; ++x) {
                const Vec3& t = toward[static_cast<std::size_t>(y * Cols + x)];
                const float spread = self.across[x][x] * self.down[y][y];
                const std::uint8_t now = start[static_cast<std::size_t>(y * Cols + x)];
                const Vec3& q = palette[now];
                const Vec3& w = wants[static_cast<std::size_t>(y * Cols + x)];
                // What the eye sees close up too: the cell's own error, so
                // that a lone cell of a far colour costs what it looks like.
                const float own = CellWeight * spread;
                const float nowOwn = Distance2(q, w);
                int best = now;
                float bestChange = -1e-9f;
                for (int n = 0; n < lores::ColourCount; ++n) {
                    const Vec3& p = palette[static_cast<std::size_t>(n)];
                    const Vec3 d = {p[0] - q[0], p[1] - q[1], p[2] - q[2]};
                    const float change = 2 * (d[0] * t[0] + d[1] * t[1] + d[2] * t[2]) +
                                         spread * (d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) +
                                         own * (Distance2(p, w) - nowOwn);
                    if (change < bestChange) bestChange = change, best = n;
                }
                if (best == now) continue;
                const Vec3& p = palette[static_cast<std::size_t>(best)];
                spreadChange(x, y, {p[0] - q[0], p[1] - q[1], p[2] - q[2]});
                start[static_cast<std::size_t>(y * Cols + x)] = static_cast<std::uint8_t>(best);
                changed = true;
            }
        if (!changed) break;
    }
    return start;
}

}  // namespace documents::photo
