// What only our POSIX layer does: heap failure on request, debugger output on
// stderr in the terminal's character set, and the exit status of ExitProcess.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "heap_faults.h"
#include "kernel32.h"

namespace {

using ::testing::ExitedWithCode;

// --- Heap failure injection ---------------------------------------------------

class HeapFailureTest : public testing::Test {
  protected:
    void TearDown() override { PosixHeapFailAfter(-1); }
    HANDLE heap_ = GetProcessHeap();
};

TEST_F(HeapFailureTest, FailsAfterTheGivenNumberOfSuccesses) {
    PosixHeapFailAfter(2);
    void* first = HeapAlloc(heap_, 0, 16);
    void* second = HeapAlloc(heap_, HEAP_ZERO_MEMORY, 16);
    EXPECT_NE(nullptr, first);
    EXPECT_NE(nullptr, second);
    EXPECT_EQ(nullptr, HeapAlloc(heap_, 0, 16));
    EXPECT_EQ(nullptr, HeapAlloc(heap_, HEAP_ZERO_MEMORY, 1));
    // Freeing still works while allocation fails.
    EXPECT_TRUE(HeapFree(heap_, 0, first));
    EXPECT_TRUE(HeapFree(heap_, 0, second));
    PosixHeapFailAfter(-1);
    void* again = HeapAlloc(heap_, 0, 16);
    EXPECT_NE(nullptr, again);
    EXPECT_TRUE(HeapFree(heap_, 0, again));
}

TEST_F(HeapFailureTest, FailedReAllocKeepsTheOldBlock) {
    auto* block = static_cast<char*>(HeapAlloc(heap_, 0, 8));
    ASSERT_NE(nullptr, block);
    std::memcpy(block, "kept!!!", 8);
    PosixHeapFailAfter(0);
    EXPECT_EQ(nullptr, HeapReAlloc(heap_, 0, block, 4096));
    EXPECT_EQ(nullptr, HeapReAlloc(heap_, 0, block, 2));
    PosixHeapFailAfter(-1);
    // Still our block, contents and all (ASan would object to a freed one).
    EXPECT_STREQ("kept!!!", block);
    block = static_cast<char*>(HeapReAlloc(heap_, 0, block, 4096));
    ASSERT_NE(nullptr, block);
    EXPECT_STREQ("kept!!!", block);
    EXPECT_TRUE(HeapFree(heap_, 0, block));
}

TEST_F(HeapFailureTest, CountsSuccessesAcrossThreads) {
    constexpr int kAllowed = 1000;
    PosixHeapFailAfter(kAllowed);
    std::atomic<int> successes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                void* block = HeapAlloc(heap_, 0, 32);
                if (block != nullptr) {
                    ++successes;
                    HeapFree(heap_, 0, block);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(kAllowed, successes.load());
}

TEST_F(HeapFailureTest, NullHeapFails) {
    EXPECT_EQ(nullptr, HeapAlloc(nullptr, 0, 8));
    EXPECT_FALSE(HeapFree(nullptr, 0, nullptr));
    int local = 0;
    EXPECT_EQ(nullptr, HeapReAlloc(heap_, 0, nullptr, 8));
    EXPECT_EQ(nullptr, HeapReAlloc(nullptr, 0, &local, 8));
}

// --- Debugger output ------------------------------------------------------------

// The runtime's diagnostic for releasing a string it does not know, as it
// stores it: Shift-JIS bytes ending in CR LF.
constexpr char kUnknownStringDiagnostic[] =
    "\x96\xa2\x92\x6d\x82\xcc\x95\xb6\x8e\x9a\x97\xf1\x82\xaa\x89\xf0\x95\xfa\x82\xb3\x82\xea"
    "\x82\xe6\x82\xa4\x82\xc6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n";

std::string DebugOutputOf(const char* text) {
    testing::internal::CaptureStderr();
    OutputDebugStringA(text);
    return testing::internal::GetCapturedStderr();
}

class DebugOutputTest : public testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("LC_ALL");
        hadLcAll_ = old != nullptr;
        oldLcAll_ = hadLcAll_ ? old : "";
        setenv("LC_ALL", "C.UTF-8", 1);
    }
    void TearDown() override {
        if (hadLcAll_) {
            setenv("LC_ALL", oldLcAll_.c_str(), 1);
        } else {
            unsetenv("LC_ALL");
        }
    }

  private:
    bool hadLcAll_ = false;
    std::string oldLcAll_;
};

TEST_F(DebugOutputTest, DiagnosticArrivesAsUtf8Text) {
    EXPECT_EQ("未知の文字列が解放されようとしました。\n", DebugOutputOf(kUnknownStringDiagnostic));
}

TEST_F(DebugOutputTest, PlainCLocaleIsTakenAsUtf8) {
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ("未知の文字列が解放されようとしました。\n", DebugOutputOf(kUnknownStringDiagnostic));
}

TEST_F(DebugOutputTest, InvalidBytesDoNotStopTheText) {
    // A lead byte with a wrong trail, an unassigned byte, a cut-off lead byte.
    EXPECT_EQ("ok?? あ end?", DebugOutputOf("ok\x81\xff \x82\xa0 end\x82"));
    EXPECT_EQ("?\n", DebugOutputOf("\x80\r\n"));
}

TEST_F(DebugOutputTest, LongTextIsWrittenWhole) {
    std::string text;
    for (int i = 0; i < 500; ++i) {
        text += "\x82\xa0";  // あ, 3 bytes in UTF-8: more than one conversion buffer
    }
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        expected += "あ";
    }
    EXPECT_EQ(expected, DebugOutputOf(text.c_str()));
}

TEST_F(DebugOutputTest, NullWritesNothing) {
    EXPECT_EQ("", DebugOutputOf(nullptr));
    EXPECT_EQ("", DebugOutputOf(""));
}

}  // namespace

// With LOCPATH set, the C library's newlocale keeps the path list it builds on
// every call (67 bytes here); the leak checker of the sanitizer build would
// report it at the child's exit. It is the library's, not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}

namespace {

// A locale in ISO-8859-1, built once into the build tree, so the test needs no
// locale installed for the whole system.
bool MakeLatin1Locale() {
    const std::string locale = std::string(TEST_LOCALE_DIR) + "/en_US.ISO-8859-1";
    if (access((locale + "/LC_CTYPE").c_str(), R_OK) != 0) {
        const std::string command =
            "localedef -i en_US -f ISO-8859-1 \"" + locale + "\" >/dev/null 2>&1";
        [[maybe_unused]] const int status = std::system(command.c_str());
    }
    return access((locale + "/LC_CTYPE").c_str(), R_OK) == 0;
}

// A player whose terminal is in ISO-8859-1, which has no Japanese: the line
// comes out as ASCII escapes naming each character, not as '?' or as bytes
// that terminal would show as other letters. The child process runs in that
// locale; its stderr must be exactly this.
TEST(DebugOutputLocaleTest, ALatin1TerminalGetsTheTextAsAsciiEscapes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ASSERT_TRUE(MakeLatin1Locale()) << "localedef (package locales) could not build the locale";
    EXPECT_EXIT(
        {
            setenv("LOCPATH", TEST_LOCALE_DIR, 1);
            setenv("LC_ALL", "en_US.ISO-8859-1", 1);
            OutputDebugStringA(kUnknownStringDiagnostic);
            std::exit(0);
        },
        ExitedWithCode(0),
        R"(^\\u672a\\u77e5\\u306e\\u6587\\u5b57\\u5217\\u304c\\u89e3\\u653e\\u3055)"
        R"(\\u308c\\u3088\\u3046\\u3068\\u3057\\u307e\\u3057\\u305f\\u3002)"
        "\n$");
}

// --- Process exit -----------------------------------------------------------------

class ExitProcessTest : public testing::Test {
  protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ExitProcessTest, MinusOneGivesStatus255) {
    EXPECT_EXIT(ExitProcess(static_cast<UINT>(-1)), ExitedWithCode(255), "");
}

TEST_F(ExitProcessTest, OnlyTheLowEightBitsReachTheParent) {
    EXPECT_EXIT(ExitProcess(0), ExitedWithCode(0), "");
    EXPECT_EXIT(ExitProcess(3), ExitedWithCode(3), "");
    EXPECT_EXIT(ExitProcess(0x107), ExitedWithCode(7), "");
}

TEST_F(ExitProcessTest, FlushesBufferedOutput) {
    // The child sends stdout to the stderr the death test reads, and writes
    // text with no line end, so nothing but the exit flushes it.
    EXPECT_EXIT(
        {
            std::fflush(stdout);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            std::fputs("still buffered at exit", stdout);
            ExitProcess(static_cast<UINT>(-1));
        },
        ExitedWithCode(255), "still buffered at exit");
}

}  // namespace
