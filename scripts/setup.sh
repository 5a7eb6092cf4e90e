#!/usr/bin/env bash
# Installs, once and only what is missing, every Debian package the build, tests and tools need.
set -euo pipefail

PACKAGES=(
    # build
    build-essential cmake ninja-build pkg-config git
    # tests
    libgtest-dev libgmock-dev python3
    # command line
    libcli11-dev
    # PNG files and colour reduction
    libspng-dev libimagequant-dev
    # window: Qt 6 Widgets and the fonts the layout was designed for
    qt6-base-dev qt6-base-dev-tools libgl-dev fonts-wine fonts-liberation2
    # install and package: manual page from --help, checks of the desktop entry and AppStream file, .deb
    # dependencies, bash completion (its tests source it)
    help2man desktop-file-utils appstream dpkg-dev man-db bash-completion
    # the toolkit's own dialog texts in the languages of the language files
    qt6-translations-l10n
    # fuzzing and sanitizer builds
    clang libclang-rt-14-dev
)

missing=()
for pkg in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    echo "setup: installing ${missing[*]}"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
