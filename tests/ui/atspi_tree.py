"""Lists lectoria's windows through AT-SPI, as a screen reader sees them, and checks them.

Run by atspi_check.sh inside a private session bus with the accessibility bus started and
lectoria running. Prints the main window's tree, opens the About window with the « A propos »
button's action, prints its tree, closes it with OK. Exit code 0 when every control that takes
the keyboard focus has a role and a French name and the expected controls are there.
"""

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


def application():
    for app in children(pyatspi.Registry.getDesktop(0)):
        if app is not None and (app.name or "").lower() == "lectoria":
            return app
    return None


def frame(title):
    app = application()
    for window in children(app) if app else []:
        if window is not None and window.name == title and window.childCount > 0:
            return window
    return None


def walk(node, depth=0, out=None):
    """Prints the tree; returns (role, name, description, focusable, node) for each node."""
    out = [] if out is None else out
    state = node.getState()
    focusable = state.contains(pyatspi.STATE_FOCUSABLE) and state.contains(pyatspi.STATE_SHOWING)
    role = node.getRoleName()
    out.append((role, node.name or "", node.description or "", focusable, node))
    marks = " [focus]" if focusable else ""
    description = f" — {node.description}" if node.description else ""
    print(f"{'  ' * depth}{role} « {node.name or ''} »{description}{marks}")
    kids = children(node)
    if role == "table" and len(kids) > 8:  # the calendar's day cells: their count, not 60 lines
        print(f"{'  ' * (depth + 1)}({len(kids)} cellules)")
        return out
    for kid in kids:
        if kid is not None:
            walk(kid, depth + 1, out)
    return out


def check(nodes, expected, title):
    failures = []
    seen = {(role, name) for role, name, _, _, _ in nodes}
    for role_name in expected:
        if role_name not in seen:
            failures.append(f"{title} : pas de {role_name[0]} « {role_name[1]} »")
    for role, name, _, focusable, _ in nodes:
        if focusable and (not name.strip() or role in ("unknown", "invalid", "filler")):
            failures.append(f"{title} : un contrôle qui prend le focus n'a pas de rôle ou de nom ({role} « {name} »)")
    return failures


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() in ("press", "click", "activate"):
            action.doAction(i)
            return
    sys.exit(f"ÉCHEC : « {node.name} » n'a pas d'action pour être pressé")


def label_for(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABEL_FOR:
            return [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return []


def main():
    main_window = wait_for("la fenêtre de Lectoria", lambda: frame("Lectoria v1.1.8"))
    print("== Fenêtre principale")
    nodes = walk(main_window)
    failures = check(
        nodes,
        [
            ("list", "Choisir la ville"),
            ("radio button", "20 minutes"),
            ("radio button", "Metro"),
            ("image", "Logo de 20 minutes"),
            ("image", "Logo de Metro"),
            ("table", "Sélectionner le jour"),
            ("push button", "Télécharger"),
            ("push button", "Dossier"),
            ("text", "Dossier d'enregistrement"),
            ("push button", "A propos"),
        ],
        "fenêtre principale",
    )
    labels = [node for role, name, _, _, node in nodes if role == "label" and name == "Choisir la ville :"]
    if not labels or "Choisir la ville" not in label_for(labels[0]):
        failures.append("fenêtre principale : « Choisir la ville : » n'est pas l'étiquette de la liste des villes")

    about_button = [node for role, name, _, _, node in nodes if name == "A propos"]
    if about_button:
        press(about_button[0])
        about = wait_for("la fenêtre « À propos de Lectoria »", lambda: frame("À propos de Lectoria"))
        print("== À propos")
        about_nodes = walk(about)
        failures += check(
            about_nodes,
            [
                ("push button", "OK"),
                ("link", "Mon site web"),
                ("link", "M'envoyer un e-mail"),
                ("push button", "Vérifier nouvelle version"),
            ],
            "À propos",
        )
        links = [node for role, _, _, focusable, node in about_nodes if role == "link" and focusable]
        if len(links) != 2:
            failures.append("À propos : les deux liens ne prennent pas le focus")
        ok = [node for role, name, _, _, node in about_nodes if role == "push button" and name == "OK"]
        if ok:
            press(ok[0])
            wait_for("la fermeture de « À propos »", lambda: True if frame("À propos de Lectoria") is None else None)

    for failure in failures:
        print("ÉCHEC :", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
