#!/usr/bin/env bash
# Runs the setup program as a service engineer would, in a fresh Wine prefix
# of its own: a silent install, both programs from the installed folder, a
# move to another folder, silent uninstalls with and without the user's files.
#
#   installer/test-setup.sh [SETUP.exe]      exit 0: passed, 1: failed, 77: cannot run here
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
version="$(sed -n 's/^set(PLOVER_FILE_VERSION \([0-9.]*\))$/\1/p' "$root/CMakeLists.txt")"
setup="${1:-$root/build/PloverSetup-$version.exe}"
work="$root/build/setup-test"

# The setup is a 32-bit program: Wine runs it only where the kernel runs 32-bit
# code (./dev then runs the x86_64 tree and says so with PLOVER_ARCH=win64).
if [ "${PLOVER_ARCH:-win32}" = win64 ] || ! { [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; }; then
  echo "setup test skipped: Wine runs no 32-bit programs here (the kernel runs no 32-bit code), so the 32-bit setup cannot run"
  exit 77
fi
[ -f "$setup" ] || { echo "no setup at $setup: build it with ./dev package"; exit 1; }

export WINEARCH=win32 WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=ru_RU.UTF-8
# No menu entries on the host for the shortcuts the setup makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset PLOVER_WINE

source "$root/installer/test-lib.sh"
start_display 70

# The probe drives the programs from outside; built here for the i686 Wine.
probe="$work/probe.exe"
build_probe i686-w64-mingw32-g++-posix "$probe" || { echo "cannot build the probe"; exit 1; }

rm -rf "$WINEPREFIX"
wine wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

c="$WINEPREFIX/drive_c"
default_dir="$c/Program Files/Plover"
other_win='C:\Кассовые тесты\Plover'
other_dir="$c/Кассовые тесты/Plover"
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Plover"
uninst_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Plover'
clsid='{3F6C2A10-8D4B-4E2A-9C51-7B0E5A1D2C04}'

probe() { wine "$probe" "$@" 2>/dev/null | tr -d '\r'; }
reg_value() { probe reg "$1" "$2"; }
has_files() { local d="$1"; shift; local f; for f in "$@"; do [ -f "$d/$f" ] || return 1; done; }
has_none() { local d="$1"; shift; local f; for f in "$@"; do [ ! -e "$d/$f" ] || return 1; done; }
only_file() { [ "$(ls -A "$1")" = "$2" ]; }
# A shortcut names its target and its working folder (UTF-16 in the .lnk).
shortcut_to() { strings -el "$1" | grep -qF "$2"; }
# Uninstallers copy themselves away and return at once: wait until every
# program of the prefix has ended (this also writes the registry to disk).
settle() { wineserver -w; }
registry_mentions_driver() { grep -qiE '3F6C2A10-8D4B-4E2A-9C51-7B0E5A1D2C0|PloverDrv\.PloverDriver|Uninstall\\\\Plover\]' "$WINEPREFIX/system.reg"; }
win_of() { echo "$1" | sed 's|^'"$c"'|C:|; s|/|\\|g'; }

programs=(PloverTst.exe PloverCmd.exe PloverDrv.dll uninstall.exe)

echo "== silent install into the default folder"
wine "$setup" /S; rc=$?
settle
check "setup /S ends with 0" [ "$rc" = 0 ]
check "programs, driver and uninstaller in Program Files\\Plover" has_files "$default_dir" "${programs[@]}"
check "a 32-bit Windows gets the 32-bit driver only (no folder x64)" [ ! -e "$default_dir/x64" ]
check "shortcut \"Тест драйвера ККМ\" starts the installed PloverTst" \
  shortcut_to "$menu/Тест драйвера ККМ.lnk" 'C:\Program Files\Plover\PloverTst.exe'
check "shortcut \"Тест команд\" starts the installed PloverCmd" \
  shortcut_to "$menu/Тест команд.lnk" 'C:\Program Files\Plover\PloverCmd.exe'
check "shortcuts start in the program folder" shortcut_to "$menu/Тест команд.lnk" 'C:\Program Files\Plover'
check "driver registered for the machine" \
  [ "$(reg_value "Software\\Classes\\CLSID\\$clsid\\InprocServer32" '')" = 'C:\Program Files\Plover\PloverDrv.dll' ]
check "ProgID PloverDrv.PloverDriver names the class" \
  [ "$(reg_value 'Software\Classes\PloverDrv.PloverDriver\CLSID' '')" = "$clsid" ]
check "installed-programs entry with the version" [ "$(reg_value "$uninst_key" DisplayVersion)" = "$version" ]
check "installed-programs entry with the maker" [ "$(reg_value "$uninst_key" Publisher)" = 'ООО «Ржанка»' ]
check "installed-programs entry can uninstall silently" \
  [ "$(reg_value "$uninst_key" QuietUninstallString)" = '"C:\Program Files\Plover\uninstall.exe" /S' ]
carries_version() {
  local info
  info="$(probe version "$1")" &&
    grep -qxF "ProductName: Plover" <<<"$info" && grep -qxF "CompanyName: ООО «Ржанка»" <<<"$info" &&
    grep -qxF "FileVersion: $version" <<<"$info" && grep -qxF "ProductVersion: $version" <<<"$info"
}
for f in PloverTst.exe PloverCmd.exe PloverDrv.dll; do
  check "$f carries product, maker and version $version" carries_version "C:\\Program Files\\Plover\\$f"
done
check "the setup carries product, maker and version $version" carries_version "Z:${setup//\//\\}"
for name in RIGHTS_FOLDER RIGHTS_PROGRAM; do
  sddl="$(sed -n 's/^!define '"$name"' "\(.*\)"$/\1/p' "$root/installer/Rights.nsh")"
  check "$name is an access list the system reads" probe sddl "$sddl"
done

echo "== the installed programs"
about="$(probe about 'C:\Program Files\Plover\PloverTst.exe')"
check "PloverTst's About box shows \"Версия драйвера: $version\"" grep -qxF "Версия драйвера: $version" <<<"$about"
check "PloverCmd closes with 0" probe close 'C:\Program Files\Plover\PloverCmd.exe' 'Тест команд'
check "PloverCmd saved PloverCmd.ini beside itself" has_files "$default_dir" PloverCmd.ini
echo "user dump" > "$default_dir/saved.dmp"

echo "== install again into another folder"
# As typed at a command prompt: /D= takes the rest of the line, spaces and
# all, unquoted (wine would quote an argument with a space in it).
wine cmd /c "Z:${setup//\//\\} /S /D=$other_win"; rc=$?
settle
check "setup /S /D=... ends with 0" [ "$rc" = 0 ]
check "programs in the new folder" has_files "$other_dir" "${programs[@]}"
check "the earlier folder lost its programs" has_none "$default_dir" "${programs[@]}"
check "the earlier folder kept the user's files" has_files "$default_dir" PloverCmd.ini saved.dmp
check "driver registered from the new folder" \
  [ "$(reg_value "Software\\Classes\\CLSID\\$clsid\\InprocServer32" '')" = "$other_win\\PloverDrv.dll" ]
check "installed-programs entry names the new folder" [ "$(reg_value "$uninst_key" InstallLocation)" = "$other_win" ]
about="$(probe about "$other_win\\PloverTst.exe")"
check "PloverTst in the new folder reaches the driver" grep -qxF "Версия драйвера: $version" <<<"$about"
check "PloverCmd in the new folder saves its settings" probe close "$other_win\\PloverCmd.exe" 'Тест команд'

echo "== silent uninstall with /PURGE from the setup's own folder"
wine "$other_win\\uninstall.exe" /S /PURGE
settle
check "the folder with the user's settings is gone" [ ! -e "$other_dir" ]
check "shortcuts are gone" [ ! -e "$menu" ]
check "no CLSID, ProgID, type library or installed-programs entry left" eval '! registry_mentions_driver'
check "the earlier folder still holds the user's files" has_files "$default_dir" PloverCmd.ini saved.dmp

echo "== install over the kept folder, silent uninstall keeping the user's files"
wine "$setup" /S; rc=$?
settle
check "setup /S into a folder with user files ends with 0" [ "$rc" = 0 ]
check "the user's settings survive the install" has_files "$default_dir" PloverCmd.ini saved.dmp
wine "$(win_of "$default_dir")\\uninstall.exe" /S
settle
check "every installed file is gone" has_none "$default_dir" "${programs[@]}"
check "the user's files are kept" has_files "$default_dir" PloverCmd.ini saved.dmp
check "no CLSID, ProgID, type library or installed-programs entry left" eval '! registry_mentions_driver'
check "shortcuts are gone" [ ! -e "$menu" ]

echo "== /PURGE in a folder the setup did not make"
wine "$setup" /S; settle
wine "$(win_of "$default_dir")\\uninstall.exe" /S /PURGE
settle
check "PloverCmd.ini is removed" has_none "$default_dir" PloverCmd.ini
check "files the setup does not know stay" only_file "$default_dir" saved.dmp

if [ "$failures" -gt 0 ]; then
  echo "setup test: $failures check(s) failed"
  exit 1
fi
echo "setup test: all checks passed"
