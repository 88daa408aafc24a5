// Programs built with this run without a display: the settings of
// tools/headless.env (HEADLESS_ENVIRONMENT, from the build), made before
// anything starts SDL, so a test program run by hand behaves as it does
// under ctest, and so do the programs it starts. A setting already made (say,
// SDL_VIDEODRIVER=x11 to watch the tests on a screen) is kept.
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

const bool kHeadless = [] {
    std::istringstream settings(HEADLESS_ENVIRONMENT);
    for (std::string setting; settings >> setting;) {
        const size_t equals = setting.find('=');
        const std::string name = setting.substr(0, equals);
        const std::string value = setting.substr(equals + 1);
#ifdef _WIN32
        if (std::getenv(name.c_str()) == nullptr) {
            _putenv_s(name.c_str(), value.c_str());
        }
#else
        setenv(name.c_str(), value.c_str(), 0);
#endif
    }
    return true;
}();

}  // namespace
