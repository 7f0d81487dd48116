// What the two file systems (DOS 3.3 and ProDOS) have in common: a file as
// the catalog lists it, and the checks every pointer read from an image
// goes through before it is followed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "diskimage/container.h"

namespace diskimage {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t PageBytes = 1024;
inline constexpr int PageAddress = 0x0400;
inline constexpr int ProgramAddress = 0x0801;  // where Applesoft keeps its program

// What a file written holds: a picture's pages (a DOS B or ProDOS BIN file
// loading at $0400) or an Applesoft program (a DOS A file, its length
// first; a ProDOS BAS file at $0801).
enum class FileKind { Pages, Applesoft };

struct FileEntry {
    std::string name;  // ProDOS: with its folders, "DIR/NAME"
    std::string type;  // "B", "A", "T", ... or "BIN", "DIR", "$C1", ...
    std::size_t length = 0;
    int address = -1;  // load address of a binary file, -1 for others
    bool locked = false;
    bool directory = false;
    bool binary = false;  // a DOS B or a ProDOS BIN file
    bool IsPage() const { return binary && length == PageBytes && address == PageAddress; }
    // A picture's frames: 2 to 256 pages one after the other (else 0).
    std::size_t Frames() const {
        const std::size_t n = length / PageBytes;
        return binary && address == PageAddress && length % PageBytes == 0 && n >= 2 && n <= 256 ? n : 0;
    }
};

// Chains are followed only this far and never twice through one place: a
// hostile image ends in a message, not a loop.
class Visited {
public:
    // False (with the error set) when the place was seen already.
    bool Enter(unsigned place, std::string& error) {
        if (seen_.insert(place).second) return true;
        error = "a loop in the disk's chains";
        return false;
    }

private:
    std::set<unsigned> seen_;
};

namespace dos33 {
bool Recognise(const Container& c);
bool List(const Container& c, std::vector<FileEntry>& files, std::string& error);
// A B file's data (without its address and length), up to its length.
bool Read(const Container& c, const std::string& name, Bytes& data, std::string& error);
// Replaces the data of B file name, or makes it: a B file at $0400. With
// firstTrack, its data sectors are the whole tracks from there on, in order.
bool WritePage(Container& c, const std::string& name, const Bytes& page, std::string& error, int firstTrack = -1,
               FileKind kind = FileKind::Pages);
void Format(Container& c, int volume);
// Empty when the name is one DOS 3.3 takes (already upper-cased).
std::string CheckName(const std::string& name);
}  // namespace dos33

namespace prodos {
bool Recognise(const Container& c);
bool List(const Container& c, std::vector<FileEntry>& files, std::string& error);
bool Read(const Container& c, const std::string& path, Bytes& data, std::string& error);
// Folders missing on the way are made (their paths in madeFolders); a full
// folder grows by a block.
bool WritePage(Container& c, const std::string& path, const Bytes& page, std::string& error,
               std::vector<std::string>* madeFolders = nullptr, FileKind kind = FileKind::Pages);
void Format(Container& c, const std::string& volumeName);
std::string CheckName(const std::string& path);
}  // namespace prodos

}  // namespace diskimage
