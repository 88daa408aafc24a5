// Measures how the system's CompareStringA orders code page 932 characters, and
// writes tools/cp932_weights/order.txt, the order generate.cpp turns into our
// table. A Windows program: tools/cp932_weights.sh --measure cross-builds it
// and runs it under wine with the Japanese system locale.
//
// Everything here is found by comparing strings, nothing is read from the
// system's data:
//   - every code is sorted as a one-character string; codes that compare
//     equal are one character (the code page's duplicate codes), and the
//     unassigned ones equal the default character ・;
//   - the level at which two neighbours first differ comes from a suffix pair
//     that differs at one known level only: "xb" against "ya" differs at the
//     first level when x and y do, else the suffix decides, and so on for the
//     voicing, case, small-kana, kana-type and width levels;
//   - neighbours that tie at the first level share a primary weight (a line
//     of the output);
//   - diacritic weights are measured absolutely with the voicing marks ﾞ and
//     ﾟ, which add 3 and 4 to the diacritic of the character before them,
//     and which, leading the text, make an entry of 3 or 4 of their own:
//     "ﾞ..ﾞx" against "x" tells whether that entry is below x's diacritic;
//   - case weights come from pairs whose diacritics are made equal with the
//     marks, and from "xー" against "xx": after anything but kana, ー repeats
//     the character before it with the usual case;
//   - a kana's vowel is the one that "xー" ties with at the first level.
// The characters with rules of their own (NUL, the apostrophes, hyphens and
// control characters of the last level, the voicing marks, the repeat marks,
// the expansions) are left out here; generate.cpp describes them.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

using Text = std::string;

int Compare(const Text& a, const Text& b) {
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) -
           2;
}

bool IsLead(int byte) {
    return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}
bool IsTrail(int byte) {
    return byte >= 0x40 && byte <= 0xfc && byte != 0x7f;
}

Text Bytes(int code) {
    if (code < 256) {
        return Text(1, static_cast<char>(code));
    }
    return Text{static_cast<char>(code >> 8), static_cast<char>(code & 0xff)};
}

// The characters with rules of their own in generate.cpp.
bool HasOwnRule(int code) {
    static const std::set<int> kCodes = {
        0x00,   0x27,   0x2d,   0x7f,   0xb0,   0xde,   0xdf,   0x814a, 0x814b, 0x8152,
        0x8153, 0x8154, 0x8155, 0x8158, 0x815b, 0x815c, 0x815d, 0x817c, 0xeefb, 0xfa56,
        0x8770, 0x8771, 0x8772, 0x8773, 0x8774, 0x8775, 0x876f, 0x8783,  // ㎝㎞㎎㎏㏄㎡㎜㏍
    };
    return kCodes.count(code) != 0 || (code >= 0x01 && code <= 0x08) ||
           (code >= 0x0e && code <= 0x1f);
}

// Kana: hiragana, katakana and the half-width katakana (ｰ, ﾞ and ﾟ have rules).
bool IsKana(int code) {
    return (code >= 0x829f && code <= 0x82f1) || (code >= 0x8340 && code <= 0x8396) ||
           (code >= 0xa6 && code <= 0xdd && code != 0xb0);
}

constexpr int kDefaultCharacter = 0x8145;  // ・

// Merge sort: only less-than is asked, each pair at most once per merge.
void Sort(std::vector<int>& codes) {
    if (codes.size() < 2) {
        return;
    }
    std::vector<int> left(codes.begin(), codes.begin() + codes.size() / 2);
    std::vector<int> right(codes.begin() + codes.size() / 2, codes.end());
    Sort(left);
    Sort(right);
    size_t i = 0, j = 0, k = 0;
    while (i < left.size() && j < right.size()) {
        codes[k++] = Compare(Bytes(right[j]), Bytes(left[i])) < 0 ? right[j++] : left[i++];
    }
    while (i < left.size()) {
        codes[k++] = left[i++];
    }
    while (j < right.size()) {
        codes[k++] = right[j++];
    }
}

// Levels, in the order they are compared.
enum Level { kPrimary, kDiacritic, kCase, kSmall, kKanaType, kWidth, kNone };
const char* const kSuffix[][2] = {
    {"a", "b"},                // primary
    {"\x82\xa9", "\x82\xaa"},  // か が
    {"a", "A"},                // case
    {"\x82\x9f", "\x82\xa0"},  // ぁ あ
    {"\x83\x41", "\x82\xa0"},  // ア あ
    {"\xb1", "\x83\x41"},      // ｱ ア
};

// The first level at which x < y differ: "x" + higher suffix sorts first only
// when x and y differ at that level or before.
Level FirstDifference(const Text& x, const Text& y) {
    for (int level = kPrimary; level < kNone; ++level) {
        if (Compare(x + kSuffix[level][1], y + kSuffix[level][0]) < 0) {
            return static_cast<Level>(level);
        }
    }
    return kNone;
}

// "ﾞ" 3 and "ﾟ" 4 at a time: marks adding up to n, or none if n cannot be made.
bool Marks(int n, Text& out) {
    for (int fours = 0; fours * 4 <= n; ++fours) {
        if ((n - fours * 4) % 3 == 0) {
            out = Text((n - fours * 4) / 3, '\xde') + Text(fours, '\xdf');
            return true;
        }
    }
    return false;
}

// The diacritic weight of x, 0 when it has none: the least m for which a
// leading entry of m (marks in front) no longer sorts below x followed by two
// marks (x's diacritic + 6).
int AbsoluteDiacritic(const Text& x) {
    if (Compare("\xde" + x, x + "\xde") == 0) {
        return 0;  // a mark in front and behind land in the same entry
    }
    const Text probe = x + "\xde\xde";
    for (int m = 3; m < 256; ++m) {
        Text marks;
        if (Marks(m, marks) && Compare(marks + probe, probe) > 0) {
            return m - 6;
        }
    }
    return -1;
}

// d(x) - d(head) for x after head in its line, when it differs: the offset
// at which x + marks ties with head + marks at the diacritic level.
int DiacriticOffset(const Text& x, const Text& head, int from) {
    for (int delta = from; delta < 256; ++delta) {
        for (int a = 0; a < 256; ++a) {
            Text ma, mb;
            if (Marks(a, ma) && Marks(a + delta, mb)) {
                const bool low = Compare(x + ma + "\x82\xa9", head + mb + "\x82\xaa") < 0;
                const bool high = Compare(x + ma + "\x82\xaa", head + mb + "\x82\xa9") > 0;
                if (low && high) {
                    return delta;
                }
                break;
            }
        }
    }
    return -1;
}

// Marks making the diacritics dx and dy equal: dx + |mx| == dy + |my|.
void Equalize(int dx, int dy, Text& mx, Text& my) {
    for (int a = 0; a < 512; ++a) {
        if (a + dx - dy >= 0 && Marks(a, mx) && Marks(a + dx - dy, my)) {
            return;
        }
    }
}

std::string Utf8(int code) {
    const Text bytes = Bytes(code);
    wchar_t wide[4];
    const int n =
        MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), wide, 4);
    if (n == 1 && (wide[0] <= 0x20 || (wide[0] >= 0x7f && wide[0] <= 0xa0))) {
        return "?";  // white space and controls would upset the comment
    }
    char out[16];
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, out, sizeof out, nullptr, nullptr);
    return std::string(out, static_cast<size_t>(m > 0 ? m : 0));
}

struct Member {
    std::vector<int> codes;  // equal codes, the first one representing them
    Level link = kNone;      // where it differs from the member before it
    int diacritic = 2;
    int caseWeight = 0;
    bool small = false, hiragana = false, narrow = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    std::vector<int> codes;
    for (int byte = 0; byte < 256; ++byte) {
        if (!IsLead(byte) && !HasOwnRule(byte)) {
            codes.push_back(byte);
        }
    }
    for (int lead = 0x81; lead <= 0xfc; ++lead) {
        for (int trail = 0x40; trail <= 0xfc && IsLead(lead); ++trail) {
            if (IsTrail(trail) && !HasOwnRule(lead << 8 | trail)) {
                codes.push_back(lead << 8 | trail);
            }
        }
    }
    Sort(codes);

    // Equal neighbours are one character; of the default character's group
    // only ・ itself is assigned, the rest weigh as ・ for want of a character.
    std::vector<Member> members;
    for (size_t i = 0; i < codes.size(); ++i) {
        if (i > 0 && Compare(Bytes(codes[i - 1]), Bytes(codes[i])) == 0) {
            members.back().codes.push_back(codes[i]);
        } else {
            members.push_back({{codes[i]}});
        }
    }
    for (Member& m : members) {
        if (std::count(m.codes.begin(), m.codes.end(), kDefaultCharacter) != 0) {
            m.codes = {kDefaultCharacter};
        }
        std::sort(m.codes.begin(), m.codes.end());
    }
    std::vector<std::vector<Member>> lines;
    for (size_t i = 0; i < members.size(); ++i) {
        Member& m = members[i];
        if (i > 0) {
            m.link = FirstDifference(Bytes(members[i - 1].codes[0]), Bytes(m.codes[0]));
        }
        if (i == 0 || m.link == kPrimary || m.link == kNone) {
            lines.emplace_back();
        }
        lines.back().push_back(m);
    }

    const Text choon = "\x81\x5b";  // ー
    for (size_t l = 0; l < lines.size(); ++l) {
        std::vector<Member>& line = lines[l];
        const Text head = Bytes(line[0].codes[0]);
        line[0].diacritic = AbsoluteDiacritic(head);
        const bool kana = IsKana(line[0].codes[0]);
        for (size_t i = 1; i < line.size(); ++i) {
            line[i].diacritic = line[i - 1].diacritic;
            if (line[i].link == kDiacritic) {
                line[i].diacritic = line[0].diacritic +
                                    DiacriticOffset(Bytes(line[i].codes[0]), head,
                                                    line[i - 1].diacritic - line[0].diacritic + 1);
            }
        }
        if (kana) {
            // A line of kana is in order of diacritic, then size (small
            // first), kana type (katakana first) and width (half-width
            // first): each one's links tell its form.
            for (size_t k = 0; k < line.size(); ++k) {
                line[k].hiragana = line[k].link == kKanaType;
                line[k].narrow = k + 1 < line.size() && line[k + 1].link == kWidth;
                for (size_t j = k + 1; j < line.size() && line[j].link != kDiacritic; ++j) {
                    line[k].small = line[k].small || line[j].link == kSmall;
                }
            }
            continue;
        }
        if (line.size() == 1) {
            continue;
        }
        // Case: every pair with their diacritics made equal, and each member
        // against the usual case that ー gives its repetition.
        const size_t n = line.size();
        std::vector<std::vector<int>> order(n + 1, std::vector<int>(n + 1, 0));  // n: usual case
        for (size_t i = 0; i < n; ++i) {
            const Text x = Bytes(line[i].codes[0]);
            order[i][n] = Compare(x + x, x + choon);
            order[n][i] = -order[i][n];
            for (size_t j = i + 1; j < n; ++j) {
                const Text y = Bytes(line[j].codes[0]);
                Text mx, my;
                Equalize(line[i].diacritic, line[j].diacritic, mx, my);
                const int low = Compare(x + mx + "a", y + my + "A");
                const int high = Compare(x + mx + "A", y + my + "a");
                order[i][j] = low == high ? low : 0;
                order[j][i] = -order[i][j];
            }
        }
        // Rank the members and the usual case together; the usual case weighs 0.
        std::vector<size_t> sorted(n + 1);
        for (size_t i = 0; i <= n; ++i) {
            sorted[i] = i;
        }
        std::stable_sort(sorted.begin(), sorted.end(),
                         [&](size_t a, size_t b) { return order[a][b] < 0; });
        std::vector<int> rank(n + 1, 0);
        for (size_t k = 1; k <= n; ++k) {
            rank[sorted[k]] = rank[sorted[k - 1]] + (order[sorted[k - 1]][sorted[k]] != 0 ? 1 : 0);
        }
        for (size_t i = 0; i < n; ++i) {
            line[i].caseWeight = rank[i] - rank[n];
        }
    }

    // Vowels: the line whose head "xー" ties with x + head at the first level.
    std::vector<int> vowelHeads;
    for (const char* v : {"\x83\x41", "\x83\x43", "\x83\x45", "\x83\x47", "\x83\x49", "\x83\x93"}) {
        const int code = (static_cast<unsigned char>(v[0]) << 8) | static_cast<unsigned char>(v[1]);
        for (const auto& line : lines) {
            for (const Member& m : line) {
                if (std::count(m.codes.begin(), m.codes.end(), code) != 0) {
                    vowelHeads.push_back(line[0].codes[0]);
                }
            }
        }
    }

    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::fprintf(out,
                 "# The order of the code page 932 characters under the system's CompareStringA,\n"
                 "# as tools/cp932_weights/measure.cpp measured it (tools/cp932_weights.sh\n"
                 "# --measure). Not edited by hand; generate.cpp reads it.\n"
                 "#\n"
                 "# One line per primary weight, lowest first. A line lists the characters of\n"
                 "# that weight in their order, each as its code (a character's duplicate\n"
                 "# codes joined by \"=\"), then its weights where they are not the usual ones:\n"
                 "# /dN its diacritic weight N (usually 2; 0: none), /cN its case weight N\n"
                 "# (usually 0). A line of kana starts \"kana V:\", V being the line of its\n"
                 "# vowel (the code of that line's first character), and marks its small\n"
                 "# kana /s, its hiragana /h and its half-width kana /n. \"A..B\" stands for\n"
                 "# a line of its own for every code from A to B, in code order, with the\n"
                 "# usual weights or the diacritic weight given; \"A..B=C..D\" pairs the\n"
                 "# codes of two such ranges as duplicates. Codes not listed weigh as 8145.\n");
    // A line that can be part of a run: one character, no weights but its
    // diacritic.
    auto plain = [](const std::vector<Member>& line) {
        return line.size() == 1 && line[0].caseWeight == 0 && !IsKana(line[0].codes[0]);
    };
    auto nextCode = [](int code) {
        do {
            ++code;
        } while (code >= 256 && !(IsLead(code >> 8) && IsTrail(code & 0xff)));
        return code;
    };
    auto follows = [&](const Member& a, const Member& b) {
        if (a.codes.size() != b.codes.size() || a.diacritic != b.diacritic) {
            return false;
        }
        for (size_t c = 0; c < a.codes.size(); ++c) {
            if (b.codes[c] != nextCode(a.codes[c])) {
                return false;
            }
        }
        return true;
    };
    for (size_t l = 0; l < lines.size(); ++l) {
        const std::vector<Member>& line = lines[l];
        size_t end = l;
        while (plain(lines[l]) && end + 1 < lines.size() && plain(lines[end + 1]) &&
               follows(lines[end][0], lines[end + 1][0])) {
            ++end;
        }
        if (end > l + 1) {
            for (size_t c = 0; c < line[0].codes.size(); ++c) {
                std::fprintf(out, "%s%04x..%04x", c == 0 ? "" : "=", line[0].codes[c],
                             lines[end][0].codes[c]);
            }
            if (line[0].diacritic != 2) {
                std::fprintf(out, "/d%d", line[0].diacritic);
            }
            std::fprintf(out, "\n");
            l = end;
            continue;
        }
        std::string text, comment;
        if (IsKana(line[0].codes[0])) {
            const int vowel = [&] {
                const Text x = Bytes(line[0].codes[0]);
                for (const int head : vowelHeads) {
                    if (Compare(x + choon + "b", x + Bytes(head) + "a") > 0 &&
                        Compare(x + choon + "a", x + Bytes(head) + "b") < 0) {
                        return head;
                    }
                }
                return -1;
            }();
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "kana %04x:", vowel);
            text = buffer;
        }
        for (const Member& m : line) {
            char buffer[32];
            for (size_t c = 0; c < m.codes.size(); ++c) {
                std::snprintf(buffer, sizeof buffer, "%s%04x", c == 0 ? "" : "=", m.codes[c]);
                text += (c == 0 && !text.empty() ? " " : "") + std::string(buffer);
            }
            if (m.diacritic != 2) {
                text += "/d" + std::to_string(m.diacritic);
            }
            if (m.caseWeight != 0) {
                text += "/c" + std::to_string(m.caseWeight);
            }
            text += std::string(m.small ? "/s" : "") + (m.hiragana ? "/h" : "") +
                    (m.narrow ? "/n" : "");
            comment += " " + Utf8(m.codes[0]);
        }
        std::fprintf(out, "%-40s #%s\n", text.c_str(), comment.c_str());
    }
    std::fclose(out);
    return 0;
}
