// DOS 3.3: the VTOC at track 17 sector 0 (free-sector bitmap included), the
// catalog chain, and for each file a chain of track/sector lists.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "diskimage/file_system.h"

namespace diskimage::dos33 {
namespace {

using Sector = std::array<std::uint8_t, SectorBytes>;
struct Ts {
    int track = 0, sector = 0;
};

constexpr int VtocTrack = 17;
constexpr int EntryOffset = 0x0B, EntryBytes = 35, EntriesPerSector = 7;
constexpr int NameBytes = 30;
constexpr int PairsPerList = 122;
constexpr int TypeB = 0x04;
constexpr unsigned MaxChain = Tracks * SectorsPerTrack;

unsigned Place(Ts ts) { return static_cast<unsigned>(ts.track * SectorsPerTrack + ts.sector); }
bool Valid(Ts ts) { return ts.track >= 0 && ts.track < Tracks && ts.sector >= 0 && ts.sector < SectorsPerTrack; }

std::string TypeName(int type) {
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

bool FindEntry(Disk& d, const std::string& name, Entry& found, std::string& error) {
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

}  // namespace

bool Recognise(const Container& c) {
    Sector v{};
    if (!c.ReadSector(VtocTrack, 0, v.data())) return false;
    return v[0x34] == Tracks && v[0x35] == SectorsPerTrack && v[0x36] == 0 && v[0x37] == 1 && v[1] > 0 &&
           v[1] < Tracks && v[2] < SectorsPerTrack && v[0x27] == PairsPerList;
}

bool List(const Container& c, std::vector<FileEntry>& files, std::string& error) {
    Disk d{const_cast<Container&>(c)};
    if (!d.Load(error)) return false;
    files.clear();
    // Every file's chain is followed, so that a damaged one is found here.
    const bool walked = d.WalkEntries(
        [&](Entry& e) {
            Bytes data;
            if (!d.Contents(e.raw.data(), data, nullptr, nullptr, error)) return false;
            FileEntry f;
            f.name = e.name;
            f.type = TypeName(e.raw[2]);
            f.locked = e.raw[2] & 0x80;
            f.binary = (e.raw[2] & 0x7F) == TypeB;
            f.length = static_cast<std::size_t>(e.raw[0x21] | e.raw[0x22] << 8) * SectorBytes;
            if (f.binary && data.size() >= 4) {
                f.address = data[0] | data[1] << 8;
                f.length = data[2] | data[3] << 8;
            }
            files.push_back(f);
            return true;
        },
        error);
    return walked && error.empty();
}

bool Read(const Container& c, const std::string& name, Bytes& data, std::string& error) {
    Disk d{const_cast<Container&>(c)};
    Entry e;
    // The whole catalog is checked first: a damaged disk is refused whole.
    std::vector<FileEntry> all;
    if (!d.Load(error) || !List(c, all, error) || !FindEntry(d, name, e, error)) return false;
    if ((e.raw[2] & 0x7F) != TypeB) {
        error = name + " is not a binary (B) file";
        return false;
    }
    Bytes raw;
    if (!d.Contents(e.raw.data(), raw, nullptr, nullptr, error)) return false;
    const std::size_t length = raw.size() >= 4 ? static_cast<std::size_t>(raw[2] | raw[3] << 8) : 0;
    if (raw.size() < 4 || raw.size() - 4 < length) {
        error = name + " is shorter than its length says";
        return false;
    }
    data.assign(raw.begin() + 4, raw.begin() + 4 + static_cast<std::ptrdiff_t>(length));
    return true;
}

bool WritePage(Container& c, const std::string& name, const Bytes& page, std::string& error) {
    if (const std::string bad = CheckName(name); !bad.empty()) {
        error = bad;
        return false;
    }
    Disk d{c};
    if (!d.Load(error)) return false;
    Entry existing{};
    std::string missing;
    const bool exists = FindEntry(d, name, existing, missing);
    if (!exists && missing != name + " is not on the disk") {
        error = missing;
        return false;
    }
    // Every sector in use (the VTOC, the catalog, every file) must be marked
    // so: a map that says otherwise would have a new file overwrite one.
    std::vector<Ts> pool;
    std::vector<unsigned> owners{Place({VtocTrack, 0})};  // every sector claimed, once per claim
    bool consistent = !d.Free({VtocTrack, 0});
    if (!d.WalkCatalog(
            [&](Ts at, Sector&) {
                consistent = consistent && !d.Free(at);
                owners.push_back(Place(at));
                return true;
            },
            error) ||
        !d.WalkEntries(
            [&](Entry& e) {
                Bytes ignored;
                std::vector<Ts> lists, data;
                if (!d.Contents(e.raw.data(), ignored, &lists, &data, error)) return false;
                for (const auto* v : {&lists, &data})
                    for (Ts ts : *v) {
                        consistent = consistent && (ts.track == 0 || !d.Free(ts));
                        if (ts.track != 0) owners.push_back(Place(ts));
                    }
                if (exists && e.at.track == existing.at.track && e.at.sector == existing.at.sector &&
                    e.index == existing.index) {
                    pool = lists;
                    for (Ts ts : data)
                        if (ts.track != 0) pool.push_back(ts);
                }
                return true;
            },
            error) ||
        !error.empty())
        return false;
    // Every sector has one owner: a file whose list points into the
    // catalog, the VTOC or another file would have the new page's sectors
    // taken from them, or give them away.
    std::sort(owners.begin(), owners.end());
    if (std::adjacent_find(owners.begin(), owners.end()) != owners.end()) {
        error = "the disk's files overlap";
        return false;
    }
    if (!consistent) {
        error = "the disk's free-sector map disagrees with its files";
        return false;
    }
    if (exists && (existing.raw[2] & 0x80)) {
        error = name + " is locked";
        return false;
    }
    if (exists && (existing.raw[2] & 0x7F) != TypeB) {
        error = name + " is not a binary (B) file";
        return false;
    }

    // Its address and length, then the page: five data sectors and one list.
    Bytes content{PageAddress & 0xFF, PageAddress >> 8, PageBytes & 0xFF, PageBytes >> 8};
    content.insert(content.end(), page.begin(), page.end());
    const std::size_t dataSectors = (content.size() + SectorBytes - 1) / SectorBytes;
    const std::size_t needed = 1 + dataSectors;
    std::vector<Ts> use;
    for (Ts ts : pool)
        if (use.size() < needed) use.push_back(ts);
    for (std::size_t i = use.size(); i < pool.size(); ++i) d.SetFree(pool[i], true);
    // New sectors as DOS takes them: outward from the catalog track.
    for (int step = 1; step < Tracks && use.size() < needed; ++step) {
        for (const int track : {VtocTrack + step, VtocTrack - step}) {
            if (track <= 0 || track >= Tracks) continue;
            for (int sector = SectorsPerTrack - 1; sector >= 0 && use.size() < needed; --sector)
                if (d.Free({track, sector})) {
                    d.SetFree({track, sector}, false);
                    use.push_back({track, sector});
                }
        }
    }
    if (use.size() < needed) {
        error = "the disk is full";
        return false;
    }

    // A new file takes the first free place in the catalog.
    Ts entryAt{};
    int entryIndex = -1;
    if (exists) {
        entryAt = existing.at;
        entryIndex = existing.index;
    } else if (!d.WalkCatalog(
                   [&](Ts at, Sector& s) {
                       for (int i = 0; i < EntriesPerSector; ++i) {
                           const std::uint8_t t = s[EntryOffset + EntryBytes * i];
                           if (t == 0 || t == 0xFF) {
                               entryAt = at;
                               entryIndex = i;
                               return false;
                           }
                       }
                       return true;
                   },
                   error)) {
        return false;
    }
    if (entryIndex < 0) {
        error = "the disk's catalog is full";
        return false;
    }

    Sector list{};
    for (std::size_t i = 0; i < dataSectors; ++i) {
        list[0x0C + 2 * i] = static_cast<std::uint8_t>(use[1 + i].track);
        list[0x0D + 2 * i] = static_cast<std::uint8_t>(use[1 + i].sector);
        Sector s{};
        std::memcpy(s.data(), content.data() + i * SectorBytes,
                    std::min<std::size_t>(SectorBytes, content.size() - i * SectorBytes));
        c.WriteSector(use[1 + i].track, use[1 + i].sector, s.data());
    }
    c.WriteSector(use[0].track, use[0].sector, list.data());
    Sector catalog{};
    c.ReadSector(entryAt.track, entryAt.sector, catalog.data());
    std::uint8_t* e = catalog.data() + EntryOffset + EntryBytes * entryIndex;
    e[0] = static_cast<std::uint8_t>(use[0].track);
    e[1] = static_cast<std::uint8_t>(use[0].sector);
    if (!exists) {
        e[2] = TypeB;
        for (int i = 0; i < NameBytes; ++i)
            e[3 + i] = static_cast<std::uint8_t>((i < static_cast<int>(name.size()) ? name[i] : ' ') | 0x80);
    }
    e[0x21] = static_cast<std::uint8_t>(needed & 0xFF);
    e[0x22] = static_cast<std::uint8_t>(needed >> 8);
    c.WriteSector(entryAt.track, entryAt.sector, catalog.data());
    c.WriteSector(VtocTrack, 0, d.vtoc.data());
    return true;
}

void Format(Container& c, int volume) {
    Sector v{};
    v[0x01] = VtocTrack;
    v[0x02] = SectorsPerTrack - 1;
    v[0x03] = 3;
    v[0x06] = static_cast<std::uint8_t>(volume);
    v[0x27] = PairsPerList;
    v[0x30] = VtocTrack;
    v[0x31] = 1;
    v[0x34] = Tracks;
    v[0x35] = SectorsPerTrack;
    v[0x37] = 1;
    // Free: every sector but the boot tracks (0 to 2) and the catalog track.
    for (int t = 0; t < Tracks; ++t) {
        const bool free = t > 2 && t != VtocTrack;
        v[0x38 + 4 * t] = v[0x39 + 4 * t] = free ? 0xFF : 0x00;
    }
    c.WriteSector(VtocTrack, 0, v.data());
    for (int s = SectorsPerTrack - 1; s >= 1; --s) {
        Sector cat{};
        if (s > 1) {
            cat[1] = VtocTrack;
            cat[2] = static_cast<std::uint8_t>(s - 1);
        }
        c.WriteSector(VtocTrack, s, cat.data());
    }
}

std::string CheckName(const std::string& name) {
    if (name.empty() || name.size() > NameBytes) return "a DOS 3.3 name has 1 to 30 characters";
    if (name[0] < 'A' || name[0] > 'Z') return "a DOS 3.3 name starts with a letter";
    for (const char ch : name)
        if (ch < 0x20 || ch > 0x5E || ch == ',' || ch == ':') return "a DOS 3.3 name has no commas, colons or lower case";
    return std::string();
}

}  // namespace diskimage::dos33
