#!/usr/bin/env python3
"""The spreadsheets orva-cli writes, read back with openpyxl: export --format xlsx|csv of a period
and check --format xlsx|json over a tree.

    check_spreadsheets.py ORVA_CLI TREE
"""

import csv
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl


def run(program, *args):
    return subprocess.run([program, *args], capture_output=True, timeout=120)


def main():
    program, tree = sys.argv[1], sys.argv[2]
    clean = os.path.join(tree, "a-clean")
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "out")
        result = run(program, "export", "--format", "xlsx", "--lines-per-page", "60", "--out", out, clean)
        assert result.returncode == 0, result.stderr
        # The label, return and VIES declaration stay text.
        assert sorted(os.listdir(out)) == ["label.txt", "purchases.xlsx", "return.txt", "sales.xlsx", "vies.txt"], os.listdir(out)
        book = openpyxl.load_workbook(os.path.join(out, "purchases.xlsx"))
        sheet = book["Покупки"]
        headers = [cell.value for cell in sheet[1]]
        assert headers[0] == "03-02 ДДС номер на лицето", headers
        assert headers[10] == "кол.9 основа и данък без право на кредит", headers
        assert len(headers) == 18 and headers[17].startswith("03-45 "), headers  # a classic period
        assert sheet.freeze_panes == "A2" and sheet.auto_filter.ref == "A1:R47", sheet.auto_filter.ref
        first = [cell for cell in sheet[2]]
        assert first[4].value == "01" and first[4].data_type == "s"  # document type as text
        assert first[11].value == 500.35 and first[11].number_format == "0.00"
        assert first[6].is_date and first[6].value.strftime("%Y-%m-%d") == "2026-10-01", first[6].value
        totals = [cell.value for cell in sheet[48]]
        assert totals[0] == "ОБЩО" and totals[11] == "=SUM(L2:L47)", totals
        cached = [cell.value for cell in openpyxl.load_workbook(os.path.join(out, "purchases.xlsx"),
                                                                data_only=True)["Покупки"][48]]
        # The totals line of the sample's printed journal (tests/data) holds the same amounts.
        assert cached[10:17] == [1719.05, 133997.12, 26799.43, 1845, 369, 0, 0], cached
        sales = openpyxl.load_workbook(os.path.join(out, "sales.xlsx"))["Продажби"]
        assert sales.max_column == 28 and sales.max_row == 50, (sales.max_column, sales.max_row)

        result = run(program, "export", "--format", "csv", "--lines-per-page", "60", "--out", out, clean)
        assert result.returncode == 0, result.stderr
        with open(os.path.join(out, "purchases.csv"), "rb") as stream:
            data = stream.read()
        assert data.startswith(b"\xef\xbb\xbf") and data.count(b"\r\n") == 48, data[:200]
        rows = list(csv.reader(io.StringIO(data[3:].decode("utf-8"), newline=""), delimiter=";"))
        assert rows[1][11] == "500.35" and rows[1][6] == "01.10.2026", rows[1]
        assert rows[-1][:1] == ["ОБЩО"] and rows[-1][11] == "133997.12", rows[-1]

        summary = os.path.join(work, "summary.xlsx")
        result = run(program, "check", "--recursive", "--format", "xlsx", "--output", summary, tree)
        assert result.returncode == 2 and result.stdout == b"", result
        sheet = openpyxl.load_workbook(summary)["Периоди"]
        assert [cell.value for cell in sheet[1]][:3] == ["Папка", "Фирма", "ДДС номер"]
        assert sheet.max_row == 6, sheet.max_row
        assert [row[12].value for row in sheet.iter_rows(min_row=2, max_row=5)] == [
            "OK", "ПРЕДУПРЕЖДЕНИЯ", "ГРЕШКИ", "НЕЧЕТИМ"]
        assert sheet["F6"].value == "=SUM(F2:F5)", sheet["F6"].value
        assert openpyxl.load_workbook(summary, data_only=True)["Периоди"]["F6"].value == 54

        # --cell reaches the spreadsheet's period as it reaches a single check: 33 = 0 leaves
        # 40 = 41 + 43 = 26799.43 + 0 (the purchases' columns 11 and 14 above), so
        # 50 = 20 - 40 = 29755.04 - 26799.43 (the record's 50 is 2641.96, its 40 27113.08).
        # Over several periods in the summary, and for one period in its rows.
        twin = os.path.join(work, "twin")
        shutil.copytree(clean, twin)
        result = run(program, "check", "--format", "xlsx", "--output", summary, "--cell", "33=0", clean, twin)
        assert result.returncode == 0, result.stderr
        periods = openpyxl.load_workbook(summary)["Периоди"]
        assert [periods["H2"].value, periods["H3"].value] == [2955.61, 2955.61]
        result = run(program, "check", "--format", "xlsx", "--output", summary, "--cell", "33=0", clean)
        assert result.returncode == 0, result.stderr
        rows = [row for row in openpyxl.load_workbook(summary)["Проверка"].iter_rows(values_only=True)
                if row[2] == "кл.50 от кл.20-40"]
        assert [row[5] for row in rows] == ["2955.61"], rows

        result = run(program, "check", "--recursive", "--format", "json", tree)
        document = json.loads(result.stdout)
        assert [period["status"] for period in document["periods"]] == [
            "OK", "ПРЕДУПРЕЖДЕНИЯ", "ГРЕШКИ", "НЕЧЕТИМ"]
        assert document["periods"][3]["purchases"] is None and "pokupki.txt" in document["periods"][3]["reason"]
        assert document["totals"] == {"periods": 4, "ok": 1, "with_warnings": 1, "with_errors": 1, "unreadable": 1,
                                      "purchases": 54, "sales": 54, "errors": 4, "warnings": 8,
                                      "failed_rules": 17}, document["totals"]

        # Codes stay text as written (the branch 0000 was the number 0), sequence numbers numbers.
        first = openpyxl.load_workbook(os.path.join(out, "purchases.xlsx"))["Покупки"][2]
        assert (first[2].value, first[2].data_type) == ("0000", "s"), first[2].value
        assert (first[1].value, first[1].data_type) == ("202610", "s") and first[3].data_type == "n"

        # Amounts without a double near them were written as 0, and so was their total.
        huge = os.path.join(work, "huge")
        shutil.copytree(clean, huge)
        with open(os.path.join(huge, "pokupki.txt"), "rb") as stream:
            lines = stream.read().split(b"\r\n")
        lines[0] = lines[0][:167] + b"2e308".rjust(15) + b"1e400".rjust(15) + lines[0][197:]
        with open(os.path.join(huge, "pokupki.txt"), "wb") as stream:
            stream.write(b"\r\n".join(lines))
        result = run(program, "export", "--format", "xlsx", "--lines-per-page", "60", "--out", out, huge)
        assert result.returncode == 0, result.stderr
        for book in (openpyxl.load_workbook(os.path.join(out, "purchases.xlsx")),
                     openpyxl.load_workbook(os.path.join(out, "purchases.xlsx"), data_only=True)):
            sheet = book["Покупки"]
            assert [sheet[2][10].value, sheet[2][11].value] == ["2e308", "1e400"], [sheet[2][10].value]
            total, beside = sheet[48][10].value, sheet[48][12].value
            assert isinstance(total, str) and total.startswith("2" + "0" * 300) and total.endswith("1719.05"), total
            assert sheet[48][11].value.startswith("1" + "0" * 380), sheet[48][11].value
            assert beside in ("=SUM(M2:M47)", 26799.43), beside

        # The summary's cells 50 and 60 likewise: the return's 2641.96 made 2e308.
        shutil.copytree(clean, os.path.join(work, "tree", "a"))
        shutil.copytree(os.path.join(tree, "b-warnings"), os.path.join(work, "tree", "b"))
        deklar = os.path.join(work, "tree", "a", "deklar.txt")
        with open(deklar, "rb") as stream:
            record = stream.read()
        with open(deklar, "wb") as stream:
            stream.write(record.replace(b"2641.96", b"  2e308"))
        result = run(program, "check", "--recursive", "--format", "xlsx", "--output", summary,
                     os.path.join(work, "tree"))
        assert result.returncode == 5, result
        sheet = openpyxl.load_workbook(summary)["Периоди"]
        assert (sheet["H2"].value, sheet["H3"].value) == ("2e308", 0), (sheet["H2"].value, sheet["H3"].value)

        # One folder: the findings as the CSV's rows.
        findings = os.path.join(work, "findings.xlsx")
        result = run(program, "check", "--format", "xlsx", "--output", findings, os.path.join(tree, "c-errors"))
        assert result.returncode == 5 and result.stdout == b"", result
        rows = [[cell.value for cell in row] for row in openpyxl.load_workbook(findings)["Проверка"].iter_rows()]
        result = run(program, "check", "--format", "csv", os.path.join(tree, "c-errors"))
        want = list(csv.reader(io.StringIO(result.stdout[3:].decode("utf-8"), newline=""), delimiter=";"))
        assert len(rows) == len(want) > 2, (len(rows), len(want))
        for got, expected in zip(rows, want):
            got = ["" if value is None else str(value) for value in got]
            assert got == [cell.lstrip("'") if cell.startswith("'") else cell for cell in expected], (got, expected)
    return 0


if __name__ == "__main__":
    sys.exit(main())
