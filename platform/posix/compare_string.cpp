// CompareStringA on POSIX: the linguistic order of a code page 932 system.
//
// One order for every operand, plain ASCII or not: each character, single- or
// double-byte, is looked up in the weight table of cp932_weights.h (made by
// tools/cp932_weights.sh) and the operands are compared level by level, each
// level over the whole text and consulted only when the ones before it tie:
//   1. primary weights: letters, digits, kana, kanji, symbols, with case,
//      width and kana type folded; apostrophes, hyphens and control characters
//      skipped;
//   2. secondary weights: voicing marks and accents (か before が);
//   3. case: lower case before upper case (a, A), small kana before large,
//      plain forms before compatibility forms (1, ①);
//   4. kana type: katakana before hiragana (ア, あ);
//   5. width: half-width before the usual form before full-width (ｱ, ア;
//      a, ａ);
//   6. the skipped apostrophes, hyphens and control characters, one entry
//      each: where it stands (its index among the characters that weigh),
//      and its rank. Entries are compared from the left; at the first
//      difference a later position sorts first, then a lower rank (control
//      characters, then the apostrophe, then the hyphen); text that runs out
//      of entries first sorts first, so "ab" < "a-b" and "ab-" < "ab--".
// At levels 1 to 5 the first difference from the left decides, and text that
// runs out first sorts first. NUL weighs nothing and is not counted as a
// position.
//
// Bytes that are not code page 932 text (a lead byte without its trail byte,
// an unassigned code, the bytes 0x80, 0xA0 and 0xFD to 0xFF) weigh as the
// default character ・ that the system's conversion turns them into. A lead
// byte without a valid trail byte is read alone; the next byte starts afresh.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "cp932_weights.h"
#include "kernel32.h"

namespace {

using cp932_weights::Element;
using cp932_weights::kExpansions;
using cp932_weights::kLastLevel;
using cp932_weights::kRuns;
using cp932_weights::kSeveral;

constexpr bool IsLead(unsigned byte) {
    return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}
constexpr bool IsTrail(unsigned byte) {
    return byte >= 0x40 && byte <= 0xfc && byte != 0x7f;
}

// The table has one entry per byte, then one per lead byte and trail byte.
constexpr size_t kTrailSpan = 0xfc - 0x40 + 1;
constexpr size_t kLeadBytes = (0x9f - 0x81 + 1) + (0xfc - 0xe0 + 1);
constexpr size_t kTableSize = 256 + kLeadBytes * kTrailSpan;

constexpr size_t TableIndex(unsigned code) {
    if (code < 256) {
        return code;
    }
    const unsigned lead = code >> 8;
    const size_t leadIndex = lead <= 0x9f ? lead - 0x81 : lead - 0xe0 + (0x9f - 0x81 + 1);
    return 256 + leadIndex * kTrailSpan + ((code & 0xff) - 0x40);
}

using Table = std::array<Element, kTableSize>;

consteval Table BuildTable() {
    Table table{};
    std::array<bool, kTableSize> filled{};
    for (const cp932_weights::Run& run : kRuns) {
        for (unsigned i = 0; i < run.count; ++i) {
            const unsigned code = run.code + i;
            if ((code >= 256 &&
                 (!IsLead(code >> 8) || (code & 0xff) < 0x40 || (code & 0xff) > 0xfc)) ||
                filled[TableIndex(code)]) {
                throw "a run covers a code twice or one that is not in the table";
            }
            Element element = run.first;
            element.primary = static_cast<uint16_t>(element.primary + run.step * i);
            table[TableIndex(code)] = element;
            filled[TableIndex(code)] = true;
        }
    }
    for (const bool f : filled) {
        if (!f) {
            throw "every code has an entry";
        }
    }
    return table;
}

constexpr Table kTable = BuildTable();

// One character's weights: its elements, or its rank at the last level.
struct Unit {
    std::span<const Element> elements;
    uint8_t lastLevel = 0;  // 0: none; NUL has neither
};

// Reads an operand character by character.
class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    // The next character; false at the end.
    bool Next(Unit& unit) {
        if (at_ >= text_.size()) {
            return false;
        }
        unsigned code = static_cast<unsigned char>(text_[at_++]);
        if (IsLead(code) && at_ < text_.size() && IsTrail(static_cast<unsigned char>(text_[at_]))) {
            code = code << 8 | static_cast<unsigned char>(text_[at_++]);
        }
        const Element& entry = kTable[TableIndex(code)];
        if (entry.tertiary == kLastLevel) {
            unit = {{}, entry.secondary};
        } else if (entry.tertiary == kSeveral) {
            unit = {std::span(kExpansions).subspan(entry.primary, entry.secondary), 0};
        } else {
            unit = {std::span(&entry, 1), 0};
        }
        return true;
    }

  private:
    std::string_view text_;
    size_t at_ = 0;
};

// The weights of one level, in order, with the zero weights left out.
class LevelStream {
  public:
    LevelStream(std::string_view text, unsigned level) : reader_(text), level_(level) {}

    // The next non-zero weight; 0 at the end.
    unsigned Next() {
        for (;;) {
            while (!pending_.empty()) {
                const Element& e = pending_.front();
                pending_ = pending_.subspan(1);
                if (const unsigned weight = Weight(e); weight != 0) {
                    return weight;
                }
            }
            Unit unit;
            if (!reader_.Next(unit)) {
                return 0;
            }
            pending_ = unit.elements;
        }
    }

  private:
    // The tertiary byte packs case, kana type and width: 1 + case * 6 +
    // kana * 3 + width, with kana in 0..1 and width in 0..2.
    unsigned Weight(const Element& e) const {
        const unsigned t = e.tertiary - 1u;
        switch (level_) {
            case 1:
                return e.primary;
            case 2:
                return e.secondary;
            case 3:
                return e.tertiary == 0 ? 0 : t / 6 + 1;
            case 4:
                return e.tertiary == 0 ? 0 : t / 3 % 2 + 1;
            default:
                return e.tertiary == 0 ? 0 : t % 3 + 1;
        }
    }

    Reader reader_;
    unsigned level_;
    std::span<const Element> pending_;
};

// The last level's entries: (position, rank) of each character that weighs
// only there.
class LastLevelStream {
  public:
    explicit LastLevelStream(std::string_view text) : reader_(text) {}

    bool Next(size_t& position, unsigned& rank) {
        Unit unit;
        while (reader_.Next(unit)) {
            if (unit.lastLevel != 0) {
                position = weighed_++;
                rank = unit.lastLevel;
                return true;
            }
            weighed_ += unit.elements.empty() ? 0 : 1;
        }
        return false;
    }

  private:
    Reader reader_;
    size_t weighed_ = 0;  // characters read that weigh at some level
};

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareLevel(std::string_view a, std::string_view b, unsigned level) {
    LevelStream left(a, level);
    LevelStream right(b, level);
    for (;;) {
        const unsigned l = left.Next();
        const unsigned r = right.Next();
        if (l != r || l == 0) {
            return Order(l, r);
        }
    }
}

int CompareLastLevel(std::string_view a, std::string_view b) {
    LastLevelStream left(a);
    LastLevelStream right(b);
    for (;;) {
        size_t leftPosition = 0;
        size_t rightPosition = 0;
        unsigned leftRank = 0;
        unsigned rightRank = 0;
        const bool l = left.Next(leftPosition, leftRank);
        const bool r = right.Next(rightPosition, rightRank);
        if (!l || !r) {
            return Order(l, r);
        }
        if (leftPosition != rightPosition) {
            return leftPosition > rightPosition ? -1 : 1;  // the later one first
        }
        if (const int order = Order(leftRank, rightRank); order != 0) {
            return order;
        }
    }
}

// -1, 0 or 1: a before, equal to or after b.
int CompareText(std::string_view a, std::string_view b) {
    for (unsigned level = 1; level <= 5; ++level) {
        if (const int order = CompareLevel(a, b, level); order != 0) {
            return order;
        }
    }
    return CompareLastLevel(a, b);
}

// The operand as a byte range; false if its pointer and count do not make one.
bool Operand(PCNZCH text, int count, std::string_view& out) {
    if (count < -1 || (text == nullptr && count != 0)) {
        return false;
    }
    if (count == 0) {
        out = {};
    } else if (count == -1) {
        out = std::string_view(text);
    } else {
        out = std::string_view(text, static_cast<size_t>(count));
    }
    return true;
}

}  // namespace

extern "C" int CompareStringA(LCID locale, DWORD flags, PCNZCH string1, int count1, PCNZCH string2,
                              int count2) {
    // On a code page 932 system the user's locale is the system's, so both
    // names are accepted; every other locale and every flag is refused.
    if ((locale != LOCALE_SYSTEM_DEFAULT && locale != LOCALE_USER_DEFAULT) || flags != 0) {
        return 0;
    }
    std::string_view a;
    std::string_view b;
    if (!Operand(string1, count1, a) || !Operand(string2, count2, b)) {
        return 0;
    }
    return CSTR_EQUAL + CompareText(a, b);
}
