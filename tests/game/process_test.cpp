// The whole program as a process: its exit status after each way of ending.
#include <gtest/gtest.h>

#include <string>

#include "test_processes.h"

namespace {

// 0 to 255 on every system: -1 is 255.
int ExitStatusOf(const std::string& arguments) {
    return testprocesses::RunShell(std::string("\"") + STAND_IN_GAME + "\" " + arguments);
}

TEST(ProcessTest, EscapeEndsWithStatusZero) {
    EXPECT_EQ(0, ExitStatusOf("escape-at 0"));
    EXPECT_EQ(0, ExitStatusOf("escape-at 5"));
}

TEST(ProcessTest, QuitRequestEndsWithStatusZero) {
    EXPECT_EQ(0, ExitStatusOf("quit-at 3"));
}

TEST(ProcessTest, FailedStartEndsWithMinusOne) {
    EXPECT_EQ(255, ExitStatusOf("init-fails"));
}

}  // namespace
