# SDL2 built from Debian's own source for targets Debian does not package it
# for (Windows, the web). Sourced by tools/windows.sh and tools/web.sh.
#
# A build takes minutes, so each one is kept outside the clone, in
#   ${XDG_CACHE_HOME:-~/.cache}/chaser/sdl2-<version>-<target>-<key>/prefix
# where <key> is a hash of everything that shapes the result: the configure
# arguments, the toolchain file's text and the compiler's version. A later run
# (or a fresh clone, or CI on the same machine) with the same inputs finds it
# and builds nothing; changing any input makes a new one. A build that stops
# half way leaves no directory of that name, since the finished prefix is moved
# into place in one step.
#
# The caller sources tools/packages.sh first (for `sudo`, apt_get and
# apt_updated).

sdl2_cache_root() {
    echo "${XDG_CACHE_HOME:-$HOME/.cache}/chaser"
}

# Debian packages SDL2 for Linux only; `apt-get source` needs a deb-src entry
# for bookworm main. It uses the archive the machine already installs from.
sdl2_ensure_deb_src() {
    if grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
        /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return 0
    fi
    echo "== adding a deb-src entry for bookworm main" >&2
    local archive
    # The first stanza (deb822) or line (one-line format) that installs bookworm.
    archive=$(awk '
        FNR == 1 { if (suite && uri) { print uri; exit } uri = ""; suite = 0 }
        /^[[:space:]]*$/ { if (suite && uri) { print uri; exit } uri = ""; suite = 0; next }
        tolower($1) == "uris:" { uri = $2 }
        tolower($1) == "suites:" { for (i = 2; i <= NF; i++) if ($i == "bookworm") suite = 1 }
        END { if (suite && uri) print uri }
    ' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1)
    if [ -z "$archive" ]; then
        archive=$(awk '$1 == "deb" && $0 ~ / bookworm / { for (i = 2; i <= NF; i++)
            if ($i ~ /:\/\//) { print $i; exit } }' /etc/apt/sources.list 2>/dev/null | head -n1)
    fi
    if [ -z "$archive" ]; then
        echo "no Debian archive found in the apt sources" >&2
        return 1
    fi
    $sudo tee /etc/apt/sources.list.d/chaser-game-src.sources >/dev/null <<EOF
Types: deb-src
URIs: $archive
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt_updated=0
}

# The version of SDL2's Debian source, e.g. 2.26.5+dfsg-1 (updates the package
# lists once if they do not know it yet).
sdl2_source_version() {
    local version
    version=$(apt-cache showsrc libsdl2 2>/dev/null | awk '$1 == "Version:" { print $2; exit }')
    if [ -z "$version" ] && [ "${apt_updated:-0}" -eq 0 ]; then
        apt_get update >&2
        apt_updated=1
        version=$(apt-cache showsrc libsdl2 2>/dev/null | awk '$1 == "Version:" { print $2; exit }')
    fi
    if [ -z "$version" ]; then
        echo "apt knows no source package libsdl2" >&2
        return 1
    fi
    echo "$version"
}

# Unpacks SDL2's source for VERSION into the cache (once) and prints its directory.
sdl2_source_dir() {
    local version=$1
    local dir
    dir=$(sdl2_cache_root)/src/libsdl2-$version
    if [ ! -f "$dir/.complete" ]; then
        echo "== fetching SDL2's source ($version)" >&2
        rm -rf "$dir"
        mkdir -p "$dir"
        # Called inside $(...), where bash drops `set -e`: each step that can
        # fail says so itself, and only a whole fetch is marked complete.
        (cd "$dir" && apt-get source "libsdl2=$version" >&2) || {
            rm -rf "$dir"
            return 1
        }
        touch "$dir/.complete"
    fi
    local tree
    tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -name 'libsdl2-*' | head -n1)
    if [ -z "$tree" ]; then
        echo "apt-get source left no libsdl2 directory in $dir" >&2
        return 1
    fi
    echo "$tree"
}

# sdl2_cached_build TARGET TOOLCHAIN_FILE COMPILER -- CONFIGURE_ARGUMENT...
# Builds and installs SDL2 for TARGET unless that exact build is cached; prints
# the install prefix. TOOLCHAIN_FILE and COMPILER (a program whose --version
# is taken) enter the key with the arguments.
sdl2_cached_build() {
    local target=$1 toolchain=$2 compiler=$3
    shift 4
    local version key dir
    sdl2_ensure_deb_src || return 1
    version=$(sdl2_source_version) || return 1
    key=$({
        printf '%s\n' "$@"
        cat "$toolchain"
        "$compiler" --version 2>&1 | head -n1
    } | sha256sum | cut -c1-12)
    dir=$(sdl2_cache_root)/sdl2-${version%%+*}-$target-$key
    if [ -d "$dir/prefix" ]; then
        echo "== SDL2 for $target: cached in $dir" >&2
        echo "$dir/prefix"
        return 0
    fi
    local source work started
    source=$(sdl2_source_dir "$version") || return 1
    mkdir -p "$(sdl2_cache_root)"
    work=$(mktemp -d "$(sdl2_cache_root)/building-$target.XXXXXX")
    started=$(date +%s)
    echo "== building SDL2 $version for $target into $dir (once; later runs reuse it)" >&2
    {
        cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_INSTALL_PREFIX="$dir/prefix" "$@" &&
            cmake --build "$work/build" -j "$(nproc)" &&
            DESTDIR="$work/stage" cmake --install "$work/build"
    } >&2 || {
        rm -rf "$work"
        return 1
    }
    mkdir -p "$dir"
    mv "$work/stage$dir/prefix" "$dir/prefix" || {
        rm -rf "$work"
        return 1
    }
    rm -rf "$work"
    echo "== SDL2 for $target built in $(($(date +%s) - started)) s" >&2
    echo "$dir/prefix"
}

# Points LINK (a path under build/ that a CMake preset names) at PREFIX; an
# older build's own directory there is replaced.
sdl2_link_prefix() {
    local prefix=$1 link=$2
    mkdir -p "$(dirname "$link")"
    if [ -e "$link" ] && [ ! -L "$link" ]; then
        rm -rf "$link"
    fi
    ln -sfn "$prefix" "$link"
}
