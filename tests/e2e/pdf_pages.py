#!/usr/bin/env python3
"""Checks a printed PDF against the text document it was printed from.

    pdf_pages.py --text DOC.txt --pdf JOB.pdf --lines-per-page N --kind journal|return|label

The text is the document as orva-cli exports it (Windows-1251, CR LF after every line). A
renderer that puts exactly N lines on a sheet turns text lines k*N+1 .. (k+1)*N into sheet k+1, so:
- the PDF has ceil(lines / N) pages (the label page: one);
- each sheet holds exactly the non-blank lines of its slice of the text, in order (blanks
  compared loosely, since pdftotext re-creates the spacing from glyph positions);
- a journal sheet that opens a page of the journal begins with that page's number line;
- the line pitch on paper is the height of the face at the document's point size.
Prints what it found; exits 1 on any mismatch.
"""

import argparse
import re
import statistics
import subprocess
import sys


def run(*command):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE).stdout.decode("utf-8", "replace")


def normalise(line):
    return " ".join(line.split())


def pdf_page_count(pdf):
    match = re.search(r"^Pages:\s+(\d+)", run("pdfinfo", pdf), re.M)
    if not match:
        raise SystemExit("pdfinfo found no page count in %s" % pdf)
    return int(match.group(1))


def pdf_page_lines(pdf, page):
    text = run("pdftotext", "-layout", "-enc", "UTF-8", "-f", str(page), "-l", str(page), pdf, "-")
    return [normalise(line) for line in text.replace("\f", "").split("\n") if line.strip()]


def line_pitches(pdf, page):
    """Distances in points between the baselines of consecutive text lines of one page."""
    html = run("pdftotext", "-bbox", "-f", str(page), "-l", str(page), pdf, "-")
    bottoms = sorted({round(float(m.group(1)), 1) for m in re.finditer(r'<word [^>]*yMax="([0-9.]+)"', html)})
    return [b - a for a, b in zip(bottoms, bottoms[1:]) if b - a > 1.0]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--text", required=True)
    parser.add_argument("--pdf", required=True)
    parser.add_argument("--lines-per-page", type=int, required=True)
    parser.add_argument("--kind", choices=("journal", "return", "label"), required=True)
    args = parser.parse_args()

    data = open(args.text, "rb").read()
    if not data.endswith(b"\r\n"):
        raise SystemExit("%s does not end with CR LF" % args.text)
    lines = data[:-2].decode("cp1251").split("\r\n")
    per_page = args.lines_per_page
    point_size = 10 if args.kind == "label" else 8
    failures = []

    if args.kind == "label":
        slices = [lines]
    else:
        slices = [lines[i:i + per_page] for i in range(0, len(lines), per_page)]
    pages = pdf_page_count(args.pdf)
    print("%s: %d text lines, %d lines per page -> %d sheets expected, the PDF has %d"
          % (args.text, len(lines), per_page, len(slices), pages))
    if pages != len(slices):
        failures.append("page count %d, expected %d" % (pages, len(slices)))

    for number, expected_slice in enumerate(slices[:pages], 1):
        expected = [normalise(line) for line in expected_slice if line.strip()]
        found = pdf_page_lines(args.pdf, number)
        if found != expected:
            index = next((i for i, (a, b) in enumerate(zip(expected, found)) if a != b),
                         min(len(expected), len(found)))
            want = expected[index] if index < len(expected) else "(nothing)"
            got = found[index] if index < len(found) else "(nothing)"
            failures.append("sheet %d, non-blank line %d: expected %r, found %r (%d lines expected, %d found)"
                            % (number, index + 1, want, got, len(expected), len(found)))
        if len(found) > per_page and args.kind != "label":
            failures.append("sheet %d holds %d lines, more than %d" % (number, len(found), per_page))
        if args.kind == "journal" and re.search(r"стр\.\d+$", expected_slice[0]):
            # A sheet that opens a journal page starts with that page's number line.
            if not found or found[0] != "стр.%02d" % number:
                failures.append("sheet %d begins with %r, not its page number" % (number, found[:1]))
        print("  sheet %d: %d lines, first %r" % (number, len(found), found[0] if found else ""))

    pitches = line_pitches(args.pdf, 1)
    if pitches:
        pitch = statistics.median(pitches)
        print("  line pitch on sheet 1: %.2f pt for %d-point text" % (pitch, point_size))
        # The document face (Liberation Mono) is about 1.13 em high.
        if not 1.05 * point_size <= pitch <= 1.25 * point_size:
            failures.append("line pitch %.2f pt does not match %d-point text" % (pitch, point_size))
    else:
        failures.append("no text found on sheet 1")

    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
