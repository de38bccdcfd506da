#!/usr/bin/env bash
# Start-up beside bare Qt 6 windows: time from exec to the main window being mapped, peak resident
# memory (GNU time's maximum RSS) and CPU time, as the median of RUNS runs of each, interleaved,
# under Xvfb. The bare windows (one empty, one with a single label in the main window's Japanese
# font) are built here from a few lines, with the same compiler, Qt and build type.
# Usage: scripts/bench-startup.sh [BUILD_DIR]   (default build/default; RUNS=7 by default)
set -euo pipefail

build_dir=$(realpath "${1:-build/default}")
runs=${RUNS:-7}
bin="$build_dir/app/cipherloom"
[ -x "$bin" ] || {
    echo "no $bin: build it first (cmake --build --preset default --target cipherloom)" >&2
    exit 1
}

# Re-run under a private X server when there is no display.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$build_dir"
fi

bare_dir="$build_dir/bench-startup-bare"
mkdir -p "$bare_dir/src"
cat >"$bare_dir/src/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(BareWindow LANGUAGES CXX)
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bare_window main.cpp)
target_link_libraries(bare_window PRIVATE Qt6::Widgets)
add_executable(bare_window_label main.cpp)
target_compile_definitions(bare_window_label PRIVATE WITH_LABEL)
target_link_libraries(bare_window_label PRIVATE Qt6::Widgets)
CMAKE
# Same client size as the main window (6390 x 4215 twips at 15 twips a pixel).
cat >"$bare_dir/src/main.cpp" <<'CPP'
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(426, 281);
#ifdef WITH_LABEL
    window.setWindowTitle(QStringLiteral("Bare Qt window with a label"));
    QFont font;
    font.setFamilies({QStringLiteral(u"ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(16);
    auto* label = new QLabel(QStringLiteral(u"文字数"), &window);
    label->setFont(font);
#else
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
#endif
    window.show();
    return QApplication::exec();
}
CPP
cmake -S "$bare_dir/src" -B "$bare_dir/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$bare_dir/build" >/dev/null

names=(cipherloom "bare window" "bare + 1 label")
bins=("$bin" "$bare_dir/build/bare_window" "$bare_dir/build/bare_window_label")
titles=(Cipherloom "Bare Qt window" "Bare Qt window with a label")

# Launches a program under GNU time, waits for its top-level window with the given title to be
# mapped, lets it paint, ends it, and prints "<ms to map> <peak RSS in KiB> <CPU ms>". The CPU time
# (user + system, nearly all spent starting up: the program idles once shown) is steadier than the
# wall time on a loaded machine.
measure() {
    /usr/bin/python3 - "$@" <<'PY'
import os, signal, subprocess, sys, tempfile, time
from Xlib import X, display

program, title = sys.argv[1], sys.argv[2]
settle_s = 0.3
limit_s = 20

d = display.Display()
root = d.screen().root
root.change_attributes(event_mask=X.SubstructureNotifyMask)
d.sync()
net_wm_name = d.intern_atom("_NET_WM_NAME")
utf8 = d.intern_atom("UTF8_STRING")

def name_of(window):
    try:
        prop = window.get_full_property(net_wm_name, utf8)
        if prop is not None:
            return prop.value.decode("utf-8", "replace")
        return window.get_wm_name() or ""
    except Exception:
        return ""

rss_file = tempfile.NamedTemporaryFile(delete=False)
rss_file.close()
env = dict(os.environ)
env.pop("QT_QPA_PLATFORM", None)
start = time.monotonic_ns()
timer = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss_file.name, program], env=env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
mapped = None
deadline = time.monotonic() + limit_s
while mapped is None and time.monotonic() < deadline:
    event = d.next_event()
    if event.type == X.MapNotify and name_of(event.window) == title:
        mapped = time.monotonic_ns()
time.sleep(settle_s)
children = subprocess.run(["pgrep", "-P", str(timer.pid)], capture_output=True, text=True)
for pid in children.stdout.split():
    os.kill(int(pid), signal.SIGTERM)
# GNU time's own CPU figures have 10 ms steps; wait4 gives the children's to the microsecond.
_, _, usage = os.wait4(timer.pid, 0)
with open(rss_file.name) as f:
    # A line about the signal may come first; the figure is on the last line.
    rss = f.read().strip().splitlines()[-1]
os.unlink(rss_file.name)
if mapped is None:
    sys.exit(f"{title}: no window mapped within {limit_s} s")
cpu_ms = (usage.ru_utime + usage.ru_stime) * 1000
print(f"{(mapped - start) / 1e6:.1f} {rss} {cpu_ms:.1f}")
PY
}

median() {
    tr ' ' '\n' | grep . | sort -n |
        awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

# One discarded run of each warms the page cache and the font caches.
for i in "${!bins[@]}"; do
    measure "${bins[$i]}" "${titles[$i]}" >/dev/null
done

ms=() kb=() cpu=()
for ((run = 1; run <= runs; run++)); do
    line="run $run:"
    for i in "${!bins[@]}"; do
        read -r m k c < <(measure "${bins[$i]}" "${titles[$i]}")
        ms[i]+="$m " kb[i]+="$k " cpu[i]+="$c "
        line+=" ${names[$i]} $m ms $k KiB $c ms CPU |"
    done
    echo "${line% |}"
done

med_ms=() med_kb=() med_cpu=()
echo
echo "median of $runs runs    mapped after      peak RSS   CPU to map"
for i in "${!bins[@]}"; do
    med_ms[i]=$(median <<<"${ms[i]}")
    med_kb[i]=$(median <<<"${kb[i]}")
    med_cpu[i]=$(median <<<"${cpu[i]}")
    printf '%-16s %10.1f ms %10d KiB %9.1f ms\n' "${names[$i]}" "${med_ms[i]}" "${med_kb[i]}" \
        "${med_cpu[i]}"
done
for i in 1 2; do
    awk -v name="${names[$i]}" -v om="${med_ms[0]}" -v bm="${med_ms[i]}" -v ok="${med_kb[0]}" \
        -v bk="${med_kb[i]}" -v oc="${med_cpu[0]}" -v bc="${med_cpu[i]}" 'BEGIN {
        printf "cipherloom / %-15s time %.2fx   RSS %.2fx   CPU %.2fx\n", name, om / bm, ok / bk, oc / bc
    }'
done
echo "(goal: at most 1.15x the bare window on time and RSS)"
