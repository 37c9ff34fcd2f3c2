#!/usr/bin/env python3
"""orva-cli reconcile --format xlsx read back with openpyxl, against the CSV of the same run: every row
and cell the same, amounts and counts as numbers, codes (numbers with leading zeros, the type "01") as
text, and the totals row; then the office's summary sheet.

    check_reconcile_xlsx.py ORVA_CLI PERIOD_FOLDER REPORT.csv... -- TREE
"""

import csv
import io
import os
import subprocess
import sys
import tempfile

import openpyxl


def run(program, *args):
    return subprocess.run([program, *args], capture_output=True, timeout=120)


def csv_rows(program, *args):
    result = run(program, args[0], "--format", "csv", *args[1:])
    assert result.returncode in (0, 5), result.stderr
    assert result.stdout.startswith(b"\xef\xbb\xbf"), result.stdout[:20]
    return list(csv.reader(io.StringIO(result.stdout[3:].decode("utf-8"), newline=""), delimiter=";"))


def sheet_of(program, path, sheet, *args):
    result = run(program, args[0], "--format", "xlsx", "--output", path, *args[1:])
    assert result.returncode in (0, 5), result.stderr
    book = openpyxl.load_workbook(path)
    assert book.sheetnames == [sheet], book.sheetnames
    return book[sheet]


def same_rows(sheet, rows, numeric):
    """The sheet holds the CSV's rows; a cell of a `numeric` column is a number exactly when it is not
    empty, every other cell is text as the CSV writes it."""
    assert sheet.max_row == len(rows), (sheet.max_row, len(rows))
    for number, row in enumerate(rows, start=1):
        cells = list(sheet.iter_rows(min_row=number, max_row=number, max_col=len(rows[0])))[0]
        for column, (cell, text) in enumerate(zip(cells, row)):
            where = (number, rows[0][column], text, cell.value)
            if text == "":
                assert cell.value is None, where
            elif number > 1 and rows[0][column] in numeric(row):
                assert cell.data_type == "n" and float(text) == cell.value, where
            else:
                assert cell.data_type == "s" and cell.value == text, where


def main():
    program = sys.argv[1]
    split = sys.argv.index("--")
    period, reports, tree = sys.argv[2], sys.argv[3:split], sys.argv[split + 1]
    with tempfile.TemporaryDirectory() as work:
        args = ["reconcile", period, *reports]
        rows = csv_rows(program, *args)
        sheet = sheet_of(program, os.path.join(work, "one.xlsx"), "Сравнение", *args)
        assert sheet.freeze_panes == "A2", sheet.freeze_panes

        def numeric(row):
            counts = {"journal_record", "line"}
            # A row with one amount that differs has its three amount cells as numbers.
            if row[0] == "different" and row[12] != "":
                counts |= {"journal", "report_value", "difference"}
            return counts if row[0] != "общо" else set()

        same_rows(sheet, rows, numeric)
        by_class = {}
        for row in rows[1:-1]:
            by_class.setdefault(row[0], []).append(row)
        # The made-up period holds every class, a number with leading zeros and the type as "01".
        assert sorted(by_class) == ["agrees", "different", "missing", "not-declared", "not-expected"], by_class
        missing = by_class["missing"][0]
        cells = {rows[0][i]: sheet.cell(row=rows.index(missing) + 1, column=i + 1) for i in range(len(rows[0]))}
        assert cells["number"].value == "0000000777" and cells["number"].data_type == "s", cells["number"].value
        assert cells["journal_record"].value is None and cells["line"].value == 10, cells["line"].value
        agrees = rows.index(by_class["agrees"][0]) + 1
        assert sheet.cell(row=agrees, column=4).value == "01", sheet.cell(row=agrees, column=4).value
        amount = [row for row in by_class["different"] if row[12] != ""][0]
        at = rows.index(amount) + 1
        assert [sheet.cell(row=at, column=c).value for c in (11, 12, 13)] == [20.01, 20.0, 0.01], amount
        # The totals row: bold, its counts in the note.
        last = sheet.max_row
        assert sheet.cell(row=last, column=1).value == "общо" and sheet.cell(row=last, column=1).font.b
        assert sheet.cell(row=last, column=14).value.startswith("съвпадат 6, липсват в дневника 1,"), last

        args = ["reconcile", "--recursive", tree]
        rows = csv_rows(program, *args)
        sheet = sheet_of(program, os.path.join(work, "office.xlsx"), "Сравнения", *args)
        counts = {"reports", "agrees", "missing", "not_declared", "different", "not_expected", "damaged"}
        same_rows(sheet, rows, lambda row: counts if row[0] != "общо" else counts - {"reports", "damaged"})
        totals = [cell.value for cell in sheet[sheet.max_row]]
        periods = [[cell.value for cell in row] for row in sheet.iter_rows(min_row=2, max_row=sheet.max_row - 1)]
        assert len(periods) >= 2, periods
        # Each count of the totals row is the sum of the periods' counts.
        for column in range(5, 10):
            assert totals[column] == sum(period[column] for period in periods), (column, totals, periods)
        assert sheet.cell(row=sheet.max_row, column=1).font.b, totals
    print("ok")


if __name__ == "__main__":
    main()
