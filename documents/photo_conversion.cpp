#include "documents/photo_conversion.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "documents/photo_internal.h"

namespace documents {
namespace {

using namespace photo;


const std::array<float, 256>& LinearTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            t[static_cast<std::size_t>(i)] =
                static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table;
}


// Which source pixels cover a span of the screen, and how much of it each.
struct Cover {
    int pixel;
    float share;  // of the span's length
};
std::vector<std::vector<Cover>> Spans(int count, double spanLength, int pixels, double scale, double origin) {
    std::vector<std::vector<Cover>> spans(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double a = (i * spanLength - origin) / scale, b = ((i + 1) * spanLength - origin) / scale;
        for (int p = std::max(0, static_cast<int>(std::floor(a))); p < std::min(pixels, static_cast<int>(std::ceil(b)));
             ++p) {
            const double inside = std::min<double>(p + 1, b) - std::max<double>(p, a);
            if (inside > 0) spans[static_cast<std::size_t>(i)].push_back({p, static_cast<float>(inside * scale / spanLength)});
        }
    }
    return spans;
}


// Error diffusion along serpentine rows: each neighbour's share (for a row
// left to right) with its offset.
struct Share {
    int dx, dy;
    float weight;
};
CellColours Diffuse(const LinearCells& cells, const Colours& colours, const std::vector<Share>& shares) {
    LinearCells work = cells;
    CellColours out{};
    for (int y = 0; y < Rows; ++y) {
        const bool leftward = y % 2 == 1;
        for (int i = 0; i < Cols; ++i) {
            const int x = leftward ? Cols - 1 - i : i;
            LinearRgb& v = work[static_cast<std::size_t>(y * Cols + x)];
            for (float& c : v) c = std::clamp(c, -0.25f, 1.25f);  // no error builds up past what can be shown
            const int n = colours.Nearest(v);
            out[static_cast<std::size_t>(y * Cols + x)] = static_cast<std::uint8_t>(n);
            const LinearRgb& got = colours.linear[static_cast<std::size_t>(n)];
            for (const Share& s : shares) {
                const int tx = x + (leftward ? -s.dx : s.dx), ty = y + s.dy;
                if (tx < 0 || tx >= Cols || ty >= Rows) continue;
                LinearRgb& t = work[static_cast<std::size_t>(ty * Cols + tx)];
                for (int c = 0; c < 3; ++c) t[static_cast<std::size_t>(c)] += s.weight * (v[static_cast<std::size_t>(c)] - got[static_cast<std::size_t>(c)]);
            }
        }
    }
    return out;
}

// A method's shares weighed by how far the neighbour is on the screen (at
// 2:1 a cell is two units across, one down), to the total given.
std::vector<Share> OnScreen(std::vector<Share> shares, float total, PixelAspect aspect) {
    float sum = 0;
    const float across = 1.0f / Squash(aspect);
    for (Share& s : shares) sum += s.weight /= std::sqrt(across * s.dx * s.dx + 1.0f * s.dy * s.dy);
    for (Share& s : shares) s.weight *= total / sum;
    return shares;
}

// Ordered: between the two colours whose mixture comes nearest, the second
// where the cell's threshold falls below its share. The thresholds are an
// 8x8 Bayer matrix's even columns: square on the screen, four cells across
// and eight down.
CellColours Ordered(const LinearCells& cells, const Colours& colours) {
    static const int Bayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    CellColours out{};
    for (int y = 0; y < Rows; ++y)
        for (int x = 0; x < Cols; ++x) {
            const LinearRgb& v = cells[static_cast<std::size_t>(y * Cols + x)];
            const int first = colours.Nearest(v);
            const LinearRgb& p = colours.linear[static_cast<std::size_t>(first)];
            int second = first;
            float share = 0, best = Distance2(v, p);
            for (int n = 0; n < lores::ColourCount; ++n) {
                const LinearRgb& q = colours.linear[static_cast<std::size_t>(n)];
                const LinearRgb d = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
                const float length2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
                if (length2 <= 0) continue;
                const float t = std::clamp(((v[0] - p[0]) * d[0] + (v[1] - p[1]) * d[1] + (v[2] - p[2]) * d[2]) / length2, 0.f, 1.f);
                const float miss = Distance2(v, {p[0] + t * d[0], p[1] + t * d[1], p[2] + t * d[2]});
                if (t > 0 && miss < best) best = miss, second = n, share = t;
            }
            const float threshold = (static_cast<float>(Bayer[y % 8][2 * (x % 4)] / 2) + 0.5f) / 32.0f;
            out[static_cast<std::size_t>(y * Cols + x)] = static_cast<std::uint8_t>(threshold < share ? second : first);
        }
    return out;
}


// The cells blurred as the eye sees them (the blur's weights inside the
// page make up the whole at its edges).
std::vector<LinearRgb> Blurred(const Blur& blur, const std::function<const LinearRgb&(int)>& cell) {
    std::vector<LinearRgb> out(CellCount);
    for (int y = 0; y < Rows; ++y)
        for (int x = 0; x < Cols; ++x) {
            LinearRgb sum{0, 0, 0};
            float weight = 0;
            UnderBlur(blur, x, y, [&](float g, std::size_t k) {
                const LinearRgb& v = cell(static_cast<int>(k));
                for (std::size_t c = 0; c < 3; ++c) sum[c] += g * v[c];
                weight += g;
            });
            for (float& c : sum) c /= weight;
            out[static_cast<std::size_t>(y * Cols + x)] = sum;
        }
    return out;
}

// Where the fit puts the picture on the screen: its scale across and down,
// and the screen position of its top left corner.
struct Placing {
    double sx, sy, ox, oy;
};
Placing PlacingOf(int width, int height, FitMode fit, CellSize cell) {
    const double screenWidth = cell.ScreenWidth(), screenHeight = cell.ScreenHeight();
    double sx = screenWidth / width, sy = screenHeight / height;
    if (fit != FitMode::Stretch) sx = sy = fit == FitMode::Fit ? std::min(sx, sy) : std::max(sx, sy);
    return {sx, sy, (screenWidth - width * sx) / 2, (screenHeight - height * sy) / 2};
}

}  // namespace

CellSpan CellsCovered(int width, int height, FitMode fit, PixelAspect aspect) {
    if (width <= 0 || height <= 0) return {};
    const CellSize c = CellsOf(aspect);
    const Placing at = PlacingOf(width, height, fit, c);
    const auto cell = [](double screen, double size, int count) {
        return std::clamp(static_cast<int>(std::lround(screen / size)), 0, count);
    };
    return {cell(at.ox, c.width, Cols), cell(at.oy, c.height, Rows), cell(at.ox + width * at.sx, c.width, Cols),
            cell(at.oy + height * at.sy, c.height, Rows)};
}

float LinearOf(std::uint8_t encoded) { return LinearTable()[encoded]; }

std::uint8_t EncodedOf(float linear) {
    const double c = std::clamp(static_cast<double>(linear), 0.0, 1.0);
    const double e = c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(e * 255));
}

namespace {
LinearCells Average(const std::uint8_t* rgba, int width, int height, const Placing& at, CellSize cell) {
    LinearCells cells{};
    if (!rgba || width <= 0 || height <= 0) return cells;
    const auto columns = Spans(Cols, cell.width, width, at.sx, at.ox), rows = Spans(Rows, cell.height, height, at.sy, at.oy);
    // Which cell rows each picture row falls in, with its share of them.
    std::vector<std::vector<std::pair<int, float>>> rowUse(static_cast<std::size_t>(height));
    for (int cy = 0; cy < Rows; ++cy)
        for (const Cover& c : rows[static_cast<std::size_t>(cy)]) rowUse[static_cast<std::size_t>(c.pixel)].push_back({cy, c.share});
    const std::array<float, 256>& linear = LinearTable();
    std::vector<LinearRgb> across(Cols);
    for (int py = 0; py < height; ++py) {
        if (rowUse[static_cast<std::size_t>(py)].empty()) continue;
        const std::uint8_t* row = rgba + static_cast<std::size_t>(py) * width * 4;
        for (int cx = 0; cx < Cols; ++cx) {
            LinearRgb sum{0, 0, 0};
            for (const Cover& c : columns[static_cast<std::size_t>(cx)]) {
                const std::uint8_t* p = row + 4 * c.pixel;
                const float w = c.share * p[3] / 255.0f;  // over black
                for (int k = 0; k < 3; ++k) sum[static_cast<std::size_t>(k)] += w * linear[p[k]];
            }
            across[static_cast<std::size_t>(cx)] = sum;
        }
        for (const auto& [cy, share] : rowUse[static_cast<std::size_t>(py)])
            for (int cx = 0; cx < Cols; ++cx)
                for (int k = 0; k < 3; ++k)
                    cells[static_cast<std::size_t>(cy * Cols + cx)][static_cast<std::size_t>(k)] += share * across[static_cast<std::size_t>(cx)][static_cast<std::size_t>(k)];
    }
    return cells;
}
}  // namespace

LinearCells AverageIntoCells(const std::uint8_t* rgba, int width, int height, FitMode fit, PixelAspect aspect) {
    if (width <= 0 || height <= 0) return {};
    return Average(rgba, width, height, PlacingOf(width, height, fit, CellsOf(aspect)), CellsOf(aspect));
}

LinearCells AverageIntoBlock(const std::uint8_t* rgba, int width, int height, int cols, int rows) {
    if (width <= 0 || height <= 0) return {};
    const CellSize cell;  // a block is the program's own 16x8 cells
    return Average(rgba, width, height, {double(cols * cell.width) / width, double(rows * cell.height) / height, 0, 0},
                   cell);
}

CellColours ChooseColours(const LinearCells& cells, const lores::Palette& palette, DitherMethod method,
                          PixelAspect aspect) {
    const Colours colours(palette);
    const auto floydSteinberg = [&] {
        return Diffuse(cells, colours, OnScreen({{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}, 1.0f, aspect));
    };
    switch (method) {
    case DitherMethod::FloydSteinberg: return floydSteinberg();
    case DitherMethod::Atkinson:
        return Diffuse(cells, colours, OnScreen({{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}}, 0.75f, aspect));
    case DitherMethod::Ordered: return Ordered(cells, colours);
    case DitherMethod::Search: return Search(cells, colours, floydSteinberg(), aspect);
    case DitherMethod::None: break;
    }
    CellColours out{};
    for (int i = 0; i < CellCount; ++i) out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(colours.Nearest(cells[static_cast<std::size_t>(i)]));
    return out;
}

double SeenError(const CellColours& chosen, const lores::Palette& palette, const LinearCells& cells,
                 PixelAspect aspect) {
    const Colours colours(palette);
    const Blur& blur = TheBlur(aspect);
    const auto page = Blurred(blur, [&](int i) -> const LinearRgb& { return colours.linear[chosen[static_cast<std::size_t>(i)]]; });
    const auto picture = Blurred(blur, [&](int i) -> const LinearRgb& { return cells[static_cast<std::size_t>(i)]; });
    double sum = 0;
    for (int i = 0; i < CellCount; ++i)
        sum += std::sqrt(Distance2(OkLabOf(page[static_cast<std::size_t>(i)]), OkLabOf(picture[static_cast<std::size_t>(i)])));
    return sum / CellCount;
}

}  // namespace documents
