// The process entry: prepares the runtime, runs the game, ends the process.
#pragma once

// Never returns: ends the process with the game's result as exit code.
[[noreturn]] void RuntimeEntry();
