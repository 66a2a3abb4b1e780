#!/usr/bin/env bash
# The bash completion of lectoria-cli, sourced as bash-completion does, on a few partial lines.
# Usage: completion_test.sh <completion file> <lectoria-cli>
set -uo pipefail
source "$1"
cli="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/Presse-matin" "$scratch/Presse-soir"
touch "$scratch/Presse.pdf"
today="$(date +%Y-%m-%d)"

failures=0
# expect "<offers, in any order>" <words of the line...>; the last word is being completed.
expect() {
    local expected="$1" offered
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _lectoria_cli 2>/dev/null
    offered="$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)"
    if [ "$offered" != "$(printf '%s\n' $expected | sort | xargs)" ]; then
        echo "ÉCHEC : « ${*:2} » propose « ${COMPREPLY[*]} », attendu « $expected »"
        failures=$((failures + 1))
    fi
}

expect "--date --dossier --deprogrammer" "$cli" --d
expect "--help" "$cli" --journal metro --he
expect "--sans-notification --silencieux" "$cli" --manquantes --s
expect "20minutes metro tous" "$cli" --journal ""
expect "tous" "$cli" --manquantes --journal T
expect "Paris" "$cli" --ville pa
expect "Toulouse toutes" "$cli" --ville t
expect "Paris,Lille Paris,Lyon" "$cli" --ville Paris,L
expect "Lyon" "$cli" --ville = ly
expect "$scratch/Presse-matin $scratch/Presse-soir" "$cli" --dossier "$scratch/Pre"
expect "$today" "$cli" --date ""
expect "" "$cli" --garder ""
# The whole list: every option that the help prints, and nothing else.
expect "$("$cli" --help | sed -n 's/^  \(-[a-zA-Z], \)\{0,1\}\(--[a-z-]*\).*/\2/p' | tr '\n' ' ' | sed 's/ $//')" "$cli" --
complete -p lectoria-cli >/dev/null || { echo "ÉCHEC : aucune complétion enregistrée"; failures=$((failures + 1)); }

[ $failures -eq 0 ] && echo "Complétion de lectoria-cli : 13 lignes essayées, sans faute"
exit $((failures > 0))
