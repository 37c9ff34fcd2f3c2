#!/usr/bin/env python3
"""The spreadsheets orva-cli writes, read back with openpyxl: export --format xlsx|csv of a period
and check --format xlsx|json over a tree.

    check_spreadsheets.py ORVA_CLI TREE
"""

import csv
import io
import json
import os
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
        result = run(program, "check", "--format", "xlsx", "--output", summary, "--cell", "33=0", clean)
        assert result.returncode == 0, result.stderr
        assert openpyxl.load_workbook(summary)["Периоди"]["H2"].value == 2955.61

        result = run(program, "check", "--recursive", "--format", "json", tree)
        document = json.loads(result.stdout)
        assert [period["status"] for period in document["periods"]] == [
            "OK", "ПРЕДУПРЕЖДЕНИЯ", "ГРЕШКИ", "НЕЧЕТИМ"]
        assert document["periods"][3]["purchases"] is None and "pokupki.txt" in document["periods"][3]["reason"]
        assert document["totals"] == {"periods": 4, "ok": 1, "with_warnings": 1, "with_errors": 1, "unreadable": 1,
                                      "purchases": 54, "sales": 54, "errors": 4, "warnings": 8,
                                      "failed_rules": 17}, document["totals"]
    return 0


if __name__ == "__main__":
    sys.exit(main())
