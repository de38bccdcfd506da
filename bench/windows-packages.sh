#!/usr/bin/env bash
# The Windows packages of this commit twice, side by side: with the static Qt (what ships) and
# with Qt's DLLs (as before). Prints the sizes of the zip, the installer and the program file, then
# under Wine the time from start to the window and the private memory of the running program, the
# median of RUNS runs of each (interleaved) and the ratio static/DLL.
# Usage: bench/windows-packages.sh   (RUNS=7 by default; builds in build/bench-windows-{static,dll})
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
runs=${RUNS:-7}
jobs=${JOBS:-$(nproc)}

package() {
    local kind="$1" prefix="$2" dir="build/bench-windows-$1"
    cmake --preset windows-cross -B "$dir" -DBUILD_TESTING=OFF \
        -DCIPHERLOOM_QT_MINGW_PREFIX="$prefix" >/dev/null
    cmake --build "$dir" --parallel "$jobs" >/dev/null
    (cd "$dir" && cpack -G ZIP >/dev/null && cpack -G NSIS >/dev/null)
    echo "$kind $(realpath "$dir")"
}

static_prefix="$(scripts/build-qt-mingw.sh)"
dll_prefix="$(scripts/build-qt-mingw.sh --shared)"
dirs=("$(package static "$static_prefix")" "$(package dll "$dll_prefix")")

printf '%-8s %12s %12s %12s %8s\n' build zip installer program files
for entry in "${dirs[@]}"; do
    read -r kind dir <<<"$entry"
    zip=("$dir"/Cipherloom-*-win64.zip)
    setup=("$dir"/Cipherloom-*-win64-setup.exe)
    program=$(unzip -Zl "${zip[0]}" | awk '$NF ~ /\/cipherloom.exe$/ { print $4 }')
    files=$(unzip -Z1 "${zip[0]}" | grep -cv '/$')
    printf '%-8s %12d %12d %12d %8d\n' "$kind" "$(stat -c %s "${zip[0]}")" \
        "$(stat -c %s "${setup[0]}")" "$program" "$files"
done

zips=()
for entry in "${dirs[@]}"; do
    read -r kind dir <<<"$entry"
    zips+=("$kind=$(ls "$dir"/Cipherloom-*-win64.zip)")
done
RUNS=$runs tests/wine/session.sh /usr/bin/python3 bench/wine_startup.py "${zips[@]}"
