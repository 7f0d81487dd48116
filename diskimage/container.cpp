#include "diskimage/container.h"

#include <algorithm>
#include <cstring>

namespace diskimage {
namespace {

// A DOS 3.3 logical sector and the ProDOS logical sector at the same place
// on the track (both go through the same physical sector). The table is
// its own inverse.
constexpr int DosToProDos[SectorsPerTrack] = {0, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 15};

constexpr std::size_t TwoImgHeader = 64;

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }
void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool EndsWith(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

}  // namespace

std::size_t Container::SectorOffset(int track, int sector) const {
    const int stored = order == Order::Dos ? sector : DosToProDos[sector];
    return dataOffset + (static_cast<std::size_t>(track) * SectorsPerTrack + stored) * SectorBytes;
}

bool Container::ReadSector(int track, int sector, std::uint8_t* to) const {
    if (!Is140K() || track < 0 || track >= Tracks || sector < 0 || sector >= SectorsPerTrack) return false;
    std::memcpy(to, file.data() + SectorOffset(track, sector), SectorBytes);
    return true;
}

bool Container::WriteSector(int track, int sector, const std::uint8_t* from) {
    if (!Is140K() || track < 0 || track >= Tracks || sector < 0 || sector >= SectorsPerTrack) return false;
    std::memcpy(file.data() + SectorOffset(track, sector), from, SectorBytes);
    return true;
}

// A block is two 256-byte halves: ProDOS sectors 2k and 2k+1 of its track.
bool Container::ReadBlock(unsigned block, std::uint8_t* to) const {
    if (block >= Blocks()) return false;
    if (order == Order::ProDos) {
        std::memcpy(to, file.data() + dataOffset + static_cast<std::size_t>(block) * BlockBytes, BlockBytes);
        return true;
    }
    const int track = static_cast<int>(block / 8), k = static_cast<int>(block % 8);
    return ReadSector(track, DosToProDos[2 * k], to) && ReadSector(track, DosToProDos[2 * k + 1], to + SectorBytes);
}

bool Container::WriteBlock(unsigned block, const std::uint8_t* from) {
    if (block >= Blocks()) return false;
    if (order == Order::ProDos) {
        std::memcpy(file.data() + dataOffset + static_cast<std::size_t>(block) * BlockBytes, from, BlockBytes);
        return true;
    }
    const int track = static_cast<int>(block / 8), k = static_cast<int>(block % 8);
    return WriteSector(track, DosToProDos[2 * k], from) &&
           WriteSector(track, DosToProDos[2 * k + 1], from + SectorBytes);
}

bool HasImageExtension(const std::string& path) {
    const std::string p = Lower(path);
    return EndsWith(p, ".dsk") || EndsWith(p, ".do") || EndsWith(p, ".po") || EndsWith(p, ".2mg") || EndsWith(p, ".hdv");
}

Order OrderOfExtension(const std::string& path) {
    const std::string p = Lower(path);
    return EndsWith(p, ".po") || EndsWith(p, ".2mg") || EndsWith(p, ".hdv") ? Order::ProDos : Order::Dos;
}

bool IsTwoImgExtension(const std::string& path) { return EndsWith(Lower(path), ".2mg"); }

bool ParseContainer(std::vector<std::uint8_t> bytes, const std::string& path, Container& out, std::string& error) {
    out = Container{};
    out.file = std::move(bytes);
    const std::size_t size = out.file.size();
    if (size >= TwoImgHeader && std::memcmp(out.file.data(), "2IMG", 4) == 0) {
        const std::uint8_t* h = out.file.data();
        const std::uint32_t format = Le32(h + 0x0C), offset = Le32(h + 0x18), length = Le32(h + 0x1C);
        if (format > 1) {
            error = "a 2IMG image of nibbles, not of sectors";
            return false;
        }
        if (offset < TwoImgHeader || offset > size || length > size - offset) {
            error = "a 2IMG header that disagrees with the file (its data would end past the file's end)";
            return false;
        }
        // Where the header counts blocks too, the two must agree.
        const std::uint32_t blocks = Le32(h + 0x14);
        if (format == 1 && blocks != 0 && static_cast<std::uint64_t>(blocks) * BlockBytes != length) {
            error = "a 2IMG header that disagrees with itself (its block count and data length differ)";
            return false;
        }
        out.twoImg = true;
        out.order = format == 0 ? Order::Dos : Order::ProDos;
        out.dataOffset = offset;
        out.dataLength = length;
    } else {
        out.order = OrderOfExtension(path);
        out.dataLength = size;
    }
    // A 140 KB disk in either order; a ProDOS volume of any size ProDOS
    // allows, in blocks.
    if (out.dataLength == DiskBytes140K) return true;
    if (out.dataLength > MaxVolumeBlocks * BlockBytes) {
        error = "larger than any ProDOS volume (65,535 blocks of 512 bytes)";
        return false;
    }
    if (out.dataLength == 0 || out.dataLength % BlockBytes != 0) {
        error = "not a DOS 3.3 or ProDOS disk image (its size is no whole number of 512-byte blocks)";
        return false;
    }
    out.order = Order::ProDos;  // blocks only
    return true;
}

Container BlankContainer(std::size_t dataLength, Order order, bool twoImg) {
    Container c;
    c.order = order;
    c.twoImg = twoImg;
    c.dataOffset = twoImg ? TwoImgHeader : 0;
    c.dataLength = dataLength;
    c.file.assign(c.dataOffset + dataLength, 0);
    if (twoImg) {
        std::uint8_t* h = c.file.data();
        std::memcpy(h, "2IMG", 4);
        std::memcpy(h + 4, "VRNL", 4);
        h[8] = static_cast<std::uint8_t>(TwoImgHeader);
        h[10] = 1;  // version
        PutLe32(h + 0x0C, order == Order::Dos ? 0 : 1);
        PutLe32(h + 0x14, order == Order::ProDos ? static_cast<std::uint32_t>(dataLength / BlockBytes) : 0);
        PutLe32(h + 0x18, static_cast<std::uint32_t>(TwoImgHeader));
        PutLe32(h + 0x1C, static_cast<std::uint32_t>(dataLength));
    }
    return c;
}

}  // namespace diskimage
