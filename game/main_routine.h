// The whole game: start-up, the frame loop, shut-down.
#pragma once

#include <cstdint>

// 0 after a normal end, -1 when the graphics library fails to start.
// Called once by the process entry.
int32_t MainRoutine();
