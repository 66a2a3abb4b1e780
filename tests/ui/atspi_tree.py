"""Lists lectoria's windows through AT-SPI, as a screen reader sees them, and checks them.

Run by atspi_check.sh beside a running lectoria: prints the main window's tree, opens the About
window with the « A propos » button's action, prints its tree, closes it with OK. Exit code 0 when
the expected controls are there, every control that takes the focus has a role and a French name,
the calendar's days are named in full with today's chosen, and closing the About window gives the
focus back to « A propos ».
"""

import datetime
import sys
import time

import pyatspi

BOUND_S = 30


def wait_for(what, find):
    deadline = time.monotonic() + BOUND_S
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.1)
    sys.exit(f"ÉCHEC : {what} n'apparaît pas en {BOUND_S} s")


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # a window closing under our feet
        return []


def frame(title):
    desktop = children(pyatspi.Registry.getDesktop(0))
    apps = [app for app in desktop if app is not None and (app.name or "").lower() == "lectoria"]
    for window in children(apps[0]) if apps else []:
        if window is not None and window.name == title and window.childCount > 0:
            return window
    return None


def walk(node, depth=0, out=None):
    """Prints the tree; returns (role, name, focusable, node) for each node."""
    out = [] if out is None else out
    state = node.getState()
    focusable = state.contains(pyatspi.STATE_FOCUSABLE) and state.contains(pyatspi.STATE_SHOWING)
    role, name = node.getRoleName(), node.name or ""
    out.append((role, name, focusable, node))
    description = f" — {node.description}" if node.description else ""
    print(f"{'  ' * depth}{role} « {name} »{description}{' [focus]' if focusable else ''}")
    kids = children(node)
    if role == "list" and len(kids) > 10:  # the calendar's days: the chosen one, not 42 lines
        chosen = [kid.name for kid in kids if kid is not None and kid.getState().contains(pyatspi.STATE_SELECTED)]
        print(f"{'  ' * (depth + 1)}({len(kids)} jours, choisi : {', '.join(chosen)})")
        return out
    for kid in kids:
        if kid is not None:
            walk(kid, depth + 1, out)
    return out


def check(title, nodes, expected):
    seen = {(role, name) for role, name, _, _ in nodes}
    failures = [f"{title} : pas de {role} « {name} »" for role, name in expected if (role, name) not in seen]
    for role, name, focusable, _ in nodes:
        if focusable and (not name.strip() or role in ("unknown", "invalid", "filler")):
            failures.append(f"{title} : un contrôle qui prend le focus n'a pas de rôle ou de nom ({role} « {name} »)")
    return failures


WEEKDAYS = ["lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi", "dimanche"]
MONTHS = ["janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre", "octobre",
          "novembre", "décembre"]


def in_full(day):
    return f"{WEEKDAYS[day.weekday()]} {day.day} {MONTHS[day.month - 1]} {day.year}"


def check_calendar(nodes):
    lists = named(nodes, "list", "Sélectionner le jour")
    if not lists:
        return []
    days = children(lists[0])
    chosen = [day.name for day in days if day is not None and day.getState().contains(pyatspi.STATE_SELECTED)]
    # Read before and after, so that a check that runs across midnight still finds its day.
    today = {in_full(datetime.date.today()), in_full(datetime.date.today() - datetime.timedelta(days=1))}
    failures = []
    if len(days) != 42 or any(day is None or day.getRoleName() != "list item" for day in days):
        failures.append(f"calendrier : {len(days)} jours au lieu des 42 éléments de liste de la page")
    if len(chosen) != 1 or chosen[0] not in today:
        failures.append(f"calendrier : jour choisi {chosen}, attendu aujourd'hui en toutes lettres ({today})")
    return failures


def focused(node):
    return node.getState().contains(pyatspi.STATE_FOCUSED)


def named(nodes, role, name):
    return [node for r, n, _, node in nodes if r == role and n == name]


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() in ("press", "click", "activate"):
            return action.doAction(i)
    sys.exit(f"ÉCHEC : « {node.name} » n'a pas d'action pour être pressé")


def main():
    print("== Fenêtre principale")
    nodes = walk(wait_for("la fenêtre de Lectoria", lambda: frame("Lectoria v1.1.8")))
    failures = check("fenêtre principale", nodes, [
        ("list", "Choisir la ville"), ("radio button", "20 minutes"), ("radio button", "Metro"),
        ("image", "Logo de 20 minutes"), ("image", "Logo de Metro"), ("list", "Sélectionner le jour"),
        ("push button", "Télécharger"), ("push button", "Dossier"), ("text", "Dossier d'enregistrement"),
        ("push button", "A propos"),
    ])
    labels = named(nodes, "label", "Choisir la ville :")
    targets = []
    for relation in labels[0].getRelationSet() if labels else []:
        if relation.getRelationType() == pyatspi.RELATION_LABEL_FOR:
            targets += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    if "Choisir la ville" not in targets:
        failures.append("fenêtre principale : « Choisir la ville : » n'est pas l'étiquette de la liste des villes")
    failures += check_calendar(nodes)

    for about_button in named(nodes, "push button", "A propos")[:1]:
        press(about_button)
        print("== À propos")
        about = walk(wait_for("la fenêtre « À propos de Lectoria »", lambda: frame("À propos de Lectoria")))
        failures += check("À propos", about, [
            ("push button", "OK"), ("link", "Mon site web"), ("link", "M'envoyer un e-mail"),
            ("push button", "Vérifier nouvelle version"),
        ])
        if len([node for role, _, focusable, node in about if role == "link" and focusable]) != 2:
            failures.append("À propos : les deux liens ne prennent pas le focus")
        for ok in named(about, "push button", "OK")[:1]:
            press(ok)
            wait_for("la fermeture de « À propos »", lambda: True if frame("À propos de Lectoria") is None else None)
            deadline = time.monotonic() + BOUND_S
            while not focused(about_button) and time.monotonic() < deadline:
                time.sleep(0.1)
            if not focused(about_button):
                failures.append("À propos fermée : le focus n'est pas revenu sur « A propos »")

    for failure in failures:
        print("ÉCHEC :", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
