// Writes platform/posix/cp932_weights.h: the sort weights of every code page
// 932 character, for the POSIX CompareStringA.
//
// Run once, by tools/cp932_weights.sh, whenever the order below changes; the
// output is committed, so nothing in the normal build needs ICU. ICU is used
// here only as a source of facts about the characters: their decoding, the
// Japanese dictionary order of letters, kana and kanji, which characters differ
// only by an accent, case or a compatibility form.
//
// Each character gets one or more elements of three levels:
//   primary    the letter, kana or symbol; case, width and kana type folded
//   secondary  accents and voicing marks (か, が)
//   tertiary   case, small kana, compatibility forms (①), kana type, width
// plus the characters that weigh only at the last level (apostrophes, hyphens
// and control characters) and those that weigh nothing (NUL).
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

// The order of the ASCII characters that have a primary weight, lowest first,
// as the Windows function gives it on a code page 932 system: measured for the
// printable characters; the white-space controls follow the space.
constexpr std::string_view kAsciiOrder =
    " \t\n\v\f\r!\"#$%&()*,./:;?@[\\]^_`{|}~+<=>0123456789"
    "abcdefghijklmnopqrstuvwxyz";

// Shift-JIS structure.
bool IsLead(int byte) {
    return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}
bool IsTrail(int byte) {
    return byte >= 0x40 && byte <= 0xfc && byte != 0x7f;
}
// The control characters that weigh only at the last level. NUL weighs nothing
// at all; tab, line feed, vertical tab, form feed and carriage return rank as
// white space.
bool IsLastLevelControl(int byte) {
    return (byte >= 0x01 && byte <= 0x08) || (byte >= 0x0e && byte <= 0x1f) || byte == 0x7f;
}

// Where the default character stands: text that is not code page 932 weighs
// as this character, as the system's conversion would turn it into.
constexpr int kDefaultCharacter = 0x8145;  // ・

void Fail(const char* what) {
    std::fprintf(stderr, "cp932_weights: %s\n", what);
    std::exit(1);
}

void Check(UErrorCode status, const char* what) {
    if (U_FAILURE(status)) {
        std::fprintf(stderr, "cp932_weights: %s: %s\n", what, u_errorName(status));
        std::exit(1);
    }
}

// One collation element in ICU's terms: primary, secondary and tertiary byte.
struct IcuElement {
    uint32_t primary = 0;
    uint32_t secondary = 0;
    uint32_t tertiary = 0;
};

struct Character {
    int code = 0;  // the byte, or lead * 256 + trail
    UChar32 scalar = -1;
    std::vector<IcuElement> icu;
};

// Distinctions the Japanese collator keeps below its tertiary level, which
// this order makes part of the tertiary weight. Half-width before the usual
// form before full-width; katakana before hiragana.
int WidthRank(UChar32 c) {
    switch (u_getIntPropertyValue(c, UCHAR_DECOMPOSITION_TYPE)) {
        case U_DT_NARROW:
            return 0;
        case U_DT_WIDE:
            return 2;
        default:
            return 1;
    }
}
int KanaRank(UChar32 c) {
    UErrorCode status = U_ZERO_ERROR;
    return uscript_getScript(c, &status) == USCRIPT_HIRAGANA ? 1 : 0;
}

// The generated entry: one element, or a marker (tertiary 0: a last-level
// character or nothing; tertiary 255: a run of several elements).
struct Entry {
    uint32_t primary = 0;
    uint32_t secondary = 0;
    uint32_t tertiary = 0;
    bool operator==(const Entry&) const = default;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.h\n", argv[0]);
        return 2;
    }
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open("windows-932", &status);
    Check(status, "opening code page 932");
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    Check(status, "setting the decoder's error handling");
    UCollator* collator = ucol_open("ja", &status);
    Check(status, "opening the Japanese collator");

    // Every code: the 256 bytes, then every lead byte with every trail byte.
    std::vector<int> codes;
    for (int byte = 0; byte < 256; ++byte) {
        codes.push_back(byte);
    }
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0x40; trail <= 0xfc && IsLead(lead); ++trail) {
            codes.push_back(lead * 256 + trail);
        }
    }

    std::map<int, Character> characters;  // by code; absent: not a character
    for (const int code : codes) {
        std::string bytes;
        if (code < 256) {
            if (IsLead(code) || code == 0x80 || code == 0xa0 || code >= 0xfd) {
                continue;  // a lone lead byte, or a byte the code page leaves out
            }
            bytes.push_back(static_cast<char>(code));
        } else {
            if (!IsTrail(code & 0xff)) {
                continue;
            }
            bytes.push_back(static_cast<char>(code >> 8));
            bytes.push_back(static_cast<char>(code & 0xff));
        }
        UChar text[4];
        status = U_ZERO_ERROR;
        ucnv_resetToUnicode(converter);
        const int32_t length = ucnv_toUChars(converter, text, 4, bytes.data(),
                                             static_cast<int32_t>(bytes.size()), &status);
        if (U_FAILURE(status) || length < 1) {
            continue;
        }
        Character character;
        character.code = code;
        U16_GET(text, 0, 0, length, character.scalar);
        if (U16_LENGTH(character.scalar) != length) {
            Fail("a character decodes to more than one scalar");
        }
        UCollationElements* elements = ucol_openElements(collator, text, length, &status);
        Check(status, "iterating collation elements");
        for (;;) {
            const int32_t ce = ucol_next(elements, &status);
            Check(status, "reading a collation element");
            if (ce == UCOL_NULLORDER) {
                break;
            }
            const auto value = static_cast<uint32_t>(ce);
            if ((value & 0xffff) == 0xc0 && !character.icu.empty()) {
                // Continuation: the low half of the previous element's primary.
                character.icu.back().primary |= value >> 16;
                continue;
            }
            if (value == 0) {
                continue;
            }
            character.icu.push_back({(value >> 16) << 16, (value >> 8) & 0xff, value & 0xff});
        }
        ucol_closeElements(elements);
        characters[code] = character;
    }

    // The last-level characters: controls, then the apostrophe's class, then
    // the hyphen's, each class in the tertiary order of its members.
    const uint32_t apostrophe = characters.at('\'').icu.at(0).primary;
    const uint32_t hyphen = characters.at('-').icu.at(0).primary;
    std::map<int, uint32_t> lastLevelKind;
    uint32_t kind = 0;
    for (int byte = 0; byte < 128; ++byte) {
        if (IsLastLevelControl(byte)) {
            lastLevelKind[byte] = ++kind;
        }
    }
    for (const uint32_t family : {apostrophe, hyphen}) {
        // One rank per character: the code page's duplicate codes share it.
        std::map<std::tuple<uint32_t, int, int, UChar32>, std::vector<int>> members;
        for (const auto& [code, character] : characters) {
            if (character.icu.size() == 1 && character.icu[0].primary == family) {
                members[{character.icu[0].tertiary, KanaRank(character.scalar),
                         WidthRank(character.scalar), character.scalar}]
                    .push_back(code);
            }
        }
        for (const auto& [key, codesOfOne] : members) {
            ++kind;
            for (const int code : codesOfOne) {
                lastLevelKind[code] = kind;
            }
        }
    }

    // Primary order: the ASCII classes as measured, every other class after the
    // greatest ASCII class the collator puts below it, in the collator's order.
    std::map<uint32_t, int> asciiPlace;  // ICU primary of an ASCII class -> its place
    for (size_t place = 0; place < kAsciiOrder.size(); ++place) {
        const Character& c = characters.at(static_cast<unsigned char>(kAsciiOrder[place]));
        if (c.icu.size() != 1 || asciiPlace.count(c.icu[0].primary) != 0) {
            Fail("an ASCII character without a primary of its own");
        }
        asciiPlace[c.icu[0].primary] = static_cast<int>(place);
    }
    // Different characters the collator weighs alike at every level (0 and 〇)
    // are told apart at the case level: each gets a variant number, in the
    // order of their code points.
    std::map<std::tuple<std::vector<uint32_t>, int, int>, std::set<UChar32>> alike;
    auto alikeKey = [](const Character& c) {
        std::vector<uint32_t> weights;
        for (const IcuElement& e : c.icu) {
            weights.insert(weights.end(), {e.primary, e.secondary, e.tertiary});
        }
        return std::make_tuple(weights, KanaRank(c.scalar), WidthRank(c.scalar));
    };
    for (const auto& [code, character] : characters) {
        alike[alikeKey(character)].insert(character.scalar);
    }
    auto variantOf = [&](const Character& c) {
        const std::set<UChar32>& scalars = alike.at(alikeKey(c));
        return static_cast<uint32_t>(std::distance(scalars.begin(), scalars.find(c.scalar)));
    };

    std::set<uint32_t> primaries;
    std::set<uint32_t> secondaries;
    std::set<std::pair<uint32_t, uint32_t>> tertiaries;
    for (const auto& [code, character] : characters) {
        if (lastLevelKind.count(code) != 0) {
            continue;
        }
        for (const IcuElement& e : character.icu) {
            if (e.primary != 0) {
                primaries.insert(e.primary);
            } else if (e.secondary == 0) {
                Fail("an element with a tertiary weight only");
            }
            secondaries.insert(e.secondary);
            tertiaries.emplace(e.tertiary, variantOf(character));
        }
    }
    // (place of the ASCII anchor + 1, ICU primary); anchor 0 is "below all".
    std::vector<std::pair<int, uint32_t>> ordered;
    int anchor = 0;
    for (const uint32_t primary : primaries) {
        if (const auto it = asciiPlace.find(primary); it != asciiPlace.end()) {
            anchor = it->second + 1;
            ordered.emplace_back(anchor, 0);  // the ASCII class heads its group
        } else {
            ordered.emplace_back(anchor, primary);
        }
    }
    std::map<uint32_t, uint32_t> primaryRank;
    {
        std::vector<std::pair<std::pair<int, uint32_t>, uint32_t>> keyed;
        for (size_t i = 0; i < ordered.size(); ++i) {
            keyed.push_back(
                {ordered[i], *std::next(primaries.begin(), static_cast<std::ptrdiff_t>(i))});
        }
        std::sort(keyed.begin(), keyed.end());
        uint32_t rank = 0;
        for (const auto& entry : keyed) {
            primaryRank[entry.second] = ++rank;
        }
        if (rank > 0xffff) {
            Fail("more primary weights than 16 bits hold");
        }
    }
    std::map<uint32_t, uint32_t> secondaryRank;
    for (const uint32_t secondary : secondaries) {
        const auto rank = static_cast<uint32_t>(secondaryRank.size() + 1);
        secondaryRank[secondary] = rank;
    }
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> tertiaryRank;  // from 0
    for (const auto& tertiary : tertiaries) {
        const auto rank = static_cast<uint32_t>(tertiaryRank.size());
        tertiaryRank[tertiary] = rank;
    }
    // The tertiary byte packs three weights, each compared over the whole
    // text before the next: case (and small kana, compatibility forms), kana
    // type, width.
    auto tertiaryOf = [&](uint32_t icuTertiary, const Character& c) {
        return 1 + tertiaryRank.at({icuTertiary, variantOf(c)}) * 6 +
               static_cast<uint32_t>(KanaRank(c.scalar) * 3) +
               static_cast<uint32_t>(WidthRank(c.scalar));
    };
    if (secondaryRank.size() > 0xff || tertiaryRank.size() * 6 >= 0xff) {
        Fail("more secondary or tertiary weights than a byte holds");
    }

    // The entries, code by code.
    std::vector<Entry> expansions;
    std::map<std::vector<uint32_t>, uint32_t> expansionStart;
    auto elementsOf = [&](const Character& c) {
        std::vector<Entry> out;
        for (const IcuElement& e : c.icu) {
            out.push_back({e.primary == 0 ? 0 : primaryRank.at(e.primary),
                           secondaryRank.at(e.secondary), tertiaryOf(e.tertiary, c)});
        }
        return out;
    };
    auto entryOf = [&](int code) -> Entry {
        const auto it = characters.find(code);
        if (it == characters.end()) {
            return {};  // filled in below with the default character's entry
        }
        if (const auto k = lastLevelKind.find(code); k != lastLevelKind.end()) {
            return {0, k->second, 0};
        }
        const std::vector<Entry> elements = elementsOf(it->second);
        if (elements.empty()) {
            return {0, 0, 0};  // weighs nothing
        }
        if (elements.size() == 1) {
            return elements[0];
        }
        std::vector<uint32_t> key;
        for (const Entry& e : elements) {
            key.insert(key.end(), {e.primary, e.secondary, e.tertiary});
        }
        auto [at, added] = expansionStart.emplace(key, static_cast<uint32_t>(expansions.size()));
        if (added) {
            expansions.insert(expansions.end(), elements.begin(), elements.end());
        }
        return {at->second, static_cast<uint32_t>(elements.size()), 255};
    };
    const Entry fallback = entryOf(kDefaultCharacter);
    std::vector<std::pair<int, Entry>> entries;
    for (const int code : codes) {
        Entry entry = entryOf(code);
        if (characters.count(code) == 0) {
            entry = fallback;
        }
        entries.emplace_back(code, entry);
    }

    // Runs: consecutive codes whose primary climbs by 0 or 1 with the rest equal.
    FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        Fail("cannot write the output");
    }
    std::fprintf(out,
                 "// Generated by tools/cp932_weights.sh from tools/cp932_weights/generate.cpp.\n"
                 "// Do not edit: change the generator and run the script again.\n"
                 "//\n"
                 "// Sort weights of code page 932 text; see compare_string.cpp for their use.\n"
                 "#pragma once\n\n#include <cstdint>\n\nnamespace cp932_weights {\n\n"
                 "// One collation element: primary, secondary and tertiary weight.\n"
                 "struct Element {\n    uint16_t primary;\n    uint8_t secondary;\n"
                 "    uint8_t tertiary;\n};\n\n"
                 "// Consecutive codes: the first code's element, its primary climbing by\n"
                 "// `step` per code. A tertiary of kLastLevel marks characters that weigh at\n"
                 "// the last level only, with the secondary as their rank there (0: they\n"
                 "// weigh nothing); kSeveral marks characters of several elements, with\n"
                 "// the primary as the first one's index in kExpansions and the secondary\n"
                 "// as their count.\n"
                 "struct Run {\n    uint16_t code;\n    uint16_t count;\n    Element first;\n"
                 "    uint8_t step;\n};\n\n"
                 "inline constexpr uint8_t kLastLevel = 0;\ninline constexpr uint8_t kSeveral = "
                 "255;\n\n");
    std::fprintf(out, "inline constexpr Run kRuns[] = {\n");
    size_t runs = 0;
    for (size_t i = 0; i < entries.size();) {
        const Entry& first = entries[i].second;
        size_t n = 1;
        int step = -1;
        while (i + n < entries.size() && entries[i + n].first == entries[i].first + int(n) &&
               n < 0xffff) {
            const Entry& next = entries[i + n].second;
            if (next.secondary != first.secondary || next.tertiary != first.tertiary ||
                first.tertiary == 255) {
                break;
            }
            const int d = static_cast<int>(next.primary) - static_cast<int>(first.primary);
            const int s = static_cast<int>(n) == 0 ? 0 : d / static_cast<int>(n);
            if ((s != 0 && s != 1) || s * static_cast<int>(n) != d || (step != -1 && s != step) ||
                (first.tertiary == 0 && d != 0)) {
                break;
            }
            step = s;
            ++n;
        }
        std::fprintf(out, "    {0x%04x, %zu, {%u, %u, %u}, %d},\n", entries[i].first, n,
                     first.primary, first.secondary, first.tertiary, step < 0 ? 0 : step);
        ++runs;
        i += n;
    }
    std::fprintf(out, "};\n\ninline constexpr Element kExpansions[] = {\n");
    for (const Entry& e : expansions) {
        std::fprintf(out, "    {%u, %u, %u},\n", e.primary, e.secondary, e.tertiary);
    }
    std::fprintf(out, "};\n\n}  // namespace cp932_weights\n");
    std::fclose(out);
    std::fprintf(stderr,
                 "cp932_weights: %zu characters, %zu primaries, %zu secondaries, %zu tertiaries, "
                 "%u last-level kinds, %zu runs, %zu expansion elements\n",
                 characters.size(), primaryRank.size(), secondaryRank.size(), tertiaryRank.size(),
                 kind, runs, expansions.size());
    ucol_close(collator);
    ucnv_close(converter);
    return 0;
}
