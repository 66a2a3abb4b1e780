#!/bin/sh
# Runs the drive rule's Windows test in a Wine prefix of its own, whose drives have each type:
# Wine reads the types from HKLM\Software\Wine\Drives when its wineserver starts, so they cannot
# be given to the prefix that the other tests share.
#   drive_types_wine.sh <wine-run> <drive_types_tests.exe>
set -eu
wine_run="$1"
tests="$2"
work="$(mktemp -d)"
export WINEPREFIX="$work/wine"
arreter() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$work"
}
trap arreter EXIT
"$wine_run" wineboot -i >/dev/null 2>&1
wineserver -w
mkdir -p "$work/cd" "$work/amovible/Journaux" "$work/reseau/Partage"
ln -sfn "$work/cd" "$WINEPREFIX/dosdevices/d:"
ln -sfn "$work/amovible" "$WINEPREFIX/dosdevices/e:"
ln -sfn "$work/reseau" "$WINEPREFIX/dosdevices/f:"
rm -f "$WINEPREFIX/dosdevices/q:"
for drive in d:=cdrom e:=floppy f:=network; do
    "$wine_run" reg add 'HKLM\Software\Wine\Drives' /v "${drive%%=*}" /d "${drive#*=}" /f >/dev/null 2>&1
done
wineserver -k
wineserver -w
LECTORIA_LECTEURS_PREPARES=1 "$wine_run" "$tests"
