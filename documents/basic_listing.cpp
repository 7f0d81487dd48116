// A page as an Applesoft program that draws it, as short as this program
// can make it: GR clears rows 0 to 39 to black; then, colour by colour,
// the cells are covered by HLIN, VLIN, PLOT and FOR loops of them, each
// colour free to run over the cells of the colours drawn after it (which
// draw over it again), in the order that saves the most.
#include <algorithm>
#include <array>

#include "documents/program_export.h"
#include "lores/drawing.h"

namespace documents {
namespace {

constexpr int Cols = lores::PageWidth;
constexpr int MaxRows = lores::PageHeight;
constexpr int Unknown = -1;       // a cell whose colour the screen holds before the program
constexpr std::size_t MaxLine = 239;  // what the machine's input line takes

using Grid = std::array<std::array<int, Cols>, MaxRows>;
using Mask = std::array<std::array<bool, Cols>, MaxRows>;

int Digits(int n) { return n < 0 ? 1 + Digits(-n) : n < 10 ? 1 : n < 100 ? 2 : n < 1000 ? 3 : n < 10000 ? 4 : 5; }

struct Statement {
    std::string text;
    int bytes = 0;  // tokenized, with the ':' before the next
};

Statement Colour(int c) { return {"COLOR=" + std::to_string(c), 2 + Digits(c) + 1}; }

// A rectangle of one colour, columns x0..x1 and rows y0..y1: the cheapest
// of a PLOT, an HLIN or a VLIN, one a row or a column, or a FOR loop of them.
std::vector<Statement> Rectangle(int x0, int x1, int y0, int y1) {
    const auto n = [](int v) { return std::to_string(v); };
    const auto line = [&](bool across, int a, int b, int at) -> Statement {
        if (a == b) return across ? Statement{"PLOT " + n(a) + "," + n(at), 3 + Digits(a) + Digits(at)}
                                  : Statement{"PLOT " + n(at) + "," + n(a), 3 + Digits(a) + Digits(at)};
        return {std::string(across ? "HLIN " : "VLIN ") + n(a) + "," + n(b) + " AT " + n(at),
                4 + Digits(a) + Digits(b) + Digits(at)};
    };
    const auto loop = [&](bool across, int from, int to, int a, int b) -> Statement {
        return {"FOR I=" + n(from) + " TO " + n(to) + ":" + std::string(across ? "HLIN " : "VLIN ") + n(a) + "," + n(b) +
                    " AT I:NEXT",
                13 + Digits(from) + Digits(to) + Digits(a) + Digits(b)};
    };
    std::vector<std::vector<Statement>> ways(2);
    for (int y = y0; y <= y1; ++y) ways[0].push_back(line(true, x0, x1, y));
    for (int x = x0; x <= x1; ++x) ways[1].push_back(line(false, y0, y1, x));
    if (y1 > y0 && x1 > x0) {
        ways.push_back({loop(true, y0, y1, x0, x1)});
        ways.push_back({loop(false, x0, x1, y0, y1)});
    }
    const auto cost = [](const std::vector<Statement>& w) {
        int total = 0;
        for (const Statement& s : w) total += s.bytes;
        return total;
    };
    return *std::min_element(ways.begin(), ways.end(), [&](const auto& a, const auto& b) { return cost(a) < cost(b); });
}

struct Cover {
    std::vector<Statement> statements;
    int bytes = 0;
    Mask covered{};
};

// Covers every required cell with rectangles that stay within the allowed
// cells: each line (a row, or a column when down) cut into runs from the
// first to the last required cell of each stretch of allowed cells; a run
// carries on into the next line where it fits there too.
Cover CoverCells(const Mask& required, const Mask& allowed, int rows, bool down) {
    const int lines = down ? Cols : rows, along = down ? rows : Cols;
    const auto req = [&](int l, int a) { return down ? required[a][l] : required[l][a]; };
    const auto ok = [&](int l, int a) { return down ? allowed[a][l] : allowed[l][a]; };
    struct Open {
        int from, to, first;
    };
    std::vector<Open> open;
    Cover cover;
    const auto close = [&](const Open& o, int last) {
        const int x0 = down ? o.first : o.from, x1 = down ? last : o.to;
        const int y0 = down ? o.from : o.first, y1 = down ? o.to : last;
        for (Statement& s : Rectangle(x0, x1, y0, y1)) {
            cover.bytes += s.bytes;
            cover.statements.push_back(std::move(s));
        }
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) cover.covered[y][x] = true;
    };
    for (int l = 0; l <= lines; ++l) {
        std::vector<std::pair<int, int>> runs;
        for (int a = 0; l < lines && a < along;) {
            if (!ok(l, a)) {
                ++a;
                continue;
            }
            int first = -1, last = -1, b = a;
            for (; b < along && ok(l, b); ++b)
                if (req(l, b)) last = b, first = first < 0 ? b : first;
            if (first >= 0) runs.push_back({first, last});
            a = b;
        }
        std::vector<Open> next;
        for (const auto& [from, to] : runs) {
            // Carried on: a run of the line before that holds this one and fits here.
            const auto carried = std::find_if(open.begin(), open.end(), [&](const Open& o) {
                if (o.from > from || o.to < to) return false;
                for (int a = o.from; a <= o.to; ++a)
                    if (!ok(l, a)) return false;
                return true;
            });
            if (carried != open.end()) {
                next.push_back(*carried);
                open.erase(carried);
            } else {
                next.push_back({from, to, l});
            }
        }
        for (const Open& o : open) close(o, l - 1);
        open = std::move(next);
    }
    return cover;
}

// The plain way: each run of required cells in a row its own HLIN or PLOT.
Cover Runs(const Mask& required, int rows) {
    Cover cover;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < Cols;) {
            if (!required[y][x]) {
                ++x;
                continue;
            }
            int end = x;
            while (end + 1 < Cols && required[y][end + 1]) ++end;
            for (Statement& s : Rectangle(x, end, y, y)) {
                cover.bytes += s.bytes;
                cover.statements.push_back(std::move(s));
            }
            for (int k = x; k <= end; ++k) cover.covered[y][k] = true;
            x = end + 1;
        }
    return cover;
}

Cover Cheapest(const Mask& required, const Mask& allowed, int rows) {
    Cover across = CoverCells(required, allowed, rows, false), down = CoverCells(required, allowed, rows, true);
    return across.bytes <= down.bytes ? across : down;
}

// The drawing from the screen as it is (state) to the page (target), the
// colours in the order that saves the most, or one colour at a time in
// the plain way: runs within each row, no cell drawn twice.
std::vector<Statement> Draw(const Grid& target, Grid state, int rows, bool plain) {
    std::vector<Statement> out;
    for (;;) {
        std::array<bool, 16> left{};
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < Cols; ++x)
                if (state[y][x] != target[y][x]) left[static_cast<std::size_t>(target[y][x])] = true;
        int best = -1, bestSaving = 0;
        Cover chosen;
        for (int c = 0; c < 16; ++c) {
            if (!left[static_cast<std::size_t>(c)]) continue;
            Mask required{}, own{}, free{};
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < Cols; ++x) {
                    const int t = target[y][x];
                    required[y][x] = t == c && state[y][x] != c;
                    own[y][x] = t == c;
                    free[y][x] = own[y][x] || (state[y][x] != t && left[static_cast<std::size_t>(t)]);
                }
            Cover now = plain ? Runs(required, rows) : Cheapest(required, free, rows);
            const int saving = plain ? 0 : Cheapest(required, own, rows).bytes - now.bytes;
            if (best < 0 || saving > bestSaving || (saving == bestSaving && now.bytes < chosen.bytes)) {
                best = c, bestSaving = saving;
                chosen = std::move(now);
            }
            if (plain) break;  // colours in their order
        }
        if (best < 0) return out;
        out.push_back(Colour(best));
        for (Statement& s : chosen.statements) out.push_back(std::move(s));
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < Cols; ++x)
                if (chosen.covered[y][x]) state[y][x] = best;
    }
}

// The four text lines of the mixed view: HOME makes them spaces, then
// what is not a space goes there by PRINT (plain characters) or POKE, or
// a line whole from DATA, whichever is shorter.
std::vector<Statement> TextLines(const lores::LoresPage& page) {
    std::vector<Statement> out{{"HOME", 2}}, data;
    for (int t = 0; t < 4; ++t) {
        const int base = 1616 + 128 * t;  // $0650: text row 20, the first of the four
        const auto at = [&](int x) { return static_cast<int>(page[static_cast<std::size_t>(base - 0x400 + x)]); };
        // What PRINT can put: a plain (normal) capital, digit or sign; not a
        // quote, nor the last place of the last line (the screen would scroll).
        const auto printable = [&](int x) { return at(x) >= 0xA0 && at(x) <= 0xDF && at(x) != 0xA2 && !(t == 3 && x == 39); };
        std::vector<Statement> placed;
        int bytes = 0;
        const auto place = [&](Statement s) {
            bytes += s.bytes;
            placed.push_back(std::move(s));
        };
        for (int x = 0; x < Cols;) {
            if (at(x) == 0xA0) {
                ++x;
            } else if (!printable(x)) {
                place({"POKE " + std::to_string(base + x) + "," + std::to_string(at(x)), 3 + Digits(base + x) + Digits(at(x))});
                ++x;
            } else {
                int end = x;  // the run, with gaps of fewer than 8 spaces in it
                for (int y = x; y < Cols && (printable(y) || at(y) == 0xA0); ++y) {
                    if (at(y) != 0xA0) end = y;
                    else if (y - end >= 8) break;
                }
                std::string text;
                for (int y = x; y <= end; ++y) text += static_cast<char>(at(y) & 0x7F);
                if (placed.empty() || placed.front().text.rfind("VTAB", 0) != 0)
                    place({"VTAB " + std::to_string(21 + t), 2 + Digits(21 + t)});
                place({"HTAB " + std::to_string(x + 1), 2 + Digits(x + 1)});
                place({"PRINT \"" + text + "\";", 5 + static_cast<int>(text.size())});
                x = end + 1;
            }
        }
        std::string values;
        for (int x = 0; x < Cols; ++x) values += (x ? "," : "") + std::to_string(at(x));
        const int loopBytes = 15 + 2 * Digits(base), dataBytes = 2 + static_cast<int>(values.size());
        if (loopBytes + dataBytes < bytes) {
            out.push_back({"FOR I=" + std::to_string(base) + " TO " + std::to_string(base + 39) + ":READ A:POKE I,A:NEXT",
                           loopBytes});
            data.push_back({"DATA " + values, dataBytes});
        } else {
            out.insert(out.end(), placed.begin(), placed.end());
        }
    }
    if (data.size() == 4) out.erase(out.begin());  // every place written: no HOME
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// Numbered from 10 by 10, as many statements a line as fit in 239 characters.
std::string Lines(const std::vector<Statement>& statements) {
    std::string listing, line;
    int number = 10;
    for (const Statement& s : statements) {
        const std::string head = std::to_string(number) + " ";
        if (!line.empty() && head.size() + line.size() + 1 + s.text.size() > MaxLine) {
            listing += head + line + "\n";
            number += 10;
            line.clear();
        }
        line += (line.empty() ? "" : ":") + s.text;
    }
    if (!line.empty()) listing += std::to_string(number) + " " + line + "\n";
    return listing;
}

std::size_t Bytes(const std::vector<Statement>& statements) {
    std::size_t total = 0;
    for (const Statement& s : statements) total += static_cast<std::size_t>(s.bytes);
    return total;
}

}  // namespace

std::string BasicListing(const lores::LoresPage& page, bool mixed, bool plain) {
    const int rows = mixed ? 40 : MaxRows;
    Grid target{}, screen{};
    std::array<int, 16> counts{};
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < Cols; ++x) {
            target[y][x] = lores::PixelAt(page, x, y);
            screen[y][x] = y < 40 ? 0 : Unknown;  // GR clears rows 0 to 39
            ++counts[static_cast<std::size_t>(target[y][x])];
        }
    std::vector<Statement> start{{"GR", 2}};
    if (!mixed) start.push_back({"POKE -16302,0", 9});  // full screen: rows 40 to 47 are pixels
    // The screen as GR leaves it, or first filled with the commonest colour
    // (a loop of 48 HLINs), or in full screen its last rows made black.
    std::vector<Statement> best;
    const int common = static_cast<int>(std::max_element(counts.begin(), counts.end()) - counts.begin());
    for (int way = 0; way < (plain ? 1 : 3); ++way) {
        Grid from = screen;
        std::vector<Statement> drawn;
        if (way > 0) {
            const int colour = way == 1 ? common : 0, top = way == 1 ? 0 : 40;
            if (top >= rows) continue;
            drawn.push_back(Colour(colour));
            for (Statement& s : Rectangle(0, Cols - 1, top, rows - 1)) drawn.push_back(std::move(s));
            for (int y = top; y < rows; ++y) from[y].fill(colour);
        }
        for (Statement& s : Draw(target, from, rows, plain)) drawn.push_back(std::move(s));
        if (best.empty() || Bytes(drawn) < Bytes(best)) best = std::move(drawn);
    }
    start.insert(start.end(), best.begin(), best.end());
    if (mixed)
        for (Statement& s : TextLines(page)) start.push_back(std::move(s));
    // Held on the screen: at the end the machine would print its prompt
    // there (and scroll the text lines). A loop that never ends, Ctrl+C
    // leaves it.
    start.push_back({"FOR I=0 TO 1 STEP 0:NEXT", 10});
    std::string listing = Lines(start);
    if (!plain) {
        const std::string simple = BasicListing(page, mixed, true);
        if (TokenizeApplesoft(simple).size() < TokenizeApplesoft(listing).size()) listing = simple;
    }
    return listing;
}

}  // namespace documents
