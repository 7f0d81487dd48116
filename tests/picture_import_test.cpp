// Import Picture in the window, through the real event loop: the dialog's
// page follows its choices, Cancel changes nothing, OK is one step; a lores
// picture comes exactly and a bad file is said.
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QMimeData>
#include <QSlider>
#include <QUrl>

#include "documents/conversions.h"
#include "documents/photo_conversion.h"
#include "editor_fixture.h"
#include "lores/drawing.h"
#include "lores/text_glyphs.h"

using namespace testfiles;
using qtdriver::DialogScript;
namespace CommandId = editor::CommandId;

namespace {

// A sky to ground picture, 90x70: no lores picture, its cells all mixtures.
QImage Photograph() {
    QImage image(90, 70, QImage::Format_RGB32);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 90; ++x) image.setPixel(x, y, qRgb(40 + 2 * x, 90 + y, 200 - 2 * y));
    return image;
}

// What the conversion gives that picture, in a palette's colours.
std::vector<QRgb> Model(documents::DitherMethod method, int palette, documents::Adjustments adjust = {},
                        documents::FitMode fit = documents::FitMode::Fit) {
    const QImage rgba = Photograph().convertToFormat(QImage::Format_RGBA8888);
    auto cells = documents::AverageIntoCells(rgba.constBits(), 90, 70, fit);
    documents::Adjust(cells, adjust);
    const auto& colours = lores::Palettes()[static_cast<std::size_t>(palette)].colours;
    std::vector<QRgb> shown;
    for (const std::uint8_t n : documents::ChooseColours(cells, colours, method))
        shown.push_back(qRgb(colours[n] & 0xFF, (colours[n] >> 8) & 0xFF, (colours[n] >> 16) & 0xFF));
    return shown;
}

// The dialog's page (or the picture beside it), a colour a cell (read in each cell's middle).
std::vector<QRgb> Preview(QWidget* dialog, const char* which = "preview") {
    const QImage shown = dialog->findChild<QWidget*>(QString::fromUtf8(which))->grab().toImage();
    std::vector<QRgb> cells;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x) cells.push_back(shown.pixel(x * shown.width() / 40 + 4, y * shown.height() / 48 + 2) | 0xFF000000);
    return cells;
}

}  // namespace

class PictureImport : public EditorFixture {
protected:
    TempDir dir;
    // The requester answered with path, then the steps for what follows.
    void Import(DialogScript& script, const std::string& path, const std::vector<DialogScript::Step>& then = {}) {
        script.Choose(path);
        for (const auto& step : then) script.Then(step);
        Command(CommandId::ImportPicture);
    }
    std::vector<QRgb> Page() {
        std::vector<QRgb> cells;
        const auto& colours = s.colours();
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 40; ++x) {
                const auto v = colours[static_cast<std::size_t>(Pixel(x, y))];
                cells.push_back(qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
            }
        return cells;
    }
};

TEST_F(PictureImport, TheDialogShowsThePageAsItWillBeAndOkIsOneStep) {
    ASSERT_TRUE(Photograph().save(QString::fromStdString(dir / "photo.jpg"), "JPEG", 100));
    ASSERT_TRUE(Photograph().save(QString::fromStdString(dir / "photo.png")));
    PressAt(3, 3);
    const lores::LoresPage before = s.workingPage();
    // Each change shows at once: the default, then None, then another
    // palette, then more contrast; Cancel leaves the page and history alone.
    std::vector<std::vector<QRgb>> seen;
    DialogScript script;
    Import(script, dir / "photo.png", {[&](QWidget* w) {
        const auto look = [&] { seen.push_back(Preview(w)); };
        look();
        // Beside the page, the picture as the conversion sees it: each cell's mean, encoded.
        const QImage rgba = Photograph().convertToFormat(QImage::Format_RGBA8888);
        const auto cells = documents::AverageIntoCells(rgba.constBits(), 90, 70, documents::FitMode::Fit);
        std::vector<QRgb> means;
        for (const auto& c : cells) means.push_back(qRgb(documents::EncodedOf(c[0]), documents::EncodedOf(c[1]), documents::EncodedOf(c[2])));
        EXPECT_EQ(Preview(w, "original"), means);
        w->findChild<QComboBox*>(QStringLiteral("method"))->setCurrentIndex(4);
        look();
        w->findChild<QComboBox*>(QStringLiteral("palette"))->setCurrentIndex(2);
        look();
        w->findChild<QSlider*>(QStringLiteral("contrast"))->setValue(60);
        look();
        w->findChild<QComboBox*>(QStringLiteral("fit"))->setCurrentIndex(1);
        look();
        static_cast<QDialog*>(w)->reject();
    }});
    using documents::DitherMethod;
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[4], Model(DitherMethod::None, 2, {0, 60, 0}, documents::FitMode::Fill));
    EXPECT_EQ(seen[0], Model(DitherMethod::Search, 0));
    EXPECT_EQ(seen[1], Model(DitherMethod::None, 0));
    EXPECT_EQ(seen[2], Model(DitherMethod::None, 2));
    EXPECT_EQ(seen[3], Model(DitherMethod::None, 2, {0, 60, 0}));
    EXPECT_NE(seen[1], seen[3]);
    EXPECT_EQ(s.workingPage(), before) << "Cancel changes nothing";
    EXPECT_EQ(s.palette, 0);
    // OK: the page as shown, the palette chosen, one step back to before; a
    // picture saved before it is changed now.
    s.pictureChanged = false;
    Import(script, dir / "photo.png", {[](QWidget* w) {
               w->findChild<QComboBox*>(QStringLiteral("palette"))->setCurrentIndex(1);
               static_cast<QDialog*>(w)->accept();
           }});
    EXPECT_EQ(s.palette, 1);
    EXPECT_TRUE(s.pictureChanged) << "Quit asks before it is lost";
    EXPECT_EQ(Page(), Model(DitherMethod::Search, 1));
    EXPECT_EQ(s.workingPage()[0x78], before[0x78]) << "the screen holes kept";
    Command(CommandId::HistoryBack);
    EXPECT_EQ(s.workingPage(), before);
    // A JPEG goes the same way (decoded by the program, near the PNG).
    Import(script, dir / "photo.jpg", {[](QWidget* w) { static_cast<QDialog*>(w)->accept(); }});
    EXPECT_NE(s.workingPage(), before);
    EXPECT_TRUE(script.seen.size() == 6u && script.seen[5].text == "pictureConversion");
}

// A lores picture (here an export) comes back exactly, with no dialog, by
// menu or dropped; a dropped photograph opens the dialog instead of Open; a
// file that cannot be read says why and changes nothing.
TEST_F(PictureImport, LoresPicturesComeExactlyAndBadFilesAreSaid) {
    lores::LoresPage page{};
    for (int i = 0; i < 1024; ++i) page[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 37 + i / 7);
    WriteAll(dir / "page", std::vector<std::uint8_t>(page.begin(), page.end()));
    ASSERT_TRUE(documents::ExportPageAsPng(dir / "page", dir / "lores.png").ok);
    ASSERT_TRUE(Photograph().save(QString::fromStdString(dir / "photo.png")));
    std::vector<std::uint8_t> truncated = ReadAll(dir / "lores.png");
    truncated.resize(truncated.size() / 3);
    WriteAll(dir / "cut.png", truncated);
    const auto drop = [&](const std::string& path) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(qtdriver::Window(0), &enter);
        QDropEvent dropped(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(qtdriver::Window(0), &dropped);
        Pump();
    };
    DialogScript script;
    Import(script, dir / "lores.png");
    EXPECT_EQ(script.seen.size(), 1u) << "the requester only";
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(Pixel(x, y), lores::PixelAt(page, x, y)) << x << "," << y;
    s.fileName = dir / "named";
    s.pictureChanged = false;
    drop(dir / "lores.png");
    EXPECT_TRUE(s.fileName.empty()) << "a dropped lores picture is opened as Open opens it, not imported";
    const lores::LoresPage imported = s.workingPage();
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(Pixel(x, y), lores::PixelAt(page, x, y)) << x << "," << y;
    script.Cancel();
    drop(dir / "photo.png");
    EXPECT_EQ(script.seen.back().text, "pictureConversion");
    EXPECT_EQ(s.workingPage(), imported);
    EXPECT_FALSE(s.fileName == dir / "photo.png") << "a photograph is not opened as a page";
    Import(script, dir / "cut.png", {[](QWidget* w) { static_cast<QDialog*>(w)->accept(); }});
    ASSERT_EQ(script.seen.back().kind, "message");
    EXPECT_EQ(script.seen.back().text, "Read file:" + (dir / "cut.png") + "\nthe file ends too early");
    EXPECT_EQ(s.workingPage(), imported);
    // In the mixed view only typing writes the text lines: a picture, lores
    // or converted, comes in above them.
    Command(CommandId::ToggleMixedView);
    const lores::MixedText text = lores::ReadMixedText(imported);
    Import(script, dir / "photo.png", {[](QWidget* w) { static_cast<QDialog*>(w)->accept(); }});
    EXPECT_NE(s.workingPage(), imported);
    EXPECT_EQ(lores::ReadMixedText(s.workingPage()), text);
    WriteAll(dir / "page", std::vector<std::uint8_t>(1024, 0x11));
    ASSERT_TRUE(documents::ExportPageAsPng(dir / "page", dir / "flat.png").ok);
    Import(script, dir / "flat.png");
    EXPECT_EQ(Pixel(0, 39), 1);
    EXPECT_EQ(lores::ReadMixedText(s.workingPage()), text);
    EXPECT_EQ(script.Pending(), 0u);
}
