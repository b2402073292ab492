#pragma once
// Folders for GoogleTest tests: a fresh one named after the running test, and a private
// runtime folder inside it for instance guards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace testfolder {

inline std::filesystem::path fresh(const std::string &prefix)
{
    const auto dir = std::filesystem::temp_directory_path() /
                     (prefix + "-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::filesystem::path runtime(const std::filesystem::path &dir)
{
    const auto run = dir / "run";
    std::filesystem::create_directories(run);
    ::chmod(run.c_str(), 0700);
    return run;
}

} // namespace testfolder
