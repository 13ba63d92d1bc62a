#include <gtest/gtest.h>
#include <QApplication>

#include "tests/support/Sandbox.h"

int main(int argc, char** argv) {
    testenv::IsolateProcess();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
