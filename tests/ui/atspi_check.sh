#!/usr/bin/env bash
# The windows as a screen reader sees them through AT-SPI: a private session bus, the
# accessibility bus, the real lectoria under Xvfb, and atspi_tree.py listing and checking its tree.
#   tests/ui/atspi_check.sh build/src/app/lectoria
# Exit code 77 (skipped, with the reason) when the accessibility bus cannot be started here.
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
. "$ici/session_accessible.sh"

if [ "${1:-}" != "--dans-la-session" ]; then
    lectoria="${1:?Usage : atspi_check.sh CHEMIN_DE_LECTORIA}"
    [ -x "$lectoria" ] || { echo "Programme introuvable : $lectoria" >&2; exit 1; }
    exiger
    lancer_session "$0" --dans-la-session "$lectoria"
fi

ouvrir_session_accessible
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LECTORIA_METRO_URL= LECTORIA_20MINUTES_URL= "$2" >"$travail/lectoria.log" 2>&1 &
pids+=($!)
# Bounded: a listing that hangs fails here, with lectoria's output, instead of running on.
timeout 90 /usr/bin/python3 "$ici/atspi_tree.py" && exit 0
echo "--- sortie de lectoria :" >&2
cat "$travail/lectoria.log" >&2
exit 1
