// What the whole-file read and write must do on every platform: bytes stay bytes (no
// line-end translation, no end at 0x1A), an existing file is replaced, a device is
// refused, and a folder whose CP932 name ends in the byte of "\" is a folder like any other.
#include "platform/atomicfile.h"
#include "platform/cp932.h"
#include "platform/curdir.h"
#include "platform/pathsplit.h"
#include "support/testfolder.h"
#include "support/testsys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using platform::PathKind;

namespace {

// The folder's path as CP932 bytes, as the tool holds paths (the temporary folder's name
// is plain ASCII on both systems).
std::string cp932Path(const fs::path &p)
{
    return p.string();
}

const std::string kAwkward = std::string("\x1A\r\n\n\r\x1A\0\xFF", 8) + "MFPconfig\r\n";

} // namespace

TEST(WholeFile, BytesRoundTripAndAnExistingFileIsReplaced)
{
    const fs::path dir = testfolder::fresh("qv-whole");
    const std::string path = cp932Path(dir / "a.bin");
    ASSERT_TRUE(platform::writeFileAtomically(path, "old content, longer than the new one"));
    ASSERT_TRUE(platform::writeFileAtomically(path, kAwkward));
    std::string back;
    ASSERT_TRUE(platform::readWholeFile(path, back, 1024));
    EXPECT_EQ(back, kAwkward);
    EXPECT_EQ(fs::file_size(dir / "a.bin"), kAwkward.size());
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_EQ(platform::pathKind(path), PathKind::RegularFile);
    fs::remove_all(dir);
}

TEST(WholeFile, FoldersNamedWithTrailBytesOfBackslash)
{
    // 表 is 95 5C and ソ is 83 5C in CP932: their second byte is the byte of "\".
    const fs::path dir = testfolder::fresh("qv-whole");
    const std::string table = platform::cp932FromUtf8("表");
    const std::string so = platform::cp932FromUtf8("ソ");
    ASSERT_EQ(table, "\x95\x5C");
    ASSERT_EQ(so, "\x83\x5C");
    const std::string sep(1, char(fs::path::preferred_separator));
    const std::string folder = cp932Path(dir) + sep + table;
    const std::string file = folder + sep + so + ".csv";
    ASSERT_TRUE(platform::writeFileAtomically(folder + ".probe", "x")); // the parent is writable
    // Made through the tool's own write: the folder must exist first.
    EXPECT_FALSE(platform::writeFileAtomically(file, kAwkward));
    EXPECT_EQ(platform::pathKind(folder), PathKind::Missing);
    std::error_code ec;
#ifdef _WIN32
    fs::create_directory(fs::path(platform::widePathFromCp932(folder)), ec);
#else
    fs::create_directory(fs::path(folder), ec);
#endif
    ASSERT_FALSE(ec);
    ASSERT_TRUE(platform::writeFileAtomically(file, kAwkward));
    ASSERT_TRUE(platform::writeFileAtomically(file, kAwkward + "again"));
    std::string back;
    ASSERT_TRUE(platform::readWholeFile(file, back, 1024));
    EXPECT_EQ(back, kAwkward + "again");
    EXPECT_EQ(platform::pathKind(folder), PathKind::Folder);
    fs::remove_all(dir);
}

TEST(WholeFile, DevicesAndFoldersAreRefused)
{
    const fs::path dir = testfolder::fresh("qv-whole");
    std::string bytes = "kept";
    for (const std::string &path : {testsys::endlessDevice(), cp932Path(dir)}) {
        EXPECT_FALSE(platform::readWholeFile(path, bytes, 1024)) << path;
        EXPECT_EQ(bytes, "kept") << path;
        EXPECT_FALSE(platform::writeFileAtomically(path, "x")) << path;
    }
    EXPECT_EQ(platform::pathKind(testsys::endlessDevice()), PathKind::Other);
    EXPECT_EQ(platform::pathKind(cp932Path(dir)), PathKind::Folder);
    EXPECT_EQ(platform::pathKind(cp932Path(dir / "missing")), PathKind::Missing);
    fs::remove_all(dir);
}

TEST(CurrentDirectory, AFolderNamedInCp932IsEnteredAndReadBack)
{
    const fs::path dir = testfolder::fresh("qv-whole");
    std::string before;
    ASSERT_TRUE(platform::currentDirectory(before));
    // ソ's second byte is the byte of "\".
    const std::string so = platform::cp932FromUtf8("ソ表");
    const std::string folder = cp932Path(dir) + std::string(1, char(fs::path::preferred_separator)) + so;
#ifdef _WIN32
    fs::create_directory(fs::path(platform::widePathFromCp932(folder)));
#else
    fs::create_directory(fs::path(folder));
#endif
    ASSERT_TRUE(platform::setCurrentDirectory(folder));
    std::string now;
    ASSERT_TRUE(platform::currentDirectory(now));
    EXPECT_TRUE(platform::isAbsolutePath(now)) << now;
    EXPECT_EQ(platform::nameOfPath(now, platform::kPathSeparators), so);
    // A file named without a folder lands in the current one.
    ASSERT_TRUE(platform::writeFileAtomically("here.csv", "x"));
    EXPECT_EQ(platform::pathKind(folder + std::string(1, char(fs::path::preferred_separator)) + "here.csv"),
              PathKind::RegularFile);
    ASSERT_TRUE(platform::setCurrentDirectory(before));
    EXPECT_FALSE(platform::setCurrentDirectory(cp932Path(dir / "missing")));
    EXPECT_FALSE(platform::isAbsolutePath("relative/x"));
    fs::remove_all(dir);
}

TEST(PathSplit, ASeparatorIsNeverTheSecondByteOfACharacter)
{
    struct Case {
        const char *path;
        const char *folder;
        const char *name;
    };
    const Case cases[] = {
        {"C:\\\x95\x5C\\\x83\x5C.csv", "C:\\\x95\x5C", "\x83\x5C.csv"}, // C:\表\ソ.csv
        {"\x95\x5C\x83\x5C.csv", ".", "\x95\x5C\x83\x5C.csv"}, // 表ソ.csv
        {"C:\\a.csv", "C:\\", "a.csv"},
        {"d/e\\f", "d/e", "f"},
        {"\\x", "\\", "x"},
        {"\x95\x5C\\", "\x95\x5C", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(platform::folderOfPath(c.path, "\\/"), c.folder) << c.path;
        EXPECT_EQ(platform::nameOfPath(c.path, "\\/"), c.name) << c.path;
    }
    EXPECT_EQ(platform::folderOfPath("/a/b", "/"), "/a");
    EXPECT_EQ(platform::folderOfPath("/b", "/"), "/");
}
