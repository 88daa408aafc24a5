// The chaser: actor slot 1 accelerates towards the player.
#pragma once

// Advances the chaser by one frame. Called once per frame, after the player moves.
void ChaserStep();
