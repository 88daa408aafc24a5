// What the desktop around the window does for it. Only X11 needs asking: on a
// bare X server (a kiosk, a display started without a window manager, Xvfb)
// nothing answers a request to go fullscreen, yet SDL takes the window to be
// the display's size from then on and lays the picture out for a window that
// does not exist. Everywhere else the system itself makes windows fullscreen.
//
// The X headers stay in this file: their macros (None, Bool, Status, ...)
// would collide with names elsewhere in the library.
#include "desktop.h"

#if defined(DXLIBDLL_HAVE_X11) && defined(SDL_VIDEO_DRIVER_X11)
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#define DXLIBDLL_ASK_X11 1
#endif

namespace dxsdl {

#ifdef DXLIBDLL_ASK_X11
namespace {

// A window named by a property may be gone (a window manager that died
// leaves its check window's id behind); asking about it must not end the game
// through Xlib's default handler, which exits.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

// The one value of a window-valued property, or 0.
::Window WindowProperty(Display* display, ::Window of, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    ::Window value = 0;
    if (XGetWindowProperty(display, of, property, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &left, &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1) {
        value = *reinterpret_cast<::Window*>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return value;
}

// Whether a window manager runs that follows the desktop conventions for
// fullscreen: it names a live check window of its own on the root window, and
// lists the fullscreen state among what it supports.
bool ManagerTakesFullscreen(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", True);
    const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", True);
    if (check == 0 || supported == 0 || fullscreen == 0) {
        return false;  // no client ever named them, so no manager uses them
    }
    const ::Window root = DefaultRootWindow(display);
    XSync(display, False);
    const auto previous = XSetErrorHandler(IgnoreXError);
    const ::Window manager = WindowProperty(display, root, check);
    const bool alive = manager != 0 && WindowProperty(display, manager, check) == manager;
    XSync(display, False);
    XSetErrorHandler(previous);
    if (!alive) {
        return false;
    }

    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    bool listed = false;
    if (XGetWindowProperty(display, root, supported, 0, 4096, False, XA_ATOM, &type, &format,
                           &count, &left, &data) == Success &&
        type == XA_ATOM && format == 32) {
        // Xlib hands 32-bit properties over as longs.
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count && !listed; ++i) {
            listed = atoms[i] == fullscreen;
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return listed;
}

}  // namespace
#endif

bool DesktopTakesWindowFullscreen(SDL_Window* window) {
#ifdef DXLIBDLL_ASK_X11
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11) {
        return ManagerTakesFullscreen(info.info.x11.display);
    }
#else
    (void)window;
#endif
    return true;
}

int WindowColourDepth(SDL_Window* window) {
#ifdef DXLIBDLL_ASK_X11
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    XWindowAttributes attributes{};
    if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11 &&
        XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) != 0) {
        return attributes.depth;
    }
#else
    (void)window;
#endif
    return 0;
}

bool WindowScreens(SDL_Window* window, int* used, int* named) {
#ifdef DXLIBDLL_ASK_X11
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    XWindowAttributes attributes{};
    if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11 &&
        XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) != 0 &&
        attributes.screen != nullptr) {
        *used = XScreenNumberOfScreen(attributes.screen);
        *named = DefaultScreen(info.info.x11.display);
        return true;
    }
#else
    (void)window;
    (void)used;
    (void)named;
#endif
    return false;
}

bool XServerAnswers(const char* name) {
#ifdef DXLIBDLL_ASK_X11
    Display* display = XOpenDisplay(name);
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
#else
    (void)name;
#endif
    return true;
}

}  // namespace dxsdl
