// The registry of live strings: creation, release, and releases it must refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "managed_string.h"
#include "runtime_fixture.h"

namespace {

using RegistryTest = RuntimeTest;

std::vector<ManagedString> RegistryEntries() {
    return std::vector<ManagedString>(Runtime.StringRegistryItems,
                                      Runtime.StringRegistryItems + Runtime.StringRegistryCount);
}

TEST_F(RegistryTest, EmptyStringIsCountZeroAndATerminator) {
    ManagedString s = NewString(0);
    const unsigned char* block = reinterpret_cast<unsigned char*>(s) - 4;
    EXPECT_EQ(0, block[0] | block[1] | block[2] | block[3]);
    EXPECT_EQ('\0', s[0]);
    EXPECT_EQ(0, StringLength(s));
    EXPECT_EQ(1, Runtime.StringRegistryCount);
}

TEST_F(RegistryTest, NewStringIsZeroFilledWithLittleEndianCount) {
    ManagedString s = NewString(0x0304);  // 772 characters
    const unsigned char* block = reinterpret_cast<unsigned char*>(s) - 4;
    EXPECT_EQ(0x04, block[0]);
    EXPECT_EQ(0x03, block[1]);
    EXPECT_EQ(0x00, block[2]);
    EXPECT_EQ(0x00, block[3]);
    for (int i = 0; i <= 772; ++i) {
        ASSERT_EQ('\0', s[i]) << "at " << i;
    }
    EXPECT_EQ(772, StringLength(s));
}

TEST_F(RegistryTest, SlotsAreRegisteredInSlotOrder) {
    CreateStringSlots();
    ASSERT_EQ(kStringSlotCount, Runtime.StringRegistryCount);
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        EXPECT_EQ(Runtime.StringSlots[k], Runtime.StringRegistryItems[k]) << "slot " << k;
        EXPECT_EQ(0, StringLength(Runtime.StringSlots[k]));
    }
    // Each slot is a block of its own.
    for (int32_t k = 1; k < kStringSlotCount; ++k) {
        EXPECT_NE(Runtime.StringSlots[k - 1], Runtime.StringSlots[k]);
    }
}

TEST_F(RegistryTest, ReleasingTheNewestRemovesTheLastEntry) {
    ManagedString a = NewString(1);
    ManagedString b = NewString(2);
    ManagedString c = NewString(3);
    ReleaseString(c);
    EXPECT_EQ((std::vector<ManagedString>{a, b}), RegistryEntries());
}

TEST_F(RegistryTest, ReleasingTheOldestMovesTheRestDownInOrder) {
    ManagedString a = NewString(1);
    ManagedString b = NewString(2);
    ManagedString c = NewString(3);
    ManagedString d = NewString(4);
    ReleaseString(a);
    EXPECT_EQ((std::vector<ManagedString>{b, c, d}), RegistryEntries());
    ReleaseString(c);
    EXPECT_EQ((std::vector<ManagedString>{b, d}), RegistryEntries());
    // New strings go after the survivors.
    ManagedString e = NewString(0);
    EXPECT_EQ((std::vector<ManagedString>{b, d, e}), RegistryEntries());
}

#ifndef _WIN32
// The diagnostic goes to the debugger output, which is stderr on POSIX.

TEST_F(RegistryTest, DoubleReleaseFreesOnceAndReportsOnce) {
    ManagedString keep = NewString(1);
    ManagedString s = NewString(5);
    ReleaseString(s);
    ::testing::internal::CaptureStderr();
    ReleaseString(s);
    EXPECT_EQ(UnknownStringDiagnostic(), ::testing::internal::GetCapturedStderr());
    EXPECT_EQ((std::vector<ManagedString>{keep}), RegistryEntries());
}

TEST_F(RegistryTest, ForeignPointerIsReportedAndNothingIsFreed) {
    ManagedString a = NewString(3);
    char foreign[8] = "abc";
    ::testing::internal::CaptureStderr();
    ReleaseString(foreign);
    EXPECT_EQ(UnknownStringDiagnostic(), ::testing::internal::GetCapturedStderr());
    EXPECT_EQ((std::vector<ManagedString>{a}), RegistryEntries());
    EXPECT_STREQ("abc", foreign);
}

TEST_F(RegistryTest, PointerIntoTheMiddleIsReportedAndNothingIsFreed) {
    ManagedString a = MakeString("hello");
    ::testing::internal::CaptureStderr();
    ReleaseString(a + 2);
    EXPECT_EQ(UnknownStringDiagnostic(), ::testing::internal::GetCapturedStderr());
    EXPECT_EQ((std::vector<ManagedString>{a}), RegistryEntries());
    EXPECT_EQ(0, std::memcmp(a, "hello", 6));
}

TEST_F(RegistryTest, ReleasingNullIsSilent) {
    ManagedString a = NewString(0);
    ::testing::internal::CaptureStderr();
    ReleaseString(nullptr);
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
    EXPECT_EQ((std::vector<ManagedString>{a}), RegistryEntries());
}

#endif

}  // namespace
