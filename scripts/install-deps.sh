#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, or the ones named as arguments;
# does nothing when all are present.
set -euo pipefail

packages=("$@")
[ $# -gt 0 ] || packages=(
    build-essential cmake make pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-qpa-plugins libgl-dev
    qt6-translations-l10n libwayland-dev libwayland-bin
    libgtest-dev libgmock-dev libbenchmark-dev
    python3-pytest python3-scipy
    fonts-ipafont-gothic fonts-dejavu-core
    dpkg-dev file desktop-file-utils appstream lintian
    clang-14 libclang-rt-14-dev valgrind
    xvfb xauth xdotool xclip x11-utils python3 python3-xlib dbus
    # Real desktop components the end-to-end tests start themselves: clipboard managers,
    copyq parcellite xfce4-clipman diodon
    # the desktop portal they activate on the session bus, and dbus-launch, which libdbus uses
    # when a program finds no bus,
    xdg-desktop-portal xdg-desktop-portal-gtk dbus-x11
    # a headless Wayland compositor with its keyboard and clipboard tools,
    sway wtype wl-clipboard qt6-wayland
    # and the accessibility bus that screen readers read.
    at-spi2-core python3-pyatspi
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
