// Disk images against images built here by hand from the published
// layouts (DOS 3.3's VTOC, catalog and track/sector lists; ProDOS's volume
// directory, entries, index blocks and bitmap; the two sector orders; the
// 2IMG header), not from this program's own writer: every byte of what a
// save writes is compared. Then what a save must refuse (overlapping files,
// a folder's name, a file that is no image) and many writers at once.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "diskimage/disk_image.h"
#include "documents/conversions.h"
#include "documents/documents.h"
#include "test_files.h"

using namespace diskimage;
using namespace testfiles;

namespace {

using Image = std::vector<std::uint8_t>;

Bytes PageOf(int seed) {
    const auto v = Pattern(PageBytes, seed);
    return {v.begin(), v.end()};
}

void Put16(Image& image, std::size_t at, unsigned v) {
    image[at] = static_cast<std::uint8_t>(v & 0xFF);
    image[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// --- DOS 3.3, in DOS order: track t, sector s at (16 t + s) * 256 ----------
std::size_t DosAt(int track, int sector) { return (static_cast<std::size_t>(track) * 16 + sector) * 256; }

// A blank DOS 3.3 data disk as this program makes one: volume 254, the VTOC
// at track 17 sector 0, the catalog chain from sector 15 down to sector 1,
// tracks 0 to 2 and 17 in use.
Image BlankDos() {
    Image d(DiskBytes140K, 0);
    const std::size_t v = DosAt(17, 0);
    d[v + 0x01] = 17;   // first catalog sector: track
    d[v + 0x02] = 15;   // and sector
    d[v + 0x03] = 3;    // DOS release
    d[v + 0x06] = 254;  // volume
    d[v + 0x27] = 122;  // track/sector pairs in a list
    d[v + 0x30] = 17;   // last track allocated
    d[v + 0x31] = 1;    // direction
    d[v + 0x34] = 35;   // tracks
    d[v + 0x35] = 16;   // sectors a track
    d[v + 0x36] = 0x00; // bytes a sector, 256
    d[v + 0x37] = 0x01;
    for (int t = 3; t < 35; ++t)
        if (t != 17) d[v + 0x38 + 4 * t] = d[v + 0x39 + 4 * t] = 0xFF;  // free: one bit a sector
    for (int s = 15; s >= 2; --s) {
        d[DosAt(17, s) + 1] = 17;
        d[DosAt(17, s) + 2] = static_cast<std::uint8_t>(s - 1);
    }
    return d;
}

// The page as B file NAME in the first catalog entry, as DOS lays it out:
// its track/sector list at (18, 15), its five data sectors (address,
// length, then the 1024 bytes) at (18, 14) down to (18, 10).
void AddDosPage(Image& d, const char* name, const Bytes& page) {
    const std::size_t entry = DosAt(17, 15) + 0x0B;
    d[entry + 0x00] = 18;  // track/sector list
    d[entry + 0x01] = 15;
    d[entry + 0x02] = 0x04;  // B
    for (int i = 0; i < 30; ++i) d[entry + 3 + i] = static_cast<std::uint8_t>((i < static_cast<int>(std::strlen(name)) ? name[i] : ' ') | 0x80);
    d[entry + 0x21] = 6;  // sectors: list and data
    Bytes content{0x00, 0x04, 0x00, 0x04};
    content.insert(content.end(), page.begin(), page.end());
    for (int i = 0; i < 5; ++i) {
        d[DosAt(18, 15) + 0x0C + 2 * i] = 18;
        d[DosAt(18, 15) + 0x0D + 2 * i] = static_cast<std::uint8_t>(14 - i);
        for (int b = 0; b < 256 && i * 256 + b < static_cast<int>(content.size()); ++b)
            d[DosAt(18, 14 - i) + b] = content[i * 256 + b];
    }
    // Sectors 15 to 10 of track 18 taken: the first byte's bits 7 to 2.
    d[DosAt(17, 0) + 0x38 + 4 * 18] = 0x03;
}

// --- ProDOS, in block order: block n at n * 512 ------------------------------
std::size_t Block(unsigned n) { return static_cast<std::size_t>(n) * 512; }

// A blank ProDOS volume of 280 blocks: boot blocks 0 and 1, the volume
// directory in blocks 2 to 5, the bitmap in block 6, the rest free.
Image BlankProDos(const std::string& volume, unsigned blocks = 280) {
    Image d(Block(blocks), 0);
    for (unsigned b = 2; b <= 5; ++b) {
        Put16(d, Block(b), b == 2 ? 0 : b - 1);
        Put16(d, Block(b) + 2, b == 5 ? 0 : b + 1);
    }
    const std::size_t h = Block(2) + 4;
    d[h] = static_cast<std::uint8_t>(0xF0 | volume.size());
    std::memcpy(d.data() + h + 1, volume.data(), volume.size());
    d[h + 0x1E] = 0xC3;  // access
    d[h + 0x1F] = 0x27;  // entry length
    d[h + 0x20] = 0x0D;  // entries a block
    Put16(d, h + 0x23, 6);  // bitmap
    Put16(d, h + 0x25, blocks);
    const unsigned bitmapBlocks = (blocks + 4095) / 4096;
    for (unsigned b = 6 + bitmapBlocks; b < blocks; ++b) d[Block(6) + b / 8] |= static_cast<std::uint8_t>(0x80 >> (b % 8));
    return d;
}

void Take(Image& d, unsigned block) { d[Block(6) + block / 8] &= static_cast<std::uint8_t>(~(0x80 >> (block % 8))); }

// The page as a BIN sapling in entry `index` of the directory whose key
// block is `directory` (of its block `inBlock`, when that is not the key
// block): index block, then two data blocks; the count in the key block.
void AddProDosPage(Image& d, unsigned directory, int index, const std::string& name, const Bytes& page,
                   unsigned indexBlock, unsigned inBlock = 0) {
    const std::size_t e = Block(inBlock ? inBlock : directory) + 4 + 0x27 * index;
    d[e] = static_cast<std::uint8_t>(0x20 | name.size());  // sapling
    std::memcpy(d.data() + e + 1, name.data(), name.size());
    d[e + 0x10] = 0x06;  // BIN
    Put16(d, e + 0x11, indexBlock);
    Put16(d, e + 0x13, 3);  // blocks used
    d[e + 0x16] = 0x04;     // EOF 1024
    d[e + 0x1E] = 0xE3;
    Put16(d, e + 0x1F, 0x0400);  // load address
    Put16(d, e + 0x25, directory);  // header pointer
    Put16(d, Block(directory) + 4 + 0x21, d[Block(directory) + 4 + 0x21] + 1);  // file count
    for (int i = 0; i < 2; ++i) {
        d[Block(indexBlock) + i] = static_cast<std::uint8_t>(indexBlock + 1 + i);
        std::memcpy(d.data() + Block(indexBlock + 1 + i), page.data() + 512 * i, 512);
    }
    for (unsigned b = indexBlock; b < indexBlock + 3; ++b) Take(d, b);
}

// A folder NAME as ProDOS makes one: its entry in entry `index` of the
// directory block `parentBlock` (whose key block is parentKey), and its key
// block with the header.
void AddFolder(Image& d, unsigned parentKey, unsigned parentBlock, int index, const std::string& name, unsigned key) {
    const std::size_t e = Block(parentBlock) + 4 + 0x27 * index;
    d[e] = static_cast<std::uint8_t>(0xD0 | name.size());
    std::memcpy(d.data() + e + 1, name.data(), name.size());
    d[e + 0x10] = 0x0F;
    Put16(d, e + 0x11, key);
    Put16(d, e + 0x13, 1);
    d[e + 0x16] = 0x02;  // EOF 512
    d[e + 0x1E] = 0xE3;
    Put16(d, e + 0x25, parentKey);
    Put16(d, Block(parentKey) + 4 + 0x21, d[Block(parentKey) + 4 + 0x21] + 1);
    const std::size_t h = Block(key) + 4;
    d[h] = static_cast<std::uint8_t>(0xE0 | name.size());
    std::memcpy(d.data() + h + 1, name.data(), name.size());
    d[h + 0x10] = 0x75;
    d[h + 0x1E] = 0xC3;
    d[h + 0x1F] = 0x27;
    d[h + 0x20] = 0x0D;
    Put16(d, h + 0x23, parentBlock);
    d[h + 0x25] = static_cast<std::uint8_t>(index + 1);
    d[h + 0x26] = 0x27;
    Take(d, key);
}

// The same disk in the other order of a 140 KB image: a .po track's 256-byte
// piece i is ProDOS sector i, a .do track's piece j DOS sector j; they are
// one place when their physical sectors agree (the published skew tables).
Image ProDosOrderToDosOrder(const Image& po) {
    constexpr int DosPhysical[16] = {0, 13, 11, 9, 7, 5, 3, 1, 14, 12, 10, 8, 6, 4, 2, 15};
    constexpr int ProDosPhysical[16] = {0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15};
    Image dos(po.size());
    for (int t = 0; t < 35; ++t)
        for (int j = 0; j < 16; ++j)
            for (int i = 0; i < 16; ++i)
                if (ProDosPhysical[i] == DosPhysical[j])
                    std::memcpy(dos.data() + DosAt(t, j), po.data() + DosAt(t, i), 256);
    return dos;
}

std::string Write(const std::string& path, const Bytes& page) {
    ImagePath where;
    if (!SplitImagePath(path, where)) return "not an image path";
    const WriteResult r = WritePageToImage(where.image, where.name, page);
    return r.ok ? std::string() : r.error;
}

int FirstDifference(const Image& a, const Image& b) {
    if (a.size() != b.size()) return -2;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return static_cast<int>(i);
    return -1;
}

}  // namespace

TEST(DiskLayouts, ANewDosDiskWithOnePageIsEveryByteOfThePublishedLayout) {
    TempDir dir;
    const Bytes page = PageOf(3);
    ASSERT_EQ(Write(dir / "new.dsk:PIC", page), "");
    Image expected = BlankDos();
    AddDosPage(expected, "PIC", page);
    EXPECT_EQ(FirstDifference(ReadAll(dir / "new.dsk"), expected), -1);

    // A second page takes the next catalog entry and the next free sectors,
    // and counts nowhere else (DOS keeps no file count).
    ASSERT_EQ(Write(dir / "new.dsk:TWO", PageOf(4)), "");
    const Image two = ReadAll(dir / "new.dsk");
    const std::size_t entry = DosAt(17, 15) + 0x0B + 35;
    EXPECT_EQ(two[entry], 18);
    EXPECT_EQ(two[entry + 1], 9) << "its list after the first file's sectors";
    EXPECT_EQ(two[entry + 0x21], 6);
    EXPECT_EQ(two[DosAt(17, 0) + 0x38 + 4 * 18], 0x00);
    EXPECT_EQ(two[DosAt(17, 0) + 0x39 + 4 * 18], 0x0F) << "sectors 9 to 4 taken";
    // Rewriting a page keeps its sectors and frees none.
    ASSERT_EQ(Write(dir / "new.dsk:PIC", PageOf(5)), "");
    Image again = two;
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 256; ++b) {
            const int at = i * 256 + b - 4;
            if (at >= 0) again[DosAt(18, 14 - i) + b] = PageOf(5)[static_cast<std::size_t>(at)];
        }
    for (int b = 0; b < 4; ++b) again[DosAt(18, 10) + b] = PageOf(5)[1020 + b];
    EXPECT_EQ(FirstDifference(ReadAll(dir / "new.dsk"), again), -1);
}

TEST(DiskLayouts, ProDosVolumesInBothOrdersAndTwoImgAreEveryByteOfThePublishedLayout) {
    TempDir dir;
    const Bytes page = PageOf(7);
    // A new .po: a volume named after the file, the page in blocks 7 to 9.
    ASSERT_EQ(Write(dir / "new.po:PIC", page), "");
    Image expected = BlankProDos("NEW");
    AddProDosPage(expected, 2, 1, "PIC", page, 7);
    EXPECT_EQ(FirstDifference(ReadAll(dir / "new.po"), expected), -1);

    // The same volume in DOS order, with a folder made by hand: the page
    // goes into the folder (its key block 10), in the same blocks.
    Image folder = BlankProDos("VOL");
    const std::size_t e = Block(2) + 4 + 0x27;
    folder[e] = 0xD4;  // a folder entry, "PICS"
    std::memcpy(folder.data() + e + 1, "PICS", 4);
    folder[e + 0x10] = 0x0F;
    Put16(folder, e + 0x11, 10);
    Put16(folder, e + 0x13, 1);
    folder[e + 0x16] = 0x02;  // EOF 512
    folder[e + 0x1E] = 0xE3;
    Put16(folder, e + 0x25, 2);
    Put16(folder, Block(2) + 4 + 0x21, 1);
    const std::size_t k = Block(10) + 4;
    folder[k] = 0xE4;  // the folder's own header
    std::memcpy(folder.data() + k + 1, "PICS", 4);
    folder[k + 0x1E] = 0xC3;
    folder[k + 0x1F] = 0x27;
    folder[k + 0x20] = 0x0D;
    Put16(folder, k + 0x23, 2);  // parent: the volume directory
    folder[k + 0x25] = 2;         // its entry there (the header is entry 1)
    folder[k + 0x26] = 0x27;
    Take(folder, 10);
    WriteAll(dir / "vol.do", ProDosOrderToDosOrder(folder));
    ASSERT_EQ(Write(dir / "vol.do:PICS/TITLE", page), "");
    AddProDosPage(folder, 10, 1, "TITLE", page, 7);
    EXPECT_EQ(FirstDifference(ReadAll(dir / "vol.do"), ProDosOrderToDosOrder(folder)), -1);

    // A 2IMG: its 64-byte header, then the volume in block order.
    ASSERT_EQ(Write(dir / "new.2mg:PIC", page), "");
    Image header(64, 0);
    std::memcpy(header.data(), "2IMG", 4);
    std::memcpy(header.data() + 4, "VRNL", 4);
    header[8] = 64;     // header size
    header[10] = 1;     // version
    header[0x0C] = 1;   // ProDOS order
    Put16(header, 0x14, 280);  // blocks
    header[0x18] = 64;  // data offset
    header[0x1C] = 0x00;  // data length 143360 = 0x23000
    header[0x1D] = 0x30;
    header[0x1E] = 0x02;
    Image twoImg = header;
    twoImg.insert(twoImg.end(), expected.begin(), expected.end());
    EXPECT_EQ(FirstDifference(ReadAll(dir / "new.2mg"), twoImg), -1);
}

// Every sector or block has one owner, or nothing is written: the image is
// as it was, byte for byte; reading a page from it still works.
TEST(DiskLayouts, ImagesWhoseFilesOverlapAreNeverChanged) {
    TempDir dir;
    Image dos = BlankDos();
    AddDosPage(dos, "PIC", PageOf(1));
    struct Case {
        const char* what;
        Image image;
        const char* file;
    };
    std::vector<Case> cases;
    Image intoCatalog = dos;
    intoCatalog[DosAt(18, 15) + 0x0C] = 17;  // the first data sector is the catalog's first
    intoCatalog[DosAt(18, 15) + 0x0D] = 15;
    cases.push_back({"a DOS data sector on the catalog", intoCatalog, "a.dsk"});
    Image intoVtoc = dos;
    intoVtoc[DosAt(18, 15) + 0x0E] = 17;  // the second is the VTOC
    intoVtoc[DosAt(18, 15) + 0x0F] = 0;
    cases.push_back({"a DOS data sector on the VTOC", intoVtoc, "b.dsk"});
    Image shared = dos;
    shared[DosAt(18, 15) + 0x0F] = 14;  // two data sectors are one
    cases.push_back({"a DOS file using one sector twice", shared, "c.dsk"});
    Image prodos = BlankProDos("VOL");
    AddProDosPage(prodos, 2, 1, "PIC", PageOf(2), 7);
    Image indexIntoDirectory = prodos;
    indexIntoDirectory[Block(7)] = 3;  // a data block is the directory's second
    cases.push_back({"a ProDOS index into the volume directory", indexIntoDirectory, "d.po"});
    Image twoFiles = prodos;
    AddProDosPage(twoFiles, 2, 2, "OTHER", PageOf(3), 10);
    twoFiles[Block(10) + 1] = 9;  // OTHER's second data block is PIC's
    cases.push_back({"two ProDOS files sharing a block", twoFiles, "e.po"});
    for (const Case& c : cases) {
        WriteAll(dir / c.file, c.image);
        EXPECT_EQ(Write(dir / c.file + ":NEW", PageOf(9)), "the disk's files overlap") << c.what;
        EXPECT_EQ(ReadAll(dir / c.file), c.image) << c.what;
        EXPECT_EQ(Entries(dir.path()).size(), static_cast<std::size_t>(&c - cases.data() + 1))
            << "no temporary left: " << c.what;
    }
    Bytes read;
    std::string error;
    EXPECT_TRUE(ReadImageFile(dir / "e.po", "PIC", read, error)) << error;
}

// IMAGE:NAME is never silently a plain file; a folder's name is not a page.
TEST(DiskLayouts, WhatIsNoImageOrNoFileIsSaidAndNothingIsWritten) {
    TempDir dir;
    const Bytes page = PageOf(1);
    WriteAll(dir / "bad.dsk", Pattern(1000, 3));
    std::string error;
    error = documents::WritePageBytes(dir / "bad.dsk:X", lores::LoresPage{}).error;
    EXPECT_NE(error.find("512-byte blocks"), std::string::npos) << error;
    WriteAll(dir / "notes.txt", Pattern(143360, 4));
    error = documents::WritePageBytes(dir / "notes.txt:X", lores::LoresPage{}).error;
    EXPECT_NE(error.find("not a DOS 3.3 or ProDOS volume"), std::string::npos) << error;
    Image huge(Block(65536), 0);
    WriteAll(dir / "huge.po", huge);
    error = documents::WritePageBytes(dir / "huge.po:X", lores::LoresPage{}).error;
    EXPECT_NE(error.find("larger than any ProDOS volume"), std::string::npos) << error;
    Image header(64, 0);
    std::memcpy(header.data(), "2IMG", 4);
    header[0x0C] = 1;
    header[0x18] = 64;
    header[0x1E] = 0x02;  // claims 128 KiB of data
    WriteAll(dir / "short.2mg", header);
    error = documents::WritePageBytes(dir / "short.2mg:X", lores::LoresPage{}).error;
    EXPECT_NE(error.find("2IMG header that disagrees"), std::string::npos) << error;
    EXPECT_EQ(Entries(dir.path()).size(), 4u) << "no plain file named after the whole path";

    // A colon in a name that names no image stays a plain file name.
    EXPECT_TRUE(documents::WritePageBytes(dir / "12:30 sketch", lores::LoresPage{}));
    EXPECT_TRUE(Exists(dir / "12:30 sketch"));
    // An image in a folder whose name has a colon: split at the last one.
    ASSERT_EQ(mkdir((dir / "day:1").c_str(), 0700), 0);
    EXPECT_TRUE(documents::WritePageBytes(dir / "day:1/art.dsk:PIC", lores::LoresPage{}));
    Listing inFolder;
    std::string why;
    ASSERT_TRUE(ListImage(dir / "day:1/art.dsk", inFolder, why)) << why;
    EXPECT_EQ(inFolder.files.size(), 1u);
    // A folder with an image's name is no image: the colon is part of a file name.
    ASSERT_EQ(mkdir((dir / "album.dsk").c_str(), 0700), 0);
    EXPECT_TRUE(documents::WritePageBytes(dir / "album.dsk:PIC", lores::LoresPage{}));
    EXPECT_EQ(ReadAll(dir / "album.dsk:PIC").size(), 1024u);

    Image prodos = BlankProDos("VOL");
    const std::size_t e = Block(2) + 4 + 0x27;
    prodos[e] = 0xD4;
    std::memcpy(prodos.data() + e + 1, "PICS", 4);
    prodos[e + 0x10] = 0x0F;
    Put16(prodos, e + 0x11, 10);
    Put16(prodos, Block(10) + 4, 0);
    prodos[Block(10) + 4] = 0xE4;
    Take(prodos, 10);
    WriteAll(dir / "f.po", prodos);
    EXPECT_EQ(Write(dir / "f.po:PICS", page), "PICS is a folder");
    EXPECT_EQ(ReadAll(dir / "f.po"), prodos);
}

// ProDOS volumes of every size ProDOS allows: a 32 MB hard-disk image (16
// bitmap blocks) takes a page changing only the page's blocks, its
// directory block and the bitmap.
TEST(DiskLayouts, ALargestProDosVolumeTakesAPageTouchingOnlyItsBlocks) {
    TempDir dir;
    const Image big = BlankProDos("HARD", 65535);
    WriteAll(dir / "hard.hdv", big);
    ASSERT_EQ(Write(dir / "hard.hdv:PIC", PageOf(6)), "");
    Image expected = big;
    AddProDosPage(expected, 2, 1, "PIC", PageOf(6), 22);  // after the 16 bitmap blocks 6 to 21
    EXPECT_EQ(FirstDifference(ReadAll(dir / "hard.hdv"), expected), -1);
    std::string catalog;
    ASSERT_TRUE(documents::ListDiskImage(dir / "hard.hdv", catalog).ok);
    EXPECT_EQ(catalog.rfind("PIC ", 0), 0u);
}

// Many writers at once, each a process of its own: twenty pages into one
// image; ten into an image none of them found there; twenty as an
// unprivileged user in a folder they may write but not read; and ten
// through a link beside ten through the image's own name. Every way of
// naming one image takes the same turn.
TEST(DiskLayouts, ManyWritersAtOnceLoseNothing) {
    TempDir dir;
    constexpr uid_t Nobody = 65534;
    ASSERT_EQ(mkdir((dir / "hidden").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir / "A").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "B").c_str(), 0755), 0);
    ASSERT_EQ(Write(dir / "many.dsk:FIRST", PageOf(1)), "");
    ASSERT_EQ(Write(dir / "hidden/many.dsk:FIRST", PageOf(1)), "");
    ASSERT_EQ(Write(dir / "B/real.dsk:FIRST", PageOf(1)), "");
    ASSERT_EQ(symlink((dir / "B/real.dsk").c_str(), (dir / "A/link.dsk").c_str()), 0);
    ASSERT_EQ(chown((dir / "hidden").c_str(), Nobody, Nobody), 0);
    ASSERT_EQ(chown((dir / "hidden/many.dsk").c_str(), Nobody, Nobody), 0);
    ASSERT_EQ(chmod((dir / "hidden").c_str(), 0333), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    struct Case {
        std::string image;           // what is listed afterwards
        int count;
        std::string (*through)(int);  // the image as writer i names it ("" for image)
        bool asNobody;
        int first;                   // pages there before
    };
    const Case cases[] = {
        {"many.dsk", 20, [](int) { return std::string(); }, false, 1},
        {"new.po", 10, [](int) { return std::string(); }, false, 0},
        {"hidden/many.dsk", 20, [](int) { return std::string(); }, true, 1},
        {"B/real.dsk", 20, [](int i) { return std::string(i % 2 ? "A/link.dsk" : "B/real.dsk"); }, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        std::vector<pid_t> children;
        for (int i = 0; i < c.count; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                if (c.asNobody && (setgid(Nobody) != 0 || setuid(Nobody) != 0)) _exit(3);
                const std::string via = c.through(i).empty() ? c.image : c.through(i);
                // A writer kept waiting past its limit on a loaded machine
                // tries again: what counts is that no page is lost.
                std::string error;
                do error = Write(dir / (via + ":P" + std::to_string(i)), PageOf(i));
                while (error.find("kept writing to the disk image") != std::string::npos);
                _exit(error.empty() ? 0 : 1);
            }
            children.push_back(pid);
        }
        int failed = 0;
        for (const pid_t pid : children) {
            int status = 0;
            waitpid(pid, &status, 0);
            failed += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        EXPECT_EQ(failed, 0);
        Listing listing;
        std::string error;
        ASSERT_TRUE(ListImage(dir / c.image, listing, error)) << error;
        EXPECT_EQ(listing.files.size(), static_cast<std::size_t>(c.count + c.first));
        for (int i = 0; i < c.count; ++i) {
            Bytes read;
            const std::string name = "P" + std::to_string(i);
            ASSERT_TRUE(ReadImageFile(dir / c.image, name, read, error)) << name << ": " << error;
            EXPECT_EQ(read, PageOf(i)) << name;
        }
    }
    // Where no lock can be had at all (a new image in a folder the writer
    // may not read), nothing is written and the writer says so.
    int status = 0;
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(Nobody) != 0 || setuid(Nobody) != 0) _exit(3);
        const std::string error = Write(dir / "hidden/new.dsk:PIC", PageOf(2));
        _exit(error.find("cannot take the disk image's lock") != std::string::npos ? 0 : 1);
    }
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    chmod((dir / "hidden").c_str(), 0700);
    EXPECT_FALSE(Exists(dir / "hidden/new.dsk"));
}

// A catalog name holding control or non-ASCII bytes is shown escaped.
TEST(DiskLayouts, ListingsNeverPrintControlBytes) {
    TempDir dir;
    Image dos = BlankDos();
    AddDosPage(dos, "PIC", PageOf(1));
    const std::size_t name = DosAt(17, 15) + 0x0B + 3;
    dos[name + 1] = 0x1B;  // ESC: a terminal's escape sequence would start here
    dos[name + 2] = 0x07;  // BEL
    dos[name + 3] = 0xFF;  // DEL, with the high bit DOS sets
    WriteAll(dir / "odd.dsk", dos);
    std::string catalog;
    ASSERT_TRUE(documents::ListDiskImage(dir / "odd.dsk", catalog).ok);
    EXPECT_EQ(catalog.find('\x1b'), std::string::npos);
    EXPECT_EQ(catalog.find('\x7f'), std::string::npos);
    EXPECT_EQ(catalog.rfind("P^[^G\\x7F ", 0), 0u) << catalog;
}

// Folders at any depth: missing ones are made on the way (and said), a full
// folder grows by a block counted in its parent's entry, and the listing
// gives every file its path.
TEST(DiskLayouts, FoldersAreMadeOnTheWayAndGrowWhenFull) {
    TempDir dir;
    EXPECT_EQ(WritePageToImage(dir / "new.po", "NEW/DEEP/PIC", PageOf(1)).note, "made the folder NEW, NEW/DEEP");
    Image expected = BlankProDos("NEW");
    AddFolder(expected, 2, 2, 1, "NEW", 7);
    AddFolder(expected, 7, 7, 1, "DEEP", 8);
    AddProDosPage(expected, 8, 1, "PIC", PageOf(1), 9);
    EXPECT_EQ(FirstDifference(ReadAll(dir / "new.po"), expected), -1);
    const WriteResult other = WritePageToImage(dir / "new.po", "NEW/OTHER", PageOf(2));
    EXPECT_TRUE(other.ok && other.note.empty()) << "nothing made: " << other.note;

    // Twelve pages fill a folder's key block; the thirteenth grows it.
    Image full = BlankProDos("VOL");
    AddFolder(full, 2, 2, 1, "PICS", 7);
    WriteAll(dir / "full.po", full);
    for (int i = 1; i <= 12; ++i) {
        std::string name = "PICS/P";
        name += std::to_string(i);
        ASSERT_EQ(Write(dir / "full.po:" + name, PageOf(i)), "") << name;
        AddProDosPage(full, 7, i, name.substr(5), PageOf(i), 8 + 3 * (static_cast<unsigned>(i) - 1));
    }
    EXPECT_EQ(FirstDifference(ReadAll(dir / "full.po"), full), -1);
    ASSERT_EQ(Write(dir / "full.po:PICS/P13", PageOf(13)), "");
    const unsigned grown = 8 + 3 * 12;  // the first free block
    Put16(full, Block(7) + 2, grown);      // the key block's next
    Put16(full, Block(grown), 7);          // the new block's previous
    Take(full, grown);
    const std::size_t entry = Block(2) + 4 + 0x27;
    Put16(full, entry + 0x13, 2);  // two blocks now
    full[entry + 0x16] = 0x04;      // EOF 1024
    AddProDosPage(full, 7, 0, "P13", PageOf(13), grown + 1, grown);
    EXPECT_EQ(FirstDifference(ReadAll(dir / "full.po"), full), -1);
    std::string catalog;
    ASSERT_TRUE(documents::ListDiskImage(dir / "full.po", catalog).ok);
    EXPECT_NE(catalog.find("\nPICS/P13 "), std::string::npos) << catalog;

    // The volume directory keeps its fixed size: 51 entries, then full.
    Image volume = BlankProDos("VOL");
    WriteAll(dir / "vol.po", volume);
    std::string last;
    int written = 0;
    for (int i = 0; i < 60 && last.empty(); ++i) {
        std::string name = "F";
        name += std::to_string(i);
        last = Write(dir / "vol.po:" + name, PageOf(i));
        written += last.empty();
    }
    EXPECT_EQ(written, 51);
    EXPECT_EQ(last, "the disk's catalog is full");
}

// The small rules of the two file systems, each against bytes worked out by
// hand: a deleted catalog slot is taken again, a file rewritten smaller
// gives its surplus sectors back, and names are held to their lengths.
TEST(DiskLayouts, DeletedSlotsAreReusedSurplusIsFreedAndNamesKeepTheirLengths) {
    TempDir dir;
    // A deleted entry (track byte $FF) in the first slot: the new page goes there.
    Image dos = BlankDos();
    dos[DosAt(17, 15) + 0x0B] = 0xFF;
    for (int i = 0; i < 30; ++i) dos[DosAt(17, 15) + 0x0B + 3 + i] = 0xC1;
    WriteAll(dir / "deleted.dsk", dos);
    ASSERT_EQ(Write(dir / "deleted.dsk:PIC", PageOf(1)), "");
    Image expected = BlankDos();
    AddDosPage(expected, "PIC", PageOf(1));
    EXPECT_EQ(FirstDifference(ReadAll(dir / "deleted.dsk"), expected), -1);

    // PIC grown by hand to eight data sectors (18, 14) to (18, 7): rewritten,
    // it keeps the first five and frees the other three.
    Image grown = expected;
    for (int i = 5; i < 8; ++i) {
        grown[DosAt(18, 15) + 0x0C + 2 * i] = 18;
        grown[DosAt(18, 15) + 0x0D + 2 * i] = static_cast<std::uint8_t>(14 - i);
    }
    grown[DosAt(17, 0) + 0x39 + 4 * 18] = 0x7F;  // sectors 9, 8 and 7 taken too
    grown[DosAt(17, 0) + 0x38 + 4 * 18] = 0x00;
    grown[DosAt(17, 15) + 0x0B + 0x21] = 9;
    WriteAll(dir / "grown.dsk", grown);
    ASSERT_EQ(Write(dir / "grown.dsk:PIC", PageOf(1)), "");
    EXPECT_EQ(FirstDifference(ReadAll(dir / "grown.dsk"), expected), -1);

    std::string error;
    EXPECT_EQ(FileNameFor(dir / "x.po", "abcdefghijklmno", error), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(FileNameFor(dir / "x.po", "abcdefghijklmnop", error), "") << "16 characters";
    EXPECT_EQ(FileNameFor(dir / "x.dsk", std::string(30, 'A'), error), std::string(30, 'A'));
    EXPECT_EQ(FileNameFor(dir / "x.dsk", std::string(31, 'A'), error), "");
}

// A folder that grows edits its own entry in its parent, wherever that entry
// stands: the last of the parent's key block, the first of its next block, or
// further on; every other file stays whole.
TEST(DiskLayouts, AGrowingFolderEditsOnlyItsOwnEntryWhereverItStands) {
    for (const int before : {11, 12, 14}) {
        SCOPED_TRACE(before);
        TempDir dir;
        const std::string image = dir / "v.po";
        for (int i = 0; i < before; ++i) ASSERT_EQ(Write(image + ":TOP" + std::to_string(i), PageOf(i)), "");
        for (int i = 0; i < 14; ++i) ASSERT_EQ(Write(image + ":F/P" + std::to_string(i), PageOf(50 + i)), "");
        Listing listing;
        std::string error;
        ASSERT_TRUE(ListImage(image, listing, error)) << error;
        EXPECT_EQ(listing.files.size(), static_cast<std::size_t>(before + 1 + 14));
        for (int i = 0; i < before; ++i) {
            Bytes read;
            ASSERT_TRUE(ReadImageFile(image, "TOP" + std::to_string(i), read, error)) << error;
            EXPECT_EQ(read, PageOf(i)) << i;
        }
        for (int i = 0; i < 14; ++i) {
            Bytes read;
            ASSERT_TRUE(ReadImageFile(image, "F/P" + std::to_string(i), read, error)) << error;
            EXPECT_EQ(read, PageOf(50 + i)) << i;
        }
        // The folder's entry counts the two blocks it has now (and their bytes).
        const Image bytes = ReadAll(image);
        const int index = before + 1;  // after the header and the pages
        const std::size_t at = Block(index < 13 ? 2 : 3) + 4 + 0x27 * (index % 13);
        ASSERT_EQ(bytes[at] >> 4, 0xD) << "the folder's entry";
        EXPECT_EQ(bytes[at + 0x13] | bytes[at + 0x14] << 8, 2);
        EXPECT_EQ(bytes[at + 0x15] | bytes[at + 0x16] << 8, 1024);
    }
}

// A writer that cannot have its turn in 10 seconds writes nothing: it says
// so, and the image holds what it held (a writer going ahead anyway would
// race the one holding the lock, and one picture would be lost).
TEST(DiskLayouts, AWriterKeptWaitingWritesNothing) {
    TempDir dir;
    ASSERT_EQ(Write(dir / "held.dsk:FIRST", PageOf(1)), "");
    const auto before = ReadAll(dir / "held.dsk");
    const int folder = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(flock(folder, LOCK_EX), 0);  // another writer's turn, held
    const auto start = std::chrono::steady_clock::now();
    const std::string error = Write(dir / "held.dsk:SECOND", PageOf(2));
    close(folder);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(9));
    EXPECT_NE(error.find("kept writing to the disk image for 10 seconds"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(dir / "held.dsk"), before);
}
