// Prints CompareStringA's result for a fixed list of seeded random pairs of
// code page 932 text, one line each: mix, both operands in hex, result. Built
// for Linux and for Windows, its outputs side by side give the agreement of
// our order with another implementation's (tools/compare_wine.sh).
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

}  // namespace

int main() {
    constexpr int kPairsPerMix = 500;
    random_text::Generator random(20260611u);
    for (const auto& [mix, name] : random_text::kMixes) {
        for (int i = 0; i < kPairsPerMix; ++i) {
            const std::string a = random.Text(mix);
            const std::string b =
                random.Below(2) == 0 ? random.Text(mix) : random.Neighbour(a, mix);
            const int result =
                CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, a.data(), static_cast<int>(a.size()),
                               b.data(), static_cast<int>(b.size()));
            std::printf("%.*s\t%s\t%s\t%d\n", static_cast<int>(name.size()), name.data(),
                        Hex(a).c_str(), Hex(b).c_str(), result);
        }
    }
    return 0;
}
