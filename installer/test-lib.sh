# What the setup's tests share; sourced by installer/test-setup.sh and
# installer/test-x64.sh after they set root, work and the Wine environment.

# A screen of its own when there is none: the first free display from $1 on.
xvfb_pid=""
stop() {
  wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
start_display() {  # first display number
  trap stop EXIT
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    local n
    for n in $(seq "$1" $(($1 + 9))); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  fi
}

failures=0
ok() { echo "ok   $*"; }
bad() { echo "FAIL $*"; failures=$((failures + 1)); }
check() {  # description command...
  local what="$1"; shift
  if "$@" >/dev/null; then ok "$what"; else bad "$what"; fi
}

# The probe that drives the programs from outside, built for the given
# compiler when its sources are newer than it.
build_probe() {  # compiler output.exe
  local cxx="$1" out="$2" src stale=
  for src in probe.cpp probe_driver.cpp probe.h; do [ "$out" -nt "$root/installer/$src" ] || stale=1; done
  [ -f "$out" ] && [ -z "$stale" ] && return 0
  mkdir -p "$(dirname "$out")"
  "$cxx" -std=c++20 -O1 -DUNICODE -D_UNICODE -municode -static -s -o "$out" \
    "$root/installer/probe.cpp" "$root/installer/probe_driver.cpp" \
    -ladvapi32 -luser32 -lgdi32 -lversion -lole32 -loleaut32 -luuid
}
