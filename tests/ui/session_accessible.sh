# Sourced by atspi_check.sh and orca_check.sh: what both need to show lectoria to assistive
# technologies. Defines
#   ignorer MESSAGE...        : says why the check cannot run here, and ends it with code 77;
#   exiger PROGRAMME...       : ignorer unless each program and the accessibility bus are installed;
#   ouvrir_session_accessible : (inside dbus-run-session and xvfb-run) a private work folder in
#                               $travail, XDG folders in it, the accessibility bus started and
#                               enabled; every process added to the pids array is killed at the end.

ignorer() {
    echo "IGNORÉ : $*" >&2
    exit 77
}

exiger() {
    local programme
    for programme in dbus-run-session xvfb-run "$@"; do
        command -v "$programme" >/dev/null || ignorer "$programme manque ici"
    done
    [ -x /usr/libexec/at-spi-bus-launcher ] || ignorer "at-spi-bus-launcher manque (paquet at-spi2-core)"
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || ignorer "pyatspi manque (paquet python3-pyatspi)"
}

ouvrir_session_accessible() {
    # The window must reach this display whatever the caller's environment chose (offscreen, Wayland).
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    travail="$(mktemp -d)"
    chmod 700 "$travail"
    export XDG_RUNTIME_DIR="$travail/run" XDG_CONFIG_HOME="$travail/config"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    pids=()
    # Orca may not stop on SIGTERM while it waits for a dead application: all are killed outright.
    trap 'for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$travail"' EXIT

    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$travail/bus.log" 2>&1 &
    pids+=($!)
    local _
    for _ in $(seq 50); do
        bus_pret && break
        kill -0 "${pids[0]}" 2>/dev/null || break
        sleep 0.1
    done
    bus_pret || ignorer "le bus d'accessibilité ne démarre pas ici ($(tr '\n' ' ' <"$travail/bus.log"))"
    dbus-send --session --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:IsEnabled variant:boolean:true
}

bus_pret() {
    dbus-send --session --reply-timeout=2000 --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null 2>&1
}
