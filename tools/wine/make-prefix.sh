#!/usr/bin/env bash
# Makes the template Wine prefix of a build tree once (64-bit, virtual desktop
# of 1024x768, no crash dialog); tests copy it. Usage: make-prefix.sh DIR
set -euo pipefail

prefix=$1
wine=${KW_WINE:-/usr/lib/wine/wine64}
wineserver=${KW_WINESERVER:-/usr/lib/wine/wineserver}
if [[ -f $prefix/.kw-complete ]]; then
  exit 0
fi

rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
# No display is needed to make the prefix.
unset DISPLAY

"$wine" wineboot -i >/dev/null 2>&1
reg() { "$wine" reg add "$@" /f >/dev/null 2>&1; }
# Every program runs inside one virtual desktop window that supports display
# mode changes (plain Xvfb refuses them all).
reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
# A crashing program must not leave a dialog behind that the tests mistake.
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
"$wineserver" -w
touch "$prefix/.kw-complete"
