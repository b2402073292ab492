#include "platform/atomicfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(AtomicFile, ReplacesContentAndLeavesNoTemporary)
{
    fs::path dir = fs::temp_directory_path() / ("qv-atomic-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "a.txt").string();
    ASSERT_TRUE(platform::writeFileAtomically(path, "first\r\n"));
    ASSERT_TRUE(platform::writeFileAtomically(path, std::string("x\0y", 3)));
    std::string back;
    ASSERT_TRUE(platform::readWholeFile(path, back));
    EXPECT_EQ(back, std::string("x\0y", 3));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}

TEST(AtomicFile, FailedWriteKeepsPreviousFileWhole)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    fs::path dir = fs::temp_directory_path() / ("qv-atomic-ro-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "a.txt").string();
    ASSERT_TRUE(platform::writeFileAtomically(path, "old"));
    ::chmod(dir.c_str(), 0500);
    EXPECT_FALSE(platform::writeFileAtomically(path, "new"));
    ::chmod(dir.c_str(), 0700);
    std::string back;
    ASSERT_TRUE(platform::readWholeFile(path, back));
    EXPECT_EQ(back, "old");
    fs::remove_all(dir);
}

TEST(AtomicFile, MissingFolderFails)
{
    EXPECT_FALSE(platform::writeFileAtomically("/nonexistent-qv-dir/x.txt", "a"));
    std::string b;
    EXPECT_FALSE(platform::readWholeFile("/nonexistent-qv-dir/x.txt", b));
}
