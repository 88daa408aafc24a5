// Runs the game's main routine against the recording stand-in library.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "art_names.h"
#include "game_state.h"
#include "main_routine.h"
#include "recording_dxlibdll.h"
#include "runtime_fixture.h"

class GameTest : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        CreateStringSlots();
        GameState = GameStateRecord{};
    }

    // Runs MainRoutine with this script and returns its result.
    int32_t Run(const recording::Script& script) {
        recording::Reset(script);
        return MainRoutine();
    }
};

// Every file name the game loads, in loading order: the art's own list, under
// the game's folder.
inline std::vector<std::string> ExpectedImageNames() {
    std::vector<std::string> names;
    for (const std::string& name : artgen::ArtFileNames()) {
        names.push_back("resource\\bmp\\" + name);
    }
    return names;
}

// The dxDrawGraph calls of one frame (frame counts from 0).
inline std::vector<recording::Call> DrawsOfFrame(int32_t frame) {
    std::vector<recording::Call> draws;
    int32_t current = -1;
    for (const recording::Call& call : recording::Calls()) {
        if (call.operation == "dxProcessMessage") {
            ++current;
        } else if (call.operation == "dxDrawGraph" && current == frame) {
            draws.push_back(call);
        }
    }
    return draws;
}
