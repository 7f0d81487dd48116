// The unsaved picture on disk: kept while unsaved and only then, written at
// most a few times a second, and offered to a later start only when the
// program that kept it is gone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <functional>
#include <thread>

#include "editor/recovery.h"
#include "test_files.h"

using namespace editor;
using namespace testfiles;

namespace {

std::vector<std::string> Pages(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& name : Entries(folder))
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".page") == 0) out.push_back(name);
    return out;
}

}  // namespace

// This program's recovery folder, opened in a state folder of the test's own
// (closed at the end, if the test has not closed it).
class RecoveryFolder : public ::testing::Test {
protected:
    TempDir state;
    Recovery mine;
    void SetUp() override {
        setenv("XDG_STATE_HOME", state.path().c_str(), 1);
        ASSERT_TRUE(OpenRecovery(mine));
    }
    void TearDown() override { CloseRecovery(mine); }
};

TEST_F(RecoveryFolder, KeptWhileUnsavedAndOfferedOnlyWhenItsProgramIsGone) {
    EXPECT_EQ(mine.folder, state / "vornel");
    const std::string kept = mine.folder + "/" + mine.id + ".page";

    lores::LoresPage page{};
    page[5] = 0x12;
    KeepRecovery(mine, page, false);
    EXPECT_TRUE(Pages(mine.folder).empty()) << "nothing unsaved, nothing kept";
    KeepRecovery(mine, page, true);
    EXPECT_EQ(ReadAll(kept), std::vector<std::uint8_t>(page.begin(), page.end()));
    const lores::LoresPage first = page;
    page[6] = 0x34;
    // The last write is made to look as recent, then as old, as the test
    // needs: no race with the clock on a loaded machine.
    mine.lastWrite = std::chrono::steady_clock::now() + std::chrono::hours(1);
    KeepRecovery(mine, page, true);
    EXPECT_EQ(ReadAll(kept), std::vector<std::uint8_t>(first.begin(), first.end())) << "a quarter second apart at most";
    mine.lastWrite = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    KeepRecovery(mine, page, true);
    EXPECT_EQ(ReadAll(kept), std::vector<std::uint8_t>(page.begin(), page.end()));

    // Another program running at the same time keeps its own, and does not
    // take ours for one left behind.
    const auto inChild = [](auto body) {
        const pid_t pid = fork();
        if (pid == 0) _exit(body());
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
    };
    lores::LoresPage theirs{};
    theirs[100] = 0x77;
    EXPECT_EQ(inChild([&] {
                  Recovery other;
                  if (!OpenRecovery(other) || other.id == mine.id || !FindOrphans(other).empty()) return 1;
                  KeepRecovery(other, theirs, true);
                  return 0;  // ends without closing: as if killed
              }),
              0);
    const std::vector<Orphan> orphans = FindOrphans(mine);
    ASSERT_EQ(orphans.size(), 1u) << "the child is gone, its picture stays";
    lores::LoresPage read{};
    ASSERT_TRUE(ReadOrphan(mine, orphans[0], read));
    EXPECT_EQ(read, theirs);
    RemoveOrphan(mine, orphans[0]);
    EXPECT_TRUE(FindOrphans(mine).empty());

    // A program that saved everything and was then killed leaves only its
    // lock: the next look removes it, and leaves a live program's alone.
    EXPECT_EQ(inChild([&] {
                  Recovery other;
                  OpenRecovery(other);
                  KeepRecovery(other, theirs, true);
                  KeepRecovery(other, theirs, false);
                  return 0;
              }),
              0);
    EXPECT_EQ(Entries(mine.folder).size(), 3u) << "ours, page and lock, and the other's lock";
    EXPECT_TRUE(FindOrphans(mine).empty());
    EXPECT_EQ(Entries(mine.folder).size(), 2u);

    KeepRecovery(mine, page, false);
    EXPECT_TRUE(Pages(mine.folder).empty()) << "saved or discarded: removed";
    KeepRecovery(mine, page, true);
    CloseRecovery(mine);
    EXPECT_TRUE(Entries(state / "vornel").empty()) << "a normal end leaves nothing";

    const std::string question = RecoverQuestion(0);
    EXPECT_EQ(question.rfind("Recover the unsaved picture untitled picture from ", 0), 0u) << question;
    EXPECT_EQ(question.size(), std::string("Recover the unsaved picture untitled picture from 1970-01-01 00:00?").size());
    const std::string named = RecoverQuestion(0, "/home/a/art.gr");
    EXPECT_EQ(named.rfind("Recover the unsaved picture art.gr from ", 0), 0u) << named;
}

namespace {

int InChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

// A copy damaged from outside is offered as a short or long page file would
// be read; one that cannot be read is kept aside, never deleted; one whose
// file holds the same page is the program's own saved picture; the question
// names the picture.
TEST_F(RecoveryFolder, DamagedCopiesAreOfferedOrKeptAsideNeverDropped) {
    const auto leave = [&](const std::string& id, const std::vector<std::uint8_t>& bytes, const std::string& name) {
        WriteFile(mine.folder + "/" + id + ".page", bytes);
        if (!name.empty()) WriteFile(mine.folder + "/" + id + ".name", {name.begin(), name.end()});
    };
    std::vector<std::uint8_t> shortCopy(1000, 0x11), longCopy(1030, 0x22), huge(MaxRecoveryCopy + 1, 0x33);
    leave("1-short", shortCopy, "/pictures/art.gr");
    leave("2-long", longCopy, "");
    leave("3-huge", huge, "");
    std::vector<Orphan> orphans = FindOrphans(mine);
    ASSERT_EQ(orphans.size(), 3u);
    std::string firstAside;
    for (const Orphan& o : orphans) {
        lores::LoresPage page{};
        page.fill(0x99);
        std::string why;
        if (o.id == "1-short") {
            ASSERT_TRUE(ReadOrphan(mine, o, page, &why));
            EXPECT_EQ(page[999], 0x11);
            EXPECT_EQ(page[1000], 0) << "the rest of a short copy is cleared";
            EXPECT_EQ(o.name, "/pictures/art.gr");
            EXPECT_NE(RecoverQuestion(o.saved, o.name).find(" art.gr from "), std::string::npos);
        } else if (o.id == "2-long") {
            ASSERT_TRUE(ReadOrphan(mine, o, page, &why));
            EXPECT_EQ(page[1023], 0x22);
            EXPECT_TRUE(o.name.empty());
        } else {
            EXPECT_FALSE(ReadOrphan(mine, o, page, &why));
            EXPECT_FALSE(why.empty());
            firstAside = KeepAside(mine, o);
            EXPECT_EQ(ReadAll(firstAside).size(), huge.size()) << "kept, not deleted";
        }
    }
    // A second copy of the same name put aside keeps the first one.
    leave("3-huge", std::vector<std::uint8_t>(MaxRecoveryCopy + 2, 0x44), "");
    const std::string secondAside = KeepAside(mine, Orphan{"3-huge", 0, ""});
    EXPECT_NE(secondAside, firstAside);
    EXPECT_EQ(ReadAll(firstAside).size(), huge.size());
    EXPECT_EQ(ReadAll(secondAside).size(), MaxRecoveryCopy + 2);
    orphans = FindOrphans(mine);
    EXPECT_EQ(orphans.size(), 2u) << "a copy kept aside is not asked about again";
    for (const Orphan& o : orphans) EXPECT_EQ(ReadAll(mine.folder + "/" + o.id + ".page").empty(), false);

    // The picture's file holds the very page: saved after all.
    TempDir pictures;
    lores::LoresPage page{};
    page[3] = 0x44;
    WriteFile(pictures / "art.gr", {page.begin(), page.end()});
    Orphan saved{"x", 0, pictures / "art.gr"};
    EXPECT_TRUE(SavedToItsFile(saved, page));
    lores::LoresPage other = page;
    other[4] = 1;
    EXPECT_FALSE(SavedToItsFile(saved, other));
    EXPECT_FALSE(SavedToItsFile(Orphan{"x", 0, ""}, page)) << "an untitled picture has no file";
    CloseRecovery(mine);
}

// A copy that cannot be written is tried again and said until one is; the
// program's name of the picture goes with the copy.
TEST_F(RecoveryFolder, FailedWritesAreRetriedAndSaid) {
    const std::string kept = mine.folder + "/" + mine.id + ".page";
    ASSERT_EQ(mkdir(kept.c_str(), 0700), 0);  // in the way: the write fails
    lores::LoresPage page{};
    page[9] = 0x5A;
    KeepRecovery(mine, page, true, "/pictures/art.gr");
    EXPECT_FALSE(mine.failure.empty());
    EXPECT_FALSE(mine.kept);
    rmdir(kept.c_str());
    mine.lastWrite = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    KeepRecovery(mine, page, true, "/pictures/art.gr");
    EXPECT_TRUE(mine.failure.empty());
    EXPECT_EQ(ReadAll(kept), std::vector<std::uint8_t>(page.begin(), page.end()));
    const std::vector<std::uint8_t> name = ReadAll(mine.folder + "/" + mine.id + ".name");
    EXPECT_EQ(std::string(name.begin(), name.end()), "/pictures/art.gr");
    // Saved, then a new picture drawn: its copy names no file, not the old one.
    KeepRecovery(mine, page, false, "/pictures/art.gr");
    EXPECT_FALSE(Exists(mine.folder + "/" + mine.id + ".name")) << "a crash now must not name the saved file";
    page[10] = 0x77;
    mine.lastWrite = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    KeepRecovery(mine, page, true, "");
    const std::vector<std::uint8_t> renamed = ReadAll(mine.folder + "/" + mine.id + ".name");
    EXPECT_TRUE(renamed.empty()) << std::string(renamed.begin(), renamed.end());
    CloseRecovery(mine);
    EXPECT_TRUE(Entries(state / "vornel").empty());
}

// Ctrl+C and Ctrl+\ in the terminal write the last change, as SIGTERM does;
// with frames, every frame as it is, the one drawn on last from its page.
TEST(Recovery, InterruptAndQuitWriteTheLastChange) {
    for (const auto& [signal, framed] : {std::pair{SIGINT, false}, {SIGQUIT, true}}) {
        TempDir state;
        setenv("XDG_STATE_HOME", state.path().c_str(), 1);
        std::string id;
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const int status = InChild([&] {
            Recovery r;
            if (!OpenRecovery(r)) return 1;
            if (write(pipeFds[1], r.id.c_str(), r.id.size()) != static_cast<ssize_t>(r.id.size())) return 2;
            lores::LoresPage page{};
            page[1] = 1;
            KeepRecovery(r, page, true);
            page[2] = 2;  // within the quarter second: not yet written
            documents::Frames frames;
            if (framed) {
                // Frame 2 drawn on and left, frame 3 shown and drawn on.
                frames.pages.assign(3, page);
                frames.pages[0][0] = 10;
                frames.shown = 2;
                frames.structure = 1;
                page[3] = 3;
            }
            KeepRecovery(r, frames, page, true, "");
            struct rlimit none{0, 0};
            setrlimit(RLIMIT_CORE, &none);
            raise(signal);
            return 3;
        });
        close(pipeFds[1]);
        char buffer[128] = {};
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        close(pipeFds[0]);
        ASSERT_GT(n, 0);
        EXPECT_EQ(status, 100 + signal) << "ends as the signal ends it";
        const std::vector<std::uint8_t> kept = ReadAll(state / ("vornel/" + std::string(buffer, n) + ".page"));
        ASSERT_EQ(kept.size(), framed ? 3072u : 1024u) << signal;
        EXPECT_EQ(kept[2], 2) << "the last change, written by the handler of " << signal;
        if (framed) {
            EXPECT_EQ(kept[0], 10);
            EXPECT_EQ(kept[1024 + 2], 2);
            EXPECT_EQ(kept[1024 + 3], 0);
            EXPECT_EQ(kept[2048 + 3], 3) << "the frame shown, from its page";
        }
    }
}

// Another start sweeping abandoned locks while this program takes its own
// never leaves it holding a lock nobody can see.
TEST(Recovery, ALiveProgramsLockSurvivesAnotherStartsSweep) {
    TempDir state;
    setenv("XDG_STATE_HOME", state.path().c_str(), 1);
    Recovery watcher;
    ASSERT_TRUE(OpenRecovery(watcher));
    const pid_t sweeper = fork();
    if (sweeper == 0) {
        // Only the sweep of locks without a page: as fast as it can go.
        Recovery r;
        OpenRecovery(r);
        for (;;) FindOrphans(r);
    }
    int lost = 0;
    for (int i = 0; i < 3000; ++i) {
        Recovery r;
        ASSERT_TRUE(OpenRecovery(r));
        lores::LoresPage page{};
        page[0] = static_cast<std::uint8_t>(i);
        KeepRecovery(r, page, true);
        struct stat held, named;
        if (r.lockFd < 0 || fstat(r.lockFd, &held) != 0 ||
            stat((r.folder + "/" + r.id + ".lock").c_str(), &named) != 0 || held.st_ino != named.st_ino)
            ++lost;
        CloseRecovery(r);
    }
    kill(sweeper, SIGKILL);
    waitpid(sweeper, nullptr, 0);
    EXPECT_EQ(lost, 0);
    CloseRecovery(watcher);
}

// Run with the sweep shim (see tests/CMakeLists.txt): a lock file swept away
// and made again between its opening and its locking is not taken for ours.
TEST(Recovery, NeedsSweepShimALockCountsOnlyOnTheFileItsPathNames) {
    TempDir state;
    setenv("XDG_STATE_HOME", state.path().c_str(), 1);
    Recovery r;
    ASSERT_TRUE(OpenRecovery(r));
    lores::LoresPage page{};
    KeepRecovery(r, page, true);
    struct stat held, named;
    const bool holds = r.lockFd >= 0 && fstat(r.lockFd, &held) == 0;
    ASSERT_EQ(stat((r.folder + "/" + r.id + ".lock").c_str(), &named), 0) << "the sweep's new lock file";
    EXPECT_TRUE(!holds || held.st_ino == named.st_ino) << "a lock held on a file nobody sees";
    CloseRecovery(r);
}
