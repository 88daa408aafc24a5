// Seeded random code page 932 text for checks of the string order: the same
// sequence on every platform, so results made on Linux and under Windows can
// be put side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace random_text {

using namespace std::string_view_literals;

// Characters by kind, as code page 932 bytes. Each kind has characters that
// tie with characters of another kind at some level (case, width, kana type,
// voicing), so that every level is reached often.
inline constexpr std::string_view kLatin[] = {"a", "A", "b", "B", "z", "Z", "0", "9"};
inline constexpr std::string_view kPunctuation[] = {" ", "!", "#", "_", ",", "~", "\\", "+"};
inline constexpr std::string_view kSkipped[] = {"-", "'"};
inline constexpr std::string_view kControl[] = {"\x01", "\x1f", "\x7f", "\t", "\n", "\r", "\0"sv};
inline constexpr std::string_view kHiragana[] = {"\x82\xa0", "\x82\x9f", "\x82\xa9", "\x82\xaa",
                                                 "\x82\xcf", "\x82\xf1"};  // あぁかがぱん
inline constexpr std::string_view kKatakana[] = {
    "\x83\x41", "\x83\x40", "\x83\x4a", "\x83\x4b",
    "\x83\x70", "\x83\x93", "\x81\x5b"};  // アァカガパンー
inline constexpr std::string_view kHalfWidthKana[] = {"\xb1", "\xa7", "\xb6", "\xde",
                                                      "\xdf", "\xdd", "\xb0"};  // ｱｧｶﾞﾟﾝｰ
// Marks that weigh by the character before them: repeat marks and the
// voicing marks of the usual width.
inline constexpr std::string_view kMarks[] = {"\x81\x54", "\x81\x55", "\x81\x52", "\x81\x58",
                                              "\x81\x5c", "\x81\x4a", "\x81\x4b"};  // ゝゞヽ々―゛゜
inline constexpr std::string_view kFullWidth[] = {"\x82\x60", "\x82\x81", "\x82\x4f", "\x81\x49",
                                                  "\x81\x7c"};  // Ａａ０！－
inline constexpr std::string_view kKanji[] = {
    "\x88\x9f", "\x88\xa0", "\x8a\xbf", "\x8e\x9a",
    "\x93\xfa", "\x96\x7b", "\x98\x9f"};  // 亜唖漢字日本弌
inline constexpr std::string_view kSymbols[] = {
    "\x81\x41", "\x81\x42", "\x81\x45", "\x81\x75", "\x81\x9b", "\x81\xa6", "\x87\x40",
    "\x83\xbf", "\x84\x44", "\x81\x9d", "\x81\x82", "\x81\x8f", "\x81\x5f", "\x87\x75",
};  // 、。・「○※①αД◎≠￥＼㎡
// Bytes that make no character (0x81 pairs with whatever follows), an
// unassigned code, and the single bytes of their own.
inline constexpr std::string_view kInvalid[] = {"\x80", "\xa0", "\xfd", "\xff", "\x81", "\x85\x40"};

// Which kinds a text is drawn from.
enum class Mix { kAscii, kAsciiControls, kKana, kWidths, kKanji, kSymbols, kInvalid, kAll };

inline constexpr std::pair<Mix, std::string_view> kMixes[] = {
    {Mix::kAscii, "ascii"},     {Mix::kAsciiControls, "ascii+controls"},
    {Mix::kKana, "kana"},       {Mix::kWidths, "widths"},
    {Mix::kKanji, "kanji"},     {Mix::kSymbols, "symbols"},
    {Mix::kInvalid, "invalid"}, {Mix::kAll, "all"},
};

// Characters that differ in one respect only, for near pairs. A text's
// character equal to either side may become the other.
struct Swap {
    std::string_view a;
    std::string_view b;
};
inline constexpr Swap kKanaTypeSwaps[] = {
    {"\x82\xa0", "\x83\x41"}, {"\x82\x9f", "\x83\x40"}, {"\x82\xa9", "\x83\x4a"},
    {"\x82\xaa", "\x83\x4b"}, {"\x82\xcf", "\x83\x70"}, {"\x82\xf1", "\x83\x93"},
};  // あア ぁァ かカ がガ ぱパ んン
inline constexpr Swap kVoicingSwaps[] = {
    {"\x82\xa9", "\x82\xaa"}, {"\x83\x4a", "\x83\x4b"}, {"\xb6", "\xb6\xde"},
    {"\x82\xcf", "\x82\xce"}, {"\x83\x70", "\x83\x6f"},
};  // かが カガ ｶｶﾞ ぱば パバ
inline constexpr Swap kSizeSwaps[] = {
    {"\x82\x9f", "\x82\xa0"},
    {"\x83\x40", "\x83\x41"},
    {"\xa7", "\xb1"},
};  // ぁあ ァア ｧｱ
inline constexpr Swap kWidthSwaps[] = {
    {"\x83\x41", "\xb1"},     {"\x83\x40", "\xa7"}, {"\x83\x4a", "\xb6"}, {"\x83\x4b", "\xb6\xde"},
    {"\x83\x70", "\xca\xdf"}, {"\x83\x93", "\xdd"}, {"\x81\x5b", "\xb0"}, {"a", "\x82\x81"},
    {"A", "\x82\x60"},        {"0", "\x82\x4f"},    {"!", "\x81\x49"},    {"-", "\x81\x7c"},
};  // アｱ ァｧ カｶ ガｶﾞ パﾊﾟ ンﾝ ーｰ aａ AＡ 0０ !！ -－
inline constexpr Swap kCaseSwaps[] = {
    {"a", "A"},
    {"b", "B"},
    {"z", "Z"},
    {"\x82\x81", "\x82\x60"},
};  // aA bB zZ ａＡ
// What near pairs insert: ー, ｰ, a hyphen, an apostrophe.
inline constexpr std::string_view kInserted[] = {"\x81\x5b", "\xb0", "-", "'"};

class Generator {
  public:
    explicit Generator(uint32_t seed) : engine_(seed) {}

    // A text of up to 6 characters of the mix, character by character.
    std::vector<std::string_view> Characters(Mix mix) {
        std::vector<std::string_view> characters;
        const unsigned length = Below(7);
        for (unsigned i = 0; i < length; ++i) {
            characters.push_back(Character(mix));
        }
        return characters;
    }

    std::string Text(Mix mix) { return Join(Characters(mix)); }

    // The text with one character put in, taken out or replaced by one of
    // the same mix: a close neighbour, tying often on the first levels.
    std::string Neighbour(std::string_view text, Mix mix) {
        std::string out(text);
        const size_t at = Below(static_cast<unsigned>(out.size()) + 1);
        switch (Below(3)) {
            case 0:
                out.insert(at, Character(mix));
                break;
            case 1:
                if (at < out.size()) {
                    out.erase(at, 1);
                }
                break;
            default:
                out.replace(at, at < out.size() ? 1 : 0, Character(mix));
                break;
        }
        return out;
    }

    // The text after one edit: a character turned to the other kana type,
    // voiced or unvoiced, made small or large, of the other width or case;
    // a ー, ｰ, hyphen or apostrophe put in; a character taken out or
    // replaced by one of the mix. ASCII mixes keep to ASCII.
    std::vector<std::string_view> Edited(std::vector<std::string_view> text, Mix mix) {
        const bool ascii = mix == Mix::kAscii || mix == Mix::kAsciiControls;
        const std::span<const Swap> swaps[] = {kKanaTypeSwaps, kVoicingSwaps, kSizeSwaps,
                                               kWidthSwaps, kCaseSwaps};
        for (;;) {
            const unsigned edit = Below(8);
            if (edit < std::size(swaps)) {
                std::vector<std::pair<size_t, std::string_view>> choices;
                for (size_t i = 0; i < text.size(); ++i) {
                    for (const Swap& swap : swaps[edit]) {
                        if (ascii && !(IsAscii(swap.a) && IsAscii(swap.b))) {
                            continue;
                        }
                        if (text[i] == swap.a || text[i] == swap.b) {
                            choices.emplace_back(i, text[i] == swap.a ? swap.b : swap.a);
                        }
                    }
                }
                if (choices.empty()) {
                    continue;
                }
                const auto& [at, other] = choices[Below(static_cast<unsigned>(choices.size()))];
                text[at] = other;
                return text;
            }
            const size_t at = Below(static_cast<unsigned>(text.size()) + 1);
            if (edit == 5) {
                const std::string_view inserted =
                    ascii ? kInserted[2 + Below(2)] : kInserted[Below(4)];
                text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), inserted);
                return text;
            }
            if (at == text.size()) {
                continue;
            }
            if (edit == 6) {
                text.erase(text.begin() + static_cast<std::ptrdiff_t>(at));
            } else {
                text[at] = Character(mix);
            }
            return text;
        }
    }

    static std::string Join(const std::vector<std::string_view>& characters) {
        std::string text;
        for (const std::string_view c : characters) {
            text += c;
        }
        return text;
    }

    unsigned Below(unsigned n) { return n == 0 ? 0 : static_cast<unsigned>(engine_() % n); }

  private:
    static bool IsAscii(std::string_view text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                return false;
            }
        }
        return true;
    }

    std::string_view Pick(std::span<const std::string_view> kind) {
        return kind[Below(static_cast<unsigned>(kind.size()))];
    }

    std::string_view Character(Mix mix) {
        const unsigned roll = Below(8);
        switch (mix) {
            case Mix::kAscii:
                return roll < 4 ? Pick(kLatin) : (roll < 6 ? Pick(kPunctuation) : Pick(kSkipped));
            case Mix::kAsciiControls:
                return roll < 3 ? Pick(kLatin) : (roll < 5 ? Pick(kControl) : Pick(kSkipped));
            case Mix::kKana:
                return roll < 3 ? Pick(kHiragana)
                                : (roll < 5 ? Pick(kKatakana)
                                            : (roll < 7 ? Pick(kHalfWidthKana) : Pick(kMarks)));
            case Mix::kWidths:
                return roll < 3 ? Pick(kLatin) : (roll < 6 ? Pick(kFullWidth) : Pick(kSkipped));
            case Mix::kKanji:
                return roll < 4 ? Pick(kKanji) : (roll < 6 ? Pick(kHiragana) : Pick(kLatin));
            case Mix::kSymbols:
                return roll < 4 ? Pick(kSymbols) : (roll < 6 ? Pick(kPunctuation) : Pick(kLatin));
            case Mix::kInvalid:
                return roll < 2 ? Pick(kInvalid) : (roll < 5 ? Pick(kLatin) : Pick(kHiragana));
            case Mix::kAll:
                break;
        }
        static constexpr std::span<const std::string_view> kAllKinds[] = {
            kLatin,         kPunctuation, kSkipped,   kControl, kHiragana, kKatakana,
            kHalfWidthKana, kMarks,       kFullWidth, kKanji,   kSymbols,  kInvalid};
        return Pick(kAllKinds[Below(static_cast<unsigned>(std::size(kAllKinds)))]);
    }

    std::mt19937 engine_;  // the same sequence on every platform
};

}  // namespace random_text
