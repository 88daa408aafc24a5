// The whole program as a process: its exit status after each way of ending.
#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

int ExitStatusOf(const std::string& arguments) {
    const std::string command = std::string("\"") + STAND_IN_GAME + "\" " + arguments;
    const int status = std::system(command.c_str());
#ifdef _WIN32
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
#endif
}

TEST(ProcessTest, EscapeEndsWithStatusZero) {
    EXPECT_EQ(0, ExitStatusOf("escape-at 0"));
    EXPECT_EQ(0, ExitStatusOf("escape-at 5"));
}

TEST(ProcessTest, QuitRequestEndsWithStatusZero) {
    EXPECT_EQ(0, ExitStatusOf("quit-at 3"));
}

TEST(ProcessTest, FailedStartEndsWithMinusOne) {
#ifdef _WIN32
    EXPECT_EQ(-1, ExitStatusOf("init-fails"));
#else
    EXPECT_EQ(255, ExitStatusOf("init-fails"));
#endif
}

}  // namespace
