#!/usr/bin/env python3
"""Runs one regression case: orva-cli with the case's arguments, its outputs against expected/.

    run_case.py ORVA_CLI CASE_FOLDER

The arguments come from CASE_FOLDER/args, one per line; @DATA@ stands for the case folder and
@OUT@ for a fresh output folder (not created). expected/status holds the exit status;
expected/stdout and expected/stderr, when present, the whole streams (@DATA@ and @OUT@ replaced);
expected/out-files, when present, the names in the output folder, one per line (empty: the
folder must not exist); NAME.lines (UTF-8, one line each) holds lines that must stand, whole and
in this order, among the lines of NAME (stdout, or an exported document, read as Windows-1251),
for cases about a few lines of a long document; expected/findings holds exactly the finding lines
of `orva-cli check` (the stdout lines that start "FILE:LINE: "), all of them, in order; any other file in expected/ is compared byte for
byte with the file of that name in the output folder. Exit status 0 when everything matches, 1
otherwise.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

SPECIAL = {"status", "stdout", "stderr", "out-files", "findings"}
FINDING = re.compile(r"^[^:\s]+:[0-9]+: ")


def first_difference(expected, actual):
    """The first differing line (1-based) of two byte strings, both lines shown."""
    expected_lines = expected.split(b"\n")
    actual_lines = actual.split(b"\n")
    for number, (want, got) in enumerate(zip(expected_lines, actual_lines), 1):
        if want != got:
            return "line %d\n  expected: %r\n  actual:   %r" % (number, want, got)
    return "expected %d lines, got %d" % (len(expected_lines), len(actual_lines))


def missing_lines(wanted, document):
    """The first wanted line that does not follow the ones before it in the document, or None."""
    lines = document.replace("\r\n", "\n").split("\n")
    at = 0
    for want in wanted:
        while at < len(lines) and lines[at] != want:
            at += 1
        if at == len(lines):
            return want
        at += 1
    return None


def read(path):
    with open(path, "rb") as stream:
        return stream.read()


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    program, case = sys.argv[1], os.path.abspath(sys.argv[2])
    expected = os.path.join(case, "expected")
    work = tempfile.mkdtemp(prefix="orva-regress-")
    out = os.path.join(work, "out")
    try:
        def place(text):
            return text.replace("@DATA@", case).replace("@OUT@", out)

        with open(os.path.join(case, "args"), encoding="utf-8") as stream:
            arguments = [place(line.rstrip("\n")) for line in stream if line.rstrip("\n")]
        run = subprocess.run([program] + arguments, capture_output=True, timeout=120)

        failures = []
        want_status = int(read(os.path.join(expected, "status")).strip())
        if run.returncode != want_status:
            failures.append("status: expected %d, got %d" % (want_status, run.returncode))
        for stream, got in (("stdout", run.stdout), ("stderr", run.stderr)):
            path = os.path.join(expected, stream)
            if os.path.exists(path):
                want = place(read(path).decode("utf-8")).encode("utf-8")
                if got != want:
                    failures.append("%s differs at %s" % (stream, first_difference(want, got)))
        findings = os.path.join(expected, "findings")
        if os.path.exists(findings):
            want = [place(line) for line in read(findings).decode("utf-8").splitlines()]
            got = [line for line in run.stdout.decode("utf-8").splitlines() if FINDING.match(line)]
            if got != want:
                failures.append("findings differ at %s" % first_difference("\n".join(want).encode(), "\n".join(got).encode()))
        listing = os.path.join(expected, "out-files")
        if os.path.exists(listing):
            want = sorted(line for line in read(listing).decode("utf-8").splitlines() if line)
            if not want and os.path.exists(out):
                failures.append("out-files: the output folder was created")
            elif want:
                got = sorted(os.listdir(out)) if os.path.isdir(out) else []
                if got != want:
                    failures.append("out-files: expected %s, got %s" % (want, got))
        for name in sorted(os.listdir(expected)):
            if name in SPECIAL:
                continue
            if name.endswith(".lines"):
                target = name[: -len(".lines")]
                if target == "stdout":
                    document = run.stdout.decode("utf-8")
                elif os.path.exists(os.path.join(out, target)):
                    document = read(os.path.join(out, target)).decode("cp1251")
                else:
                    failures.append("%s: not written" % target)
                    continue
                wanted = [place(line) for line in read(os.path.join(expected, name)).decode("utf-8").splitlines()]
                lost = missing_lines(wanted, document)
                if lost is not None:
                    failures.append("%s: no line (in order) %r" % (target, lost))
                continue
            path = os.path.join(out, name)
            if not os.path.exists(path):
                failures.append("%s: not written" % name)
                continue
            want, got = read(os.path.join(expected, name)), read(path)
            if got != want:
                failures.append("%s differs at %s" % (name, first_difference(want, got)))

        for failure in failures:
            print("%s: %s" % (os.path.basename(case), failure))
        if failures and run.stderr:
            print("stderr of orva-cli:\n" + run.stderr.decode("utf-8", "replace"))
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
