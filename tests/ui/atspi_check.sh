#!/usr/bin/env bash
# The windows as a screen reader sees them through AT-SPI: a private session bus, the
# accessibility bus, the real lectoria under Xvfb, and atspi_tree.py listing and checking its tree.
#   tests/ui/atspi_check.sh build/src/app/lectoria
# Exit code 77 (skipped, with the reason) when the accessibility bus cannot be started here.
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
ignorer() {
    echo "IGNORÉ : $*" >&2
    exit 77
}

if [ "${1:-}" != "--dans-la-session" ]; then
    lectoria="${1:?Usage : atspi_check.sh CHEMIN_DE_LECTORIA}"
    [ -x "$lectoria" ] || { echo "Programme introuvable : $lectoria" >&2; exit 1; }
    command -v dbus-run-session >/dev/null || ignorer "dbus-run-session manque (paquet dbus)"
    command -v xvfb-run >/dev/null || ignorer "xvfb-run manque (paquet xvfb)"
    [ -x /usr/libexec/at-spi-bus-launcher ] || ignorer "at-spi-bus-launcher manque (paquet at-spi2-core)"
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || ignorer "pyatspi manque (paquet python3-pyatspi)"
    exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" --dans-la-session "$lectoria"
fi

# In the private session bus, under Xvfb. The window must reach that display whatever the caller's
# environment chose (offscreen, a Wayland session).
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
travail="$(mktemp -d)"
chmod 700 "$travail"
export XDG_RUNTIME_DIR="$travail/run" XDG_CONFIG_HOME="$travail/config"
mkdir -m 700 "$XDG_RUNTIME_DIR"
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$travail"' EXIT

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$travail/bus.log" 2>&1 &
pids+=($!)
bus_pret() {
    dbus-send --session --reply-timeout=2000 --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null 2>&1
}
for _ in $(seq 50); do
    bus_pret && break
    kill -0 "${pids[0]}" 2>/dev/null || break
    sleep 0.1
done
bus_pret || ignorer "le bus d'accessibilité ne démarre pas ici ($(tr '\n' ' ' <"$travail/bus.log"))"
dbus-send --session --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
    string:org.a11y.Status string:IsEnabled variant:boolean:true

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LECTORIA_METRO_URL= LECTORIA_20MINUTES_URL= "$2" >"$travail/lectoria.log" 2>&1 &
pids+=($!)
# Bounded: a listing that hangs fails here, with lectoria's output, instead of running on.
timeout 90 /usr/bin/python3 "$ici/atspi_tree.py" && exit 0
echo "--- sortie de lectoria :" >&2
cat "$travail/lectoria.log" >&2
exit 1
