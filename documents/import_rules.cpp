// How a picture becomes lores cells: each block's most frequent value,
// taken as the colour number (a palette in lores order) or matched to the
// nearest colour of the palette, with a report of what was not exact.
#include "documents/import_rules.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "documents/documents.h"

namespace documents {
namespace {

using Rgb = std::uint32_t;  // red in bits 16..23, green 8..15, blue 0..7

Rgb PixelOf(const std::uint8_t* p) {
    // Alpha blended on black, rounded.
    const auto blend = [a = p[3]](std::uint8_t c) { return static_cast<Rgb>((c * a + 127) / 255); };
    return blend(p[0]) << 16 | blend(p[1]) << 8 | blend(p[2]);
}

Rgb PaletteRgb(const lores::Palette& palette, int n) {
    const auto v = palette[n];
    return (v & 0xFF) << 16 | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

// The squared distance of two colours in RGB.
long Distance(Rgb a, Rgb b) {
    long d = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const long delta = static_cast<long>((a >> shift) & 0xFF) - static_cast<long>((b >> shift) & 0xFF);
        d += delta * delta;
    }
    return d;
}

int NearestColour(const lores::Palette& palette, Rgb c) {
    int best = 0;
    long bestDistance = -1;
    for (int n = 0; n < lores::ColourCount; ++n) {
        const long d = Distance(c, PaletteRgb(palette, n));
        if (bestDistance < 0 || d < bestDistance) {
            best = n;
            bestDistance = d;
        }
    }
    return best;
}

// Whether a palette image's palette is a lores palette in lores order: every
// index the picture uses is a colour nearest, among all the program's
// palettes, to a colour of that same number (two numbers of one colour, the
// greys, count for either). Then the indices are the artist's colour
// numbers; any other palette (a quantiser's, say) is only a list of colours.
bool LoresOrdered(const runtime::DecodedImage& image) {
    // Greys 5 and 10 are one colour on the machine and near-equal in many
    // palettes: each answers for the other.
    const auto sameNumber = [](int n, int i) { return n == i || (n == 5 && i == 10) || (n == 10 && i == 5); };
    bool used[16] = {};
    for (const std::uint8_t i : image.indices) {
        if (i >= 16) return false;
        used[i] = true;
    }
    for (int i = 0; i < 16; ++i) {
        if (!used[i]) continue;
        if (static_cast<std::size_t>(i) >= image.palette.size()) return false;
        const Rgb c = image.palette[static_cast<std::size_t>(i)];
        long best = -1;
        bool numbered = false;
        for (const lores::NamedPalette& named : lores::Palettes()) {
            for (int n = 0; n < lores::ColourCount; ++n) {
                const long d = Distance(c, PaletteRgb(named.colours, n));
                if (best < 0 || d < best) {
                    best = d;
                    numbered = sameNumber(n, i);
                } else if (d == best) {
                    numbered = numbered || sameNumber(n, i);
                }
            }
        }
        if (!numbered) return false;
    }
    return true;
}

// Distinct colours, counted in one bit each of the 24-bit colour space: a
// picture of millions of colours costs 2 MiB here, not a tree of them.
class ColourSet {
public:
    ColourSet() : bits_(std::size_t{1} << 18) {}
    // True the first time a colour is added.
    bool Add(Rgb c) {
        std::uint64_t& word = bits_[c >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (c & 63);
        const bool fresh = !(word & bit);
        word |= bit;
        return fresh;
    }

private:
    std::vector<std::uint64_t> bits_;
};

// The palette colour for an RGB value, and whether another entry has the same value.
int NearestColour(const lores::Palette& palette, Rgb c, bool& ambiguous) {
    const int n = NearestColour(palette, c);
    ambiguous = false;
    for (int m = 0; m < lores::ColourCount; ++m)
        ambiguous = ambiguous || (m != n && PaletteRgb(palette, m) == PaletteRgb(palette, n) && PaletteRgb(palette, n) == c);
    return n;
}

std::string Plural(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

bool NearlyLores(const runtime::DecodedImage& image, int cols, int rows);
bool ExactlyLores(const runtime::DecodedImage& image, int cols, int rows);

}  // namespace

// The most frequent value of each block (among equals, the first to get
// there), taken as an index or matched to the nearest palette colour. The
// picture is cut into cols x rows blocks (cell (x, y) takes its columns
// x * width / cols up to (x + 1) * width / cols); plot(x, y, colour).
void CellsOfPicture(const runtime::DecodedImage& image, const ImportOptions& options, int cols, int rows,
                    ImportReport& report, const std::function<void(int x, int y, int colour)>& plot) {
    report.byIndex = image.indexed && !options.byColour && LoresOrdered(image);
    report.indexedNotLores = image.indexed && !options.byColour && !report.byIndex;
    const lores::Palette& palette = options.palette->colours;
    // A lores picture blurred by JPEG or a scale: each pixel votes for its
    // nearest colour, and the block takes the most votes (noise would make
    // its most frequent value a matter of chance).
    const bool vote = !report.byIndex && image.width % cols == 0 && image.height % rows == 0 &&
                      !ExactlyLores(image, cols, rows) && NearlyLores(image, cols, rows);
    const auto edge = [](int n, int size, int count) { return static_cast<int>(static_cast<long>(n) * size / count); };
    // A picture smaller than its cells (a paste scaled up) gives every cell
    // at least the pixel it starts on, never an empty, black block.
    const auto end = [&edge](int n, int size, int count) { return std::max(edge(n + 1, size, count), edge(n, size, count) + 1); };
    ColourSet seen;
    std::unordered_map<Rgb, int> counts;  // a block's values, freed block by block
    for (int y = 0; y < rows; ++y) {
        const int v0 = edge(y, image.height, rows), v1 = end(y, image.height, rows);
        for (int x = 0; x < cols; ++x) {
            const int u0 = edge(x, image.width, cols), u1 = end(x, image.width, cols);
            counts.clear();
            Rgb chosen = 0;
            int most = 0;
            bool uniform = true;
            const Rgb first = report.byIndex ? image.indices[static_cast<std::size_t>(v0) * image.width + u0]
                                             : PixelOf(image.rgba.data() + 4 * (static_cast<std::size_t>(v0) * image.width + u0));
            for (int v = v0; v < v1; ++v) {
                const std::size_t row = static_cast<std::size_t>(v) * image.width;
                for (int u = u0; u < u1; ++u) {
                    const Rgb c = report.byIndex ? image.indices[row + u] : PixelOf(image.rgba.data() + 4 * (row + u));
                    uniform = uniform && c == first;
                    const int n = ++counts[vote ? static_cast<Rgb>(NearestColour(palette, c)) : c];
                    if (n > most) {
                        most = n;
                        chosen = vote ? static_cast<Rgb>(NearestColour(palette, c)) : c;
                    }
                }
            }
            if (!uniform) ++report.mixedBlocks;
            if (report.byIndex) {
                plot(x, y, static_cast<int>(chosen));
                continue;
            }
            for (int v = v0; v < v1; ++v) {
                const std::size_t row = static_cast<std::size_t>(v) * image.width;
                for (int u = u0; u < u1; ++u) {
                    const Rgb c = PixelOf(image.rgba.data() + 4 * (row + u));
                    if (seen.Add(c) && PaletteRgb(palette, NearestColour(palette, c)) != c) ++report.offPalette;
                }
            }
            bool ambiguous = false;
            plot(x, y, vote ? static_cast<int>(chosen) : NearestColour(palette, chosen, ambiguous));
            if (ambiguous) ++report.ambiguous;
        }
    }
}

void PageFromPicture(const runtime::DecodedImage& image, const ImportOptions& options, lores::LoresPage& page,
                     ImportReport& report) {
    CellsOfPicture(image, options, lores::PageWidth, lores::PageHeight, report,
                   [&page](int x, int y, int colour) { lores::PlotPixel(page, x, y, colour); });
}

bool LoresAlready(const runtime::DecodedImage& image, int cols, int rows) {
    if (cols <= 0 || rows <= 0 || image.width % cols != 0 || image.height % rows != 0) return false;
    if (image.indexed && LoresOrdered(image)) return true;
    return ExactlyLores(image, cols, rows) || NearlyLores(image, cols, rows);
}

namespace {

bool ExactlyLores(const runtime::DecodedImage& image, int cols, int rows) {
    const int bw = image.width / cols, bh = image.height / rows;
    // The palettes that hold every block's colour so far, a bit each.
    const auto& palettes = lores::Palettes();
    std::uint32_t holding = (1u << palettes.size()) - 1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::size_t first = static_cast<std::size_t>(y - y % bh) * image.width + (x - x % bw);
            const Rgb c = PixelOf(image.rgba.data() + 4 * (static_cast<std::size_t>(y) * image.width + x));
            if (c != PixelOf(image.rgba.data() + 4 * first)) return false;
            if (x % bw != 0 || y % bh != 0) continue;
            for (std::size_t k = 0; k < palettes.size(); ++k) {
                bool found = false;
                for (int n = 0; n < lores::ColourCount; ++n) found = found || PaletteRgb(palettes[k].colours, n) == c;
                if (!found) holding &= ~(1u << k);
            }
            if (holding == 0) return false;
        }
    return true;
}

}  // namespace

namespace {

// Lores at heart: a lores screen that went through JPEG, a smoothing scale
// or a stray near-black pixel. Its blocks are nearly uniform and near the
// palettes' colours, where a photograph's are not: in nearly every block
// most of the pixels (a grid of at most 12x12 looked at) lie within a
// small distance of one colour number of some palette.
bool NearlyLores(const runtime::DecodedImage& image, int cols, int rows) {
    constexpr long Near = 20 * 20;     // squared RGB distance: JPEG's noise, not a mixture
    constexpr int MostMisses = 1;      // blocks in 50 that may be anything (a logo's edge)
    std::vector<std::pair<Rgb, int>> colours;  // every palette's, with its number (grey 10 as 5)
    for (const lores::NamedPalette& named : lores::Palettes())
        for (int n = 0; n < lores::ColourCount; ++n) colours.push_back({PaletteRgb(named.colours, n), n == 10 ? 5 : n});
    const int bw = image.width / cols, bh = image.height / rows;
    const int sx = std::max(1, bw / 12), sy = std::max(1, bh / 12);
    int misses = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            int votes[16] = {}, samples = 0;
            for (int v = y * bh; v < (y + 1) * bh; v += sy)
                for (int u = x * bw; u < (x + 1) * bw; u += sx) {
                    const Rgb c = PixelOf(image.rgba.data() + 4 * (static_cast<std::size_t>(v) * image.width + u));
                    ++samples;
                    long best = Near + 1;
                    int number = -1;
                    for (const auto& [rgb, n] : colours)
                        if (const long d = Distance(c, rgb); d < best) best = d, number = n;
                    if (number >= 0) ++votes[number];
                }
            if (2 * *std::max_element(votes, votes + 16) < samples && ++misses * 50 > cols * rows * MostMisses)
                return false;
        }
    return true;
}

}  // namespace

bool PageOfPicture(const runtime::DecodedImage& image, const ImportOptions& options, lores::LoresPage& page,
                   ImportReport& report, std::string& reason) {
    const bool blocks = image.width % lores::PageWidth == 0 && image.height % lores::PageHeight == 0;
    if (options.strict || (blocks && (options.dither == DitherMethod::None ||
                                      LoresAlready(image, lores::PageWidth, lores::PageHeight)))) {
        if (!blocks) {
            reason = std::to_string(image.width) + "x" + std::to_string(image.height) +
                     " does not divide into 40x48 equal blocks";
            return false;
        }
        PageFromPicture(image, options, page, report);
        return true;
    }
    report.converted = true;
    report.width = image.width;
    report.height = image.height;
    LinearCells cells = AverageIntoCells(image.rgba.data(), image.width, image.height, options.fit, options.aspect);
    Adjust(cells, options.adjust);
    const CellColours colours = ChooseColours(cells, options.palette->colours, options.dither, options.aspect);
    for (int y = 0; y < lores::PageHeight; ++y)
        for (int x = 0; x < lores::PageWidth; ++x) lores::PlotPixel(page, x, y, colours[static_cast<std::size_t>(y * lores::PageWidth + x)]);
    return true;
}

std::string Describe(const ImportReport& r, const ImportOptions& options) {
    if (r.converted) {
        std::string text = "converted from " + std::to_string(r.width) + "x" + std::to_string(r.height) + " (" +
                           NameOf(options.fit) + ", " + NameOf(options.dither) + " dithering, " +
                           options.palette->name + " palette";
        const Adjustments& a = options.adjust;
        for (const auto& [name, value] : {std::pair{"brightness", a.brightness}, {"contrast", a.contrast},
                                          {"saturation", a.saturation}})
            if (value != 0) text += std::string(", ") + name + " " + (value > 0 ? "+" : "") + std::to_string(value);
        if (options.aspect != PixelAspect::TwoToOne) text += std::string(", pixel aspect ") + NameOf(options.aspect);
        return text + ")";
    }
    if (r.byIndex) return "by palette index: " + Plural(r.mixedBlocks, "block", "blocks") + " not uniform";
    std::string text = std::string("by nearest colour (") + options.palette->name + " palette";
    if (r.indexedNotLores) text += "; the picture's own palette is not in lores order";
    text += "): " + Plural(r.mixedBlocks, "block", "blocks") + " not uniform, " +
            Plural(r.offPalette, "colour", "colours") + " not in the palette";
    if (r.ambiguous > 0)
        text += ", " + Plural(r.ambiguous, "block", "blocks") + " in a colour two of its numbers share";
    return text;
}

bool BlockSizeOf(const runtime::DecodedImage& image, int& cols, int& rows) {
    cols = image.width, rows = image.height;
    if (cols > lores::PageWidth || rows > lores::PageHeight) {
        cols = image.width / CellWidth;
        rows = image.height / CellHeight;
        const bool blocks = image.width % CellWidth == 0 && image.height % CellHeight == 0 && cols <= lores::PageWidth &&
                            rows <= lores::PageHeight;
        if (!blocks) {
            // Scaled as the picture is shown (16x8 screen pixels a cell) to
            // fit the 640x384 picture, the aspect kept.
            const double scale = std::min(double(lores::PageWidth * CellWidth) / image.width,
                                          double(lores::PageHeight * CellHeight) / image.height);
            cols = std::clamp(static_cast<int>(std::lround(image.width * scale / CellWidth)), 1, lores::PageWidth);
            rows = std::clamp(static_cast<int>(std::lround(image.height * scale / CellHeight)), 1, lores::PageHeight);
            return false;
        }
    }
    return true;
}

lores::Block BlockFromPicture(const runtime::DecodedImage& image, const lores::NamedPalette& palette) {
    lores::Block block;
    if (image.width <= 0 || image.height <= 0) return block;
    int cols = 0, rows = 0;
    BlockSizeOf(image, cols, rows);
    block.width = cols;
    block.height = rows;
    block.cells.assign(static_cast<std::size_t>(cols * rows), 0);
    ImportOptions options;
    options.palette = &palette;
    ImportReport report;
    CellsOfPicture(image, options, cols, rows, report, [&block](int x, int y, int colour) {
        block.cells[static_cast<std::size_t>(y * block.width + x)] = static_cast<std::uint8_t>(colour);
    });
    return block;
}

}  // namespace documents
