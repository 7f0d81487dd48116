// Saving numbered images through registered encoders; the one encoder this
// program registers writes PNG files with libpng.
#pragma once

#include <cstdint>
#include <string>

namespace runtime {

inline constexpr std::uint32_t EncoderPng = 0x474E50;  // "PNG", first letter in the low byte
inline constexpr std::uint32_t EncoderBmp = 0x504D42;  // "BMP", reserved for a built-in writer
inline constexpr int LayoutBottomUp = 2;

// Both entries return 1 when the file was written, 0 otherwise; a folder
// whose sync failed after the file was put in place is said through
// folderSyncError (its errno) when that is not null.
using EncoderEntry = int (*)(const std::string& path, const std::uint8_t* pixels, int width, int height, int stride,
                             int layoutFlags, int option, int requestedDepth, int* folderSyncError);

struct ImageEncoder {
    std::uint32_t id = 0;
    EncoderEntry write24 = nullptr;
    EncoderEntry write32 = nullptr;  // may be absent
};

// Adds the PNG encoder to the encoder list; later calls do nothing.
void RegisterPngEncoder();

// 1 if the image was written to path through the encoder, 0 otherwise.
int SaveImageObject(int number, const std::string& path, std::uint32_t encoderId, int* folderSyncError = nullptr);
int SaveImageObjectAs(int number, const std::string& path, std::uint32_t encoderId, int option, int requestedDepth,
                      int* folderSyncError = nullptr);

// Writes a PNG of the given colour type (2 RGB, 6 RGBA): signature, IHDR,
// IDAT, IEND and nothing else, every row filtered with None, deflate level 9,
// top picture row first. An existing file is replaced only when the whole
// new file is on the disk.
int WritePngFile(const std::string& path, const std::uint8_t* pixels, int width, int height, int stride,
                 int layoutFlags, int option, int requestedDepth, int colourType, int* folderSyncError = nullptr);

// Forgets every registration (tests start from an empty list).
void ResetEncoders();

}  // namespace runtime
