// The library's inside: its one state record, and the map of its files. The
// contract the game sees is dxlibdll.h; start reading there.
//
// The files, by job; each declares its steps in the header of its name:
//   library.cpp   the twelve dx* operations, start-up and shut-down, the
//                 record itself, each frame's step (input, window events,
//                 replay), and the view that tests and measuring tools take
//                 of the running library (library_view.h)
//   screen.cpp    the screen mode, the back buffer, the drawing area,
//                 widening pixels to XRGB8888 for showing
//   image.cpp     one image: its pixels, the builder that makes it of decoded
//                 rows, the blit that draws it
//   files.cpp     the one reader and the one writer of files (images,
//                 recordings, digests), on one backend per system:
//                 files_posix.cpp (Linux, the web page) or files_win32.cpp,
//                 behind files_system.h, chosen by the build
//   decoding.cpp  image headers inspected before decoding; the BMP decoder
//   png_decoding.cpp  the PNG decoder, where the build has libpng
//   conversion.cpp  a decoded surface made into an image for the back buffer
//   images.cpp    the image table: loading within the budget, the summary of
//                 failed loads, forgetting every image
//   image_names.cpp  the game's image names in this system's terms, and the
//                 places they are looked for
//   input.cpp     the frame's events made into the frame's input (keys, pad
//                 bits, a quit request), the one value the game's input calls
//                 read; what happened to the window, handed on
//   video.cpp     the video driver, the window, the renderer or framebuffer
//   present.cpp   showing the back buffer scaled in the window; fullscreen
//   pacing.cpp    showing frames at the game's rate, whatever the display's
//   desktop.cpp   what the desktop does for the window (X11 asked directly)
//   signals.cpp   quit signals, and ending a game that cannot answer them
//   replay.cpp    recording the frames' input, replaying a recording in place
//                 of live input, a digest of every frame shown
//   replay_reader.cpp  a recording's lines, written and read; a recording
//                 read a piece at a time, through once at start-up and then
//                 frame by frame
//   messages.cpp  one-line messages on standard error, the program's name
//
// The calls run one way, down: library.cpp calls into the others and is the
// only file that sees the whole record. It reads the frame's input
// (input.cpp), answers the window's events with present, video and pacing,
// and hands the input to replay, which replaces it or writes it down.
// present.cpp calls into pacing, video and desktop; pacing.cpp into video;
// images.cpp into decoding, conversion, image_names and files (decoding reads
// through the reader images.cpp hands it); conversion.cpp into decoding and
// image; replay.cpp into replay_reader, input and files; replay_reader.cpp
// into input and files; and every file may write a message. Each step is
// handed the parts of the record it works on, and no more.
//
// Outside the record, on purpose, are only what outlives it or is reached
// from where it cannot be: the quit signals' state (signals.cpp), which the
// handlers read at any moment, before start-up and after shut-down as well;
// the web page's touch pad and quit button (input.cpp), which the page sets
// between frames whether or not the library runs; and the message writer's
// program name (messages.cpp), made once and used by any thread. The
// Settings below are chosen before start-up; the screen mode and the
// switches are kept across it, the drawing area is reset to the whole screen
// at shut-down.
//
// Tests and tools link the static variant (dxlibdll_sdl2) and may use
// everything declared in these headers; library_view.h adds their view of
// the running library. The game sees none of it.
#pragma once

#include "conversion.h"
#include "decoding.h"
#include "desktop.h"
#include "files.h"
#include "image.h"
#include "image_names.h"
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

// What is chosen before start-up: the screen mode and drawing area the game
// asks for, and the switches of tests and tools. The mode and the switches
// are kept across start-up and shut-down; the drawing area is the whole
// screen again after shut-down.
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
    FrameInput frame;  // what dxCheckHitKey and dxGetJoypadInputState read
    Window window;
    Pacer pacer;
    Recordings recordings;  // the recording played, the files written
};

}  // namespace dxsdl
