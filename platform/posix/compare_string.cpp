// CompareStringA on POSIX: the linguistic order of a code page 932 system.
//
// Plain ASCII text is ordered by our own tables, which reproduce the order the
// Windows function gives on such a system. Text with any byte of 0x80 or above
// is decoded from code page 932 and ordered by ICU's Japanese collator.
#ifndef KERNEL32_WITHOUT_ICU
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucol.h>
#include <unicode/uvernum.h>
#endif

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "kernel32.h"

namespace {

// ---------------------------------------------------------------------------
// ASCII
//
// Three levels, each consulted only when the ones before it tie:
//   1. primary ranks, with apostrophes and hyphens skipped and case folded;
//   2. case, letter by letter: lower case before upper case;
//   3. the skipped apostrophes and hyphens: where they stood and which they were.
//
// Choices of ours where the Windows order was not measured:
// - NUL, the other control characters and DEL weigh nothing at any level, as
//   NUL is measured to; two strings that differ only in them compare equal.
// - Tab, line feed, vertical tab, form feed and carriage return are white space
//   and rank just before the space, in that order.
// - At the third level each skipped character counts as (position, kind): its
//   position is the number of weighted characters before it, its kind orders an
//   apostrophe before a hyphen. The lists are compared entry by entry, an
//   earlier position sorting first; a list that runs out first sorts first, so
//   text with no skipped character sorts before the same text with one.

// Every character with a first-level weight, from lowest to highest. A lower
// case letter and its capital share a rank; the capital differs by case only.
// The first two are skipped at the first level and only order the third.
constexpr std::string_view kAsciiOrder =
    "'-"
    "\t\n\v\f\r"
    " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>"
    "0123456789"
    "aAbBcCdDeEfFgGhHiIjJkKlLmMnNoOpPqQrRsStTuUvVwWxXyYzZ";

struct AsciiWeight {
    uint8_t primary = 0;  // 0: no first-level weight
    uint8_t upper = 0;    // 1 for a capital letter
    uint8_t skipped = 0;  // 1 apostrophe, 2 hyphen: weighed at the third level only
};

using AsciiTable = std::array<AsciiWeight, 128>;

constexpr bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

consteval AsciiTable BuildAsciiTable() {
    AsciiTable table{};
    std::array<int, 128> seen{};
    uint8_t rank = 0;
    uint8_t skippedKind = 0;
    for (const char c : kAsciiOrder) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= 128 || seen[code]++ != 0) {
            throw "each character appears once in the order";
        }
        AsciiWeight& weight = table[code];
        if (c == '\'' || c == '-') {
            weight.skipped = ++skippedKind;
        } else if (IsUpper(c)) {
            if (table[static_cast<unsigned char>(c - 'A' + 'a')].primary != rank) {
                throw "a capital follows its lower case letter";
            }
            weight.primary = rank;
            weight.upper = 1;
        } else {
            weight.primary = ++rank;
        }
    }
    for (int code = 0x20; code < 0x7f; ++code) {
        if (seen[code] != 1) {
            throw "every printable character has a place in the order";
        }
    }
    return table;
}

constexpr AsciiTable kAscii = BuildAsciiTable();

// Walks one operand, yielding the characters that one level looks at.
class AsciiCursor {
  public:
    explicit AsciiCursor(std::string_view text) : text_(text) {}

    // The next character with a first-level weight, or null at the end.
    const AsciiWeight* NextWeighted() {
        while (at_ < text_.size()) {
            const AsciiWeight& weight = kAscii[static_cast<unsigned char>(text_[at_++])];
            if (weight.primary != 0) {
                return &weight;
            }
        }
        return nullptr;
    }

    // The next skipped character as (position, kind); false at the end.
    bool NextSkipped(size_t& position, int& kind) {
        while (at_ < text_.size()) {
            const AsciiWeight& weight = kAscii[static_cast<unsigned char>(text_[at_++])];
            if (weight.primary != 0) {
                ++weightedSoFar_;
            } else if (weight.skipped != 0) {
                position = weightedSoFar_;
                kind = weight.skipped;
                return true;
            }
        }
        return false;
    }

  private:
    std::string_view text_;
    size_t at_ = 0;
    size_t weightedSoFar_ = 0;
};

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Levels 1 and 2: the weighted characters, compared by one field.
int CompareWeighted(std::string_view a, std::string_view b, uint8_t AsciiWeight::*field) {
    AsciiCursor left(a);
    AsciiCursor right(b);
    for (;;) {
        const AsciiWeight* l = left.NextWeighted();
        const AsciiWeight* r = right.NextWeighted();
        if (l == nullptr || r == nullptr) {
            return Order(l != nullptr, r != nullptr);
        }
        if (const int order = Order(l->*field, r->*field); order != 0) {
            return order;
        }
    }
}

// Level 3: the skipped apostrophes and hyphens.
int CompareSkipped(std::string_view a, std::string_view b) {
    AsciiCursor left(a);
    AsciiCursor right(b);
    for (;;) {
        size_t leftPosition = 0;
        size_t rightPosition = 0;
        int leftKind = 0;
        int rightKind = 0;
        const bool l = left.NextSkipped(leftPosition, leftKind);
        const bool r = right.NextSkipped(rightPosition, rightKind);
        if (!l || !r) {
            return Order(l, r);
        }
        if (const int order = Order(leftPosition, rightPosition); order != 0) {
            return order;
        }
        if (const int order = Order(leftKind, rightKind); order != 0) {
            return order;
        }
    }
}

int CompareAscii(std::string_view a, std::string_view b) {
    int order = CompareWeighted(a, b, &AsciiWeight::primary);
    if (order == 0) {
        order = CompareWeighted(a, b, &AsciiWeight::upper);
    }
    if (order == 0) {
        order = CompareSkipped(a, b);
    }
    return order;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

#ifndef KERNEL32_WITHOUT_ICU
// ---------------------------------------------------------------------------
// Code page 932 through ICU

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// A byte sequence that is not code page 932 becomes U+FFFD, so it still weighs
// something. ICU's own substitute for a single bad byte is U+001A, a control
// character the collator ignores, which would make "x" equal "x\x80".
void SubstituteReplacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*,
                                    int32_t, UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR) {
        return;  // reset, close or clone: nothing to write
    }
    static const UChar kReplacement = 0xfffd;
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, status);
}

// The shared decoder that per-call copies are cloned from; null if this ICU has
// no code page 932. A UConverter keeps state while it converts, so threads
// never convert with this one. It lives as long as the process.
const UConverter* Cp932Prototype() {
    static const UConverter* const prototype = [] {
        UErrorCode status = U_ZERO_ERROR;
        UConverter* converter = ucnv_open("windows-932", &status);
        if (U_FAILURE(status)) {
            ucnv_close(converter);
            return static_cast<UConverter*>(nullptr);
        }
        ucnv_setToUCallBack(converter, SubstituteReplacementCharacter, nullptr, nullptr, nullptr,
                            &status);
        if (U_FAILURE(status)) {
            ucnv_close(converter);
            return static_cast<UConverter*>(nullptr);
        }
        return converter;
    }();
    return prototype;
}

// The collator of a Japanese system at tertiary strength: case and accents
// count. ucol_strcoll only reads it, so threads share it. It lives as long as
// the process, so a comparison made while the process winds down still works.
const UCollator* JapaneseCollator() {
    static const UCollator* const collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* opened = ucol_open("ja", &status);
        if (U_SUCCESS(status)) {
            ucol_setStrength(opened, UCOL_TERTIARY);
            return opened;
        }
        ucol_close(opened);
        return static_cast<UCollator*>(nullptr);
    }();
    return collator;
}

// UTF-16 text of a code page 932 operand; false if the conversion fails.
bool DecodeCp932(UConverter* converter, std::string_view text, std::vector<UChar>& out) {
    if (text.size() >= static_cast<size_t>(INT32_MAX)) {
        return false;  // more than ICU's lengths can count
    }
    // Each byte gives at most one UTF-16 unit in this code page; the preflight
    // below covers anything else.
    out.resize(text.size() + 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode status = U_ZERO_ERROR;
        ucnv_resetToUnicode(converter);
        const int32_t length =
            ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), text.data(),
                          static_cast<int32_t>(text.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(static_cast<size_t>(length) + 1);
            continue;
        }
        if (U_FAILURE(status) || length < 0) {
            return false;
        }
        out.resize(static_cast<size_t>(length));
        return true;
    }
    return false;
}

// A decoder of our own, cloned from the shared one.
ConverterPtr CloneCp932(const UConverter* prototype) {
    UErrorCode status = U_ZERO_ERROR;
#if U_ICU_VERSION_MAJOR_NUM >= 71
    ConverterPtr converter(ucnv_clone(prototype, &status));
#else
    ConverterPtr converter(ucnv_safeClone(prototype, nullptr, nullptr, &status));
#endif
    if (U_FAILURE(status)) {
        converter.reset();
    }
    return converter;
}

// -1, 0 or 1 as for CompareAscii; nothing if ICU cannot do it.
std::optional<int> CompareCp932(std::string_view a, std::string_view b) {
    const UConverter* prototype = Cp932Prototype();
    const UCollator* collator = JapaneseCollator();
    if (prototype == nullptr || collator == nullptr) {
        return std::nullopt;
    }
    ConverterPtr converter = CloneCp932(prototype);
    std::vector<UChar> left;
    std::vector<UChar> right;
    if (converter == nullptr || !DecodeCp932(converter.get(), a, left) ||
        !DecodeCp932(converter.get(), b, right)) {
        return std::nullopt;
    }
    switch (ucol_strcoll(collator, left.data(), static_cast<int32_t>(left.size()), right.data(),
                         static_cast<int32_t>(right.size()))) {
        case UCOL_LESS:
            return -1;
        case UCOL_EQUAL:
            return 0;
        default:
            return 1;
    }
}

#else
// Built without ICU: no order for such text, reported as a failure.
std::optional<int> CompareCp932(std::string_view, std::string_view) {
    return std::nullopt;
}
#endif

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
    if (IsAscii(a) && IsAscii(b)) {
        return CSTR_EQUAL + CompareAscii(a, b);
    }
    try {
        const std::optional<int> order = CompareCp932(a, b);
        return order ? CSTR_EQUAL + *order : 0;
    } catch (...) {
        return 0;  // no memory for the decoded text
    }
}
