#!/usr/bin/env bash
# Installs every Debian 12 package the build, the program and the tests need.
# SQLCipher 4.6 comes from the backports suite of the machine's own Debian mirror.
# Does nothing when everything is already installed.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ clang-format pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libqt6opengl6-dev
    libgl-dev libxkbcommon-dev
    libsqlcipher-dev libssl-dev
    rapidjson-dev libxlsxwriter-dev
    libgtest-dev libbenchmark-dev
    qt6-charts-dev qt6-translations-l10n
    desktop-file-utils appstream dpkg-dev fakeroot file lintian
    fonts-wqy-microhei xvfb xauth python3 unzip dbus
)
BACKPORTS_PACKAGES=(libsqlcipher-dev libsqlcipher1)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sqlcipher_version=$(dpkg-query -W -f='${Version}' libsqlcipher-dev 2>/dev/null || true)
case "$sqlcipher_version" in
    4.6*) ;;
    *) missing+=(libsqlcipher-dev) ;;
esac
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Adds bookworm-backports from the same mirror the machine already uses.
add_backports() {
    local target=/etc/apt/sources.list.d/backports.sources
    [ -f "$target" ] && return 0
    local uri=""
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        uri=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
    fi
    if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
        uri=$(awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i !~ /^\[/) { print $i; exit } }' /etc/apt/sources.list)
    fi
    if [ -z "$uri" ]; then
        echo "setup: no Debian source entry found to derive backports from" >&2
        exit 1
    fi
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: %s\n' "$uri" "$keyring" \
        | $SUDO tee "$target" >/dev/null
}

add_backports
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends -t bookworm-backports "${BACKPORTS_PACKAGES[@]}"
$SUDO apt-get install -y -q --no-install-recommends "${PACKAGES[@]}"
