#include <unistd.h>

#include "documents/documents.h"
#include "editor_fixture.h"
#include "lores/startup_picture.h"
#include "png_reader.h"
#include "runtime/images.h"
#include "test_files.h"

using namespace editor;
using qtdriver::DialogScript;
using namespace testfiles;

namespace {

std::vector<std::uint8_t> Bytes(const lores::LoresPage& p) { return {p.begin(), p.end()}; }

lores::LoresPage PageOf(const std::vector<std::uint8_t>& bytes) {
    lores::LoresPage p{};
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), p.size()), p.begin());
    return p;
}

}  // namespace

class Documents : public EditorFixture {
protected:
    TempDir dir;
};

TEST_F(Documents, SaveThenOpenReproducesEveryByteWithTheScreenHoles) {
    DialogScript script;
    script.Choose(dir / "apple");
    Command(CommandId::SavePicture);
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0].title, "Please choose file to save");
    EXPECT_EQ(script.seen[0].text, "pic#060400");
    EXPECT_EQ(script.seen[0].directory + "/", windowing::CurrentDirectory());
    EXPECT_EQ(script.seen[0].filters, std::vector<std::string>{"All files (*.*) (*)"});
    EXPECT_EQ(s.fileName, dir / "apple");
    EXPECT_EQ(ReadAll(dir / "apple"), Bytes(lores::StartupPicture()));

    // A second Save writes at once, without asking.
    PressAt(3, 3);
    Command(CommandId::SavePicture);
    EXPECT_EQ(script.seen.size(), 1u);
    const auto saved = ReadAll(dir / "apple");
    EXPECT_EQ(saved, Bytes(s.workingPage()));

    Command(CommandId::NewPicture);
    for (std::uint8_t b : s.workingPage()) ASSERT_EQ(b, 0) << "New clears pixels and screen holes";
    EXPECT_TRUE(s.fileName.empty());
    EXPECT_EQ(Shown(320, 200), Palette(0));

    script.Choose(dir / "apple");
    Command(CommandId::OpenPicture);
    ASSERT_EQ(script.seen.size(), 2u);
    EXPECT_EQ(script.seen[1].title, "Please choose file to load");
    EXPECT_EQ(Bytes(s.workingPage()), saved);
    EXPECT_EQ(Shown(12 * 16, 17 * 8), Palette(13)) << "the view shows the page just read";
    EXPECT_FALSE(script.unexpected);
}

TEST_F(Documents, NewThenSaveAsksAndSavedFilesAreAlways1024Bytes) {
    WriteAll(dir / "long", Pattern(3000));
    Command(CommandId::NewPicture);
    DialogScript script;
    script.Choose(dir / "long");
    script.Cancel();  // "long already exists. Replace it?"
    Command(CommandId::SavePicture);
    ASSERT_EQ(script.seen.size(), 2u) << "New empties the file name, so Save asks";
    EXPECT_EQ(script.seen[1].text, "long already exists. Replace it?");
    EXPECT_EQ(ReadAll(dir / "long"), Pattern(3000)) << "Cancel writes nothing";
    EXPECT_TRUE(s.fileName.empty()) << "and names nothing";
    script.Choose(dir / "long");
    script.Click("&Replace");
    Command(CommandId::SavePicture);
    EXPECT_EQ(ReadAll(dir / "long"), std::vector<std::uint8_t>(1024, 0));
    EXPECT_FALSE(script.unexpected);
}

TEST_F(Documents, ShortLongAndEmptyFilesOpenAsFarAsTheyGo) {
    WriteAll(dir / "ten", Pattern(10, 7));
    WriteAll(dir / "big", Pattern(2000, 9));
    WriteAll(dir / "empty", {});
    DialogScript script;
    script.Choose(dir / "ten");
    Command(CommandId::OpenPicture);
    EXPECT_EQ(s.workingPage(), PageOf(Pattern(10, 7))) << "never merged into the picture on screen";
    EXPECT_TRUE(s.confirmFileName);

    script.Choose(dir / "big");
    Command(CommandId::OpenPicture);
    EXPECT_EQ(s.workingPage(), PageOf(Pattern(2000, 9)));

    const lores::LoresPage beforeEmpty = s.workingPage();
    script.Choose(dir / "empty");
    script.Ok();
    Command(CommandId::OpenPicture);
    ASSERT_EQ(script.seen.size(), 4u);
    EXPECT_EQ(script.seen[3].title, "Error");
    EXPECT_EQ(script.seen[3].text, "Read file:" + (dir / "empty") + "\nthe file is empty");
    EXPECT_EQ(s.workingPage(), beforeEmpty);
    EXPECT_EQ(s.fileName, dir / "big") << "a failed read names nothing";
}

TEST_F(Documents, CancellingChangesNothing) {
    s.fileName = dir / "kept";
    const lores::LoresPage page = s.workingPage();
    DialogScript script;
    script.Cancel();
    script.Cancel();
    script.Cancel();
    Command(CommandId::OpenPicture);
    Command(CommandId::SavePictureAs);
    Command(CommandId::ExportPicture);
    EXPECT_EQ(script.seen.size(), 3u);
    EXPECT_EQ(s.fileName, dir / "kept");
    EXPECT_EQ(s.workingPage(), page);
    EXPECT_TRUE(Entries(dir.path()).empty());
    EXPECT_FALSE(script.unexpected) << "no message after a cancel";
}

TEST_F(Documents, NewAndOpenKeepUndoToolColourAndAnchors) {
    Command(CommandId::LineTool);
    PressAt(1, 1);
    PressAt(8, 1);  // committed: undo available
    const lores::LoresPage beforeLine = s.undoCopy();
    PressAt(4, 4);  // a pending line
    Command(9);
    DialogScript script;
    script.Answer(QMessageBox::Discard);
    Command(CommandId::NewPicture);
    EXPECT_FALSE(script.unexpected);
    EXPECT_EQ(s.undoAvailable, 1);
    EXPECT_EQ(s.currentTool, Tool::Line);
    EXPECT_EQ(s.currentColour, 9);
    EXPECT_EQ(s.lineAnchor, (Cell{4, 4}));
    Command(CommandId::Undo);
    EXPECT_EQ(s.workingPage(), beforeLine) << "undo puts back the page from before the line";
}

TEST_F(Documents, ExportWritesTheBlocksWithoutTheHighlight) {
    s.workingPage().fill(0);
    s.workingPage()[0] = 0xF1;
    Command(3);
    MoveTo(0, 0);  // the highlight (colour 3) sits on cell (0, 0)
    EXPECT_EQ(Shown(0, 0), Palette(3));
    DialogScript script;
    script.Choose(dir / "picture");
    Command(CommandId::ExportPicture);
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0].title, "Please choose file to save");
    EXPECT_EQ(script.seen[0].text, "image1.png");
    EXPECT_EQ(script.seen[0].filters, std::vector<std::string>{"Portable Network Graphics(*.png) (*.png)"});
    EXPECT_FALSE(Exists(dir / "picture.png")) << "no extension is added";
    const testpng::Png png = testpng::Read(ReadAll(dir / "picture"));
    ASSERT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.width, 640u);
    EXPECT_EQ(png.height, 384u);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 640; ++x) {
            int colour = 0;
            if (x < 16 && y < 8) colour = 1;
            if (x < 16 && y >= 8 && y < 16) colour = 15;
            const auto v = lores::LoresPalette[colour];
            const std::uint8_t* p = png.At(x, y);
            ASSERT_TRUE(p[0] == (v & 0xFF) && p[1] == ((v >> 8) & 0xFF) && p[2] == ((v >> 16) & 0xFF))
                << x << "," << y;
        }
    EXPECT_TRUE(s.fileName.empty()) << "export leaves the file name alone";
    EXPECT_EQ(runtime::ImageHandle(ExportImage), 0u) << "the export image is freed";
    EXPECT_FALSE(script.unexpected);
}

// Save As and Export ask where to write with a Save button, starting in
// the picture's own folder, else that of the file used last, else the
// current one; Open keeps its own.
TEST_F(Documents, SaveRequestersSayTheirWordAndStartWhereThePictureIs) {
    DialogScript script;
    script.Choose(dir / "first");
    Command(CommandId::SavePictureAs);
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0].accept, "&Save");
    EXPECT_EQ(script.seen[0].directory + "/", windowing::CurrentDirectory()) << "nothing used yet: the current folder";

    TempDir other;
    script.Choose(other / "second");
    Command(CommandId::SavePictureAs);
    ASSERT_EQ(script.seen.size(), 2u);
    EXPECT_EQ(script.seen[1].directory, dir.path()) << "the picture's own folder";
    EXPECT_EQ(script.seen[1].text, "pic#060400");

    script.Choose(other / "picture.png");
    Command(CommandId::ExportPicture);
    ASSERT_EQ(script.seen.size(), 3u);
    EXPECT_EQ(script.seen[2].accept, "&Save");
    EXPECT_EQ(script.seen[2].directory, other.path());
    EXPECT_EQ(script.seen[2].text, "second.png") << "the picture's own name (an untitled one: image1.png)";

    // An untitled picture: the folder of the file used last.
    Command(CommandId::NewPicture);
    script.Choose(dir / "third");
    Command(CommandId::SavePictureAs);
    ASSERT_EQ(script.seen.size(), 4u);
    EXPECT_EQ(script.seen[3].directory, other.path());

    script.Cancel();
    Command(CommandId::OpenPicture);
    ASSERT_EQ(script.seen.size(), 5u);
    EXPECT_NE(script.seen[4].accept, "&Save");
    EXPECT_EQ(script.seen[4].directory + "/", windowing::CurrentDirectory());
}
