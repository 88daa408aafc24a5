// The library's tests run without a display: SDL's offscreen driver, no 3D
// acceleration, no sound, set before anything starts SDL, so the test binary
// run by hand behaves as it does under ctest. A setting already made (say,
// SDL_VIDEODRIVER=x11 to watch the tests on a screen) is kept.
#include <cstdlib>

namespace {

const bool kHeadless = [] {
#ifdef _WIN32
    const auto keep = [](const char* name, const char* value) {
        if (std::getenv(name) == nullptr) {
            _putenv_s(name, value);
        }
    };
#else
    const auto keep = [](const char* name, const char* value) { setenv(name, value, 0); };
#endif
    keep("SDL_VIDEODRIVER", "offscreen");
    keep("SDL_FRAMEBUFFER_ACCELERATION", "0");
    keep("SDL_AUDIODRIVER", "dummy");
    return true;
}();

}  // namespace
