#include "base/SafeFile.h"

#include "tests/support/DiskFull.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// What a flush saw: the file or folder flushed, its size, and what the saved path held then.
struct SyncEvent {
    std::string path;
    bool folder = false;
    off_t size = 0;
    std::string target;
};

std::string g_syncTarget;
std::vector<SyncEvent> g_syncs;

int RecordSync(int fd) {
    SyncEvent e;
    char link[PATH_MAX] = {};
    const ssize_t n =
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link - 1);
    if (n > 0)
        e.path.assign(link, static_cast<size_t>(n));
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        e.folder = S_ISDIR(st.st_mode);
        e.size = st.st_size;
    }
    e.target = ReadFileText(g_syncTarget);
    g_syncs.push_back(e);
    return ::fsync(fd);
}

} // namespace

TEST(SafeFile, WritesANewFileWithExactlyTheGivenMode) {
    TempDir dir;
    const mode_t oldMask = ::umask(077);
    const std::string data = "hello";
    EXPECT_TRUE(tk::WriteFileAtomically(dir.File("a.dat"), data.data(), data.size(), 0644));
    ::umask(oldMask);
    EXPECT_EQ(ReadFileText(dir.File("a.dat")), "hello");
    EXPECT_EQ(ModeOf(dir.File("a.dat")), 0644u);
    EXPECT_TRUE(tk::WriteFileAtomically(dir.File("b.dat"), data.data(), data.size(), 0600));
    EXPECT_EQ(ModeOf(dir.File("b.dat")), 0600u);
}

TEST(SafeFile, ReplacesTheOldFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    WriteFileBytes(dir.File("a.dat"), {1, 2, 3});
    tk::CSafeFileWriter w;
    ASSERT_TRUE(w.Open(dir.File("a.dat")));
    ASSERT_TRUE(w.Write("ab", 2));
    ASSERT_TRUE(w.Write("cd", 2));
    // Until the commit the old file is what a reader sees.
    EXPECT_EQ(ReadFileBytes(dir.File("a.dat")), (std::vector<uint8_t>{1, 2, 3}));
    ASSERT_TRUE(w.Commit());
    EXPECT_EQ(ReadFileText(dir.File("a.dat")), "abcd");
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"a.dat"});
}

TEST(SafeFile, AnAbandonedSaveLeavesTheOldFile) {
    TempDir dir;
    WriteFileBytes(dir.File("a.dat"), {7});
    {
        tk::CSafeFileWriter w;
        ASSERT_TRUE(w.Open(dir.File("a.dat")));
        ASSERT_TRUE(w.Write("new", 3));
    }
    EXPECT_EQ(ReadFileBytes(dir.File("a.dat")), std::vector<uint8_t>{7});
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"a.dat"});
}

TEST(SafeFile, AFullDiskInTheMiddleOfASaveLeavesTheOldFile) {
    TempDir dir;
    WriteFileBytes(dir.File("a.dat"), {9, 9, 9});
    const int status = RunWithFileSizeLimit(100, [&dir] {
        tk::CSafeFileWriter w;
        if (!w.Open(dir.File("a.dat")))
            return 2;
        const std::string big(1000, 'x');
        const bool wrote = w.Write(big.data(), big.size());
        const bool committed = w.Commit();
        return !wrote && !committed && w.Error() != 0 ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("a.dat")), (std::vector<uint8_t>{9, 9, 9}));
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"a.dat"});
}

TEST(SafeFile, SaveIntoAMissingFolderFails) {
    TempDir dir;
    tk::CSafeFileWriter w;
    EXPECT_FALSE(w.Open(dir.File("missing/a.dat")));
    EXPECT_NE(w.Error(), 0);
    EXPECT_FALSE(w.Write("x", 1));
    EXPECT_FALSE(w.Commit());
}

TEST(SafeFile, EnsureFolderCreatesOnlyWhatIsMissing) {
    TempDir dir;
    EXPECT_TRUE(tk::EnsureFolder(dir.File("Data")));
    EXPECT_TRUE(tk::EnsureFolder(dir.File("Data")));
    WriteFileBytes(dir.File("plain"), {1});
    EXPECT_FALSE(tk::EnsureFolder(dir.File("plain")));
    EXPECT_FALSE(tk::EnsureFolder(dir.File("no/such/parent")));
}

TEST(SafeFile, ASymbolicLinkStaysALinkToTheNewContent) {
    TempDir dir;
    WriteFileBytes(dir.File("real.dat"), {1});
    ASSERT_EQ(::symlink(dir.File("real.dat").c_str(), dir.File("link.dat").c_str()), 0);
    ASSERT_TRUE(tk::WriteFileAtomically(dir.File("link.dat"), "xy", 2));
    struct stat st {};
    ASSERT_EQ(::lstat(dir.File("link.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFileText(dir.File("real.dat")), "xy");
}

TEST(SafeFile, ADamagedFileIsKeptBesideItself) {
    TempDir dir;
    WriteFileBytes(dir.File("SMS.dat"), {2, 0, 0, 0, 9});
    const std::string copy = tk::PreserveDamagedFile(dir.File("SMS.dat"));
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(copy.rfind(dir.File("SMS.dat.damaged-"), 0), 0u) << copy;
    EXPECT_EQ(ReadFileBytes(copy), (std::vector<uint8_t>{2, 0, 0, 0, 9}));
    EXPECT_NE(tk::PreserveDamagedFile(dir.File("SMS.dat")), copy); // never over an older copy
    EXPECT_TRUE(tk::PreserveDamagedFile(dir.File("missing.dat")).empty());
}

// After a power cut the new file must be complete or the old one still there: the temporary
// file is written and flushed before it replaces the old one, and the folder is flushed
// after the rename.
TEST(SafeFile, TheNewFileIsFlushedBeforeTheRenameAndTheFolderAfterIt) {
    TempDir dir;
    char* real = ::realpath(dir.Path().c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    const std::string folder = real;
    std::free(real);
    g_syncTarget = folder + "/a.dat";
    g_syncs.clear();
    WriteFileBytes(g_syncTarget, {'o', 'l', 'd'});
    const tk::SyncFunction previous = tk::ReplaceSyncFunction(RecordSync);
    const bool saved = tk::WriteFileAtomically(g_syncTarget, "new content", 11);
    tk::ReplaceSyncFunction(previous);
    ASSERT_TRUE(saved);
    ASSERT_EQ(g_syncs.size(), 2u);
    EXPECT_EQ(g_syncs[0].path.rfind(g_syncTarget + ".tmp.", 0), 0u) << g_syncs[0].path;
    EXPECT_FALSE(g_syncs[0].folder);
    EXPECT_EQ(g_syncs[0].size, 11);      // written before its flush
    EXPECT_EQ(g_syncs[0].target, "old"); // and flushed before the rename
    EXPECT_EQ(g_syncs[1].path, folder);
    EXPECT_TRUE(g_syncs[1].folder);
    EXPECT_EQ(g_syncs[1].target, "new content"); // the folder after the rename
}
