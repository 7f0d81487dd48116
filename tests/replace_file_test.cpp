// Replacing a file never harms what the user did not choose to change: its
// other names, owner, mode and attributes, a read-only file, a link chain,
// or a file in another user's reach. Checked as an unprivileged user where
// permissions decide (the suite runs as root).
#include <gtest/gtest.h>
#include <grp.h>
#include <signal.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <random>

#include "runtime/file_objects.h"
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

// Runs f in a child (as uid/gid 65534 when asked); the child's exit code.
template <typename F>
int InChild(F f, bool asNobody = true) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (asNobody && (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0)) _exit(99);
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
    const std::vector<std::uint8_t> oldBytes = Pattern(3000, 1), newBytes = Pattern(1024, 2);
    const std::string page = dir / "page";

    void SetUp() override {
        runtime::InitFiles();
        chmod(dir.path().c_str(), 0777);
        WriteAll(page, oldBytes);
    }
};

}  // namespace

TEST_F(ReplaceFile, PermissionsOwnersLinksAndAttributesAreKept) {
    // A read-only file of the user's own is refused, not replaced.
    chown(page.c_str(), Nobody, Nobody);
    chmod(page.c_str(), 0444);
    const ino_t inode = StatOf(page).st_ino;
    EXPECT_EQ(InChild([&] { return Save(page, newBytes); }), 0);
    EXPECT_EQ(ReadAll(page), oldBytes);
    EXPECT_EQ(StatOf(page).st_ino, inode);

    // Another user's writable file keeps its owner: rewritten, cut to length.
    chown(page.c_str(), 0, 0);
    chmod(page.c_str(), 0666);
    EXPECT_EQ(InChild([&] { return Save(page, newBytes); }), 1);
    EXPECT_EQ(StatOf(page).st_ino, inode);
    EXPECT_EQ(StatOf(page).st_uid, 0u);
    EXPECT_EQ(ReadAll(page), newBytes);

    // Two names: both see the new picture, through one inode.
    ASSERT_EQ(link(page.c_str(), (dir / "other").c_str()), 0);
    EXPECT_EQ(Save(page, oldBytes), 1);
    EXPECT_EQ(ReadAll(dir / "other"), oldBytes);
    unlink((dir / "other").c_str());

    // One name: replaced whole, carrying mode and attributes.
    chmod(page.c_str(), 0640);
    ASSERT_EQ(setxattr(page.c_str(), "user.comment", "kept", 4, 0), 0);
    EXPECT_EQ(Save(page, newBytes), 1);
    EXPECT_NE(StatOf(page).st_ino, inode);
    EXPECT_EQ(StatOf(page).st_mode & 07777, 0640u);
    char value[8] = {};
    EXPECT_EQ(getxattr(page.c_str(), "user.comment", value, sizeof value), 4);
    EXPECT_EQ(ReadAll(page), newBytes);

    // No temporary name longer than the target's is needed.
    EXPECT_EQ(Save(dir / std::string(NAME_MAX, 'p'), newBytes), 1);
    EXPECT_EQ(Save(std::string(PATH_MAX, '/'), newBytes), 0);
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"page", std::string(NAME_MAX, 'p')}));
}

TEST_F(ReplaceFile, ARewriteThatFailsHalfWayNeverEmptiesTheFile) {
    ASSERT_EQ(link(page.c_str(), (dir / "other").c_str()), 0);  // forces the rewrite in place
    const int saved = InChild(
        [&] {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{500, 500};
            setrlimit(RLIMIT_FSIZE, &limit);
            return Save(page, newBytes);
        },
        false);
    EXPECT_EQ(saved, 0) << "the save reports its failure";
    const auto now = ReadAll(page);
    ASSERT_EQ(now.size(), oldBytes.size()) << "not truncated before the new bytes were in";
    EXPECT_TRUE(std::equal(now.begin() + 1024, now.end(), oldBytes.begin() + 1024));
}

TEST_F(ReplaceFile, LinksAreFollowedToTheEndOnlyWhenSafe) {
    symlink("page", (dir / "l1").c_str());
    symlink((dir / "l1").c_str(), (dir / "l2").c_str());
    EXPECT_EQ(Save(dir / "l2", newBytes), 1);
    EXPECT_EQ(ReadAll(page), newBytes);

    // A loop and a chain longer than the kernel follows are failures.
    symlink("b", (dir / "a").c_str());
    symlink("a", (dir / "b").c_str());
    EXPECT_EQ(Save(dir / "b", newBytes), 0);
    const auto chainLink = [](int i) { return std::string(1, 'n').append(std::to_string(i)); };
    for (int i = 0; i < 45; ++i) symlink(chainLink(i + 1).c_str(), (dir / chainLink(i)).c_str());
    EXPECT_EQ(Save(dir / "n0", newBytes), 0);
    for (const auto& name : Entries(dir.path()))
        EXPECT_TRUE(name == "page" || S_ISLNK(StatOf(dir / name).st_mode)) << name << " was replaced by a file";

    // Another user's link in a sticky shared folder is not followed, even by root.
    TempDir shared;
    chmod(shared.path().c_str(), 01777);
    symlink(page.c_str(), (shared / "bait").c_str());
    lchown((shared / "bait").c_str(), Nobody, Nobody);
    EXPECT_EQ(Save(shared / "bait", oldBytes), 0);
    EXPECT_EQ(ReadAll(page), newBytes);
}

TEST_F(ReplaceFile, AKilledSaveLeavesTheWholeOldOrWholeNewFileAndNothingElse) {
  // Renamed into place (one name), then rewritten in place (two names).
  for (const bool secondName : {false, true}) {
    const auto a = Pattern(1024, 3), b = Pattern(1024, 4);
    WriteAll(page, a);
    TempDir elsewhere;
    if (secondName) {
        ASSERT_EQ(link(page.c_str(), (elsewhere / "other").c_str()), 0);
    }
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
        ASSERT_TRUE(now == a || now == b) << "torn after kill " << kills << (secondName ? " in place" : "");
        // A kill between naming the new file and the rename leaves that
        // name (about one kill in 200): the next save removes it.
        if (Entries(dir.path()).size() > 1) {
            ASSERT_EQ(Save(page, now), 1);
        }
        ASSERT_EQ(Entries(dir.path()), std::vector<std::string>{"page"}) << "left behind after kill " << kills;
    }
    EXPECT_GE(kills, 50);
  }
}

TEST_F(ReplaceFile, NoLinkOnThePathLetsAnotherUserRedirectAPrivilegedSave) {
    // Root's private folder and file, and a shared sticky folder like /tmp.
    TempDir priv, shared;
    chmod(priv.path().c_str(), 0700);
    const std::string secret = priv / "secret";
    WriteAll(secret, oldBytes);
    chmod(secret.c_str(), 0600);
    chmod(shared.path().c_str(), 01777);

    // A link to a folder, on the way to the file, made by another user.
    ASSERT_EQ(InChild([&] { return symlink(priv.path().c_str(), (shared / "dirlink").c_str()) == 0 ? 0 : 1; }), 0);
    EXPECT_EQ(Save(shared / "dirlink/secret", newBytes), 0);
    EXPECT_EQ(ReadAll(secret), oldBytes);
    // Root's own link there is followed as before.
    symlink(priv.path().c_str(), (shared / "mine").c_str());
    EXPECT_EQ(Save(shared / "mine/secret", oldBytes), 1);

    // The other user swaps a link to the secret in and out under root's saves.
    const pid_t swapper = fork();
    if (swapper == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0) _exit(99);
        const std::string out = shared / "out", bait = shared / "bait";
        for (;;) {
            symlink(secret.c_str(), bait.c_str());
            rename(bait.c_str(), out.c_str());
            const int fd = open(bait.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (fd >= 0) close(fd);
            rename(bait.c_str(), out.c_str());
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int saves = 0;
    while (std::chrono::steady_clock::now() < deadline) saves += Save(shared / "out", newBytes);
    kill(swapper, SIGKILL);
    waitpid(swapper, nullptr, 0);
    EXPECT_EQ(ReadAll(secret), oldBytes) << "the private file was written through a swapped link";
    EXPECT_GT(saves, 0) << "some saves found the other user's plain file and wrote it";
}

TEST_F(ReplaceFile, ARewriteOnAFullDiskFailsBeforeTouchingTheOldFile) {
    // A small file system of its own, in a mount namespace of a child.
    TempDir mountPoint;
    const int result = InChild(
        [&] {
            if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("tmpfs", mountPoint.path().c_str(), "tmpfs", 0, "size=64k") != 0)
                return 77;
            const std::string small = mountPoint / "page", second = mountPoint / "second";
            WriteAll(small, Pattern(3000, 5));
            if (link(small.c_str(), second.c_str()) != 0) return 10;
            // Fill the disk to the last block.
            const int fd = open((mountPoint / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
            const std::vector<std::uint8_t> block(4096, 1);
            while (write(fd, block.data(), block.size()) > 0) {
            }
            close(fd);
            if (Save(small, Pattern(20000, 6)) != 0) return 11;
            if (ReadAll(small) != Pattern(3000, 5) || ReadAll(second) != Pattern(3000, 5)) return 12;
            unlink((mountPoint / "filler").c_str());
            if (Save(small, Pattern(20000, 6)) != 1 || ReadAll(second) != Pattern(20000, 6)) return 13;
            return 0;
        },
        false);
    if (result == 77) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(result, 0) << "10: no link, 11: the save succeeded, 12: the old file changed, 13: no room later";
}

TEST_F(ReplaceFile, LeftoversAreRemovedOnlyWhenNoWriterHoldsThem) {
    // A writer in another PID namespace holds its temporary: its process id
    // means nothing here (it is one no process of ours has).
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string held = dir / (".vornel-" + std::to_string(dead) + "-abc123");
    WriteAll(held, Pattern(10));
    const std::string command = "unshare -p -f --kill-child flock -x '" + held + "' sleep 30 & echo $!";
    FILE* started = popen(command.c_str(), "r");
    int holder = 0;
    ASSERT_EQ(fscanf(started, "%d", &holder), 1);
    pclose(started);
    bool locked = false;
    for (int i = 0; i < 100 && !locked; ++i, usleep(20000))
        locked = std::system(("flock -n -x '" + held + "' true").c_str()) != 0;
    if (!locked) {
        kill(holder, SIGKILL);
        GTEST_SKIP() << "no PID namespace here";
    }

    // Look-alikes, another user's name, a link: never ours to remove.
    const std::string other = dir / ".vornel-1-zzz999", longer = dir / ".vornel-12-abcdefg",
                      suffixed = dir / ".vornel-12-abcdef.png", linked = dir / ".vornel-12-lnk000";
    for (const auto& p : {other, longer, suffixed}) WriteAll(p, Pattern(5));
    chown(other.c_str(), Nobody, Nobody);
    symlink(page.c_str(), linked.c_str());
    const std::string stale = dir / ".vornel-12-stale0";
    WriteAll(stale, Pattern(5));

    EXPECT_EQ(Save(page, newBytes), 1);
    EXPECT_TRUE(Exists(held)) << "a live writer's temporary was deleted";
    EXPECT_FALSE(Exists(stale)) << "nobody holds it: left by a killed writer";
    for (const auto& p : {other, longer, suffixed, linked}) EXPECT_TRUE(Exists(p)) << p;

    kill(holder, SIGKILL);
    std::system(("while flock -n -x '" + held + "' true; [ $? -ne 0 ]; do sleep 0.05; done").c_str());
    EXPECT_EQ(Save(page, oldBytes), 1);
    EXPECT_FALSE(Exists(held)) << "the writer is gone now";
}

TEST(OpenForReading, DevicesAreReadWithoutWaiting) {
    runtime::InitFiles();
    std::uint8_t page[1024];
    ASSERT_NE(runtime::OpenForReading(0, "/dev/ptmx"), 0);  // a terminal with nothing typed
    EXPECT_EQ(runtime::ReadBytes(0, page, sizeof page), 0u);
    ASSERT_NE(runtime::OpenForReading(0, "/dev/zero"), 0);
    EXPECT_EQ(runtime::ReadBytes(0, page, sizeof page), sizeof page);
    runtime::CloseFileObject(0);
    EXPECT_EQ(runtime::OpenFileWithMode(0, "", 0, 0), 0);
    EXPECT_EQ(runtime::ReadBytes(0, page, 1), 0u) << "mode 0 leaves nothing open under the number";
    runtime::CloseAllFiles();
}
