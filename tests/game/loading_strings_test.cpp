// The loading step's string traffic, watched where the game meets the runtime:
// the linker sends the game's calls of NewString and FirstCharCode through the
// wrappers below (by their mangled names), which count and check them and then
// call the real operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_fixture.h"
#include "string_ops.h"

namespace {

struct Traffic {
    int32_t made = 0;           // NewString calls
    int32_t codesTaken = 0;     // FirstCharCode calls
    int32_t notAFreshZero = 0;  // FirstCharCode operands other than the "0" just made
    ManagedString lastMade = nullptr;
    int32_t codeShift = 0;  // added to every code FirstCharCode gives
};

Traffic traffic;

}  // namespace

extern "C" {
ManagedString __real__Z9NewStringi(int32_t n);
int32_t __real__Z13FirstCharCodePc(ManagedString s);

ManagedString __wrap__Z9NewStringi(int32_t n) {
    ++traffic.made;
    traffic.lastMade = __real__Z9NewStringi(n);
    return traffic.lastMade;
}

int32_t __wrap__Z13FirstCharCodePc(ManagedString s) {
    ++traffic.codesTaken;
    if (s != traffic.lastMade || !IsRegistered(s) || StringLength(s) != 1 || s[0] != '0') {
        ++traffic.notAFreshZero;
    }
    return __real__Z13FirstCharCodePc(s) + traffic.codeShift;
}
}

namespace {

using LoadingStringsTest = GameTest;

TEST_F(LoadingStringsTest, EachDigitTakesTheCodeOfZeroFromAFreshTemporary) {
    recording::Script script;
    script.quitFromFrame = 0;
    traffic = Traffic{};
    Run(script);
    // 2 digits per tile, 2 per sprite row and 1 per sprite: 102 + 102 + 357.
    EXPECT_EQ(561, traffic.made);
    EXPECT_EQ(561, traffic.codesTaken);
    EXPECT_EQ(0, traffic.notAFreshZero);
    EXPECT_EQ(kStringSlotCount, Runtime.StringRegistryCount) << "every temporary released";

    // The digits come from what FirstCharCode gives, not from a 48 of the
    // loader's own: shifted by one, every digit of every name is one higher.
    traffic = Traffic{};
    traffic.codeShift = 1;
    Run(script);
    const std::vector<recording::Call> loads = recording::CallsOf("dxLoadGraph");
    ASSERT_EQ(408u, loads.size());
    EXPECT_EQ("resource\\bmp\\11.bmp", loads.front().fileName);
    EXPECT_EQ("resource\\bmp\\chr11-2.bmp", loads[51].fileName);
    EXPECT_EQ("resource\\bmp\\chr61-8.bmp", loads.back().fileName);
}

}  // namespace
