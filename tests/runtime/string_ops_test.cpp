// String operations: results, and which operands each one releases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime_fixture.h"
#include "string_ops.h"

namespace {

using StringOpsTest = RuntimeTest;

std::string Contents(ManagedString s) {
    return std::string(s, static_cast<size_t>(StringLength(s)));
}

TEST_F(StringOpsTest, ConcatOfTwoEmptyStringsIsANewEmptyString) {
    ManagedString left = NewString(0);
    ManagedString right = NewString(0);
    ManagedString result = ConcatStrings(left, right);
    EXPECT_EQ(0, StringLength(result));
    EXPECT_EQ('\0', result[0]);
    EXPECT_EQ(1, Runtime.StringRegistryCount);
    EXPECT_TRUE(IsRegistered(result));
}

TEST_F(StringOpsTest, ConcatPutsLeftThenRightAndReleasesBoth) {
    ManagedString keep = NewString(0);
    ManagedString left = MakeString("ab");
    ManagedString right = MakeString("cde");
    ManagedString result = ConcatStrings(left, right);
    EXPECT_EQ(5, StringLength(result));
    EXPECT_EQ("abcde", Contents(result));
    EXPECT_EQ('\0', result[5]);
    EXPECT_EQ(2, Runtime.StringRegistryCount);
    EXPECT_TRUE(IsRegistered(keep));
    EXPECT_TRUE(IsRegistered(result));
}

TEST_F(StringOpsTest, ConcatCopiesEmbeddedNulsAndHighBytesByCount) {
    const std::string left("a\0\x82\xa0", 4);
    const std::string right("\0\xff", 2);
    ManagedString result = ConcatStrings(MakeString(left), MakeString(right));
    EXPECT_EQ(left + right, Contents(result));
    EXPECT_EQ('\0', result[6]);
}

TEST_F(StringOpsTest, OneStringAsBothOperandsIsReadInFullBeforeItIsReleased) {
    ManagedString s = MakeString("xy");
    ManagedString t = MakeString("same");
#ifndef _WIN32
    ::testing::internal::CaptureStderr();
#endif
    ManagedString result = ConcatStrings(s, s);
    EXPECT_EQ(2, CompareTempStrings(t, t));
#ifndef _WIN32
    // Each second release finds the string gone and says so.
    EXPECT_EQ(std::string(UnknownStringDiagnostic()) + UnknownStringDiagnostic(),
              ::testing::internal::GetCapturedStderr());
#endif
    EXPECT_EQ("xyxy", Contents(result));
    EXPECT_EQ(1, Runtime.StringRegistryCount);
}

TEST_F(StringOpsTest, CompareTempStringsOrdersAndReleasesBoth) {
    EXPECT_EQ(2, CompareTempStrings(MakeString("same"), MakeString("same")));
    EXPECT_EQ(1, CompareTempStrings(MakeString("apple"), MakeString("banana")));
    EXPECT_EQ(3, CompareTempStrings(MakeString("banana"), MakeString("apple")));
    EXPECT_EQ(0, Runtime.StringRegistryCount);
}

TEST_F(StringOpsTest, LetterCaseAloneNeverComparesEqual) {
    EXPECT_NE(2, CompareTempStrings(MakeString("abc"), MakeString("ABC")));
    EXPECT_NE(2, CompareTempStrings(MakeString("Hello"), MakeString("hello")));
}

TEST_F(StringOpsTest, CompareUsesTheCountNotTheTerminator) {
    // Bytes after an embedded NUL still take part.
    EXPECT_EQ(1, CompareTempStrings(MakeString(std::string("a\0b", 3)),
                                    MakeString(std::string("a\0c", 3))));
}

TEST_F(StringOpsTest, CompareStringWithTempKeepsTheLeftOperand) {
    ManagedString left = MakeString("keep");
    ManagedString right = MakeString("kept");
    EXPECT_EQ(1, CompareStringWithTemp(left, right));
    EXPECT_TRUE(IsRegistered(left));
    EXPECT_FALSE(IsRegistered(right));
    EXPECT_EQ("keep", Contents(left));
    // The left operand is still usable afterwards.
    EXPECT_EQ(2, CompareStringWithTemp(left, MakeString("keep")));
    EXPECT_EQ(1, Runtime.StringRegistryCount);
}

TEST_F(StringOpsTest, FirstCharCodeIsUnsignedAndReleasesItsOperand) {
    EXPECT_EQ(48, FirstCharCode(MakeString("0")));
    EXPECT_EQ(0, FirstCharCode(NewString(0)));
    EXPECT_EQ(130, FirstCharCode(MakeString("\x82\xa0")));
    EXPECT_EQ(255, FirstCharCode(MakeString("\xff")));
    EXPECT_EQ(0, Runtime.StringRegistryCount);
}

// Hands `bad`, which the registry does not hold, to every operation in each
// operand place beside live strings. Nothing of it is read (under ASan any read
// would stop the test): each use writes the diagnostic once, counts as empty or
// gives no order, and the live operands are consumed as usual.
void ExpectNeverRead(ManagedString bad) {
    const int32_t before = Runtime.StringRegistryCount;
    ManagedString kept = MakeString("kept");
#ifndef _WIN32
    ::testing::internal::CaptureStderr();
#endif
    ManagedString rightGone = ConcatStrings(MakeString("ab"), bad);
    ManagedString leftGone = ConcatStrings(bad, MakeString("cd"));
    const int32_t results[] = {CompareTempStrings(bad, MakeString("x")),
                               CompareTempStrings(MakeString("x"), bad),
                               CompareStringWithTemp(kept, bad),
                               CompareStringWithTemp(bad, MakeString("x")), FirstCharCode(bad)};
#ifndef _WIN32
    std::string expected;
    for (int i = 0; i < 7; ++i) {
        expected += UnknownStringDiagnostic();
    }
    EXPECT_EQ(expected, ::testing::internal::GetCapturedStderr());
#endif
    EXPECT_EQ("ab", Contents(rightGone));
    EXPECT_EQ("cd", Contents(leftGone));
    for (int32_t result : results) {
        EXPECT_EQ(0, result);
    }
    EXPECT_EQ(before + 3, Runtime.StringRegistryCount) << "kept and the two results only";
    EXPECT_TRUE(IsRegistered(kept));
}

TEST_F(StringOpsTest, AReleasedStringIsNeverRead) {
    // A megabyte: heaps give blocks that large pages of their own and hand them
    // back when freed, so none of the short strings made afterwards can reuse
    // it (a 200-byte block was split and reused on Windows), and a read of it
    // faults even without a sanitizer.
    ManagedString gone = MakeString(std::string(1 << 20, 'g'));
    ReleaseString(gone);
    ExpectNeverRead(gone);
}

TEST_F(StringOpsTest, APointerTheRuntimeNeverMadeIsNeverRead) {
    std::vector<char> foreign(16, 'f');
    ExpectNeverRead(foreign.data());
}

TEST_F(StringOpsTest, APlainLiteralIsNeverRead) {
    static char literal[] = "literal";
    ExpectNeverRead(literal);
}

TEST_F(StringOpsTest, RawBlocksAreZeroedAndStayOutOfTheRegistry) {
    ManagedString keep = NewString(0);
    auto* block = static_cast<unsigned char*>(RawAlloc(64));
    ASSERT_NE(nullptr, block);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(0, block[i]);
    }
    EXPECT_EQ(1, Runtime.StringRegistryCount);
    EXPECT_TRUE(IsRegistered(keep));
    RawFree(block);
    EXPECT_EQ(nullptr, RawAlloc(-1));
}

}  // namespace
