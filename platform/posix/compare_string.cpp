// CompareStringA on POSIX: the linguistic order of a code page 932 system.
//
// One order for every operand, plain ASCII or not. Each character, single- or
// double-byte, is looked up in the weight table of cp932_weights.h (made by
// tools/cp932_weights.sh from the order measured in
// tools/cp932_weights/order.txt), and the operands are compared level by
// level, each level over the whole text and consulted only when the ones
// before it tie:
//   1. primary: the letter, digit, symbol, kana or kanji, with case, width,
//      kana type and voicing folded;
//   2. diacritic: voicing (か, が, ぱ) and accents. A voicing mark ﾞ ﾟ ゛ ゜
//      adds to the diacritic of the last character that has one, or stands
//      alone at the start. Characters without a diacritic (the private-use
//      ones) leave no entry, and entries of 2 or less at the end count as
//      none;
//   3. case and width of letters, digits and symbols (a, ａ, A, Ａ; 1, １, ①);
//   4. small kana before large;
//   5. kana that repeat (ゝ, ー) after the others, the long-vowel mark last;
//   6. katakana before hiragana;
//   7. half-width kana before the usual width;
//   8. the apostrophes, hyphens and control characters, which weigh nothing
//      before: one entry each, where it stands (the number of weighing
//      characters before it) and its rank. Entries are compared from the
//      left; at the first difference a later position sorts first, then a
//      lower rank (control characters, then ' ＇ - － ‐); text that runs out
//      of entries first sorts first, so "ab" < "a-b" and "ab-" < "ab--".
// At levels 1 and 3 to 7 the first difference from the left decides, and text
// that runs out first sorts first. NUL weighs nothing and is passed over.
//
// The repeat marks weigh as what they repeat, the last character before them
// other than NUL, voicing marks and repeat marks:
//   - after kana, ー ｰ ― weigh as the kana's vowel (カー as カア, ンー as ンン),
//     ゝ ヽ as the kana unvoiced, ゞ ヾ voiced, 々 with a diacritic above
//     voicing; small if the kana is, and its kana type;
//   - after any other character, each of them weighs as that character with
//     the usual case (aー as aa, Aー as Aa, 亜々 as 亜亜); after an apostrophe,
//     hyphen or control character, at the primary level, below every other
//     character;
//   - with nothing to repeat, or after a character that weighs as several
//     (㎡), above every other character.
//
// Text that is not code page 932 (a lead byte with any byte after it that
// does not make a character, an unassigned code, a lead byte at the end)
// weighs as the default character ・, one per lead byte. The bytes 0x80,
// 0xA0 and 0xFD to 0xFF are characters of their own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "cp932_weights.h"
#include "kernel32.h"

namespace {

using cp932_weights::Entry;
using cp932_weights::Kind;

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

using Table = std::array<Entry, kTableSize>;

consteval Table BuildTable() {
    Table table{};
    std::array<bool, kTableSize> filled{};
    for (const cp932_weights::Run& run : cp932_weights::kRuns) {
        for (unsigned i = 0; i < run.count; ++i) {
            const unsigned code = run.code + i;
            if ((code >= 256 &&
                 (!IsLead(code >> 8) || (code & 0xff) < 0x40 || (code & 0xff) > 0xfc)) ||
                filled[TableIndex(code)]) {
                throw "a run covers a code twice or one that is not in the table";
            }
            Entry entry = run.first;
            entry.primary = static_cast<uint16_t>(entry.primary + run.step * i);
            table[TableIndex(code)] = entry;
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
constexpr const Entry& kDefaultCharacter = kTable[TableIndex(0x8145)];  // ・

constexpr Kind KindOf(const Entry& e) {
    return static_cast<Kind>(e.info >> 5);
}
constexpr unsigned PayloadOf(const Entry& e) {
    return e.info & 31u;
}
constexpr bool IsKanaInfo(unsigned info) {
    return (info >> 5) == cp932_weights::kKanaSmall || (info >> 5) == cp932_weights::kKanaLarge;
}

// What one character, or one of several a character weighs as, gives the
// levels: primary (never 0 here), diacritic (0: no entry), and, for levels 3
// to 7, an entry's info byte (see cp932_weights.h) and how it repeats kana
// (0: it does not, 1: the kana, 2: its vowel).
struct Element {
    uint16_t primary = 0;
    uint8_t diacritic = 0;
    uint8_t info = 0;
    uint8_t repeat = 0;
};

// Levels 3 to 7 of an element: case; then, for kana, large 1 / small 0, the
// repeat, hiragana 1 / katakana 0, usual width 1 / half-width 0.
std::array<uint8_t, 5> LaterLevels(const Element& e) {
    const unsigned payload = e.info & 31u;
    if (!IsKanaInfo(e.info)) {
        return {static_cast<uint8_t>(payload), 0, 0, 0, 0};
    }
    return {0, static_cast<uint8_t>((e.info >> 5) == cp932_weights::kKanaLarge ? 1 : 0), e.repeat,
            static_cast<uint8_t>(payload >> 1 & 1), static_cast<uint8_t>(payload & 1)};
}

// Reads an operand character by character: its elements, and on request the
// voicing marks and last-level entries between them.
class Reader {
  public:
    enum class Item { kElement, kMark, kLast };

    explicit Reader(std::string_view text) : text_(text) {}

    // The next element; false at the end.
    bool NextElement(Element& element) {
        // Most text: plain characters and kana, straight from the table.
        if (several_.empty() && at_ < text_.size()) {
            const size_t at = at_;
            const Entry& entry = Read();
            if (KindOf(entry) <= cp932_weights::kKanaLarge) {
                base_ = &entry;
                element = FromEntry(entry);
                return true;
            }
            if (KindOf(entry) == cp932_weights::kRepeat) {
                element = Repetition(entry);
                return true;
            }
            at_ = at;
        }
        Item item;
        unsigned value = 0;
        while (Next(item, element, value)) {
            if (item == Item::kElement) {
                return true;
            }
        }
        return false;
    }

    // The next item; false at the end. kElement fills element, kMark gives
    // what the mark adds in `value`, kLast the rank.
    bool Next(Item& item, Element& element, unsigned& value) {
        for (;;) {
            if (!several_.empty()) {
                element = FromEntry(several_.front());
                several_ = several_.subspan(1);
                item = Item::kElement;
                return true;
            }
            if (at_ >= text_.size()) {
                return false;
            }
            const Entry& entry = Read();
            if (KindOf(entry) <= cp932_weights::kKanaLarge) {
                base_ = &entry;
                element = FromEntry(entry);
                item = Item::kElement;
                return true;
            }
            switch (KindOf(entry)) {
                case cp932_weights::kMark:
                    item = Item::kMark;
                    value = entry.diacritic;
                    return true;
                case cp932_weights::kLast:
                    base_ = &entry;
                    item = Item::kLast;
                    value = PayloadOf(entry);
                    return true;
                case cp932_weights::kRepeat:
                    element = Repetition(entry);
                    item = Item::kElement;
                    return true;
                case cp932_weights::kSeveral:
                    base_ = &entry;
                    several_ = std::span(cp932_weights::kExpansions)
                                   .subspan(entry.primary, entry.diacritic);
                    continue;
                default:  // kNothing
                    continue;
            }
        }
    }

  private:
    const Entry& Read() {
        const unsigned byte = static_cast<unsigned char>(text_[at_++]);
        if (!IsLead(byte) || at_ >= text_.size()) {
            return kTable[byte];  // a lead byte at the end weighs as ・
        }
        const unsigned trail = static_cast<unsigned char>(text_[at_++]);
        return IsTrail(trail) ? kTable[TableIndex(byte << 8 | trail)] : kDefaultCharacter;
    }

    static Element FromEntry(const Entry& entry) {
        return {entry.primary, entry.diacritic, entry.info, 0};
    }

    // What a repeat mark weighs as, after base_.
    Element Repetition(const Entry& mark) const {
        if (base_ == nullptr || KindOf(*base_) == cp932_weights::kSeveral) {
            return {cp932_weights::kMaxPrimary, 0, 0, 0};
        }
        const Entry& base = *base_;
        if (KindOf(base) == cp932_weights::kLast) {
            return {base.primary, 2, 0, 0};
        }
        if (!IsKanaInfo(base.info)) {
            return {base.primary, base.diacritic, 0, 0};  // the usual case: payload 0
        }
        // The kana's size and type, the mark's own width.
        const uint8_t info = static_cast<uint8_t>((base.info & ~1u) | (PayloadOf(mark) & 1));
        if ((PayloadOf(mark) & 2) != 0) {
            return {cp932_weights::kVowels[PayloadOf(base) >> 2], 2, info, 2};
        }
        return {base.primary, mark.diacritic, info, 1};
    }

    std::string_view text_;
    size_t at_ = 0;
    const Entry* base_ = nullptr;     // the last character a repeat mark repeats
    std::span<const Entry> several_;  // the rest of a character of several elements
};

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The first difference of each of levels 3 to 7 between two elements of the
// same primary, where none was found before.
void KeepLaterDifferences(const Element& l, const Element& r, std::array<int, 5>& first) {
    const std::array<uint8_t, 5> left = LaterLevels(l);
    const std::array<uint8_t, 5> right = LaterLevels(r);
    for (size_t level = 0; level < first.size(); ++level) {
        if (first[level] == 0) {
            first[level] = Order(left[level], right[level]);
        }
    }
}

// Levels 1 and 3 to 7 in one pass: the primaries decide at once; while they
// tie, the first difference of each later level is kept. `later` gets the
// result of levels 3 to 7 (0 if they tie) when the primaries tie.
int ComparePrimaries(std::string_view a, std::string_view b, int& later) {
    Reader left(a);
    Reader right(b);
    std::array<int, 5> first{};
    for (;;) {
        Element l, r;
        const bool hasLeft = left.NextElement(l);
        const bool hasRight = right.NextElement(r);
        if (!hasLeft || !hasRight) {
            if (hasLeft != hasRight) {
                return hasLeft ? 1 : -1;
            }
            break;
        }
        if (l.primary != r.primary) {
            return Order(l.primary, r.primary);
        }
        if (l.info != r.info || l.repeat != r.repeat) {
            KeepLaterDifferences(l, r, first);
        }
    }
    later = 0;
    for (const int order : first) {
        if (order != 0) {
            later = order;
            break;
        }
    }
    return 0;
}

// The diacritic entries of an operand: each character's, with the voicing
// marks after it added in (modulo 256).
class DiacriticStream {
  public:
    explicit DiacriticStream(std::string_view text) : reader_(text) {}

    bool Next(uint8_t& diacritic) {
        Reader::Item item;
        Element element;
        unsigned value = 0;
        while (reader_.Next(item, element, value)) {
            if (item == Reader::Item::kMark) {
                pending_ = static_cast<uint8_t>(havePending_ ? pending_ + value : value);
                havePending_ = true;
            } else if (item == Reader::Item::kElement && element.diacritic != 0) {
                const bool had = havePending_;
                const uint8_t previous = pending_;
                pending_ = element.diacritic;
                havePending_ = true;
                if (had) {
                    diacritic = previous;
                    return true;
                }
            }
        }
        if (havePending_) {
            havePending_ = false;
            diacritic = pending_;
            return true;
        }
        return false;
    }

    // Whether every entry still to come is 2 or less.
    bool RestIsLow() {
        uint8_t diacritic = 0;
        while (Next(diacritic)) {
            if (diacritic > 2) {
                return false;
            }
        }
        return true;
    }

  private:
    Reader reader_;
    uint8_t pending_ = 0;
    bool havePending_ = false;
};

// Level 2, with the entries of 2 or less at the end left out.
int CompareDiacritics(std::string_view a, std::string_view b) {
    DiacriticStream left(a);
    DiacriticStream right(b);
    for (;;) {
        uint8_t l = 0;
        uint8_t r = 0;
        const bool hasLeft = left.Next(l);
        const bool hasRight = right.Next(r);
        if (hasLeft && hasRight && l == r) {
            continue;
        }
        // At the first difference: does either text end here, once the low
        // entries at its end are left out?
        const bool leftEnds = !hasLeft || (l <= 2 && left.RestIsLow());
        const bool rightEnds = !hasRight || (r <= 2 && right.RestIsLow());
        if (leftEnds || rightEnds) {
            return Order(!leftEnds, !rightEnds);
        }
        return Order(l, r);
    }
}

// The last level's entries: (position, rank) of each apostrophe, hyphen and
// control character.
class LastLevelStream {
  public:
    explicit LastLevelStream(std::string_view text) : reader_(text) {}

    bool Next(size_t& position, unsigned& rank) {
        Reader::Item item;
        Element element;
        unsigned value = 0;
        while (reader_.Next(item, element, value)) {
            if (item == Reader::Item::kLast) {
                position = weighed_;
                rank = value;
                return true;
            }
            weighed_ += item == Reader::Item::kElement ? 1 : 0;
        }
        return false;
    }

  private:
    Reader reader_;
    size_t weighed_ = 0;  // elements read so far
};

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
    int later = 0;
    if (const int order = ComparePrimaries(a, b, later); order != 0) {
        return order;
    }
    if (const int order = CompareDiacritics(a, b); order != 0) {
        return order;
    }
    if (later != 0) {
        return later;
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
