// Prints CompareStringA's result for a fixed list of seeded pairs of code
// page 932 text, one line each: mix, kind of pair, both operands in hex,
// result. Built for Linux and for Windows, its outputs side by side give the
// agreement of our order with another implementation's
// (tools/compare_wine.sh). Two kinds of pair per mix: "random", two texts
// (half of them close neighbours), and "near", a text and the same text after
// one edit of a kind that shows an order's rules (random_text.h, Edited).
#include <cstdio>
#include <string>
#include <string_view>

#include "kernel32.h"
#include "random_text.h"

namespace {

std::string Hex(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        out += kDigits[static_cast<unsigned char>(c) >> 4];
        out += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return out.empty() ? "." : out;
}

void Print(std::string_view mix, const char* kind, const std::string& a, const std::string& b) {
    const int result =
        CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                       static_cast<int>(b.size()));
    std::printf("%.*s\t%s\t%s\t%s\t%d\n", static_cast<int>(mix.size()), mix.data(), kind,
                Hex(a).c_str(), Hex(b).c_str(), result);
}

}  // namespace

int main() {
    constexpr int kPairsPerMix = 500;
    random_text::Generator random(20260611u);
    random_text::Generator editing(20260612u);  // "near" is taken on Windows
    for (const auto& [mix, name] : random_text::kMixes) {
        for (int i = 0; i < kPairsPerMix; ++i) {
            const std::string a = random.Text(mix);
            const std::string b =
                random.Below(2) == 0 ? random.Text(mix) : random.Neighbour(a, mix);
            Print(name, "random", a, b);
        }
        for (int i = 0; i < kPairsPerMix; ++i) {
            const auto text = editing.Characters(mix);
            const auto edited = editing.Edited(text, mix);
            // Either operand first, so that each edit is tried both ways round.
            const bool swap = editing.Below(2) == 0;
            Print(name, "near", random_text::Generator::Join(swap ? edited : text),
                  random_text::Generator::Join(swap ? text : edited));
        }
    }
    return 0;
}
