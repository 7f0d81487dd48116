#include "documents/photo_conversion.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "documents/oklab.h"

namespace documents {
namespace {

constexpr int Cols = lores::PageWidth, Rows = lores::PageHeight;
constexpr double ScreenWidth = 640, ScreenHeight = 384, CellW = 16, CellH = 8;

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

float Distance2(const std::array<float, 3>& a, const std::array<float, 3>& b) {
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

// The blur the eye gives the cells from a normal distance: a Gaussian of a
// cell's width, which on the screen is two cells down.
constexpr int BlurX = 3, BlurY = 6;
struct Blur {
    float weight[2 * BlurY + 1][2 * BlurX + 1];
    Blur() {
        float sum = 0;
        for (int y = -BlurY; y <= BlurY; ++y)
            for (int x = -BlurX; x <= BlurX; ++x)
                sum += weight[y + BlurY][x + BlurX] = std::exp(-0.5f * (x * x + y * y / 4.0f));
        for (auto& row : weight)
            for (float& w : row) w /= sum;
    }
    float At(int dx, int dy) const { return weight[dy + BlurY][dx + BlurX]; }
};
const Blur& TheBlur() {
    static const Blur blur;
    return blur;
}

// Visits the cells on the page that the blur of cell (x, y) reaches:
// visit(weight, index).
template <typename Visit>
void UnderBlur(int x, int y, Visit visit) {
    const Blur& blur = TheBlur();
    for (int dy = -BlurY; dy <= BlurY; ++dy)
        for (int dx = -BlurX; dx <= BlurX; ++dx) {
            const int tx = x + dx, ty = y + dy;
            if (tx >= 0 && tx < Cols && ty >= 0 && ty < Rows) visit(blur.At(dx, dy), static_cast<std::size_t>(ty * Cols + tx));
        }
}

using Vec3 = std::array<float, 3>;

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

// A method's shares weighed by how far the neighbour is on the screen (a
// cell is two units across, one down), to the total given.
std::vector<Share> OnScreen(std::vector<Share> shares, float total) {
    float sum = 0;
    for (Share& s : shares) sum += s.weight /= std::sqrt(4.0f * s.dx * s.dx + 1.0f * s.dy * s.dy);
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

// The blur met with itself over the page: how a change at one cell moves
// the blurred error as another cell's blur weighs it. The blur is a
// product of a curve across and one down, and the page a rectangle, so this
// is a product too: across[a][b] * down[c][d] for cells (a, c) and (b, d).
struct SelfBlur {
    float across[Cols][Cols] = {};
    float down[Rows][Rows] = {};
    SelfBlur() {
        const Blur& blur = TheBlur();
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
CellColours Search(const LinearCells& cells, const Colours& colours, CellColours start) {
    const auto opponent = [](const LinearRgb& c) -> Vec3 {
        return {0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2], 0.5f * (c[0] - c[1]),
                0.35f * (0.5f * (c[0] + c[1]) - c[2])};
    };
    std::array<Vec3, lores::ColourCount> palette;
    for (int n = 0; n < lores::ColourCount; ++n) palette[static_cast<std::size_t>(n)] = opponent(colours.linear[static_cast<std::size_t>(n)]);
    static const SelfBlur self;
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

// The cells blurred as the eye sees them (the blur's weights inside the
// page make up the whole at its edges).
std::vector<LinearRgb> Blurred(const std::function<const LinearRgb&(int)>& cell) {
    std::vector<LinearRgb> out(CellCount);
    for (int y = 0; y < Rows; ++y)
        for (int x = 0; x < Cols; ++x) {
            LinearRgb sum{0, 0, 0};
            float weight = 0;
            UnderBlur(x, y, [&](float g, std::size_t k) {
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
Placing PlacingOf(int width, int height, FitMode fit) {
    double sx = ScreenWidth / width, sy = ScreenHeight / height;
    if (fit != FitMode::Stretch) sx = sy = fit == FitMode::Fit ? std::min(sx, sy) : std::max(sx, sy);
    return {sx, sy, (ScreenWidth - width * sx) / 2, (ScreenHeight - height * sy) / 2};
}

}  // namespace

CellSpan CellsCovered(int width, int height, FitMode fit) {
    if (width <= 0 || height <= 0) return {};
    const Placing at = PlacingOf(width, height, fit);
    const auto cell = [](double screen, double size, int count) {
        return std::clamp(static_cast<int>(std::lround(screen / size)), 0, count);
    };
    return {cell(at.ox, CellW, Cols), cell(at.oy, CellH, Rows), cell(at.ox + width * at.sx, CellW, Cols),
            cell(at.oy + height * at.sy, CellH, Rows)};
}

float LinearOf(std::uint8_t encoded) { return LinearTable()[encoded]; }

std::uint8_t EncodedOf(float linear) {
    const double c = std::clamp(static_cast<double>(linear), 0.0, 1.0);
    const double e = c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(e * 255));
}

namespace {
LinearCells Average(const std::uint8_t* rgba, int width, int height, const Placing& at) {
    LinearCells cells{};
    if (!rgba || width <= 0 || height <= 0) return cells;
    const auto columns = Spans(Cols, CellW, width, at.sx, at.ox), rows = Spans(Rows, CellH, height, at.sy, at.oy);
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

LinearCells AverageIntoCells(const std::uint8_t* rgba, int width, int height, FitMode fit) {
    if (width <= 0 || height <= 0) return {};
    return Average(rgba, width, height, PlacingOf(width, height, fit));
}

LinearCells AverageIntoBlock(const std::uint8_t* rgba, int width, int height, int cols, int rows) {
    if (width <= 0 || height <= 0) return {};
    return Average(rgba, width, height, {cols * CellW / width, rows * CellH / height, 0, 0});
}

CellColours ChooseColours(const LinearCells& cells, const lores::Palette& palette, DitherMethod method) {
    const Colours colours(palette);
    const auto floydSteinberg = [&] {
        return Diffuse(cells, colours, OnScreen({{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}, 1.0f));
    };
    switch (method) {
    case DitherMethod::FloydSteinberg: return floydSteinberg();
    case DitherMethod::Atkinson:
        return Diffuse(cells, colours, OnScreen({{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}}, 0.75f));
    case DitherMethod::Ordered: return Ordered(cells, colours);
    case DitherMethod::Search: return Search(cells, colours, floydSteinberg());
    case DitherMethod::None: break;
    }
    CellColours out{};
    for (int i = 0; i < CellCount; ++i) out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(colours.Nearest(cells[static_cast<std::size_t>(i)]));
    return out;
}

double SeenError(const CellColours& chosen, const lores::Palette& palette, const LinearCells& cells) {
    const Colours colours(palette);
    const auto page = Blurred([&](int i) -> const LinearRgb& { return colours.linear[chosen[static_cast<std::size_t>(i)]]; });
    const auto picture = Blurred([&](int i) -> const LinearRgb& { return cells[static_cast<std::size_t>(i)]; });
    double sum = 0;
    for (int i = 0; i < CellCount; ++i)
        sum += std::sqrt(Distance2(OkLabOf(page[static_cast<std::size_t>(i)]), OkLabOf(picture[static_cast<std::size_t>(i)])));
    return sum / CellCount;
}

}  // namespace documents
