// The picture as the Apple II shows it: the mixed mode's four text lines
// drawn from the glyph table, the palettes, and a PNG opened in the window.
#include <QTest>
#include <random>
#include <set>

#include "documents/conversions.h"
#include "documents/documents.h"
#include "editor_fixture.h"
#include "lores/text_glyphs.h"
#include "png_reader.h"
#include "runtime/images.h"
#include "runtime/png_encoder.h"
#include "test_files.h"

using namespace editor;
using qtdriver::DialogScript;
using namespace testfiles;

TEST(TextGlyphs, EveryCodeIsOneCharacterInOneMode) {
    for (int code = 0; code < 256; ++code) {
        const lores::TextCharacter c = lores::CharacterOf(static_cast<std::uint8_t>(code));
        ASSERT_GE(c.ascii, 0x20) << code;
        ASSERT_LE(static_cast<unsigned char>(c.ascii), 0x7F) << code;
        const lores::TextMode mode = code < 0x40 ? lores::TextMode::Inverse
                                     : code < 0x80 ? lores::TextMode::Flashing
                                                   : lores::TextMode::Normal;
        ASSERT_EQ(c.mode, mode) << code;
        // Upper case and symbols everywhere but the later models' lower case.
        if (code < 0xE0) {
            ASSERT_LT(c.ascii, 0x60) << code;
        }
    }
    const auto is = [](int code, char ascii) { return lores::CharacterOf(static_cast<std::uint8_t>(code)).ascii == ascii; };
    EXPECT_TRUE(is(0x01, 'A') && is(0x41, 'A') && is(0x81, 'A') && is(0xC1, 'A') && is(0xE1, 'a'));
    EXPECT_TRUE(is(0x00, '@') && is(0x20, ' ') && is(0xA0, ' ') && is(0xB1, '1') && is(0xFF, 0x7F) && is(0xDF, '_'));
    // 96 glyphs, no two alike; dots only in columns 1 to 5 and rows 0 to 6.
    std::set<lores::Glyph> seen;
    for (int a = 0x20; a < 0x80; ++a) {
        const lores::Glyph& g = lores::GlyphOf(static_cast<char>(a));
        EXPECT_TRUE(seen.insert(g).second) << "glyph " << a << " repeats another";
        EXPECT_EQ(g[7], 0) << a;
        for (std::uint8_t row : g) EXPECT_EQ(row & 0x41, 0) << a;
    }
}

namespace {
QWidget* Toolbar() { return qtdriver::Window(0)->findChild<QWidget*>(QStringLiteral("toolbar0")); }
}  // namespace

class AppleView : public EditorFixture {
protected:
    TempDir dir;

    void Key(Qt::Key k) {
        QApplication::setActiveWindow(qtdriver::Window(0));
        QTest::keyClick(qtdriver::Window(0), k);
        Pump();
    }

    // The 16x16 box of a text character as the glyph table says it looks.
    static QRgb Expected(std::uint8_t code, int px, int py) {
        const lores::TextCharacter c = lores::CharacterOf(code);
        const bool inverse = c.mode != lores::TextMode::Normal;
        const int dot = (px - 1) / 2, row = py / 2;
        const bool on = px >= 1 && dot < 7 && (lores::GlyphOf(c.ascii)[row] & (0x40 >> dot));
        return on != inverse ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
};

TEST_F(AppleView, MixedViewShowsTheTextLinesAndLeavesThemAlone) {
    // Text row 20 "HELLO, world" in normal, row 21 inverse, row 22 flashing, row 23 every code.
    const int base[4] = {lores::RowBaseTable[20], lores::RowBaseTable[21], lores::RowBaseTable[22],
                         lores::RowBaseTable[23]};
    const std::string hello = "HELLO, world";
    for (std::size_t i = 0; i < hello.size(); ++i) {
        s.workingPage()[base[0] + i] = static_cast<std::uint8_t>(hello[i] | 0x80);
        s.workingPage()[base[1] + i] = static_cast<std::uint8_t>(hello[i] & 0x3F);
        s.workingPage()[base[2] + i] = static_cast<std::uint8_t>((hello[i] & 0x3F) | 0x40);
    }
    for (int x = 0; x < 40; ++x) s.workingPage()[base[3] + x] = static_cast<std::uint8_t>(x * 6 + 7);
    const lores::LoresPage page = s.workingPage();
    Key(Qt::Key_M);
    const QImage shown = canvas->grab().toImage();
    for (int line = 0; line < 4; ++line)
        for (int x = 0; x < 40; ++x)
            for (int py = 0; py < 16; ++py)
                for (int px = 0; px < 16; ++px)
                    ASSERT_EQ(shown.pixel(x * 16 + px, 320 + line * 16 + py), Expected(page[base[line] + x], px, py))
                        << "line " << line << " column " << x << " at " << px << "," << py;
    EXPECT_NE(windowing::StatusLineText(WindowNumber).find("mixed"), std::string::npos);

    // The text lines take no pointer action; the rows above still draw.
    PressAt(5, 44);
    Command(CommandId::FillTool);
    PressAt(6, 46);
    EXPECT_EQ(s.workingPage(), page);
    EXPECT_FALSE(s.pictureChanged);
    Command(CommandId::PenTool);
    PressAt(5, 39);
    EXPECT_NE(s.workingPage(), page);

    // Exports stay pictures of pixels; the command line asks for the text.
    ASSERT_TRUE(documents::SavePagePicture(s.workingPage(), dir / "plain.png"));
    ASSERT_TRUE(documents::SavePagePicture(s.workingPage(), dir / "mixed.png", lores::DefaultPalette(), true));
    const testpng::Png plain = testpng::Read(ReadAll(dir / "plain.png")), mixed = testpng::Read(ReadAll(dir / "mixed.png"));
    ASSERT_TRUE(plain.ok && mixed.ok);
    const auto at = [](const testpng::Png& p, int x, int y) {
        const std::uint8_t* v = p.At(x, y);
        return qRgb(v[0], v[1], v[2]);
    };
    for (int x = 0; x < 640; x += 3)
        for (int y = 320; y < 384; y += 3)
            ASSERT_EQ(at(mixed, x, y), Expected(page[base[(y - 320) / 16] + x / 16], x % 16, (y - 320) % 16));
    EXPECT_EQ(at(plain, 8, 320 + 4), Palette(s.workingPage()[base[0]] & 15)) << "the plain export keeps the pixels";

    // Off again: the rows are pixels.
    Key(Qt::Key_M);
    PressAt(5, 44);
    EXPECT_EQ(lores::PixelAt(s.workingPage(), 5, 44), s.currentColour);
}

TEST_F(AppleView, PalettesChangeTheColoursShownAndNothingElse) {
    const lores::LoresPage page = s.workingPage();
    for (std::size_t p = 1; p <= lores::Palettes().size(); ++p) {
        Key(Qt::Key_V);
        const lores::NamedPalette& palette = lores::Palettes()[p % lores::Palettes().size()];
        const auto v = palette.colours[13];
        EXPECT_EQ(Shown(12 * 16 + 8, 17 * 8 + 4), qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF)) << palette.name;
        const auto swatch = Toolbar()->actions()[4 + 13]->icon().pixmap(16, 16).toImage().pixel(8, 8);
        EXPECT_EQ(swatch, qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF)) << "the swatch of " << palette.name;
    }
    EXPECT_EQ(s.palette, 0) << "round to the default";
    EXPECT_EQ(s.workingPage(), page);
    EXPECT_FALSE(s.pictureChanged);
}

TEST_F(AppleView, APngOpensAsAnUnnamedPicture) {
    std::mt19937 random(3);
    lores::LoresPage drawn{};
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x) lores::PlotPixel(drawn, x, y, static_cast<int>(random() % 16));
    WriteAll(dir / "page", std::vector<std::uint8_t>(drawn.begin(), drawn.end()));
    ASSERT_TRUE(documents::ExportPageAsPng(dir / "page", dir / "picture.png").ok);
    s.fileName = dir / "mine";
    DialogScript script;
    script.Choose(dir / "picture.png");
    Command(CommandId::OpenPicture);
    EXPECT_EQ(s.workingPage(), drawn);
    EXPECT_TRUE(s.fileName.empty()) << "no name: Save asks";
    EXPECT_TRUE(s.pictureChanged);
    script.Cancel();
    Command(CommandId::SavePicture);
    EXPECT_EQ(script.seen.size(), 2u);
    EXPECT_EQ(script.seen[1].kind, "file");

    // A PNG that is no picture of 40x48 blocks is a message, nothing else.
    runtime::RegisterPngEncoder();
    ASSERT_NE(runtime::CreateImageObject(300, 41, 48), 0u);
    ASSERT_TRUE(runtime::SaveImageObject(300, dir / "odd.png", runtime::EncoderPng));
    runtime::FreeImageObject(300);
    script.Answer(QMessageBox::Discard);
    script.Choose(dir / "odd.png");
    script.Ok();
    Command(CommandId::OpenPicture);
    ASSERT_EQ(script.seen.size(), 5u);
    EXPECT_EQ(script.seen[4].text, "Read file:" + (dir / "odd.png") + "\n41x48 does not divide into 40x48 equal blocks");
    EXPECT_EQ(s.workingPage(), drawn);
}

// Typing into the text lines through the real event loop: T shows them, a
// press puts the cursor there, keys write the machine's text codes (and no
// letter chooses a tool meanwhile), one history step a character.
TEST_F(AppleView, TypingWritesTheMachinesTextCodesIntoTheTextLines) {
    QWidget* window = qtdriver::Window(0);
    const auto byteAt = [&](int column, int line) {
        return s.workingPage()[static_cast<std::size_t>(lores::RowBaseTable[20 + line] + column)];
    };
    const auto type = [&](const char* text) {
        for (const char* c = text; *c; ++c) {  // a key at a time, as a hand types
            QTest::keyClick(window, *c);
            Pump();
        }
    };
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(window, k, m);
        Pump();
    };
    if (s.mixedView) Command(CommandId::ToggleMixedView);
    Command(CommandId::TextTool);
    EXPECT_TRUE(s.mixedView) << "T shows the text lines";
    EXPECT_NE(windowing::StatusLineText(0).find("text"), std::string::npos);
    PressAt(3, 42);  // text line 1, column 3
    type("Hi!");
    EXPECT_EQ(byteAt(3, 1), 0xC8);
    EXPECT_EQ(byteAt(4, 1), 0xE9) << "lower case as the later models show it";
    EXPECT_EQ(byteAt(5, 1), 0xA1);
    EXPECT_EQ(s.currentTool, Tool::Text) << "letters typed, not tools chosen";
    key(Qt::Key_I, Qt::ControlModifier);
    type("ab");
    EXPECT_EQ(byteAt(6, 1), 0x01) << "inverse, upper case";
    EXPECT_EQ(byteAt(7, 1), 0x02);
    key(Qt::Key_I, Qt::ControlModifier);
    key(Qt::Key_F, Qt::ControlModifier);
    type("1");
    EXPECT_EQ(byteAt(8, 1), 0x71) << "flashing";
    key(Qt::Key_F, Qt::ControlModifier);
    key(Qt::Key_Backspace);
    EXPECT_EQ(byteAt(8, 1), 0xA0) << "Backspace steps back and writes a space";
    // One step a character.
    Command(CommandId::HistoryBack);
    EXPECT_EQ(byteAt(8, 1), 0x71);

    // Backspace at a line's start, Return on the last line, the right edge.
    PressAt(0, 46);  // line 3, column 0
    const std::uint8_t before = byteAt(0, 3);
    key(Qt::Key_Backspace);
    EXPECT_EQ(byteAt(0, 3), before) << "nothing before the start";
    PressAt(5, 46);
    key(Qt::Key_Return);
    type("Z");
    EXPECT_EQ(byteAt(0, 3), 0xDA) << "Return on the last line goes to its start";
    // The last column of the last line: typing and Down stay there, and
    // keypad Enter is Return.
    const lores::LoresPage beforeEnd = s.workingPage();
    PressAt(39, 47);
    type("AB");
    key(Qt::Key_Down);
    type("C");
    EXPECT_EQ(s.typing.cursor, (Cell{39, 3}));
    lores::LoresPage end = beforeEnd;
    end[static_cast<std::size_t>(lores::RowBaseTable[23] + 39)] = 0xC3;
    EXPECT_EQ(s.workingPage(), end) << "nothing written past the text area";
    PressAt(7, 44);
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(s.typing.cursor, (Cell{0, 3}));
    PressAt(39, 44);  // line 2, the last column
    type("XY");
    EXPECT_EQ(byteAt(39, 2), 0xD8);
    EXPECT_EQ(byteAt(0, 3), 0xD9) << "past the right edge: the next line's start";
    key(Qt::Key_Up);
    key(Qt::Key_Left);
    type("Q");
    EXPECT_EQ(byteAt(0, 2), 0xD1);

    // Every printable character in each style.
    for (const int style : {0, 1, 2}) {
        PressAt(0, 40);
        if (style == 1) key(Qt::Key_I, Qt::ControlModifier);
        if (style == 2) key(Qt::Key_F, Qt::ControlModifier);
        for (int c = 0x20; c < 0x7F; ++c) {
            PressAt(10, 40);
            QTest::keyClick(window, static_cast<char>(c));
            Pump();
            const int upper = c >= 0x60 ? c - 0x20 : c;
            const int want = style == 0 ? c | 0x80 : style == 1 ? upper & 0x3F : (upper & 0x3F) | 0x40;
            ASSERT_EQ(byteAt(10, 0), want) << "style " << style << " character " << c;
        }
        if (style == 1) key(Qt::Key_I, Qt::ControlModifier);
        if (style == 2) key(Qt::Key_F, Qt::ControlModifier);
    }

    // A press above the text lines ends typing: letters choose tools again.
    PressAt(5, 5);
    type("p");
    EXPECT_EQ(s.currentTool, Tool::Pen);
}
