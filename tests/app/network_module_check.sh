#!/usr/bin/env bash
# The window program loads no network code before its first download: lectoria must not need
# Qt Network, and its network module must offer the two entry points lectoria looks up.
#   tests/app/network_module_check.sh build/src/app/lectoria build/src/app/liblectoria-reseau.so
set -euo pipefail
lectoria="$1" module="$2"
if readelf -d "$lectoria" | grep -q 'NEEDED.*libQt6Network'; then
    echo "ÉCHEC : $lectoria dépend de libQt6Network dès son lancement" >&2
    exit 1
fi
for symbol in lectoria_reseau_transfert lectoria_reseau_historique; do
    nm -D --defined-only "$module" | grep -qw "$symbol" || { echo "ÉCHEC : $module n'exporte pas $symbol" >&2; exit 1; }
done
readelf -d "$module" | grep -q 'NEEDED.*libQt6Network' || { echo "ÉCHEC : $module ne contient pas le réseau" >&2; exit 1; }
echo "lectoria sans Qt Network au lancement ; module réseau complet"
