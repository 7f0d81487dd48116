#include <gtest/gtest.h>
#include <sys/stat.h>

#include "runtime/file_objects.h"
#include "test_files.h"

using namespace runtime;
using namespace testfiles;

class FileObjects : public ::testing::Test {
protected:
    void SetUp() override { InitFiles(); }
    void TearDown() override { CloseAllFiles(); }
    TempDir dir;
};

TEST_F(FileObjects, BufferedReadsAcrossRefills) {
    WriteAll(dir / "ten", Pattern(10));
    std::vector<std::uint8_t> buf(5000);
    ASSERT_NE(OpenForReading(0, dir / "ten"), 0);
    EXPECT_EQ(ReadBytes(0, buf.data(), 1024), 10u);
    EXPECT_EQ(std::vector<std::uint8_t>(buf.begin(), buf.begin() + 10), Pattern(10));
    EXPECT_EQ(ReadBytes(0, buf.data(), 1024), 0u);
    CloseFileObject(0);

    const auto big = Pattern(5000, 3);
    WriteAll(dir / "big", big);
    ASSERT_NE(OpenForReading(0, dir / "big"), 0);
    EXPECT_EQ(ReadBytes(0, buf.data(), 1024), 1024u);
    EXPECT_EQ(ReadBytes(0, buf.data() + 1024, 4000), 3976u);  // 3072 buffered + 904 from a second refill
    EXPECT_EQ(buf, big);

    // A request at least as long as the buffer bypasses it.
    ASSERT_NE(OpenForReading(1, dir / "big"), 0);
    std::vector<std::uint8_t> direct(5000);
    EXPECT_EQ(ReadBytes(1, direct.data(), 5000), 5000u);
    EXPECT_EQ(direct, big);
}

TEST_F(FileObjects, WritesStayBufferedUntilClose) {
    const auto page = Pattern(1024);
    ASSERT_NE(CreateForWriting(0, dir / "page"), 0);
    EXPECT_EQ(WriteBytes(0, page.data(), 1024), 1024u);
    EXPECT_FALSE(Exists(dir / "page")) << "a new file appears only when it is complete";
    EXPECT_EQ(CloseFileObject(0), 1);
    EXPECT_EQ(ReadAll(dir / "page"), page);

    // Long writes go straight through after the pending bytes.
    const auto head = Pattern(100, 1), body = Pattern(9000, 2);
    ASSERT_NE(CreateForWriting(0, dir / "long"), 0);
    EXPECT_EQ(WriteBytes(0, head.data(), head.size()), head.size());
    EXPECT_EQ(WriteBytes(0, body.data(), body.size()), body.size());
    EXPECT_EQ(WriteBytes(0, body.data(), 0), 0u);
    EXPECT_EQ(CloseFileObject(0), 1);
    auto expected = head;
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(ReadAll(dir / "long"), expected);
}

TEST_F(FileObjects, CreatingReplacesWholeFileAndKeepsItsMode) {
    WriteAll(dir / "old", Pattern(3000));
    chmod((dir / "old").c_str(), 0640);
    ASSERT_NE(CreateForWriting(0, dir / "old"), 0);
    EXPECT_EQ(ReadAll(dir / "old").size(), 3000u) << "the old file stays until the new one is complete";
    CloseFileObject(0);
    EXPECT_TRUE(ReadAll(dir / "old").empty());
    struct stat st;
    ASSERT_EQ(stat((dir / "old").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"old"}) << "no temporary file left";
}

TEST_F(FileObjects, ReadingThenWritingKeepsThePosition) {
    WriteAll(dir / "rw", Pattern(100));
    ASSERT_NE(OpenFileWithMode(0, dir / "rw", 2, 0), 0);
    std::uint8_t four[4];
    EXPECT_EQ(ReadBytes(0, four, 4), 4u);
    const std::uint8_t mark[2] = {0xAA, 0xBB};
    EXPECT_EQ(WriteBytes(0, mark, 2), 2u);  // lands at offset 4, not after the read-ahead
    EXPECT_EQ(ReadBytes(0, four, 1), 1u);   // flushes the write first
    EXPECT_EQ(four[0], Pattern(100)[6]);
    CloseFileObject(0);
    auto expected = Pattern(100);
    expected[4] = 0xAA;
    expected[5] = 0xBB;
    EXPECT_EQ(ReadAll(dir / "rw"), expected);
}

TEST_F(FileObjects, NumbersThatHoldNothingAndReopening) {
    std::uint8_t b[8] = {};
    EXPECT_EQ(ReadBytes(3, b, 8), 0u);
    EXPECT_EQ(WriteBytes(3, b, 8), 0u);
    EXPECT_EQ(CloseFileObject(3), 0);
    EXPECT_EQ(ReadBytes(-7, b, 8), 0u);
    EXPECT_EQ(ReadBytes(100000, b, 8), 0u);

    // Opening a number in use closes (and writes) the first object.
    ASSERT_NE(CreateForWriting(40, dir / "first"), 0);
    EXPECT_EQ(WriteBytes(40, "abc", 3), 3u);
    ASSERT_NE(CreateForWriting(40, dir / "second"), 0);
    EXPECT_EQ(ReadAll(dir / "first"), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
    // A failed open leaves the number free.
    EXPECT_EQ(OpenForReading(40, dir / "missing"), 0);
    EXPECT_EQ(WriteBytes(40, "x", 1), 0u);
}

TEST_F(FileObjects, RefusesWhatIsNotAFileAndReportsFailedWrites) {
    EXPECT_EQ(OpenForReading(0, dir.path()), 0);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(OpenForReading(0, dir / "pipe"), 0) << "must not block on a pipe";
    EXPECT_EQ(CreateForWriting(0, dir / "pipe"), 0) << "a pipe without a reader is refused";
    EXPECT_EQ(CreateForWriting(0, dir / "missing/page"), 0);
    EXPECT_EQ(CreateForWriting(0, dir.path()), 0);
    EXPECT_FALSE(Exists(dir / "missing"));

    ASSERT_NE(CreateForWriting(0, "/dev/full"), 0);
    const auto page = Pattern(1024);
    EXPECT_EQ(WriteBytes(0, page.data(), 1024), 1024u);  // buffered
    EXPECT_EQ(CloseFileObject(0), 0) << "the bytes never reached the device";
    EXPECT_TRUE(Exists("/dev/full"));
}

TEST_F(FileObjects, SymbolicLinkReplacesItsTarget) {
    WriteAll(dir / "target", Pattern(10));
    ASSERT_EQ(symlink("target", (dir / "link").c_str()), 0);
    ASSERT_NE(CreateForWriting(0, dir / "link"), 0);
    WriteBytes(0, "new", 3);
    EXPECT_EQ(CloseFileObject(0), 1);
    struct stat st;
    ASSERT_EQ(lstat((dir / "link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadAll(dir / "target"), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
}
