#!/usr/bin/env bash
# The 64-bit driver as a 64-bit program meets it, in a fresh 64-bit Wine prefix
# of its own: a 64-bit client creates the control by its ProgID and gets
# "(0)" from GetECRStatus, and asks PloverTst for the status over the UDP bus.
#
#   installer/test-x64.sh driver         the x86_64 PloverDrv.dll of build/win64/bin registered
#                                        by the 64-bit regsvr32, as the setup registers it; the
#                                        PloverTst of the tree Wine runs here
#   installer/test-x64.sh setup [SETUP]  after a silent install of the setup (a 32-bit program:
#                                        only where the kernel runs 32-bit code), the installed
#                                        programs; then the uninstall
#
# exit 0: passed, 1: failed, 77: cannot run here
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
version="$(sed -n 's/^set(PLOVER_FILE_VERSION \([0-9.]*\))$/\1/p' "$root/CMakeLists.txt")"
mode="${1:-}"
setup="${2:-$root/build/PloverSetup-$version.exe}"
work="$root/build/x64-test-$mode"

runs32() { [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; }
case "$mode" in
  driver) ;;
  setup)
    if ! runs32; then
      echo "x64 setup test skipped: the kernel runs no 32-bit code, so the 32-bit setup cannot run here"
      exit 77
    fi
    [ -f "$setup" ] || { echo "no setup at $setup: build it with ./dev package"; exit 1; } ;;
  *) echo "usage: $0 driver | setup [SETUP.exe]"; exit 2 ;;
esac
[ -x /usr/lib/wine/wine64 ] || { echo "no 64-bit Wine (package wine64)"; exit 1; }

export WINEARCH=win64 WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=ru_RU.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset PLOVER_WINE
wine64=/usr/lib/wine/wine64

source "$root/installer/test-lib.sh"
start_display 80

# The 64-bit client: the probe built for x86_64.
probe64="$work/probe64.exe"
build_probe x86_64-w64-mingw32-g++-posix "$probe64" || { echo "cannot build the 64-bit probe"; exit 1; }

rm -rf "$WINEPREFIX"
"$wine64" wineboot -i >/dev/null 2>&1
wineserver -w
"$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
"$wine64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

clsid='{3F6C2A10-8D4B-4E2A-9C51-7B0E5A1D2C04}'
libid='{3F6C2A10-8D4B-4E2A-9C51-7B0E5A1D2C01}'
probe() { "$wine64" "$probe64" "$@" 2>/dev/null | tr -d '\r'; }
winpath() { echo "Z:${1//\//\\}"; }
# A value of the 64-bit view of HKEY_LOCAL_MACHINE (the probe is a 64-bit program).
reg64() { probe reg "$1" "$2"; }
# A bus port of this run's own, so that runs of other trees stay apart.
port=$((48000 + $$ % 1000))

if [ "$mode" = driver ]; then
  dll="$root/build/win64/bin/PloverDrv.dll"
  [ -f "$dll" ] || { echo "no $dll: build it with ./dev build"; exit 1; }
  # The PloverTst that Wine runs here: the shipped 32-bit one where the kernel
  # runs 32-bit code (its 32-bit driver registered by the 32-bit regsvr32),
  # the x86_64 build of the same sources elsewhere.
  if runs32; then
    tst="$(winpath "$root/build/win/bin/PloverTst.exe")"
    wine 'C:\windows\syswow64\regsvr32.exe' /s "$(winpath "$root/build/win/bin/PloverDrv.dll")"
  else
    tst="$(winpath "$root/build/win64/bin/PloverTst.exe")"
  fi
  echo "== the x86_64 driver registered by the 64-bit regsvr32"
  "$wine64" regsvr32 /s "$(winpath "$dll")"; rc=$?
  wineserver -w
  check "regsvr32 /s PloverDrv.dll ends with 0" [ "$rc" = 0 ]
  check "the class is registered in the 64-bit view" \
    [ "$(reg64 "Software\\Classes\\CLSID\\$clsid\\InprocServer32" '')" = "$(winpath "$dll")" ]
  check "the ProgID names the class" [ "$(reg64 'Software\Classes\PloverDrv.PloverDriver\CLSID' '')" = "$clsid" ]
  check "the type library is registered for 64-bit programs" \
    [ -n "$(reg64 "Software\\Classes\\TypeLib\\$libid\\1.0\\0\\win64" '')" ]
  driver_win="$(winpath "$dll")"
else
  tst='C:\Program Files (x86)\Plover\PloverTst.exe'
  echo "== silent install into a 64-bit Windows"
  wine "$setup" /S; rc=$?
  wineserver -w
  c="$WINEPREFIX/drive_c"
  check "setup /S ends with 0" [ "$rc" = 0 ]
  check "the 32-bit programs and driver in Program Files (x86)\\Plover" \
    eval '[ -f "$c/Program Files (x86)/Plover/PloverTst.exe" ] && [ -f "$c/Program Files (x86)/Plover/PloverDrv.dll" ]'
  check "the 64-bit driver in its own folder x64 beside them" [ -f "$c/Program Files (x86)/Plover/x64/PloverDrv.dll" ]
  driver_win='C:\Program Files (x86)\Plover\x64\PloverDrv.dll'
  check "the 64-bit view names the 64-bit driver" \
    [ "$(reg64 "Software\\Classes\\CLSID\\$clsid\\InprocServer32" '')" = "$driver_win" ]
  check "the 32-bit view names the 32-bit driver" \
    [ "$(reg64 "Software\\Wow6432Node\\Classes\\CLSID\\$clsid\\InprocServer32" '')" = 'C:\Program Files (x86)\Plover\PloverDrv.dll' ]
  check "the ProgID names the class for 64-bit programs" \
    [ "$(reg64 'Software\Classes\PloverDrv.PloverDriver\CLSID' '')" = "$clsid" ]
  check "the type library is registered for 64-bit programs" \
    [ -n "$(reg64 "Software\\Classes\\TypeLib\\$libid\\1.0\\0\\win64" '')" ]
fi

echo "== a 64-bit client"
status="$(probe status)"
echo "$status" | sed 's/^/     /'
check "creates the control by its ProgID and gets \"(0)\" from GetECRStatus" grep -qxF "(0) Ошибок нет" <<<"$status"
check "is a 64-bit program" grep -qxF "bits: 64" <<<"$status"
check "loads the x86_64 driver" grep -qixF "driver: $driver_win" <<<"$status"

echo "== the 64-bit client and PloverTst over the UDP bus (port $port)"
exchange="$(probe exchange "$tst" "$port")"
echo "$exchange" | sed 's/^/     /'
check "PloverTst answers the client's request (\"(0)\")" grep -qxF "(0) Ошибок нет" <<<"$exchange"
check "the answer carries the catalogue's output" grep -qxF "ECRSoftBuild: 1234" <<<"$exchange"

if [ "$mode" = driver ]; then
  echo "== unregistered"
  "$wine64" regsvr32 /s /u "$(winpath "$dll")"
  wineserver -w
  check "the 64-bit view no longer names the class" eval '! reg64 "Software\\Classes\\CLSID\\$clsid\\InprocServer32" ""'
  status="$(probe status)"
  check "a 64-bit client no longer finds the control" eval '! grep -qxF "(0) Ошибок нет" <<<"$status"'
else
  echo "== silent uninstall"
  wine 'C:\Program Files (x86)\Plover\uninstall.exe' /S
  wineserver -w
  check "the x64 folder is gone" [ ! -e "$WINEPREFIX/drive_c/Program Files (x86)/Plover/x64" ]
  check "no class left in the 64-bit view" eval '! reg64 "Software\\Classes\\CLSID\\$clsid\\InprocServer32" ""'
  check "no class left in the 32-bit view" eval '! reg64 "Software\\Wow6432Node\\Classes\\CLSID\\$clsid\\InprocServer32" ""'
  check "no type library left" eval '! grep -qi "3F6C2A10-8D4B-4E2A-9C51-7B0E5A1D2C01" "$WINEPREFIX/system.reg"'
fi

if [ "$failures" -gt 0 ]; then
  echo "x64 test ($mode): $failures check(s) failed"
  exit 1
fi
echo "x64 test ($mode): all checks passed"
