// Pictures in and out without a window, for build pipelines: a page to the
// PNG that Export picture writes, and a PNG of 40x48 equal blocks to a page.
#pragma once

#include <string>

namespace documents {

struct ConversionResult {
    bool ok = false;
    std::string message;  // one line: the failure (naming the file), or the import's report
};

// PAGE must be exactly 1024 bytes; OUT is replaced only when whole.
ConversionResult ExportPageAsPng(const std::string& pagePath, const std::string& pngPath);

// Each block becomes the palette colour nearest to its most frequent colour
// (alpha blended on black). Screen holes are zero, or holesFrom's.
ConversionResult ImportPngAsPage(const std::string& pngPath, const std::string& pagePath,
                                 const std::string& holesFrom);

// The catalog of a disk image, one file a line: name, type, length, load
// address and "page" where it is one.
ConversionResult ListDiskImage(const std::string& imagePath, std::string& catalog);

}  // namespace documents
