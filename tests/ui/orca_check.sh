#!/usr/bin/env bash
# What Orca, Debian's screen reader, says while the real lectoria is used by the keyboard alone:
# a private session bus, the accessibility bus, Xvfb with openbox as window manager, Orca with
# its debug file, and orca_speech.py pressing keys and reading what Orca said after each one.
#   tests/ui/orca_check.sh build/src/app/lectoria
# Exit code 77 (skipped, with the reason) where Orca, the window manager or the buses are missing.
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
ignorer() {
    echo "IGNORÉ : $*" >&2
    exit 77
}

if [ "${1:-}" != "--dans-la-session" ]; then
    lectoria="${1:?Usage : orca_check.sh CHEMIN_DE_LECTORIA}"
    [ -x "$lectoria" ] || { echo "Programme introuvable : $lectoria" >&2; exit 1; }
    for programme in dbus-run-session xvfb-run orca openbox xdotool; do
        command -v "$programme" >/dev/null || ignorer "$programme manque (paquets dbus, xvfb, orca, openbox, xdotool)"
    done
    [ -x /usr/libexec/at-spi-bus-launcher ] || ignorer "at-spi-bus-launcher manque (paquet at-spi2-core)"
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || ignorer "pyatspi manque (paquet python3-pyatspi)"
    exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" --dans-la-session "$lectoria"
fi

# In the private session bus, under Xvfb; the window must reach that display.
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
travail="$(mktemp -d)"
chmod 700 "$travail"
export XDG_RUNTIME_DIR="$travail/run" XDG_CONFIG_HOME="$travail/config" HOME="$travail"
mkdir -m 700 "$XDG_RUNTIME_DIR"
pids=()
# Orca may not stop on SIGTERM while it waits for a dead application: it is killed outright.
trap 'for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$travail"' EXIT

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

openbox >"$travail/openbox.log" 2>&1 &
pids+=($!)

# Orca writes its debug file line by line here, so that each utterance can be read as it comes.
journal="$travail/orca.debug"
/usr/bin/python3 - "$journal" >"$travail/orca.log" 2>&1 <<'PYTHON' &
import builtins, runpy, sys
journal = sys.argv[1]
real_open = builtins.open
def line_buffered(file, mode="r", *args, **kwargs):
    if file == journal and "w" in mode:
        return real_open(file, mode, 1)
    return real_open(file, mode, *args, **kwargs)
builtins.open = line_buffered
sys.argv = ["orca", "--debug-file=" + journal]
runpy.run_path("/usr/bin/orca", run_name="__main__")
PYTHON
pids+=($!)

faketime_lib="$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n1)"
[ -n "$faketime_lib" ] || ignorer "libfaketime manque (paquet faketime)"

statut=0
timeout 150 /usr/bin/python3 "$ici/orca_speech.py" "$journal" "$2" "$faketime_lib" "$travail/lectoria.log" ||
    statut=$?
if [ "$statut" -ne 0 ] && [ "$statut" -ne 77 ]; then
    echo "--- sortie de lectoria :" >&2
    cat "$travail/lectoria.log" >&2 || true
    echo "--- sortie d'Orca :" >&2
    tail -20 "$travail/orca.log" >&2 || true
fi
exit "$statut"
