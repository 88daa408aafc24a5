// Seeded random code page 932 text for checks of the string order: the same
// sequence on every platform, so results made on Linux and under Windows can
// be put side by side.
#pragma once

#include <cstdint>
#include <iterator>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <utility>

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
inline constexpr std::string_view kFullWidth[] = {"\x82\x60", "\x82\x81", "\x82\x4f", "\x81\x49",
                                                  "\x81\x7c"};  // Ａａ０！－
inline constexpr std::string_view kKanji[] = {
    "\x88\x9f", "\x88\xa0", "\x8a\xbf", "\x8e\x9a",
    "\x93\xfa", "\x96\x7b", "\x98\x9f"};  // 亜唖漢字日本弌
inline constexpr std::string_view kSymbols[] = {"\x81\x41", "\x81\x42", "\x81\x45", "\x81\x75",
                                                "\x81\x9b", "\x81\xa6", "\x87\x40", "\x83\xbf",
                                                "\x84\x44"};  // 、。・「○※①αД
inline constexpr std::string_view kInvalid[] = {"\x80", "\xa0", "\xfd", "\x81"};

// Which kinds a text is drawn from.
enum class Mix { kAscii, kAsciiControls, kKana, kWidths, kKanji, kSymbols, kInvalid, kAll };

inline constexpr std::pair<Mix, std::string_view> kMixes[] = {
    {Mix::kAscii, "ascii"},     {Mix::kAsciiControls, "ascii+controls"},
    {Mix::kKana, "kana"},       {Mix::kWidths, "widths"},
    {Mix::kKanji, "kanji"},     {Mix::kSymbols, "symbols"},
    {Mix::kInvalid, "invalid"}, {Mix::kAll, "all"},
};

class Generator {
  public:
    explicit Generator(uint32_t seed) : engine_(seed) {}

    std::string Text(Mix mix) {
        std::string text;
        const unsigned length = Below(7);
        for (unsigned i = 0; i < length; ++i) {
            text += Character(mix);
        }
        return text;
    }

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

    unsigned Below(unsigned n) { return n == 0 ? 0 : static_cast<unsigned>(engine_() % n); }

  private:
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
                                : (roll < 6 ? Pick(kKatakana) : Pick(kHalfWidthKana));
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
            kLatin,         kPunctuation, kSkipped, kControl, kHiragana, kKatakana,
            kHalfWidthKana, kFullWidth,   kKanji,   kSymbols, kInvalid};
        return Pick(kAllKinds[Below(static_cast<unsigned>(std::size(kAllKinds)))]);
    }

    std::mt19937 engine_;  // the same sequence on every platform
};

}  // namespace random_text
