// The unsaved picture on disk: kept while unsaved and only then, written at
// most a few times a second, and offered to a later start only when the
// program that kept it is gone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(Recovery, KeptWhileUnsavedAndOfferedOnlyWhenItsProgramIsGone) {
    TempDir state;
    setenv("XDG_STATE_HOME", state.path().c_str(), 1);
    Recovery mine;
    ASSERT_TRUE(OpenRecovery(mine));
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
    KeepRecovery(mine, page, true);
    EXPECT_EQ(ReadAll(kept), std::vector<std::uint8_t>(first.begin(), first.end())) << "a quarter second apart at most";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
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
    EXPECT_EQ(question.rfind("Recover the unsaved picture from ", 0), 0u);
    EXPECT_EQ(question.size(), std::string("Recover the unsaved picture from 1970-01-01 00:00?").size());
}
