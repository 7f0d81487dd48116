// DOS 3.3: the VTOC at track 17 sector 0 (free-sector bitmap included), the
// catalog chain, and for each file a chain of track/sector lists.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>

#include "diskimage/dos33_disk.h"
#include "diskimage/file_system.h"

namespace diskimage::dos33 {

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
            } else if ((e.raw[2] & 0x7F) == TypeA && data.size() >= 2) {
                f.length = data[0] | data[1] << 8;  // an Applesoft program's, before it
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

namespace {

// What a write finds on the disk: the file it replaces, if any, and the
// sectors that file may give to the new page.
struct Found {
    Entry existing{};
    bool exists = false;
    std::vector<Ts> pool;
};

// Every sector in use (the VTOC, the catalog, every file) has one owner and
// is marked so in the free-sector map (else a file whose list points into
// the catalog, the VTOC or another file would have the new page's sectors
// taken from them, or give them away); the file replaced, if any, is a
// binary file that may be written.
bool CheckOwners(Disk& d, const std::string& name, int type, Found& found, std::string& error) {
    std::string missing;
    found.exists = FindEntry(d, name, found.existing, missing);
    if (!found.exists && missing != name + " is not on the disk") {
        error = missing;
        return false;
    }
    const Entry& existing = found.existing;
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
                if (found.exists && e.at.track == existing.at.track && e.at.sector == existing.at.sector &&
                    e.index == existing.index) {
                    found.pool = lists;
                    for (Ts ts : data)
                        if (ts.track != 0) found.pool.push_back(ts);
                }
                return true;
            },
            error) ||
        !error.empty())
        return false;
    std::sort(owners.begin(), owners.end());
    if (std::adjacent_find(owners.begin(), owners.end()) != owners.end()) {
        error = "the disk's files overlap";
        return false;
    }
    if (!consistent) {
        error = "the disk's free-sector map disagrees with its files";
        return false;
    }
    if (found.exists && (existing.raw[2] & 0x80)) {
        error = name + " is locked";
        return false;
    }
    if (found.exists && (existing.raw[2] & 0x7F) != type) {
        error = name + (type == TypeB ? " is not a binary (B) file" : " is not an Applesoft (A) file");
        return false;
    }
    return true;
}

// needed sectors: the replaced file's first, the rest of them freed, then
// new ones as DOS takes them, outward from the catalog track.
bool TakeSectors(Disk& d, const std::vector<Ts>& pool, std::size_t needed, std::vector<Ts>& use, std::string& error) {
    for (Ts ts : pool)
        if (use.size() < needed) use.push_back(ts);
    for (std::size_t i = use.size(); i < pool.size(); ++i) d.SetFree(pool[i], true);
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
    return true;
}

// The first free place in the catalog.
bool FreeEntry(Disk& d, Ts& entryAt, int& entryIndex, std::string& error) {
    entryIndex = -1;
    if (!d.WalkCatalog(
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
            error))
        return false;
    if (entryIndex < 0) {
        error = "the disk's catalog is full";
        return false;
    }
    return true;
}

// The content in use[1...], their list in use[0], and the catalog entry
// pointing at it.
// The file's sectors: use holds its track/sector lists first (lists of
// them, chained), then its data sectors in order.
void WriteFile(Disk& d, const Bytes& content, const std::vector<Ts>& use, std::size_t lists, Ts entryAt,
               int entryIndex, bool isNew, const std::string& name, int type) {
    Container& c = d.c;
    for (std::size_t l = 0; l < lists; ++l) {
        Sector list{};
        if (l + 1 < lists) {
            list[0x01] = static_cast<std::uint8_t>(use[l + 1].track);
            list[0x02] = static_cast<std::uint8_t>(use[l + 1].sector);
        }
        const std::size_t first = l * PairsPerList;  // the data sector this list starts at
        list[0x05] = static_cast<std::uint8_t>(first & 0xFF);
        list[0x06] = static_cast<std::uint8_t>(first >> 8);
        for (std::size_t i = first; i < std::min(first + PairsPerList, use.size() - lists); ++i) {
            const Ts at = use[lists + i];
            list[0x0C + 2 * (i - first)] = static_cast<std::uint8_t>(at.track);
            list[0x0D + 2 * (i - first)] = static_cast<std::uint8_t>(at.sector);
            Sector s{};
            std::memcpy(s.data(), content.data() + i * SectorBytes,
                        std::min<std::size_t>(SectorBytes, content.size() - i * SectorBytes));
            c.WriteSector(at.track, at.sector, s.data());
        }
        c.WriteSector(use[l].track, use[l].sector, list.data());
    }
    Sector catalog{};
    c.ReadSector(entryAt.track, entryAt.sector, catalog.data());
    std::uint8_t* e = catalog.data() + EntryOffset + EntryBytes * entryIndex;
    e[0] = static_cast<std::uint8_t>(use[0].track);
    e[1] = static_cast<std::uint8_t>(use[0].sector);
    if (isNew) {
        e[2] = static_cast<std::uint8_t>(type);
        for (int i = 0; i < NameBytes; ++i)
            e[3 + i] = static_cast<std::uint8_t>((i < static_cast<int>(name.size()) ? name[i] : ' ') | 0x80);
    }
    e[0x21] = static_cast<std::uint8_t>(use.size() & 0xFF);
    e[0x22] = static_cast<std::uint8_t>(use.size() >> 8);
    c.WriteSector(entryAt.track, entryAt.sector, catalog.data());
    c.WriteSector(VtocTrack, 0, d.vtoc.data());
}

}  // namespace

bool WritePage(Container& c, const std::string& name, const Bytes& page, std::string& error, int firstTrack,
               FileKind kind) {
    if (const std::string bad = CheckName(name); !bad.empty()) {
        error = bad;
        return false;
    }
    // A B file keeps its length in 16 bits: a longer one would be read
    // back as the remainder, so it is refused before anything changes.
    if (page.size() > MaxBinaryLength) {
        error = kind == FileKind::Pages ? "a DOS 3.3 binary file holds at most 65,535 bytes (" +
                                              std::to_string(MaxBinaryLength / 1024) + " frames); this picture has " +
                                              std::to_string(page.size()) + " bytes"
                                        : "a DOS 3.3 Applesoft file holds at most 65,535 bytes";
        return false;
    }
    Disk d{c};
    if (!d.Load(error)) return false;
    Found found;
    const int type = kind == FileKind::Pages ? TypeB : TypeA;
    if (!CheckOwners(d, name, type, found, error)) return false;
    // Its address (a B file's) and length, then the pages: five data
    // sectors a page and a track/sector list for each 122 of them.
    Bytes content{static_cast<std::uint8_t>(page.size() & 0xFF), static_cast<std::uint8_t>(page.size() >> 8)};
    if (kind == FileKind::Pages) content.insert(content.begin(), {PageAddress & 0xFF, PageAddress >> 8});
    content.insert(content.end(), page.begin(), page.end());
    const std::size_t data = (content.size() + SectorBytes - 1) / SectorBytes;
    const std::size_t lists = (data + PairsPerList - 1) / PairsPerList;
    const std::size_t needed = lists + data;
    std::vector<Ts> use;
    if (firstTrack < 0) {
        if (!TakeSectors(d, found.pool, needed, use, error)) return false;
    } else {
        // The data in whole tracks from firstTrack on, in order (a loader
        // of its own reads them so); the lists where DOS would put them.
        if (!TakeSectors(d, found.pool, lists, use, error)) return false;
        for (std::size_t k = 0; k < data; ++k) {
            const Ts at{firstTrack + static_cast<int>(k / SectorsPerTrack), static_cast<int>(k % SectorsPerTrack)};
            if (at.track >= Tracks) {
                error = "the disk is full";
                return false;
            }
            d.SetFree(at, false);
            use.push_back(at);
        }
    }
    Ts entryAt = found.existing.at;
    int entryIndex = found.existing.index;
    if (!found.exists && !FreeEntry(d, entryAt, entryIndex, error)) return false;
    WriteFile(d, content, use, lists, entryAt, entryIndex, !found.exists, name, type);
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
