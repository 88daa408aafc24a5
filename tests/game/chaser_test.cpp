// The chaser's motion, one step at a time.
#include <gtest/gtest.h>

#include <cmath>

#include "chaser.h"
#include "game_state.h"

namespace {

class ChaserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GameState = GameStateRecord{};
        GameState.PlayerX = 300;
        GameState.PlayerY = 400;
        GameState.ActorX[1] = 100.0;
        GameState.ActorY[1] = 100.0;
        GameState.ActorVX[1] = 1.0;
        GameState.ActorVY[1] = 1.0;
    }
};

TEST_F(ChaserTest, FirstFramesFromTheStartValues) {
    ChaserStep();
    EXPECT_EQ(2.0, GameState.ActorVX[1]);
    EXPECT_EQ(2.0, GameState.ActorVY[1]);
    EXPECT_EQ(102.0, GameState.ActorX[1]);
    EXPECT_EQ(102.0, GameState.ActorY[1]);
    ChaserStep();
    EXPECT_EQ(3.0, GameState.ActorVX[1]);
    EXPECT_EQ(105.0, GameState.ActorX[1]);
    ChaserStep();
    EXPECT_EQ(109.0, GameState.ActorX[1]);
    EXPECT_EQ(109.0, GameState.ActorY[1]);
}

TEST_F(ChaserTest, OnlySlotOneMoves) {
    ChaserStep();
    EXPECT_EQ(0.0, GameState.ActorX[0]);
    EXPECT_EQ(0.0, GameState.ActorX[2]);
    EXPECT_EQ(0.0, GameState.ActorVY[2]);
    EXPECT_EQ(300, GameState.PlayerX);
}

TEST_F(ChaserTest, LevelWithThePlayerKeepsDrifting) {
    GameState.ActorX[1] = 300.0;
    GameState.ActorVX[1] = 5.0;
    ChaserStep();
    EXPECT_EQ(5.0, GameState.ActorVX[1]);
    EXPECT_EQ(305.0, GameState.ActorX[1]);
}

TEST_F(ChaserTest, SpeedIsHeldTo20OnEachAxis) {
    GameState.ActorVX[1] = 20.0;  // gains +1: back to 20
    GameState.ActorVY[1] = 19.0;  // gains +1: reaches 20, set to 20 again
    ChaserStep();
    EXPECT_EQ(20.0, GameState.ActorVX[1]);
    EXPECT_EQ(20.0, GameState.ActorVY[1]);
    EXPECT_EQ(120.0, GameState.ActorX[1]);
    EXPECT_EQ(120.0, GameState.ActorY[1]);

    GameState.ActorX[1] = 1000.0;  // player now to the left
    GameState.ActorVX[1] = -20.0;
    GameState.ActorY[1] = 1000.0;
    GameState.ActorVY[1] = -19.0;
    ChaserStep();
    EXPECT_EQ(-20.0, GameState.ActorVX[1]);
    EXPECT_EQ(-20.0, GameState.ActorVY[1]);
    EXPECT_EQ(980.0, GameState.ActorX[1]);
}

TEST_F(ChaserTest, OvershootsASillPlayerTurnsAndComesBack) {
    GameState.ActorX[1] = 250.0;
    GameState.ActorVX[1] = 0.0;
    GameState.ActorY[1] = 400.0;
    GameState.ActorVY[1] = 0.0;
    bool passed = false;
    bool cameBack = false;
    for (int frame = 0; frame < 400; ++frame) {
        const double before = GameState.ActorX[1];
        ChaserStep();
        ASSERT_LE(std::fabs(GameState.ActorVX[1]), 20.0);
        ASSERT_LE(std::fabs(GameState.ActorVY[1]), 20.0);
        // Whole numbers stay whole.
        ASSERT_EQ(std::floor(GameState.ActorX[1]), GameState.ActorX[1]);
        if (before < 300.0 && GameState.ActorX[1] > 300.0) {
            passed = true;
        }
        if (passed && before > 300.0 && GameState.ActorX[1] < 300.0) {
            cameBack = true;
        }
    }
    EXPECT_TRUE(passed);
    EXPECT_TRUE(cameBack);
    // On the player's row with no speed, the y axis never moves.
    EXPECT_EQ(400.0, GameState.ActorY[1]);
    EXPECT_EQ(0.0, GameState.ActorVY[1]);
}

}  // namespace
