// Small file helpers shared by the tests.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testfiles {

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/vornel-test-XXXXXX";
        path_ = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> Pattern(std::size_t n, int seed = 0) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 31 + seed) & 0xFF);
    return v;
}

// An uncompressed 32-bit BMP, bottom row first; pixels are blue, green,
// red, alpha.
inline std::vector<std::uint8_t> Bmp32(int width, int height, const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> bmp(54 + pixels.size(), 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<std::uint32_t>(54 + pixels.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    bmp[26] = 1;
    bmp[28] = 32;
    for (std::size_t i = 0; i < pixels.size(); ++i) bmp[54 + i] = pixels[i];
    return bmp;
}

inline bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Names in a folder, hidden ones included.
inline std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> out;
    const std::string cmd = "ls -A '" + dir + "'";
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char line[4096];
        while (fgets(line, sizeof line, p)) {
            std::string s(line);
            if (!s.empty() && s.back() == '\n') s.pop_back();
            out.push_back(s);
        }
        pclose(p);
    }
    return out;
}

}  // namespace testfiles
