// Applesoft's tokens, and a listing tokenized as the machine's own parser
// would: keywords as their token bytes (spaces between them dropped),
// strings, DATA and REM kept as typed, each line linked to the next.
#include <array>
#include <cstring>

#include "documents/program_export.h"

namespace documents {
namespace {

constexpr std::uint16_t ProgramStart = 0x0801;

// The keywords in token order, $80 on.
constexpr std::array<const char*, 107> Keywords = {
    "END",    "FOR",    "NEXT",    "DATA",   "INPUT",   "DEL",   "DIM",     "READ",   "GR",     "TEXT",
    "PR#",    "IN#",    "CALL",    "PLOT",   "HLIN",    "VLIN",  "HGR2",    "HGR",    "HCOLOR=", "HPLOT",
    "DRAW",   "XDRAW",  "HTAB",    "HOME",   "ROT=",    "SCALE=", "SHLOAD", "TRACE",  "NOTRACE", "NORMAL",
    "INVERSE", "FLASH", "COLOR=",  "POP",    "VTAB",    "HIMEM:", "LOMEM:", "ONERR",  "RESUME", "RECALL",
    "STORE",  "SPEED=", "LET",     "GOTO",   "RUN",     "IF",    "RESTORE", "&",      "GOSUB",  "RETURN",
    "REM",    "STOP",   "ON",      "WAIT",   "LOAD",    "SAVE",  "DEF",     "POKE",   "PRINT",  "CONT",
    "LIST",   "CLEAR",  "GET",     "NEW",    "TAB(",    "TO",    "FN",      "SPC(",   "THEN",   "AT",
    "NOT",    "STEP",   "+",       "-",      "*",       "/",     "^",       "AND",    "OR",     ">",
    "=",      "<",      "SGN",     "INT",    "ABS",     "USR",   "FRE",     "SCRN(",  "PDL",    "POS",
    "SQR",    "RND",    "LOG",     "EXP",    "COS",     "SIN",   "TAN",     "ATN",    "PEEK",   "LEN",
    "STR$",   "VAL",    "ASC",     "CHR$",   "LEFT$",   "RIGHT$", "MID$",
};
constexpr std::uint8_t TokenData = 0x83, TokenRem = 0xB2, TokenAt = 0xC5, TokenAtn = 0xE1;

// The token whose keyword starts at text (spaces in it skipped, as the
// machine skips them), and how many characters it took; 0 for none.
std::uint8_t Match(const std::string& text, std::size_t at, std::size_t& used) {
    for (std::size_t k = 0; k < Keywords.size(); ++k) {
        std::size_t i = at;
        const char* w = Keywords[k];
        for (; *w; ++w) {
            while (i < text.size() && text[i] == ' ') ++i;
            if (i >= text.size() || text[i] != *w) break;
            ++i;
        }
        if (*w) continue;
        used = i - at;
        return static_cast<std::uint8_t>(0x80 + k);
    }
    return 0;
}

}  // namespace

const char* ApplesoftKeyword(std::uint8_t token) {
    return token >= 0x80 && token < 0x80 + Keywords.size() ? Keywords[token - 0x80] : nullptr;
}

std::vector<std::uint8_t> TokenizeApplesoft(const std::string& listing) {
    std::vector<std::uint8_t> program;
    std::size_t at = 0;
    while (at < listing.size()) {
        std::size_t end = listing.find('\n', at);
        if (end == std::string::npos) end = listing.size();
        const std::string line = listing.substr(at, end - at);
        at = end + 1;
        std::size_t i = 0;
        unsigned number = 0;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9') number = number * 10 + static_cast<unsigned>(line[i++] - '0');
        if (i == 0) continue;  // no line number: not a program line
        const std::size_t start = program.size();
        program.insert(program.end(), {0, 0, static_cast<std::uint8_t>(number & 0xFF), static_cast<std::uint8_t>(number >> 8)});
        bool data = false;
        while (i < line.size()) {
            const char c = line[i];
            if (c == ' ') {
                ++i;
            } else if (c == '"') {
                // A string as typed, to its closing quote.
                const std::size_t close = line.find('"', i + 1);
                const std::size_t stop = close == std::string::npos ? line.size() : close + 1;
                program.insert(program.end(), line.begin() + static_cast<long>(i), line.begin() + static_cast<long>(stop));
                i = stop;
            } else if (data && c != ':') {
                program.push_back(static_cast<std::uint8_t>(c));
                ++i;
            } else {
                std::size_t used = 0;
                std::uint8_t token = c == ':' ? 0 : Match(line, i, used);
                // "AT" before "N" is ATN, and before "O" it is A and TO, as the machine reads them.
                if (token == TokenAt) {
                    std::size_t next = i + used;
                    while (next < line.size() && line[next] == ' ') ++next;
                    if (next < line.size() && line[next] == 'N') token = TokenAtn, used = next + 1 - i;
                    else if (next < line.size() && line[next] == 'O') token = 0;
                }
                if (token == 0) {
                    program.push_back(static_cast<std::uint8_t>(c));
                    if (c == ':') data = false;
                    ++i;
                    continue;
                }
                program.push_back(token);
                i += used;
                data = token == TokenData;
                if (token == TokenRem) {
                    program.insert(program.end(), line.begin() + static_cast<long>(i), line.end());
                    i = line.size();
                }
            }
        }
        program.push_back(0);
        const std::size_t next = ProgramStart + program.size();
        program[start] = static_cast<std::uint8_t>(next & 0xFF);
        program[start + 1] = static_cast<std::uint8_t>(next >> 8);
    }
    program.insert(program.end(), {0, 0});
    return program;
}

}  // namespace documents
