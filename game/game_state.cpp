#include "game_state.h"

GameStateRecord GameState;
