#!/usr/bin/env python3
"""Mutation check: how many small faults planted in the logic and the
transports the suite catches. A developer tool, not run by CI.

    scripts/mutate.py [--seed S] [--count N] [--draw-from REV] [--timeout SECONDS] [--list]

Works on a copy of the committed tree (HEAD) under $MUTATE_DIR (default
/tmp/tarnic-mutate), builds it once, then for each mutant of a fixed, seeded
sample: plants it, rebuilds incrementally, runs the mutated folder's own tests
first and then the rest, stopping at the first failure, and puts the file
back. Prints each mutant as killed / survived / did not compile / timed out,
and the score: killed and timed out (a hang the time-outs catch) out of
all that compiled.

--draw-from REV draws the sample from an earlier commit and plants each
mutant where its line stands in HEAD, so that a score before and after a
change of the tests (or of unrelated code) is taken on the same mutants; a
mutant whose line is gone is reported so and not scored.
"""

import argparse
import os
import random
import re
import subprocess
import sys
import time

# The folders mutated, each with the tests that exercise it most directly.
FOLDERS = {
    "config": r"^tst_config_",
    "flash": r"^tst_flash_",
    "utilities": r"^tst_utilities_",
    "loopback": r"^tst_loopback",
    "terminal": r"^tst_term",
    "link": r"^tst_(link|commform)",
    "core": r"^tst_core",
}
KINDS = ["comparison", "constant", "statement", "return", "wire", "condition"]
FLIP = {"<": ">=", ">=": "<", ">": "<=", "<=": ">", "==": "!=", "!=": "=="}
SKIP_LINE = re.compile(r"^\s*(#|//|\*|/\*)")
DECL_START = re.compile(
    r"^\s*(return|const|constexpr|static|auto|if|else|for|while|switch|case|default|"
    r"break|continue|do|namespace|using|template|typename|struct|class|enum|public|"
    r"private|protected|Q_|[A-Z]\w*(::\w+)*(<[^;=]*>)?[\s&*]+\w+\s*[;={(]|"
    r"(unsigned|signed|int|bool|char|double|float|long|short|qint\d+|quint\d+|"
    r"std::\w+|size_t)\b)")


def sites(root):
    """Every place a mutant could go: (file, line index, kind, old, new)."""
    found = []
    for folder in FOLDERS:
        directory = os.path.join(root, folder)
        for name in sorted(os.listdir(directory)):
            if not name.endswith(".cpp"):
                continue
            path = os.path.join(folder, name)
            with open(os.path.join(root, path), encoding="utf-8") as f:
                lines = f.read().split("\n")
            for i, line in enumerate(lines):
                if SKIP_LINE.match(line) or not line.strip():
                    continue
                code = re.sub(r'"(\\.|[^"\\])*"', lambda m: " " * len(m.group(0)), line)
                for m in re.finditer(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)", code):
                    new = line[:m.start()] + FLIP[m.group(1)] + line[m.end():]
                    found.append((path, i, "comparison", line, new))
                for m in re.finditer(r"(?<![\w.'])(\d+)(?![\w.'])", code):
                    n = int(m.group(1))
                    shifted = str(n + 1 if n == 0 or (i + m.start()) % 2 else n - 1)
                    new = line[:m.start()] + shifted + line[m.end():]
                    found.append((path, i, "constant", line, new))
                stripped = line.strip()
                if stripped.endswith(";") and not DECL_START.match(line) and ("(" in stripped or "=" in stripped):
                    found.append((path, i, "statement", line, re.match(r"^\s*", line).group(0) + ";"))
                prev = lines[i - 1].strip() if i else ""
                if re.match(r"^\s*return\b[^;]*;\s*$", line) and prev.startswith("if") and prev.endswith(")"):
                    found.append((path, i, "return", line, re.match(r"^\s*", line).group(0) + ";"))
                for m in re.finditer(r'"((?:[^"\\]|\\.){2,12})"', line):
                    body = m.group(1)
                    for j in range(len(body) - 1):
                        a, b = body[j], body[j + 1]
                        if a != b and "\\" not in (a, b) and (j == 0 or body[j - 1] != "\\"):
                            swapped = body[:j] + b + a + body[j + 2:]
                            new = line[:m.start(1)] + swapped + line[m.end(1):]
                            found.append((path, i, "wire", line, new))
                            break
                m = re.search(r"\bif \(", code)
                if m:
                    depth, j = 0, m.end() - 1
                    for j in range(m.end() - 1, len(code)):
                        depth += {"(": 1, ")": -1}.get(code[j], 0)
                        if depth == 0:
                            break
                    if depth == 0:
                        cond = line[m.end():j]
                        new = line[:m.end()] + "!(" + cond + ")" + line[j:]
                        found.append((path, i, "condition", line, new))
    return found


def sample(found, seed, count):
    """A fixed share of every kind, drawn with the seed."""
    rng = random.Random(seed)
    by_kind = {k: [s for s in found if s[2] == k] for k in KINDS}
    chosen = []
    for k in KINDS:
        share = count // len(KINDS) + (1 if KINDS.index(k) < count % len(KINDS) else 0)
        chosen += rng.sample(by_kind[k], min(share, len(by_kind[k])))
    return sorted(chosen, key=lambda s: (s[0], s[1]))


def unpack(repo, rev, into):
    subprocess.run(["rm", "-rf", into], check=True)
    os.makedirs(into)
    subprocess.run(f"git -C {repo} archive {rev} | tar -x -C {into}", shell=True, check=True)


def locate(lines, i, old):
    """The index of the line reading `old` nearest to where it was drawn."""
    hits = [j for j, line in enumerate(lines) if line == old]
    return min(hits, key=lambda j: abs(j - i)) if hits else None


def run(cmd, cwd, timeout):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=timeout).returncode


def failing_tests(cmd, cwd, timeout):
    """The tests a ctest run failed, by name; one name "ctest" when it failed otherwise."""
    done = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                          timeout=timeout)
    names = re.findall(r"Test +#\d+: (\S+) .*\*\*\*", done.stdout)
    return names or (["ctest"] if done.returncode != 0 else [])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=1207)
    parser.add_argument("--count", type=int, default=60)
    parser.add_argument("--draw-from", default="HEAD", metavar="REV", help="commit the sample is drawn from")
    parser.add_argument("--timeout", type=int, default=300, help="seconds per mutant, build included")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    args = parser.parse_args()

    repo = subprocess.check_output(["git", "rev-parse", "--show-toplevel"], text=True).strip()
    work = os.environ.get("MUTATE_DIR", "/tmp/tarnic-mutate")
    src, build = os.path.join(work, "src"), os.path.join(work, "build")
    unpack(repo, "HEAD", src)
    drawn = src
    if args.draw_from != "HEAD":
        drawn = os.path.join(work, "drawn")
        unpack(repo, args.draw_from, drawn)

    def short(rev):
        return subprocess.check_output(["git", "-C", repo, "rev-parse", "--short", rev], text=True).strip()

    chosen = sample(sites(drawn), args.seed, args.count)
    print(f"{len(chosen)} mutants, seed {args.seed}, drawn from {short(args.draw_from)}, planted in HEAD {short('HEAD')}")
    if args.list:
        for n, (path, i, kind, _old, new) in enumerate(chosen, 1):
            print(f"{n:3} {kind:10} {path}:{i + 1}: {new.strip()}")
        return 0

    jobs = str(os.cpu_count() or 2)
    launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if subprocess.run(
        ["which", "ccache"], stdout=subprocess.DEVNULL).returncode == 0 else []
    subprocess.run(["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    "-DTARNIC_BUILD_BENCH=OFF", *launcher], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j", jobs], check=True, stdout=subprocess.DEVNULL)
    if run(["ctest", "-j", jobs, "--timeout", "120"], build, 900) != 0:
        sys.exit("mutate: the suite fails without any mutant; fix that first")

    tally = {"killed": 0, "survived": 0, "did not compile": 0, "timed out": 0, "gone": 0}
    for n, (path, i, kind, old, new) in enumerate(chosen, 1):
        file = os.path.join(src, path)
        original = ""
        if os.path.exists(file):
            with open(file, encoding="utf-8") as f:
                original = f.read()
        lines = original.split("\n")
        started = time.monotonic()
        by = ""
        at = locate(lines, i, old)
        if at is None:
            tally["gone"] += 1
            print(f"{n:3} {'gone':15} {0:5.0f} s  {kind:10} {path}:{i + 1}: {old.strip()}", flush=True)
            continue
        lines[at] = new
        try:
            with open(file, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            deadline = started + args.timeout
            if run(["cmake", "--build", build, "-j", jobs], build, args.timeout) != 0:
                verdict = "did not compile"
            else:
                own = FOLDERS[path.split("/")[0]]
                left = max(1, deadline - time.monotonic())
                failed = failing_tests(["ctest", "-j", jobs, "--timeout", "60", "--stop-on-failure", "-R", own],
                                       build, left)
                if not failed:
                    left = max(1, deadline - time.monotonic())
                    failed = failing_tests(["ctest", "-j", jobs, "--timeout", "60", "--stop-on-failure", "-E", own],
                                           build, left)
                verdict = "killed" if failed else "survived"
                by = f"  (by {', '.join(failed)})" if failed else ""
        except subprocess.TimeoutExpired:
            verdict = "timed out"
        finally:
            with open(file, "w", encoding="utf-8") as f:
                f.write(original)
        tally[verdict] += 1
        print(f"{n:3} {verdict:15} {time.monotonic() - started:5.0f} s  {kind:10} {path}:{at + 1}: "
              f"{old.strip()}  ->  {new.strip()}{by}", flush=True)

    # Put the last file's build back in step with the tree.
    subprocess.run(["cmake", "--build", build, "-j", jobs], stdout=subprocess.DEVNULL)
    scored = tally["killed"] + tally["survived"] + tally["timed out"]
    print(", ".join(f"{k} {v}" for k, v in tally.items()))
    print(f"score {tally['killed'] + tally['timed out']}/{scored}"
          + (f" = {100 * (tally['killed'] + tally['timed out']) / scored:.0f} %" if scored else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
