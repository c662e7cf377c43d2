#include "base/ProgramFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <unistd.h>

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutableUntilSetOtherwise) {
    char exe[PATH_MAX] = {};
    ASSERT_GT(::readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    std::string expected(exe);
    expected.erase(expected.rfind('/'));
    EXPECT_EQ(tk::ProgramFolder(), expected);
    EXPECT_EQ(tk::ProgramFile("Profile.dat"), expected + "/Profile.dat");

    tk::SetProgramFolder("/tmp/somewhere/");
    EXPECT_EQ(tk::ProgramFolder(), "/tmp/somewhere");
    EXPECT_EQ(tk::DataFolder(), "/tmp/somewhere/Data");
    EXPECT_EQ(tk::DataFile("SMS.dat"), "/tmp/somewhere/Data/SMS.dat");
}
