// The frame loop: input, movement, the draw sequence and both ways to quit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_fixture.h"

namespace {

using recording::Call;
using FrameTest = GameTest;

constexpr int32_t kDown = 1;
constexpr int32_t kLeft = 2;
constexpr int32_t kRight = 4;
constexpr int32_t kUp = 8;

// Runs `frames` full frames with the same pad bits held, then quits.
void HoldFor(int32_t frames, int32_t bits, recording::Script& script) {
    script.quitFromFrame = frames;
    script.padBits.assign(static_cast<size_t>(frames), bits);
}

// The player's position as drawn in a frame: the lower sprite's call.
std::pair<int32_t, int32_t> DrawnPlayer(int32_t frame) {
    const std::vector<Call> draws = DrawsOfFrame(frame);
    return {draws.at(103).args[0], draws.at(103).args[1]};
}

TEST_F(FrameTest, OneFrameCallsInExactOrder) {
    recording::Script script;
    script.quitFromFrame = 1;
    ASSERT_EQ(0, Run(script));

    std::vector<Call> expected;
    expected.push_back({"dxProcessMessage", {}, ""});
    expected.push_back({"dxCheckHitKey", {1}, ""});
    expected.push_back({"dxGetJoypadInputState", {4097}, ""});
    expected.push_back({"dxClearDrawScreen", {}, ""});
    for (int32_t i = 0; i <= 50; ++i) {
        expected.push_back({"dxDrawGraph", {16 * i, 0, GameState.TileHandles[i], 1}, ""});
        expected.push_back({"dxDrawGraph", {16 * i, 100, GameState.SpriteHandles[i][1], 1}, ""});
    }
    expected.push_back({"dxDrawGraph", {300, 250, GameState.SpriteHandles[25][2], 1}, ""});
    expected.push_back({"dxDrawGraph", {300, 400, GameState.SpriteHandles[25][1], 1}, ""});
    // The chaser has already moved once, to (102, 102).
    expected.push_back({"dxDrawGraph", {102, 102, GameState.SpriteHandles[29][1], 1}, ""});
    expected.push_back({"dxScreenFlip", {}, ""});
    expected.push_back({"dxProcessMessage", {}, ""});
    expected.push_back({"dxDxLib_End", {}, ""});

    const std::vector<Call>& calls = recording::Calls();
    ASSERT_EQ(4u + 408u + expected.size(), calls.size());
    const std::vector<Call> loop(calls.begin() + 412, calls.end());
    EXPECT_EQ(expected, loop);
}

TEST_F(FrameTest, FailedHandlesAreDrawnUnchanged) {
    recording::Script script;
    script.quitFromFrame = 1;
    script.loadResults["resource\\bmp\\03.bmp"] = -1;
    script.loadResults["resource\\bmp\\chr25-1.bmp"] = -1;
    Run(script);
    const std::vector<Call> draws = DrawsOfFrame(0);
    EXPECT_EQ(-1, draws[6].args[2]);    // tile 3
    EXPECT_EQ(-1, draws[103].args[2]);  // the player's lower sprite
}

TEST_F(FrameTest, HoldingLeftStopsAt102) {
    recording::Script script;
    HoldFor(100, kLeft, script);
    Run(script);
    EXPECT_EQ(297, DrawnPlayer(0).first);
    EXPECT_EQ(294, DrawnPlayer(1).first);
    EXPECT_EQ(102, GameState.PlayerX);
    EXPECT_EQ(102, DrawnPlayer(99).first);
    EXPECT_EQ(400, GameState.PlayerY);
}

TEST_F(FrameTest, HoldingRightStopsAt573) {
    recording::Script script;
    HoldFor(100, kRight, script);
    Run(script);
    EXPECT_EQ(573, GameState.PlayerX);
}

TEST_F(FrameTest, HoldingUpStopsAt151AndDownAt451) {
    recording::Script up;
    HoldFor(100, kUp, up);
    Run(up);
    EXPECT_EQ(151, GameState.PlayerY);
    // The upper sprite stays 150 above the lower one.
    const std::vector<Call> draws = DrawsOfFrame(99);
    EXPECT_EQ(1, draws[102].args[1]);
    EXPECT_EQ(151, draws[103].args[1]);

    GameState = GameStateRecord{};
    recording::Script down;
    HoldFor(30, kDown, down);
    Run(down);
    EXPECT_EQ(451, GameState.PlayerY);
}

TEST_F(FrameTest, UpAndDownTogetherCancelExceptAtTheTopEdge) {
    recording::Script script;
    HoldFor(1, kUp | kDown, script);
    Run(script);
    EXPECT_EQ(400, GameState.PlayerY);

    // At 151 only the down test passes.
    GameState = GameStateRecord{};
    recording::Script edge;
    edge.quitFromFrame = 2;
    edge.padBits = {kUp, kUp | kDown};
    edge.beforeFrame = [](int32_t frame) {
        if (frame == 1) {
            GameState.PlayerY = 151;
        }
    };
    Run(edge);
    EXPECT_EQ(154, GameState.PlayerY);
}

TEST_F(FrameTest, LeftAndRightTogetherAt570) {
    recording::Script script;
    script.quitFromFrame = 1;
    script.padBits = {kLeft | kRight};
    script.beforeFrame = [](int32_t frame) {
        if (frame == 0) {
            GameState.PlayerX = 570;
        }
    };
    Run(script);
    EXPECT_EQ(570, GameState.PlayerX);
}

TEST_F(FrameTest, OtherPadBitsDoNotMoveThePlayer) {
    recording::Script script;
    HoldFor(5, 16 | 32 | 64 | 128 | 0x1000, script);
    Run(script);
    EXPECT_EQ(300, GameState.PlayerX);
    EXPECT_EQ(400, GameState.PlayerY);
}

TEST_F(FrameTest, EscapeEndsTheLoopBeforeThatPassMoves) {
    recording::Script script;
    script.escapeFromFrame = 3;
    script.padBits = {kRight, kRight, kRight, kRight, kRight};
    EXPECT_EQ(0, Run(script));
    EXPECT_EQ(309, GameState.PlayerX);
    EXPECT_EQ(3u, recording::CallsOf("dxScreenFlip").size());
    EXPECT_EQ("dxDxLib_End", recording::Calls().back().operation);
    EXPECT_EQ("dxCheckHitKey", recording::Calls()[recording::Calls().size() - 2].operation);
}

TEST_F(FrameTest, QuitRequestEndsTheLoopTheSameWay) {
    // Any result but 0 is a quit request, not only the library's usual -1.
    for (int32_t quit : {-1, 1, 2, INT32_MIN}) {
        recording::Script script;
        script.quitFromFrame = 2;
        script.quitResult = quit;
        script.frameLimit = 10;
        EXPECT_EQ(0, Run(script)) << quit;
        EXPECT_EQ(2u, recording::CallsOf("dxScreenFlip").size()) << quit;
        // The quit is seen before the keyboard is even asked.
        EXPECT_EQ(2u, recording::CallsOf("dxCheckHitKey").size()) << quit;
        EXPECT_EQ("dxDxLib_End", recording::Calls().back().operation) << quit;
    }
}

TEST_F(FrameTest, ChaserIsDrawnTruncatedTowardZero) {
    // Before each frame the chaser is placed so that this frame's step lands it on
    // the position under test: the player is to its right and below, so it gains +1.
    struct Case {
        double landing;
        int32_t drawn;
    };
    const std::vector<Case> cases = {{-0.5, 0}, {99.9, 99}, {-1.5, -1}, {250.999, 250}};
    for (const Case& c : cases) {
        GameState = GameStateRecord{};
        recording::Script script;
        script.quitFromFrame = 1;
        script.beforeFrame = [c](int32_t frame) {
            if (frame == 0) {
                GameState.ActorX[1] = c.landing - 1.0;
                GameState.ActorY[1] = c.landing - 1.0;
                GameState.ActorVX[1] = 0.0;
                GameState.ActorVY[1] = 0.0;
            }
        };
        Run(script);
        const std::vector<Call> draws = DrawsOfFrame(0);
        EXPECT_EQ(c.drawn, draws[104].args[0]) << c.landing;
        EXPECT_EQ(c.drawn, draws[104].args[1]) << c.landing;
    }
}

}  // namespace
