#include <gtest/gtest.h>
#include <filesystem>
#include "tests/support/Sandbox.h"
TEST(Sandbox, MakesPrefixAndWorkDir) {
    testenv::Sandbox box;
    EXPECT_TRUE(std::filesystem::is_directory(box.WindowsDir() / "system32"));
    EXPECT_EQ(std::filesystem::current_path(), box.WorkDir());
}
