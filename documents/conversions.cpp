#include "documents/conversions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "diskimage/boot_disk.h"
#include "diskimage/disk_image.h"
#include "documents/documents.h"
#include "runtime/replace_file.h"
#include "runtime/images.h"
#include "runtime/png_decoder.h"
#include "runtime/png_encoder.h"

namespace documents {
namespace {

ConversionResult Fail(const std::string& path, const std::string& reason) { return {false, path + ": " + reason}; }

// Written: with the report, if any, what else the write did, and a word
// when the disk did not confirm the folder.
ConversionResult Written(const std::string& path, std::string report, const runtime::WriteResult& write = {}) {
    if (!write.note.empty()) report += (report.empty() ? "" : "; ") + path + ": " + write.note;
    const std::string warning = SyncWarning(path, write.folderSyncError);
    if (!warning.empty()) report += (report.empty() ? "" : "; ") + warning;
    return {true, report};
}

ConversionResult Outcome(const std::string& path, const runtime::WriteResult& write, std::string report = {}) {
    return write.ok ? Written(path, std::move(report), write) : Fail(path, write.error);
}

// A page file, exactly 1024 bytes: a pipeline wants strictness.
bool ReadWholePage(const std::string& path, lores::LoresPage& page, std::string& reason) {
    errno = 0;
    const PageRead read = ReadPageFile(path, page);
    if (!read.opened) reason = read.problem.empty() ? WhyNot(path, errno) : read.problem;
    else if (read.longer) reason = "longer than a 1024-byte page";
    else if (read.bytes != lores::PageBytes) reason = "shorter than a 1024-byte page";
    return reason.empty();
}

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

struct Report {
    bool byIndex = false;
    bool indexedNotLores = false;  // a palette image whose palette is no lores palette in lores order
    int mixedBlocks = 0;
    int offPalette = 0;  // distinct colours that are no palette colour
    int ambiguous = 0;   // blocks whose colour two palette entries share
};

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

// The most frequent value of each block (among equals, the first to get
// there), taken as an index or matched to the nearest palette colour. The
// picture is cut into cols x rows blocks (cell (x, y) takes its columns
// x * width / cols up to (x + 1) * width / cols); plot(x, y, colour).
template <typename Plot>
void CellsOfPicture(const runtime::DecodedImage& image, const ImportOptions& options, int cols, int rows,
                    Report& report, Plot plot) {
    report.byIndex = image.indexed && !options.byColour && LoresOrdered(image);
    report.indexedNotLores = image.indexed && !options.byColour && !report.byIndex;
    const lores::Palette& palette = options.palette->colours;
    const auto edge = [](int n, int size, int count) { return static_cast<int>(static_cast<long>(n) * size / count); };
    ColourSet seen;
    std::unordered_map<Rgb, int> counts;  // a block's values, freed block by block
    for (int y = 0; y < rows; ++y) {
        const int v0 = edge(y, image.height, rows), v1 = edge(y + 1, image.height, rows);
        for (int x = 0; x < cols; ++x) {
            const int u0 = edge(x, image.width, cols), u1 = edge(x + 1, image.width, cols);
            counts.clear();
            Rgb chosen = 0;
            int most = 0;
            for (int v = v0; v < v1; ++v) {
                const std::size_t row = static_cast<std::size_t>(v) * image.width;
                for (int u = u0; u < u1; ++u) {
                    const Rgb c = report.byIndex ? image.indices[row + u] : PixelOf(image.rgba.data() + 4 * (row + u));
                    const int n = ++counts[c];
                    if (n > most) {
                        most = n;
                        chosen = c;
                    }
                }
            }
            if (counts.size() > 1) ++report.mixedBlocks;
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
            plot(x, y, NearestColour(palette, chosen, ambiguous));
            if (ambiguous) ++report.ambiguous;
        }
    }
}

void PageFromPicture(const runtime::DecodedImage& image, const ImportOptions& options, lores::LoresPage& page,
                     Report& report) {
    CellsOfPicture(image, options, lores::PageWidth, lores::PageHeight, report,
                   [&page](int x, int y, int colour) { lores::PlotPixel(page, x, y, colour); });
}

std::string Plural(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

std::string Describe(const Report& r, const ImportOptions& options) {
    if (r.byIndex) return "by palette index: " + Plural(r.mixedBlocks, "block", "blocks") + " not uniform";
    std::string text = std::string("by nearest colour (") + options.palette->name + " palette";
    if (r.indexedNotLores) text += "; the picture's own palette is not in lores order";
    text += "): " + Plural(r.mixedBlocks, "block", "blocks") + " not uniform, " +
            Plural(r.offPalette, "colour", "colours") + " not in the palette";
    if (r.ambiguous > 0)
        text += ", " + Plural(r.ambiguous, "block", "blocks") + " in a colour two of its numbers share";
    return text;
}

bool ReadBlockPicture(const std::string& pngPath, runtime::DecodedImage& image, std::string& reason) {
    if (!runtime::ReadPngFile(pngPath, image, reason)) return false;
    if (image.width % lores::PageWidth != 0 || image.height % lores::PageHeight != 0) {
        reason = std::to_string(image.width) + "x" + std::to_string(image.height) +
                 " does not divide into 40x48 equal blocks";
        return false;
    }
    return true;
}

}  // namespace

ConversionResult ExportPageAsPng(const std::string& pagePath, const std::string& pngPath,
                                 const lores::NamedPalette& palette, bool mixed) {
    lores::LoresPage page{};
    std::string reason;
    if (!ReadWholePage(pagePath, page, reason)) return Fail(pagePath, reason);
    // The same drawing, encoder and replacement as the Export picture command.
    return Outcome(pngPath, SavePagePicture(page, pngPath, palette.colours, mixed));
}

ConversionResult ImportPngAsPage(const std::string& pngPath, const std::string& pagePath,
                                 const ImportOptions& options) {
    lores::LoresPage page{};
    std::string reason;
    if (!options.holesFrom.empty()) {
        lores::LoresPage holes{};
        if (!ReadWholePage(options.holesFrom, holes, reason)) return Fail(options.holesFrom, reason);
        for (int i = 0; i < lores::PageBytes; ++i)
            if (lores::IsScreenHole(i)) page[i] = holes[i];
    }
    runtime::DecodedImage image;
    if (!ReadBlockPicture(pngPath, image, reason)) return Fail(pngPath, reason);
    Report report;
    PageFromPicture(image, options, page, report);
    if (options.strict && (report.mixedBlocks > 0 || report.offPalette > 0 || report.ambiguous > 0))
        return Fail(pngPath, Describe(report, options) + " (not exact: nothing written)");
    return Outcome(pagePath, WritePageBytes(pagePath, page), pngPath + ": " + Describe(report, options));
}

ConversionResult ThumbnailOfPage(const std::string& pagePath, const std::string& pngPath, int size) {
    lores::LoresPage page{};
    std::string reason;
    if (!ReadWholePage(pagePath, page, reason)) return Fail(pagePath, reason);
    if (size < lores::PageHeight) return Fail(pngPath, "a thumbnail needs at least 48 pixels");
    // The picture's own shape, 40 by 24, at the largest whole multiple that
    // fits (at most the export's 640x384): a cell is m pixels wide and m/2
    // high, rows of cells alternating where m is odd. Below 80 pixels, a
    // pixel a cell.
    const int m = std::min({size / lores::PageWidth, size / (lores::PageHeight / 2), 2 * CellHeight});
    const bool small = m < 2;
    const int width = small ? lores::PageWidth : m * lores::PageWidth;
    const int height = small ? lores::PageHeight : m * lores::PageHeight / 2;
    const auto top = [&](int y) { return small ? y : y * m / 2; };
    const int thumbnailImage = ExportImage + 1;
    runtime::RegisterPngEncoder();
    runtime::WriteResult saved;
    errno = 0;
    if (runtime::CreateImageObject(thumbnailImage, width, height) &&
        runtime::BeginDrawing(runtime::ImageDrawTarget(thumbnailImage))) {
        const int bw = width / lores::PageWidth;
        for (int y = 0; y < lores::PageHeight; ++y)
            for (int x = 0; x < lores::PageWidth; ++x)
                runtime::FillBox(x * bw, top(y), bw, top(y + 1) - top(y), lores::LoresPalette[lores::PixelAt(page, x, y)]);
        runtime::EndDrawing();
        saved.ok = runtime::SaveImageObject(thumbnailImage, pngPath, runtime::EncoderPng, &saved.folderSyncError) != 0;
    }
    if (!saved.ok) saved.error = WhyNot(pngPath, errno);
    runtime::FreeImageObject(thumbnailImage);
    return Outcome(pngPath, saved);
}

ConversionResult BootDiskOf(const lores::LoresPage& page, const std::string& name, const std::string& imagePath,
                            bool mixed) {
    return Outcome(imagePath,
                   diskimage::WriteBootDisk(imagePath, diskimage::BootFileName(name), {page.begin(), page.end()}, mixed));
}

ConversionResult BootDiskOfPage(const std::string& pagePath, const std::string& imagePath, bool mixed) {
    lores::LoresPage page{};
    std::string reason;
    if (IsPngFile(pagePath)) {
        if (!PageFromPngFile(pagePath, page, reason)) return Fail(pagePath, reason);
    } else if (!ReadWholePage(pagePath, page, reason)) {
        return Fail(pagePath, reason);
    }
    return BootDiskOf(page, pagePath, imagePath, mixed);
}

bool PageFromPngFile(const std::string& pngPath, lores::LoresPage& page, std::string& reason) {
    runtime::DecodedImage image;
    if (!ReadBlockPicture(pngPath, image, reason)) return false;
    Report report;
    page.fill(0);
    PageFromPicture(image, ImportOptions(), page, report);
    return true;
}

lores::Block BlockFromPicture(const runtime::DecodedImage& image, const lores::NamedPalette& palette) {
    lores::Block block;
    if (image.width <= 0 || image.height <= 0) return block;
    int cols = image.width, rows = image.height;
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
        }
    }
    block.width = cols;
    block.height = rows;
    block.cells.assign(static_cast<std::size_t>(cols * rows), 0);
    ImportOptions options;
    options.palette = &palette;
    Report report;
    CellsOfPicture(image, options, cols, rows, report, [&block](int x, int y, int colour) {
        block.cells[static_cast<std::size_t>(y * block.width + x)] = static_cast<std::uint8_t>(colour);
    });
    return block;
}

bool IsPngFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    std::uint8_t head[8] = {};
    const bool png = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && read(fd, head, 8) == 8 &&
                     std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0;
    close(fd);
    return png;
}

// A catalog name as a terminal may show it: a control or non-ASCII byte
// (an escape sequence in a hostile image) as ^X or \xNN, never raw.
std::string Printable(const std::string& name) {
    std::string shown;
    for (const unsigned char c : name) {
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else if (c < 0x20) {
            shown += '^';
            shown += static_cast<char>(c + 0x40);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    return shown;
}

std::string WithoutControls(const std::string& text) {
    std::string shown;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c != 0x7F) shown += ch;
        else shown += Printable(std::string(1, ch));
    }
    return shown;
}

ConversionResult ListDiskImage(const std::string& imagePath, std::string& catalog) {
    diskimage::Listing listing;
    std::string why;
    if (!diskimage::ListImage(imagePath, listing, why)) return Fail(imagePath, why);
    catalog.clear();
    for (const auto& f : listing.files) {
        char address[16] = "";
        if (f.address >= 0) std::snprintf(address, sizeof address, "$%04X", f.address);
        // The name padded to its column, however long a folder path makes it.
        std::string line = Printable(f.name);
        if (line.size() < 32) line.resize(32, ' ');
        char rest[96];
        std::snprintf(rest, sizeof rest, " %-4s %7zu %-5s%s%s\n", Printable(f.type).c_str(), f.length, address,
                      f.IsPage() ? " page" : "", f.locked ? " locked" : "");
        catalog += line + rest;
    }
    return {true, ""};
}

}  // namespace documents
