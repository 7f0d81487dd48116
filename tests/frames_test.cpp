// Frames: the file rule, the bytes a picture of frames leaves in a file and
// in a disk image, the frame commands and their steps through the real
// loop, playback, the onion skin kept out of every saved byte, and the GIF
// as another program's reader sees it.
#include <QImageReader>

#include "documents/conversions.h"
#include "documents/documents.h"
#include "editor/commands.h"
#include "editor/frames.h"
#include "editor/history.h"
#include <functional>
#include <tuple>
#include "editor_fixture.h"
#include "lores/drawing.h"

using namespace testfiles;
namespace CommandId = editor::CommandId;

namespace {

// n pages, no two alike, no quarter of one like another.
std::vector<std::uint8_t> Frames(std::size_t n) {
    std::vector<std::uint8_t> bytes(n * 1024);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 256 * 7 + i / 1024 * 13);
    return bytes;
}

std::vector<std::uint8_t> Sector(const std::vector<std::uint8_t>& image, int track, int sector) {
    const auto at = image.begin() + (track * 16 + sector) * 256;
    return {at, at + 256};
}

}  // namespace

class FramesTest : public EditorFixture {
protected:
    TempDir dir;
    std::vector<std::uint8_t> Picture() {
        std::vector<std::uint8_t> all;
        for (const auto& p : documents::AllFrames(s.frames, s.workingPage())) all.insert(all.end(), p.begin(), p.end());
        return all;
    }
};

// Open takes a file of exactly N x 1024 bytes (N from 2 to 256) as N frames,
// the first shown, and Save writes every one back without asking; any
// other length keeps the one-page rule (its first page, and Save asks).
TEST_F(FramesTest, TheFileRuleKeepsEveryFrameASaveWritesBack) {
    const struct {
        std::size_t bytes, frames;
        bool asksBeforeSaving;
    } cases[] = {{1024, 1, false}, {2000, 1, true}, {2048, 2, false}, {3072, 3, false}, {256 * 1024, 256, false},
                 {257 * 1024, 1, true}};
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes = Frames((c.bytes + 1023) / 1024);
        bytes.resize(c.bytes);
        const std::string path = dir / ("f" + std::to_string(c.bytes));
        WriteAll(path, bytes);
        documents::Document doc = DocumentOf(s);
        documents::OpenPath(doc, path);
        ASSERT_EQ(s.frames.pages.size(), c.frames) << c.bytes;
        EXPECT_EQ(std::vector<std::uint8_t>(s.workingPage().begin(), s.workingPage().end()),
                  std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 1024))
            << "the first page is what Open always showed";
        EXPECT_EQ(s.confirmFileName, c.asksBeforeSaving) << c.bytes;
        if (c.frames > 1) {
            // Whatever the file became meanwhile, Save writes every frame.
            WriteAll(path, std::vector<std::uint8_t>(1000, 7));
            ASSERT_TRUE(documents::SaveDocument(doc));
            EXPECT_EQ(ReadAll(path), bytes) << c.bytes;
        }
    }
    // The 257th frame is refused, and said.
    documents::Document doc = DocumentOf(s);
    documents::OpenPath(doc, dir / "f262144");
    Command(CommandId::NewFrame);
    EXPECT_EQ(s.frames.pages.size(), 256u);
    EXPECT_EQ(s.notice, "a picture has at most 256 frames");
}

// Frames in a disk image: a DOS 3.3 B file of N x 1024 bytes at $0400, its
// track/sector lists chained past 122 sectors; a ProDOS sapling holds up to
// 128 pages, more are refused; each read back as the frames written.
TEST_F(FramesTest, FramesInDiskImagesAreOneFileOfEveryPage) {
    const auto toPages = [](const std::vector<std::uint8_t>& bytes) {
        std::vector<lores::LoresPage> pages(bytes.size() / 1024);
        for (std::size_t i = 0; i < bytes.size(); ++i) pages[i / 1024][i % 1024] = bytes[i];
        return pages;
    };
    const std::string dos = dir / "f.dsk", prodos = dir / "f.po";
    ASSERT_TRUE(documents::WriteFramesBytes(dos + ":MOVIE", toPages(Frames(31))).ok);
    const auto image = ReadAll(dos);
    // The catalog's first entry: its first track/sector list, type B, 126 sectors.
    const auto catalog = Sector(image, 17, 15);
    const std::uint8_t* e = catalog.data() + 0x0B;
    EXPECT_EQ(e[2], 0x04);
    EXPECT_EQ(e[0x21] | e[0x22] << 8, 2 + 125) << "two lists and 125 data sectors (31 x 1024 + 4 bytes)";
    const auto list = Sector(image, e[0], e[1]);
    const auto next = Sector(image, list[1], list[2]);
    EXPECT_EQ(next[5] | next[6] << 8, 122) << "the second list starts at the 123rd sector";
    const auto first = Sector(image, list[0x0C], list[0x0D]);
    EXPECT_EQ(std::vector<std::uint8_t>(first.begin(), first.begin() + 4), (std::vector<std::uint8_t>{0x00, 0x04, 0x00, 0x7C}));
    const auto last = Sector(image, next[0x0C + 4], next[0x0D + 4]);  // the 125th data sector: the file's end
    EXPECT_EQ(last[3], Frames(31).back());
    std::vector<lores::LoresPage> back;
    documents::ReadFramesFile(dos + ":MOVIE", back);
    EXPECT_EQ(back, toPages(Frames(31)));

    // A B file's length is 16 bits: 63 frames fit (length $FC00), 64 are
    // refused before anything changes, never written to read back short.
    ASSERT_TRUE(documents::WriteFramesBytes(dos + ":LONG", toPages(Frames(63))).ok);
    const auto full = ReadAll(dos);
    const auto longList = Sector(full, Sector(full, 17, 15)[0x0B + 35], Sector(full, 17, 15)[0x0B + 36]);
    EXPECT_EQ(Sector(full, longList[0x0C], longList[0x0D])[3], 0xFC);
    for (const std::size_t n : {64, 65, 100}) {
        const auto tooLong = documents::WriteFramesBytes(dos + ":LONGER", toPages(Frames(n)));
        EXPECT_FALSE(tooLong.ok) << n;
        EXPECT_NE(tooLong.error.find("at most 65,535 bytes (63 frames)"), std::string::npos) << tooLong.error;
        EXPECT_EQ(ReadAll(dos), full);
    }
    ASSERT_TRUE(documents::WriteFramesBytes(prodos + ":MOVIE", toPages(Frames(3))).ok);
    documents::ReadFramesFile(prodos + ":MOVIE", back);
    EXPECT_EQ(back, toPages(Frames(3)));
    std::string listed;
    ASSERT_TRUE(documents::ListDiskImage(prodos, listed).ok);
    EXPECT_NE(listed.find("3072 $0400 3 frames"), std::string::npos) << listed;
    const auto refused = documents::WriteFramesBytes(prodos + ":LONG", toPages(Frames(129)));
    EXPECT_EQ(refused.error, "more than 128 pages do not fit one file here");
}

// The frame commands through the real loop, each change to the list one
// step; the status line counts the frames; onion skin is a view only;
// playback steps at its wake-ups and a key stops it; the GIF, read by the
// toolkit's reader, is the PNG export of each frame at the rate, looping.
TEST_F(FramesTest, FrameCommandsAreStepsAndTheFramesPlayAndExport) {
    PressAt(1, 1);  // frame 1: the startup picture, (1, 1) white
    const lores::LoresPage first = s.workingPage();
    Command(CommandId::NewFrame);
    ASSERT_EQ(s.frames.pages.size(), 2u);
    EXPECT_EQ(s.frames.shown, 1u);
    EXPECT_EQ(s.workingPage(), first) << "a copy of the frame shown";
    s.currentColour = 9;
    PressAt(5, 5);
    Command(CommandId::PreviousFrame);
    EXPECT_EQ(s.workingPage(), first);
    // The onion skin shows frame 1 faintly where frame 2 is black, and
    // nothing of it is saved.
    Command(CommandId::LastFrame);
    int x = 39, y = 39;
    while (lores::PixelAt(first, x, y) == 0) --x;
    lores::PlotPixel(s.workingPage(), x, y, 0);
    const lores::LoresPage shownLast = s.workingPage();
    Command(CommandId::ToggleOnionSkin);
    const QRgb under = Palette(lores::PixelAt(first, x, y));
    EXPECT_EQ(Shown(x * 16 + 8, y * 8 + 4), qRgb(qRed(under) / 3, qGreen(under) / 3, qBlue(under) / 3));
    ASSERT_NE(lores::PixelAt(shownLast, 1, 1), 0);
    EXPECT_EQ(Shown(16 + 8, 8 + 4), Palette(lores::PixelAt(shownLast, 1, 1))) << "only under black";
    EXPECT_EQ(s.workingPage(), shownLast);
    Command(CommandId::FrameEarlier);
    EXPECT_EQ(s.frames.shown, 0u);
    EXPECT_EQ(documents::AllFrames(s.frames, s.workingPage()), (std::vector<lores::LoresPage>{shownLast, first}));
    Command(CommandId::HistoryBack);
    EXPECT_EQ(documents::AllFrames(s.frames, s.workingPage()), (std::vector<lores::LoresPage>{first, shownLast}))
        << "the move is one step";
    EXPECT_EQ(s.frames.shown, 1u) << "back on the frame where it was";
    Command(CommandId::HistoryBack);  // the pixel cleared
    Command(CommandId::HistoryBack);  // the press at (5, 5)
    EXPECT_EQ(documents::AllFrames(s.frames, s.workingPage()), (std::vector<lores::LoresPage>{first, first}));
    Command(CommandId::HistoryBack);  // the new frame
    EXPECT_EQ(s.frames.pages.size(), 1u);
    Command(CommandId::DeleteFrame);
    EXPECT_EQ(s.frames.pages.size(), 1u);
    EXPECT_EQ(s.notice, "the only frame is not deleted");
    for (int i = 0; i < 3; ++i) Command(CommandId::HistoryForward);
    EXPECT_EQ(documents::AllFrames(s.frames, s.workingPage()), (std::vector<lores::LoresPage>{first, shownLast}));
    EXPECT_EQ(s.shown.status.frame + 1, 2u);
    EXPECT_EQ(s.shown.status.frames, 2u);

    // Saved: both frames, the onion nowhere; the status line counts.
    documents::Document doc = DocumentOf(s);
    ASSERT_TRUE(documents::WritePageFile(doc, dir / "two"));
    std::vector<std::uint8_t> both(first.begin(), first.end());
    both.insert(both.end(), shownLast.begin(), shownLast.end());
    EXPECT_EQ(ReadAll(dir / "two"), both);

    // Playback: each wake-up whose time has come shows the next frame (at
    // one a second, no real wake-up comes between); a press stops it.
    s.playbackRate = 1;
    Command(CommandId::TogglePlayback);
    ASSERT_TRUE(s.playing);
    for (const std::size_t expected : {0u, 1u, 0u}) {
        s.nextFrameAt = std::chrono::steady_clock::now();
        windowing::PostEvent(windowing::PlatformMessage, 0, 0, 0, nullptr, nullptr);
        Pump();
        EXPECT_EQ(s.frames.shown, expected);
    }
    const auto before = documents::AllFrames(s.frames, s.workingPage());
    PressAt(2, 2);
    EXPECT_FALSE(s.playing);
    EXPECT_EQ(documents::AllFrames(s.frames, s.workingPage()), before) << "the press only stopped it";

    // The GIF, decoded by the toolkit: each frame the export's picture,
    // looping, each shown its share of the rate (at 30 a second 30, 40 and
    // 30 ms: a tenth of a second for three).
    std::vector<lores::LoresPage> three = before;
    three.push_back(first);
    for (const auto& [fps, delays] : {std::pair{10, std::vector<int>{100, 100, 100}}, {30, {30, 40, 30}}, {60, {20, 20, 20}}}) {
        ASSERT_TRUE(documents::SaveAnimation(three, dir / "a.gif", s.colours(), fps == 30, fps).ok);
        const auto gifBytes = ReadAll(dir / "a.gif");
        EXPECT_EQ(std::string(gifBytes.begin(), gifBytes.begin() + 6), "GIF89a");
        QImageReader gif(QString::fromStdString(dir / "a.gif"));
        EXPECT_EQ(gif.loopCount(), -1);
        for (std::size_t i = 0; i < three.size(); ++i) {
            ASSERT_TRUE(documents::SavePagePicture(three[i], dir / "f.png", s.colours(), fps == 30).ok);
            const QImage frame = gif.read().convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(gif.nextImageDelay(), delays[i]) << fps << " " << i;
            EXPECT_EQ(frame, QImage(QString::fromStdString(dir / "f.png")).convertToFormat(QImage::Format_RGB32)) << i;
        }
    }
    // Above 50 a second a GIF cannot keep the rate: said, not silent.
    for (const int fps : {50, 51, 60})
        EXPECT_EQ(documents::SaveAnimation(three, dir / "a.gif", s.colours(), false, fps).note.empty(), fps == 50) << fps;
}

// A stroke still held when the frame shown or the list changes ends there,
// kept whole on the frame it was drawn on, as one step.
TEST_F(FramesTest, AStrokeHeldAcrossAFrameChangeStaysOnItsFrame) {
    for (const int id : {CommandId::NextFrame, CommandId::NewFrame, CommandId::TogglePlayback, CommandId::FrameLater,
                         CommandId::HistoryBack}) {
        Command(CommandId::NewFrame);
        Command(CommandId::FirstFrame);
        const lores::LoresPage before = s.workingPage();
        s.currentColour = 13;
        qtdriver::Press(canvas, At(3, 3));
        Pump();
        for (int x = 4; x <= 6; ++x) DragTo(At(x, 3));
        Command(id);
        qtdriver::Release(canvas, At(6, 3));
        Pump();
        if (s.playing) Command(CommandId::TogglePlayback);
        const auto frames = documents::AllFrames(s.frames, s.workingPage());
        const lores::LoresPage& drawn = id == CommandId::FrameLater ? frames[1] : frames[0];
        for (int x = 3; x <= 6; ++x)
            EXPECT_EQ(lores::PixelAt(drawn, x, 3), id == CommandId::HistoryBack ? lores::PixelAt(before, x, 3) : 13)
                << id << " " << x;
        if (id == CommandId::HistoryBack) {
            Command(CommandId::HistoryForward);
            EXPECT_EQ(lores::PixelAt(documents::AllFrames(s.frames, s.workingPage())[0], 3, 3), 13) << "one step";
        }
    }
}

// Whether a command can act, as the menu greys it, at the edge where a slip
// of one would show; the rates F6 and F7 step through (kept for the next
// start); a frame shown for its time at the rate; Play while playing stops;
// the onion skin is the frame before, none under the first; moving the
// last frame later says why; the toolbar's undo stays with its frame.
TEST_F(FramesTest, CommandsAtTheirEdgesRatesPlaybackAndTheOnionSkin) {
    const auto enabled = [&](int id) {
        const editor::Command* c = editor::FindCommand(id);
        return c && (!c->enabled || c->enabled(s));
    };
    const lores::LoresPage a = s.workingPage();
    lores::LoresPage b{};
    b.fill(0x11);
    const struct {
        const char* what;
        std::function<void()> set;
        int id;
        bool can;
    } rows[] = {
        {"no recent files", [&] { s.recentFiles.clear(); }, CommandId::ClearRecent, false},
        {"a recent file", [&] { s.recentFiles = {"/x"}; }, CommandId::ClearRecent, true},
        {"largest zoom", [&] { s.zoom = editor::MaxZoom; }, CommandId::ZoomIn, false},
        {"zoom below it", [&] { s.zoom = editor::MaxZoom - 1; }, CommandId::ZoomIn, true},
        {"256 frames", [&] { s.frames.pages.assign(256, a); }, CommandId::NewFrame, false},
        {"255 frames", [&] { s.frames.pages.assign(255, a); }, CommandId::NewFrame, true},
        {"on the last", [&] { s.frames.pages = {a, b}, s.frames.shown = 1; }, CommandId::FrameLater, false},
        {"on the first", [&] { s.frames.shown = 0; }, CommandId::FrameLater, true},
        {"one frame", [&] { s.frames.pages = {a}; }, CommandId::TogglePlayback, false},
        {"two frames", [&] { s.frames.pages = {a, b}; }, CommandId::TogglePlayback, true},
        {"a paste floats", [&] { s.select.rect = {1, 1, 3, 3}, s.select.floating = true; }, CommandId::CopySelection, false},
        {"a paste floats", [&] {}, CommandId::CutSelection, false},
        {"a selection", [&] { s.select.floating = false; }, CommandId::DeleteSelection, true},
    };
    for (const auto& row : rows) {
        row.set();
        EXPECT_EQ(enabled(row.id), row.can) << row.what;
    }
    s.select = {};
    s.frames.pages = {a, b};
    s.frames.shown = 0;
    s.workingPage() = a;
    editor::ResetHistory(s);

    for (const auto& [from, key, to] : {std::tuple{10, CommandId::PlayFaster, 12}, {10, CommandId::PlaySlower, 8},
                                        {60, CommandId::PlayFaster, 60}, {1, CommandId::PlaySlower, 1}}) {
        s.playbackRate = from;
        Command(key);
        EXPECT_EQ(s.playbackRate, to) << from;
        const auto kept = ReadAll(settings / "vornel/playback");
        EXPECT_EQ(std::string(kept.begin(), kept.end()), std::to_string(to) + "\n");
    }
    s.playbackRate = 10;
    Command(CommandId::TogglePlayback);
    const auto wait = s.nextFrameAt - std::chrono::steady_clock::now();
    EXPECT_GT(wait, std::chrono::milliseconds(80));
    EXPECT_LE(wait, std::chrono::milliseconds(100));
    Command(CommandId::TogglePlayback);
    EXPECT_FALSE(s.playing) << "Play while playing stops";

    Command(CommandId::ToggleOnionSkin);
    Command(CommandId::FirstFrame);
    EXPECT_EQ(editor::OnionPage(s), nullptr);
    Command(CommandId::NextFrame);
    ASSERT_NE(editor::OnionPage(s), nullptr);
    EXPECT_EQ(*editor::OnionPage(s), a);
    Command(CommandId::FrameLater);
    EXPECT_EQ(s.notice, "the frame is at the end already");
    EXPECT_EQ(documents::AllFrames(s.frames, s.workingPage()), (std::vector<lores::LoresPage>{a, b}));

    // The toolbar's undo after another frame was shown, or after a frame
    // change was stepped back, copies nothing of another frame.
    Command(CommandId::FillTool);
    const auto fillAt = [&](int x, int y) {
        s.currentColour = (Pixel(x, y) + 1) % 16;
        PressAt(x, y);
    };
    fillAt(7, 7);  // a fill on frame 2: the toolbar's undo is its own
    Command(CommandId::PreviousFrame);
    Command(CommandId::Undo);
    EXPECT_EQ(s.workingPage(), a) << "nothing of frame 2's copy on frame 1";
    fillAt(7, 7);  // a fill on frame 1, then a new frame, a copy of it
    const lores::LoresPage mine = s.workingPage();
    Command(CommandId::NewFrame);
    Command(CommandId::Undo);
    EXPECT_EQ(s.workingPage(), mine) << "the new frame is not taken back to frame 1's copy";
}

// Past the history's 512 steps the oldest go, and the saved place with
// them: stepping back as far as it goes never finds the picture unchanged.
TEST_F(FramesTest, TheSavedPlaceLeavesWithTheOldestSteps) {
    s.fileName = dir / "h";
    Command(CommandId::SavePicture);
    ASSERT_FALSE(s.pictureChanged);
    for (int i = 0; i < 520; ++i) {
        s.currentColour = 1 + i % 15;
        PressAt(4, 4);
    }
    for (int i = 0; i < 520 && s.history.at > 0; ++i) {
        Command(CommandId::HistoryBack);
        ASSERT_TRUE(s.pictureChanged) << "back " << i + 1;
    }
}
