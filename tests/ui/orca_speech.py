"""Uses lectoria by the keyboard alone while Orca runs, and checks what Orca says after each key.

Run by orca_check.sh, which has started the buses, the window manager and Orca with a debug file.
Arguments: Orca's debug file, lectoria, libfaketime, lectoria's log. The window's day is Tuesday
1 December 2026. Prints what Orca said at each step; exit code 0 when every step was announced
as expected.
"""

import os
import re
import subprocess
import sys
import time

BOUND_S = 20
START_BOUND_S = 60  # Orca's own start, slow on a loaded machine
# One utterance: SPEECH OUTPUT: 'text'{'established': False} (the text may span several lines).
UTTERANCE = re.compile(r"SPEECH OUTPUT: '(.*?)'\s*\{'established", re.S)

journal, lectoria, faketime, log = sys.argv[1:5]

# (what the user does, the keys, what Orca must say after them, in this order)
STEPS = [
    ("entrer dans le calendrier", ["Tab"], ["Sélectionner le jour", "mardi 1 décembre 2026"]),
    ("la veille, en novembre", ["Left"], ["lundi 30 novembre 2026"]),
    ("Tab", ["Tab"], ["Télécharger"]),
    ("Tab", ["Tab"], ["20 minutes"]),
    ("Tab", ["Tab"], ["Dossier"]),
    ("la case du dossier, vide", ["Tab"], ["Dossier d'enregistrement"]),
    ("Tab", ["Tab"], ["A propos"]),
    ("ouvrir « À propos »", ["Return"], ["À propos de Lectoria", "OK"]),
    ("Tab", ["Tab"], ["Mon site web"]),
    ("Tab", ["Tab"], ["M'envoyer un e-mail"]),
    ("Tab", ["Tab"], ["Vérifier nouvelle version"]),
    ("vérifier, sans serveur", ["Return"], ["Echec lors de la connexion", "Non"]),
    ("répondre « Non »", ["Return"], ["À propos de Lectoria", "Vérifier nouvelle version"]),
    ("fermer « À propos » avec Échap", ["Escape"], ["Lectoria v1.1.8", "A propos"]),
]


def utterances(offset):
    """What Orca said since `offset` in its debug file, one text per utterance."""
    if not os.path.exists(journal):
        return []
    with open(journal, encoding="utf-8", errors="replace") as f:
        f.seek(offset)
        text = f.read()
    return [text.strip() for text in UTTERANCE.findall(text)]


def said_in_order(said, expected):
    position = 0
    for phrase in expected:
        while position < len(said) and phrase not in said[position]:
            position += 1
        if position == len(said):
            return False
        position += 1
    return True


def wait_until_said(offset, expected, bound=BOUND_S):
    deadline = time.monotonic() + bound
    while time.monotonic() < deadline:
        said = utterances(offset)
        if said_in_order(said, expected):
            return said
        time.sleep(0.1)
    return None


def end_of_journal():
    return os.path.getsize(journal) if os.path.exists(journal) else 0


def main():
    if wait_until_said(0, [""], START_BOUND_S) is None:
        print("ÉCHEC : Orca ne dit rien (en %d s)" % START_BOUND_S, file=sys.stderr)
        return 1
    environment = dict(os.environ, LD_PRELOAD=faketime, FAKETIME="@2026-12-01 10:00:00",
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LECTORIA_METRO_URL="", LECTORIA_20MINUTES_URL="",
                       LECTORIA_AUTHOR_HOST="127.0.0.1:9",
                       # A sanitised build accepts libfaketime loaded before its runtime.
                       ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "detect_leaks=0") + ":verify_asan_link_order=0")
    offset = end_of_journal()
    with open(log, "w") as output:
        window = subprocess.Popen([lectoria], env=environment, stdout=output, stderr=subprocess.STDOUT)
    failures = 0
    try:
        said = wait_until_said(offset, ["Lectoria v1.1.8", "Choisir la ville"])
        print("démarrage :", " | ".join(said or []))
        if said is None:
            print("ÉCHEC : la fenêtre n'est pas annoncée", file=sys.stderr)
            return 1
        for what, keys, expected in STEPS:
            offset = end_of_journal()
            subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True)
            said = wait_until_said(offset, expected)
            if said is None:  # on to the next step: the report says everything that went wrong
                failures += 1
                said = utterances(offset)
                print(f"ÉCHEC : attendu {expected}")
            print(f"{what} ({' '.join(keys)}) :", " | ".join(said))
    finally:
        window.terminate()
        window.wait(10)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
