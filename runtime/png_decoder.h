// Reading PNG images of any kind (palette, grey, RGB, with or without
// alpha, 1 to 16 bits, interlaced or not) and JPEG images (grey, colour or
// CMYK) as 8-bit RGBA rows, top first. Pictures of more than 16 million
// pixels are refused before anything of their size is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace runtime {

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // width * 4 bytes a row, top row first
    bool indexed = false;             // a palette image: its indices too
    std::vector<std::uint8_t> indices;  // width bytes a row, top row first
    std::vector<std::uint32_t> palette;  // a palette image's colours, 0xRRGGBB, in its order
};

// False with a short reason when the data is not a whole, valid PNG.
bool DecodePng(const std::uint8_t* data, std::size_t length, DecodedImage& out, std::string& error);

// The same for a file; the reason names what failed (not the path).
bool ReadPngFile(const std::string& path, DecodedImage& out, std::string& error);

// The same for JPEG data.
bool IsJpeg(const std::uint8_t* data, std::size_t length);
bool DecodeJpeg(const std::uint8_t* data, std::size_t length, DecodedImage& out, std::string& error);

// PNG or JPEG data, told apart by its first bytes ("not a PNG or JPEG
// image" for neither); and a file of either.
bool DecodePicture(const std::uint8_t* data, std::size_t length, DecodedImage& out, std::string& error);
bool ReadPictureFile(const std::string& path, DecodedImage& out, std::string& error);

// Why a picture of this size is refused (more than 16384 pixels a side, or
// 16 million in all), or the empty text.
std::string SizeProblem(std::uint64_t width, std::uint64_t height);


}  // namespace runtime
