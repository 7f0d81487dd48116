// Pictures in and out without a window, for build pipelines: a page to the
// PNG that Export picture writes, and a PNG of 40x48 equal blocks to a page.
#pragma once

#include <string>

#include "lores/drawing.h"
#include "lores/lores_page.h"
#include "documents/photo_conversion.h"
#include "lores/palettes.h"
#include "runtime/png_decoder.h"

namespace documents {

struct ConversionResult {
    bool ok = false;
    std::string message;  // one line: the failure (naming the file), or the import's report
};

// PAGE must be exactly 1024 bytes; OUT is replaced only when whole. In a
// palette, and with the mixed-mode text lines when asked.
// A picture of 2 to 256 frames (a file of so many whole pages) gives every
// frame's PNG, OUT-001.png and on, or frame K's (from 1) as OUT.
ConversionResult ExportPageAsPng(const std::string& pagePath, const std::string& pngPath,
                                 const lores::NamedPalette& palette = lores::Palettes().front(), bool mixed = false,
                                 int frame = 0, PixelAspect aspect = PixelAspect::TwoToOne);

// The frames of FRAMES (or a single page) as an animated GIF, looping, at
// fps frames a second; OUT is replaced only when whole.
ConversionResult ExportFramesAsGif(const std::string& framesPath, const std::string& gifPath,
                                   const lores::NamedPalette& palette, bool mixed, int fps,
                                   PixelAspect aspect = PixelAspect::TwoToOne);
// How many frames a page file holds (1 for a page).
ConversionResult CountFrames(const std::string& path, std::size_t& frames);

struct ImportOptions {
    std::string holesFrom;  // the page whose screen holes are kept (else zero)
    const lores::NamedPalette* palette = &lores::Palettes().front();
    bool byColour = false;  // nearest colour even for a palette image
    bool strict = false;    // a mixed block or an inexact colour fails the import
    // For a picture that is not lores already (not palette colours in
    // uniform blocks, nor an indexed picture in lores order): how it is
    // converted. None keeps the block rules for a picture of 40x48 equal
    // blocks; strict takes every picture by the block rules.
    DitherMethod dither = DitherMethod::Search;
    FitMode fit = FitMode::Fit;
    Adjustments adjust;
    // The screen the picture is fitted to: 5:3 at 2:1, 4:3 at 8:5.
    PixelAspect aspect = PixelAspect::TwoToOne;
};

// A picture that is lores already (or any picture of 40x48 equal blocks,
// with dither None or strict): a palette image whose palette is a lores
// palette in lores order gives each block its most frequent index as the
// colour (the artist's colour numbers); any other picture, or byColour, the
// palette colour nearest to the block's most frequent colour (alpha blended
// on black). Any other picture, PNG or JPEG, is converted as the options
// say. The report says which rule.
ConversionResult ImportPngAsPage(const std::string& pngPath, const std::string& pagePath,
                                 const ImportOptions& options = ImportOptions());

// The block rules for Open in the window (a picture of 40x48 equal blocks,
// as the import takes it with dither None): the page from a PNG file (holes
// zero), or false with the reason.
bool PageFromPngFile(const std::string& pngPath, lores::LoresPage& page, std::string& reason);

// A 140 KB disk (IMAGE, .dsk or .do) that boots into PAGE on an Apple II:
// full screen, or mixed with the four text lines. PAGE may be a page file,
// IMAGE:NAME or a PNG or JPEG (imported as --import-png would); a file of
// frames gives a disk that loads them with its own code and plays them. IMAGE must not
// exist, or be such a disk made before (then it is replaced).
ConversionResult BootDiskOfPage(const std::string& pagePath, const std::string& imagePath, bool mixed, int fps = 10);
// The same for frames in memory (the window's picture): one frame gives the
// disk of one picture; 2 to 39 a disk that plays them at fps a second.
ConversionResult BootDiskOf(const std::vector<lores::LoresPage>& frames, const std::string& name,
                            const std::string& imagePath, bool mixed, int fps = 10);

// A PNG of the page no wider or taller than size: the export's drawing with
// each block scaled down by a whole factor (2k by k pixels, or 1 by 1 below
// 80), for file managers' thumbnails.
// At another pixel aspect, the picture's shape at that aspect scaled to fit.
ConversionResult ThumbnailOfPage(const std::string& pagePath, const std::string& pngPath, int size,
                                 PixelAspect aspect = PixelAspect::TwoToOne);

// The cells of a picture from elsewhere (a paste), by the import's colour
// rules: at most 40x48, a cell a pixel; sides multiples of 16 and 8 (as
// the export draws), a cell a block; anything else scaled to fit the
// 640x384 picture, its aspect kept.
lores::Block BlockFromPicture(const runtime::DecodedImage& image, const lores::NamedPalette& palette);

// True when the file starts with the PNG signature; with the PNG's or the
// JPEG's.
bool IsPngFile(const std::string& path);
bool IsPictureFile(const std::string& path);

// A message for a terminal: control bytes of the names in it (an escape
// sequence in a file name) shown as --list shows them, the rest as it is.
std::string WithoutControls(const std::string& text);

// The catalog of a disk image, one file a line: name, type, length, load
// address and "page" where it is one.
ConversionResult ListDiskImage(const std::string& imagePath, std::string& catalog);

}  // namespace documents
