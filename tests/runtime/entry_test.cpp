// The process entry with a routine of the test's own: the runtime starts, runs
// and ends a program without knowing which one.
#include <gtest/gtest.h>

#include "entry.h"
#include "runtime_fixture.h"

namespace {

// How many string slots are registered and empty, as the routine sees them;
// -1 when the registry holds anything else.
int32_t EmptySlotsSeen() {
    int32_t empty = 0;
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        if (IsRegistered(Runtime.StringSlots[k]) && StringLength(Runtime.StringSlots[k]) == 0) {
            ++empty;
        }
    }
    return Runtime.StringRegistryCount == kStringSlotCount ? empty : -1;
}

TEST(RuntimeEntryTest, RunsTheRoutineAfterTheSlotsAndEndsWithItsResult) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RuntimeEntry(EmptySlotsSeen), ::testing::ExitedWithCode(kStringSlotCount), "");
}

}  // namespace
