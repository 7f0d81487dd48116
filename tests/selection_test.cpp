// Composing: the selection tool, moves, copy, cut, paste (also of images
// other programs put on the clipboard), flips of a selection and mirrored
// pastes. Through the real loop, offscreen, against pages worked out here.
#include <functional>

#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QTest>

#include "editor/history.h"
#include "editor/selection.h"
#include "editor_fixture.h"
#include "lores/drawing.h"
#include "lores/text_glyphs.h"

using namespace editor;

namespace {

int Colour(int x, int y) { return (x + 3 * y) % 16; }

lores::LoresPage Pattern() {
    lores::LoresPage page{};
    for (int y = 0; y < lores::PageHeight; ++y)
        for (int x = 0; x < lores::PageWidth; ++x) lores::PlotPixel(page, x, y, Colour(x, y));
    return page;
}

QRgb Rgb(int n) {
    const auto v = lores::LoresPalette[n];
    return qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// What another program would put there: only an image/png.
void OfferPng(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    auto* data = new QMimeData;
    data->setData("image/png", png);
    QGuiApplication::clipboard()->setMimeData(data);
}

}  // namespace

class Selection : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        s.workingPage() = Pattern();
        ResetHistory(s);
        Key(Qt::Key_S);
    }
    void Key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QApplication::setActiveWindow(qtdriver::Window(0));
        QTest::keyClick(qtdriver::Window(0), static_cast<Qt::Key>(k), modifiers);
        Pump();
    }
    void Drag(Cell from, Cell to) {
        qtdriver::Press(canvas, At(from.x, from.y));
        Pump();
        DragTo(At(to.x, to.y));
        qtdriver::Release(canvas, At(to.x, to.y));
        Pump();
    }
    std::string Status() { return windowing::StatusLineText(WindowNumber); }
    void Back() { Key(Qt::Key_Z, Qt::ControlModifier); }
    void Forward() { Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }
    // What the canvas shows in the middle of a cell, and at its top-left pixel.
    QRgb Middle(int x, int y) { return Shown(16 * x + 8, 8 * y + 4); }
    QRgb Corner(int x, int y) { return Shown(16 * x, 8 * y); }
    // Every cell's middle on the canvas against a model page (the highlight
    // at the pointer's cell in the current colour); the cells that differ.
    int CellsOffScreen(const lores::LoresPage& model) {
        const QImage shot = canvas->grab().toImage();
        int wrong = 0;
        for (int y = 0; y < lores::PageHeight; ++y)
            for (int x = 0; x < lores::PageWidth; ++x) {
                const int want = Cell{x, y} == s.pointerCell ? s.currentColour : lores::PixelAt(model, x, y);
                wrong += shot.pixel(16 * x + 8, 8 * y + 4) != Rgb(want);
            }
        return wrong;
    }
};

TEST_F(Selection, DragMarksAndADragInsideMovesOverTheEdgeAsOneStep) {
    PressAt(5, 5);
    EXPECT_EQ(s.select.rect, (CellRect{5, 5, 5, 5})) << "a press and release marks its cell";
    Drag({38, 11}, {36, 10});
    EXPECT_EQ(s.select.rect, (CellRect{36, 10, 38, 11}));
    EXPECT_NE(Status().find("sel 3x2"), std::string::npos) << Status();

    const lores::LoresPage before = s.workingPage();
    qtdriver::Press(canvas, At(37, 10));
    Pump();
    DragTo(At(38, 11));
    DragTo(At(39, 11));
    EXPECT_EQ(s.workingPage(), before) << "until the release only the screen shows the move";
    EXPECT_EQ(Middle(38, 12), Rgb(Colour(36, 11)));
    EXPECT_EQ(Middle(36, 10), Rgb(0));
    qtdriver::Release(canvas, At(39, 11));
    Pump();

    lores::LoresPage moved = before;
    for (int y = 10; y <= 11; ++y)
        for (int x = 36; x <= 38; ++x) lores::PlotPixel(moved, x, y, 0);
    for (int y = 10; y <= 11; ++y)
        for (int x = 36; x <= 37; ++x) lores::PlotPixel(moved, x + 2, y + 1, Colour(x, y));  // column 38 fell off
    EXPECT_EQ(s.workingPage(), moved);
    EXPECT_EQ(s.select.rect, (CellRect{38, 11, 39, 12}));
    Back();
    EXPECT_EQ(s.workingPage(), before);
    Forward();
    EXPECT_EQ(s.workingPage(), moved);
}

TEST_F(Selection, TheScreenFollowsAMoveAndAPasteCellForCell) {
    Drag({10, 10}, {19, 17});
    qtdriver::Press(canvas, At(12, 12));
    Pump();
    // Small steps, jumps, over the edge and back where it started.
    const Cell path[] = {{13, 12}, {13, 13}, {30, 40}, {31, 40}, {2, 1}, {45, 50}, {12, 12}, {11, 12}, {-3, -2}};
    for (const Cell to : path) {
        DragTo(At(to.x, to.y));
        lores::LoresPage model = Pattern();
        lores::FillRectangle(model, 10, 10, 19, 17, 0);
        const Cell at = s.pointerCell;  // left of and above the canvas, pixels round toward cell 0
        lores::PutBlock(model, lores::ReadBlock(Pattern(), 10, 10, 19, 17), 10 + at.x - 12, 10 + at.y - 12);
        if (at == Cell{12, 12}) model = Pattern();
        ASSERT_EQ(CellsOffScreen(model), 0) << "moved to " << to.x << "," << to.y;
    }
    qtdriver::Release(canvas, At(0, 0));
    Pump();
    // A paste drawn mirrored four ways as it follows the pointer.
    Key(Qt::Key_C, Qt::ControlModifier);
    Key(Qt::Key_X);
    Key(Qt::Key_X, Qt::ShiftModifier);
    const lores::LoresPage under = s.workingPage();
    const lores::Block block = lores::ReadBlock(under, s.select.rect.x0, s.select.rect.y0, s.select.rect.x1, s.select.rect.y1);
    Key(Qt::Key_V, Qt::ControlModifier);
    for (const Cell to : {Cell{3, 4}, Cell{4, 4}, Cell{25, 30}, Cell{39, 47}}) {
        MoveTo(to.x, to.y);
        lores::LoresPage model = under;
        for (int j = 0; j < block.height; ++j)
            for (int i = 0; i < block.width; ++i)
                for (const Cell c : {Cell{to.x + i, to.y + j}, Cell{39 - to.x - i, to.y + j}, Cell{to.x + i, 47 - to.y - j},
                                     Cell{39 - to.x - i, 47 - to.y - j}})
                    lores::PlotPixel(model, c.x, c.y, block.At(i, j));
        ASSERT_EQ(CellsOffScreen(model), 0) << "paste at " << to.x << "," << to.y;
    }
}

TEST_F(Selection, ArrowsMoveTheSelectionAStepEachElseTheHighlight) {
    Key(Qt::Key_Right);
    EXPECT_EQ(s.pointerCell, (Cell{1, 0})) << "no selection: keyboard drawing as before";
    PressAt(5, 5);
    Key(Qt::Key_Right);
    Key(Qt::Key_Down);
    EXPECT_EQ(Pixel(6, 6), Colour(5, 5));
    EXPECT_EQ(Pixel(5, 5), 0);
    EXPECT_EQ(Pixel(6, 5), 0);
    EXPECT_EQ(s.select.rect, (CellRect{6, 6, 6, 6}));
    Back();
    EXPECT_EQ(Pixel(6, 5), Colour(5, 5)) << "each arrow is one step";
    Back();
    EXPECT_EQ(s.workingPage(), Pattern());
}

TEST_F(Selection, EscapeDropsTheSelectionFirstThenAsksAsAlways) {
    PressAt(5, 5);
    Key(Qt::Key_Delete);  // changed: the close box will ask
    qtdriver::DialogScript script;
    script.Answer(QMessageBox::Discard);
    EscapeThenColourThenClose(3);
    EXPECT_TRUE(s.select.rect.empty());
    EXPECT_EQ(script.seen.size(), 1u) << "only the close box asked";
    EXPECT_EQ(s.currentColour, 3);
}

TEST_F(Selection, TheOutlineHidesNoCellAndGoesWithTheSelection) {
    Drag({3, 3}, {4, 4});
    MoveTo(20, 20);  // the highlight away
    EXPECT_EQ(Middle(3, 3), Rgb(Colour(3, 3)));
    EXPECT_EQ(Middle(4, 4), Rgb(Colour(4, 4)));
    EXPECT_EQ(Corner(3, 3), qRgb(255, 255, 255));
    EXPECT_EQ(Shown(16 * 5 - 1, 8 * 4 + 5), qRgb(255, 255, 255)) << "the right edge: white outside";
    EXPECT_EQ(Shown(16 * 5 - 2, 8 * 4 + 5), qRgb(0, 0, 0)) << "black inside";
    EXPECT_EQ(Shown(16 * 5 - 3, 8 * 4 + 5), Rgb(Colour(4, 4)));
    Key(Qt::Key_P);  // another tool: the pixels stay, the outline goes
    EXPECT_TRUE(s.select.rect.empty());
    EXPECT_EQ(Corner(3, 3), Rgb(Colour(3, 3)));
    EXPECT_EQ(s.workingPage(), Pattern());
}

TEST_F(Selection, FlipsDeleteAndCutActOnTheSelectionOnly) {
    Drag({2, 2}, {5, 3});
    Key(Qt::Key_H);
    lores::LoresPage model = Pattern();
    lores::FlipArea(model, 2, 2, 5, 3, true);
    EXPECT_EQ(s.workingPage(), model);
    EXPECT_EQ(Pixel(2, 2), Colour(5, 2));
    Key(Qt::Key_H, Qt::ShiftModifier);
    EXPECT_EQ(Pixel(2, 2), Colour(5, 3));
    Key(Qt::Key_X, Qt::ControlModifier);
    model = Pattern();
    for (int y = 2; y <= 3; ++y)
        for (int x = 2; x <= 5; ++x) lores::PlotPixel(model, x, y, 0);
    EXPECT_EQ(s.workingPage(), model);
    Back();
    EXPECT_EQ(Pixel(2, 2), Colour(5, 3)) << "the cut is one step";
    // What the cut offered: the program's own cells, and the picture.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const QByteArray own = data->data(CellsClipboardType);
    ASSERT_EQ(own.size(), 6 + 8);
    EXPECT_EQ(own.left(6), QByteArray("VCEL\x04\x02", 6));
    EXPECT_EQ(own[6], Colour(5, 3));
    QImage png;
    ASSERT_TRUE(png.loadFromData(data->data("image/png"), "PNG"));
    EXPECT_EQ(png.size(), QSize(64, 16));
    EXPECT_EQ(png.pixel(63, 15), Rgb(Colour(2, 2)));
}

TEST_F(Selection, APasteFloatsAndIsClippedAtTwoEdgesWhenPutDown) {
    Drag({0, 0}, {4, 3});
    Key(Qt::Key_C, Qt::ControlModifier);
    Key(Qt::Key_P);  // any tool: the paste takes the next press
    MoveTo(30, 40);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_NE(Status().find("paste 5x4"), std::string::npos) << Status();
    MoveTo(37, 46);
    EXPECT_EQ(s.workingPage(), Pattern());
    EXPECT_EQ(Middle(38, 47), Rgb(Colour(1, 1)));
    qtdriver::Press(canvas, At(37, 46));
    Pump();
    DragTo(At(30, 30));  // the press that put it down draws nothing more
    qtdriver::Release(canvas, At(30, 30));
    Pump();
    lores::LoresPage model = Pattern();
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 3; ++i) lores::PlotPixel(model, 37 + i, 46 + j, Colour(i, j));
    EXPECT_EQ(s.workingPage(), model);
    Back();
    EXPECT_EQ(s.workingPage(), Pattern());
}

TEST_F(Selection, MirroredPasteWithReturnAndEscapeDropsAFloatingOne) {
    Drag({1, 1}, {2, 1});
    Key(Qt::Key_C, Qt::ControlModifier);
    Key(Qt::Key_X);  // mirror left-right
    MoveTo(10, 20);
    Key(Qt::Key_V, Qt::ControlModifier);
    Key(Qt::Key_Return);
    EXPECT_EQ(Pixel(10, 20), Colour(1, 1));
    EXPECT_EQ(Pixel(11, 20), Colour(2, 1));
    EXPECT_EQ(Pixel(29, 20), Colour(1, 1));
    EXPECT_EQ(Pixel(28, 20), Colour(2, 1));
    EXPECT_EQ(s.select.rect, (CellRect{10, 20, 11, 20})) << "what was put down stays selected";
    EXPECT_TRUE(DropSelection(s));
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(DropSelection(s));
    EXPECT_FALSE(s.select.floating);
    EXPECT_FALSE(DropSelection(s));
}

// Answers the conversion dialog of a picture that is not lores with the
// nearest colours (None, the last method), and counts the dialogs.
struct NearestColours {
    qtdriver::DialogScript script;
    explicit NearestColours(int times) {
        for (int i = 0; i < times; ++i)
            script.Then([](QWidget* w) {
                auto* method = w->findChild<QComboBox*>(QStringLiteral("method"));
                if (method) method->setCurrentIndex(method->count() - 1);
                const auto* fit = w->findChild<QComboBox*>(QStringLiteral("fit"));
                EXPECT_FALSE(fit && fit->isVisibleTo(w)) << "a paste has no Fit to choose";
                static_cast<QDialog*>(w)->accept();
            });
    }
    std::size_t Seen() const { return script.seen.size(); }
};

TEST_F(Selection, ImagesOfOtherProgramsPasteByTheirSize) {
    NearestColours answer(4);
    // A picture that is not lores comes through the conversion dialog, at
    // the size the paste takes; a lores one without it.
    const auto pasted = [&](const QImage& image, bool converted = true) {
        const std::size_t before = answer.Seen();
        OfferPng(image);
        Key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_TRUE(s.select.floating) << Status();
        EXPECT_EQ(answer.Seen() - before, converted ? 1u : 0u) << image.width() << "x" << image.height();
        const lores::Block block = s.select.pasted;
        DropSelection(s);
        return block;
    };
    // At most 40x48: a cell a pixel, each the nearest colour.
    QImage small(3, 2, QImage::Format_RGB32);
    for (int i = 0; i < 6; ++i) small.setPixel(i % 3, i / 3, Rgb(i + 9) ^ 0x010101);
    EXPECT_EQ(pasted(small, false), (lores::Block{3, 2, {9, 10, 11, 12, 13, 14}})) << "lores at heart: no dialog";
    // Sides multiples of 16 and 8, beyond 40x48: a cell a block, the most frequent colour.
    QImage blocks(48, 56, QImage::Format_RGB32);
    blocks.fill(Rgb(6));
    for (int x = 16; x < 32; ++x)
        for (int y = 8; y < 16; ++y) blocks.setPixel(x, y, Rgb(13));
    for (int y = 0; y < 3; ++y) blocks.setPixel(5, y, Rgb(1));  // a stray few: the block stays 6
    const lores::Block b = pasted(blocks, false);
    ASSERT_EQ(b.width, 3);
    EXPECT_EQ(b.height, 7);
    EXPECT_EQ(b.At(1, 1), 13);
    EXPECT_EQ(b.At(0, 0), 6);
    // Anything else scaled to fit the 640x384 picture, aspect kept.
    for (const auto& [size, cells] : {std::pair{QSize(100, 30), QSize(40, 24)}, std::pair{QSize(47, 47), QSize(24, 48)},
                                      std::pair{QSize(48, 60), QSize(19, 48)}}) {
        QImage odd(size, QImage::Format_RGB32);
        odd.fill(Rgb(2));
        const lores::Block o = pasted(odd);
        EXPECT_EQ(QSize(o.width, o.height), cells) << size.width() << "x" << size.height();
    }
    // A scaled picture's cells reach its right and bottom edges.
    QImage halves(47, 47, QImage::Format_RGB32);
    for (int y = 0; y < 47; ++y)
        for (int x = 0; x < 47; ++x) halves.setPixel(x, y, Rgb(x >= 24 || y >= 44 ? 13 : 6));
    const lores::Block h = pasted(halves);
    ASSERT_EQ(QSize(h.width, h.height), QSize(24, 48));
    EXPECT_EQ(h.At(23, 0), 13) << "the right edge";
    EXPECT_EQ(h.At(0, 47), 13) << "the bottom edge";
    for (int j = 0; j < 48; ++j) EXPECT_EQ(h.At(0, j), j * 47 / 48 >= 44 ? 13 : 6) << "no cell without pixels: " << j;
    // A PNG in a palette where two numbers share a colour comes by index,
    // through the program's own decoder (the toolkit's would lose the order).
    {
        const lores::NamedPalette* ypbpr = lores::FindPalette("ypbpr");
        ASSERT_NE(ypbpr, nullptr);
        QImage grey(2, 1, QImage::Format_Indexed8);
        QList<QRgb> table;
        for (int n = 0; n < 16; ++n) {
            const auto v = ypbpr->colours[n];
            table.push_back(qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
        }
        grey.setColorTable(table);
        grey.setPixel(0, 0, 10);
        grey.setPixel(1, 0, 5);
        EXPECT_EQ(pasted(grey, false), (lores::Block{2, 1, {10, 5}}));
    }
    // A PNG the program's decoder refuses is not decoded again without its
    // limits: nothing floats, and the status line says why.
    QImage wide(20000, 1, QImage::Format_RGB32);
    wide.fill(Rgb(3));
    OfferPng(wide);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(s.select.floating);
    EXPECT_NE(Status().find("the picture on the clipboard cannot be read ("), std::string::npos) << Status();
    // Any image type the toolkit reads (here its own, as a program of it offers one).
    // A palette image three pixels wide (its rows padded to four bytes) in
    // lores order comes by index.
    QImage indexed(3, 2, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int n = 0; n < 16; ++n) table.push_back(Rgb(n));
    indexed.setColorTable(table);
    for (int i = 0; i < 6; ++i) indexed.setPixel(i % 3, i / 3, static_cast<uint>(i + 9));
    for (const bool near : {true, false}) {
        const QImage& image = near ? small : indexed;
        auto* data = new QMimeData;
        data->setImageData(image);
        QGuiApplication::clipboard()->setMimeData(data);
        const std::size_t before = answer.Seen();
        Key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(s.select.pasted, (lores::Block{3, 2, {9, 10, 11, 12, 13, 14}})) << image.format();
        EXPECT_EQ(answer.Seen() - before, 0u) << "lores at heart, or an indexed picture in lores order: exact";
        DropSelection(s);
    }
    // The program's own type, cut short or out of range, is passed over for the picture beside it.
    for (const QByteArray& bad : {QByteArray("VCEL\x03\x02\x01", 7), QByteArray("VCEL\x01\x01\x10", 7),
                                  QByteArray("VCEL\x29\x01", 6), QByteArray("VCEL\x01\x01\x05\x05", 8)}) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        small.save(&buffer, "PNG");
        auto* both = new QMimeData;
        both->setData(CellsClipboardType, bad);
        both->setData("image/png", png);
        QGuiApplication::clipboard()->setMimeData(both);
        Key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(s.select.pasted, (lores::Block{3, 2, {9, 10, 11, 12, 13, 14}}));
        DropSelection(s);
    }
    // Nothing usable: nothing floats, and the status line says why.
    QGuiApplication::clipboard()->clear();
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(s.select.floating);
    EXPECT_NE(Status().find("the clipboard is empty"), std::string::npos) << Status();
    QGuiApplication::clipboard()->setText("words");
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_NE(Status().find("no picture on the clipboard"), std::string::npos) << Status();
    EXPECT_EQ(answer.script.Pending(), 0u);
}

TEST_F(Selection, InTheMixedViewTheTextLinesAreNoPixels) {
    // M while a move is held ends the move: a block carried down could
    // otherwise take text with it.
    Drag({5, 30}, {8, 33});
    qtdriver::Press(canvas, At(6, 31));
    Pump();
    DragTo(At(6, 36));
    Key(Qt::Key_M);
    EXPECT_EQ(s.select.offset, (Cell{0, 0}));
    qtdriver::Release(canvas, At(6, 36));
    Pump();
    Key(Qt::Key_M);
    DropSelection(s);
    s.workingPage() = Pattern();
    Key(Qt::Key_M);
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(s.select.rect, (CellRect{0, 0, 39, 39}));
    DropSelection(s);
    // A block moved down over the text lines leaves their bytes as they were.
    Drag({0, 30}, {39, 39});
    Key(Qt::Key_Down);
    lores::LoresPage model = Pattern();
    lores::FillRectangle(model, 0, 30, 39, 30, 0);
    lores::PutBlock(model, lores::ReadBlock(Pattern(), 0, 30, 39, 38), 0, 31);
    EXPECT_EQ(s.workingPage(), model);
}

// In the mixed view only typing writes the text lines: every other edit,
// a selection kept from before M included, leaves their 160 bytes alone.
TEST_F(Selection, InTheMixedViewNothingButTypingChangesTheTextLines) {
    using Steps = std::function<void()>;
    const auto press = [this](int x, int y) { PressAt(x, y); };
    struct Case {
        const char* what;
        Steps beforeM, afterM;
    };
    const Case cases[] = {
        {"Delete of a selection kept", [&] { Key(Qt::Key_A, Qt::ControlModifier); }, [&] { Key(Qt::Key_Delete); }},
        {"H of a selection kept", [&] { Drag({2, 30}, {20, 47}); }, [&] { Key(Qt::Key_H); }},
        {"Shift+H of a selection kept", [&] { Drag({2, 30}, {20, 47}); }, [&] { Key(Qt::Key_H, Qt::ShiftModifier); }},
        {"Ctrl+X of a selection kept", [&] { Drag({0, 35}, {39, 47}); }, [&] { Key(Qt::Key_X, Qt::ControlModifier); }},
        {"an arrow move of a selection kept", [&] { Drag({0, 20}, {39, 47}); }, [&] { Key(Qt::Key_Down); }},
        {"a drag of a selection kept", [&] { Drag({0, 20}, {39, 47}); }, [&] { Drag({5, 25}, {5, 33}); }},
        {"a mirrored line", [&] { Key(Qt::Key_X, Qt::ShiftModifier); Key(Qt::Key_L); },
         [&] { press(5, 2); press(30, 10); }},
        {"a mirrored filled rectangle", [&] { Key(Qt::Key_X, Qt::ShiftModifier); Key(Qt::Key_R, Qt::ShiftModifier); },
         [&] { press(2, 2); press(10, 6); }},
        {"a mirrored filled circle", [&] { Key(Qt::Key_X, Qt::ShiftModifier); Key(Qt::Key_C, Qt::ShiftModifier); },
         [&] { press(20, 5); press(20, 9); }},
        {"a circle reaching the text", [&] { Key(Qt::Key_C); }, [&] { press(20, 36); press(20, 30); }},
        {"a mirrored pen dot", [&] { Key(Qt::Key_X, Qt::ShiftModifier); Key(Qt::Key_P); }, [&] { press(5, 5); }},
        {"a mirrored fill", [&] { Key(Qt::Key_X, Qt::ShiftModifier); Key(Qt::Key_F); }, [&] { press(3, 3); }},
        {"a fill that reaches the text", [&] {
             s.workingPage() = {};
             lores::FillRectangle(s.workingPage(), 0, 40, 39, 47, 0);
             lores::WriteMixedText(s.workingPage(), lores::ReadMixedText(Pattern()));
             Key(Qt::Key_F);
         }, [&] { press(3, 3); }},
        {"a paste put down over the text", [&] { Drag({0, 0}, {9, 9}); Key(Qt::Key_C, Qt::ControlModifier); },
         [&] { Key(Qt::Key_V, Qt::ControlModifier); MoveTo(0, 36); press(0, 36); }},
        {"a flip of the picture", [&] { Key(Qt::Key_P); }, [&] { Key(Qt::Key_H, Qt::ShiftModifier); }},
        {"a scroll of the picture up", [&] { Key(Qt::Key_P); }, [&] { Key(Qt::Key_Up, Qt::ControlModifier); }},
        {"a scroll of the picture down", [&] { Key(Qt::Key_P); }, [&] { Key(Qt::Key_Down, Qt::ControlModifier); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.workingPage() = Pattern();
        s.mirrorLeftRight = s.mirrorTopBottom = false;
        Key(Qt::Key_S);
        DropSelection(s);
        c.beforeM();
        const lores::LoresPage before = s.workingPage();
        Key(Qt::Key_M);
        c.afterM();
        EXPECT_EQ(lores::ReadMixedText(s.workingPage()), lores::ReadMixedText(before));
        EXPECT_NE(s.workingPage(), before) << "the edit did nothing";
        EXPECT_TRUE(OnPage(Cell{s.select.rect.x1, s.select.rect.y1}) || s.select.rect.empty());
        EXPECT_LT(s.select.rect.y1, 40);
        Key(Qt::Key_M);
    }
    // With no selection, the picture's flips and scrolls move rows 0 to 39 only.
    s.workingPage() = Pattern();
    Key(Qt::Key_M);
    Key(Qt::Key_H, Qt::ShiftModifier);
    Key(Qt::Key_Down, Qt::ControlModifier);
    // Row y of the flip is row 39 - y; the scroll moves it to y + 1, and row 0 keeps its own.
    lores::LoresPage model = Pattern();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) lores::PlotPixel(model, x, y, Colour(x, y == 0 ? 39 : 40 - y));
    EXPECT_EQ(s.workingPage(), model);
}

// An Escape pressed and released before the loop looks counts all the same.
TEST_F(Selection, AnEscapeReleasedBeforeTheLoopLooksIsNotLost) {
    Key(Qt::Key_A, Qt::ControlModifier);
    ASSERT_FALSE(s.select.rect.empty());
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(qtdriver::Window(0)->windowHandle(), &press);
    QApplication::sendEvent(qtdriver::Window(0)->windowHandle(), &release);
    windowing::PostEvent(windowing::CloseEvent, 0, 0, 0, nullptr, nullptr);
    RunEventLoop(s);
    EXPECT_TRUE(s.select.rect.empty());
}

// Edges of the selection tool and the paste, each a fault a user would meet.
TEST_F(Selection, EdgesOfMarkingMovingAndPasting) {
    // A press on the first text line of the mixed view marks nothing there.
    Key(Qt::Key_M);
    PressAt(5, 40);
    EXPECT_TRUE(s.select.rect.empty());
    Key(Qt::Key_M);
    // A click inside the selection that does not move changes nothing.
    Drag({4, 4}, {8, 8});
    s.pictureChanged = false;
    PressAt(6, 6);
    EXPECT_FALSE(s.pictureChanged);
    EXPECT_EQ(s.select.rect, (CellRect{4, 4, 8, 8}));
    // A marking dragged past the right and bottom edges stays on the page.
    qtdriver::Press(canvas, At(35, 40));
    Pump();
    DragTo(QPoint(16 * 45, 8 * 55));
    qtdriver::Release(canvas, QPoint(16 * 45, 8 * 55));
    Pump();
    EXPECT_EQ(s.select.rect, (CellRect{35, 40, 39, 47}));
    // While a paste floats, a step back under it is shown at once.
    Drag({0, 0}, {1, 1});
    Key(Qt::Key_C, Qt::ControlModifier);
    Key(Qt::Key_P);
    PressAt(30, 30);  // a pen dot to step back from
    const lores::LoresPage dotted = s.workingPage();
    MoveTo(10, 10);
    Key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(s.select.floating);
    Back();
    ASSERT_NE(s.workingPage(), dotted);
    EXPECT_EQ(Middle(30, 30), Rgb(Colour(30, 30))) << "the step back shows under the floating paste";
    // Put down with another tool than the selection's, it leaves no selection.
    Key(Qt::Key_Return);
    EXPECT_FALSE(s.select.floating);
    EXPECT_TRUE(s.select.rect.empty());
    EXPECT_EQ(Pixel(10, 10), Colour(0, 0));
    EXPECT_EQ(Pixel(11, 11), Colour(1, 1));
}
