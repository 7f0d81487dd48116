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
