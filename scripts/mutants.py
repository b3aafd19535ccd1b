#!/usr/bin/env python3
"""Mutation testing: how many small, deliberate faults in the sources do the tests catch?

A fixed, seeded sample of mutations (a flipped comparison, a shifted bound, a dropped statement,
&& swapped with ||, a changed constant) is spread evenly over the folders tile, storage, catalog,
core and tools. Each mutant is applied on its own to a private copy of the source tree, built
incrementally and run against every test program of its folder (vt_<folder>_tests and its other
vt_<folder>_*_tests) with --gtest_fail_fast: a failing, crashing or hanging program kills the
mutant. Mutants that do not build, or that leave the object file unchanged (code the build never
compiles), are not counted and give way to the next candidate so the sample keeps its size. The same seed over the same
sources always yields the same sample; a results file lets a later run compare.

Only .cpp files are mutated: a changed header would rebuild most of the tree for every mutant.

    scripts/mutants.py [--seed N] [--count N] [--folder tile ...] [--list]
                       [--results FILE] [--compare OLD.json]
"""
import argparse
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["tile", "storage", "catalog", "core", "tools"]
KINDS = ["andor", "bound", "constant", "drop", "flip"]
# Platform macros of the machine the sample is built on; code under other platforms' conditions is
# never compiled, so it is not sampled.
DEFINED = {"__linux__", "__unix__", "__x86_64__", "__GNUC__", "Q_OS_LINUX", "Q_OS_UNIX", "__cplusplus"}
UNDEFINED = {"_WIN32", "_WIN64", "_MSC_VER", "__APPLE__", "Q_OS_WIN", "Q_OS_MAC", "Q_OS_MACOS",
             "__aarch64__", "__i386__", "__arm__", "Q_OS_ANDROID", "__MINGW32__"}
# Lines whose conditions only guard development builds (asserts are compiled out in Release).
SKIP_LINE = re.compile(r"\b(assert|Q_ASSERT|Q_ASSERT_X|static_assert|Q_UNUSED|Q_DECLARE_\w+|Q_OBJECT|"
                       r"Q_PROPERTY|Q_LOGGING_CATEGORY)\b")
NOT_STATEMENT_START = {"return", "break", "continue", "goto", "case", "default", "using", "typedef",
                       "static_assert", "throw", "delete", "if", "else", "for", "while", "do", "switch",
                       "try", "catch", "namespace", "template", "class", "struct", "enum", "union",
                       "public", "private", "protected", "friend", "extern", "co_return", "emit", "Q_EMIT"}
DECL_QUALIFIERS = {"const", "static", "constexpr", "inline", "volatile", "mutable", "thread_local",
                   "unsigned", "signed", "long", "short", "struct", "class", "typename", "auto", "register"}


class Interrupted(Exception):
    pass


def on_sigterm(signum, frame):
    raise Interrupted()


# ---------------------------------------------------------------- source scanning

def mask_source(text):
    """The text with comments, string and character literals and preprocessor lines blanked (same
    length, newlines kept), so that searches see only code. Also returns the set of line numbers
    (0-based) inside inactive preprocessor branches."""
    out = list(text)
    n = len(text)
    i = 0

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    at_line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            at_line_start = True
            i += 1
            continue
        if at_line_start and c in " \t":
            i += 1
            continue
        if at_line_start and c == "#":
            j = i
            while j < n:
                e = text.find("\n", j)
                if e < 0:
                    e = n
                if text[e - 1:e] == "\\" and e < n:
                    j = e + 1
                    continue
                j = e
                break
            blank(i, j)
            i = j
            continue
        at_line_start = False
        if text.startswith("//", i):
            e = text.find("\n", i)
            e = n if e < 0 else e
            blank(i, e)
            i = e
        elif text.startswith("/*", i):
            e = text.find("*/", i + 2)
            e = n if e < 0 else e + 2
            blank(i, e)
            i = e
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            p = text.find("(", i + 2)
            delim = text[i + 2:p]
            e = text.find(")" + delim + '"', p)
            e = n if e < 0 else e + len(delim) + 2
            blank(i, e)
            i = e
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i, min(j + 1, n))
            i = j + 1
        else:
            i += 1
    return "".join(out), inactive_lines(text)


def eval_condition(cond):
    cond = re.sub(r"//.*|/\*.*?\*/", "", cond).strip()
    if re.fullmatch(r"0", cond):
        return False

    def rep(m):
        name = m.group(1) or m.group(2)
        if name in DEFINED:
            return " True "
        if name in UNDEFINED:
            return " False "
        raise ValueError(name)

    try:
        expr = re.sub(r"defined\s*\(\s*(\w+)\s*\)|defined\s+(\w+)", rep, cond)
        expr = expr.replace("&&", " and ").replace("||", " or ").replace("!", " not ")
        if not re.fullmatch(r"[\sA-Za-z()]*", expr) or re.search(r"\b(?!True|False|and|or|not)\w+", expr):
            return True
        return bool(eval(expr, {"__builtins__": {}}))  # noqa: S307 (only True/False/and/or/not)
    except Exception:
        return True  # unknown: assume compiled; an unchanged object file catches the rest


def inactive_lines(text):
    """Line numbers inside preprocessor branches this platform does not compile."""
    dead = set()
    stack = []  # per open #if: [this branch active, some branch taken, parent active]
    active = True
    for no, line in enumerate(text.split("\n")):
        s = line.strip()
        m = re.match(r"#\s*(if|ifdef|ifndef|elif|else|endif)\b(.*)", s)
        if m:
            d, rest = m.group(1), m.group(2).strip()
            if d in ("if", "ifdef", "ifndef"):
                if d == "ifdef":
                    c = eval_condition(f"defined({rest})")
                elif d == "ifndef":
                    c = not eval_condition(f"defined({rest})") if rest in DEFINED | UNDEFINED else True
                else:
                    c = eval_condition(rest)
                stack.append([active and c, c, active])
            elif d == "elif" and stack:
                top = stack[-1]
                c = (not top[1]) and eval_condition(rest)
                top[0] = top[2] and c
                top[1] = top[1] or c
            elif d == "else" and stack:
                top = stack[-1]
                top[0] = top[2] and not top[1]
                top[1] = True
            elif d == "endif" and stack:
                stack.pop()
            active = stack[-1][0] if stack else True
            continue
        if not active:
            dead.add(no)
    return dead


def function_body_lines(masked):
    """Per line number: whether the line starts inside a function body (some enclosing brace is not
    a namespace, class, struct, enum or union body)."""
    inside = [False]
    stack = []
    for i, c in enumerate(masked):
        if c == "{":
            before = masked[max(0, i - 300):i]
            before = before[max(before.rfind(";"), before.rfind("}"), before.rfind("{")) + 1:]
            stack.append(not re.search(r"\b(namespace|class|struct|enum|union|extern)\b[^()]*$", before))
        elif c == "}":
            if stack:
                stack.pop()
        elif c == "\n":
            inside.append(any(stack))
    return inside


IDENT = r"[A-Za-z_]\w*"


def is_declaration(stmt):
    """A rough test: does this statement declare a variable (dropping it would not build)?"""
    toks = re.findall(r"[A-Za-z_]\w*|::|->|\+\+|--|[<>]=?|[^\sA-Za-z_]", stmt)
    k = 0
    while k < len(toks) and toks[k] in DECL_QUALIFIERS:
        k += 1
    if k > 0:
        return True  # statements do not start with "const", "unsigned", "auto", ...
    if k >= len(toks) or not re.fullmatch(IDENT, toks[k]):
        return False
    k += 1
    while True:
        if k + 1 < len(toks) and toks[k] == "::" and re.fullmatch(IDENT, toks[k + 1]):
            k += 2
        elif k < len(toks) and toks[k] == "<":
            depth = 0
            while k < len(toks):
                if toks[k] == "<":
                    depth += 1
                elif toks[k] == ">":
                    depth -= 1
                    if depth == 0:
                        k += 1
                        break
                elif toks[k] in (";", "(", "="):
                    return False
                k += 1
        else:
            break
    while k < len(toks) and toks[k] in ("*", "&", "&&", "const"):
        k += 1
    return k < len(toks) and bool(re.fullmatch(IDENT, toks[k]))


def scan_file(rel, text):
    """Every mutation site of one file: dicts with file, line, col, offset, length, kind, old, new."""
    masked, dead = mask_source(text)
    inside = function_body_lines(masked)
    sites = []
    lines = masked.split("\n")
    orig_lines = text.split("\n")
    offset = 0
    prev_code = ";"
    for no, mline in enumerate(lines):
        line_start = offset
        offset += len(mline) + 1
        code = mline.strip()
        if not code:
            continue
        if no in dead or SKIP_LINE.search(orig_lines[no]):
            prev_code = code
            continue

        def add(kind, col, old, new):
            sites.append({"file": rel, "line": no + 1, "col": col + 1, "offset": line_start + col,
                          "length": len(old), "kind": kind, "old": old, "new": new})

        for m in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", mline):
            add("andor", m.start(), m.group(1), "||" if m.group(1) == "&&" else "&&")
        for m in re.finditer(r"(?<![=!<>+\-*/%&|^])(==|!=)(?!=)", mline):
            add("flip", m.start(), m.group(1), "!=" if m.group(1) == "==" else "==")
        # Relational operators only with spaces around them, which keeps template brackets, shifts
        # and -> out.
        for m in re.finditer(r"(?<=\s)(<=|>=|<|>)(?=\s)", mline):
            op = m.group(1)
            add("flip", m.start(), op, {"<": ">=", "<=": ">", ">": "<=", ">=": "<"}[op])
            add("bound", m.start(), op, {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}[op])
        for m in re.finditer(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlL]{0,3})(?![\w.'])", mline):
            lit = m.group(1)
            try:
                value = int(lit, 0) if not (len(lit) > 1 and lit[0] == "0" and lit[1].isdigit()) else int(lit, 8)
            except ValueError:
                continue
            new_value = 1 if value == 0 else 0 if value == 1 else value + 1
            new = hex(new_value) if lit.lower().startswith("0x") else str(new_value)
            add("constant", m.start(), lit, new)
        for m in re.finditer(r"\b(true|false)\b", mline):
            add("constant", m.start(), m.group(1), "false" if m.group(1) == "true" else "true")
        # A whole simple statement on one line, following a complete statement, block edge or label.
        stmt_start = len(mline) - len(mline.lstrip())
        first = re.match(r"[A-Za-z_]\w*|\+\+|--|\*|\(", code)
        if (code.endswith(";") and first and first.group(0) not in NOT_STATEMENT_START
                and code.count("(") == code.count(")") and code.count("[") == code.count("]")
                and code.count("{") == 0 and code.count("}") == 0 and code.count(";") == 1
                and (prev_code.endswith((";", "{", "}")) or re.search(r"(?<!:):$", prev_code)
                     or re.match(r"(else\b|(if|for|while)\s*\(.*\)$)", prev_code))
                and inside[no] and not is_declaration(code)):
            add("drop", stmt_start, code, ";")
        prev_code = code
    return sites


def source_files(root):
    out = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard", "--"] +
                         [f"{d}/*.cpp" for d in FOLDERS], cwd=root, check=True, capture_output=True,
                         text=True).stdout.split()
    # Files that are not part of what the folder's test program runs: other programs' entry points.
    return sorted(f for f in set(out) if os.path.isfile(os.path.join(root, f))
                  and not re.fullmatch(r"tools/[^/]+\.cpp", f))


def build_sample(root, seed, count, folders):
    """Per folder, every candidate in sample order (the first ones are the sample; later ones replace
    mutants that do not build). Deterministic for a given seed and source tree."""
    per_folder = {d: {k: [] for k in KINDS} for d in folders}
    for rel in source_files(root):
        folder = rel.split("/", 1)[0]
        if folder not in per_folder:
            continue
        with open(os.path.join(root, rel), encoding="utf-8", errors="surrogateescape") as f:
            text = f.read()
        for site in scan_file(rel, text):
            per_folder[folder][site["kind"]].append(site)
    quota = {d: count // len(folders) + (1 if i < count % len(folders) else 0) for i, d in enumerate(folders)}
    ordered = {}
    for d in folders:
        rng = random.Random(f"{seed}/{d}")
        queues = []
        for k in KINDS:
            q = list(per_folder[d][k])
            rng.shuffle(q)
            queues.append(q)
        seq = []
        while any(queues):
            for q in queues:
                if q:
                    seq.append(q.pop())
        for s in seq:
            s["id"] = f"{s['file']}:{s['line']}:{s['col']}:{s['kind']}:{s['old']}->{s['new']}"
        ordered[d] = seq
    return ordered, quota


# ---------------------------------------------------------------- building and running

def mirror_tree(root, dest):
    """Makes dest a copy of the project's tracked and unignored files, touching only files whose
    content differs (so the build stays incremental) and deleting files that are gone."""
    files = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=root,
                           check=True, capture_output=True, text=True).stdout.splitlines()
    wanted = set()
    for rel in files:
        src = os.path.join(root, rel)
        if not os.path.isfile(src):
            continue
        wanted.add(rel)
        dst = os.path.join(dest, rel)
        with open(src, "rb") as f:
            data = f.read()
        try:
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        except OSError:
            pass
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        with open(dst, "wb") as f:
            f.write(data)
        shutil.copymode(src, dst)
    for base, _dirs, names in os.walk(dest):
        for name in names:
            rel = os.path.relpath(os.path.join(base, name), dest)
            if rel not in wanted:
                os.remove(os.path.join(base, name))


def run(cmd, cwd, timeout, env=None, log=None):
    """Runs cmd in its own process group; returns (exit code or None on timeout, seconds)."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=log or subprocess.DEVNULL,
                            stderr=subprocess.STDOUT, start_new_session=True)
    try:
        rc = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        rc = None
    finally:
        if proc.poll() is None or rc is None:
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.wait()
        else:
            try:  # servers a test started and left behind
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
    return rc, time.monotonic() - start


def object_of(src, compile_db, rel):
    return compile_db.get(os.path.realpath(os.path.join(src, rel)))


def file_hash(path):
    try:
        with open(path, "rb") as f:
            return hashlib.sha256(f.read()).hexdigest()
    except OSError:
        return None


# Qt and standard headers most sources include, precompiled for the mutants' build only: parsing
# them is most of the time a one-file rebuild takes.
PCH_CMAKE = """
function(vt_mutants_pch)
  foreach(t vtcore_objects vtcore_cli_objects)
    if(TARGET ${t})
      target_precompile_headers(${t} PRIVATE
        <QString> <QByteArray> <QStringList> <QVector> <QList> <QMap> <QHash> <QVariant> <QObject>
        <QDir> <QFile> <QFileInfo> <QDateTime> <QJsonObject> <QJsonDocument> <QJsonArray> <QMutex>
        <algorithm> <functional> <map> <memory> <mutex> <string> <vector>)
    endif()
  endforeach()
  if(TARGET vt_test_support)
    target_precompile_headers(vt_test_support PRIVATE <gtest/gtest.h> <gmock/gmock.h>
      <QString> <QByteArray> <QStringList> <QVector> <QList> <QMap> <QVariant> <QDir> <QFile>
      <QFileInfo> <QTemporaryDir> <QJsonObject> <QJsonDocument> <memory> <string> <vector>)
    foreach(d core tile storage catalog tools)
      if(TARGET vt_${d}_tests)
        target_precompile_headers(vt_${d}_tests REUSE_FROM vt_test_support)
      endif()
    endforeach()
  endif()
endfunction()
cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL vt_mutants_pch)
"""


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--count", type=int, default=150, help="mutants in the sample, spread evenly over the folders")
    ap.add_argument("--folder", action="append", choices=FOLDERS, help="only this folder (repeatable)")
    ap.add_argument("--list", action="store_true", help="print the sample and exit")
    ap.add_argument("--build-dir", default=os.path.join(ROOT, "build-mutants"))
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--timeout", type=float, default=0, help="seconds per test run (default: 3 x the clean run + 30)")
    ap.add_argument("--results", help="JSON results file (default: <build-dir>/mutants-results.json)")
    ap.add_argument("--resume", action="store_true",
                    help="keep the outcomes of mutants the results file already holds (same seed)")
    ap.add_argument("--compare", help="an earlier results file to compare the scores with")
    ap.add_argument("--recheck", metavar="FILE",
                    help="an earlier run (same seed) on the same sources: only the mutants it killed run "
                         "again, the rest keep its outcome; for checking that changed tests lose no kill")
    args = ap.parse_args()
    folders = [d for d in FOLDERS if not args.folder or d in args.folder]
    ordered, quota = build_sample(ROOT, args.seed, args.count, folders)

    if args.list:
        for d in folders:
            print(f"== {d}: {quota[d]} mutants (of {len(ordered[d])} candidates)")
            for s in ordered[d][:quota[d]]:
                print(f"  {s['file']}:{s['line']}:{s['col']}  {s['kind']:<8} {s['old']!r} -> {s['new']!r}")
        return 0

    signal.signal(signal.SIGTERM, on_sigterm)
    build_root = os.path.abspath(args.build_dir)
    src = os.path.join(build_root, "src")
    build = os.path.join(build_root, "build")
    results_path = args.results or os.path.join(build_root, "mutants-results.json")
    os.makedirs(src, exist_ok=True)
    log_path = os.path.join(build_root, "mutants.log")
    log = open(log_path, "w")
    mirror_tree(ROOT, src)  # also undoes a mutant left by a killed run
    pch = os.path.join(build_root, "pch.cmake")
    with open(pch, "w") as f:
        f.write(PCH_CMAKE)
    launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
    linker = ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld", "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld"] \
        if shutil.which("ld.lld") else []
    # Unoptimised for fast compiles; Release otherwise (asserts off, as shipped). Warnings are not
    # errors here: a mutant that only warns still says something about the tests.
    cfg = ["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
           "-DCMAKE_CXX_FLAGS_RELEASE=-O0 -DNDEBUG", "-DCMAKE_CXX_FLAGS=-w", "-DVTCORE_WERROR=OFF",
           "-DVTCORE_BUILD_FUZZ=OFF", "-DVTCORE_BUILD_BENCH=OFF", "-DCMAKE_LINK_DEPENDS_NO_SHARED=ON", f"-DCMAKE_PROJECT_INCLUDE={pch}"] \
        + launcher + linker
    # Restoring a file after its mutant then costs a cache hit, precompiled header included.
    os.environ["CCACHE_SLOPPINESS"] = "pch_defines,time_macros,include_file_mtime,include_file_ctime"
    if run(cfg, build_root, 600, log=log)[0] != 0:
        print(f"mutants: configuring failed, see {log_path}")
        return 2
    with open(os.path.join(build, "compile_commands.json")) as f:
        compile_db = {}
        for e in json.load(f):
            out = e.get("output") or (re.search(r"\s-o\s+(\S+)", e.get("command", "")) or [None, None])[1]
            if out:
                compile_db[os.path.realpath(os.path.join(e["directory"], e["file"]))] = os.path.join(e["directory"], out)

    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    targets = programs_of(build, folders)
    results = {"seed": args.seed, "count": args.count, "commit": subprocess.run(
        ["git", "rev-parse", "HEAD"], cwd=ROOT, capture_output=True, text=True).stdout.strip(),
        "mutants": []}
    earlier = {}
    if args.resume and os.path.exists(results_path):
        with open(results_path) as f:
            old = json.load(f)
        if old.get("seed") == args.seed:
            earlier = {m["id"]: m for m in old["mutants"]}
    recheck = {}
    if args.recheck:
        with open(args.recheck) as f:
            old = json.load(f)
        if old.get("seed") != args.seed:
            print("mutants: --recheck needs a run of the same seed")
            return 2
        recheck = {m["id"]: m for m in old["mutants"]}
        # Only a kill can be lost: what survived or did not build keeps its outcome.
        earlier.update({i: m for i, m in recheck.items() if m["outcome"] != "killed" and i not in earlier})
    clean_objects = {}
    total = sum(quota.values())
    done = 0
    started = time.monotonic()

    def save():
        results["seconds"] = round(time.monotonic() - started)
        results["summary"] = summarize(results["mutants"], folders)
        with open(results_path, "w") as f:
            json.dump(results, f, indent=1)

    try:
        for d in folders:
            # The folder's programs, clean: they must pass, and the slowest sets the timeout.
            if not targets[d]:
                print(f"mutants: no test program of {d} in {build}")
                return 2
            names = " ".join(os.path.basename(p) for p in targets[d])
            rc, _ = run(["cmake", "--build", build, "-j", str(args.jobs), "--target"]
                        + [os.path.basename(p) for p in targets[d]], build_root, 7200, log=log)
            if rc != 0:
                print(f"mutants: the clean build of {names} failed, see {log_path}")
                return 2
            secs = 0.0
            for program in targets[d]:
                rc, took = run([program], os.path.dirname(program), 1800, env=env, log=log)
                if rc != 0:
                    print(f"mutants: {program} fails without mutants (exit {rc}), see {log_path}")
                    return 2
                secs = max(secs, took)
            timeout = args.timeout or 3 * secs + 30
            print(f"== {d}: {names} clean run {secs:.1f} s, timeout {timeout:.0f} s", flush=True)
            accepted = 0
            for site in ordered[d]:
                if accepted >= quota[d]:
                    break
                t0 = time.monotonic()
                if site["id"] in earlier:
                    outcome = earlier[site["id"]]["outcome"]
                else:
                    outcome = try_mutant(site, src, build, build_root, compile_db, clean_objects, targets[d],
                                         timeout, env, args.jobs, log)
                secs = time.monotonic() - t0
                results["mutants"].append(dict(site, folder=d, outcome=outcome, seconds=round(secs, 1)))
                save()
                if outcome in ("killed", "survived"):
                    accepted += 1
                    done += 1
                print(f"[{done}/{total}] {d:<8}{outcome:<13}{site['file']}:{site['line']}  {site['kind']:<8} "
                      f"{site['old']!r} -> {site['new']!r}  ({secs:.0f} s)", flush=True)
    except (KeyboardInterrupt, Interrupted):
        print("mutants: interrupted; the sources were restored, the partial results follow "
              "(--resume continues)")
    finally:
        save()
        print_summary(results["summary"], load_summary(args.compare) if args.compare else None)
        lost = [m["id"] for m in results["mutants"]
                if m["outcome"] == "survived" and recheck.get(m["id"], {}).get("outcome") == "killed"]
        for i in lost:
            print(f"mutants: killed before, survives now: {i}")
        if args.recheck:
            print(f"mutants: {len(lost)} kill(s) of {args.recheck} lost")
        print(f"mutants: {results['seconds']} s; results in {results_path}")
    return 0


def programs_of(build, folders):
    """Every test program of each folder, as paths in the build tree, its main program first."""
    out = subprocess.run(["ninja", "-C", build, "-t", "targets", "all"], capture_output=True, text=True).stdout
    found = re.findall(r"^(\S*/(vt_([a-z]+)(?:_[a-z]+)?_tests)): ", out, re.M)
    return {d: sorted((os.path.join(build, path) for path, _, folder in found if folder == d),
                      key=lambda p: (os.path.basename(p) != f"vt_{d}_tests", p)) for d in folders}


def try_mutant(site, src, build, build_root, compile_db, clean_objects, programs, timeout, env, jobs, log):
    """Applies one mutant to the copy, builds, runs the tests and restores the file (always)."""
    path = os.path.join(src, site["file"])
    obj = object_of(src, compile_db, site["file"])
    if site["file"] not in clean_objects:
        clean_objects[site["file"]] = file_hash(obj)
    with open(path, "rb") as f:
        original = f.read()
    text = original.decode("utf-8", "surrogateescape")
    o = site["offset"]
    mutated = text[:o] + site["new"] + text[o + site["length"]:]
    try:
        with open(path, "wb") as f:
            f.write(mutated.encode("utf-8", "surrogateescape"))
        rc, _ = run(["cmake", "--build", build, "-j", str(jobs), "--target"]
                    + [os.path.basename(p) for p in programs], build_root, 900, log=log)
        if rc != 0:
            return "build-failed"
        if obj and file_hash(obj) == clean_objects[site["file"]]:
            return "unchanged"
        for program in programs:
            rc, _ = run([program, "--gtest_fail_fast"], os.path.dirname(program), timeout, env=env, log=log)
            if rc != 0:
                return "killed"
        return "survived"
    finally:
        with open(path, "wb") as f:
            f.write(original)


def summarize(mutants, folders):
    summary = {}
    for d in folders + ["all"]:
        ms = [m for m in mutants if d == "all" or m["folder"] == d]
        killed = sum(m["outcome"] == "killed" for m in ms)
        survived = sum(m["outcome"] == "survived" for m in ms)
        summary[d] = {"mutants": killed + survived, "killed": killed, "survived": survived,
                      "build_failed": sum(m["outcome"] == "build-failed" for m in ms),
                      "unchanged": sum(m["outcome"] == "unchanged" for m in ms),
                      "score": round(100.0 * killed / (killed + survived), 1) if killed + survived else None}
    return summary


def load_summary(path):
    with open(path) as f:
        return json.load(f)["summary"]


def print_summary(summary, before=None):
    head = f"{'folder':<10}{'mutants':>8}{'killed':>8}{'survived':>10}{'build-failed':>14}{'unchanged':>11}{'score':>9}"
    print(head + ("  before" if before else ""))
    for d, s in summary.items():
        score = f"{s['score']:.1f} %" if s["score"] is not None else "-"
        line = (f"{d:<10}{s['mutants']:>8}{s['killed']:>8}{s['survived']:>10}{s['build_failed']:>14}"
                f"{s['unchanged']:>11}{score:>9}")
        if before and d in before and before[d]["score"] is not None:
            line += f"  {before[d]['score']:.1f} %"
        print(line)


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (KeyboardInterrupt, Interrupted):
        print("mutants: interrupted")
        sys.exit(130)
