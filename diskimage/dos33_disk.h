// A DOS 3.3 disk as the reader and the writer walk it: the VTOC and its
// free-sector map, the catalog chain, each file's track/sector lists, every
// pointer checked before it is followed. Inside the DOS 3.3 code only.
#pragma once

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "diskimage/file_system.h"

namespace diskimage::dos33 {

using Sector = std::array<std::uint8_t, SectorBytes>;
struct Ts {
    int track = 0, sector = 0;
};

constexpr int VtocTrack = 17;
constexpr int EntryOffset = 0x0B, EntryBytes = 35, EntriesPerSector = 7;
constexpr int NameBytes = 30;
constexpr int PairsPerList = 122;
constexpr std::size_t MaxBinaryLength = 0xFFFF;  // a B file's length word
constexpr int TypeA = 0x02, TypeB = 0x04;
constexpr unsigned MaxChain = Tracks * SectorsPerTrack;

inline unsigned Place(Ts ts) { return static_cast<unsigned>(ts.track * SectorsPerTrack + ts.sector); }
inline bool Valid(Ts ts) { return ts.track >= 0 && ts.track < Tracks && ts.sector >= 0 && ts.sector < SectorsPerTrack; }

inline std::string TypeName(int type) {
    switch (type & 0x7F) {
    case 0x00: return "T";
    case 0x01: return "I";
    case 0x02: return "A";
    case 0x04: return "B";
    case 0x08: return "S";
    case 0x10: return "R";
    case 0x20: return "a";
    case 0x40: return "b";
    default: return "?";
    }
}

// A catalog entry as it is on the disk, with where it is.
struct Entry {
    Ts at;          // its catalog sector
    int index = 0;  // and its place there
    std::array<std::uint8_t, EntryBytes> raw{};
    std::string name;
};

struct Disk {
    Container& c;
    Sector vtoc{};

    bool Load(std::string& error) {
        if (!c.ReadSector(VtocTrack, 0, vtoc.data())) {
            error = "no catalog on the disk";
            return false;
        }
        return true;
    }

    bool Free(Ts ts) const {
        const std::uint8_t b = vtoc[0x38 + 4 * ts.track + (ts.sector >= 8 ? 0 : 1)];
        return b & (1u << (ts.sector % 8));
    }
    void SetFree(Ts ts, bool free) {
        std::uint8_t& b = vtoc[0x38 + 4 * ts.track + (ts.sector >= 8 ? 0 : 1)];
        if (free) b |= static_cast<std::uint8_t>(1u << (ts.sector % 8));
        else b &= static_cast<std::uint8_t>(~(1u << (ts.sector % 8)));
    }

    // Every catalog sector in the chain, with its entries; f returns false to stop.
    bool WalkCatalog(const std::function<bool(Ts, Sector&)>& f, std::string& error) {
        Visited visited;
        Ts at{vtoc[1], vtoc[2]};
        for (unsigned n = 0; at.track != 0 && n < MaxChain; ++n) {
            if (!Valid(at) || !visited.Enter(Place(at), error)) {
                if (error.empty()) error = "a catalog pointer off the disk";
                return false;
            }
            Sector s{};
            c.ReadSector(at.track, at.sector, s.data());
            if (!f(at, s)) return true;
            at = {s[1], s[2]};
        }
        return true;
    }

    // The track/sector lists of a file and its data sectors, in order
    // (empty places, {0, 0}, where the file has a hole).
    bool FileSectors(Ts list, std::vector<Ts>& lists, std::vector<Ts>& data, std::string& error) {
        Visited visited;
        for (unsigned n = 0; list.track != 0 || n == 0; ++n) {
            if (n >= MaxChain || !Valid(list) || !visited.Enter(Place(list), error)) {
                if (error.empty()) error = "a track/sector list off the disk";
                return false;
            }
            lists.push_back(list);
            Sector s{};
            c.ReadSector(list.track, list.sector, s.data());
            for (int i = 0; i < PairsPerList; ++i) {
                const Ts ts{s[0x0C + 2 * i], s[0x0D + 2 * i]};
                if (ts.track != 0 && !Valid(ts)) {
                    error = "a data sector off the disk";
                    return false;
                }
                data.push_back(ts);
            }
            list = {s[1], s[2]};
        }
        while (!data.empty() && data.back().track == 0) data.pop_back();
        return true;
    }

    // Each entry in use; f returns false to stop.
    bool WalkEntries(const std::function<bool(Entry&)>& f, std::string& error) {
        bool stopped = false;
        return WalkCatalog(
                   [&](Ts at, Sector& s) {
                       for (int i = 0; i < EntriesPerSector && !stopped; ++i) {
                           std::uint8_t* e = s.data() + EntryOffset + EntryBytes * i;
                           if (e[0] == 0 || e[0] == 0xFF) continue;
                           Entry entry{at, i, {}, NameOf(e)};
                           std::memcpy(entry.raw.data(), e, EntryBytes);
                           stopped = !f(entry);
                       }
                       return !stopped;
                   },
                   error);
    }

    static std::string NameOf(const std::uint8_t* e) {
        std::string name;
        for (int i = 0; i < NameBytes; ++i) name += static_cast<char>(e[3 + i] & 0x7F);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        return name;
    }

    // The file's bytes: its data sectors, holes as zeros.
    bool Contents(const std::uint8_t* e, Bytes& out, std::vector<Ts>* lists, std::vector<Ts>* sectors,
                  std::string& error) {
        std::vector<Ts> l, d;
        if (!FileSectors({e[0], e[1]}, l, d, error)) return false;
        out.assign(d.size() * SectorBytes, 0);
        for (std::size_t i = 0; i < d.size(); ++i)
            if (d[i].track != 0) c.ReadSector(d[i].track, d[i].sector, out.data() + i * SectorBytes);
        if (lists) *lists = l;
        if (sectors) *sectors = d;
        return true;
    }
};

inline bool FindEntry(Disk& d, const std::string& name, Entry& found, std::string& error) {
    bool got = false;
    if (!d.WalkEntries(
            [&](Entry& e) {
                if (e.name != name) return true;
                found = e;
                got = true;
                return false;
            },
            error))
        return false;
    if (!got) error = name + " is not on the disk";
    return got;
}


}  // namespace diskimage::dos33
