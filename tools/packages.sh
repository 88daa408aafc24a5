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
