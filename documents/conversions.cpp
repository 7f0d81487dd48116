#include "documents/conversions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "diskimage/boot_disk.h"
#include "diskimage/disk_image.h"
#include "documents/documents.h"
#include "documents/import_rules.h"
#include "documents/program_export.h"
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

// A page file, exactly 1024 bytes, or a picture of 2 to 256 frames: a
// pipeline wants strictness.
bool ReadWholeFrames(const std::string& path, std::vector<lores::LoresPage>& frames, std::string& reason) {
    errno = 0;
    const PageRead read = ReadFramesFile(path, frames);
    if (!read.opened) reason = read.problem.empty() ? WhyNot(path, errno) : read.problem;
    else if (read.longer) reason = "longer than a 1024-byte page";
    else if (read.bytes < lores::PageBytes) reason = "shorter than a 1024-byte page";
    return reason.empty();
}

bool ReadWholePage(const std::string& path, lores::LoresPage& page, std::string& reason) {
    std::vector<lores::LoresPage> frames;
    if (!ReadWholeFrames(path, frames, reason)) return false;
    if (frames.size() > 1) reason = "longer than a 1024-byte page (" + std::to_string(frames.size()) + " frames)";
    page = frames.front();
    return reason.empty();
}

// OUT with -001, -002... before its extension: the name of one frame's picture.
std::string FrameName(const std::string& path, std::size_t frame) {
    const std::size_t slash = path.find_last_of('/'), dot = path.find_last_of('.');
    const std::size_t at = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
    char number[32];
    std::snprintf(number, sizeof number, "-%03zu", frame + 1);
    return path.substr(0, at) + number + path.substr(at);
}

// Writing out over in would destroy what is read (as cp refuses, through
// links and hard links alike): in's file (an image, for IMAGE:NAME) and out
// the same file. A picture written inside an image is not the image.
bool SameFile(const std::string& in, const std::string& out, ConversionResult& refused) {
    diskimage::ImagePath inImage, outImage;
    if (diskimage::SplitImagePath(out, outImage)) return false;
    const std::string file = diskimage::SplitImagePath(in, inImage) ? inImage.image : in;
    struct stat a, b;
    if (stat(file.c_str(), &a) != 0 || stat(out.c_str(), &b) != 0 || a.st_dev != b.st_dev || a.st_ino != b.st_ino)
        return false;
    refused = Fail(out, "is the file read (" + in + "); nothing was written");
    return true;
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
                                 const lores::NamedPalette& palette, bool mixed, int frame, PixelAspect aspect) {
    std::vector<lores::LoresPage> frames;
    std::string reason;
    if (ConversionResult same; SameFile(pagePath, pngPath, same)) return same;
    if (!ReadWholeFrames(pagePath, frames, reason)) return Fail(pagePath, reason);
    if (frame > static_cast<int>(frames.size()))
        return Fail(pagePath, "has " + std::to_string(frames.size()) + (frames.size() == 1 ? " frame" : " frames") +
                                  ", no frame " + std::to_string(frame));
    // The same drawing, encoder and replacement as the Export picture command.
    if (frames.size() == 1 || frame > 0)
        return Outcome(pngPath, SavePagePicture(frames[static_cast<std::size_t>(std::max(frame, 1) - 1)], pngPath,
                                                palette.colours, mixed, aspect));
    // All or none: a failure takes away the pictures this export made.
    std::vector<std::string> made;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string name = FrameName(pngPath, i);
        if (ConversionResult same; SameFile(pagePath, name, same)) return same;
        struct stat st;
        const bool existed = lstat(name.c_str(), &st) == 0;
        const runtime::WriteResult written = SavePagePicture(frames[i], name, palette.colours, mixed, aspect);
        if (!written) {
            for (const std::string& m : made) unlink(m.c_str());
            return Fail(name, written.error + (made.empty() ? "" : "; the pictures of the frames before it were removed"));
        }
        if (!existed) made.push_back(name);
    }
    return {true, ""};
}

ConversionResult ExportFramesAsGif(const std::string& framesPath, const std::string& gifPath,
                                   const lores::NamedPalette& palette, bool mixed, int fps, PixelAspect aspect) {
    std::vector<lores::LoresPage> frames;
    std::string reason;
    if (ConversionResult same; SameFile(framesPath, gifPath, same)) return same;
    if (!ReadWholeFrames(framesPath, frames, reason)) return Fail(framesPath, reason);
    return Outcome(gifPath, SaveAnimation(frames, gifPath, palette.colours, mixed, fps, aspect));
}

ConversionResult CountFrames(const std::string& path, std::size_t& frames) {
    std::vector<lores::LoresPage> read;
    std::string reason;
    if (!ReadWholeFrames(path, read, reason)) return Fail(path, reason);
    frames = read.size();
    return {true, ""};
}

ConversionResult ImportPngAsPage(const std::string& pngPath, const std::string& pagePath,
                                 const ImportOptions& options) {
    lores::LoresPage page{};
    std::string reason;
    if (ConversionResult same; SameFile(pngPath, pagePath, same)) return same;
    if (!options.holesFrom.empty()) {
        lores::LoresPage holes{};
        if (!ReadWholePage(options.holesFrom, holes, reason)) return Fail(options.holesFrom, reason);
        for (int i = 0; i < lores::PageBytes; ++i)
            if (lores::IsScreenHole(i)) page[i] = holes[i];
    }
    runtime::DecodedImage image;
    if (!runtime::ReadPictureFile(pngPath, image, reason)) return Fail(pngPath, reason);
    ImportReport report;
    if (!PageOfPicture(image, options, page, report, reason)) return Fail(pngPath, reason);
    if (options.strict && (report.mixedBlocks > 0 || report.offPalette > 0 || report.ambiguous > 0))
        return Fail(pngPath, Describe(report, options) + " (not exact: nothing written)");
    return Outcome(pagePath, WritePageBytes(pagePath, page), pngPath + ": " + Describe(report, options));
}

ConversionResult ThumbnailOfPage(const std::string& pagePath, const std::string& pngPath, int size,
                                 PixelAspect aspect) {
    lores::LoresPage page{};
    std::string reason;
    if (ConversionResult same; SameFile(pagePath, pngPath, same)) return same;
    if (!ReadWholePage(pagePath, page, reason)) return Fail(pagePath, reason);
    if (size < lores::PageHeight) return Fail(pngPath, "a thumbnail needs at least 48 pixels");
    // The picture's own shape, 40 by 24, at the largest whole multiple that
    // fits (at most the export's 640x384): a cell is m pixels wide and m/2
    // high, rows of cells alternating where m is odd. Below 80 pixels, a
    // pixel a cell.
    const int m = std::min({size / lores::PageWidth, size / (lores::PageHeight / 2), 2 * CellHeight});
    const bool small = m < 2;
    int width = small ? lores::PageWidth : m * lores::PageWidth;
    int height = small ? lores::PageHeight : m * lores::PageHeight / 2;
    if (aspect != PixelAspect::TwoToOne) {
        // The screen at that aspect, scaled down to fit (never under a pixel a cell).
        const CellSize cells = CellsOf(aspect);
        const double k = std::min({1.0, double(size) / cells.ScreenWidth(), double(size) / cells.ScreenHeight()});
        width = std::max(lores::PageWidth, static_cast<int>(cells.ScreenWidth() * k));
        height = std::max(lores::PageHeight, static_cast<int>(cells.ScreenHeight() * k));
    }
    // Each cell from its share of the sides (at 2:1 with m odd, rows of cells alternate).
    const auto top = [&](int y) { return y * height / lores::PageHeight; };
    const auto leftOf = [&](int x) { return x * width / lores::PageWidth; };
    const int thumbnailImage = ExportImage + 1;
    runtime::RegisterPngEncoder();
    runtime::WriteResult saved;
    errno = 0;
    if (runtime::CreateImageObject(thumbnailImage, width, height) &&
        runtime::BeginDrawing(runtime::ImageDrawTarget(thumbnailImage))) {
        for (int y = 0; y < lores::PageHeight; ++y)
            for (int x = 0; x < lores::PageWidth; ++x)
                runtime::FillBox(leftOf(x), top(y), leftOf(x + 1) - leftOf(x), top(y + 1) - top(y),
                                 lores::LoresPalette[lores::PixelAt(page, x, y)]);
        runtime::EndDrawing();
        saved.ok = runtime::SaveImageObject(thumbnailImage, pngPath, runtime::EncoderPng, &saved.folderSyncError) != 0;
    }
    if (!saved.ok) saved.error = WhyNot(pngPath, errno);
    runtime::FreeImageObject(thumbnailImage);
    return Outcome(pngPath, saved);
}

ConversionResult BootDiskOf(const std::vector<lores::LoresPage>& frames, const std::string& name,
                            const std::string& imagePath, bool mixed, int fps) {
    diskimage::Bytes bytes;
    for (const lores::LoresPage& page : frames) bytes.insert(bytes.end(), page.begin(), page.end());
    const std::string what = frames.size() == 1 ? std::string(mixed ? "the picture with its four text lines" : "the picture, full screen")
                                                : std::to_string(frames.size()) + " frames at " + std::to_string(fps) +
                                                      " a second" + (mixed ? " with their text lines" : "");
    return Outcome(imagePath, diskimage::WriteBootDisk(imagePath, diskimage::BootFileName(name), bytes, mixed, fps),
                   imagePath + ": a disk that boots into " + what + " (in slot 6, drive 1 of an Apple II or an emulator)");
}

ConversionResult BootDiskOfPage(const std::string& pagePath, const std::string& imagePath, bool mixed, int fps) {
    std::vector<lores::LoresPage> frames(1);
    std::string reason;
    // A boot disk made again from the page it carries is no harm: the page
    // is read whole before the disk is replaced.
    diskimage::ImagePath inImage;
    if (ConversionResult same; !diskimage::SplitImagePath(pagePath, inImage) && SameFile(pagePath, imagePath, same))
        return same;
    if (IsPictureFile(pagePath)) {
        runtime::DecodedImage image;
        ImportReport report;
        if (!runtime::ReadPictureFile(pagePath, image, reason) ||
            !PageOfPicture(image, ImportOptions(), frames[0], report, reason))
            return Fail(pagePath, reason);
    } else if (!ReadWholeFrames(pagePath, frames, reason)) {
        return Fail(pagePath, reason);
    }
    return BootDiskOf(frames, pagePath, imagePath, mixed, fps);
}

namespace {

// The file's name without its folder and extension (for IMAGE:NAME, NAME's).
std::string BaseName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("/:") + 1);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string Extension(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const auto dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::vector<std::uint8_t> TextBytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

ConversionResult ExportPageAsSource(const std::string& pagePath, const std::string& outPath, const std::string& name) {
    const std::string ext = Extension(outPath);
    diskimage::ImagePath inImage;
    if (diskimage::SplitImagePath(outPath, inImage)) return Fail(outPath, "source is written as a file of its own, not into a disk image");
    if (ext != ".s" && ext != ".asm" && ext != ".c" && ext != ".h")
        return Fail(outPath, "not a kind of source: name it .s or .asm (ca65), .c or .h (C)");
    if (ConversionResult same; SameFile(pagePath, outPath, same)) return same;
    std::vector<lores::LoresPage> frames;
    std::string reason;
    if (!ReadWholeFrames(pagePath, frames, reason)) return Fail(pagePath, reason);
    const std::string given = name.empty() ? BaseName(outPath) : name;
    const std::string id = Identifier(given);
    const SourceKind kind = ext == ".c" ? SourceKind::C : ext == ".h" ? SourceKind::CHeader : SourceKind::Assembler;
    std::string report = outPath + ": " + (frames.size() == 1 ? "1024 bytes" : std::to_string(frames.size()) + " frames") +
                         " as " + id;
    if (id != given) report += " ('" + given + "' made a valid name)";
    return Outcome(outPath, WriteWholeFile(outPath, TextBytes(SourceText(frames, id, kind))), report);
}

ConversionResult ExportPageAsBasic(const std::string& pagePath, const std::string& outPath, bool mixed) {
    diskimage::ImagePath inImage;
    const bool intoImage = diskimage::SplitImagePath(outPath, inImage);
    if (!intoImage && Extension(outPath) != ".bas")
        return Fail(outPath, "not a BASIC listing's name: name it .bas, or IMAGE:NAME for the program on a disk");
    if (ConversionResult same; !intoImage && SameFile(pagePath, outPath, same)) return same;
    lores::LoresPage page{};
    std::string reason;
    if (!ReadWholePage(pagePath, page, reason)) return Fail(pagePath, reason);
    const std::string listing = BasicListing(page, mixed);
    const std::vector<std::uint8_t> program = TokenizeApplesoft(listing);
    const std::size_t lines = static_cast<std::size_t>(std::count(listing.begin(), listing.end(), '\n'));
    const std::string report = outPath + ": " + std::to_string(lines) + " lines, " + std::to_string(program.size()) +
                               " bytes as the machine keeps it" + (mixed ? " (mixed: with the four text lines)" : "");
    if (intoImage)
        return Outcome(outPath, diskimage::WriteFileToImage(inImage.image, inImage.name, program, diskimage::FileKind::Applesoft),
                       report + "; RUN " + diskimage::FileNameFor(inImage.image, inImage.name, reason) + " draws it");
    return Outcome(outPath, WriteWholeFile(outPath, TextBytes(listing)), report);
}

bool PageFromPngFile(const std::string& pngPath, lores::LoresPage& page, std::string& reason) {
    runtime::DecodedImage image;
    if (!ReadBlockPicture(pngPath, image, reason)) return false;
    ImportReport report;
    page.fill(0);
    PageFromPicture(image, ImportOptions(), page, report);
    return true;
}

namespace {
// The first eight bytes of a regular file (fewer for a shorter one).
std::size_t FileHead(const std::string& path, std::uint8_t (&head)[8]) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st;
    const ssize_t n = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? read(fd, head, 8) : 0;
    close(fd);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}
}  // namespace

bool IsPngFile(const std::string& path) {
    std::uint8_t head[8] = {};
    return FileHead(path, head) == 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0;
}

bool IsPictureFile(const std::string& path) {
    std::uint8_t head[8] = {};
    const std::size_t n = FileHead(path, head);
    return (n == 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) || runtime::IsJpeg(head, n);
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
        const std::string kind = f.IsPage() ? " page" : f.Frames() ? " " + std::to_string(f.Frames()) + " frames" : "";
        std::snprintf(rest, sizeof rest, " %-4s %7zu %-5s%s%s\n", Printable(f.type).c_str(), f.length, address,
                      kind.c_str(), f.locked ? " locked" : "");
        catalog += line + rest;
    }
    return {true, ""};
}

}  // namespace documents
