// ProDOS: the volume directory from block 2, subdirectories, seedling,
// sapling and tree files, and the volume bitmap.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "diskimage/file_system.h"
#include "diskimage/prodos_volume.h"

namespace diskimage::prodos {
namespace {

std::size_t EofOf(const Entry& e) {
    return e.raw[0x15] | e.raw[0x16] << 8u | static_cast<std::size_t>(e.raw[0x17]) << 16;
}

const char* TypeName(int type) {
    switch (type) {
    case 0x04: return "TXT";
    case TypeBin: return "BIN";
    case TypeDir: return "DIR";
    case 0xFC: return "BAS";
    case 0xFF: return "SYS";
    default: return nullptr;
    }
}

}  // namespace

bool Recognise(const Container& c) {

    Block b{};
    if (!c.ReadBlock(VolumeKey, b.data())) return false;
    const unsigned total = Word(b.data() + 0x29);
    return Word(b.data()) == 0 && (b[4] >> 4) == 0xF && (b[4] & 0x0F) != 0 && b[0x23] == EntryBytes &&
           b[0x24] == EntriesPerBlock && total > 6 && total <= c.Blocks();
}

bool List(const Container& c, std::vector<FileEntry>& files, std::string& error) {
    Volume v{const_cast<Container&>(c)};
    if (!v.Load(error)) return false;
    files.clear();
    // Every file's blocks are followed, so that a damaged one is found here.
    const bool walked = v.Walk(
        [&](Entry& e) {
            FileEntry f;
            f.name = e.path;
            f.directory = e.Storage() == SubdirectoryEntry;
            std::vector<unsigned> index, data;
            if (!f.directory && !v.FileBlocks(e, index, data, error)) return false;
            const int type = e.raw[0x10];
            char code[8];
            std::snprintf(code, sizeof code, "$%02X", type);
            f.type = TypeName(type) ? TypeName(type) : code;
            f.length = EofOf(e);
            f.locked = !(e.raw[0x1E] & AccessWrite);
            f.binary = type == TypeBin && !f.directory;
            if (f.binary) f.address = static_cast<int>(Word(e.raw.data() + 0x1F));
            files.push_back(f);
            return true;
        },
        error);
    return walked && error.empty();
}

bool Read(const Container& c, const std::string& path, Bytes& data, std::string& error) {
    Volume v{const_cast<Container&>(c)};
    Entry e;
    // The whole directory tree is checked first: a damaged disk is refused whole.
    std::vector<FileEntry> all;
    if (!v.Load(error) || !List(c, all, error) || !FindEntry(v, path, e, error)) return false;
    if (e.raw[0x10] != TypeBin || e.Storage() == SubdirectoryEntry) {
        error = path + " is not a binary (BIN) file";
        return false;
    }
    std::vector<unsigned> index, blocks;
    if (!v.FileBlocks(e, index, blocks, error)) return false;
    const std::size_t eof = EofOf(e);
    if (eof > blocks.size() * BlockBytes) {
        error = path + " is shorter than its length says";
        return false;
    }
    data.assign(eof, 0);
    for (std::size_t i = 0; i * BlockBytes < eof; ++i) {
        if (blocks[i] == 0) continue;
        Block b{};
        v.Read(blocks[i], b, error);
        std::memcpy(data.data() + i * BlockBytes, b.data(), std::min<std::size_t>(BlockBytes, eof - i * BlockBytes));
    }
    return true;
}

namespace {

// What a write finds on the volume: the file it replaces, if any, and the
// blocks that file may give to the new page.
struct Found {
    Entry existing;
    bool exists = false;
    std::vector<unsigned> pool;
};

// Every block in use has one owner and is marked so in the bitmap (else a
// file whose list points into the directory, the bitmap, the boot blocks or
// another file would take the new page's blocks from them, or give them
// away); the file replaced, if any, is a binary file that may be written.
bool CheckOwners(Volume& v, const std::string& path, int type, Found& found, std::string& error) {
    std::vector<unsigned> used{0, 1}, directoryBlocks;
    for (unsigned b = v.bitmapStart; b <= v.bitmapStart + (v.total - 1) / 4096; ++b) used.push_back(b);
    if (!v.Walk(
            [&](Entry& e) {
                if (e.Storage() == SubdirectoryEntry) {
                    if (e.path == path) {
                        error = path + " is a folder";
                        return false;
                    }
                    return true;  // its blocks come with the walk
                }
                std::vector<unsigned> index, data;
                if (!v.FileBlocks(e, index, data, error)) return false;
                std::vector<unsigned> mine = index;
                for (unsigned d : data)
                    if (d != 0) mine.push_back(d);
                used.insert(used.end(), mine.begin(), mine.end());
                if (e.path == path) {
                    found.existing = e;
                    found.exists = true;
                    found.pool = mine;
                }
                return true;
            },
            error, &directoryBlocks) ||
        !error.empty())
        return false;
    used.insert(used.end(), directoryBlocks.begin(), directoryBlocks.end());
    std::vector<unsigned> owners = used;
    std::sort(owners.begin(), owners.end());
    if (std::adjacent_find(owners.begin(), owners.end()) != owners.end()) {
        error = "the disk's files overlap";
        return false;
    }
    for (unsigned b : used)
        if (v.Free(b)) {
            error = "the disk's volume bitmap disagrees with its files";
            return false;
        }
    if (found.exists && !(found.existing.raw[0x1E] & AccessWrite)) {
        error = path + " is locked";
        return false;
    }
    if (found.exists && found.existing.raw[0x10] != type) {
        error = path + (type == TypeBin ? " is not a binary (BIN) file" : " is not an Applesoft (BAS) file");
        return false;
    }
    return true;
}

// The key block of the folder the file goes in, made where it is missing.
bool ReachFolder(Volume& v, const std::string& folder, unsigned& directoryKey, std::vector<std::string>* made,
                 std::string& error) {
    directoryKey = VolumeKey;
    if (folder.empty()) return true;
    std::string sofar;
    for (std::size_t start = 0; start <= folder.size();) {
        const auto end = std::min(folder.find('/', start), folder.size());
        const std::string part = folder.substr(start, end - start);
        sofar += (sofar.empty() ? "" : "/") + part;
        start = end + 1;
        Entry dir;
        std::string missing;
        if (FindEntry(v, sofar, dir, missing)) {
            if (dir.Storage() != SubdirectoryEntry) {
                error = sofar + " is not a folder";
                return false;
            }
            directoryKey = Word(dir.raw.data() + 0x11);
        } else if (missing == sofar + " is not on the disk") {
            if (!MakeFolder(v, directoryKey, part, directoryKey, error)) return false;
            if (made) made->push_back(sofar);
        } else {
            error = missing;
            return false;
        }
    }
    return true;
}

// A sapling's blocks (an index block and two data blocks): the replaced
// file's first, the rest of them freed, then free ones in order.
// A sapling file: an index block and up to 256 data blocks (128 pages).
constexpr std::size_t MaxSaplingData = 256;
bool TakeBlocks(Volume& v, const std::vector<unsigned>& pool, std::size_t needed, std::vector<unsigned>& use,
                std::string& error) {
    use.assign(pool.begin(), pool.begin() + static_cast<std::ptrdiff_t>(std::min(pool.size(), needed)));
    for (std::size_t i = use.size(); i < pool.size(); ++i) v.SetFree(pool[i], true);
    for (unsigned b = 0; b < v.total && use.size() < needed; ++b)
        if (v.Free(b)) {
            v.SetFree(b, false);
            use.push_back(b);
        }
    if (use.size() < needed) {
        error = "the disk is full";
        return false;
    }
    return true;
}

void WriteSapling(Container& c, const std::vector<unsigned>& use, const Bytes& page) {
    Block index{};
    for (std::size_t i = 0; i + 1 < use.size(); ++i) {
        index[i] = static_cast<std::uint8_t>(use[1 + i] & 0xFF);
        index[256 + i] = static_cast<std::uint8_t>(use[1 + i] >> 8);
        Block data{};
        std::memcpy(data.data(), page.data() + i * BlockBytes, BlockBytes);
        c.WriteBlock(use[1 + i], data.data());
    }
    c.WriteBlock(use[0], index.data());
}

// The file's entry at (entryBlock, entryIndex): made for a new file (and
// counted in its folder), pointed at the sapling for any.
void WriteEntry(Container& c, unsigned entryBlock, int entryIndex, bool isNew, const std::string& name,
                unsigned directoryKey, unsigned keyBlock, std::size_t blocks, std::size_t length, FileKind kind) {
    Block dirBlock{};
    c.ReadBlock(entryBlock, dirBlock.data());
    std::uint8_t* e = dirBlock.data() + 4 + EntryBytes * entryIndex;
    if (isNew) {
        std::memset(e, 0, EntryBytes);
        std::memcpy(e + 1, name.data(), name.size());
        e[0x10] = kind == FileKind::Pages ? TypeBin : TypeBas;
        e[0x1E] = 0xE3;  // destroy, rename, backup, write, read
        PutWord(e + 0x25, directoryKey);
    }
    e[0] = static_cast<std::uint8_t>(Sapling << 4 | name.size());
    PutWord(e + 0x11, keyBlock);
    PutWord(e + 0x13, static_cast<unsigned>(blocks));
    e[0x15] = static_cast<std::uint8_t>(length & 0xFF);
    e[0x16] = static_cast<std::uint8_t>((length >> 8) & 0xFF);
    e[0x17] = static_cast<std::uint8_t>(length >> 16);
    PutWord(e + 0x1F, kind == FileKind::Pages ? PageAddress : ProgramAddress);
    c.WriteBlock(entryBlock, dirBlock.data());
    if (isNew) {
        Block key{};
        c.ReadBlock(directoryKey, key.data());
        PutWord(key.data() + 0x25, Word(key.data() + 0x25) + 1);
        c.WriteBlock(directoryKey, key.data());
    }
}

}  // namespace

bool WritePage(Container& c, const std::string& path, const Bytes& page, std::string& error,
               std::vector<std::string>* madeFolders, FileKind kind) {
    if (const std::string bad = CheckName(path); !bad.empty()) {
        error = bad;
        return false;
    }
    Volume v{c};
    if (!v.Load(error)) return false;
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    Found found;
    unsigned directoryKey = VolumeKey;
    if (!CheckOwners(v, path, kind == FileKind::Pages ? TypeBin : TypeBas, found, error) || !ReachFolder(v, folder, directoryKey, madeFolders, error))
        return false;
    // A new file takes the first free place in its folder; a full folder
    // grows by a block, as ProDOS grows one.
    unsigned entryBlock = found.existing.block;
    int entryIndex = found.existing.index;
    if (!found.exists && !FreeSlot(v, directoryKey, entryBlock, entryIndex, error)) return false;
    const std::size_t data = (page.size() + BlockBytes - 1) / BlockBytes;
    if (data > MaxSaplingData) {
        error = "more than 128 pages do not fit one file here";
        return false;
    }
    std::vector<unsigned> use;
    if (!TakeBlocks(v, found.pool, 1 + data, use, error)) return false;
    WriteSapling(c, use, page);
    WriteEntry(c, entryBlock, entryIndex, !found.exists, name, directoryKey, use[0], use.size(), page.size(), kind);
    return true;
}

void Format(Container& c, const std::string& volumeName) {
    const unsigned total = static_cast<unsigned>(c.Blocks());
    for (unsigned b = VolumeKey; b <= 5; ++b) {
        Block d{};
        PutWord(d.data(), b == VolumeKey ? 0 : b - 1);
        PutWord(d.data() + 2, b == 5 ? 0 : b + 1);
        if (b == VolumeKey) {
            d[4] = static_cast<std::uint8_t>(0xF0 | volumeName.size());
            std::memcpy(d.data() + 5, volumeName.data(), volumeName.size());
            d[0x22] = 0xC3;
            d[0x23] = EntryBytes;
            d[0x24] = EntriesPerBlock;
            PutWord(d.data() + 0x27, 6);
            PutWord(d.data() + 0x29, total);
        }
        c.WriteBlock(b, d.data());
    }
    // Blocks 0 to 6 (boot, directory, bitmap) in use; the rest free.
    const unsigned bitmapBlocks = (total + 4095) / 4096;
    for (unsigned n = 0; n < bitmapBlocks; ++n) {
        Block map{};
        for (unsigned b = n * 4096; b < std::min(total, (n + 1) * 4096); ++b)
            if (b > 5 + bitmapBlocks) map[(b % 4096) / 8] |= static_cast<std::uint8_t>(0x80 >> (b % 8));
        c.WriteBlock(6 + n, map.data());
    }
}

std::string CheckName(const std::string& path) {
    std::size_t start = 0;
    do {
        const auto slash = path.find('/', start);
        const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part.size() > 15) return "a ProDOS name has 1 to 15 characters";
        if (part[0] < 'A' || part[0] > 'Z') return "a ProDOS name starts with a letter";
        for (const char ch : part)
            if (!((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '.'))
                return "a ProDOS name has only letters, digits and periods";
        start = slash == std::string::npos ? path.size() + 1 : slash + 1;
    } while (start <= path.size());
    return std::string();
}

}  // namespace diskimage::prodos
