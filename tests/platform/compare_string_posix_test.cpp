// CompareStringA of our POSIX layer: its argument checks, the choices it makes
// where the Windows order is not known, and code page 932 text ordered by ICU.
#include <gtest/gtest.h>
#include <unicode/ucol.h>

#include <climits>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "kernel32.h"

namespace {

using namespace std::string_view_literals;

int Compare(std::string_view a, std::string_view b) {
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size()));
}

TEST(CompareStringAPosix, RefusesFlagsAndOtherLocales) {
    for (const DWORD flags : {0x1u, 0x1000u, 0x10000u, 0x80000000u}) {
        EXPECT_EQ(0, CompareStringA(LOCALE_SYSTEM_DEFAULT, flags, "a", 1, "b", 1)) << flags;
    }
    for (const LCID locale : {0x0000u, 0x0409u, 0x0411u, 0x007fu, 0x0c00u}) {
        EXPECT_EQ(0, CompareStringA(locale, 0, "a", 1, "b", 1)) << locale;
    }
    // The user's locale is the system's on this system.
    EXPECT_EQ(CSTR_LESS_THAN, CompareStringA(LOCALE_USER_DEFAULT, 0, "a", 1, "b", 1));
    EXPECT_EQ(CSTR_LESS_THAN, CompareStringA(LOCALE_USER_DEFAULT, 0, "\x82\xa0", 2, "\x82\xa2", 2));
}

TEST(CompareStringAPosix, RefusesCountsBelowMinusOne) {
    EXPECT_EQ(0, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, "a", -2, "a", 1));
    EXPECT_EQ(0, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, "a", 1, "a", INT_MIN));
}

TEST(CompareStringAPosix, NullWithCountZeroIsEmpty) {
    EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, 0, "", 0));
    EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, 0, nullptr, 0));
    EXPECT_EQ(CSTR_LESS_THAN, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, 0, "a", -1));
    EXPECT_EQ(CSTR_GREATER_THAN, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, "a", 1, nullptr, 0));
    EXPECT_EQ(0, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, 1, nullptr, 0));
}

// Our choices where the Windows order was not measured.
TEST(CompareStringAPosix, ControlCharactersWeighNothing) {
    EXPECT_EQ(CSTR_EQUAL, Compare("a\x01"
                                  "b",
                                  "ab"));
    EXPECT_EQ(CSTR_EQUAL, Compare("\x1b\x7f", ""));
    EXPECT_EQ(CSTR_EQUAL, Compare("\x1f"
                                  "A",
                                  "A\0"sv));
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x01"
                                      "a",
                                      "A"));
}

TEST(CompareStringAPosix, WhiteSpaceControlsRankJustBeforeSpace) {
    const std::string_view ascending[] = {"-", "\t", "\n", "\v", "\f", "\r", " ", "!"};
    for (size_t i = 0; i + 1 < std::size(ascending); ++i) {
        EXPECT_EQ(CSTR_LESS_THAN, Compare(ascending[i], ascending[i + 1])) << i;
        EXPECT_EQ(CSTR_GREATER_THAN, Compare(ascending[i + 1], ascending[i])) << i;
    }
    EXPECT_EQ(CSTR_LESS_THAN, Compare("a\tb", "a b"));
    EXPECT_EQ(CSTR_LESS_THAN, Compare("line\r\n", "line "));
}

TEST(CompareStringAPosix, CaseDecidesBeforeSkippedCharacters) {
    // The first case difference from the left decides.
    EXPECT_EQ(CSTR_LESS_THAN, Compare("aB", "Ab"));
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("Ab", "aB"));
    // A case difference outweighs a hyphen.
    EXPECT_EQ(CSTR_LESS_THAN, Compare("co-op", "Coop"));
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("Co-op", "coop"));
}

TEST(CompareStringAPosix, SkippedCharactersOrderByPositionThenKind) {
    // An earlier hyphen sorts first.
    const std::string_view ascending[] = {"ab", "-ab", "a-b", "a-'b", "a--b", "ab'", "ab-"};
    for (size_t i = 0; i < std::size(ascending); ++i) {
        for (size_t j = i + 1; j < std::size(ascending); ++j) {
            EXPECT_EQ(CSTR_LESS_THAN, Compare(ascending[i], ascending[j]))
                << ascending[i] << " vs " << ascending[j];
            EXPECT_EQ(CSTR_GREATER_THAN, Compare(ascending[j], ascending[i]))
                << ascending[j] << " vs " << ascending[i];
        }
    }
    // Control characters do not move a hyphen's position.
    EXPECT_EQ(CSTR_EQUAL, Compare("a\x01-b",
                                  "a-\x02"
                                  "b"));
}

// ---------------------------------------------------------------------------
// Code page 932

struct Text {
    std::string_view cp932;
    std::string_view utf8;
};

// Shift-JIS bytes and the same text in UTF-8, written independently.
constexpr Text kTexts[] = {
    {"\x82\xa0", "あ"},
    {"\x83\x41", "ア"},
    {"\xb1", "ｱ"},
    {"\x82\xa9", "か"},
    {"\x82\xaa", "が"},
    {"\x88\x9f", "亜"},
    {"\x88\xa0", "唖"},
    {"\x8a\xbf\x8e\x9a", "漢字"},
    {"\x82\xa9\x82\xf1\x82\xb6", "かんじ"},
    {"\x93\xfa\x96\x7b", "日本"},
    {"\x93\xfa\x96\x7b\x8c\xea", "日本語"},
    {"\x82\x60", "Ａ"},
    {"\x82\x81", "ａ"},
    {"\x81\x5b", "ー"},
    {"\x81\x60", "～"},  // code page 932's full-width tilde, not the wave dash
    {"\x87\x40", "①"},
    {"abc\x82\xa0", "abcあ"},
    {"ABC\x82\xa0", "ABCあ"},
    {"a", "a"},
    {"Z", "Z"},
    {"\x5c", "\\"},  // a backslash in this code page, not a yen sign
};

int ToResult(UCollationResult order) {
    return order == UCOL_LESS ? CSTR_LESS_THAN
                              : (order == UCOL_EQUAL ? CSTR_EQUAL : CSTR_GREATER_THAN);
}

class Cp932Test : public testing::Test {
  protected:
    void SetUp() override {
        UErrorCode status = U_ZERO_ERROR;
        collator_ = ucol_open("ja", &status);
        ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
        ucol_setStrength(collator_, UCOL_TERTIARY);
    }
    void TearDown() override { ucol_close(collator_); }

    // ICU's order of the UTF-8 forms.
    int Expected(std::string_view a, std::string_view b) const {
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult order =
            ucol_strcollUTF8(collator_, a.data(), static_cast<int32_t>(a.size()), b.data(),
                             static_cast<int32_t>(b.size()), &status);
        EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
        return ToResult(order);
    }

    UCollator* collator_ = nullptr;
};

TEST_F(Cp932Test, OrdersAsTheJapaneseCollatorDoes) {
    int unequal = 0;
    for (const Text& a : kTexts) {
        for (const Text& b : kTexts) {
            const int expected = Expected(a.utf8, b.utf8);
            EXPECT_EQ(expected, Compare(a.cp932, b.cp932)) << a.utf8 << " vs " << b.utf8;
            unequal += expected != CSTR_EQUAL;
        }
    }
    EXPECT_GT(unequal, static_cast<int>(std::size(kTexts) * (std::size(kTexts) - 1) / 2));
}

TEST_F(Cp932Test, KnownJapaneseOrder) {
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x88\x9f", "\x88\xa0"));  // 亜 < 唖, by reading
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x82\xf1", "\x88\x9f"));  // ん < 亜: kana before kanji
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("\x8a\xbf\x8e\x9a", "\x82\xa9\x82\xf1\x82\xb6"));
    // Tertiary strength: kana type and width do not count, case does.
    EXPECT_EQ(CSTR_EQUAL, Compare("\x82\xa0", "\x83\x41"));      // あ = ア
    EXPECT_EQ(CSTR_EQUAL, Compare("\x83\x41", "\xb1"));          // ア = ｱ
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x82\x81", "\x82\x60"));  // ａ < Ａ
    EXPECT_EQ(CSTR_LESS_THAN, Compare("abc\x82\xa0", "ABC\x82\xa0"));
}

TEST_F(Cp932Test, CountsAndNulsApplyToEncodedText) {
    const char text[] = "\x82\xa0\x82\xa2";  // あい
    EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, text, -1, text, 4));
    EXPECT_EQ(CSTR_LESS_THAN, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, text, 2, text, -1));
    EXPECT_EQ(CSTR_EQUAL, Compare("\x82\xa0\0"sv, "\x82\xa0"sv));
}

// Bytes that are not code page 932: lone or wrong lead bytes, unassigned bytes,
// a lead byte cut off by the count.
constexpr std::string_view kMalformed[] = {
    "\x81"sv,  "\x81\xff"sv,     "\x80"sv,         "\xa0"sv,     "\xfd\xfe\xff"sv,
    "a\x82"sv, "\x82\xa0\x81"sv, "\xff\x00\xff"sv, "\x82\x0a"sv, "\x9f"sv,
};

TEST(CompareStringAPosix, MalformedTextIsOrderedAndKeepsItsWeight) {
    std::vector<std::string_view> texts(std::begin(kMalformed), std::end(kMalformed));
    texts.push_back("");
    texts.push_back("a");
    texts.push_back("\x82\xa0");
    for (const std::string_view a : texts) {
        EXPECT_EQ(CSTR_EQUAL, Compare(a, std::string(a)));
        for (const std::string_view b : texts) {
            const int ab = Compare(a, b);
            EXPECT_NE(0, ab);
            EXPECT_EQ(4 - ab, Compare(b, a));
        }
    }
    // A byte that does not decode still counts.
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("x\x80", "x"));
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("\x81", ""));
    // A cut-off character, here by the count, counts as well.
    EXPECT_EQ(CSTR_GREATER_THAN, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, "\x82\xa0", 1, "", 0));
}

TEST(CompareStringAPosix, ThreadsCompareEncodedTextAtOnce) {
    std::vector<int> expected;
    for (const Text& a : kTexts) {
        for (const Text& b : kTexts) {
            expected.push_back(Compare(a.cp932, b.cp932));
        }
    }
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&expected, &mismatches, t] {
            for (int round = 0; round < 20; ++round) {
                size_t k = 0;
                for (const Text& a : kTexts) {
                    for (const Text& b : kTexts) {
                        mismatches[t] += Compare(a.cp932, b.cp932) != expected[k++];
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (size_t t = 0; t < mismatches.size(); ++t) {
        EXPECT_EQ(0, mismatches[t]) << "thread " << t;
    }
}

}  // namespace
