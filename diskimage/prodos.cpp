// ProDOS: the volume directory from block 2, subdirectories, seedling,
// sapling and tree files, and the volume bitmap.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "diskimage/file_system.h"

namespace diskimage::prodos {
namespace {

using Block = std::array<std::uint8_t, BlockBytes>;

constexpr unsigned VolumeKey = 2;
constexpr int EntryBytes = 0x27, EntriesPerBlock = 0x0D;
constexpr int Seedling = 1, Sapling = 2, Tree = 3, SubdirectoryEntry = 0xD;
constexpr int TypeBin = 0x06, TypeDir = 0x0F;
constexpr int AccessWrite = 0x02;
constexpr int MaxDepth = 32;

unsigned Word(const std::uint8_t* p) { return p[0] | p[1] << 8u; }
void PutWord(std::uint8_t* p, unsigned v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

std::string NameOf(const std::uint8_t* e) {
    return std::string(reinterpret_cast<const char*>(e + 1), static_cast<std::size_t>(e[0] & 0x0F));
}

// A directory entry, with where it is.
struct Entry {
    unsigned block = 0;  // the directory block holding it
    int index = 0;       // its place in that block
    unsigned directoryKey = 0;
    std::array<std::uint8_t, EntryBytes> raw{};
    std::string path;
    int Storage() const { return raw[0] >> 4; }
};

struct Volume {
    Container& c;
    unsigned total = 0;
    unsigned bitmapStart = 0;

    bool Load(std::string& error) {
        Block b{};
        if (!c.ReadBlock(VolumeKey, b.data())) {
            error = "no volume directory";
            return false;
        }
        total = Word(b.data() + 0x29);
        bitmapStart = Word(b.data() + 0x27);
        if (total == 0 || total > c.Blocks() || bitmapStart >= total ||
            bitmapStart + (total + 4095) / 4096 > total) {
            error = "a volume header that does not fit the disk";
            return false;
        }
        return true;
    }

    bool Read(unsigned block, Block& b, std::string& error) const {
        if (block >= total || !c.ReadBlock(block, b.data())) {
            error = "a block pointer off the disk";
            return false;
        }
        return true;
    }

    bool Free(unsigned block) const {
        Block b{};
        c.ReadBlock(bitmapStart + block / 4096, b.data());
        return b[(block % 4096) / 8] & (0x80 >> (block % 8));
    }
    void SetFree(unsigned block, bool free) {
        Block b{};
        c.ReadBlock(bitmapStart + block / 4096, b.data());
        std::uint8_t& byte = b[(block % 4096) / 8];
        if (free) byte |= static_cast<std::uint8_t>(0x80 >> (block % 8));
        else byte &= static_cast<std::uint8_t>(~(0x80 >> (block % 8)));
        c.WriteBlock(bitmapStart + block / 4096, b.data());
    }

    // The blocks of one directory, key block first.
    bool DirectoryBlocks(unsigned key, std::vector<unsigned>& blocks, Visited& visited, std::string& error) {
        for (unsigned at = key; at != 0;) {
            if (blocks.size() > total || !visited.Enter(at, error)) return false;
            Block b{};
            if (!Read(at, b, error)) return false;
            blocks.push_back(at);
            at = Word(b.data() + 2);
        }
        return true;
    }

    // Every entry in use, folders included and walked into; f returns false to stop.
    bool WalkEntries(unsigned key, const std::string& prefix, int depth, Visited& visited,
                     const std::function<bool(Entry&)>& f, bool& stopped, std::string& error,
                     std::vector<unsigned>* directoryBlocks = nullptr) {
        if (depth > MaxDepth) {
            error = "folders nested too deep";
            return false;
        }
        std::vector<unsigned> blocks;
        if (!DirectoryBlocks(key, blocks, visited, error)) return false;
        if (directoryBlocks) directoryBlocks->insert(directoryBlocks->end(), blocks.begin(), blocks.end());
        for (std::size_t n = 0; n < blocks.size() && !stopped; ++n) {
            Block b{};
            Read(blocks[n], b, error);
            for (int i = n == 0 ? 1 : 0; i < EntriesPerBlock && !stopped; ++i) {
                Entry e;
                e.block = blocks[n];
                e.index = i;
                e.directoryKey = key;
                std::memcpy(e.raw.data(), b.data() + 4 + EntryBytes * i, EntryBytes);
                if (e.Storage() == 0) continue;
                e.path = prefix + NameOf(e.raw.data());
                stopped = !f(e);
                if (!stopped && e.Storage() == SubdirectoryEntry &&
                    !WalkEntries(Word(e.raw.data() + 0x11), e.path + "/", depth + 1, visited, f, stopped, error,
                                 directoryBlocks))
                    return false;
            }
        }
        return true;
    }

    bool Walk(const std::function<bool(Entry&)>& f, std::string& error, std::vector<unsigned>* dirBlocks = nullptr) {
        Visited visited;
        bool stopped = false;
        return WalkEntries(VolumeKey, "", 0, visited, f, stopped, error, dirBlocks);
    }

    // A file's index blocks and data blocks (0 for a hole), in order.
    bool FileBlocks(const Entry& e, std::vector<unsigned>& index, std::vector<unsigned>& data, std::string& error) {
        const unsigned key = Word(e.raw.data() + 0x11);
        const auto pointers = [&](unsigned block, int count, std::vector<unsigned>& out) {
            Block b{};
            if (!Read(block, b, error)) return false;
            for (int i = 0; i < count; ++i) {
                const unsigned p = b[i] | b[256 + i] << 8u;
                if (p >= total) {
                    error = "a block pointer off the disk";
                    return false;
                }
                out.push_back(p);
            }
            return true;
        };
        if (key == 0 || key >= total) {
            error = "a block pointer off the disk";
            return false;
        }
        switch (e.Storage()) {
        case Seedling: data.push_back(key); return true;
        case Sapling: index.push_back(key); return pointers(key, 256, data);
        case Tree: {
            std::vector<unsigned> indexes;
            index.push_back(key);
            if (!pointers(key, 128, indexes)) return false;
            for (unsigned i : indexes) {
                if (i == 0) {
                    data.insert(data.end(), 256, 0u);
                    continue;
                }
                index.push_back(i);
                if (!pointers(i, 256, data)) return false;
            }
            return true;
        }
        default: return true;  // a kind of its own (forked, Pascal area): its blocks are not ours to know
        }
    }
};

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

bool FindEntry(Volume& v, const std::string& path, Entry& found, std::string& error) {
    bool got = false;
    if (!v.Walk(
            [&](Entry& e) {
                if (e.path != path) return true;
                found = e;
                got = true;
                return false;
            },
            error))
        return false;
    if (!got) error = path + " is not on the disk";
    return got;
}

// A free block, taken and cleared.
bool Allocate(Volume& v, unsigned& block, std::string& error) {
    for (unsigned b = 0; b < v.total; ++b) {
        if (!v.Free(b)) continue;
        v.SetFree(b, false);
        const Block zero{};
        v.c.WriteBlock(b, zero.data());
        block = b;
        return true;
    }
    error = "the disk is full";
    return false;
}

// The first free entry of a directory. A full folder grows by a block,
// counted in its entry in its parent; the volume directory keeps its size.
bool FreeSlot(Volume& v, unsigned key, unsigned& block, int& index, std::string& error) {
    std::vector<unsigned> blocks;
    Visited visited;
    if (!v.DirectoryBlocks(key, blocks, visited, error)) return false;
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        Block b{};
        v.Read(blocks[n], b, error);
        for (int i = n == 0 ? 1 : 0; i < EntriesPerBlock; ++i)
            if ((b[4 + EntryBytes * i] >> 4) == 0) {
                block = blocks[n];
                index = i;
                return true;
            }
    }
    if (key == VolumeKey) {
        error = "the disk's catalog is full";
        return false;
    }
    unsigned grown = 0;
    if (!Allocate(v, grown, error)) return false;
    Block last{}, fresh{}, header{};
    v.Read(blocks.back(), last, error);
    PutWord(last.data() + 2, grown);
    v.c.WriteBlock(blocks.back(), last.data());
    PutWord(fresh.data(), blocks.back());
    v.c.WriteBlock(grown, fresh.data());
    // The folder's entry in its parent: one block more, 512 bytes longer.
    v.Read(key, header, error);
    const unsigned parent = Word(header.data() + 0x27);
    const int number = header[0x29];
    Block p{};
    if (number < 1 || number > EntriesPerBlock || !v.Read(parent, p, error)) {
        error = "a folder whose parent does not hold it";
        return false;
    }
    std::uint8_t* e = p.data() + 4 + EntryBytes * (number - 1);
    PutWord(e + 0x13, Word(e + 0x13) + 1);
    const std::size_t eof = (e[0x15] | e[0x16] << 8u | static_cast<std::size_t>(e[0x17]) << 16) + BlockBytes;
    e[0x15] = static_cast<std::uint8_t>(eof & 0xFF);
    e[0x16] = static_cast<std::uint8_t>((eof >> 8) & 0xFF);
    e[0x17] = static_cast<std::uint8_t>(eof >> 16);
    v.c.WriteBlock(parent, p.data());
    block = grown;
    index = 0;
    return true;
}

// A new, empty folder `name` in the directory whose key block is parentKey.
bool MakeFolder(Volume& v, unsigned parentKey, const std::string& name, unsigned& key, std::string& error) {
    unsigned block = 0;
    int index = -1;
    if (!FreeSlot(v, parentKey, block, index, error) || !Allocate(v, key, error)) return false;
    Block dir{};
    v.Read(block, dir, error);
    std::uint8_t* e = dir.data() + 4 + EntryBytes * index;
    std::memset(e, 0, EntryBytes);
    e[0] = static_cast<std::uint8_t>(SubdirectoryEntry << 4 | name.size());
    std::memcpy(e + 1, name.data(), name.size());
    e[0x10] = TypeDir;
    PutWord(e + 0x11, key);
    PutWord(e + 0x13, 1);
    e[0x16] = BlockBytes >> 8;  // EOF 512
    e[0x1E] = 0xE3;
    PutWord(e + 0x25, parentKey);
    v.c.WriteBlock(block, dir.data());
    Block parentHeader{};
    v.Read(parentKey, parentHeader, error);
    PutWord(parentHeader.data() + 0x25, Word(parentHeader.data() + 0x25) + 1);
    v.c.WriteBlock(parentKey, parentHeader.data());
    // Its own header: the name, $75 where ProDOS wants it, the entry sizes,
    // and where its entry is in the parent (entries count from 1, the key
    // block's header being the first).
    Block k{};
    std::uint8_t* h = k.data() + 4;
    h[0] = static_cast<std::uint8_t>(0xE0 | name.size());
    std::memcpy(h + 1, name.data(), name.size());
    h[0x10] = 0x75;
    h[0x1E] = 0xC3;
    h[0x1F] = EntryBytes;
    h[0x20] = EntriesPerBlock;
    PutWord(h + 0x23, block);
    h[0x25] = static_cast<std::uint8_t>(index + 1);
    h[0x26] = EntryBytes;
    v.c.WriteBlock(key, k.data());
    return true;
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

bool WritePage(Container& c, const std::string& path, const Bytes& page, std::string& error,
               std::vector<std::string>* madeFolders) {
    if (const std::string bad = CheckName(path); !bad.empty()) {
        error = bad;
        return false;
    }
    Volume v{c};
    if (!v.Load(error)) return false;
    // The folder the file goes in.
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);

    // Every block in use must be marked so in the bitmap.
    std::vector<unsigned> used{0, 1}, pool, directoryBlocks;
    for (unsigned b = v.bitmapStart; b <= v.bitmapStart + (v.total - 1) / 4096; ++b) used.push_back(b);
    Entry existing;
    bool exists = false;
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
                    existing = e;
                    exists = true;
                    pool = mine;
                }
                return true;
            },
            error, &directoryBlocks) ||
        !error.empty())
        return false;
    used.insert(used.end(), directoryBlocks.begin(), directoryBlocks.end());
    // Every block has one owner: a file whose list points into the
    // directory, the bitmap, the boot blocks or another file would take the
    // new page's blocks from them, or give them away.
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
    if (exists && !(existing.raw[0x1E] & AccessWrite)) {
        error = path + " is locked";
        return false;
    }
    if (exists && existing.raw[0x10] != TypeBin) {
        error = path + " is not a binary (BIN) file";
        return false;
    }

    // The folder the file goes in, made where it is missing.
    unsigned directoryKey = VolumeKey;
    if (!folder.empty()) {
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
                if (madeFolders) madeFolders->push_back(sofar);
            } else {
                error = missing;
                return false;
            }
        }
    }

    // A new file takes the first free place in its folder; a full folder
    // grows by a block, as ProDOS grows one.
    unsigned entryBlock = 0;
    int entryIndex = -1;
    if (exists) {
        entryBlock = existing.block;
        entryIndex = existing.index;
    } else if (!FreeSlot(v, directoryKey, entryBlock, entryIndex, error)) {
        return false;
    }

    // A sapling: an index block and two data blocks.
    constexpr std::size_t Needed = 1 + PageBytes / BlockBytes;
    std::vector<unsigned> use(pool.begin(), pool.begin() + static_cast<std::ptrdiff_t>(std::min(pool.size(), Needed)));
    for (std::size_t i = use.size(); i < pool.size(); ++i) v.SetFree(pool[i], true);
    for (unsigned b = 0; b < v.total && use.size() < Needed; ++b)
        if (v.Free(b)) {
            v.SetFree(b, false);
            use.push_back(b);
        }
    if (use.size() < Needed) {
        error = "the disk is full";
        return false;
    }

    Block index{};
    for (std::size_t i = 0; i + 1 < Needed; ++i) {
        index[i] = static_cast<std::uint8_t>(use[1 + i] & 0xFF);
        index[256 + i] = static_cast<std::uint8_t>(use[1 + i] >> 8);
        Block data{};
        std::memcpy(data.data(), page.data() + i * BlockBytes, BlockBytes);
        c.WriteBlock(use[1 + i], data.data());
    }
    c.WriteBlock(use[0], index.data());
    Block dirBlock{};
    c.ReadBlock(entryBlock, dirBlock.data());
    std::uint8_t* e = dirBlock.data() + 4 + EntryBytes * entryIndex;
    if (!exists) {
        std::memset(e, 0, EntryBytes);
        std::memcpy(e + 1, name.data(), name.size());
        e[0x10] = TypeBin;
        e[0x1E] = 0xE3;  // destroy, rename, backup, write, read
        PutWord(e + 0x25, directoryKey);
    }
    e[0] = static_cast<std::uint8_t>(Sapling << 4 | name.size());
    PutWord(e + 0x11, use[0]);
    PutWord(e + 0x13, static_cast<unsigned>(Needed));
    e[0x15] = PageBytes & 0xFF;
    e[0x16] = (PageBytes >> 8) & 0xFF;
    e[0x17] = 0;
    PutWord(e + 0x1F, PageAddress);
    c.WriteBlock(entryBlock, dirBlock.data());
    if (!exists) {
        Block key{};
        c.ReadBlock(directoryKey, key.data());
        PutWord(key.data() + 0x25, Word(key.data() + 0x25) + 1);
        c.WriteBlock(directoryKey, key.data());
    }
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
