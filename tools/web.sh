#!/usr/bin/env bash
# The game in a web browser, from a Debian 12 machine: builds the WebAssembly
# version and the page around it into build/web/site/.
#
#   tools/web.sh               build the site
#   tools/web.sh --serve [PORT]  build, then serve it on 127.0.0.1 (port 8080 unless given)
#   tools/web.sh --test        build, then run the tests: the runtime's under Node.js,
#                              the game's in chromium, firefox-esr and WebKitGTK
#   tools/web.sh --bench [LOADS] [FRAMES]  build, then take the web figures (docs/performance.md)
#   tools/web.sh --screenshot PATH  build, then photograph the page in play
#
# It installs what it needs with apt-get (root or sudo): Debian's emscripten,
# chromium, firefox-esr, WebKitGTK's driver, Xvfb and Node.js; and the drivers'
# npm packages (playwright-core, puppeteer-core, selenium-webdriver), pinned by
# tools/web/package-lock.json, with npm into build/web/npm/. SDL2 for the web is built once from Debian's
# own source into ~/.cache/chaser/ (tools/sdl2-cache.sh) and reused after.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

mode=build
port=8080
screenshot=""
bench_args=()
case "${1:-}" in
"") ;;
--serve)
    mode=serve
    port=${2:-8080}
    ;;
--test) mode=test ;;
--bench)
    mode=bench
    shift
    bench_args=("$@")
    ;;
--screenshot)
    mode=screenshot
    screenshot=$(realpath -m "${2:?--screenshot needs a file name}")
    ;;
*)
    echo "usage: $0 [--serve [PORT] | --test | --bench | --screenshot PATH]" >&2
    exit 2
    ;;
esac

build=$root/build/web
site=$build/site

. "$root/tools/lib.sh"

# --- Packages -----------------------------------------------------------------
step "packages"
packages=(emscripten chromium cmake ninja-build build-essential dpkg-dev python3 libxxhash-dev)
# The other two engines of the browser tests: Firefox, and WebKit's MiniBrowser
# with its WebDriver, shown on an X server of their own.
if [ "$mode" = test ]; then packages+=(firefox-esr webkit2gtk-driver xvfb); fi
# Any Node.js and npm will do (the machine may have its own); Debian's otherwise.
if [ ! -x /usr/bin/node ]; then packages+=(nodejs); fi
if ! command -v npm >/dev/null; then packages+=(npm); fi
install_missing "${packages[@]}"

# Debian's emcc finds its JavaScript modules through NODE_PATH and runs on
# Debian's python (another one may come first on PATH).
export NODE_PATH=/usr/share/nodejs
export EMSDK_PYTHON=/usr/bin/python3

# --- SDL2 for the web ---------------------------------------------------------
# Static, without audio (the game has none) or OpenGL: the library draws into
# the canvas through SDL's window surface.
. "$root/tools/sdl2-cache.sh"
emscripten_toolchain=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake
sdl2_prefix=$(sdl2_cached_build web "$emscripten_toolchain" emcc -- \
    -DCMAKE_BUILD_TYPE=Release -DSDL_STATIC=ON -DSDL_SHARED=OFF -DSDL_TEST=OFF -DSDL_TESTS=OFF \
    -DSDL_AUDIO=OFF -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF)
sdl2_link_prefix "$sdl2_prefix" "$root/build/web-deps/prefix"

# --- The game and its page -----------------------------------------------------
step "configuring and building the game for the web"
cmake --preset web >/dev/null
cmake --build --preset web -j "$(nproc)"
echo "site: $site ($(du -sh "$site" | cut -f1))"

if [ "$mode" = build ]; then
    exit 0
fi

if [ "$mode" = serve ]; then
    step "serving"
    exec node "$root/tools/web/serve.js" "$site" "$port"
fi

# --- Node packages for the browser tests and figures ----------------------------
npm_dir=$build/npm
if ! cmp -s "$root/tools/web/package-lock.json" "$npm_dir/package-lock.json" ||
    [ ! -d "$npm_dir/node_modules/playwright-core" ]; then
    step "installing the browser drivers (pinned by tools/web/package-lock.json)"
    mkdir -p "$npm_dir"
    cp "$root/tools/web/package.json" "$root/tools/web/package-lock.json" "$npm_dir/"
    # The browsers are Debian's: no driver downloads one of its own.
    (cd "$npm_dir" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi
export NODE_PATH=$npm_dir/node_modules
# The site the tests, figures and screenshot use: the build's own, unless the
# caller names another copy (tools/release.sh, the unpacked web zip).
export CHASER_WEB_SITE=${CHASER_WEB_SITE:-$site}

case "$mode" in
test)
    # The runtime, the numeric library and KERNEL32 built for the web run
    # their own tests under Node.js: the same results as on Linux and Windows.
    step "runtime, numeric and KERNEL32 tests under Node.js"
    ctest --preset web -j "$(nproc)"
    # Every engine runs, whatever the one before gave; each one's time is
    # its suite's (chromium's holds its own tests of screens and touch).
    failed=()
    step "browser tests: chromium's own"
    started=$SECONDS
    node --test "$root/tests/web/site.test.js" || failed+=(chromium)
    echo "chromium's own: $((SECONDS - started)) s"
    for suite in page_faults pad; do
        step "browser tests: chromium, $suite"
        started=$SECONDS
        node --test "$root/tests/web/$suite.test.js" || failed+=("chromium $suite")
        echo "chromium $suite: $((SECONDS - started)) s"
    done
    for engine in chromium firefox webkit; do
        step "browser tests: the checks in $engine"
        started=$SECONDS
        CHASER_WEB_ENGINES=$engine node --test "$root/tests/web/engines.test.js" || failed+=("$engine")
        echo "$engine: $((SECONDS - started)) s"
    done
    if [ ${#failed[@]} -gt 0 ]; then
        echo "browser tests failed in: ${failed[*]}" >&2
        exit 1
    fi
    ;;
bench)
    step "web figures"
    node "$root/bench/web/figures.js" "${bench_args[@]}"
    ;;
screenshot)
    step "screenshot"
    node "$root/tools/web/screenshot.js" "$screenshot"
    ;;
esac
