#!/usr/bin/env bash
# The options of lectoria-cli --help, of the manual page's OPTIONS section and of the README's
# "Ligne de commande" list are the same: an option added to the program is documented in both.
# Usage: options_documented.sh <lectoria-cli> <man/lectoria-cli.1.scd> <README.md>
set -euo pipefail
cli="$1" manual="$2" readme="$3"

# Option lines of the help start with two blanks and a dash ("  -h, --help", "  --ville <NOM>").
help_options="$("$cli" --help | sed -n 's/^  \(-[a-zA-Z], \)\{0,1\}\(--[a-z-]*\).*/\2/p' | sort -u)"
# Each option of the manual is a line of its own: "*--ville* _NOM_", "*-h*, *--help*".
manual_options="$(sed -n '/^# OPTIONS/,/^# [^O]/p' "$manual" | grep '^\*-' | grep -o -- '--[a-z-]*' | sort -u)"
# README: "- `--ville NOM` : ...", "- `--programmer HH:MM`, `--deprogrammer` : ...".
readme_options="$(sed -n '/^## Ligne de commande/,/^## [^L]/p' "$readme" | grep '^- `--' | sed 's/ : .*//' |
    grep -o -- '--[a-z-]*' | sort -u)"

status=0
compare() {
    local name="$1" listed="$2"
    if [ "$listed" != "$help_options" ]; then
        echo "Les options de $name ne sont pas celles de lectoria-cli --help :"
        diff <(echo "$help_options") <(echo "$listed") | sed -n 's/^< /  absente : /p; s/^> /  en trop : /p' || true
        status=1
    fi
}
[ "$(echo "$help_options" | wc -l)" -ge 10 ] || { echo "Aide illisible : $help_options"; exit 1; }
compare "la page de manuel ($manual)" "$manual_options"
compare "README.md" "$readme_options"
[ $status -eq 0 ] && echo "$(echo "$help_options" | wc -l) options, les mêmes dans l'aide, le manuel et README.md"
exit $status
