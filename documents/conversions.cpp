#include "documents/conversions.h"

#include <cerrno>
#include <cstring>
#include <map>

#include "diskimage/disk_image.h"
#include "documents/documents.h"
#include "runtime/png_decoder.h"

namespace documents {
namespace {

ConversionResult Fail(const std::string& path, const std::string& reason) { return {false, path + ": " + reason}; }

std::string Reason(const char* fallback) { return errno ? std::strerror(errno) : fallback; }

// A page file, exactly 1024 bytes: a pipeline wants strictness.
bool ReadWholePage(const std::string& path, lores::LoresPage& page, std::string& reason) {
    errno = 0;
    const PageRead read = ReadPageFile(path, page);
    if (!read.opened) reason = read.problem.empty() ? Reason("cannot be opened") : read.problem;
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

Rgb PaletteRgb(int n) {
    const auto v = lores::LoresPalette[n];
    return (v & 0xFF) << 16 | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

int NearestColour(Rgb c) {
    int best = 0;
    long bestDistance = -1;
    for (int n = 0; n < lores::ColourCount; ++n) {
        const Rgb p = PaletteRgb(n);
        long d = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const long delta = static_cast<long>((c >> shift) & 0xFF) - static_cast<long>((p >> shift) & 0xFF);
            d += delta * delta;
        }
        if (bestDistance < 0 || d < bestDistance) {
            best = n;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace

ConversionResult ExportPageAsPng(const std::string& pagePath, const std::string& pngPath) {
    lores::LoresPage page{};
    std::string reason;
    if (!ReadWholePage(pagePath, page, reason)) return Fail(pagePath, reason);
    // The same drawing, encoder and replacement as the Export picture command.
    errno = 0;
    if (!SavePagePicture(page, pngPath)) return Fail(pngPath, Reason("cannot be written"));
    return {true, ""};
}

ConversionResult ImportPngAsPage(const std::string& pngPath, const std::string& pagePath,
                                 const std::string& holesFrom) {
    lores::LoresPage page{};
    std::string reason;
    if (!holesFrom.empty()) {
        lores::LoresPage holes{};
        if (!ReadWholePage(holesFrom, holes, reason)) return Fail(holesFrom, reason);
        for (int i = 0; i < lores::PageBytes; ++i)
            if (lores::IsScreenHole(i)) page[i] = holes[i];
    }
    runtime::DecodedImage image;
    if (!runtime::ReadPngFile(pngPath, image, reason)) return Fail(pngPath, reason);
    if (image.width % lores::PageWidth != 0 || image.height % lores::PageHeight != 0) {
        return Fail(pngPath, std::to_string(image.width) + "x" + std::to_string(image.height) +
                                 " does not divide into 40x48 equal blocks");
    }
    const int bw = image.width / lores::PageWidth, bh = image.height / lores::PageHeight;
    int mixedBlocks = 0;
    std::map<Rgb, int> offPalette;  // colours met that are no palette colour
    for (int y = 0; y < lores::PageHeight; ++y) {
        for (int x = 0; x < lores::PageWidth; ++x) {
            std::map<Rgb, int> counts;
            Rgb chosen = 0;
            int most = 0;
            for (int v = 0; v < bh; ++v) {
                const std::uint8_t* row =
                    image.rgba.data() + (static_cast<std::size_t>(y) * bh + v) * image.width * 4 + x * bw * 4;
                for (int u = 0; u < bw; ++u) {
                    const Rgb c = PixelOf(row + 4 * u);
                    const int n = ++counts[c];
                    // The most frequent colour; among equals, the first to get there.
                    if (n > most) {
                        most = n;
                        chosen = c;
                    }
                }
            }
            if (counts.size() > 1) ++mixedBlocks;
            for (const auto& [c, n] : counts)
                if (PaletteRgb(NearestColour(c)) != c) offPalette[c] += n;
            lores::PlotPixel(page, x, y, NearestColour(chosen));
        }
    }
    errno = 0;
    std::string why;
    if (!WritePageBytes(pagePath, page, &why)) return Fail(pagePath, why.empty() ? Reason("cannot be written") : why);
    return {true, pngPath + ": " + std::to_string(mixedBlocks) + " blocks not uniform, " +
                      std::to_string(offPalette.size()) + " colours not in the palette"};
}

ConversionResult ListDiskImage(const std::string& imagePath, std::string& catalog) {
    diskimage::Listing listing;
    std::string why;
    if (!diskimage::ListImage(imagePath, listing, why)) return Fail(imagePath, why);
    catalog.clear();
    for (const auto& f : listing.files) {
        char address[16] = "";
        if (f.address >= 0) std::snprintf(address, sizeof address, "$%04X", f.address);
        char line[160];
        std::snprintf(line, sizeof line, "%-32s %-4s %7zu %-5s%s%s\n", f.name.c_str(), f.type.c_str(), f.length,
                      address, f.IsPage() ? " page" : "", f.locked ? " locked" : "");
        catalog += line;
    }
    return {true, ""};
}

}  // namespace documents
