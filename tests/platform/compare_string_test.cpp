// CompareStringA as the runtime calls it: the system locale, no flags.
//
// Only kernel32.h is used here, so the same cases run against the Windows
// function itself; what holds only for our POSIX layer is in
// compare_string_posix_test.cpp.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kernel32.h"
#include "random_text.h"

namespace {

using namespace std::string_view_literals;

int Compare(std::string_view a, std::string_view b) {
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size()));
}

// The order the other way round: less and greater trade places.
int Swapped(int result) {
    return result == 0 ? 0 : 4 - result;
}

struct MeasuredPair {
    std::string_view left;
    std::string_view right;
    int result;
};

// Results of the Windows function on a code page 932 system. Both operands are
// passed with explicit counts; the ones without a NUL are also passed as
// NUL-terminated strings.
constexpr MeasuredPair kMeasured[] = {
    {"a", "B", CSTR_LESS_THAN},
    {"a", "A", CSTR_LESS_THAN},
    {"A", "a", CSTR_GREATER_THAN},
    {"abc", "ABC", CSTR_LESS_THAN},
    {"ABC", "abd", CSTR_LESS_THAN},
    {"co-op", "coop", CSTR_GREATER_THAN},
    {"coop", "co-op", CSTR_LESS_THAN},
    {"co-op", "cop", CSTR_LESS_THAN},
    {"can't", "cant", CSTR_GREATER_THAN},
    {"a-b", "a'b", CSTR_GREATER_THAN},
    {"-a", "a", CSTR_GREATER_THAN},
    {"co-op", "co'op", CSTR_GREATER_THAN},
    {"a", "a-", CSTR_LESS_THAN},
    {"ab", "a-b", CSTR_LESS_THAN},
    {"a b", "ab", CSTR_LESS_THAN},
    {"a_b", "ab", CSTR_LESS_THAN},
    {"file10", "file9", CSTR_LESS_THAN},
    {"!", "-", CSTR_GREATER_THAN},
    {"Z", "a", CSTR_GREATER_THAN},
    {"", "a", CSTR_LESS_THAN},
    {"a\0b"sv, "a\0c"sv, CSTR_LESS_THAN},
    {"a"sv, "a\0"sv, CSTR_EQUAL},
    // Among texts that tie but for apostrophes and hyphens.
    {"A-", "'A-", CSTR_LESS_THAN},
    {"-2A'", "2A'", CSTR_GREATER_THAN},
    {"--B#'", "-B#'", CSTR_GREATER_THAN},
    {"ZB'1Z", "Z'B'1Z", CSTR_LESS_THAN},
    {"1, B-", "1-, B-", CSTR_LESS_THAN},
    {"-Bb~-", "-'Bb~-", CSTR_LESS_THAN},
};

void ExpectMeasured(std::span<const MeasuredPair> pairs) {
    for (const MeasuredPair& pair : pairs) {
        SCOPED_TRACE(testing::Message() << '"' << pair.left << "\" vs \"" << pair.right << '"');
        EXPECT_EQ(pair.result, Compare(pair.left, pair.right));
        EXPECT_EQ(Swapped(pair.result), Compare(pair.right, pair.left));
        const bool terminated = pair.left.find('\0') == std::string_view::npos &&
                                pair.right.find('\0') == std::string_view::npos;
        if (terminated) {
            EXPECT_EQ(pair.result, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, pair.left.data(), -1,
                                                  pair.right.data(), -1));
        }
    }
}

TEST(CompareStringA, ReproducesTheMeasuredPairs) {
    ExpectMeasured(kMeasured);
}

// Results of wine's function with a Japanese system locale (code page 932),
// where the pairs measured on Windows say nothing. Written as Shift-JIS bytes.
constexpr MeasuredPair kMeasuredUnderWine[] = {
    // ー and ｰ weigh as the vowel of the kana before them, after that vowel
    // itself; ゝ ヽ ゞ ヾ 々 repeat the kana. Repeats keep the kana's size;
    // they sort after the kana, before kana type and width decide.
    {"\x83\x4a\x81\x5b", "\x83\x4a\x83\x41", CSTR_GREATER_THAN},  // カー カア
    {"\x83\x93\x81\x5b", "\x83\x93\x83\x93", CSTR_GREATER_THAN},  // ンー ンン
    {"\x83\x40\x81\x5b", "\x83\x40\x83\x41", CSTR_LESS_THAN},     // ァー ァア
    {"\xb6\xb0", "\x83\x4a\x81\x5b", CSTR_LESS_THAN},             // ｶｰ カー
    {"\xb6\xde\x81\x5b", "\xb6\xde\x83\x41", CSTR_GREATER_THAN},  // ｶﾞー ｶﾞア
    {"\x83\x4c\x81\x5b\x81\x54", "\x83\x4c\x81\x5b\x83\x4c", CSTR_GREATER_THAN},  // キーゝ キーキ
    {"\x83\x4a\x81\x55", "\x83\x4a\x83\x4b", CSTR_GREATER_THAN},                  // カゞ カガ
    {"\x83\x41\xb0", "\x82\xa0\x81\x54", CSTR_GREATER_THAN},                      // アｰ あゝ
    // After anything else they repeat that character with the usual case;
    // after a hyphen below every character; with nothing to repeat above.
    {"\x88\x9f\xb0", "\x88\x9f\x88\x9f", CSTR_EQUAL},      // 亜ｰ 亜亜
    {"\x88\x9f\x81\x58", "\x88\x9f\x88\x9f", CSTR_EQUAL},  // 亜々 亜亜
    {"A\x81\x5b", "Aa", CSTR_EQUAL},                       // Aー Aa
    {"-\x81\x5b", "- ", CSTR_LESS_THAN},                   // -ー
    {"\x81\x5b", "\xee\xec", CSTR_GREATER_THAN},           // ー 黑
    // The voicing marks add to the diacritic of the character before them:
    // ﾞ 3, ﾟ 4, voicing 1, semi-voicing 2; leading, they stand alone.
    {"\x83\x6e\xdf", "\x83\x6f\xde", CSTR_EQUAL},  // ハﾟ バﾞ
    {"a-\xde", "a\xde-", CSTR_EQUAL},
    {"\xde"
     "a",
     "a\xde", CSTR_LESS_THAN},
    {"\xde\x81\xa0", "\x81\xa0", CSTR_LESS_THAN},  // ﾞ□ □
    {"\x81\x5d", "\x81\x4a", CSTR_LESS_THAN},      // ‐ ゛
    // Case over the whole text before small kana: あa < ぁA.
    {"\x82\xa0"
     "a",
     "\x82\x9f"
     "A",
     CSTR_LESS_THAN},
    // Symbols and the rest, among themselves.
    {"\x81\x75", "\x81\x45", CSTR_LESS_THAN},  // 「 ・
    {"\x81\xa7", "\x81\x99", CSTR_LESS_THAN},  // 〒 ☆
    {"\x81\x8e", "c", CSTR_GREATER_THAN},      // ℃
    {"\x87\x74", "cc", CSTR_EQUAL},            // ㏄
    {"\x82\xf1", "\x87\x5f", CSTR_LESS_THAN},  // ん ㍉
    {"\x87\x89", "\x89\x46", CSTR_LESS_THAN},  // ㊨ 宇
    {"\x81\x57", "\x88\x9f", CSTR_LESS_THAN},  // 仝 亜
    // Bytes the code page leaves out are characters of their own; a lead
    // byte takes the byte after it along.
    {"\x80", "\x81\x45", CSTR_GREATER_THAN},
    {"\xf0\x40", "\xa0", CSTR_LESS_THAN},
    {"\xa0", "\xfd", CSTR_LESS_THAN},
    {"\x81 ", "\x81\x45", CSTR_EQUAL},
};

TEST(CompareStringA, ReproducesThePairsMeasuredUnderWine) {
    ExpectMeasured(kMeasuredUnderWine);
}

// The printable characters from lowest to highest.
constexpr std::string_view kPrintableOrder =
    "'- !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>0123456789"
    "aAbBcCdDeEfFgGhHiIjJkKlLmMnNoOpPqQrRsStTuUvVwWxXyYzZ";

TEST(CompareStringA, RanksEveryPrintableCharacter) {
    ASSERT_EQ(95u, kPrintableOrder.size());
    for (size_t i = 0; i < kPrintableOrder.size(); ++i) {
        const std::string_view low = kPrintableOrder.substr(i, 1);
        EXPECT_EQ(CSTR_EQUAL, Compare(low, low)) << low;
        for (size_t j = i + 1; j < kPrintableOrder.size(); ++j) {
            const std::string_view high = kPrintableOrder.substr(j, 1);
            EXPECT_EQ(CSTR_LESS_THAN, Compare(low, high)) << low << " vs " << high;
            EXPECT_EQ(CSTR_GREATER_THAN, Compare(high, low)) << high << " vs " << low;
        }
    }
}

TEST(CompareStringA, EqualTextComparesEqual) {
    for (const std::string_view text : {""sv, "a"sv, "Hello, world!"sv, "co-op"sv, "can't"sv,
                                        "A-b'C d"sv, "0123456789"sv, "\x82\xa0\x82\xa2"sv}) {
        const std::string copy(text);  // another buffer: the content decides, not the address
        EXPECT_EQ(CSTR_EQUAL, Compare(text, copy)) << text;
        EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, text.data(),
                                             static_cast<int>(text.size()), copy.c_str(), -1))
            << text;
    }
}

TEST(CompareStringA, CaseAloneNeverComparesEqual) {
    EXPECT_NE(CSTR_EQUAL, Compare("hello", "Hello"));
    EXPECT_NE(CSTR_EQUAL, Compare("HELLO", "hello"));
    EXPECT_NE(CSTR_EQUAL, Compare("co-Op", "co-op"));
}

TEST(CompareStringA, MinusOneCountStopsAtTheNul) {
    const char text[] = "abc\0zzz";
    EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, text, -1, "abc", 3));
    EXPECT_EQ(CSTR_LESS_THAN, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, text, -1, "abd", -1));
    // An explicit count looks past the NUL.
    EXPECT_EQ(CSTR_GREATER_THAN, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, text, 7, "abc", -1));
    // Shorter counts cut the text.
    EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, "abcdef", 2, "abxyz", 2));
    EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, "abc", 0, "", -1));
}

TEST(CompareStringA, NullTextWithAnyLengthIsAnError) {
    EXPECT_EQ(0, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, -1, "a", -1));
    EXPECT_EQ(0, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, "a", -1, nullptr, -1));
    EXPECT_EQ(0, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, 3, "abc", 3));
    EXPECT_EQ(0, CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, "abc", 3, nullptr, 3));
}

// Code page 932 text: kana in their dictionary order, after Latin letters and
// digits. Written as Shift-JIS bytes.
constexpr std::string_view kA = "\x82\xa0";                      // あ
constexpr std::string_view kI = "\x82\xa2";                      // い
constexpr std::string_view kU = "\x82\xa4";                      // う
constexpr std::string_view kKa = "\x82\xa9";                     // か
constexpr std::string_view kGa = "\x82\xaa";                     // が
constexpr std::string_view kNihon = "\x82\xc9\x82\xd9\x82\xf1";  // にほん

TEST(CompareStringA, OrdersKanaInDictionaryOrder) {
    const std::string_view ascending[] = {"1", "z", kA, kI, kU, kKa, kGa};
    for (size_t i = 0; i < std::size(ascending); ++i) {
        for (size_t j = i + 1; j < std::size(ascending); ++j) {
            EXPECT_EQ(CSTR_LESS_THAN, Compare(ascending[i], ascending[j])) << i << " vs " << j;
            EXPECT_EQ(CSTR_GREATER_THAN, Compare(ascending[j], ascending[i])) << j << " vs " << i;
        }
    }
    const std::string nihongo = std::string(kNihon) + "\x82\xb2";  // にほんご
    EXPECT_EQ(CSTR_LESS_THAN, Compare(kNihon, nihongo));
    EXPECT_EQ(CSTR_GREATER_THAN, Compare(nihongo, kNihon));
    EXPECT_EQ(CSTR_EQUAL, Compare(nihongo, std::string(nihongo)));
}

// Where the measured pairs say nothing, these cases give wine's order (which
// is itself modelled on the Windows one) for the finer levels; they hold for
// our POSIX layer as well.

// Kana type and width are told apart, but below the letters: they decide only
// when everything before ties.
TEST(CompareStringA, KanaTypeAndWidthDecideOnlyBelowTheLetters) {
    const std::string_view ascending[] = {
        "\x82\x9f",  // ぁ small first
        "\xb1",      // ｱ half-width
        "\x83\x41",  // ア katakana
        "\x82\xa0",  // あ hiragana
        "\x82\xa9",  // か
        "\x82\xaa",  // が voiced, after every form of か
    };
    for (size_t i = 0; i < std::size(ascending); ++i) {
        for (size_t j = i + 1; j < std::size(ascending); ++j) {
            EXPECT_EQ(CSTR_LESS_THAN, Compare(ascending[i], ascending[j])) << i << " vs " << j;
            EXPECT_EQ(CSTR_GREATER_THAN, Compare(ascending[j], ascending[i])) << j << " vs " << i;
        }
    }
    // Lower case before upper; the usual width before full-width; case first.
    const std::string_view latin[] = {"a", "\x82\x81", "A", "\x82\x60"};  // a ａ A Ａ
    for (size_t i = 0; i + 1 < std::size(latin); ++i) {
        EXPECT_EQ(CSTR_LESS_THAN, Compare(latin[i], latin[i + 1])) << i;
    }
    // A later letter outweighs an earlier kana type or width: アい < あう, ｱう > あい.
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x83\x41\x82\xa2", "\x82\xa0\x82\xa4"));
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("\xb1\x82\xa4", "\x82\xa0\x82\xa2"));
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x82\x81"
                                      "b",
                                      "Ac"));
    // Voicing outweighs kana type: がア > かあ; kana type then decides: かア < かあ.
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("\x82\xaa\x83\x41", "\x82\xa9\x82\xa0"));
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x82\xa9\x83\x41", "\x82\xa9\x82\xa0"));
    // Case over the whole text comes before kana type: Aあ > aア.
    EXPECT_EQ(CSTR_GREATER_THAN, Compare("A\x82\xa0", "a\x83\x41"));
    // A compatibility form sorts after the plain one and before the next: 1 < ① < 2.
    EXPECT_EQ(CSTR_LESS_THAN, Compare("1", "\x87\x40"));
    EXPECT_EQ(CSTR_LESS_THAN, Compare("\x87\x40", "2"));
}

// Apostrophes, hyphens and control characters weigh only after everything
// else, and the same whatever else the text holds.
TEST(CompareStringA, SkippedCharactersWeighLastAndAlikeInEveryText) {
    const std::string_view kA = "\x82\xa0";  // あ
    const std::string_view pairs[][2] = {
        {"a-b", "ab"},
        {"a\x01"
         "b",
         "ab"},
        {"-ab", "a-b"},
        {"ab--", "-ab"},
        {"a'-b", "a-'b"},
        {"\x01", "'"},
        {"a\x01-b",
         "a-\x02"
         "b"},
        {"ab'", "ab-"},
    };
    const int expected[] = {CSTR_GREATER_THAN, CSTR_GREATER_THAN, CSTR_GREATER_THAN,
                            CSTR_LESS_THAN,    CSTR_LESS_THAN,    CSTR_LESS_THAN,
                            CSTR_LESS_THAN,    CSTR_LESS_THAN};
    for (size_t i = 0; i < std::size(pairs); ++i) {
        const std::string_view a = pairs[i][0];
        const std::string_view b = pairs[i][1];
        SCOPED_TRACE(testing::Message() << "pair " << i);
        EXPECT_EQ(expected[i], Compare(a, b));
        EXPECT_EQ(Swapped(expected[i]), Compare(b, a));
        EXPECT_EQ(expected[i],
                  Compare(std::string(a) + std::string(kA), std::string(b) + std::string(kA)));
        EXPECT_EQ(expected[i],
                  Compare(std::string(kA) + std::string(a), std::string(kA) + std::string(b)));
    }
    // Tab, line feed, vertical tab, form feed and carriage return are white
    // space, after the space and before the other symbols.
    const std::string_view white[] = {" ", "\t", "\n", "\v", "\f", "\r", "!"};
    for (size_t i = 0; i + 1 < std::size(white); ++i) {
        EXPECT_EQ(CSTR_LESS_THAN, Compare(white[i], white[i + 1])) << i;
    }
    EXPECT_EQ(CSTR_LESS_THAN, Compare("a\tb", "ab"));
}

// Seeded random text mixing every kind of character (ASCII, white space and
// other control characters, NUL, hyphens, kana of each type and width,
// full-width letters, kanji, symbols, bytes that are not code page 932),
// much of it in close neighbours, so that every level is reached often.
TEST(CompareStringA, RandomTextIsAntisymmetricAndTransitive) {
    random_text::Generator random(20240611u);
    std::vector<std::string> pool;
    for (int i = 0; i < 400; ++i) {
        const random_text::Mix mix = random_text::kMixes[i % std::size(random_text::kMixes)].first;
        pool.push_back(random.Text(mix));
        pool.push_back(random.Neighbour(pool.back(), mix));
        if (i % 3 == 0) {
            // The same text with a NUL in it, which weighs nothing: a tie.
            std::string withNul = pool.back();
            withNul.insert(withNul.begin() + static_cast<std::ptrdiff_t>(i % (withNul.size() + 1)),
                           '\0');
            pool.push_back(withNul);
        }
    }
    std::mt19937 pick(7u);
    int equalPairs = 0;
    int lessPairs = 0;
    for (int trial = 0; trial < 30000; ++trial) {
        const std::string& a = pool[pick() % pool.size()];
        const std::string& b = pool[pick() % pool.size()];
        const std::string& c = pool[pick() % pool.size()];
        const int ab = Compare(a, b);
        const int bc = Compare(b, c);
        const int ac = Compare(a, c);
        ASSERT_NE(0, ab);
        ASSERT_EQ(Swapped(ab), Compare(b, a)) << '"' << a << "\" \"" << b << '"';
        equalPairs += ab == CSTR_EQUAL && a != b;
        lessPairs += ab == CSTR_LESS_THAN;
        // a <= b <= c gives a <= c, strictly when either step is strict.
        if (ab != CSTR_GREATER_THAN && bc != CSTR_GREATER_THAN) {
            const int expected = ab == CSTR_EQUAL && bc == CSTR_EQUAL ? CSTR_EQUAL : CSTR_LESS_THAN;
            ASSERT_EQ(expected, ac) << '"' << a << "\" \"" << b << "\" \"" << c << '"';
        }
        if (ab != CSTR_LESS_THAN && bc != CSTR_LESS_THAN) {
            const int expected =
                ab == CSTR_EQUAL && bc == CSTR_EQUAL ? CSTR_EQUAL : CSTR_GREATER_THAN;
            ASSERT_EQ(expected, ac) << '"' << a << "\" \"" << b << "\" \"" << c << '"';
        }
    }
    // Ties between different texts must occur, or equality was never put to the test.
    EXPECT_GT(equalPairs, 20);
    EXPECT_GT(lessPairs, 5000);
}

}  // namespace
