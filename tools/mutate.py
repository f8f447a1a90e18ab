#!/usr/bin/env python3
"""Mutation check: how many small planted faults in the portable core the
native preset's tests catch.

    tools/mutate.py [--seed N] [--count N] [--source DIR] [--build DIR] [--list]

Each mutant is one small change to one line of setup/{settings,probe,dialog,app}
(the platform entries excluded): a comparison or logic operator flipped, an
integer literal off by one, or a call statement dropped. The mutants are drawn
with the seed from every site found, so the same seed on the same core gives
the same mutants. For each: apply, rebuild the native preset's targets, run its
ctest (stopping at the first failure), restore. A mutant the compiler rejects
is counted apart and replaced by the next one drawn, so every run scores
--count mutants that build.

Runs on demand, not from the test command: it rebuilds once per mutant. It
works on a copy of the tree (<build>/src, configured as the native preset
without benchmarks), so the tree itself is never touched and can be edited
meanwhile.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

CORE_DIRS = ["setup/settings", "setup/probe", "setup/dialog", "setup/app"]
EXCLUDED = {"setup/app/main_portable.cpp", "setup/app/winmain.cpp"}

COMPARISON_FLIPS = {"==": "!=", "!=": "==", "<": ">=", ">=": "<", ">": "<=", "<=": ">"}
LOGIC_FLIPS = {"&&": "||", "||": "&&"}
# Binary operators written with a blank on each side, as the code is formatted;
# that leaves template brackets, includes and shifts alone.
OPERATOR = re.compile(r"(?<= )(==|!=|<=|>=|<|>|&&|\|\|)(?= )")
LITERAL = re.compile(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)(?:[uU]?[lL]{0,2})(?![\w.])")
CALL_STATEMENT = re.compile(r"^(\s*)((?:[A-Za-z_]\w*(?:\.|->|::))*[A-Za-z_]\w*\(.*\);)\s*(//.*)?$")
NOT_CALLS = ("return", "if", "while", "for", "switch", "static_assert", "delete", "case")


def code_part(line):
    """The line without its comment and with string and character literals
    blanked, so that sites are never found inside them."""
    out = []
    i = 0
    quote = None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            out.append(" " if c != quote else c)
            if c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def sites_of(path, text):
    sites = []
    in_block_comment = False
    for number, line in enumerate(text.split("\n"), 1):
        stripped = line.strip()
        if in_block_comment:
            if "*/" in stripped:
                in_block_comment = False
            continue
        if stripped.startswith("/*"):
            in_block_comment = "*/" not in stripped
            continue
        if not stripped or stripped.startswith(("#", "//", "static_assert")):
            continue
        code = code_part(line)
        for m in OPERATOR.finditer(code):
            op = m.group(1)
            flip = COMPARISON_FLIPS.get(op) or LOGIC_FLIPS.get(op)
            kind = "logic" if op in LOGIC_FLIPS else "comparison"
            sites.append((path, number, m.start(1), op, flip, kind))
        # Literals, but not array sizes in declarations of buffers nor the
        # digits inside names (int32_t) or floating-point numbers.
        for m in LITERAL.finditer(code):
            token = m.group(1)
            value = int(token, 16) if token.lower().startswith("0x") else int(token)
            new = value + 1 if value == 0 or (number + m.start()) % 2 == 0 else value - 1
            if token.lower().startswith("0x"):
                digits = f"{new:X}" if token[2:].isupper() or token[2:].isdigit() else f"{new:x}"
                replacement = token[:2] + digits.rjust(len(token) - 2, "0")
            else:
                replacement = str(new)
            sites.append((path, number, m.start(1), token, replacement, "literal"))
        m = CALL_STATEMENT.match(code)
        if m and not m.group(2).startswith(NOT_CALLS) and "=" not in m.group(2).split("(")[0]:
            if code.count("(") == code.count(")"):
                sites.append((path, number, len(m.group(1)), m.group(2), ";", "call dropped"))
    return sites


def all_sites(source):
    sites = []
    for d in CORE_DIRS:
        folder = os.path.join(source, d)
        for name in sorted(os.listdir(folder)):
            rel = f"{d}/{name}"
            if not name.endswith(".cpp") or rel in EXCLUDED:
                continue
            with open(os.path.join(source, rel)) as f:
                sites.extend(sites_of(rel, f.read()))
    return sites


def apply(source, site):
    path, number, column, old, new, _ = site
    full = os.path.join(source, path)
    with open(full) as f:
        original = f.read()
    lines = original.split("\n")
    line = lines[number - 1]
    assert line[column:column + len(old)] == old, (site, line)
    lines[number - 1] = line[:column] + new + line[column + len(old):]
    with open(full, "w") as f:
        f.write("\n".join(lines))
    return full, original


def describe(site):
    path, number, _, old, new, kind = site
    return f"{path}:{number}: {kind}: '{old}' -> '{new}'"


def run(cmd, cwd, timeout, log):
    try:
        r = subprocess.run(cmd, cwd=cwd, stdout=log, stderr=subprocess.STDOUT, timeout=timeout)
        return r.returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--seed", type=int, default=2026)
    ap.add_argument("--count", type=int, default=60)
    ap.add_argument("--source", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    ap.add_argument("--build", help="scratch folder (default <source>/build/mutate)")
    ap.add_argument("--test-timeout", type=int, default=300, help="seconds for one test (a mutant may loop forever)")
    ap.add_argument("--rev", help="take the tree from this git revision instead of the working tree")
    ap.add_argument("--list", action="store_true", help="print the drawn mutants and stop")
    ap.add_argument("--target", action="append", default=[], help="build only these targets (for quick looks)")
    ap.add_argument("--only", help="run only the ctest tests matching this pattern (for quick looks)")
    args = ap.parse_args()
    origin = os.path.realpath(args.source)
    scratch = os.path.realpath(args.build or os.path.join(origin, "build/mutate"))

    sites = sorted(all_sites(origin))
    order = list(range(len(sites)))
    random.Random(args.seed).shuffle(order)
    if args.list:
        print(f"{len(sites)} mutation sites in the core; seed {args.seed}, {args.count} mutants")
        for i in order[:args.count]:
            print(describe(sites[i]))
        return 0

    # The tests run on a virtual display when there is none.
    if not os.environ.get("DISPLAY") and shutil.which("xvfb-run") and not os.environ.get("MUTATE_ON_DISPLAY"):
        os.environ["MUTATE_ON_DISPLAY"] = "1"
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1600x1200x24", sys.executable] + sys.argv)
    print(f"{len(sites)} mutation sites in the core; seed {args.seed}, {args.count} mutants", flush=True)

    # A fresh copy of the tree on every run; the build folder is kept.
    source = os.path.join(scratch, "src")
    build = os.path.join(scratch, "build")
    shutil.rmtree(source, ignore_errors=True)
    if args.rev:
        os.makedirs(source)
        archive = subprocess.run(["git", "-C", origin, "archive", args.rev], check=True, capture_output=True).stdout
        subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
    else:
        shutil.copytree(origin, source, ignore=shutil.ignore_patterns("build", ".git"))
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        subprocess.run(["cmake", "--preset", "native", "-B", build, "-DSETUP_BENCH=OFF"], cwd=source, check=True,
                       stdout=subprocess.DEVNULL)
    build_cmd = ["cmake", "--build", build] + [a for t in args.target for a in ("--target", t)]
    test_cmd = ["ctest", "--test-dir", build, "--stop-on-failure", "--timeout", str(args.test_timeout)]
    test_cmd += ["-R", args.only] if args.only else []
    log_path = os.path.join(build, "mutate.log")
    with open(log_path, "w") as log:
        if run(build_cmd, source, 3600, log) != 0:
            print(f"the unmutated tree does not build: see {log_path}")
            return 2
        if run(test_cmd, build, 10 * args.test_timeout, log) != 0:
            print(f"the unmutated tree fails its tests: see {log_path}")
            return 2

    killed, survived, stillborn = [], [], []
    start = time.time()
    position = 0
    while len(killed) + len(survived) < args.count and position < len(order):
        site = sites[order[position]]
        position += 1
        full, original = apply(source, site)
        try:
            with open(log_path, "w") as log:
                built = run(build_cmd, source, 3600, log)
                if built != 0:
                    stillborn.append(site)
                    verdict = "does not build"
                else:
                    tested = run(test_cmd, build, 10 * args.test_timeout, log)
                    (survived if tested == 0 else killed).append(site)
                    verdict = "survived" if tested == 0 else f"killed ({'timeout' if tested == 'timeout' else 'tests failed'})"
        finally:
            with open(full, "w") as f:
                f.write(original)
        n = len(killed) + len(survived)
        print(f"[{n}/{args.count}] {describe(site)}: {verdict}  ({int(time.time() - start)} s)", flush=True)

    # Leave the build matching the restored sources.
    with open(log_path, "a") as log:
        run(build_cmd, source, 3600, log)
    total = len(killed) + len(survived)
    print()
    print(f"seed {args.seed}: {len(killed)} of {total} mutants killed "
          f"({100.0 * len(killed) / max(total, 1):.0f}%), {len(stillborn)} did not build, "
          f"{int(time.time() - start)} s")
    if survived:
        print("survivors:")
        for s in survived:
            print("  " + describe(s))
    return 0


if __name__ == "__main__":
    sys.exit(main())
