// Room on a ProDOS volume: free blocks taken, a full folder grown by a
// block, a new folder made.
#include <cstring>

#include "diskimage/prodos_volume.h"

namespace diskimage::prodos {

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

}  // namespace diskimage::prodos
