// Start-up, loading and shut-down, as the library sees them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_fixture.h"

namespace {

using recording::Call;
using StartupTest = GameTest;

std::vector<std::string> Operations() {
    std::vector<std::string> operations;
    for (const Call& call : recording::Calls()) {
        operations.push_back(call.operation);
    }
    return operations;
}

TEST_F(StartupTest, StartsInOrderWithTheGameArguments) {
    recording::Script script;
    script.escapeFromFrame = 0;
    EXPECT_EQ(0, Run(script));

    const std::vector<Call>& calls = recording::Calls();
    ASSERT_EQ(4u + 408u + 3u, calls.size());
    EXPECT_EQ((Call{"dxSetGraphMode", {640, 480, 16, 60}, ""}), calls[0]);
    EXPECT_EQ((Call{"dxDxLib_Init", {}, ""}), calls[1]);
    EXPECT_EQ((Call{"dxSetDrawScreen", {-2}, ""}), calls[2]);
    EXPECT_EQ((Call{"dxSetDrawArea", {100, 0, 600, 480}, ""}), calls[3]);
    for (size_t i = 4; i < 4 + 408; ++i) {
        ASSERT_EQ("dxLoadGraph", calls[i].operation);
        EXPECT_EQ(std::vector<int32_t>{0}, calls[i].args);  // the flag
    }
    // Escape held at the start of the first pass: nothing moves or draws.
    EXPECT_EQ((Call{"dxProcessMessage", {}, ""}), calls[412]);
    EXPECT_EQ((Call{"dxCheckHitKey", {1}, ""}), calls[413]);
    EXPECT_EQ((Call{"dxDxLib_End", {}, ""}), calls[414]);
}

TEST_F(StartupTest, FailedStartCallsNothingMore) {
    recording::Script script;
    script.initResult = -1;
    EXPECT_EQ(-1, Run(script));
    EXPECT_EQ((std::vector<std::string>{"dxSetGraphMode", "dxDxLib_Init"}), Operations());
    EXPECT_EQ(0, GameState.PlayerX);  // the initial values were never set
}

TEST_F(StartupTest, LoadsAll408ImagesInOrderByExactName) {
    recording::Script script;
    script.quitFromFrame = 0;
    Run(script);
    std::vector<std::string> names;
    for (const Call& call : recording::CallsOf("dxLoadGraph")) {
        names.push_back(call.fileName);
    }
    EXPECT_EQ(ExpectedImageNames(), names);
    // Row 6, column 1 is the sprite template's own name.
    EXPECT_EQ("resource\\bmp\\chr06-1.bmp", names[51 + 6 * 7]);
    EXPECT_STREQ("resource\\bmp\\chr50-7.bmp", GameState.PathBuffer);
}

TEST_F(StartupTest, EveryHandleIsStoredAsTheLibraryGaveIt) {
    recording::Script script;
    script.quitFromFrame = 0;
    script.loadResults["resource\\bmp\\07.bmp"] = -1;
    script.loadResults["resource\\bmp\\chr25-2.bmp"] = -1;
    script.loadResults["resource\\bmp\\chr29-1.bmp"] = 123456;
    Run(script);

    EXPECT_EQ(-1, GameState.TileHandles[7]);
    EXPECT_EQ(-1, GameState.SpriteHandles[25][2]);
    EXPECT_EQ(123456, GameState.SpriteHandles[29][1]);
    // The rest are numbered in loading order, skipping the scripted ones.
    EXPECT_EQ(0, GameState.TileHandles[0]);
    EXPECT_EQ(49, GameState.TileHandles[50]);
    EXPECT_EQ(50, GameState.SpriteHandles[0][1]);
    EXPECT_EQ(50 + 6, GameState.SpriteHandles[0][7]);
    // Entries never loaded keep their zero.
    for (int i = 0; i <= 100; ++i) {
        EXPECT_EQ(0, GameState.SpriteHandles[i][0]) << "row " << i;
    }
    EXPECT_EQ(0, GameState.TileHandles[51]);
    EXPECT_EQ(0, GameState.SpriteHandles[51][1]);
}

TEST_F(StartupTest, LoadingLeavesNoTemporaryStrings) {
    recording::Script script;
    script.quitFromFrame = 0;
    Run(script);
    ASSERT_EQ(kStringSlotCount, Runtime.StringRegistryCount);
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        EXPECT_EQ(Runtime.StringSlots[k], Runtime.StringRegistryItems[k]);
    }
}

TEST_F(StartupTest, InitialValuesAreSetAfterLoading) {
    recording::Script script;
    script.quitFromFrame = 0;
    Run(script);
    EXPECT_EQ(300, GameState.PlayerX);
    EXPECT_EQ(400, GameState.PlayerY);
    EXPECT_EQ(29, GameState.ActorSpriteRow[1]);
    EXPECT_EQ(1, GameState.ActorSpriteColumn[1]);
    EXPECT_EQ(100.0, GameState.ActorX[1]);
    EXPECT_EQ(100.0, GameState.ActorY[1]);
    EXPECT_EQ(1.0, GameState.ActorVX[1]);
    EXPECT_EQ(1.0, GameState.ActorVY[1]);
    // Other actor slots exist and stay zero.
    EXPECT_EQ(0, GameState.ActorSpriteRow[2]);
    EXPECT_EQ(0.0, GameState.ActorX[0]);
}

}  // namespace
