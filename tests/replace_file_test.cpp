// Replacing a file never harms what the user did not choose to change: its
// other names, owner, mode and attributes, a read-only file, a link chain,
// or a file in another user's reach. Checked as an unprivileged user where
// permissions decide (the suite runs as root).
#include <gtest/gtest.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <random>

#include "runtime/file_objects.h"
#include "runtime/replace_file.h"
#include "test_files.h"

using namespace testfiles;

namespace {

constexpr uid_t Nobody = 65534;

// Writes bytes through file object 0, as the Save command does; 1 on success.
int Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (!runtime::CreateForWriting(0, path)) return 0;
    const std::size_t n = runtime::WriteBytes(0, bytes.data(), bytes.size());
    return runtime::CloseFileObject(0) && n == bytes.size() ? 1 : 0;
}

// Runs f in a child that has become uid/gid 65534; its result is f's.
template <typename F>
int AsNobody(F f) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0) _exit(99);
        _exit(f());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st;
}

class ReplaceFile : public ::testing::Test {
protected:
    TempDir dir;
    const std::vector<std::uint8_t> oldBytes = Pattern(3000, 1);
    const std::vector<std::uint8_t> newBytes = Pattern(1024, 2);

    void SetUp() override {
        runtime::InitFiles();
        chmod(dir.path().c_str(), 0777);
    }
    void TearDown() override { runtime::CloseAllFiles(); }
};

}  // namespace

TEST_F(ReplaceFile, AFileTheUserMayNotWriteIsLeftAlone) {
    const std::string page = dir / "page";
    WriteAll(page, oldBytes);
    chown(page.c_str(), Nobody, Nobody);
    chmod(page.c_str(), 0444);
    const ino_t inode = StatOf(page).st_ino;
    EXPECT_EQ(AsNobody([&] { return Save(page, newBytes); }), 0) << "a read-only file is not replaced";
    EXPECT_EQ(ReadAll(page), oldBytes);
    EXPECT_EQ(StatOf(page).st_ino, inode);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"page"});

    // Root is refused only by what refuses root: the immutable flag.
    chmod(page.c_str(), 0644);
    if (std::system(("chattr +i '" + page + "' 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "no immutable flag here";
    EXPECT_EQ(Save(page, newBytes), 0);
    std::system(("chattr -i '" + page + "'").c_str());
    EXPECT_EQ(ReadAll(page), oldBytes);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"page"});
}

TEST_F(ReplaceFile, TheFileKeepsItsLinksOwnerModeAndAttributes) {
    // Two names: both see the new picture, through one inode.
    const std::string page = dir / "page", other = dir / "other";
    WriteAll(page, oldBytes);
    ASSERT_EQ(link(page.c_str(), other.c_str()), 0);
    EXPECT_EQ(Save(page, newBytes), 1);
    EXPECT_EQ(ReadAll(other), newBytes);
    EXPECT_EQ(StatOf(page).st_ino, StatOf(other).st_ino);
    unlink(other.c_str());

    // One name: replaced by a new inode that carries mode and attributes.
    chmod(page.c_str(), 0640);
    ASSERT_EQ(setxattr(page.c_str(), "user.comment", "kept", 4, 0), 0);
    const ino_t before = StatOf(page).st_ino;
    EXPECT_EQ(Save(page, oldBytes), 1);
    EXPECT_NE(StatOf(page).st_ino, before) << "a single-link file is replaced whole";
    EXPECT_EQ(StatOf(page).st_mode & 07777, 0640u);
    char value[8] = {};
    EXPECT_EQ(getxattr(page.c_str(), "user.comment", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
    EXPECT_EQ(ReadAll(page), oldBytes);

    // Another user's file in a shared folder keeps its owner: rewritten.
    chown(page.c_str(), 0, 0);
    chmod(page.c_str(), 0666);
    const ino_t rootsFile = StatOf(page).st_ino;
    EXPECT_EQ(AsNobody([&] { return Save(page, newBytes); }), 1);
    EXPECT_EQ(StatOf(page).st_ino, rootsFile);
    EXPECT_EQ(StatOf(page).st_uid, 0u);
    EXPECT_EQ(ReadAll(page), newBytes) << "cut to its new length after the write";
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"page"});

    // A new file gets the usual mode for new files.
    EXPECT_EQ(Save(dir / "new", newBytes), 1);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(StatOf(dir / "new").st_mode & 0777, 0666u & ~mask);
}

TEST_F(ReplaceFile, ARewriteThatFailsHalfWayNeverEmptiesTheFile) {
    const std::string page = dir / "page", other = dir / "other";
    WriteAll(page, oldBytes);
    ASSERT_EQ(link(page.c_str(), other.c_str()), 0);  // forces the rewrite in place
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{500, 500};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(Save(page, newBytes));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reports its failure";
    const auto now = ReadAll(page);
    ASSERT_EQ(now.size(), oldBytes.size()) << "not truncated before the new bytes were in";
    EXPECT_TRUE(std::equal(now.begin() + 1024, now.end(), oldBytes.begin() + 1024));
}

TEST_F(ReplaceFile, LinksAreFollowedToTheEndOnlyWhenSafe) {
    // A chain of three: the file at its end is written, every link stays.
    const std::string page = dir / "page";
    WriteAll(page, oldBytes);
    symlink("page", (dir / "l1").c_str());
    symlink("l1", (dir / "l2").c_str());
    symlink((dir / "l2").c_str(), (dir / "l3").c_str());
    EXPECT_EQ(Save(dir / "l3", newBytes), 1);
    EXPECT_EQ(ReadAll(page), newBytes);
    for (const char* l : {"l1", "l2", "l3"}) EXPECT_TRUE(S_ISLNK(StatOf(dir / l).st_mode)) << l;

    // A loop and a chain longer than the kernel follows are failures.
    symlink("b", (dir / "a").c_str());
    symlink("c", (dir / "b").c_str());
    symlink("a", (dir / "c").c_str());
    EXPECT_EQ(Save(dir / "b", newBytes), 0);
    const auto chainLink = [](int i) { return std::string(1, 'n').append(std::to_string(i)); };
    for (int i = 0; i < 45; ++i) symlink(chainLink(i + 1).c_str(), (dir / chainLink(i)).c_str());
    EXPECT_EQ(Save(dir / "n0", newBytes), 0);
    for (const auto& name : Entries(dir.path()))
        EXPECT_TRUE(name == "page" || S_ISLNK(StatOf(dir / name).st_mode)) << name << " was replaced by a file";

    // Another user's link in a sticky shared folder is not followed, even by root.
    TempDir shared;
    chmod(shared.path().c_str(), 01777);
    const std::string bait = shared / "bait";
    symlink(page.c_str(), bait.c_str());
    lchown(bait.c_str(), Nobody, Nobody);
    EXPECT_EQ(Save(bait, oldBytes), 0);
    EXPECT_EQ(ReadAll(page), newBytes);
    EXPECT_TRUE(S_ISLNK(StatOf(bait).st_mode));
}

TEST_F(ReplaceFile, NamesAtTheSystemsLimits) {
    const std::string longest = dir / std::string(NAME_MAX, 'p');
    EXPECT_EQ(Save(longest, newBytes), 1) << "no temporary name longer than the target's is needed";
    EXPECT_EQ(ReadAll(longest), newBytes);
    EXPECT_EQ(Save(dir / std::string(NAME_MAX + 1, 'p'), newBytes), 0);
    EXPECT_EQ(Save(std::string(PATH_MAX, '/'), newBytes), 0);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{std::string(NAME_MAX, 'p')});
}

TEST_F(ReplaceFile, AKilledSaveLeavesTheWholeOldOrWholeNewFileAndNothingElse) {
    // Both writers below always rename; a second link would rewrite in place,
    // which a kill may leave half-new by design (never shorter than before).
    const std::string page = dir / "page";
    const auto a = Pattern(1024, 3), b = Pattern(1024, 4);
    WriteAll(page, a);
    std::mt19937 random(7);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int kills = 0;
    for (; kills < 300 && std::chrono::steady_clock::now() < deadline; ++kills) {
        const pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0;; ++i) Save(page, i % 2 ? a : b);
        }
        usleep(200 + random() % 3000);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        const auto now = ReadAll(page);
        ASSERT_TRUE(now == a || now == b) << "torn after kill " << kills;
        // A kill between naming the new file and the rename leaves that
        // name (about one kill in 200): the next save removes it.
        const auto left = Entries(dir.path());
        ASSERT_LE(left.size(), 2u) << "left behind after kill " << kills;
        if (left.size() == 2) {
            ASSERT_EQ(Save(page, now), 1);
            ASSERT_EQ(Entries(dir.path()), std::vector<std::string>{"page"}) << "not swept after kill " << kills;
        }
    }
    EXPECT_GE(kills, 50);
}

TEST(OpenForReading, DevicesAreReadWithoutWaiting) {
    runtime::InitFiles();
    // A terminal with nothing typed would block for ever in a plain read.
    ASSERT_NE(runtime::OpenForReading(0, "/dev/ptmx"), 0);
    std::uint8_t page[1024];
    EXPECT_EQ(runtime::ReadBytes(0, page, sizeof page), 0u);
    runtime::CloseFileObject(0);
    ASSERT_NE(runtime::OpenForReading(0, "/dev/zero"), 0);
    EXPECT_EQ(runtime::ReadBytes(0, page, sizeof page), sizeof page);
    runtime::CloseFileObject(0);
    EXPECT_EQ(runtime::OpenFileWithMode(0, "", 0, 0), 0);
    std::uint8_t byte = 0;
    EXPECT_EQ(runtime::ReadBytes(0, &byte, 1), 0u) << "mode 0 leaves nothing open under the number";
    runtime::CloseAllFiles();
}
