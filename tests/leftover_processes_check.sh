#!/usr/bin/env bash
# The suite's last check: no process that a test started is still running. Every test, and so every
# process it starts, carries LECTORIA_ESSAIS=<build folder> in its environment; a process that ends
# on its own shortly after its test (a detached stand-in) is given 10 s. What is left is listed,
# then stopped, and the check fails.
#   tests/leftover_processes_check.sh BUILD_FOLDER
set -euo pipefail
. "$(cd "$(dirname "$0")" && pwd)/support/processes.sh"
entree="LECTORIA_ESSAIS=${1:?Usage : leftover_processes_check.sh DOSSIER_DE_COMPILATION}"

fin=$((SECONDS + 10))
while restants="$(processus_marques "$entree")"; [ -n "$restants" ] && [ "$SECONDS" -lt "$fin" ]; do
    sleep 0.2
done
[ -z "$restants" ] && exit 0
echo "ÉCHEC : des processus lancés par les tests tournent encore :" >&2
for pid in $restants; do
    echo "  $pid : $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" >&2
done
arreter_marques "$entree" || echo "Certains n'ont pas pu être arrêtés." >&2
exit 1
