// Pictures as source code: the page's 1024 bytes, screen holes included (so
// that the block can be copied to $0400 as it is), for ca65 or a C compiler.
#include <array>
#include <cctype>
#include <cstdio>

#include "documents/program_export.h"

namespace documents {
namespace {

// What each line of 16 bytes starts with: the page's rows are three text
// rows a 128 bytes (two lores rows each) and 8 bytes of screen holes.
std::string Where(std::size_t offset) {
    char text[96];
    const std::size_t inBlock = offset % 128, block = offset / 128;
    if (inBlock >= 120) {
        std::snprintf(text, sizeof text, "$%04zX: screen holes", 0x400 + offset);
    } else {
        const std::size_t row = block + 8 * (inBlock / 40);
        std::snprintf(text, sizeof text, "$%04zX: lores rows %zu and %zu, from column %zu", 0x400 + offset, 2 * row,
                      2 * row + 1, inBlock % 40);
    }
    return text;
}

}  // namespace

std::string Identifier(const std::string& text) {
    std::string id;
    for (const char c : text) id += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
    // Register names to the assembler, keywords to C.
    static const std::array<const char*, 36> Taken = {
        "a", "x", "y", "s", "auto", "break", "case", "char", "const", "continue", "default", "do",
        "double", "else", "enum", "extern", "float", "for", "goto", "if", "inline", "int", "long", "register",
        "restrict", "return", "short", "signed", "sizeof", "static", "struct", "switch", "typedef", "union",
        "unsigned", "void"};
    std::string lower;
    for (const char c : id) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool taken = false;
    for (const char* t : Taken) taken = taken || lower == t;
    if (id.empty() || std::isdigit(static_cast<unsigned char>(id[0])) || taken) id = "pic_" + id;
    return id;
}

std::string SourceText(const std::vector<lores::LoresPage>& frames, const std::string& name, SourceKind kind) {
    const bool c = kind != SourceKind::Assembler;
    std::string out;
    char line[160];
    const std::string what = frames.size() == 1 ? "an Apple II lores page"
                                                : std::to_string(frames.size()) + " Apple II lores pages (frames)";
    const std::string about = name + ": " + what + ", 1024 bytes each for $0400-$07FF, screen holes included";
    const auto label = [&](std::size_t f) { return frames.size() == 1 ? name : name + "_" + std::to_string(f + 1); };
    if (c) {
        out += "/* " + about + " */\n";
        if (kind == SourceKind::CHeader) out += "#ifndef " + name + "_H\n#define " + name + "_H\n";
        if (frames.size() > 1) out += "enum { " + name + "_count = " + std::to_string(frames.size()) + " };\n";
    } else {
        out += "; " + about + "\n";
        out += "        .export " + name;
        for (std::size_t f = 0; frames.size() > 1 && f < frames.size(); ++f) out += ", " + label(f);
        if (frames.size() > 1) out += ", " + name + "_count\n" + name + "_count = " + std::to_string(frames.size());
        out += "\n        .rodata\n";
        if (frames.size() > 1) out += name + ":\n";
    }
    for (std::size_t f = 0; f < frames.size(); ++f) {
        out += c ? "\nconst unsigned char " + label(f) + "[1024] = {\n" : label(f) + ":\n";
        for (std::size_t at = 0; at < lores::PageBytes; at += 16) {
            out += c ? "    /* " + Where(at) + " */\n    " : "; " + Where(at) + "\n        .byte   ";
            for (std::size_t k = 0; k < 16; ++k) {
                std::snprintf(line, sizeof line, c ? "0x%02X," : "$%02X", frames[f][at + k]);
                out += line;
                if (!c && k < 15) out += ",";
            }
            out += "\n";
        }
        if (c) out += "};\n";
    }
    if (kind == SourceKind::CHeader) out += "#endif\n";
    return out;
}

}  // namespace documents
