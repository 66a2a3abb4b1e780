#!/usr/bin/env bash
# What Orca, Debian's screen reader, says while the real lectoria is used by the keyboard alone:
# a private session bus, the accessibility bus, Xvfb with openbox as window manager, Orca with
# its debug file, and orca_speech.py pressing keys and reading what Orca said after each one.
#   tests/ui/orca_check.sh build/src/app/lectoria
# Exit code 77 (skipped, with the reason) where Orca, the window manager or the buses are missing;
# an Orca that is there but says nothing fails.
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
. "$ici/session_accessible.sh"

if [ "${1:-}" != "--dans-la-session" ]; then
    lectoria="${1:?Usage : orca_check.sh CHEMIN_DE_LECTORIA}"
    [ -x "$lectoria" ] || { echo "Programme introuvable : $lectoria" >&2; exit 1; }
    exiger orca openbox xdotool
    # Orca refuses to start beside another Orca of the same user, wherever it runs (the user's own
    # screen reader, or this test run by another suite at the same time); replacing it would take
    # their screen reader away.
    for nom in /proc/[0-9]*/comm; do
        if [ "$(cat "$nom" 2>/dev/null)" = orca ] && [ "$(stat -c %u "${nom%/comm}" 2>/dev/null)" = "$(id -u)" ]; then
            ignorer "Orca tourne déjà pour cet utilisateur (processus ${nom//[^0-9]/}) : le test ne le remplace pas"
        fi
    done
    lancer_session "$0" --dans-la-session "$lectoria"
fi

ouvrir_session_accessible
export HOME="$travail" # Orca's own settings, fresh for each run

# Orca hands its speech to speech-dispatcher, which it starts in this session. With no sound server
# and no sound card, its default output opens nothing: it takes the first utterances, then stops
# answering, and Orca waits on it for good. ALSA's null device always opens, with or without sound.
mkdir -p "$XDG_CONFIG_HOME/speech-dispatcher"
cat >"$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf" <<'CONF'
LogLevel 3
LogDir "default"
AudioOutputMethod "alsa"
AudioALSADevice "null"
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
DefaultModule espeak-ng
CONF
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
    echo "--- journal de speech-dispatcher :" >&2
    tail -20 "$XDG_RUNTIME_DIR/speech-dispatcher/log/speech-dispatcher.log" >&2 || true
fi
exit "$statut"
