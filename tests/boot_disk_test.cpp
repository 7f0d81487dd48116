// The boot disk on a machine of our own: a small 6502 that knows the
// instructions the boot code uses, loaded as the Disk II firmware loads a
// disk (physical sector 0 of track 0 at $0800, then as many sectors as its
// first byte says), run from $0801 with X = slot * 16. The page must be on
// the screen, the video switches set, and nothing touched after.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "diskimage/boot_disk.h"
#include "diskimage/disk_image.h"
#include "documents/conversions.h"
#include "test_files.h"

using namespace testfiles;

namespace {

// DOS 3.3's published skew: logical sector l is physical sector Physical[l].
constexpr int Physical[16] = {0, 13, 11, 9, 7, 5, 3, 1, 14, 12, 10, 8, 6, 4, 2, 15};

struct Machine {
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(0x10000, 0);
    std::uint16_t pc = 0;
    std::uint8_t a = 0, x = 0;
    bool zero = false, negative = false;
    std::vector<std::pair<char, int>> io;  // 'r' or 'w', and the soft switch ($C000-$C0FF)
    std::vector<int> pictureWrites;         // addresses in $0400-$07FF written
    std::string fault;

    std::uint8_t Read(int at) {
        if (at >= 0xC000 && at <= 0xC0FF) io.emplace_back('r', at);
        return memory[static_cast<std::size_t>(at)];
    }
    void Write(int at, std::uint8_t v) {
        if (at >= 0xC000 && at <= 0xC0FF) io.emplace_back('w', at);
        if (at >= 0x0400 && at <= 0x07FF) pictureWrites.push_back(at);
        memory[static_cast<std::size_t>(at)] = v;
    }
    int Word(int at) { return memory[static_cast<std::size_t>(at)] | memory[static_cast<std::size_t>(at + 1)] << 8; }
    void Flags(std::uint8_t v) {
        zero = v == 0;
        negative = v & 0x80;
    }

    // One instruction; false when it is one the boot code should not use.
    bool Step() {
        const std::uint8_t op = memory[pc];
        switch (op) {
        case 0xAD: a = Read(Word(pc + 1)); Flags(a); pc += 3; return true;             // LDA abs
        case 0xBD: a = Read(Word(pc + 1) + x); Flags(a); pc += 3; return true;         // LDA abs,X
        case 0x8D: Write(Word(pc + 1), a); pc += 3; return true;                       // STA abs
        case 0x9D: Write(Word(pc + 1) + x, a); pc += 3; return true;                   // STA abs,X
        case 0xA2: x = memory[pc + 1]; Flags(x); pc += 2; return true;                 // LDX #
        case 0xE8: ++x; Flags(x); pc += 1; return true;                                // INX
        case 0xD0:                                                                     // BNE
            pc = static_cast<std::uint16_t>(pc + 2 + (zero ? 0 : static_cast<std::int8_t>(memory[pc + 1])));
            return true;
        case 0x4C: pc = static_cast<std::uint16_t>(Word(pc + 1)); return true;         // JMP abs
        default:
            fault = "opcode $" + std::to_string(op) + " at " + std::to_string(pc);
            return false;
        }
    }
};

// What the firmware does with the disk in drive 1 of slot 6.
Machine Boot(const std::vector<std::uint8_t>& image) {
    Machine m;
    const auto physicalSector = [&](int p) {
        for (int l = 0; l < 16; ++l)
            if (Physical[l] == p) return image.data() + l * 256;  // track 0
        return image.data();
    };
    std::memcpy(m.memory.data() + 0x0800, physicalSector(0), 256);
    const int count = m.memory[0x0800];
    for (int p = 1; p < count; ++p) std::memcpy(m.memory.data() + 0x0800 + 256 * p, physicalSector(p), 256);
    m.x = 0x60;
    m.pc = 0x0801;
    return m;
}

// Runs until the code waits (a jump to itself), at most some steps.
bool RunUntilWaiting(Machine& m) {
    for (int steps = 0; steps < 100000; ++steps) {
        if (m.memory[m.pc] == 0x4C && m.Word(m.pc + 1) == m.pc) return true;
        if (!m.Step()) return false;
    }
    return false;
}

// A page whose four quarters differ (a pattern repeating every 256 bytes
// could not show two of them swapped).
diskimage::Bytes PageOf(int seed) {
    auto v = Pattern(1024, seed);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(v[i] ^ (i >> 8) * 0x35);
    return {v.begin(), v.end()};
}

}  // namespace

TEST(BootDisk, ItsTrackZeroBootsIntoThePageWithTheSwitchesSetFullOrMixed) {
    TempDir dir;
    const diskimage::Bytes page = PageOf(8);
    WriteAll(dir / "title.gr", {page.begin(), page.end()});
    for (const bool mixed : {false, true}) {
        const std::string image = dir / (mixed ? "mixed.dsk" : "full.dsk");
        const auto made = documents::BootDiskOfPage(dir / "title.gr", image, mixed);
        ASSERT_TRUE(made.ok) << made.message;
        const std::vector<std::uint8_t> disk = ReadAll(image);
        ASSERT_EQ(disk.size(), 143360u);
        Machine m = Boot(disk);
        EXPECT_EQ(m.memory[0x0800], 5) << "the code and the page's four sectors";
        ASSERT_TRUE(RunUntilWaiting(m)) << m.fault;
        EXPECT_TRUE(std::equal(page.begin(), page.end(), m.memory.begin() + 0x0400)) << "the page at $0400-$07FF";
        const std::vector<std::pair<char, int>> expected = {
            {'w', 0xC000}, {'w', 0xC00C}, {'w', 0xC00E}, {'r', 0xC05F},  // 80STORE, 80COL, ALTCHAR off; AN3 high
            {'r', 0xC050}, {'r', 0xC056}, {'r', 0xC054}, {'r', mixed ? 0xC053 : 0xC052}};
        EXPECT_EQ(m.io, expected);
        // Waiting: nothing more happens to the picture or the switches.
        const auto writes = m.pictureWrites.size();
        const auto switches = m.io.size();
        for (int i = 0; i < 1000; ++i) ASSERT_TRUE(m.Step());
        EXPECT_EQ(m.pictureWrites.size(), writes);
        EXPECT_EQ(m.io.size(), switches);

        // The same disk is a DOS 3.3 data disk with the page as a B file.
        diskimage::Listing listing;
        std::string error;
        ASSERT_TRUE(diskimage::ListImage(image, listing, error)) << error;
        ASSERT_EQ(listing.files.size(), 1u);
        EXPECT_EQ(listing.files[0].name, "TITLE.GR");
        EXPECT_TRUE(listing.files[0].IsPage());
        diskimage::Bytes read;
        ASSERT_TRUE(diskimage::ReadImageFile(image, "TITLE.GR", read, error)) << error;
        EXPECT_EQ(read, page);
        for (int track = 0; track <= 2; ++track) {
            EXPECT_EQ(disk[17 * 4096 + 0x38 + 4 * track], 0) << "track " << track << " in use";
            EXPECT_EQ(disk[17 * 4096 + 0x39 + 4 * track], 0) << "track " << track << " in use";
        }
    }
}

TEST(BootDisk, OnlyADiskMadeSoIsReplacedAndAProDosOneIsRefused) {
    TempDir dir;
    std::string error;
    // Ours, full or mixed, is replaced by either.
    for (const bool firstMixed : {false, true}) {
        const std::string disk = dir / (firstMixed ? "m.dsk" : "b.dsk");
        WriteAll(dir / "p", Pattern(1024, 1));
        ASSERT_TRUE(documents::BootDiskOfPage(dir / "p", disk, firstMixed).ok);
        WriteAll(dir / "p", Pattern(1024, 2));
        ASSERT_TRUE(documents::BootDiskOfPage(dir / "p", disk, !firstMixed).ok) << "ours: replaced";
        diskimage::Bytes read;
        ASSERT_TRUE(diskimage::ReadImageFile(disk, "P", read, error));
        EXPECT_EQ(std::vector<std::uint8_t>(read.begin(), read.end()), Pattern(1024, 2));
    }
    // The page's name as a DOS name: what DOS cannot show as a dot, at most 30 characters.
    for (const auto& [path, name] : {std::pair{"/x/a_b{c|d}e~f", "A.B.C.D.E.F"}, std::pair{"/x/pic,1", "PIC.1"}, std::pair{"art.dsk:TITLE", "TITLE"},
                                     std::pair{"/x/9lives", "P9LIVES"},
                                     std::pair{"/x/abcdefghijklmnopqrstuvwxyz0123456789", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"}})
        EXPECT_EQ(diskimage::BootFileName(path), name) << path;

    // Another disk, or any other file, stays as it is.
    ASSERT_TRUE(diskimage::WritePageToImage(dir / "art.dsk", "PIC", PageOf(3)));
    const auto art = ReadAll(dir / "art.dsk");
    auto refused = documents::BootDiskOfPage(dir / "p", dir / "art.dsk", false);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.message.find("not a boot disk made by vornel"), std::string::npos) << refused.message;
    EXPECT_EQ(ReadAll(dir / "art.dsk"), art);
    refused = documents::BootDiskOfPage(dir / "p", dir / "b.po", false);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.message.find("DOS order"), std::string::npos) << refused.message;
    EXPECT_FALSE(Exists(dir / "b.po"));
    // A page that is not one writes nothing.
    WriteAll(dir / "short", Pattern(100, 1));
    EXPECT_FALSE(documents::BootDiskOfPage(dir / "short", dir / "c.dsk", false).ok);
    EXPECT_FALSE(Exists(dir / "c.dsk"));
}

// The bytes the program carries are the source assembled (ca65 and ld65 from
// Debian's cc65, installed with the test tools).
TEST(BootDisk, TheCarriedCodeIsItsSourceAssembled) {
    if (std::system("command -v ca65 > /dev/null && command -v ld65 > /dev/null") != 0)
        GTEST_SKIP() << "no ca65 here: install-deps.sh installs it";
    TempDir dir;
    const auto assemble = [&](const char* name) {
        const std::string source = std::string(VORNEL_SOURCE_DIR) + "/diskimage/boot/" + name + ".s";
        const std::string command = "ca65 '" + source + "' -o '" + (dir / "code.o") + "' && ld65 -t none -S 0x0800 '" +
                                    (dir / "code.o") + "' -o '" + (dir / "code.bin") + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << name;
        return ReadAll(dir / "code.bin");
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> carried;
        std::size_t screen;
    } codes[] = {{"boot", {diskimage::BootCode.begin(), diskimage::BootCode.end()}, diskimage::BootScreenSwitch},
                 {"frames", {diskimage::FramesCode.begin(), diskimage::FramesCode.end()}, diskimage::FramesScreenSwitch}};
    for (const auto& code : codes) {
        const std::vector<std::uint8_t> assembled = assemble(code.name);
        EXPECT_EQ(assembled, code.carried) << code.name;
        // The byte the mixed disk changes is the low byte of LDA $C052.
        EXPECT_EQ(assembled.at(code.screen - 1), 0xAD) << code.name;
        EXPECT_EQ(assembled.at(code.screen), 0x52) << code.name;
        EXPECT_EQ(assembled.at(code.screen + 1), 0xC0) << code.name;
    }
}

#include "cpu6502.h"
#include "disk2.h"

namespace {

// The frames disk on the machine: the firmware's load of track 0, then the
// loader's own reading through the Disk II, then the flips, each one's
// cycle and the page then shown; a write to the page shown while shown is
// a fault.
struct Player {
    cpu6502::Cpu cpu;
    disk2::Drive drive;
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> flips;  // cycle, the page shown
    bool graphics = false, text = false, mixed = false;
    std::uint64_t graphicsAt = 0;  // the cycle the first frame came on
    int shown = 1;
    std::vector<int> faults;

    explicit Player(const std::vector<std::uint8_t>& image) : drive(image) {
        const auto physicalSector = [&](int p) { return image.data() + disk2::LogicalOf(p) * 256; };
        std::memcpy(cpu.memory.data() + 0x0800, physicalSector(0), 256);
        for (int p = 1; p < cpu.memory[0x0800]; ++p) std::memcpy(cpu.memory.data() + 0x0800 + 256 * p, physicalSector(p), 256);
        // The motor is left off: the loader turns it on itself.
        cpu.x = 0x60;
        cpu.pc = 0x0801;
        cpu.io = [this](int at, int, std::uint64_t cycle) -> std::uint8_t {
            if (at >= 0xC0E0 && at <= 0xC0EF) return drive.Access(at, cycle);
            if (at == 0xC050 && !graphics) {
                graphics = true;
                graphicsAt = cycle;
            }
            if (at == 0xC051) text = true;
            if (at == 0xC053) mixed = true;
            if (at == 0xC054 || at == 0xC055) {
                shown = at == 0xC054 ? 1 : 2;
                if (graphics) {
                    const auto page = cpu.memory.begin() + shown * 0x400;
                    flips.push_back({cycle, {page, page + 0x400}});
                }
            }
            return 0;
        };
        cpu.watch = [this](int at, std::uint8_t, std::uint64_t) {
            if (graphics && at >= shown * 0x400 && at < shown * 0x400 + 0x400) faults.push_back(at);
        };
    }
    bool Run(std::size_t flipsWanted, std::uint64_t cycles) {
        while (flips.size() < flipsWanted && cpu.cycles < cycles && !text)
            if (!cpu.Step()) return false;
        return true;
    }
};

}  // namespace

TEST(BootDisk, TheFramesDiskLoadsThemWithItsOwnCodeAndPlaysEachInTurn) {
    TempDir dir;
    // Two frames (the least that plays), four (the file's last sector holds
    // just the last frame's last 4 bytes) and 33, at three rates.
    for (const auto& [Frames, fps] : {std::pair<std::size_t, int>{33, 5}, {2, 10}, {4, 60}}) {
        std::vector<std::uint8_t> frames;
        for (std::size_t f = 0; f < Frames; ++f) {
            const auto page = PageOf(static_cast<int>(f));
            frames.insert(frames.end(), page.begin(), page.end());
        }
        const std::string image = dir / ("play" + std::to_string(fps) + ".dsk");
        const auto made = diskimage::WriteBootDisk(image, "MOVIE", {frames.begin(), frames.end()}, false, fps);
        ASSERT_TRUE(made.ok) << made.error;
        const auto disk = ReadAll(image);
        for (std::size_t track = 1; track <= (Frames * 1024 + 4 + 255) / 256 / 16; ++track)  // the tracks filled
            EXPECT_EQ(disk[17 * 4096 + 0x38 + 4 * track] | disk[17 * 4096 + 0x39 + 4 * track], 0) << "track " << track << " in use";
        Player player(disk);
        ASSERT_TRUE(player.Run(2 * Frames + 2, 200000000)) << player.cpu.fault;
        ASSERT_EQ(player.flips.size(), 2 * Frames + 2) << "text mode: " << player.text;
        for (std::size_t k = 0; k < player.flips.size(); ++k)
            ASSERT_TRUE(std::equal(player.flips[k].second.begin(), player.flips[k].second.end(),
                                   frames.begin() + static_cast<long>((k + 1) % Frames * 1024)))
                << "flip " << k << ": frame 0 is on page 1 before the graphics come on";
        EXPECT_TRUE(player.faults.empty()) << "the page shown written " << player.faults.size() << " times";
        EXPECT_FALSE(player.mixed);
        // Every frame for its share, the first one's first showing too.
        for (std::size_t k = 0; k < player.flips.size(); ++k) {
            const double period = static_cast<double>(player.flips[k].first - (k ? player.flips[k - 1].first : player.graphicsAt));
            EXPECT_NEAR(period, 1023000.0 / fps, 1023000.0 / fps / 100) << "flip " << k;
        }
    }
}

// A nibble changed in a frame's data field: the loader's checksum fails
// every pass, and it ends in text mode with its message, the graphics never
// on. Mixed: the four text lines come on. Too many frames: refused.
TEST(BootDisk, AFramesDiskThatCannotBeReadSaysSoAndTooManyFramesAreRefused) {
    TempDir dir;
    std::vector<std::uint8_t> frames;
    for (int f = 0; f < 3; ++f) {
        const auto page = PageOf(f + 20);
        frames.insert(frames.end(), page.begin(), page.end());
    }
    ASSERT_TRUE(diskimage::WriteBootDisk(dir / "m.dsk", "M", {frames.begin(), frames.end()}, false, 10).ok);
    const auto again = diskimage::WriteBootDisk(dir / "m.dsk", "M", {frames.begin(), frames.end()}, true, 30);
    ASSERT_TRUE(again.ok) << "a frames disk of ours is made again: " << again.error;
    Player mixed(ReadAll(dir / "m.dsk"));
    ASSERT_TRUE(mixed.Run(3, 50000000)) << mixed.cpu.fault;
    EXPECT_TRUE(mixed.mixed);

    Player damaged(ReadAll(dir / "m.dsk"));
    auto& track = damaged.drive.tracks_[1];
    std::size_t at = 0;
    while (!(track[at] == 0xD5 && track[at + 1] == 0xAA && track[at + 2] == 0xAD)) ++at;
    track[at + 100] = track[at + 100] == 0x96 ? 0x97 : 0x96;  // another valid disk byte
    ASSERT_TRUE(damaged.Run(1, 200000000)) << damaged.cpu.fault;
    EXPECT_TRUE(damaged.text);
    for (int k = 0; k < 200; ++k) ASSERT_TRUE(damaged.cpu.Step()) << damaged.cpu.fault;  // the message written
    EXPECT_FALSE(damaged.graphics) << "never a wrong picture";
    const std::string said(damaged.cpu.memory.begin() + 0x400, damaged.cpu.memory.begin() + 0x40F);
    std::string plain;
    for (const char c : said) plain += static_cast<char>(c & 0x7F);
    EXPECT_EQ(plain, "DISK READ ERROR");

    std::vector<std::uint8_t> most(39 * 1024, 1);
    EXPECT_TRUE(diskimage::WriteBootDisk(dir / "39.dsk", "F", {most.begin(), most.end()}, false, 10).ok) << "39 fit";
    std::vector<std::uint8_t> forty(40 * 1024, 1);
    const auto refused = diskimage::WriteBootDisk(dir / "f.dsk", "F", {forty.begin(), forty.end()}, false, 10);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, "more than 39 frames do not fit in the machine's memory; nothing was written");
    EXPECT_FALSE(Exists(dir / "f.dsk"));
}
