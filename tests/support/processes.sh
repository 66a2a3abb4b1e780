# Sourced by the test scripts: finds the processes a test started by an entry of their environment,
# which every child inherits, even one that detached into a session of its own (a daemon's fork and
# setsid keep the environment). Defines
#   processus_marques ENTREE : the pids carrying ENTREE ("NOM=valeur"), one per line, except this
#                              shell and its ancestors;
#   arreter_marques ENTREE   : kills them all (SIGKILL) and waits, at most 5 s, until none is left.

processus_marques() {
    local entree="$1" p pid ancetres=" " a="$BASHPID"
    while [ -n "$a" ] && [ "$a" -gt 1 ]; do
        ancetres+="$a "
        # The parent is the second field after the command's name, which may hold spaces and parentheses.
        a="$(sed 's/.*) //' "/proc/$a/stat" 2>/dev/null | cut -d' ' -f2)" || break
    done
    # One grep over every environment (entries end with NUL); unreadable or vanished ones are not ours.
    grep -lzxF -- "$entree" /proc/[0-9]*/environ 2>/dev/null | while read -r p; do
        pid="${p#/proc/}"
        pid="${pid%/environ}"
        case "$ancetres" in *" $pid "*) ;; *) echo "$pid" ;; esac
    done
    return 0
}

arreter_marques() {
    local entree="$1" pids fin=$((SECONDS + 5))
    while pids="$(processus_marques "$entree")"; [ -n "$pids" ]; do
        [ "$SECONDS" -lt "$fin" ] || return 1
        # shellcheck disable=SC2086
        kill -KILL $pids 2>/dev/null || true
        sleep 0.1
    done
}
