// The registry used from several threads at once: every string made is released
// exactly once, nothing unknown is released, and nothing else is left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime_fixture.h"
#include "string_ops.h"

namespace {

constexpr int kThreads = 4;
constexpr int kRoundsPerThread = 100000;

std::string Contents(ManagedString s) {
    return std::string(s, static_cast<size_t>(StringLength(s)));
}

// One thread's work: short-lived strings, concatenated and compared, plus one
// string it keeps across rounds as a variable would.
void Churn(int thread, std::atomic<int>& wrongResults) {
    const std::string tag = "t" + std::to_string(thread);
    ManagedString kept = MakeString(tag);
    for (int round = 0; round < kRoundsPerThread; ++round) {
        ManagedString a = MakeString(tag);
        ManagedString b = MakeString(round % 2 == 0 ? "-even" : "-odd");
        ManagedString joined = ConcatStrings(a, b);
        if (Contents(joined) != tag + (round % 2 == 0 ? "-even" : "-odd")) {
            ++wrongResults;
        }
        // "tN" sorts before "tN-even"/"tN-odd"; the joined string is consumed.
        if (CompareStringWithTemp(kept, joined) != 1) {
            ++wrongResults;
        }
        if (CompareTempStrings(MakeString("b"), MakeString("a")) != 3) {
            ++wrongResults;
        }
        if (FirstCharCode(MakeString(tag)) != 't') {
            ++wrongResults;
        }
    }
    ReleaseString(kept);
}

TEST(RegistryThreadTest, FourThreadsLeaveExactlyTheSlots) {
    ResetRuntime();
    CreateStringSlots();
    std::vector<ManagedString> slots(Runtime.StringSlots, Runtime.StringSlots + kStringSlotCount);

    std::atomic<int> wrongResults{0};
#ifndef _WIN32
    ::testing::internal::CaptureStderr();
#endif
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(Churn, t, std::ref(wrongResults));
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
#ifndef _WIN32
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());  // no unknown release
#endif
    EXPECT_EQ(0, wrongResults.load());
    ASSERT_EQ(kStringSlotCount, Runtime.StringRegistryCount);
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        EXPECT_EQ(slots[static_cast<size_t>(k)], Runtime.StringRegistryItems[k]);
    }
    ResetRuntime();
}

}  // namespace
