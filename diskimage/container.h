// The image file itself: its bytes in memory, a 2IMG header or none, and
// the order its sectors are stored in. It reads and writes 256-byte DOS
// sectors and 512-byte ProDOS blocks, whatever that order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace diskimage {

inline constexpr std::size_t DiskBytes140K = 143360;  // 35 tracks of 16 sectors of 256 bytes
inline constexpr std::size_t DiskBytes800K = 819200;  // 1600 blocks of 512 bytes
inline constexpr std::size_t MaxVolumeBlocks = 65535;  // the largest ProDOS volume (32 MB)
inline constexpr int Tracks = 35;
inline constexpr int SectorsPerTrack = 16;
inline constexpr int SectorBytes = 256;
inline constexpr int BlockBytes = 512;

enum class Order { Dos, ProDos };

struct Container {
    std::vector<std::uint8_t> file;  // the whole image file, header included
    std::size_t dataOffset = 0;      // where the disk's bytes start (64 with a 2IMG header)
    std::size_t dataLength = 0;
    Order order = Order::Dos;
    bool twoImg = false;

    std::size_t Blocks() const { return dataLength / BlockBytes; }
    bool Is140K() const { return dataLength == DiskBytes140K; }

    // False when the sector or block is not on the disk.
    bool ReadSector(int track, int sector, std::uint8_t* to) const;
    bool WriteSector(int track, int sector, const std::uint8_t* from);
    bool ReadBlock(unsigned block, std::uint8_t* to) const;
    bool WriteBlock(unsigned block, const std::uint8_t* from);

private:
    // Where a DOS sector lives in the file, in this image's order.
    std::size_t SectorOffset(int track, int sector) const;
};

// The image file's bytes taken apart: 140 KB in either order, or a ProDOS
// volume of any size up to 65,535 blocks, raw or with a 2IMG header. The order is the header's word, else the extension's guess;
// the file systems check it against the content.
bool ParseContainer(std::vector<std::uint8_t> bytes, const std::string& path, Container& out, std::string& error);

// A blank image of the disk's size in that order, with a 2IMG header when asked.
Container BlankContainer(std::size_t dataLength, Order order, bool twoImg);

// The extension's word on the order (.po, .hdv and .2mg: ProDOS; .dsk and .do: DOS).
bool HasImageExtension(const std::string& path);
Order OrderOfExtension(const std::string& path);
bool IsTwoImgExtension(const std::string& path);

}  // namespace diskimage
