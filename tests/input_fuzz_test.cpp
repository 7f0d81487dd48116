// Random inputs through the real event loop (10,000 in every run, from a
// seed that changes each run and is printed; VORNEL_FUZZ_SEED replays one,
// VORNEL_FUZZ_INPUTS asks for a longer run): pointer moves, presses and
// drags inside the canvas, on its edges and far outside it, right presses
// whose popup is dismissed, and every command of the command table, present
// and future (and ids that are none), but those that open a file requester
// or quit. The screen holes never change, the mixed view's text lines
// change under no pointer of a drawing tool, an input makes at most one
// history step (a command two, when it ends a stroke still held), and
// nothing reads outside the page (the sanitizer build checks that).
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "editor/commands.h"
#include "editor_fixture.h"
#include "lores/text_glyphs.h"

using namespace editor;

namespace {

// Closes whatever popup or message box opens, as soon as it is up.
class Dismisser {
public:
    Dismisser() {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                popup->close();
                ++dismissed;
            } else if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                modal->reject();
                ++dismissed;
            }
        });
        timer_.start();
    }
    int dismissed = 0;

private:
    QTimer timer_;
};

// Those that open a requester, and Quit, which ends the loop it runs in.
bool OpensRequester(int id) {
    return id == CommandId::NewPicture || id == CommandId::OpenPicture || id == CommandId::SavePicture ||
           id == CommandId::SavePictureAs || id == CommandId::ExportPicture || id == CommandId::MakeBootDisk ||
           id == CommandId::ImportPicture || id == CommandId::ExportAnimation || id == CommandId::Quit;
}

// Every command of the table, the colours, the recent files' places, and
// numbers around them that are no command.
std::vector<int> CommandIds() {
    std::vector<int> ids;
    int most = 0;
    for (const Command& c : Commands()) {
        if (!OpensRequester(c.id)) ids.push_back(c.id);
        most = std::max(most, c.id);
    }
    for (int id = -5; id < 40; ++id) ids.push_back(id);
    for (int id = CommandId::FirstRecentFile; id <= CommandId::FirstRecentFile + 10; ++id) ids.push_back(id);
    for (int id = most + 1; id <= most + 5; ++id) ids.push_back(id);
    std::erase_if(ids, OpensRequester);  // the toolbar's own numbers among them
    return ids;
}

}  // namespace

TEST_F(EditorFixture, RandomInputsKeepTheScreenHoles) {
    const char* seedText = std::getenv("VORNEL_FUZZ_SEED");
    const char* inputsText = std::getenv("VORNEL_FUZZ_INPUTS");
    const unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : std::random_device{}();
    const int inputs = inputsText ? std::atoi(inputsText) : 10000;
    std::printf("fuzzing %d inputs from seed %u (VORNEL_FUZZ_SEED=%u replays them)\n", inputs, seed, seed);
    const std::vector<int> ids = CommandIds();
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto position = [&]() -> QPoint {
        switch (pick(0, 9)) {
        case 0: return {pick(-6000, 6000), pick(-6000, 6000)};                         // far outside
        case 1: return {pick(0, 1) ? 0 : 639, pick(-2, 385)};                           // left or right edge
        case 2: return {pick(-2, 641), pick(0, 1) ? 0 : 383};                           // top or bottom edge
        case 3: return {pick(-17, -1), pick(-9, 392)};                                  // just outside
        default: return {pick(0, 639), pick(0, 383)};                                   // inside
        }
    };

    std::array<std::uint8_t, 64> holes{};
    auto readHoles = [&] {
        std::array<std::uint8_t, 64> h{};
        for (int k = 0, i = 0; k < 8; ++k)
            for (int j = 120; j < 128; ++j) h[i++] = s.workingPage()[128 * k + j];
        return h;
    };
    holes = readHoles();

    Dismisser dismisser;
    bool leftHeld = false;
    QPoint at(100, 100);
    int commands = 0;
    bool sawMixed = false;
    for (int i = 0; i < inputs; ++i) {
        const int what = pick(0, 99);
        const lores::MixedText textBefore = lores::ReadMixedText(s.workingPage());
        const bool mixedBefore = s.mixedView;
        const std::size_t stepBefore = s.history.at;
        int id = 0;
        if (what < 45) {  // a move, dragging when the button is held
            at = position();
            qtdriver::Move(canvas, at, leftHeld ? Qt::LeftButton : Qt::NoButton);
        } else if (what < 60) {
            if (!leftHeld) {
                at = position();
                qtdriver::Press(canvas, at);
            } else {
                qtdriver::Release(canvas, at);
            }
            leftHeld = !leftHeld;
        } else if (what < 62) {  // right press: the popup opens and is dismissed
            qtdriver::Press(canvas, at, Qt::RightButton, leftHeld ? Qt::LeftButton : Qt::NoButton);
            qtdriver::Release(canvas, at, Qt::RightButton, leftHeld ? Qt::LeftButton : Qt::NoButton);
        } else if (what < 64) {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(canvas, &leave);
        } else {
            id = ids[static_cast<std::size_t>(pick(0, static_cast<int>(ids.size()) - 1))];
            windowing::PostEvent(windowing::MenuEvent, id, 0, 0, nullptr, nullptr);
            ++commands;
        }
        ASSERT_TRUE(Pump()) << "input " << i << " (seed " << seed << ")";
        ASSERT_EQ(readHoles(), holes) << "input " << i << " (seed " << seed << ")";
        ASSERT_GE(s.currentColour, 0);
        ASSERT_LE(s.currentColour, 15);
        // A stroke still held ends as a step of its own before a command's.
        ASSERT_LE(s.history.at, stepBefore + (leftHeld && what >= 64 ? 2 : 1)) << "input " << i << " (seed " << seed << "), " << what << " " << id;
        if (what < 62 && mixedBefore && s.mixedView && s.currentTool != Tool::Text) {
            sawMixed = true;
            ASSERT_EQ(lores::ReadMixedText(s.workingPage()), textBefore) << "input " << i << " (seed " << seed << ")";
        }
    }
    EXPECT_TRUE(sawMixed) << "the mixed view was drawn in";
    EXPECT_GT(commands, inputs * 3 / 10);
    EXPECT_GT(dismisser.dismissed, 0) << "popups and refusals were met and dismissed";
}
