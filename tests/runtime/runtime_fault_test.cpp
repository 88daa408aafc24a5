// Misuse the runtime cannot survive ends in an orderly stop, never in a write
// through a missing block or a read through a missing string.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

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

// The one string a test keeps, and what the registry holds of it as the
// process ends: registered with atexit inside a death statement, this runs in
// the child that met the fault, after the runtime's own stop.
ManagedString keptString = nullptr;

void SayWhetherTheRegistryIsIntact() {
    const bool intact =
        Runtime.StringRegistryCount == 1 && Runtime.StringRegistryItems[0] == keptString;
    std::fprintf(stderr, "registry at exit: %s\n", intact ? "intact" : "changed");
}

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
    EXPECT_EXIT(
        {
            keptString = NewString(1);
            std::atexit(SayWhetherTheRegistryIsIntact);
            PosixHeapFailAfter(1);  // the block succeeds, the resize fails
            NewString(2);
        },
        ExitedWithCode(kExitOutOfMemory), "string registry.*registry at exit: intact");
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

// The stop comes before anything is read or released: the other operand is
// still registered as the child ends.
TEST_F(RuntimeFaultTest, NullOperandsStop) {
    const std::function<void(ManagedString)> operations[] = {
        [](ManagedString s) { ConcatStrings(nullptr, s); },
        [](ManagedString s) { ConcatStrings(s, nullptr); },
        [](ManagedString s) { CompareTempStrings(nullptr, s); },
        [](ManagedString s) { CompareTempStrings(s, nullptr); },
        [](ManagedString s) { CompareStringWithTemp(nullptr, s); },
        [](ManagedString s) { CompareStringWithTemp(s, nullptr); },
        [](ManagedString) { FirstCharCode(nullptr); },
    };
    for (const auto& operation : operations) {
        EXPECT_EXIT(
            {
                keptString = MakeString("x");
                std::atexit(SayWhetherTheRegistryIsIntact);
                operation(keptString);
            },
            ExitedWithCode(kExitInvalidString), "null string.*registry at exit: intact");
    }
}

}  // namespace
