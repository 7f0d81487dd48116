// Pages inside Apple II disk images: written and read back on every format
// and order, nothing else of the image touched, every refusal (full disk,
// full catalog, locked file, bad name) leaving the image as it was, and
// damaged or hostile images refused without a crash, a hang or a write.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "diskimage/disk_image.h"
#include "test_files.h"

using namespace diskimage;
using namespace testfiles;

namespace {

Bytes PageOf(int seed) {
    const auto v = Pattern(PageBytes, seed);
    return {v.begin(), v.end()};
}

void SaveContainer(const std::string& path, const Container& c) { WriteAll(path, c.file); }

Container Load(const std::string& path) {
    Container c;
    std::string error;
    EXPECT_TRUE(ParseContainer(ReadAll(path), path, c, error)) << error;
    return c;
}

// The 256-byte pieces of the disk that differ between two images.
int ChangedSectors(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, std::size_t offset) {
    int changed = 0;
    for (std::size_t at = offset; at + SectorBytes <= a.size(); at += SectorBytes)
        changed += std::memcmp(a.data() + at, b.data() + at, SectorBytes) != 0;
    return changed;
}

std::string ReadError(const std::string& image, const std::string& name) {
    Bytes data;
    std::string error;
    ReadImageFile(image, name, data, error);
    return error;
}

// "P12": a file name with a number (built without the temporary strings
// the compiler warns about).
std::string Numbered(char letter, int n) {
    std::string name(1, letter);
    name.append(std::to_string(n));
    return name;
}

std::string WriteError(const std::string& image, const std::string& name, const Bytes& page) {
    const WriteResult r = WritePageToImage(image, name, page);
    return r.ok ? std::string() : r.error;
}

}  // namespace

TEST(DiskImages, PagesGoInAndComeBackOnEveryFormatAndOrderTouchingNothingElse) {
    TempDir dir;
    // 800 KB ProDOS and a 2IMG in DOS order, made here; the rest made by a save.
    Container big = BlankContainer(DiskBytes800K, Order::ProDos, false);
    prodos::Format(big, "BIG");
    SaveContainer(dir / "big.po", big);
    Container dosTwoImg = BlankContainer(DiskBytes140K, Order::Dos, true);
    dos33::Format(dosTwoImg, 254);
    SaveContainer(dir / "dos.2mg", dosTwoImg);

    struct Case {
        const char* file;
        const char* format;
        std::size_t size;
        int newFileSectors;  // data, list or index, catalog, free map
    };
    for (const Case& k : {Case{"new.dsk", "DOS 3.3", DiskBytes140K, 8}, Case{"new.do", "DOS 3.3", DiskBytes140K, 8},
                          Case{"new.po", "ProDOS", DiskBytes140K, 8}, Case{"new.2mg", "ProDOS", DiskBytes140K + 64, 8},
                          Case{"big.po", "ProDOS", DiskBytes800K, 8}, Case{"dos.2mg", "DOS 3.3", DiskBytes140K + 64, 8}}) {
        SCOPED_TRACE(k.file);
        const std::string image = dir / k.file;
        ASSERT_EQ(WriteError(image, "OTHER", PageOf(1)), "");
        EXPECT_EQ(ReadAll(image).size(), k.size);
        const auto before = ReadAll(image);
        ASSERT_EQ(WriteError(image, "pic", PageOf(2)), "") << "names are upper-cased";
        const auto afterNew = ReadAll(image);
        const std::size_t offset = k.size % 2 ? 0 : k.size - (k.size >= DiskBytes800K ? DiskBytes800K : DiskBytes140K);
        // ProDOS counts 512-byte blocks: the index and two data blocks, the
        // directory block and the bitmap are eight 256-byte halves at most.
        EXPECT_LE(ChangedSectors(before, afterNew, offset), k.newFileSectors);
        Bytes data;
        std::string error;
        ASSERT_TRUE(ReadImageFile(image, "PIC", data, error)) << error;
        EXPECT_EQ(data, PageOf(2));
        ASSERT_TRUE(ReadImageFile(image, "OTHER", data, error));
        EXPECT_EQ(data, PageOf(1));

        // Replacing a page rewrites its data and nothing else.
        ASSERT_EQ(WriteError(image, "PIC", PageOf(3)), "");
        const auto afterReplace = ReadAll(image);
        EXPECT_LE(ChangedSectors(afterNew, afterReplace, offset), 5) << "only data sectors";
        ASSERT_TRUE(ReadImageFile(image, "PIC", data, error));
        EXPECT_EQ(data, PageOf(3));

        Listing listing;
        ASSERT_TRUE(ListImage(image, listing, error)) << error;
        EXPECT_EQ(listing.format, k.format);
        ASSERT_EQ(listing.files.size(), 2u);
        EXPECT_EQ(listing.files[1].name, "PIC");
        EXPECT_TRUE(listing.files[1].IsPage());
        EXPECT_EQ(listing.files[1].address, 0x400);
    }
    // A raw image whose name says the wrong order is still read by its content.
    std::rename((dir / "new.po").c_str(), (dir / "misnamed.dsk").c_str());
    Bytes data;
    std::string error;
    EXPECT_TRUE(ReadImageFile(dir / "misnamed.dsk", "PIC", data, error)) << error;
    EXPECT_EQ(data, PageOf(3));
}

TEST(DiskImages, RefusalsLeaveTheImageAsItWas) {
    TempDir dir;
    const std::string dos = dir / "d.dsk", pro = dir / "p.po";
    ASSERT_EQ(WriteError(dos, "A", PageOf(1)), "");
    ASSERT_EQ(WriteError(pro, "A", PageOf(1)), "");
    for (const auto& image : {dos, pro}) {
        const auto before = ReadAll(image);
        EXPECT_NE(WriteError(image, "1PIC", PageOf(2)), "");
        EXPECT_NE(WriteError(image, "A,B", PageOf(2)), "");
        EXPECT_NE(WriteError(image, std::string(31, 'X'), PageOf(2)), "");
        EXPECT_EQ(ReadAll(image), before);
    }
    EXPECT_EQ(WriteError(pro, "PIC-1", PageOf(2)), "a ProDOS name has only letters, digits and periods");
    // A file on the way is no folder (a missing folder is made: see the layout tests).
    const auto beforeFolder = ReadAll(pro);
    EXPECT_EQ(WriteError(pro, "A/PIC", PageOf(2)), "A is not a folder");
    EXPECT_EQ(ReadAll(pro), beforeFolder);

    // Locked files.
    Container c = Load(dos);
    std::uint8_t catalog[SectorBytes];
    c.ReadSector(17, 15, catalog);
    catalog[0x0B + 2] |= 0x80;
    c.WriteSector(17, 15, catalog);
    SaveContainer(dos, c);
    EXPECT_EQ(WriteError(dos, "A", PageOf(2)), "A is locked");
    c = Load(pro);
    std::uint8_t block[BlockBytes];
    c.ReadBlock(2, block);
    block[4 + 0x27 + 0x1E] = 0x01;  // read only
    c.WriteBlock(2, block);
    SaveContainer(pro, c);
    EXPECT_EQ(WriteError(pro, "A", PageOf(2)), "A is locked");

    // A full disk: DOS fills up (82 pages fit), ProDOS's directory first (51 entries).
    int saved = 0;
    std::string last;
    for (int i = 0; i < 120 && last.empty(); ++i) {
        last = WriteError(dos, Numbered('P', i), PageOf(i));
        saved += last.empty();
    }
    EXPECT_EQ(last, "the disk is full");
    EXPECT_EQ(saved, 81);
    last.clear();
    for (int i = 0; i < 120 && last.empty(); ++i) last = WriteError(pro, Numbered('P', i), PageOf(i));
    EXPECT_EQ(last, "the disk's catalog is full");

    // A DOS catalog of one sector holds seven files.
    const std::string small = dir / "small.dsk";
    Container one = BlankContainer(DiskBytes140K, Order::Dos, false);
    dos33::Format(one, 254);
    std::uint8_t first[SectorBytes];
    one.ReadSector(17, 15, first);
    first[1] = first[2] = 0;
    one.WriteSector(17, 15, first);
    SaveContainer(small, one);
    for (int i = 0; i < 7; ++i) ASSERT_EQ(WriteError(small, Numbered('F', i), PageOf(i)), "");
    const auto full = ReadAll(small);
    EXPECT_EQ(WriteError(small, "F7", PageOf(7)), "the disk's catalog is full");
    EXPECT_EQ(ReadAll(small), full);
    EXPECT_TRUE(Entries(dir.path()).size() == 3) << "no temporary left behind";
}

TEST(DiskImages, DamagedImagesAreRefusedWithoutCrashHangOrWrite) {
    TempDir dir;
    const std::string dos = dir / "d.dsk", pro = dir / "p.po";
    ASSERT_EQ(WriteError(dos, "PIC", PageOf(1)), "");
    ASSERT_EQ(WriteError(pro, "PIC", PageOf(1)), "");
    const auto dosBytes = ReadAll(dos), proBytes = ReadAll(pro);
    const auto damaged = [&](const std::string& path, const std::vector<std::uint8_t>& good, auto damage) {
        Container c;
        std::string error;
        ParseContainer(good, path, c, error);
        damage(c);
        SaveContainer(path, c);
    };
    const auto refusedEverywhere = [&](const std::string& path, const char* what) {
        SCOPED_TRACE(what);
        const auto bytes = ReadAll(path);
        Listing listing;
        std::string error;
        const bool listed = ListImage(path, listing, error);
        EXPECT_NE(ReadError(path, "PIC"), "");
        EXPECT_NE(WriteError(path, "PIC", PageOf(2)), "");
        EXPECT_EQ(ReadAll(path), bytes) << "nothing written";
        return listed;
    };
    std::uint8_t s[SectorBytes];
    std::uint8_t b[BlockBytes];
    // DOS: a catalog pointer off the disk, a catalog loop, a T/S list loop, a free map that disagrees.
    damaged(dos, dosBytes, [&](Container& c) { c.ReadSector(17, 0, s), s[1] = 40, c.WriteSector(17, 0, s); });
    EXPECT_FALSE(IsDiskImageFile(dos));
    damaged(dos, dosBytes, [&](Container& c) { c.ReadSector(17, 15, s), s[1] = 17, s[2] = 15, c.WriteSector(17, 15, s); });
    refusedEverywhere(dos, "catalog loop");
    damaged(dos, dosBytes, [&](Container& c) {
        c.ReadSector(17, 15, s);
        const int t = s[0x0B], sec = s[0x0C];
        std::uint8_t list[SectorBytes];
        c.ReadSector(t, sec, list);
        list[1] = static_cast<std::uint8_t>(t), list[2] = static_cast<std::uint8_t>(sec);
        c.WriteSector(t, sec, list);
    });
    refusedEverywhere(dos, "track/sector list loop");
    damaged(dos, dosBytes, [&](Container& c) {
        c.ReadSector(17, 0, s);
        for (int t = 0; t < 35; ++t) s[0x38 + 4 * t] = s[0x39 + 4 * t] = 0xFF;  // everything "free"
        c.WriteSector(17, 0, s);
    });
    EXPECT_EQ(ReadError(dos, "PIC"), "") << "reading is still fine";
    const auto disagreeing = ReadAll(dos);
    EXPECT_EQ(WriteError(dos, "NEW", PageOf(3)), "the disk's free-sector map disagrees with its files");
    EXPECT_EQ(ReadAll(dos), disagreeing);
    // ProDOS: a directory loop, a block pointer off the disk, a header that does not fit.
    damaged(pro, proBytes, [&](Container& c) { c.ReadBlock(3, b), b[2] = 2, b[3] = 0, c.WriteBlock(3, b); });
    refusedEverywhere(pro, "directory loop");
    damaged(pro, proBytes, [&](Container& c) {
        c.ReadBlock(2, b), b[4 + 0x27 + 0x11] = 0xFF, b[4 + 0x27 + 0x12] = 0x7F, c.WriteBlock(2, b);
    });
    refusedEverywhere(pro, "key block off the disk");
    damaged(pro, proBytes, [&](Container& c) { c.ReadBlock(2, b), b[0x27] = 0xFF, b[0x28] = 0x01, c.WriteBlock(2, b); });
    refusedEverywhere(pro, "bitmap off the disk");
    // Wrong sizes, a truncated 2IMG, no file system at all.
    auto cut = dosBytes;
    cut.pop_back();
    WriteAll(dir / "cut.dsk", cut);
    WriteAll(dir / "zero.dsk", std::vector<std::uint8_t>(DiskBytes140K, 0));
    std::vector<std::uint8_t> header(64, 0);
    std::memcpy(header.data(), "2IMG", 4);
    header[0x18] = 64, header[0x1C] = 0xFF, header[0x1D] = 0xFF, header[0x1E] = 0x0F;
    WriteAll(dir / "short.2mg", header);
    for (const char* name : {"cut.dsk", "zero.dsk", "short.2mg"}) {
        EXPECT_FALSE(IsDiskImageFile(dir / name)) << name;
        EXPECT_NE(WriteError(dir / name, "PIC", PageOf(1)), "") << name;
    }
}

TEST(DiskImages, MutatedImagesNeverCrashOrHang) {
    TempDir dir;
    const std::string dos = dir / "d.dsk", pro = dir / "p.po", work = dir / "w.dsk";
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(WriteError(dos, "PIC" + std::to_string(i), PageOf(i)), "");
        ASSERT_EQ(WriteError(pro, "PIC" + std::to_string(i), PageOf(i)), "");
    }
    const std::vector<std::vector<std::uint8_t>> originals{ReadAll(dos), ReadAll(pro)};
    // Where the catalogs, lists, directories and maps live.
    const std::vector<std::pair<std::size_t, std::size_t>> hot{{17 * 4096, 4096}, {0, 4096 * 4}};
    std::mt19937 random(5);
    for (int rounds = 0; rounds < 200; ++rounds) {
        const int which = rounds % 2;
        auto bytes = originals[which];
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int f = 0; f < flips; ++f) {
            const auto [start, length] = random() % 4 ? hot[which] : std::pair<std::size_t, std::size_t>{0, bytes.size()};
            bytes[start + random() % length] = static_cast<std::uint8_t>(random());
        }
        const std::string path = which ? dir / "w.po" : work;
        WriteAll(path, bytes);
        Listing listing;
        std::string error;
        if (ListImage(path, listing, error))
            for (const auto& f : listing.files) ReadError(path, f.name);
        WriteError(path, "NEW", PageOf(9));
        WriteError(path, "PIC1", PageOf(9));
    }
}

// ProDOS volumes of a whole number of bitmap blocks take a page, and past
// block 4096 the bitmap block that covers a block is the one read: with
// every block of the first 4096 marked in use, the page goes beyond them.
TEST(DiskImages, ProDosBitmapsOfEverySizeAreReadWhereTheyCoverTheBlock) {
    TempDir dir;
    for (const std::size_t blocks : {std::size_t{4096}, std::size_t{8192}, std::size_t{12000}}) {
        SCOPED_TRACE(blocks);
        Container c = BlankContainer(blocks * BlockBytes, Order::ProDos, false);
        prodos::Format(c, "BIG");
        const std::string path = dir / ("v" + std::to_string(blocks) + ".po");
        std::vector<std::uint8_t> bytes = c.file;
        const std::size_t bitmap = 6 * BlockBytes;  // the first bitmap block, after the directory
        const bool beyond = blocks > 4096;
        if (beyond) std::memset(bytes.data() + bitmap, 0, BlockBytes);  // blocks 0 to 4095 all in use
        WriteAll(path, bytes);
        ASSERT_EQ(WriteError(path, "PIC", PageOf(7)), "");
        Bytes read;
        std::string error;
        ASSERT_TRUE(ReadImageFile(path, "PIC", read, error)) << error;
        EXPECT_EQ(read, PageOf(7));
        const std::vector<std::uint8_t> after = ReadAll(path);
        if (!beyond) continue;
        EXPECT_TRUE(std::equal(after.begin() + bitmap, after.begin() + bitmap + BlockBytes, bytes.begin() + bitmap))
            << "the first bitmap block is not touched";
        // Its sapling's key block lies past block 4095 (the entry's key pointer).
        const std::size_t entry = 2 * BlockBytes + 4 + 0x27;
        EXPECT_GE(after[entry + 0x11] | after[entry + 0x12] << 8, 4096);
    }
    // The largest volume ProDOS allows, in a 2IMG file (its header beside it).
    Container largest = BlankContainer(MaxVolumeBlocks * BlockBytes, Order::ProDos, true);
    prodos::Format(largest, "LARGEST");
    WriteAll(dir / "largest.2mg", largest.file);
    EXPECT_EQ(WriteError(dir / "largest.2mg", "PIC", PageOf(8)), "");
}
