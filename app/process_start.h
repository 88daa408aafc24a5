// The program's first step on POSIX systems, before the runtime starts.
#pragma once

// Holds back SIGINT, SIGTERM and SIGHUP until the graphics library, loaded
// after this step (graphics_library.cpp), takes them as quit requests at its
// start (dxDxLib_Init): one that comes in between is then answered by the
// game's loop, and the game ends with 0, rather than being killed by it
// before any handler exists.
//
// Opens /dev/null on any of descriptors 0, 1 and 2 that the parent left
// closed, and ignores SIGPIPE. A closed descriptor would otherwise be taken by
// the first file or connection opened (a display connection, say), and the
// diagnostics meant for stderr would be written into it; a stderr pipe whose
// reader has gone would end the game at its first diagnostic. With this step a
// diagnostic that cannot be written is lost, and the game plays on.
void PrepareProcess();
