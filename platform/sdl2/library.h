// The library's inside: its one state record, and the map of its files. The
// contract the game sees is dxlibdll.h; start reading there.
//
// The files, by job; each declares its steps in the header of its name:
//   exports.cpp   the twelve dx* operations, start-up and shut-down, the
//                 record itself, and the view that tests and measuring tools
//                 take of the running library
//   screen.cpp    the screen mode, the back buffer, the drawing area, blits,
//                 widening pixels to XRGB8888 for showing
//   files.cpp     the one reader of files (images and recordings)
//   file_writer.cpp  the one writer (the recording, the digests)
//   file_names.cpp   the game's file names in this system's terms, and where
//                 image names are found
//   decoding.cpp  image headers inspected before decoding; BMP and PNG decoders
//   conversion.cpp  decoded pixels made into an image in the back buffer's
//                 format, with its runs of opaque pixels
//   images.cpp    the image table: loading within the budget, the summary of
//                 failed loads
//   input.cpp     the frame's events: keys, game pads, quit requests
//   video.cpp     the video driver, the window, the renderer or framebuffer
//   present.cpp   showing the back buffer scaled in the window; fullscreen
//   pacing.cpp    showing frames at the game's rate, whatever the display's
//   desktop.cpp   what the desktop does for the window (X11 asked directly)
//   signals.cpp   quit signals, and ending a game that cannot answer them
//   replay.cpp    recording the frames' input, replaying a recording in place
//                 of live input, a digest of every frame shown
//   messages.cpp  one-line messages on standard error, the program's name
//
// The calls run one way: exports.cpp calls into the others and is the only file
// that sees the whole record; input.cpp calls into present, pacing and video;
// present.cpp into pacing, video and desktop; images.cpp into decoding,
// conversion, files and file_names; replay.cpp into input, files, file_writer
// and file_names; file_writer.cpp and file_names.cpp into files; and every file
// may write a message. Each step is handed the parts of the record it works on.
//
// Tests and tools link the static variant (dxlibdll_sdl2) and may use
// everything declared in these headers; exports.h adds their view of the
// running library. The game sees none of it.
#pragma once

#include "conversion.h"
#include "decoding.h"
#include "desktop.h"
#include "image_names.h"
#include "file_writer.h"
#include "files.h"
#include "images.h"
#include "input.h"
#include "messages.h"
#include "pacing.h"
#include "present.h"
#include "replay.h"
#include "screen.h"
#include "signals.h"
#include "video.h"

namespace dxsdl {

// Runs at the start of every dxProcessMessage, before the events are handled,
// so a test can put events in the queue for the frame about to begin; or at
// the start of dxDxLib_End, while the back buffer still holds the last frame.
using Hook = void (*)();

// What is chosen before start-up and kept across it: the screen mode and
// drawing area the game asks for, and the switches of tests and tools.
struct Settings {
    ScreenMode mode;
    ClipRect clip{0, 0, mode.width, mode.height};
    bool pacingEnabled = true;
    PacingTuning tuning;
    Hook frameStartHook = nullptr;
    Hook shutdownHook = nullptr;
};

// Everything the running library owns: made by dxDxLib_Init, dropped by
// dxDxLib_End.
struct Library {
    SDL_Surface* backBuffer = nullptr;  // in the mode the game chose
    ImageTable images;
    Input input;
    Window window;
    Pacer pacer;
    Session session;
};

}  // namespace dxsdl
