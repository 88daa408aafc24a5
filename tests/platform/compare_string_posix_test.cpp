// CompareStringA of our POSIX layer: its argument checks, the choices it makes
// where the Windows order is not known, and its weights for every code page
// 932 character, checked against the C library's own decoder.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <climits>
#include <map>
#include <set>
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
TEST(CompareStringAPosix, NulWeighsNothingAnywhere) {
    EXPECT_EQ(CSTR_EQUAL, Compare("a\0\x82\xa0"sv, "a\x82\xa0"sv));
    // Nor does it count as a position of a hyphen.
    EXPECT_EQ(CSTR_EQUAL, Compare("a\0-b"sv, "a-b"sv));
    EXPECT_EQ(CSTR_EQUAL, Compare("\0\0\0"sv, ""sv));
}

TEST(CompareStringAPosix, CaseDecidesBeforeSkippedCharacters) {
    // The first case difference from the left decides.
    EXPECT_EQ(CSTR_LESS_THAN, Compare("aB", "Ab"));
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("Ab", "aB"));
    // A case difference outweighs a hyphen.
    EXPECT_EQ(CSTR_LESS_THAN, Compare("co-op", "Coop"));
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("Co-op", "coop"));
}

TEST(CompareStringAPosix, SkippedCharactersOrderByLaterPositionThenKind) {
    // Fewer entries first; otherwise a later position sorts first, then the
    // apostrophe before the hyphen.
    const std::string_view ascending[] = {"ab", "ab'", "ab-", "a-b", "a-'b", "a--b", "-ab"};
    for (size_t i = 0; i < std::size(ascending); ++i) {
        for (size_t j = i + 1; j < std::size(ascending); ++j) {
            EXPECT_EQ(CSTR_LESS_THAN, Compare(ascending[i], ascending[j]))
                << ascending[i] << " vs " << ascending[j];
            EXPECT_EQ(CSTR_GREATER_THAN, Compare(ascending[j], ascending[i]))
                << ascending[j] << " vs " << ascending[i];
        }
    }
    // A control character is such an entry too, ranked before the apostrophe.
    EXPECT_EQ(CSTR_LESS_THAN, Compare("a\x01"
                                      "b",
                                      "a'b"));
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x1f", "\x7f"));
}

// ---------------------------------------------------------------------------
// Code page 932

// Shift-JIS bytes: kana, kanji, full-width letters, symbols, ASCII.
constexpr std::string_view kTexts[] = {
    "\x82\xa0",                  // あ
    "\x83\x41",                  // ア
    "\xb1",                      // ｱ
    "\x82\xa9",                  // か
    "\x82\xaa",                  // が
    "\x88\x9f",                  // 亜
    "\x88\xa0",                  // 唖
    "\x8a\xbf\x8e\x9a",          // 漢字
    "\x82\xa9\x82\xf1\x82\xb6",  // かんじ
    "\x93\xfa\x96\x7b",          // 日本
    "\x93\xfa\x96\x7b\x8c\xea",  // 日本語
    "\x82\x60",                  // Ａ
    "\x82\x81",                  // ａ
    "\x81\x5b",                  // ー
    "\x81\x60",                  // ～
    "\x87\x40",                  // ①
    "abc\x82\xa0",               // abcあ
    "ABC\x82\xa0",               // ABCあ
    "a",
    "Z",
    "\x5c",
};

// Every character of the code page, as the C library decodes it: the single
// bytes and the lead bytes with a trail byte.
std::map<std::string, std::string> DecodeEveryCharacter() {
    std::map<std::string, std::string> decoded;
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return decoded;
    }
    auto decode = [&](std::string bytes) {
        char out[16];
        char* in = bytes.data();
        size_t inLeft = bytes.size();
        char* at = out;
        size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in, &inLeft, &at, &outLeft) != static_cast<size_t>(-1) && inLeft == 0) {
            decoded[bytes] = std::string(out, at);
        }
    };
    auto isLead = [](int byte) { return (byte >= 0x81 && byte <= 0x9f) || byte >= 0xe0; };
    for (int byte = 1; byte < 0x100; ++byte) {
        if (!isLead(byte)) {
            decode(std::string(1, static_cast<char>(byte)));
        }
    }
    for (int lead = 0x81; lead <= 0xfc; ++lead) {
        for (int trail = 0x40; trail <= 0xfc && isLead(lead); ++trail) {
            decode(std::string{static_cast<char>(lead), static_cast<char>(trail)});
        }
    }
    iconv_close(cd);
    return decoded;
}

// Characters compare equal exactly when they are the same text: different
// characters never tie, whatever differs (case, width, kana type, voicing);
// the code page's duplicate codes for one character do. Alone, the voicing
// marks of both widths tie (a mark weighs only what it adds to the character
// before it), and so do the repeat marks (with nothing to repeat). The order
// of all of them is one order: sorting by it leaves every neighbour less or
// equal.
TEST(CompareStringAPosix, EveryCharacterIsOrderedAndEqualOnlyToItself) {
    const std::map<std::string, std::string> decoded = DecodeEveryCharacter();
    ASSERT_GT(decoded.size(), 7000u) << "the C library has no code page 932 decoder";
    const std::vector<std::set<std::string>> alike = {
        {"\u309b", "\uff9e"},  // ゛ﾞ
        {"\u309c", "\uff9f"},  // ゜ﾟ
        {"\u30fc", "\uff70", "\u2015", "\u309d", "\u30fd", "\u309e", "\u30fe",
         "\u3005"},  // ーｰ―ゝヽゞヾ々
    };
    auto tie = [&](const std::string& a, const std::string& b) {
        return a == b || std::any_of(alike.begin(), alike.end(), [&](const auto& group) {
                   return group.count(a) != 0 && group.count(b) != 0;
               });
    };
    std::vector<std::pair<std::string, std::string>> characters(decoded.begin(), decoded.end());
    std::stable_sort(characters.begin(), characters.end(), [](const auto& a, const auto& b) {
        return Compare(a.first, b.first) == CSTR_LESS_THAN;
    });
    int ties = 0;
    for (size_t i = 0; i + 1 < characters.size(); ++i) {
        const auto& [low, lowText] = characters[i];
        const auto& [high, highText] = characters[i + 1];
        const int order = Compare(low, high);
        ASSERT_NE(CSTR_GREATER_THAN, order) << i;
        EXPECT_EQ(order == CSTR_EQUAL, tie(lowText, highText))
            << lowText << " (" << low.size() << " bytes) vs " << highText;
        ties += order == CSTR_EQUAL;
    }
    EXPECT_GT(ties, 300);  // the duplicate codes of the two vendor extensions
}

TEST(CompareStringAPosix, KnownJapaneseOrder) {
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x88\x9f", "\x88\xa0"));  // 亜 < 唖, by reading
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x82\xf1", "\x88\x9f"));  // ん < 亜: kana before kanji
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("\x8a\xbf\x8e\x9a", "\x82\xa9\x82\xf1\x82\xb6"));
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x93\xfa\x96\x7b", "\x93\xfa\x96\x7b\x8c\xea"));
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x82\x81", "\x82\x60"));  // ａ < Ａ
    EXPECT_EQ(CSTR_LESS_THAN, Compare("abc\x82\xa0", "ABC\x82\xa0"));
}

TEST(CompareStringAPosix, CountsAndNulsApplyToEncodedText) {
    const char text[] = "\x82\xa0\x82\xa2";  // あい
    EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, text, -1, text, 4));
    EXPECT_EQ(CSTR_LESS_THAN, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, text, 2, text, -1));
    EXPECT_EQ(CSTR_EQUAL, Compare("\x82\xa0\0"sv, "\x82\xa0"sv));
}

// Bytes that are not code page 932: lone or wrong lead bytes, unassigned codes,
// a lead byte cut off by the count, and the single bytes the code page leaves
// out.
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
    // A lead byte weighs as the default character ・ when what follows makes
    // no character: at the end, with an unassigned trail byte, or with a byte
    // that is no trail byte, which it takes along.
    for (const std::string_view broken : {"\x81"sv, "\x85\x40"sv, "\x81\xff"sv, "\x81 "sv}) {
        EXPECT_EQ(CSTR_EQUAL, Compare(broken, "\x81\x45")) << broken.size();
    }
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x81 ", "\x81\x45 "));
    // A cut-off character, here by the count, counts as well.
    EXPECT_EQ(CSTR_GREATER_THAN, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, "\x82\xa0", 1, "", 0));
}

TEST(CompareStringAPosix, ThreadsCompareEncodedTextAtOnce) {
    std::vector<int> expected;
    for (const std::string_view a : kTexts) {
        for (const std::string_view b : kTexts) {
            expected.push_back(Compare(a, b));
        }
    }
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&expected, &mismatches, t] {
            for (int round = 0; round < 20; ++round) {
                size_t k = 0;
                for (const std::string_view a : kTexts) {
                    for (const std::string_view b : kTexts) {
                        mismatches[t] += Compare(a, b) != expected[k++];
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
