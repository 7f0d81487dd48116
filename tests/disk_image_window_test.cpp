// Disk images from the window: Open lists the pictures on an image, Save
// writes back into it, Save As onto an image asks for the name inside it.
#include <QListWidget>
#include <QTest>

#include "diskimage/disk_image.h"
#include "documents/documents.h"
#include "editor_fixture.h"
#include "test_files.h"

using namespace editor;
using qtdriver::DialogScript;
using namespace testfiles;

namespace {

diskimage::Bytes PageOf(int seed) {
    const auto v = Pattern(1024, seed);
    return {v.begin(), v.end()};
}

std::vector<std::uint8_t> Bytes(const lores::LoresPage& p) { return {p.begin(), p.end()}; }

// Types a name into the name requester and saves.
void TypeName(DialogScript& script, const char* name) {
    script.Then([name](QWidget* w) {
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("name"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QString::fromUtf8(name));
        static_cast<QDialog*>(w)->accept();
    });
}

}  // namespace

class DiskImageWindow : public EditorFixture {
protected:
    TempDir dir;
};

TEST_F(DiskImageWindow, OpenListsThePicturesSaveWritesBackSaveAsAsksTheName) {
    const std::string image = dir / "art.dsk";
    std::string error;
    ASSERT_TRUE(diskimage::WritePageToImage(image, "PIC", PageOf(4)));
    ASSERT_TRUE(diskimage::WritePageToImage(image, "ANOTHER", PageOf(5)));
    // A text file: listed, greyed.
    diskimage::Container c;
    diskimage::ParseContainer(ReadAll(image), image, c, error);
    std::uint8_t catalog[256];
    c.ReadSector(17, 15, catalog);
    catalog[0x0B + 35 + 2] = 0x00;
    c.WriteSector(17, 15, catalog);
    WriteAll(image, c.file);

    DialogScript script;
    script.Choose(image);
    std::vector<std::string> shown;
    std::vector<bool> enabled;
    script.Then([&](QWidget* w) {
        auto* list = w->findChild<QListWidget*>(QStringLiteral("choices"));
        ASSERT_NE(list, nullptr);
        for (int i = 0; i < list->count(); ++i) {
            shown.push_back(list->item(i)->text().toStdString());
            enabled.push_back(list->item(i)->flags() & Qt::ItemIsEnabled);
        }
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_Return);
    });
    Command(CommandId::OpenPicture);
    EXPECT_EQ(shown, (std::vector<std::string>{"PIC", "ANOTHER  (T, 1536 bytes)"}));
    EXPECT_EQ(enabled, (std::vector<bool>{true, false}));
    EXPECT_EQ(Bytes(s.workingPage()), Pattern(1024, 4));
    EXPECT_EQ(s.fileName, image + ":PIC");
    EXPECT_NE(windowing::StatusLineText(WindowNumber).find("art.dsk:PIC"), std::string::npos);

    // Cancel in the list changes nothing.
    script.Choose(image);
    script.Cancel();
    Command(CommandId::OpenPicture);
    EXPECT_EQ(s.fileName, image + ":PIC");

    // Save goes back into the image.
    PressAt(3, 3);
    Command(CommandId::SavePicture);
    diskimage::Bytes data;
    ASSERT_TRUE(diskimage::ReadImageFile(image, "PIC", data, error));
    EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.end()), Bytes(s.workingPage()));

    // Save As onto the image: a name DOS refuses is said, then a good one (upper-cased).
    script.Choose(image);
    TypeName(script, "1BAD");
    script.Ok();
    TypeName(script, "pic2");
    Command(CommandId::SavePictureAs);
    ASSERT_EQ(script.seen.size(), 8u);
    EXPECT_EQ(script.seen[6].text, "1BAD: a DOS 3.3 name starts with a letter");
    EXPECT_EQ(script.seen[5].title, "Please choose file to save");
    EXPECT_GE(script.seen[5].width, script.seen[5].titleWidth + 120) << "the whole title shows beside the frame's buttons";
    EXPECT_EQ(s.fileName, image + ":PIC2");
    ASSERT_TRUE(diskimage::ReadImageFile(image, "PIC2", data, error));
    EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.end()), Bytes(s.workingPage()));

    // Save As into a full disk: the message with the disk's reason under
    // it, and the picture keeps its name.
    const std::string full = dir / "full.dsk";
    for (int i = 0; diskimage::WritePageToImage(full, "F" + std::to_string(i), PageOf(i)).ok; ++i) ASSERT_LT(i, 200);
    script.Choose(full);
    TypeName(script, "ONEMORE");
    script.Ok();
    Command(CommandId::SavePictureAs);
    EXPECT_EQ(script.seen.back().text, "Read file:" + full + ":ONEMORE\nthe disk is full");
    EXPECT_EQ(s.fileName, image + ":PIC2");
    EXPECT_FALSE(script.unexpected);
}

// On a ProDOS disk the list shows one folder at a time: its folders to go
// into, its files, and ".." back up. A disk image named when the program
// starts opens that list, as Open would.
TEST_F(DiskImageWindow, TheListGoesIntoFoldersAndBackAndStartsFromTheCommandLine) {
    const std::string image = dir / "art.po";
    std::string error;
    ASSERT_TRUE(diskimage::WritePageToImage(image, "TOP", PageOf(1))) << error;
    ASSERT_TRUE(diskimage::WritePageToImage(image, "PICS/DEEP/TITLE", PageOf(2))) << error;
    ASSERT_TRUE(diskimage::WritePageToImage(image, "PICS/SKETCH", PageOf(3))) << error;
    std::vector<std::vector<std::string>> seen;
    DialogScript script;
    const auto choose = [&](const std::string& item) {
        script.Then([&, item](QWidget* w) {
            auto* list = w->findChild<QListWidget*>(QStringLiteral("choices"));
            ASSERT_NE(list, nullptr);
            seen.emplace_back();
            int row = -1;
            for (int i = 0; i < list->count(); ++i) {
                seen.back().push_back(list->item(i)->text().toStdString());
                if (seen.back().back() == item) row = i;
            }
            ASSERT_GE(row, 0) << item;
            list->setCurrentRow(row);
            QTest::keyClick(list, Qt::Key_Return);
        });
    };
    choose("PICS/");
    choose("..");
    choose("PICS/");
    choose("DEEP/");
    choose("TITLE");
    documents::Document doc = DocumentOf(s);
    documents::StartWithPath(doc, image);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], (std::vector<std::string>{"PICS/", "TOP"}));
    EXPECT_EQ(seen[1], (std::vector<std::string>{"..", "DEEP/", "SKETCH"}));
    EXPECT_EQ(seen[2], seen[0]);
    EXPECT_EQ(seen[4], (std::vector<std::string>{"..", "TITLE"}));
    EXPECT_EQ(s.fileName, image + ":PICS/DEEP/TITLE");
    EXPECT_EQ(Bytes(s.workingPage()), Pattern(1024, 2));
    EXPECT_FALSE(script.unexpected);
}

// Ctrl+B asks where with the save requester and writes a disk that boots
// into the picture: mixed when the mixed view is on.
TEST_F(DiskImageWindow, CtrlBWritesABootDiskOfThePicture) {
    DialogScript script;
    script.Choose(dir / "show.dsk");
    Command(CommandId::MakeBootDisk);
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0].title, "Please choose file to save");
    EXPECT_EQ(script.seen[0].accept, "&Save");
    std::vector<std::uint8_t> disk = ReadAll(dir / "show.dsk");
    ASSERT_EQ(disk.size(), 143360u);
    EXPECT_EQ(disk[0x34], 0x52) << "full screen";
    diskimage::Bytes read;
    std::string error;
    ASSERT_TRUE(diskimage::ReadImageFile(dir / "show.dsk", "PICTURE", read, error)) << error;
    EXPECT_EQ(std::vector<std::uint8_t>(read.begin(), read.end()), Bytes(s.workingPage()));

    Command(CommandId::ToggleMixedView);
    script.Choose(dir / "show.dsk");
    script.Click("&Replace");  // the disk made before
    Command(CommandId::MakeBootDisk);
    disk = ReadAll(dir / "show.dsk");
    EXPECT_EQ(disk[0x34], 0x53) << "mixed";

    // With frames: the disk that plays them at the playback rate, and the
    // animation of the mixed view with its text lines, each byte for byte
    // what the same call with those settings writes.
    Command(CommandId::NewFrame);
    s.currentColour = 9;
    PressAt(3, 3);
    s.playbackRate = 30;
    const auto frames = documents::AllFrames(s.frames, s.workingPage());
    script.Choose(dir / "movie.dsk");
    Command(CommandId::MakeBootDisk);
    diskimage::Bytes both;
    for (const auto& f : frames) both.insert(both.end(), f.begin(), f.end());
    ASSERT_TRUE(diskimage::WriteBootDisk(dir / "model.dsk", "PICTURE", both, true, 30).ok);
    EXPECT_EQ(ReadAll(dir / "movie.dsk"), ReadAll(dir / "model.dsk"));
    script.Choose(dir / "movie.gif");
    Command(CommandId::ExportAnimation);
    ASSERT_TRUE(documents::SaveAnimation(frames, dir / "model.gif", s.colours(), true, 30).ok);
    EXPECT_EQ(ReadAll(dir / "movie.gif"), ReadAll(dir / "model.gif"));
    Command(CommandId::DeleteFrame);
    Command(CommandId::ToggleMixedView);
    Command(CommandId::ToggleMixedView);

    // Over what is no boot disk: the save's message with the reason under
    // it, the file kept.
    WriteAll(dir / "other.dsk", Pattern(143360, 5));
    WriteAll(dir / "notes.dsk", {'h', 'i', '\n'});
    WriteAll(dir / "blank.po", Pattern(143360, 6));
    for (const auto& [name, why] : {std::pair{"other.dsk", "exists and is not a boot disk made by vornel"},
                                    std::pair{"notes.dsk", "exists and is not a boot disk made by vornel"},
                                    std::pair{"blank.po", "a boot disk is a 140 KB image in DOS order"}}) {
        const std::vector<std::uint8_t> kept = ReadAll(dir / name);
        script.Choose(dir / name);
        script.Click("&Replace");
        script.Ok();
        Command(CommandId::MakeBootDisk);
        ASSERT_GE(script.seen.size(), 5u);
        EXPECT_EQ(script.seen.back().text.rfind("Read file:" + (dir / name) + "\n" + why, 0), 0u)
            << script.seen.back().text;
        EXPECT_EQ(ReadAll(dir / name), kept);
    }
}
