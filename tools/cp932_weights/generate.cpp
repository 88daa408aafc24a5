// Writes platform/posix/cp932_weights.h: the sort weights of every code page
// 932 character, for the POSIX CompareStringA.
//
// Run by tools/cp932_weights.sh whenever the order changes; the output is
// committed. The order of the ordinary characters comes from order.txt,
// measured under wine by measure.cpp; the characters with rules of their own
// are described below, with what was measured of them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "cp932_weights: %s\n", what.c_str());
    std::exit(1);
}

bool IsLead(unsigned byte) {
    return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}
bool IsTrail(unsigned byte) {
    return byte >= 0x40 && byte <= 0xfc && byte != 0x7f;
}
bool IsCode(unsigned code) {
    return code < 256 || (code <= 0xffff && IsLead(code >> 8) && IsTrail(code & 0xff));
}

// What the table holds per code; compare_string.cpp reads it. The kind and a
// five-bit payload share a byte.
enum Kind : unsigned {
    kPlain,      // payload: case weight
    kKanaSmall,  // payload: vowel << 2 | hiragana << 1 | wide
    kKanaLarge,  // the same
    kLast,       // weighs at the last level only; payload: its rank there;
                 // primary: that of its repetition (ー after it)
    kMark,       // a voicing mark; diacritic: what it adds
    kRepeat,     // payload: takes the vowel << 1 | wide; diacritic: that of
                 // the repetition after kana
    kSeveral,    // primary: index of the first element; diacritic: count
    kNothing,    // NUL
};

struct Entry {
    unsigned primary = 0;
    unsigned diacritic = 0;
    unsigned kind = kNothing;
    unsigned payload = 0;
};

// The voicing marks: each adds to the diacritic weight of the entry before it
// (ﾞ and ゛ 3, ﾟ and ゜ 4: "ハﾟ" ties with "バﾞ", "ハﾞﾞ" with "パﾟ").
const std::map<unsigned, unsigned> kMarks = {{0xde, 3}, {0x814a, 3}, {0xdf, 4}, {0x814b, 4}};

// The repeat marks, by code: after kana, whether it takes the vowel (ー ｰ ―)
// or the kana itself, the diacritic of that repetition (ゞ ヾ voiced; 々 5,
// above semi-voicing: "カ々" ties with "カｶﾞ" there), and its own width.
struct RepeatMark {
    unsigned code;
    bool vowel;
    unsigned diacritic;
    bool wide;
};
const RepeatMark kRepeats[] = {
    {0x815b, true, 2, true},  {0xb0, true, 2, false},   {0x815c, true, 2, true},   // ー ｰ ―
    {0x8154, false, 2, true}, {0x8152, false, 2, true},                            // ゝ ヽ
    {0x8155, false, 3, true}, {0x8153, false, 3, true}, {0x8158, false, 5, true},  // ゞ ヾ 々
};

// The characters that weigh as several others: ㏄ as "cc" and so on; the 2 of
// ㎡ has a case weight above ②'s ("㎡" > "m②" at the case level).
struct Expansion {
    unsigned code;
    std::vector<unsigned> codes;
    int caseOfSecond;  // -1: that character's own
};
const Expansion kExpansionRules[] = {
    {0x8774, {'c', 'c'}, -1}, {0x8770, {'c', 'm'}, -1}, {0x8773, {'k', 'g'}, -1},
    {0x8783, {'K', 'K'}, -1}, {0x8771, {'k', 'm'}, -1}, {0x8775, {'m', '2'}, 3},
    {0x8772, {'m', 'g'}, -1}, {0x876f, {'m', 'm'}, -1},
};

constexpr unsigned kDefaultCharacter = 0x8145;  // ・, what undecodable text weighs as

struct Line {
    std::vector<std::pair<std::vector<unsigned>, Entry>> members;
};

unsigned ParseCode(const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || !IsCode(static_cast<unsigned>(value))) {
        Fail("not a code: \"" + text + "\"");
    }
    return static_cast<unsigned>(value);
}

// All codes from first to last, in order.
std::vector<unsigned> Range(unsigned first, unsigned last) {
    std::vector<unsigned> out;
    for (unsigned code = first; code <= last; ++code) {
        if (IsCode(code)) {
            out.push_back(code);
        }
    }
    return out;
}

// order.txt: one Line per primary weight (see measure.cpp for the format).
// Kana lines name their vowel's line by its first code: kanaVowel[line] = code.
std::vector<Line> ReadOrder(const char* path, std::map<size_t, unsigned>& kanaVowel) {
    std::ifstream in(path);
    if (!in) {
        Fail(std::string("cannot read ") + path);
    }
    std::vector<Line> lines;
    std::string text;
    while (std::getline(in, text)) {
        text = text.substr(0, text.find('#'));
        std::istringstream words(text);
        std::string word;
        if (!(words >> word)) {
            continue;
        }
        bool kana = false;
        if (word == "kana") {
            kana = true;
            if (!(words >> word) || word.back() != ':') {
                Fail("a kana line without its vowel: " + text);
            }
            kanaVowel[lines.size()] = ParseCode(word.substr(0, word.size() - 1));
            words >> word;
        }
        const std::string weights = word.substr(std::min(word.find('/'), word.size()));
        const std::string codes = word.substr(0, word.find('/'));
        unsigned diacritic = 2;
        if (weights.rfind("/d", 0) == 0) {
            diacritic = static_cast<unsigned>(std::stoul(weights.substr(2)));
        }
        if (codes.find("..") != std::string::npos) {
            // Runs: a line per code, the columns of "=" being duplicates.
            std::vector<std::vector<unsigned>> columns;
            std::istringstream parts(codes);
            std::string part;
            while (std::getline(parts, part, '=')) {
                const size_t dots = part.find("..");
                columns.push_back(
                    Range(ParseCode(part.substr(0, dots)), ParseCode(part.substr(dots + 2))));
                if (columns.back().size() != columns.front().size()) {
                    Fail("paired runs of different lengths: " + codes);
                }
            }
            for (size_t i = 0; i < columns.front().size(); ++i) {
                Line line;
                std::vector<unsigned> same;
                for (const auto& column : columns) {
                    same.push_back(column[i]);
                }
                line.members.push_back({same, {0, diacritic, kPlain, 0}});
                lines.push_back(line);
            }
            continue;
        }
        Line line;
        do {
            std::vector<unsigned> same;
            std::istringstream parts(word.substr(0, word.find('/')));
            std::string part;
            while (std::getline(parts, part, '=')) {
                same.push_back(ParseCode(part));
            }
            Entry entry{0, 2, kana ? unsigned{kKanaLarge} : unsigned{kPlain}, 0};
            bool hiragana = false, narrow = false;
            std::istringstream attributes(word.substr(std::min(word.find('/'), word.size())));
            std::string attribute;
            std::getline(attributes, attribute, '/');  // what precedes the first '/'
            while (std::getline(attributes, attribute, '/')) {
                if (attribute[0] == 'd') {
                    entry.diacritic = static_cast<unsigned>(std::stoul(attribute.substr(1)));
                } else if (attribute[0] == 'c' && !kana) {
                    entry.payload = static_cast<unsigned>(std::stoul(attribute.substr(1)));
                } else if (attribute == "s" && kana) {
                    entry.kind = kKanaSmall;
                } else if (attribute == "h" && kana) {
                    hiragana = true;
                } else if (attribute == "n" && kana) {
                    narrow = true;
                } else {
                    Fail("unknown weight /" + attribute + " in: " + text);
                }
            }
            if (kana) {
                entry.payload = (hiragana ? 2u : 0u) | (narrow ? 0u : 1u);  // vowel added later
            }
            if (entry.payload > 31 || entry.diacritic > 255) {
                Fail("a weight out of range in: " + text);
            }
            line.members.push_back({same, entry});
        } while (words >> word);
        lines.push_back(line);
    }
    return lines;
}

// Takes code out of its line and puts it first in the line of `target`, with
// the usual case weight, the characters already there taking the next one.
void MoveBefore(std::vector<Line>& lines, unsigned code, unsigned target) {
    std::pair<std::vector<unsigned>, Entry> moved;
    for (Line& line : lines) {
        for (auto it = line.members.begin(); it != line.members.end(); ++it) {
            if (it->first == std::vector<unsigned>{code}) {
                moved = *it;
                line.members.erase(it);
                break;
            }
        }
    }
    for (Line& line : lines) {
        if (!line.members.empty() && line.members[0].first == std::vector<unsigned>{target}) {
            for (auto& member : line.members) {
                ++member.second.payload;
            }
            moved.second.payload = 0;
            line.members.insert(line.members.begin(), moved);
            return;
        }
    }
    Fail("no line to move a character to");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ORDER.txt OUTPUT.h\n", argv[0]);
        return 2;
    }
    std::map<size_t, unsigned> kanaVowel;
    std::vector<Line> lines = ReadOrder(argv[1], kanaVowel);

    // Where the Windows function itself was measured, it wins: there the
    // backslash sorts between [ and ] (tests/platform/compare_string_test.cpp),
    // where wine puts the full-width backslash ＼, while wine weighs it with
    // the yen sign ￥. It joins ＼ as its usual-width form, as [ joins ［.
    MoveBefore(lines, '\\', 0x815f);

    std::map<unsigned, Entry> entries;  // by code
    auto set = [&](unsigned code, const Entry& entry) {
        if (!entries.emplace(code, entry).second) {
            Fail("a code is given twice");
        }
    };

    // The last level: control characters, then ' ＇ - － ‐, one rank each in
    // that order. Repeated by ー, they weigh at the first level, below every
    // other character, each control apart, ' with ＇ and - with －.
    struct LastLevel {
        std::vector<unsigned> codes;
        bool sharesRepetition;  // with the one before
    };
    std::vector<LastLevel> lastLevel;
    for (unsigned byte = 0x01; byte <= 0x7f; ++byte) {
        if (byte <= 0x08 || (byte >= 0x0e && byte <= 0x1f) || byte == 0x7f) {
            lastLevel.push_back({{byte}, false});
        }
    }
    lastLevel.push_back({{'\''}, false});
    lastLevel.push_back({{0xeefb, 0xfa56}, true});
    lastLevel.push_back({{'-'}, false});
    lastLevel.push_back({{0x817c}, true});
    lastLevel.push_back({{0x815d}, false});
    unsigned primary = 0;
    for (size_t rank = 0; rank < lastLevel.size(); ++rank) {
        primary += lastLevel[rank].sharesRepetition ? 0 : 1;
        for (const unsigned code : lastLevel[rank].codes) {
            set(code, {primary, 0, kLast, static_cast<unsigned>(rank)});
        }
    }
    if (lastLevel.size() > 32) {
        Fail("more last-level ranks than the payload holds");
    }

    // The measured order, a primary weight per line.
    std::map<unsigned, size_t> lineOfCode;
    for (size_t l = 0; l < lines.size(); ++l) {
        ++primary;
        for (const auto& [codes, weights] : lines[l].members) {
            for (const unsigned code : codes) {
                Entry entry = weights;
                entry.primary = primary;
                set(code, entry);
                lineOfCode[code] = l;
            }
        }
    }
    const unsigned firstOrdinary = primary - static_cast<unsigned>(lines.size()) + 1;
    const unsigned maxPrimary = primary + 1;  // a repeat mark with nothing to repeat
    if (maxPrimary > 0xffff) {
        Fail("more primary weights than 16 bits hold");
    }

    // Kana: the vowel, as an index into the vowels' primaries.
    std::vector<unsigned> vowels;
    for (const auto& [line, vowelCode] : kanaVowel) {
        const unsigned vowelPrimary =
            firstOrdinary + static_cast<unsigned>(lineOfCode.at(vowelCode));
        size_t index = 0;
        while (index < vowels.size() && vowels[index] != vowelPrimary) {
            ++index;
        }
        if (index == vowels.size()) {
            vowels.push_back(vowelPrimary);
        }
        if (index > 7) {
            Fail("more vowels than the payload holds");
        }
        for (const auto& [codes, weights] : lines[line].members) {
            for (const unsigned code : codes) {
                entries[code].payload |= static_cast<unsigned>(index) << 2;
            }
        }
    }

    set(0x00, {0, 0, kNothing, 0});
    for (const auto& [code, adds] : kMarks) {
        set(code, {0, adds, kMark, 0});
    }
    for (const RepeatMark& mark : kRepeats) {
        set(mark.code,
            {0, mark.diacritic, kRepeat, (mark.vowel ? 2u : 0u) | (mark.wide ? 1u : 0u)});
    }
    std::vector<Entry> expansions;
    for (const Expansion& rule : kExpansionRules) {
        set(rule.code, {static_cast<unsigned>(expansions.size()),
                        static_cast<unsigned>(rule.codes.size()), kSeveral, 0});
        for (size_t i = 0; i < rule.codes.size(); ++i) {
            Entry element = entries.at(rule.codes[i]);
            if (i == 1 && rule.caseOfSecond >= 0) {
                element.payload = static_cast<unsigned>(rule.caseOfSecond);
            }
            expansions.push_back(element);
        }
    }

    // Every other code, lone lead bytes included, weighs as the default
    // character. The table has a place for every lead byte with every byte
    // from 0x40 to 0xFC.
    const Entry fallback = entries.at(kDefaultCharacter);
    std::vector<std::pair<unsigned, Entry>> table;
    for (unsigned code = 0; code <= 0xffff; ++code) {
        if (code < 256 || (IsLead(code >> 8) && (code & 0xff) >= 0x40 && (code & 0xff) <= 0xfc)) {
            const auto it = entries.find(code);
            table.emplace_back(code, it != entries.end() ? it->second : fallback);
        }
    }

    FILE* out = std::fopen(argv[2], "w");
    if (out == nullptr) {
        Fail("cannot write the output");
    }
    std::fprintf(
        out,
        "// Generated by tools/cp932_weights.sh from tools/cp932_weights/order.txt.\n"
        "// Do not edit: change the generator or measure again, and run the script.\n"
        "//\n"
        "// Sort weights of code page 932 text; see compare_string.cpp for their use.\n"
        "#pragma once\n\n#include <cstdint>\n\nnamespace cp932_weights {\n\n"
        "// What a character is, and how the five payload bits of Entry::info read.\n"
        "enum Kind : uint8_t {\n"
        "    kPlain,      // payload: case weight\n"
        "    kKanaSmall,  // payload: vowel << 2 | hiragana << 1 | usual width (not half)\n"
        "    kKanaLarge,  // the same\n"
        "    kLast,       // weighs at the last level only; payload: its rank there;\n"
        "                 // primary: that of its repetition\n"
        "    kMark,       // a voicing mark; diacritic: what it adds to the entry before\n"
        "    kRepeat,     // payload: takes the vowel << 1 | usual width; diacritic:\n"
        "                 // that of its repetition of kana\n"
        "    kSeveral,    // primary: index of the first in kExpansions; diacritic: count\n"
        "    kNothing,    // weighs nothing\n"
        "};\n\n"
        "// A character's weights: primary (0: none), diacritic (0: none), kind << 5 |\n"
        "// payload.\n"
        "struct Entry {\n    uint16_t primary;\n    uint8_t diacritic;\n    uint8_t info;\n};\n\n"
        "// Consecutive codes: the first code's entry, its primary climbing by `step`\n"
        "// per code.\n"
        "struct Run {\n    uint16_t code;\n    uint16_t count;\n    Entry first;\n"
        "    uint8_t step;\n};\n\n");
    auto info = [](const Entry& e) { return e.kind << 5 | e.payload; };
    std::fprintf(out, "// The primary of a repeat mark with nothing before it to repeat.\n");
    std::fprintf(out, "inline constexpr uint16_t kMaxPrimary = %u;\n\n", maxPrimary);
    std::fprintf(out, "// The vowels' primaries, by the vowel number of kana.\n");
    std::fprintf(out, "inline constexpr uint16_t kVowels[] = {");
    for (size_t i = 0; i < vowels.size(); ++i) {
        std::fprintf(out, "%s%u", i == 0 ? "" : ", ", vowels[i]);
    }
    std::fprintf(out, "};\n\ninline constexpr Run kRuns[] = {\n");
    size_t runs = 0;
    for (size_t i = 0; i < table.size();) {
        const Entry& first = table[i].second;
        size_t n = 1;
        int step = -1;
        while (i + n < table.size() && table[i + n].first == table[i].first + n && n < 0xffff) {
            const Entry& next = table[i + n].second;
            if (next.diacritic != first.diacritic || info(next) != info(first) ||
                first.kind == kSeveral) {
                break;
            }
            const int d = static_cast<int>(next.primary) - static_cast<int>(first.primary);
            const int s = d / static_cast<int>(n);
            if ((s != 0 && s != 1) || s * static_cast<int>(n) != d || (step != -1 && s != step)) {
                break;
            }
            step = s;
            ++n;
        }
        std::fprintf(out, "    {0x%04x, %zu, {%u, %u, 0x%02x}, %d},\n", table[i].first, n,
                     first.primary, first.diacritic, info(first), step < 0 ? 0 : step);
        ++runs;
        i += n;
    }
    std::fprintf(out, "};\n\ninline constexpr Entry kExpansions[] = {\n");
    for (const Entry& e : expansions) {
        std::fprintf(out, "    {%u, %u, 0x%02x},\n", e.primary, e.diacritic, info(e));
    }
    std::fprintf(out, "};\n\n}  // namespace cp932_weights\n");
    std::fclose(out);
    std::fprintf(stderr, "cp932_weights: %zu lines, %u primaries, %zu runs, %zu vowels\n",
                 lines.size(), maxPrimary, runs, vowels.size());
    return 0;
}
