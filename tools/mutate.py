#!/usr/bin/python3
"""Mutation run: how many realistic single faults in the program do the tests catch?

    tools/mutate.py [--list tools/mutations.txt] [--tests REGEX] [--exclude REGEX] [--only N,M]

Each fault in the list names a file, a piece of its text that occurs exactly once, and what to put
there instead. For each in turn: apply it, build the default preset, run its tests (ctest, stopping
at the first failure), restore the file. A fault is killed when the build or a test fails; the
rest survive. Prints one line per fault (a killed one with the tests that failed on it, as far as
ctest ran before it stopped), then the score and the survivors. --only and --tests narrow a run to
some faults and the tests meant to catch them, e.g. after changing those tests. Not part of CI: a
fault takes about 40 seconds on two cores. The build directory must be configured already
(cmake --preset default). The files are restored even when the run is interrupted.
"""

import argparse
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read_faults(path):
    """Blocks of 'file:', 'old:', 'new:' and 'why:' fields (and '#' comments), separated by blank
    lines. A value continues, joined with newlines, on each following line that starts no field."""
    faults, current, key = [], {}, None
    with open(path) as f:
        lines = f.read().split("\n")
    for number, line in enumerate(lines + [""], 1):
        if line.startswith("#"):
            continue
        if not line.strip():
            if current:
                for field in ("file", "old", "new"):
                    if field not in current:
                        sys.exit("%s:%d: a fault without '%s:'" % (path, number, field))
                faults.append(current)
            current, key = {}, None
        elif line.split(":")[0] in ("file", "old", "new", "why"):
            key, _, value = line.partition(":")
            current[key] = value[1:] if value.startswith(" ") else value
        elif key:
            current[key] += "\n" + line
        else:
            sys.exit("%s:%d: text outside a field" % (path, number))
    return faults


def run(command, timeout, output=None):
    """The command's exit code ("timeout" if it ran out of time); its output goes to `output`."""
    try:
        done = subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout, universal_newlines=True, errors="replace")
    except subprocess.TimeoutExpired:
        return "timeout"
    if output is not None:
        output.append(done.stdout)
    return done.returncode


def failed_tests(ctest_output):
    """The tests ctest lists as failed, from its closing summary ('  12 - Name ... (Failed)')."""
    summary = ctest_output.partition("The following tests FAILED:")[2]
    return re.findall(r"^\s*\d+ - (\S+)", summary, re.MULTILINE)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--list", default=os.path.join(ROOT, "tools", "mutations.txt"))
    parser.add_argument("--tests", default="", help="ctest -R: only the tests matching")
    parser.add_argument("--exclude", default="^packaging", help="ctest -E (default: the .deb)")
    parser.add_argument("--only", default="", help="comma-separated fault numbers (1-based)")
    parser.add_argument("--jobs", default="2")
    args = parser.parse_args()

    faults = read_faults(args.list)
    chosen = [int(n) for n in args.only.split(",") if n] or range(1, len(faults) + 1)
    build = ["cmake", "--build", "--preset", "default", "-j", args.jobs]
    test = ["ctest", "--preset", "default", "-j", args.jobs, "--stop-on-failure",
            "--timeout", "120"]
    if args.tests:
        test += ["-R", args.tests]
    if args.exclude:
        test += ["-E", args.exclude]

    if run(build, 1800) != 0:
        sys.exit("the unchanged program does not build")
    if run(test, 1800) != 0:
        sys.exit("the unchanged program fails its tests")

    killed, survivors, skipped = 0, [], []
    for number in chosen:
        fault = faults[number - 1]
        path = os.path.join(ROOT, fault["file"])
        with open(path) as f:
            original = f.read()
        if original.count(fault["old"]) != 1:
            print("%3d  SKIPPED  %s: the old text occurs %d times" %
                  (number, fault["file"], original.count(fault["old"])))
            skipped.append(number)
            continue
        started = time.monotonic()
        output = []
        try:
            with open(path, "w") as f:
                f.write(original.replace(fault["old"], fault["new"]))
            outcome = "build failed" if run(build, 1800) != 0 else \
                "survived" if run(test, 1800, output) == 0 else "killed"
        finally:
            with open(path, "w") as f:
                f.write(original)
        if outcome == "survived":
            survivors.append(number)
        else:
            killed += 1
        killers = failed_tests("".join(output))
        print("%3d  %-12s %4.0fs  %s: %s%s" % (number, outcome, time.monotonic() - started,
                                               fault["file"], fault.get("why", fault["new"]),
                                               "  [by %s]" % ", ".join(killers) if killers else ""))
        sys.stdout.flush()

    run(build, 1800)  # leave the build matching the sources
    total = killed + len(survivors)
    print("score: %d of %d killed (%.1f%%)" % (killed, total, 100.0 * killed / max(total, 1)))
    if skipped:
        # A fault whose text has gone from the program is no longer tried: the list wants updating.
        print("skipped %d, not counted: %s" % (len(skipped), ", ".join(map(str, skipped))))
    for number in survivors:
        print("survivor %d: %s: %s" % (number, faults[number - 1]["file"],
                                       faults[number - 1].get("why", "")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
