// Misuse the runtime cannot survive ends in an orderly stop, never in a write
// through a missing block or a read through a missing string.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "heap_faults.h"
#include "runtime_fault.h"
#include "runtime_fixture.h"
#include "string_ops.h"

namespace {

using ::testing::ExitedWithCode;

class RuntimeFaultTest : public RuntimeTest {
  protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        RuntimeTest::SetUp();
    }
    void TearDown() override {
        PosixHeapFailAfter(-1);
        RuntimeTest::TearDown();
    }
};

// Makes s claim a count it does not have, as a corrupted string would.
void ForgeCount(ManagedString s, int32_t count) {
    std::memcpy(s - 4, &count, sizeof count);
}

TEST_F(RuntimeFaultTest, NegativeLengthStops) {
    EXPECT_EXIT(NewString(-1), ExitedWithCode(kExitInvalidString), "fatal: .*negative length");
    EXPECT_EXIT(NewString(INT32_MIN), ExitedWithCode(kExitInvalidString), "negative length");
}

TEST_F(RuntimeFaultTest, LengthWhoseBlockSizeOverflowsStops) {
    EXPECT_EXIT(NewString(INT32_MAX), ExitedWithCode(kExitInvalidString), "32-bit count");
    EXPECT_EXIT(NewString(INT32_MAX - 4), ExitedWithCode(kExitInvalidString), "32-bit count");
}

TEST_F(RuntimeFaultTest, FailedStringAllocationStops) {
    EXPECT_EXIT(
        {
            PosixHeapFailAfter(0);
            NewString(8);
        },
        ExitedWithCode(kExitOutOfMemory), "fatal: out of memory for a string");
}

TEST_F(RuntimeFaultTest, FailedRegistryResizeStopsAndKeepsTheRegistry) {
    ManagedString a = NewString(1);
    EXPECT_EXIT(
        {
            PosixHeapFailAfter(1);  // the block succeeds, the resize fails
            NewString(2);
        },
        ExitedWithCode(kExitOutOfMemory), "string registry");
    // In this process nothing failed: the registry is intact.
    EXPECT_EQ(1, Runtime.StringRegistryCount);
    EXPECT_EQ(a, Runtime.StringRegistryItems[0]);
}

TEST_F(RuntimeFaultTest, ConcatenationPastA32BitCountStops) {
    ManagedString left = MakeString("ab");
    ManagedString right = MakeString("cd");
    ForgeCount(left, INT32_MAX - 1);
    // Stops before copying a single byte of the oversized operand.
    EXPECT_EXIT(ConcatStrings(left, right), ExitedWithCode(kExitInvalidString), "32-bit count");
    ForgeCount(left, 2);
}

TEST_F(RuntimeFaultTest, ConcatenationJustInsideTheLimitIsNotRefusedForItsTotal) {
    ManagedString left = MakeString("ab");
    ManagedString right = MakeString("cd");
    ForgeCount(left, INT32_MAX - 6);
    // The total fits a count, but not a block: NewString refuses it, not the sum check.
    EXPECT_EXIT(ConcatStrings(left, right), ExitedWithCode(kExitInvalidString),
                "a string longer than a 32-bit count can hold was requested");
    ForgeCount(left, 2);
}

TEST_F(RuntimeFaultTest, NullOperandsStop) {
    ManagedString s = MakeString("x");
    EXPECT_EXIT(ConcatStrings(nullptr, s), ExitedWithCode(kExitInvalidString), "null string");
    EXPECT_EXIT(ConcatStrings(s, nullptr), ExitedWithCode(kExitInvalidString), "null string");
    EXPECT_EXIT(CompareTempStrings(nullptr, s), ExitedWithCode(kExitInvalidString), "null string");
    EXPECT_EXIT(CompareStringWithTemp(s, nullptr), ExitedWithCode(kExitInvalidString),
                "null string");
    EXPECT_EXIT(FirstCharCode(nullptr), ExitedWithCode(kExitInvalidString), "null string");
    EXPECT_TRUE(IsRegistered(s));
}

}  // namespace
