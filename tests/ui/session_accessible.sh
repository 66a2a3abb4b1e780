# Sourced by atspi_check.sh and orca_check.sh: what both need to show lectoria to assistive
# technologies. Defines
#   ignorer MESSAGE...        : says why the check cannot run here, and ends it with code 77;
#   exiger PROGRAMME...       : ignorer unless each program and the accessibility bus are installed;
#   lancer_session ARGS...    : runs ARGS (the calling script again) inside a private session bus
#                               and Xvfb;
#   ouvrir_session_accessible : (inside dbus-run-session and xvfb-run) a private work folder in
#                               $travail, XDG folders in it, the accessibility bus started and
#                               enabled; at the end, every process added to the pids array is
#                               killed, then everything else the session started, whatever it
#                               detached (the accessibility bus's dbus-daemon, speech-dispatcher).

. "$(dirname "${BASH_SOURCE[0]}")/../support/processes.sh"

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

lancer_session() {
    exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$@"
}

fermer_session() {
    local pid
    # (stderr aside: the shell's « Killed » notices for its own jobs say nothing wrong.)
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    arreter_marques "LECTORIA_SESSION_ESSAI=$LECTORIA_SESSION_ESSAI" 2>/dev/null ||
        echo "Des processus de la session n'ont pas pu être arrêtés." >&2
    wait 2>/dev/null || true
    rm -rf "$travail"
}

ouvrir_session_accessible() {
    # The window must reach this display whatever the caller's environment chose (offscreen, Wayland).
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    travail="$(mktemp -d)"
    chmod 700 "$travail"
    # Inherited by every process started from here, daemons included: how the end finds them all.
    # (The session bus and Xvfb, started before, are stopped by dbus-run-session and xvfb-run.)
    export LECTORIA_SESSION_ESSAI="$travail"
    export XDG_RUNTIME_DIR="$travail/run" XDG_CONFIG_HOME="$travail/config"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    pids=()
    # Orca may not stop on SIGTERM while it waits for a dead application: all are killed outright.
    trap fermer_session EXIT

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
