// A ProDOS volume as the reader and the writer walk it: its directory
// entries, its files' blocks and its volume bitmap, every pointer checked
// before it is followed. Inside the ProDOS code only.
#pragma once

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "diskimage/file_system.h"

namespace diskimage::prodos {

using Block = std::array<std::uint8_t, BlockBytes>;

constexpr unsigned VolumeKey = 2;
constexpr int EntryBytes = 0x27, EntriesPerBlock = 0x0D;
constexpr int Seedling = 1, Sapling = 2, Tree = 3, SubdirectoryEntry = 0xD;
constexpr int TypeBin = 0x06, TypeDir = 0x0F, TypeBas = 0xFC;
constexpr int AccessWrite = 0x02;
constexpr int MaxDepth = 32;

inline unsigned Word(const std::uint8_t* p) { return p[0] | p[1] << 8u; }
inline void PutWord(std::uint8_t* p, unsigned v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline std::string NameOf(const std::uint8_t* e) {
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

// The entry whose path is path (DIR/NAME), or false with the reason.
bool FindEntry(Volume& v, const std::string& path, Entry& found, std::string& error);
// A free block, taken and cleared.
bool Allocate(Volume& v, unsigned& block, std::string& error);
// The first free entry of a directory. A full folder grows by a block,
// counted in its entry in its parent; the volume directory keeps its size.
bool FreeSlot(Volume& v, unsigned key, unsigned& block, int& index, std::string& error);
// A new, empty folder `name` in the directory whose key block is parentKey.
bool MakeFolder(Volume& v, unsigned parentKey, const std::string& name, unsigned& key, std::string& error);

}  // namespace diskimage::prodos
