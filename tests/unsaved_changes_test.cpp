// A drawing is never thrown away without asking: Escape, the close box, New
// and Open ask first when the picture has changed, and behave as always
// when it has not.
#include <QKeyEvent>
#include <QWindow>

#include "editor_fixture.h"
#include "test_files.h"

using namespace editor;
using qtdriver::DialogScript;
using namespace testfiles;

namespace {

// What the dialogs were: a message box by its text, anything else by its kind.
std::vector<std::string> Kinds(const DialogScript& script) {
    std::vector<std::string> out;
    for (const auto& seen : script.seen) out.push_back(seen.kind == "message" ? seen.text : seen.kind);
    return out;
}

const std::string Question = SaveChangesQuestion;

}  // namespace

class UnsavedChanges : public EditorFixture {
protected:
    TempDir dir;
};

TEST_F(UnsavedChanges, WhatMarksThePictureChangedAndUnchanged) {
    Command(CommandId::LineTool);
    PressAt(1, 1);
    MoveTo(9, 9);  // a preview touches only the scratch copy
    EXPECT_FALSE(s.pictureChanged);
    const auto marks = [&](const char* what, auto action) {
        s.pictureChanged = false;
        action();
        EXPECT_TRUE(s.pictureChanged) << what;
    };
    marks("a committed line", [&] { PressAt(9, 9); });
    marks("undo", [&] { Command(CommandId::Undo); });
    marks("a scroll", [&] { Command(CommandId::ScrollDown); });
    marks("the pen", [&] { Command(CommandId::PenTool), PressAt(2, 30); });

    DialogScript script;
    script.Choose(dir / "export.png");
    script.Ok();
    Command(CommandId::ExportPicture);
    s.fileName = "/dev/full";
    Command(CommandId::SavePicture);
    EXPECT_TRUE(s.pictureChanged) << "neither an export nor a failed save is a save";
    s.fileName = dir / "page";
    Command(CommandId::SavePicture);
    EXPECT_FALSE(s.pictureChanged) << "a save that reached the disk";
    PressAt(2, 31);
    script.Answer(QMessageBox::Discard);
    script.Choose(dir / "page");
    Command(CommandId::OpenPicture);
    EXPECT_FALSE(s.pictureChanged) << "a successful open";
    PressAt(2, 32);
    script.Answer(QMessageBox::Discard);
    Command(CommandId::NewPicture);
    EXPECT_FALSE(s.pictureChanged) << "a new picture";
    EXPECT_FALSE(script.unexpected);
}

TEST_F(UnsavedChanges, NewAndOpenAskOnlyWhenChangedAndFollowTheAnswer) {
    DialogScript script;
    Command(CommandId::NewPicture);
    EXPECT_TRUE(script.seen.empty()) << "nothing to lose, nothing asked";
    PressAt(2, 30);
    const lores::LoresPage drawn = s.workingPage();
    script.Answer(QMessageBox::Cancel);
    Command(CommandId::NewPicture);
    EXPECT_EQ(s.workingPage(), drawn) << "Cancel keeps the drawing";
    EXPECT_EQ(script.seen.at(0).title, "Vornel 0.2");

    s.fileName = "/dev/full";  // Save fails: New must not go on
    script.Answer(QMessageBox::Save);
    script.Ok();
    Command(CommandId::NewPicture);
    EXPECT_EQ(s.workingPage(), drawn);
    s.fileName = dir / "kept";  // Save succeeds: New goes on
    script.Answer(QMessageBox::Save);
    Command(CommandId::NewPicture);
    EXPECT_EQ(ReadAll(dir / "kept"), std::vector<std::uint8_t>(drawn.begin(), drawn.end()));
    EXPECT_EQ(s.workingPage()[0], 0);

    PressAt(2, 30);
    script.Answer(QMessageBox::Discard);
    script.Choose(dir / "kept");
    Command(CommandId::OpenPicture);
    EXPECT_EQ(s.workingPage(), drawn) << "Discard lets Open go on";
    EXPECT_EQ(Kinds(script), (std::vector<std::string>{Question, Question, "Read file:/dev/full\nNo space left on device", Question,
                                                       Question, "file"}));
    EXPECT_FALSE(script.unexpected);
}

TEST_F(UnsavedChanges, EscapeAndTheCloseBoxAsk) {
    PressAt(2, 30);
    DialogScript script;
    // The real loop: Escape is pressed before colour 3 is handled, the close
    // box after it. Escape cancelled, the colour is still handled; the close
    // box answered with Discard ends the loop.
    script.Answer(QMessageBox::Cancel);
    script.Answer(QMessageBox::Discard);
    EscapeThenColourThenClose(3);
    EXPECT_EQ(s.currentColour, 3);

    // Save without a name asks for one; cancelling that keeps the program.
    script.Answer(QMessageBox::Save);
    script.Cancel();
    EXPECT_TRUE(HandleEvent(s, windowing::CloseEvent));
    script.Answer(QMessageBox::Save);
    script.Choose(dir / "saved");
    EXPECT_FALSE(HandleEvent(s, windowing::CloseEvent));
    EXPECT_EQ(ReadAll(dir / "saved").size(), 1024u);
    EXPECT_FALSE(HandleEvent(s, windowing::CloseEvent)) << "saved: the close box ends the program at once";
    EXPECT_EQ(Kinds(script), (std::vector<std::string>{Question, Question, Question, "file", Question, "file"}));
    EXPECT_FALSE(script.unexpected);
}
