#include <gtest/gtest.h>

#include "tests/support/Sandbox.h"

int main(int argc, char** argv) {
    testenv::IsolateProcess();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
