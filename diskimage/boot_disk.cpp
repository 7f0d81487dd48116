// A disk that boots straight into a picture: a DOS 3.3 data disk carrying
// the page as a B file, with boot code of our own and a second copy of the
// page in track 0, where the Disk II firmware loads them.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "diskimage/boot_disk.h"

namespace diskimage {

// Assembled from boot/boot.s (ca65, then ld65 -t none -S 0x0800); a test
// assembles the source again and compares.
const std::array<std::uint8_t, BootCodeBytes> BootCode = {
    0x05, 0x8D, 0x00, 0xC0, 0x8D, 0x0C, 0xC0, 0x8D, 0x0E, 0xC0, 0xAD, 0x5F, 0xC0, 0xA2, 0x00, 0xBD,
    0x00, 0x09, 0x9D, 0x00, 0x04, 0xBD, 0x00, 0x0A, 0x9D, 0x00, 0x05, 0xBD, 0x00, 0x0B, 0x9D, 0x00,
    0x06, 0xBD, 0x00, 0x0C, 0x9D, 0x00, 0x07, 0xE8, 0xD0, 0xE5, 0xAD, 0x50, 0xC0, 0xAD, 0x56, 0xC0,
    0xAD, 0x54, 0xC0, 0xAD, 0x52, 0xC0, 0x4C, 0x36, 0x08,
};

namespace {

// Where a DOS-order image keeps physical sector p of a track: DOS's own
// skew, physical 0, 1, 2, 3, 4 being logical 0, 7, 14, 6, 13.
constexpr int LogicalOfPhysical[SectorsPerTrack] = {0, 7, 14, 6, 13, 5, 12, 4, 11, 3, 10, 2, 9, 1, 8, 15};

}  // namespace

std::array<std::uint8_t, SectorBytes> BootSector(bool mixed) {
    std::array<std::uint8_t, SectorBytes> sector{};
    std::copy(BootCode.begin(), BootCode.end(), sector.begin());
    if (mixed) sector[BootScreenSwitch] = 0x53;  // $C053: mixed, four lines of text
    return sector;
}

bool IsBootDisk(const std::vector<std::uint8_t>& file) {
    if (file.size() != DiskBytes140K) return false;
    for (std::size_t i = 0; i < BootCode.size(); ++i)
        if (i != BootScreenSwitch && file[i] != BootCode[i]) return false;
    return file[BootScreenSwitch] == 0x52 || file[BootScreenSwitch] == 0x53;
}

void PutBootTrack(Container& c, const Bytes& page, bool mixed) {
    const auto sector = BootSector(mixed);
    c.WriteSector(0, LogicalOfPhysical[0], sector.data());
    for (int quarter = 0; quarter < 4; ++quarter)
        c.WriteSector(0, LogicalOfPhysical[1 + quarter], page.data() + SectorBytes * quarter);
}

std::string BootFileName(const std::string& pagePath) {
    std::string base = pagePath.substr(pagePath.find_last_of("/:") + 1);
    std::string name;
    for (const char ch : base) {
        const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        name += up >= 0x20 && up <= 0x5E && up != ',' && up != ':' ? up : '.';
    }
    if (name.empty() || name[0] < 'A' || name[0] > 'Z') name = "P" + name;
    return name.substr(0, 30);
}

}  // namespace diskimage
