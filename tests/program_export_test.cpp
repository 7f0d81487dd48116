// Pictures as source code and as Applesoft programs: the source through the
// real assembler and compiler, the listing run by a small interpreter of
// the statements it may use, the tokens against the published list, and
// the program on a disk as the disk's own layout holds it.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

#include "diskimage/disk_image.h"
#include "documents/program_export.h"
#include "lores/drawing.h"
#include "lores/text_glyphs.h"
#include "test_files.h"

using namespace testfiles;

namespace {

std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts(1);
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == at && !quoted) parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

// The machine's screen after running the listing from a screen of garbage,
// for the statements the program may use; anything else fails the test.
lores::LoresPage Interpret(const std::string& listing, std::mt19937& random) {
    lores::LoresPage memory;
    for (auto& b : memory) b = static_cast<std::uint8_t>(random());
    std::vector<std::string> statements, data;
    int number = 0;
    for (const std::string& line : Split(listing, '\n')) {
        if (line.empty()) continue;
        EXPECT_LE(line.size(), 239u);
        EXPECT_EQ(std::stoi(line), number += 10) << line;
        for (const std::string& s : Split(line.substr(line.find(' ') + 1), ':')) {
            statements.push_back(s);
            if (s.rfind("DATA ", 0) == 0)
                for (const std::string& v : Split(s.substr(5), ',')) data.push_back(v);
        }
    }
    std::map<char, int> vars;
    const auto value = [&](const std::string& e) { return std::isalpha(static_cast<unsigned char>(e[0])) ? vars[e[0]] : std::stoi(e); };
    struct Loop { char var; int limit, step; std::size_t body; };
    std::vector<Loop> loops;
    std::size_t read = 0;
    int colour = 0, row = 0, col = 0;
    const auto text = [&](int r, int c) -> std::uint8_t& { return memory[static_cast<std::size_t>(0x250 + 128 * (r - 20) + c)]; };
    for (std::size_t pc = 0; pc < statements.size(); ++pc) {
        std::istringstream in(statements[pc]);
        std::string word, a, b, at;
        in >> word;
        const auto args = [&] { std::string rest; std::getline(in, rest); return Split(rest.substr(1), ','); };
        if (word == "GR") {
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 40; ++x) lores::PlotPixel(memory, x, y, 0);
        } else if (word.rfind("COLOR=", 0) == 0) {
            colour = std::stoi(word.substr(6));
        } else if (word == "PLOT") {
            const auto v = args();
            lores::PlotPixel(memory, value(v[0]), value(v[1]), colour);
        } else if (word == "HLIN" || word == "VLIN") {
            const auto v = args();
            const std::size_t space = v[1].find(" AT ");
            const int from = value(v[0]), to = value(v[1].substr(0, space)), fixed = value(v[1].substr(space + 4));
            for (int k = from; k <= to; ++k) lores::PlotPixel(memory, word == "HLIN" ? k : fixed, word == "HLIN" ? fixed : k, colour);
        } else if (word == "POKE") {
            const auto v = args();
            const int address = value(v[0]);
            if (address != -16302) memory.at(static_cast<std::size_t>(address - 0x400)) = static_cast<std::uint8_t>(value(v[1]));
        } else if (word == "FOR") {
            const std::string loop = statements[pc].substr(4);  // "I=0 TO 47[ STEP 0]"
            const std::size_t to = loop.find(" TO "), step = loop.find(" STEP ");
            vars[loop[0]] = std::stoi(loop.substr(2, to - 2));
            const int by = step == std::string::npos ? 1 : std::stoi(loop.substr(step + 6));
            if (by == 0) return memory;  // held: what it drew stays on the screen
            loops.push_back({loop[0], std::stoi(loop.substr(to + 4)), by, pc + 1});
        } else if (word == "NEXT") {
            Loop& l = loops.back();
            if ((vars[l.var] += l.step) <= l.limit) pc = l.body - 1;
            else loops.pop_back();
        } else if (word == "READ") {
            in >> a;
            vars[a[0]] = std::stoi(data.at(read++));
        } else if (word == "HOME") {
            for (int r = 20; r < 24; ++r)
                for (int c = 0; c < 40; ++c) text(r, c) = 0xA0;
        } else if (word == "VTAB" || word == "HTAB") {
            in >> a;
            (word == "VTAB" ? row : col) = std::stoi(a) - 1;
        } else if (word == "PRINT") {
            const std::string& s = statements[pc];
            const std::size_t open = s.find('"'), close = s.rfind('"');
            EXPECT_EQ(s.back(), ';') << "a PRINT that ends its line would scroll the text lines";
            for (std::size_t k = open + 1; k < close; ++k) text(row, col++) = static_cast<std::uint8_t>(s[k] | 0x80);
            EXPECT_FALSE(row == 23 && col == 40) << "the cursor past the last place scrolls the text lines";
        } else if (word != "DATA") {
            ADD_FAILURE() << "a statement the program may not use: " << statements[pc];
        }
    }
    ADD_FAILURE() << "the program ends, and the machine's prompt would write over the picture";
    return memory;
}

// The listing as the tokens say it: keywords from the token list, the
// rest as typed, each line linked to the next from $0801.
std::string Detokenized(const std::vector<std::uint8_t>& program) {
    std::string text;
    std::size_t at = 0;
    while (at + 1 < program.size() && (program[at] | program[at + 1]) != 0) {
        const std::size_t next = (program[at] | program[at + 1] << 8) - 0x0801u;
        text += std::to_string(program[at + 2] | program[at + 3] << 8) + " ";
        for (std::size_t k = at + 4; k < next - 1; ++k)
            text += program[k] >= 0x80 ? std::string(documents::ApplesoftKeyword(program[k])) : std::string(1, static_cast<char>(program[k]));
        EXPECT_EQ(program.at(next - 1), 0) << "each line ends in a zero";
        text += "\n";
        at = next;
    }
    EXPECT_EQ(at + 2, program.size()) << "the program ends with a zero link";
    return text;
}

// A listing as the machine keeps it: no spaces but in strings and after the line number.
std::string WithoutSpaces(const std::string& listing) {
    std::string out;
    for (const std::string& line : Split(listing, '\n')) {
        if (line.empty()) continue;
        const std::size_t space = line.find(' ');
        out += line.substr(0, space + 1);
        bool quoted = false;
        for (const char c : line.substr(space + 1)) {
            quoted = quoted != (c == '"');
            if (c != ' ' || quoted) out += c;
        }
        out += "\n";
    }
    return out;
}

std::vector<std::pair<std::string, lores::LoresPage>> Pages() {
    std::vector<std::pair<std::string, lores::LoresPage>> pages;
    std::mt19937 random(7);
    for (int k = 0; k < 3; ++k) {
        lores::LoresPage p;
        // Random, then a picture of areas with noise: the hard case and the usual one.
        for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(k == 0 ? random() : (i / 97 * 0x35 + (random() % 9 == 0 ? random() : 0)));
        pages.push_back({"random " + std::to_string(k), p});
    }
    // Text to the last place, with a quote, spaces and an inverse letter in it.
    lores::LoresPage words;
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint8_t>(i % 9 == 0 ? 0xA0 : 0xC1 + i % 26);
    words[0x3D5] = 0xA2;
    words[0x3D9] = 0x01;
    pages.push_back({"words", words});
    for (const char* name : {"TB1.GR", "MODE7DEMO.GR", "CHIPTUNE.GR", "spaceship_far_n.gr"}) {
        const auto bytes = ReadAll(std::string(VORNEL_SOURCE_DIR) + "/../shared/realworld/" + name);
        if (bytes.size() != 1024) continue;  // not beside this tree
        lores::LoresPage p;
        std::copy(bytes.begin(), bytes.end(), p.begin());
        pages.push_back({name, p});
    }
    return pages;
}

}  // namespace

// Every statement's tokens against the published list, byte for byte; a
// tokenized program read back to its listing; the listing run draws the
// page (full screen: all 48 rows; mixed: 40 and the text lines as the page
// holds them), and is never longer than the plain program (the real pages
// at most 3 KB).
TEST(ProgramExport, TheBasicProgramDrawsThePageAndIsShort) {
    const std::vector<std::uint8_t> tokens = documents::TokenizeApplesoft(
        "10 GR:COLOR=3:HLIN 1,2 AT 3\n20 POKE -16302,0:FOR I=0 TO 1 STEP 0:NEXT\n30 VTAB 21:HTAB 2:PRINT \"A B\";:HOME:PLOT 1,9:VLIN 1,2 AT I:READ A:DATA 1,2\n");
    const std::vector<std::uint8_t> expected = {
        0x11, 0x08, 10, 0, 0x88, ':', 0xA0, '3', ':', 0x8E, '1', ',', '2', 0xC5, '3', 0,
        0x2A, 0x08, 20, 0, 0xB9, 0xC9, '1', '6', '3', '0', '2', ',', '0', ':', 0x81, 'I', 0xD0, '0', 0xC1, '1', 0xC7, '0', ':', 0x82, 0,
        0x53, 0x08, 30, 0, 0xA2, '2', '1', ':', 0x96, '2', ':', 0xBA, '"', 'A', ' ', 'B', '"', ';', ':', 0x97, ':', 0x8D, '1', ',', '9', ':',
        0x8F, '1', ',', '2', 0xC5, 'I', ':', 0x87, 'A', ':', 0x83, '1', ',', '2', 0, 0, 0};
    EXPECT_EQ(tokens, expected);

    std::mt19937 random(5);
    for (const auto& [name, page] : Pages())
        for (const bool mixed : {false, true}) {
            const std::string listing = documents::BasicListing(page, mixed);
            const lores::LoresPage shown = Interpret(listing, random);
            for (int y = 0; y < (mixed ? 40 : 48); ++y)
                for (int x = 0; x < 40; ++x)
                    ASSERT_EQ(lores::PixelAt(shown, x, y), lores::PixelAt(page, x, y)) << name << " mixed " << mixed << " at " << x << "," << y;
            if (mixed) {
                EXPECT_EQ(lores::ReadMixedText(shown), lores::ReadMixedText(page)) << name;
            }
            const auto program = documents::TokenizeApplesoft(listing);
            EXPECT_EQ(Detokenized(program), WithoutSpaces(listing)) << name;
            EXPECT_LE(program.size(), documents::TokenizeApplesoft(documents::BasicListing(page, mixed, true)).size()) << name;
            if (name.find('.') != std::string::npos) {
                EXPECT_LE(program.size(), 3072u) << name;
            }
        }
}

// The source through ca65 and ld65 and through the system's C compiler:
// the bytes they give are the page's (every frame's, in order), under the
// name given or made valid; the listing's program into DOS 3.3 and ProDOS
// images as the published layouts keep an Applesoft program.
TEST(ProgramExport, SourceAssemblesAndCompilesToThePageAndTheProgramGoesOnADisk) {
    TempDir dir;
    std::vector<std::uint8_t> frames;
    for (std::size_t i = 0; i < 3 * 1024; ++i) frames.push_back(static_cast<std::uint8_t>(i * 7 + i / 1024 * 13 + i / 251));
    const auto run = [](const std::string& command) { return std::system(("(" + command + ") > /dev/null 2>&1").c_str()) == 0; };
    for (const std::size_t count : {1u, 3u}) {
        WriteAll(dir / "pic", std::vector<std::uint8_t>(frames.begin(), frames.begin() + static_cast<long>(count * 1024)));
        const auto made = documents::ExportPageAsSource(dir / "pic", dir / "9 lives.s");
        ASSERT_TRUE(made.ok) << made.message;
        EXPECT_NE(made.message.find("as pic_9_lives ('9 lives' made a valid name)"), std::string::npos) << made.message;
        if (!run("command -v ca65")) GTEST_SKIP() << "ca65 is not installed (cc65): the assembler's half is not checked";
        ASSERT_TRUE(run("cd '" + dir.path() + "' && ca65 '9 lives.s' -o s.o && ld65 -t none s.o -o s.bin"));
        EXPECT_EQ(ReadAll(dir / "s.bin"), ReadAll(dir / "pic")) << count;
        ASSERT_TRUE(documents::ExportPageAsSource(dir / "pic", dir / "art.h", "art").ok);
        std::string main = "#include <stdio.h>\n#include \"art.h\"\nint main(void) {\n";
        for (std::size_t f = 1; f <= count; ++f)
            main += "fwrite(art" + (count == 1 ? std::string() : "_" + std::to_string(f)) + ", 1, sizeof art" +
                    (count == 1 ? std::string() : "_" + std::to_string(f)) + ", stdout);\n";
        main += "return 0;\n}\n";
        WriteAll(dir / "main.c", {main.begin(), main.end()});
        ASSERT_TRUE(run("cd '" + dir.path() + "' && cc -Wall -Werror -o c.out main.c && ./c.out > c.bin"));
        EXPECT_EQ(ReadAll(dir / "c.bin"), ReadAll(dir / "pic")) << count;
    }
    EXPECT_EQ(documents::ExportPageAsSource(dir / "pic", dir / "pic.txt").message,
              (dir / "pic.txt") + ": not a kind of source: name it .s or .asm (ca65), .c or .h (C)");

    // On the disks: an A file (its length, then the program) and a BAS file at $0801.
    WriteAll(dir / "page", std::vector<std::uint8_t>(frames.begin(), frames.begin() + 1024));
    lores::LoresPage page;
    std::copy(frames.begin(), frames.begin() + 1024, page.begin());
    const auto program = documents::TokenizeApplesoft(documents::BasicListing(page, false));
    ASSERT_TRUE(documents::ExportPageAsBasic(dir / "page", dir / "d.dsk:SHOW", false).ok);
    const auto dos = ReadAll(dir / "d.dsk");
    const auto sector = [&](int t, int s) { return dos.begin() + (t * 16 + s) * 256; };
    const auto entry = sector(17, 15) + 0x0B;
    EXPECT_EQ(entry[2], 0x02) << "type A";
    const auto list = sector(entry[0], entry[1]);
    std::vector<std::uint8_t> file;
    for (int k = 0; k < 122 && list[0x0C + 2 * k]; ++k) file.insert(file.end(), sector(list[0x0C + 2 * k], list[0x0D + 2 * k]), sector(list[0x0C + 2 * k], list[0x0D + 2 * k]) + 256);
    ASSERT_GE(file.size(), program.size() + 2);
    EXPECT_EQ((file[0] | file[1] << 8), static_cast<int>(program.size()));
    EXPECT_TRUE(std::equal(program.begin(), program.end(), file.begin() + 2));
    ASSERT_TRUE(documents::ExportPageAsBasic(dir / "page", dir / "p.po:SHOW", true).ok);
    const auto prodos = ReadAll(dir / "p.po");
    const auto file2 = prodos.begin() + 2 * 512 + 4 + 0x27;  // the volume directory's first file
    EXPECT_EQ(file2[0x10], 0xFC) << "type BAS";
    EXPECT_EQ((file2[0x1F] | file2[0x20] << 8), 0x0801);
    std::string catalog;
    ASSERT_TRUE(documents::ListDiskImage(dir / "d.dsk", catalog).ok);
    EXPECT_NE(catalog.find(" A       " + std::to_string(program.size())), std::string::npos) << catalog;
    EXPECT_FALSE(documents::ExportPageAsBasic(dir / "page", dir / "show.txt", false).ok);
}
