// The tests' machine for the boot disk: the 6502's cycle counts against
// loops counted by hand, and the Disk II's nibbles decoded back by the
// published 6-and-2 rules into the image's bytes, at the head's track.
#include <gtest/gtest.h>

#include "cpu6502.h"
#include "disk2.h"

namespace {

// A track's sector back from its nibbles, as a reader following the format does.
std::vector<std::uint8_t> ReadSector(const std::vector<std::uint8_t>& track, int physical, int& trackInField) {
    std::array<int, 256> value{};
    value.fill(-1);
    for (int v = 0; v < 64; ++v) value[disk2::Nibbles[v]] = v;
    for (std::size_t at = 0; at + 3 < track.size(); ++at) {
        if (track[at] != 0xD5 || track[at + 1] != 0xAA || track[at + 2] != 0x96) continue;
        const auto four = [&](std::size_t k) { return (track[k] << 1 | 1) & track[k + 1]; };
        trackInField = four(at + 5);
        if (four(at + 7) != physical) continue;
        std::size_t d = at + 14;
        while (!(track[d] == 0xD5 && track[d + 1] == 0xAA && track[d + 2] == 0xAD)) ++d;
        d += 3;
        std::array<std::uint8_t, 342> v{};
        std::uint8_t last = 0;
        for (int k = 0; k < 342; ++k) last = v[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value[track[d + k]] ^ last);
        EXPECT_EQ(value[track[d + 342]], last) << "the checksum";
        std::vector<std::uint8_t> out(256);
        for (int k = 0; k < 256; ++k) {
            const int two = v[static_cast<std::size_t>(k % 86)] >> (2 * (k / 86)) & 3;
            out[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v[static_cast<std::size_t>(86 + k)] << 2 | (two & 1) << 1 | two >> 1);
        }
        return out;
    }
    return {};
}

}  // namespace

TEST(DiskModel, CyclesAreCountedAndNibblesDecodeToTheImage) {
    // LDX #0; DEX; BNE *-1 (taken 255 times); a page-crossing LDA abs,X.
    cpu6502::Cpu cpu;
    const std::uint8_t program[] = {0xA2, 0x00, 0xCA, 0xD0, 0xFD, 0xA2, 0x01, 0xBD, 0xFF, 0x20, 0x4C, 0x0A, 0x03};
    std::copy(std::begin(program), std::end(program), cpu.memory.begin() + 0x300);
    cpu.memory[0x2100] = 0x5A;
    cpu.pc = 0x300;
    while (cpu.pc != 0x30A) ASSERT_TRUE(cpu.Step()) << cpu.fault;
    EXPECT_EQ(cpu.cycles, 2u + 255 * 5 + 4 + 2 + 5);
    EXPECT_EQ(cpu.a, 0x5A);

    std::vector<std::uint8_t> image(143360);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 37 + i / 256 * 11 + i / 4096);
    disk2::Drive drive(image);
    for (const int t : {0, 1, 17, 34}) {
        for (int logical = 0; logical < 16; ++logical) {
            int fieldTrack = -1;
            const auto sector = ReadSector(drive.tracks_[static_cast<std::size_t>(t)], disk2::Physical[logical], fieldTrack);
            EXPECT_EQ(fieldTrack, t);
            ASSERT_EQ(sector, std::vector<std::uint8_t>(image.begin() + (t * 16 + logical) * 256,
                                                        image.begin() + (t * 16 + logical + 1) * 256))
                << t << "/" << logical;
        }
    }
    // Phases 1 then 2 on (each alone): two half tracks, one track in.
    for (const int s : {0xC0E3, 0xC0E2, 0xC0E5, 0xC0E4}) drive.Access(s, 0);
    EXPECT_EQ(drive.TrackUnderHead(), 1);
}
