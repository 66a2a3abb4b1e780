#!/usr/bin/python3
"""Failed system calls on the download folder, the settings folder and the folder lock.

Runs the real lectoria-cli (one edition; a catch-up with --garder) and the window's start-up
under strace, which fails one call touching those paths at a time (strace -P, -e inject=…),
then checks the outcome: the files already there are byte-identical (or replaced by a complete
edition), no name of an edition holds a truncated or non-PDF file, the settings keep every value,
the message is French and the exit code is a documented one, and a clean run afterwards succeeds
and leaves nothing behind.

  tests/app/fault_injection.py --cli build/src/app/lectoria-cli --fenetre build/src/app/lectoria
        [--tout] [--taches 2] [--bilan FICHIER]

Without --tout, a bounded pass: each call at its first and last occurrence, with each error.
Exit 0 when every check held, 1 otherwise, 77 when strace is missing or may not trace.
"""

import argparse
import concurrent.futures
import datetime
import http.server
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

# Which errors fit each call. strace fails the call before the kernel sees it.
ERRORS = {
    "open": ["EACCES", "EIO", "ENOSPC", "EROFS", "EINTR"],
    "openat": ["EACCES", "EIO", "ENOSPC", "EROFS", "EINTR"],
    "write": ["EIO", "ENOSPC", "EINTR"],
    "fsync": ["EIO", "ENOSPC", "EROFS", "EINTR"],
    "fdatasync": ["EIO", "ENOSPC", "EINTR"],
    "rename": ["EACCES", "EIO", "ENOSPC", "EROFS"],
    "renameat": ["EACCES", "EIO", "ENOSPC", "EROFS"],
    "renameat2": ["EACCES", "EIO", "ENOSPC", "EROFS"],
    "link": ["EACCES", "EIO", "ENOSPC", "EROFS"],
    "linkat": ["EACCES", "EIO", "ENOSPC", "EROFS"],
    "unlink": ["EACCES", "EIO", "EROFS"],
    "unlinkat": ["EACCES", "EIO", "EROFS"],
    "close": ["EIO", "EINTR", "ENOSPC"],
    "flock": ["EINTR", "EIO", "ENOLCK"],
    "statfs": ["EACCES", "EIO", "EINTR"],
    "fstatfs": ["EIO", "EINTR"],
    "mkdir": ["EACCES", "EIO", "ENOSPC", "EROFS"],
}
EXIT_CODES = {0, 3, 5}  # ok, refused by a check, download failure
RUN_TIMEOUT = 60
PAPER, CITY = "Metro", "Paris"
NEW_PDF = b"%PDF-1.4\n% edition servie\n" + b"0123456789abcdef" * 16384 + b"\n%%EOF\n"
NON_FRENCH = re.compile(r"^(Q[A-Z]\w+|qt\.|QT_|Warning|warning|Error|error|terminate|Fatal|Segmentation)", re.M)


def old_pdf(tag):
    return b"%PDF-1.3\n% " + tag.encode() + b"\n" + b"ancienne " * 100 + b"\n%%EOF\n"


def complete_pdf(data):
    return data.startswith(b"%PDF-") and data.rstrip(b"\r\n \t").endswith(b"%%EOF")


class Archive(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        if not self.path.endswith(".pdf"):
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/pdf")
        self.send_header("Content-Length", str(len(NEW_PDF)))
        self.end_headers()
        self.wfile.write(NEW_PDF)

    def log_message(self, *args):
        pass


def last_weekday(day):
    while day.weekday() >= 5:
        day -= datetime.timedelta(days=1)
    return day


def edition_name(day):
    return f"{day:%Y%m%d}_{PAPER}_{CITY}.pdf"


class Scenario:
    """One way of running the program, in a fresh folder per run."""

    def __init__(self, name, binaries, port):
        self.name, self.binaries, self.port = name, binaries, port
        self.today = datetime.date.today()
        self.day = last_weekday(self.today)

    def prepare(self, root):
        folder = os.path.join(root, "Presse")
        config = os.path.join(root, "config")
        settings = os.path.join(config, "Orvane")
        runtime = os.path.join(root, "run")
        for d in (folder, settings, runtime, os.path.join(root, "xdg-system")):
            os.makedirs(d)
        os.chmod(runtime, 0o700)
        before = {}
        if self.name == "edition":
            before[edition_name(self.day)] = old_pdf("meme edition")
            before[edition_name(self.day - datetime.timedelta(days=7))] = old_pdf("semaine passee")
        elif self.name == "rattrapage":
            for back in range(0, 11):
                day = self.today + datetime.timedelta(days=1 - back)
                if day.weekday() < 5 and day != self.day:
                    before[edition_name(day)] = old_pdf(str(day))
            damaged = last_weekday(self.day - datetime.timedelta(days=1))
            before[edition_name(damaged)] = b"%PDF-1.4\nabime"
            before[edition_name(self.today - datetime.timedelta(days=20))] = old_pdf("trop ancienne")
        before["notes.txt"] = b"a garder\n"
        for name, data in before.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        conf = os.path.join(settings, "Lectoria.conf")
        conf_text = (f"[General]\nVille=3\nChemin={folder}\n\n[Adresses]\n"
                     "ArchiveMetro=http://127.0.0.1:9/fr/divers/pdf/\nArchive20minutes=http://127.0.0.1:9/\n")
        with open(conf, "w", encoding="utf-8") as f:
            f.write(conf_text)
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": root,
            "LC_ALL": "C.UTF-8",
            "XDG_CONFIG_HOME": config,
            "XDG_CONFIG_DIRS": os.path.join(root, "xdg-system"),
            "XDG_RUNTIME_DIR": runtime,
            "QT_QPA_PLATFORM": "offscreen",
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(root, "pas-de-bus"),
            "LECTORIA_CONNEXION": "presente",
            "LECTORIA_AUTHOR_HOST": "",
            "LECTORIA_DELAI_REPONSE": "10",
            "LECTORIA_PAUSE_REPRISE": "0",
            "LECTORIA_METRO_URL": f"http://127.0.0.1:{self.port}/fr/divers/pdf/",
            "LECTORIA_20MINUTES_URL": f"http://127.0.0.1:{self.port}/",
            # A sanitised build: LeakSanitizer cannot work under strace's ptrace.
            "ASAN_OPTIONS": "detect_leaks=0",
        }
        if "TZ" in os.environ:  # the same day here and in the program
            env["TZ"] = os.environ["TZ"]
        if self.name == "edition":
            command = [self.binaries["cli"], "--journal", "metro", "--ville", CITY,
                       "--date", self.day.isoformat(), "--dossier", folder]
        elif self.name == "rattrapage":
            command = [self.binaries["cli"], "--manquantes", "--journal", "metro", "--ville", CITY,
                       "--garder", "10", "--sans-notification", "--dossier", folder]
        else:
            env["LECTORIA_MESURE_DEMARRAGE"] = "1"
            command = [self.binaries["fenetre"]]
        # The CLI's calls are followed by name (strace -P: each edition's name, its partial file,
        # the lock, the folders, the settings file), so that their count does not depend on the
        # network threads' timing. The window's settings copies get a random name each time,
        # which -P cannot follow: there the folders are matched in strace's log instead.
        paths = None
        if self.name != "fenetre":
            paths = [folder, os.path.join(folder, ".lectoria.lock"), settings, conf, conf + ".lock"]
            for back in range(-2, 30):
                name = os.path.join(folder, edition_name(self.today - datetime.timedelta(days=back)))
                paths += [name, name + ".part"]
        return {"paths": paths, "folder": folder, "settings": settings, "conf": conf, "conf_text": conf_text,
                "before": before, "env": env, "command": command}


def strace_command(run, log, syscalls, inject=None):
    # -y names the file behind each descriptor, so that a call is known to touch a target folder.
    command = ["strace", "-f", "-qq", "-y", "-o", log, "-e", "signal=none", "-e", "trace=" + ",".join(syscalls)]
    for path in run["paths"] or []:
        command += ["-P", path]
    if inject:
        syscall, error, when = inject
        command += ["-e", f"inject={syscall}:error={error}:when={when}"]
    return command + run["command"]


def execute(command, env):
    """Runs to the end or to the time limit; (exit code or None when it hung, stderr)."""
    process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, start_new_session=True)
    try:
        _, err = process.communicate(timeout=RUN_TIMEOUT)
        return process.returncode, err.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, 9)
        process.communicate()
        return None, ""


def read_settings(path):
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except (OSError, UnicodeDecodeError):
        return None
    values, section = {}, "General"
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1]
        elif "=" in line:
            key, value = line.split("=", 1)
            values[section + "/" + key.strip()] = value.strip()
    return values


def check(scenario, run, code, stderr, clean):
    """The faults found after one run, as French sentences (empty when all is well)."""
    faults, lost = [], 0
    folder = run["folder"]
    target = edition_name(scenario.day)
    if code is None:
        return ["bloqué (arrêté au bout de %d s)" % RUN_TIMEOUT], 0, 1
    if code not in (EXIT_CODES if scenario.name != "fenetre" else {0}):
        faults.append(f"code de sortie {code}")
    if scenario.name != "fenetre" and code != 0 and not stderr.strip():
        faults.append("échec sans message")
    if NON_FRENCH.search(stderr):
        faults.append("message non français : " + NON_FRENCH.search(stderr).group(0))
    present = set(os.listdir(folder))
    for name, data in run["before"].items():
        path = os.path.join(folder, name)
        if name not in present:
            if not (scenario.name == "rattrapage" and name.startswith(
                    (scenario.today - datetime.timedelta(days=20)).strftime("%Y%m%d"))):
                faults.append(f"{name} perdu")
                lost += 1
            continue
        with open(path, "rb") as f:
            now = f.read()
        # An edition may be replaced whole by the complete one served (an existing file that
        # cannot be read is downloaded again); nothing else may change.
        if now != data and not (now == NEW_PDF and name.endswith(".pdf")):
            faults.append(f"{name} modifié ({len(data)} → {len(now)} octets)")
            lost += 1
    for name in present:
        if name.endswith(".pdf"):
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            if not complete_pdf(data) and run["before"].get(name) != data:
                faults.append(f"{name} incomplet sous son nom final ({len(data)} octets)")
    if scenario.name in ("edition",) and code == 0:
        with open(os.path.join(folder, target), "rb") as f:
            if f.read() != NEW_PDF:
                faults.append("réussite annoncée sans la nouvelle édition")
    values = read_settings(run["conf"])
    expected = read_settings_text(run["conf_text"])
    if values is None or any(values.get(k) != v for k, v in expected.items()):
        faults.append("réglages perdus ou incomplets")
        lost += 1
    if clean is not None:
        clean_code, clean_err = clean
        if clean_code != 0:
            faults.append(f"passage suivant : code {clean_code} {clean_err.strip()[:200]}")
        if scenario.name == "edition":
            with open(os.path.join(folder, target), "rb") as f:
                if f.read() != NEW_PDF:
                    faults.append("passage suivant sans la nouvelle édition")
        left = [n for n in os.listdir(folder) if n.endswith(".part") or n == ".lectoria.lock"]
        left += [n for n in os.listdir(run["settings"]) if n != "Lectoria.conf"]
        if left:
            faults.append("restes après le passage suivant : " + ", ".join(sorted(left)))
    return faults, lost, 0


def read_settings_text(text):
    with tempfile.NamedTemporaryFile("w", delete=False, encoding="utf-8") as f:
        f.write(text)
    try:
        return read_settings(f.name)
    finally:
        os.unlink(f.name)


def on_target(run, line):
    """Whether a line of strace's log is a call on the download folder or the settings folder
    (a path argument, or a descriptor that -y names)."""
    return run["folder"] in line or run["settings"] in line


def count_calls(scenario, work):
    """For each system call, the occurrences (counted in each thread, as strace's when= counts
    them) that touch a target folder in a run without fault."""
    root = tempfile.mkdtemp(dir=work)
    run = scenario.prepare(root)
    log = os.path.join(root, "strace.log")
    code, err = execute(strace_command(run, log, sorted(ERRORS)), run["env"])
    faults, _, _ = check(scenario, run, code, err, None)
    if code != 0 or faults:
        raise SystemExit(f"ÉCHEC : {scenario.name} sans panne : code {code}, {faults} {err.strip()}")
    seen, result = {}, {}
    with open(log, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.match(r"^(\d+)\s+(\w+)\(", line)
            if not m:
                continue
            key = (m.group(1), m.group(2))
            seen[key] = seen.get(key, 0) + 1
            if on_target(run, line):
                result.setdefault(m.group(2), set()).add(seen[key])
    shutil.rmtree(root)
    return {syscall: sorted(ordinals) for syscall, ordinals in result.items()}


def one_injection(scenario, work, syscall, error, when):
    root = tempfile.mkdtemp(dir=work)
    run = scenario.prepare(root)
    log = os.path.join(root, "strace.log")
    code, err = execute(strace_command(run, log, [syscall], (syscall, error, when)), run["env"])
    with open(log, encoding="utf-8", errors="replace") as f:
        injected = any("(INJECTED)" in line and on_target(run, line) for line in f)
    clean = execute(run["command"], run["env"]) if code is not None else None
    faults, lost, hung = check(scenario, run, code, err, clean)
    result = {"scenario": scenario.name, "appel": syscall, "erreur": error, "occurrence": when,
              "injecte": injected, "code": code, "fautes": faults, "perdus": lost, "bloque": hung,
              "message": err.strip().splitlines()[-1] if err.strip() else ""}
    if not faults:
        shutil.rmtree(root, ignore_errors=True)
    else:
        result["dossier"] = root
    return result


def table(results):
    """The figures per scenario and call, as a Markdown table."""
    rows = {}
    for r in results:
        row = rows.setdefault((r["scenario"], r["appel"]), {"erreurs": set(), "essais": 0, "atteintes": 0,
                                                             "codes": {}, "fautes": 0, "perdus": 0, "bloques": 0})
        row["erreurs"].add(r["erreur"])
        row["essais"] += 1
        row["atteintes"] += r["injecte"]
        key = "bloqué" if r["code"] is None else str(r["code"])
        row["codes"][key] = row["codes"].get(key, 0) + 1
        row["fautes"] += bool(r["fautes"])
        row["perdus"] += r["perdus"]
        row["bloques"] += r["bloque"]
    lines = ["| Passage | Appel | Erreurs | Essais | Pannes atteintes | Codes de sortie | En faute | Fichiers perdus | Blocages |",
             "|---|---|---|---|---|---|---|---|---|"]
    for (scenario, syscall), row in sorted(rows.items()):
        codes = ", ".join(f"{c} : {n}" for c, n in sorted(row["codes"].items()))
        lines.append(f"| {scenario} | `{syscall}` | {' '.join(sorted(row['erreurs']))} | {row['essais']} | "
                     f"{row['atteintes']} | {codes} | {row['fautes']} | {row['perdus']} | {row['bloques']} |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--fenetre")
    parser.add_argument("--tout", action="store_true", help="chaque occurrence, chaque erreur")
    parser.add_argument("--taches", type=int, default=2)
    parser.add_argument("--bilan", help="fichier JSON des résultats")
    parser.add_argument("--scenarios", default="edition,rattrapage,fenetre")
    args = parser.parse_args()

    if shutil.which("strace") is None:
        print("strace absent : essai ignoré (paquet Debian strace)")
        return 77
    probe = subprocess.run(["strace", "-f", "-qq", "-o", os.devnull, "true"], capture_output=True)
    if probe.returncode != 0:
        print("strace ne peut pas suivre un processus ici (ptrace refusé) : essai ignoré")
        return 77

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Archive)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    binaries = {"cli": os.path.abspath(args.cli), "fenetre": args.fenetre and os.path.abspath(args.fenetre)}
    names = [n for n in args.scenarios.split(",") if n != "fenetre" or args.fenetre]
    work = os.path.realpath(tempfile.mkdtemp(prefix="lectoria-pannes-"))
    started = time.monotonic()
    jobs = []
    for name in names:
        scenario = Scenario(name, binaries, server.server_address[1])
        counts = count_calls(scenario, work)
        print(f"{name} : appels sur les dossiers sans panne "
              f"{json.dumps({c: len(o) for c, o in counts.items()}, sort_keys=True)}", flush=True)
        for syscall, ordinals in sorted(counts.items()):
            errors = ERRORS[syscall]
            if args.tout:
                jobs += [(scenario, syscall, e, w) for w in ordinals for e in errors]
            else:
                picks = sorted({ordinals[0], ordinals[-1]})
                jobs += [(scenario, syscall, e, w) for w in picks for e in errors]
    results = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.taches)) as pool:
        futures = [pool.submit(one_injection, s, work, c, e, w) for s, c, e, w in jobs]
        for future in concurrent.futures.as_completed(futures):
            r = future.result()
            results.append(r)
            if r["fautes"]:
                print(f"FAUTE {r['scenario']} {r['appel']}:{r['erreur']}:{r['occurrence']} code {r['code']} : "
                      + " ; ".join(r["fautes"]) + f" ({r['dossier']})", flush=True)
    seconds = time.monotonic() - started
    failed = [r for r in results if r["fautes"]]
    reached = sum(r["injecte"] for r in results)
    print(f"{len(results)} essais ({reached} pannes atteintes), {len(failed)} en faute, "
          f"{sum(r['perdus'] for r in results)} fichiers perdus, {sum(r['bloque'] for r in results)} blocages, "
          f"{seconds:.0f} s")
    if args.tout:
        print(table(results))
    if args.bilan:
        with open(args.bilan, "w", encoding="utf-8") as f:
            json.dump({"secondes": round(seconds), "essais": sorted(results, key=lambda r: (
                r["scenario"], r["appel"], r["erreur"], r["occurrence"]))}, f, ensure_ascii=False, indent=1)
    server.shutdown()
    if not failed:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
