#!/usr/bin/env bash
# Sourced by the scripts that run something as an ordinary user when they are started by root
# (the tests, the package build, as Debian's build daemons do). Defines:
#   utilisateur_essai : the name of that user, created here (a system account, no password) if needed;
#   en_utilisateur CMD... : runs CMD as that user, with its own HOME and none of root's XDG folders.
utilisateur_essai="${LECTORIA_UTILISATEUR_ESSAI:-lectoria-essai}"
if ! id "$utilisateur_essai" >/dev/null 2>&1; then
    useradd --system --create-home --home-dir "/var/lib/$utilisateur_essai" --shell /bin/bash \
        "$utilisateur_essai"
fi
en_utilisateur() {
    local maison
    maison="$(getent passwd "$utilisateur_essai" | cut -d: -f6)"
    runuser -u "$utilisateur_essai" -- env -u XDG_RUNTIME_DIR -u XDG_CONFIG_HOME -u XDG_DATA_HOME \
        -u XDG_CACHE_HOME -u DBUS_SESSION_BUS_ADDRESS HOME="$maison" USER="$utilisateur_essai" \
        LOGNAME="$utilisateur_essai" "$@"
}
