// The boot disk's own parts: the boot code (its source in boot/boot.s),
// where it goes in track 0, and how a disk made this way is told.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "diskimage/file_system.h"

namespace diskimage {

inline constexpr std::size_t BootCodeBytes = 57;
// The low byte of the last video switch the code touches: $52 full screen,
// $53 mixed.
inline constexpr std::size_t BootScreenSwitch = 0x34;
extern const std::array<std::uint8_t, BootCodeBytes> BootCode;

// The boot code that plays frames (its source in boot/frames.s), three
// sectors, with what the writer fills in at its end: the frame count, the
// last track they fill, the wait between flips (in 24 cycles).
inline constexpr std::size_t FramesCodeBytes = 768;
inline constexpr std::size_t FramesScreenSwitch = 498;
inline constexpr std::size_t FramesCount = FramesCodeBytes - 4, FramesLastTrack = FramesCodeBytes - 3,
                             FramesDelay = FramesCodeBytes - 2;
// As many frames as memory holds from $1000 to $AFFF (the file's 4-byte
// header first); the cycles of a frame's copy and flip besides the wait.
inline constexpr std::size_t MaxBootFrames = 39;
inline constexpr long FrameWork = 10651;
extern const std::array<std::uint8_t, FramesCodeBytes> FramesCode;
// Its three sectors into track 0 (physical 0 to 2).
void PutFramesBootTrack(Container& c, std::size_t frames, bool mixed, int fps);

// Physical sector 0 of track 0: the code, the rest zero.
std::array<std::uint8_t, SectorBytes> BootSector(bool mixed);
// The boot sector and the page's four sectors into track 0, each where the
// image's DOS order keeps its physical sector.
void PutBootTrack(Container& c, const Bytes& page, bool mixed);
// A 140 KB DOS-order image file whose track 0 starts with our boot code.
bool IsBootDisk(const std::vector<std::uint8_t>& file);
// The B file's name for a page file: its name, upper case, as DOS takes it.
std::string BootFileName(const std::string& pagePath);

}  // namespace diskimage
