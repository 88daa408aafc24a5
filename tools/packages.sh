# Installing Debian packages, for the tools that set up what they need.
# Sourced, not run:
#
#   . tools/packages.sh
#   install_missing PACKAGE...
#
# install_missing installs those of the packages not installed yet: one
# apt-get update and one install, and nothing at all when every one is there.
# apt_get runs apt-get as root (directly, or through sudo), waiting for
# another apt-get to let go of the lock instead of failing. apt_updated is 1
# once apt-get update has run, so a caller that needs it later runs it once.

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
apt_updated=${apt_updated:-0}

apt_get() {
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}

package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

install_missing() {
    local missing=() package
    for package in "$@"; do
        package_installed "$package" || missing+=("$package")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    apt_get update
    apt_updated=1
    apt_get install -y --no-install-recommends "${missing[@]}"
}

# Makes a locale such as ja_JP.UTF-8 available when the system lacks it. Wine
# takes its Windows code page from the locale's name alone, but names files
# outside ASCII only through a locale the system really has.
ensure_locale() {
    local name=$1 language=${1%%.*} charset=${1#*.}
    local listed
    listed="$language.$(tr -d '-' <<<"$charset" | tr '[:upper:]' '[:lower:]')"
    if locale -a 2>/dev/null | grep -qixF "$listed"; then
        return 0
    fi
    install_missing locales
    echo "Making the locale $name"
    $sudo localedef -i "$language" -f "$charset" "$name"
}
