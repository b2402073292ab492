#include "platform/atomicfile.h"
#include "support/testfolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr size_t kLimit = 1 << 20;
using testfolder::asOrdinaryUser;
using testfolder::asRoot;
using testfolder::giveToOrdinaryUser;
using testfolder::kNobody;

std::string contentOf(const fs::path &path)
{
    std::string bytes;
    return platform::readWholeFile(path.string(), bytes, kLimit) ? bytes : "<unreadable>";
}

struct stat statOf(const fs::path &path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

size_t entries(const fs::path &dir)
{
    return size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

} // namespace

TEST(AtomicFile, ReplacesContentAndLeavesNoTemporary)
{
    const fs::path dir = testfolder::fresh("qv-atomic");
    const std::string path = (dir / "a.txt").string();
    ASSERT_TRUE(platform::writeFileAtomically(path, "first\r\n"));
    ASSERT_TRUE(platform::writeFileAtomically(path, std::string("x\0y", 3)));
    EXPECT_EQ(contentOf(path), std::string("x\0y", 3));
    EXPECT_EQ(entries(dir), 1u);
    fs::remove_all(dir);
}

TEST(AtomicFile, FailedWriteKeepsPreviousFileWhole)
{
    const fs::path dir = testfolder::fresh("qv-atomic");
    const std::string path = (dir / "a.txt").string();
    ASSERT_TRUE(platform::writeFileAtomically(path, "old"));

    // A file-size limit makes the write fail part-way, as a full disk would (and unlike
    // folder permissions it also holds for root).
    const bool written = testfolder::withFileSizeLimit(16, [&] { return platform::writeFileAtomically(path, std::string(4096, 'n')); });

    EXPECT_FALSE(written);
    EXPECT_EQ(contentOf(path), "old");
    EXPECT_EQ(entries(dir), 1u) << "the temporary file must not be left behind";
    fs::remove_all(dir);
}

// A writer killed part-way (the program ended at once on a signal, a crash, a power cut)
// leaves at most its hidden temporary file: the target holds one whole content or the
// other, and the next write goes through beside the stray temporary.
TEST(AtomicFile, WriterKilledPartWayLeavesNoHalfFileAndTheNextWriteWorks)
{
    const fs::path dir = testfolder::fresh("qv-atomic");
    const std::string path = (dir / "a.txt").string();
    const std::string a(4 << 20, 'a'), b(4 << 20, 'b');
    auto strays = [&] {
        size_t n = 0;
        for (const auto &e : fs::directory_iterator(dir))
            n += e.path().filename().string().rfind(".a.txt.", 0) == 0 ? 1 : 0;
        return n;
    };
    // Until a kill lands between the temporary's creation and its rename.
    for (int attempt = 0; attempt < 50 && strays() == 0; ++attempt) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                (void)platform::writeFileAtomically(path, i % 2 ? b : a);
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (strays() == 0 && std::chrono::steady_clock::now() < until)
            ::usleep(100);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (fs::exists(path)) {
            const std::string now = contentOf(path);
            EXPECT_TRUE(now == a || now == b) << "a half-written file of " << now.size() << " bytes";
        }
    }
    ASSERT_GT(strays(), 0u) << "no kill landed mid-write";
    EXPECT_TRUE(platform::writeFileAtomically(path, "next"));
    EXPECT_EQ(contentOf(path), "next");
    fs::remove_all(dir);
}

TEST(AtomicFile, ReadOnlyFileOrFolderAtThePathIsNotReplaced)
{
    const fs::path dir = testfolder::fresh("qv-atomic");
    fs::create_directories(dir / "sub");
    const std::string path = (dir / "a.txt").string();
    ASSERT_TRUE(platform::writeFileAtomically(path, "old"));
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(platform::writeFileAtomically(path, "new"));
    EXPECT_FALSE(platform::writeFileAtomically((dir / "sub").string(), "new"));
    EXPECT_EQ(contentOf(path), "old");
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    fs::remove_all(dir);
}

// The case of a root-owned header in a folder everyone may write: renaming over it would
// work, but a plain write is refused, and so is the replacement. (Running as an ordinary
// user, a file of one's own without write permission for its owner stands in for it.)
TEST(AtomicFile, FileTheUserMayNotWriteIsRefusedInAWritableFolder)
{
    const fs::path dir = testfolder::fresh("qv-atomic");
    ::chmod(dir.c_str(), 0777);
    const fs::path header = dir / "Shop.H";
    std::ofstream(header) << "old";
    ::chmod(header.c_str(), asRoot() ? 0644 : 0066);
    const std::optional<bool> written =
        asOrdinaryUser([&] { return platform::writeFileAtomically(header.string(), "new"); });
    ASSERT_TRUE(written.has_value());
    EXPECT_FALSE(*written);
    ::chmod(header.c_str(), 0644);
    EXPECT_EQ(contentOf(header), "old");
    EXPECT_EQ(entries(dir), 1u);
    fs::remove_all(dir);
}

TEST(AtomicFile, WritesThroughSymbolicLinksToTheirTarget)
{
    const fs::path dir = testfolder::fresh("qv-atomic");
    fs::create_directories(dir / "real");
    const fs::path target = dir / "real" / "quorvel.ini";
    std::ofstream(target) << "old";
    fs::create_symlink("real/quorvel.ini", dir / "link.ini");   // relative to its folder
    fs::create_symlink(dir / "link.ini", dir / "chain.ini");    // a link to a link
    ASSERT_TRUE(platform::writeFileAtomically((dir / "chain.ini").string(), "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.ini"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(contentOf(target), "new");
    EXPECT_EQ(entries(dir / "real"), 1u);

    // A link to a missing file creates that file; a loop of links fails.
    fs::create_symlink("real/new.slp", dir / "dangling.slp");
    ASSERT_TRUE(platform::writeFileAtomically((dir / "dangling.slp").string(), "made"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.slp"));
    EXPECT_EQ(contentOf(dir / "real" / "new.slp"), "made");
    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");
    EXPECT_FALSE(platform::writeFileAtomically((dir / "loop1").string(), "x"));
    fs::remove_all(dir);
}

TEST(AtomicFile, ReplacedFileKeepsItsPermissionsOwnerAndGroup)
{
    const fs::path dir = testfolder::fresh("qv-atomic");
    const fs::path path = dir / "shoplogo.imp";
    std::ofstream(path) << "old";
    ::chmod(path.c_str(), 0640);
    if (asRoot()) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
    const struct stat before = statOf(path);
    ASSERT_TRUE(platform::writeFileAtomically(path.string(), "new"));
    const struct stat after = statOf(path);
    EXPECT_EQ(contentOf(path), "new");
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced as a whole, not rewritten";

    // A new file gets 0666 less the umask.
    const mode_t mask = ::umask(027);
    ASSERT_TRUE(platform::writeFileAtomically((dir / "fresh").string(), "x"));
    ::umask(mask);
    EXPECT_EQ(statOf(dir / "fresh").st_mode & 07777, 0640u);
    fs::remove_all(dir);
}

TEST(AtomicFile, FolderWithoutRoomForANewFileIsWrittenInPlace)
{
    const fs::path dir = testfolder::fresh("qv-atomic");
    const fs::path path = dir / "quorvel.ini";
    std::ofstream(path) << "[PC]\r\nCOMPORT=COM1\r\n";
    giveToOrdinaryUser(path);
    ::chmod(dir.c_str(), 0555);
    const ino_t inode = statOf(path).st_ino;
    const std::optional<bool> written =
        asOrdinaryUser([&] { return platform::writeFileAtomically(path.string(), "[PC]\r\nCOMPORT=COM2\r\n"); });
    const std::optional<bool> created =
        asOrdinaryUser([&] { return platform::writeFileAtomically((dir / "new.ini").string(), "x"); });
    ::chmod(dir.c_str(), 0755);
    ASSERT_TRUE(written.has_value() && created.has_value());
    EXPECT_TRUE(*written);
    EXPECT_EQ(contentOf(path), "[PC]\r\nCOMPORT=COM2\r\n");
    EXPECT_EQ(statOf(path).st_ino, inode);
    EXPECT_FALSE(*created);
    EXPECT_EQ(entries(dir), 1u);
    fs::remove_all(dir);
}

TEST(AtomicFile, MissingFolderFails)
{
    EXPECT_FALSE(platform::writeFileAtomically("/nonexistent-qv-dir/x.txt", "a"));
    std::string b;
    EXPECT_FALSE(platform::readWholeFile("/nonexistent-qv-dir/x.txt", b, kLimit));
}

// Only regular files up to the limit are read; a FIFO without a writer is refused at once
// instead of waited on, a device is never read from.
TEST(ReadWholeFile, TakesOnlyRegularFilesUpToTheLimit)
{
    const fs::path dir = testfolder::fresh("qv-read");
    const fs::path file = dir / "a.slp";
    std::ofstream(file) << std::string(100, 'a');
    fs::create_symlink("a.slp", dir / "link.slp");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directories(dir / "folder");

    std::string bytes = "kept";
    EXPECT_FALSE(platform::readWholeFile((dir / "fifo").string(), bytes, kLimit));
    EXPECT_FALSE(platform::readWholeFile("/dev/zero", bytes, kLimit));
    EXPECT_FALSE(platform::readWholeFile((dir / "folder").string(), bytes, kLimit));
    EXPECT_FALSE(platform::readWholeFile(file.string(), bytes, 99));
    EXPECT_FALSE(platform::readWholeFile("", bytes, kLimit));
    EXPECT_EQ(bytes, "kept");

    ASSERT_TRUE(platform::readWholeFile(file.string(), bytes, 100));
    EXPECT_EQ(bytes, std::string(100, 'a'));
    ASSERT_TRUE(platform::readWholeFile((dir / "link.slp").string(), bytes, kLimit));
    EXPECT_EQ(bytes.size(), 100u);

    // A large file is refused by its size, without reading it (it is sparse here).
    const fs::path big = dir / "big.bmp";
    std::ofstream(big).close();
    fs::resize_file(big, uintmax_t(1) << 32);
    EXPECT_FALSE(platform::readWholeFile(big.string(), bytes, kLimit));
    fs::remove_all(dir);
}
