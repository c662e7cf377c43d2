#include "base/SafeFile.h"

#include "tests/support/DiskFull.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>
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

// A new file gets the asked mode less the umask; a save over a file keeps the file's mode and
// group, so a file the user made private (it holds a PIN) never becomes readable again.
TEST(SafeFile, ANewFileFollowsTheUmaskASaveKeepsTheModeAndGroupOfTheOldFile) {
    TempDir dir;
    const std::string data = "hello";
    struct Case {
        mode_t umask;
        mode_t asked;
        mode_t existing; // 0: no file yet
        mode_t expected;
    };
    const Case cases[] = {
        {022, 0644, 0, 0644},    {077, 0644, 0, 0600},    {027, 0644, 0, 0640},
        {022, 0600, 0, 0600},    {022, 0644, 0600, 0600}, {022, 0600, 0640, 0640},
        {077, 0644, 0664, 0664},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir.File("f" + std::to_string(n++) + ".dat");
        if (c.existing != 0) {
            WriteFileBytes(path, {1});
            ASSERT_EQ(::chmod(path.c_str(), c.existing), 0);
        }
        const mode_t oldMask = ::umask(c.umask);
        EXPECT_EQ(tk::CurrentUmask(), c.umask);
        EXPECT_TRUE(tk::WriteFileAtomically(path, data.data(), data.size(), c.asked));
        ::umask(oldMask);
        EXPECT_EQ(ReadFileText(path), "hello");
        EXPECT_EQ(ModeOf(path), c.expected)
            << std::oct << c.umask << " " << c.asked << " " << c.existing;
    }
    if (::geteuid() == 0) { // only root may give a file away to any group
        const std::string path = dir.File("group.dat");
        WriteFileBytes(path, {1});
        ASSERT_EQ(::chown(path.c_str(), static_cast<uid_t>(-1), 4242), 0);
        EXPECT_TRUE(tk::WriteFileAtomically(path, data.data(), data.size(), 0600));
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_gid, 4242u);
    }
    // The program's folders are for the user alone.
    const mode_t oldMask = ::umask(022);
    EXPECT_TRUE(tk::EnsureFolder(dir.File("Data")));
    ::umask(oldMask);
    EXPECT_EQ(ModeOf(dir.File("Data")), 0700u);
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

// A link the user made is the user's choice: the file it points to gets the content and the
// link stays. A link planted where the program keeps its own file is refused, and nothing is
// written through it; so is a FIFO or device standing there.
TEST(SafeFile, AUserLinkIsFollowedAPlantedOneOrAFifoInTheProgramsFolderIsRefused) {
    TempDir dir;
    WriteFileBytes(dir.File("real.dat"), {1});
    ASSERT_EQ(::symlink(dir.File("real.dat").c_str(), dir.File("link.dat").c_str()), 0);
    ASSERT_TRUE(tk::WriteFileAtomically(dir.File("link.dat"), "xy", 2, 0644, tk::FileOwner::User));
    struct stat st {};
    ASSERT_EQ(::lstat(dir.File("link.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFileText(dir.File("real.dat")), "xy");

    ASSERT_EQ(::mkfifo(dir.File("fifo.dat").c_str(), 0600), 0);
    const struct {
        const char* name;
        int error;
    } refused[] = {{"link.dat", tk::kRefusedLink}, {"fifo.dat", tk::kRefusedKind}};
    for (const auto& r : refused) {
        tk::CSafeFileWriter w;
        EXPECT_FALSE(w.Open(dir.File(r.name), 0600)) << r.name;
        EXPECT_EQ(w.Error(), r.error) << r.name;
        EXPECT_FALSE(tk::WriteFileAtomically(dir.File(r.name), "zz", 2)) << r.name;
    }
    EXPECT_EQ(ReadFileText(dir.File("real.dat")), "xy");
    ASSERT_EQ(::lstat(dir.File("link.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::lstat(dir.File("fifo.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(ListFolder(dir.Path()),
              (std::vector<std::string>{"fifo.dat", "link.dat", "real.dat"}));
}

// An output that exists and is no regular file is written as a stream: /dev/null swallows the
// data and stays a device (also through a link to it), a FIFO's reader gets it and the FIFO
// stays, "-" is standard output. Nothing is renamed over them.
TEST(SafeFile, AUsersOutputThatIsNoRegularFileGetsTheDataAsAStream) {
    TempDir dir;
    ASSERT_EQ(::symlink("/dev/null", dir.File("null-link").c_str()), 0);
    for (const char* path : {"/dev/null", "null-link"}) {
        const std::string full = path[0] == '/' ? std::string(path) : dir.File(path);
        tk::CSafeFileWriter w;
        ASSERT_TRUE(w.Open(full, 0600, tk::FileOwner::User)) << path;
        EXPECT_TRUE(w.IsStream());
        EXPECT_TRUE(w.Write("PIN 1234", 8));
        EXPECT_TRUE(w.Commit()) << path;
    }
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(::lstat(dir.File("null-link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    const std::string fifo = dir.File("out.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = ReadFileText(fifo); });
    EXPECT_TRUE(tk::WriteFileAtomically(fifo, "through the fifo", 16, 0600, tk::FileOwner::User));
    reader.join();
    EXPECT_EQ(got, "through the fifo");
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int savedOut = ::dup(STDOUT_FILENO);
    ::dup2(pipeFds[1], STDOUT_FILENO);
    const bool written =
        tk::WriteFileAtomically("-", "to stdout", 9, 0600, tk::FileOwner::User) &&
        tk::WriteFileAtomically("/dev/stdout", " and its link", 13, 0600, tk::FileOwner::User);
    ::dup2(savedOut, STDOUT_FILENO);
    ::close(savedOut);
    ::close(pipeFds[1]);
    char buf[32] = {};
    const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
    ::close(pipeFds[0]);
    EXPECT_TRUE(written);
    EXPECT_EQ(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0), "to stdout and its link");
    EXPECT_FALSE(FileExists("-"));
}

// A save in progress shows nobody the PIN: its temporary file is the user's alone until the
// commit gives it its mode. One that a kill left behind is removed by the next save of the
// same file, one that another save is still writing is not. A forced mode wins over the
// looser mode of the file replaced.
TEST(SafeFile, TemporaryFilesArePrivateLeftoversAreRemovedAndACopyTakesItsSourcesMode) {
    TempDir dir;
    const std::string path = dir.File("a.cfg");
    WriteFileBytes(path, {1});
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    WriteFileBytes(path + ".tmp.AbC123", {9});
    ASSERT_EQ(::chmod((path + ".tmp.AbC123").c_str(), 0644), 0);
    WriteFileBytes(path + ".tmp.toolong", {9}); // not a name of ours

    tk::CSafeFileWriter live;
    ASSERT_TRUE(live.Open(path));
    std::vector<std::string> names = ListFolder(dir.Path());
    EXPECT_EQ(std::count(names.begin(), names.end(), "a.cfg.tmp.AbC123"), 0);
    std::string liveTmp;
    for (const std::string& name : names) {
        if (name.rfind("a.cfg.tmp.", 0) == 0 && name != "a.cfg.tmp.toolong")
            liveTmp = dir.File(name);
    }
    ASSERT_FALSE(liveTmp.empty());
    EXPECT_EQ(ModeOf(liveTmp), 0600u);

    tk::CSafeFileWriter other;
    ASSERT_TRUE(other.Open(path));
    EXPECT_TRUE(FileExists(liveTmp)) << "a save in progress lost its file";
    other.ForceMode(0600);
    ASSERT_TRUE(other.Write("x", 1));
    ASSERT_TRUE(other.Commit());
    EXPECT_EQ(ModeOf(path), 0600u);
    ASSERT_TRUE(live.Write("y", 1));
    ASSERT_TRUE(live.Commit());
    EXPECT_EQ(ModeOf(path), 0600u); // kept from the file it replaced
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"a.cfg", "a.cfg.tmp.toolong"}));
}

// A damaged file is copied once however often it is read; a file damaged anew gets a copy of
// its own beside the older one. Links, FIFOs and devices are not copied (nor waited on).
TEST(SafeFile, ADamagedFileIsKeptBesideItselfOnce) {
    TempDir dir;
    WriteFileBytes(dir.File("SMS.dat"), {2, 0, 0, 0, 9});
    ASSERT_EQ(::chmod(dir.File("SMS.dat").c_str(), 0644), 0);
    const std::string copy = tk::PreserveDamagedFile(dir.File("SMS.dat"), 1024);
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(copy.rfind(dir.File("SMS.dat.damaged-"), 0), 0u) << copy;
    EXPECT_EQ(ReadFileBytes(copy), (std::vector<uint8_t>{2, 0, 0, 0, 9}));
    EXPECT_EQ(ModeOf(copy), 0600u);
    EXPECT_EQ(tk::PreserveDamagedFile(dir.File("SMS.dat"), 1024), copy);
    EXPECT_EQ(ListFolder(dir.Path()).size(), 2u);

    WriteFileBytes(dir.File("SMS.dat"), {2, 0, 0, 0, 8}); // the same size, likely the same second
    const std::string second = tk::PreserveDamagedFile(dir.File("SMS.dat"), 1024);
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second, copy); // never over an older copy
    EXPECT_EQ(ReadFileBytes(copy), (std::vector<uint8_t>{2, 0, 0, 0, 9}));
    EXPECT_EQ(ReadFileBytes(second), (std::vector<uint8_t>{2, 0, 0, 0, 8}));
    // A huge file is copied up to what the program's largest file could hold, and once.
    WriteFileBytes(dir.File("big.dat"), {});
    ASSERT_EQ(::truncate(dir.File("big.dat").c_str(), 1l << 30), 0);
    const std::string big = tk::PreserveDamagedFile(dir.File("big.dat"), 1024);
    EXPECT_EQ(ReadFileBytes(big).size(), 1024u);
    EXPECT_EQ(tk::PreserveDamagedFile(dir.File("big.dat"), 1024), big);

    ASSERT_EQ(::mkfifo(dir.File("fifo.dat").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.File("zero.dat").c_str()), 0);
    EXPECT_TRUE(tk::PreserveDamagedFile(dir.File("fifo.dat"), 1024).empty());
    EXPECT_TRUE(tk::PreserveDamagedFile(dir.File("zero.dat"), 1024).empty());
    EXPECT_TRUE(tk::PreserveDamagedFile("/dev/zero", 1024).empty());
    EXPECT_TRUE(tk::PreserveDamagedFile(dir.File("missing.dat"), 1024).empty());
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
