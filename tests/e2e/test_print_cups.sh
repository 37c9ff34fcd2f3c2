#!/usr/bin/env bash
# Printing through a real CUPS server: orva-cli prints the label page, both journals of a period
# that spans several pages, and the return on the default printer, a cups-pdf queue. From each
# job's spool copy (the PDF as orva sent it; the test server keeps it with PreserveJobFiles Yes) it checks
# one sheet per page of the text, each sheet holding exactly its page's lines (the journal pages
# beginning with their page-number line), the point size, the job name "ОРВА", one job per
# command, and that cups-pdf produced as many pages.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

CLI="$ORVA_BUILD/orva-cli"
# Every program this test starts is orva-cli, which needs no screen: the platform is named, not
# taken from the caller's environment.
export QT_QPA_PLATFORM=offscreen
[ -x "$CLI" ] || fail "$CLI is not built"
need_commands lpstat cupsctl ipptool pdfinfo pdftotext python3
need_test_print_server

lpstat -r 2>/dev/null | grep -q 'scheduler is running' || missing "no CUPS server is running"
QUEUE=$(lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')
[ -n "$QUEUE" ] || missing "CUPS has no default printer"
lpstat -v "$QUEUE" 2>/dev/null | grep -q 'cups-pdf:/' || missing "the default printer $QUEUE is not a cups-pdf queue"
cupsctl 2>/dev/null | grep -qix 'PreserveJobFiles=Yes' || missing "cupsd does not keep job files (PreserveJobFiles)"
[ -r "$ORVA_CUPS_SPOOL" ] && [ -x "$ORVA_CUPS_SPOOL" ] || missing "the CUPS spool $ORVA_CUPS_SPOOL is not readable"

work=$(artifacts_dir print_cups)
echo "files of this test: $work"

# A period whose journals run over several pages.
period="$work/period"
python3 "$ORVA_SOURCE/samples/make_sample.py" --out "$period" --purchases 160 --sales 150 --seed 7

# The documents as text, paged for the default printer.
"$CLI" export --out "$work/text" "$period" || fail "orva-cli export failed ($?)"

# LinesPerPage is the distance between the first two page-number lines of a journal.
page_lines() {
    iconv -f CP1251 -t UTF-8 "$1" | grep -n -E '^ {110} стр\.[0-9]{2,}'"$(printf '\r')"'?$' | cut -d: -f1
}
mapfile -t purchase_pages < <(page_lines "$work/text/purchases.txt")
mapfile -t sales_pages < <(page_lines "$work/text/sales.txt")
[ "${#purchase_pages[@]}" -ge 3 ] || fail "the purchases journal has ${#purchase_pages[@]} pages; the test needs several"
[ "${#sales_pages[@]}" -ge 3 ] || fail "the sales journal has ${#sales_pages[@]} pages; the test needs several"
N=$((purchase_pages[1] - purchase_pages[0]))
[ $((sales_pages[1] - sales_pages[0])) -eq "$N" ] || fail "the journals disagree on the lines per page"
# An A4 page at 8 points holds about 90 lines; anything far off is not the printer's count.
[ "$N" -ge 60 ] && [ "$N" -le 120 ] || fail "$N lines per page is not an A4 page of 8-point text"
echo "lines per page on $QUEUE: $N"

# The default count is the one the explicit option gives: the same documents byte for byte.
"$CLI" export --out "$work/text-n" --lines-per-page "$N" "$period" || fail "orva-cli export --lines-per-page failed"
for document in label purchases sales return; do
    cmp "$work/text/$document.txt" "$work/text-n/$document.txt" ||
        fail "$document.txt differs between the printer's count and --lines-per-page $N"
done

job_ids() {
    lpstat -W all -o "$QUEUE" 2>/dev/null | awk '{print $1}' | sed 's/.*-//' | sort
}

job_attributes() {
    ipptool -tv -d job_id="$1" "ipp://$CUPS_SERVER/printers/$QUEUE" "$E2E_DIR/job-attributes.test"
}

job_finished() {
    job_attributes "$1" 2>/dev/null | grep -qE 'job-state \(enum\) = (completed|canceled|aborted)'
}

pdf_pages() {
    pdfinfo "$1" | sed -n 's/^Pages: *//p'
}

home=$(getent passwd "$(id -un)" | cut -d: -f6)

print_and_check() {
    local document=$1 kind=$2 before after new id attributes spool output
    echo "--- printing $document"
    before=$(job_ids)
    "$CLI" print --document "$document" "$period" || fail "orva-cli print --document $document failed ($?)"
    after=$(job_ids)
    new=$(comm -13 <(echo "$before") <(echo "$after"))
    [ "$(printf '%s\n' "$new" | grep -c .)" -eq 1 ] || fail "printing $document made jobs '${new//$'\n'/ }', not one"
    id=$new
    wait_until 180 job_finished "$id" || fail "job $id ($document) did not finish within 3 minutes"
    attributes=$(job_attributes "$id")
    echo "$attributes" > "$work/$document.job.txt"
    grep -q 'job-state (enum) = completed' <<<"$attributes" || fail "job $id ($document) did not complete"
    grep -qx ' *job-name (nameWithoutLanguage) = ОРВА' <<<"$attributes" ||
        fail "job $id is named '$(grep -o 'job-name (.*' <<<"$attributes")', not ОРВА"

    spool=$ORVA_CUPS_SPOOL/$(printf 'd%05d-001' "$id")
    [ -r "$spool" ] || fail "the spool copy $spool of job $id is missing"
    cp "$spool" "$work/$document.pdf"
    python3 "$E2E_DIR/pdf_pages.py" --text "$work/text/$document.txt" --pdf "$work/$document.pdf" \
        --lines-per-page "$N" --kind "$kind" || fail "$document: the printed pages do not match the text"

    # What cups-pdf made of it (through PostScript and Ghostscript): the same number of pages.
    output=$(ls "$home"/PDF/*job_"$id".pdf 2>/dev/null | head -n 1 || true)
    [ -n "$output" ] || fail "cups-pdf wrote no file for job $id in $home/PDF"
    mv "$output" "$work/$document.cups-pdf.pdf"
    [ "$(pdf_pages "$work/$document.cups-pdf.pdf")" -eq "$(pdf_pages "$work/$document.pdf")" ] ||
        fail "cups-pdf made $(pdf_pages "$work/$document.cups-pdf.pdf") pages of job $id, not $(pdf_pages "$work/$document.pdf")"
}

print_and_check label label
print_and_check purchases journal
print_and_check sales journal
print_and_check return return

# Each page of the return ends on its own sheet with its footer, when page 1 (90 lines) fits.
if [ "$N" -ge 90 ]; then
    for sheet in 1 2; do
        pdftotext -layout -f "$sheet" -l "$sheet" "$work/return.pdf" - | tr -d "\f" | grep . | tail -n 1 | grep -q "стр $sheet/2 -" ||
            fail "sheet $sheet of the return does not end with the footer of page $sheet"
    done
fi

# A queue that refuses jobs, a stopped one, and a job canceled while followed: exit 4, a message
# naming the queue, and for the first two no job submitted. The queue is one of the test's own,
# made the user's default with LPDEST, so the shared default queue is never switched off.
need_commands lpadmin cupsreject cupsaccept cupsdisable cupsenable cancel
OTHER=ORVA_REFUSE_TEST
lpadmin -p "$OTHER" -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd -o printer-is-shared=false ||
    missing "cannot add the queue $OTHER (lpadmin needs root)"
trap 'lpadmin -x "$OTHER" 2>/dev/null || true' EXIT
other_jobs() {
    lpstat -W all -o "$OTHER" 2>/dev/null | grep -c . || true
}
# The ids of $OTHER's jobs that are not in the list "$1".
other_new_jobs() {
    comm -13 <(echo "$1") <(lpstat -W all -o "$OTHER" 2>/dev/null | awk '{print $1}' | sed 's/.*-//' | sort) | grep .
}

# print_fails WHAT: orva-cli print on $OTHER must exit 4 naming the queue, submitting nothing.
print_fails() {
    local what=$1 before status=0 output
    before=$(other_jobs)
    output=$(LPDEST=$OTHER "$CLI" print --document label "$period" 2>&1) || status=$?
    echo "$what: exit $status: $output"
    [ "$status" -eq 4 ] || fail "$what: orva-cli print exited $status, not 4"
    grep -q "\"$OTHER\"" <<<"$output" || fail "$what: the message does not name the queue $OTHER"
    [ "$(other_jobs)" -eq "$before" ] || fail "$what: a job was submitted to $OTHER"
}

cupsreject "$OTHER"
print_fails "a queue rejecting jobs"
cupsaccept "$OTHER"
cupsdisable "$OTHER"
print_fails "a stopped queue"
cupsenable "$OTHER"

# The restored queue prints: the failures above were the queue's state, not a wrong queue.
before=$(lpstat -W all -o "$OTHER" | awk '{print $1}' | sed 's/.*-//' | sort)
LPDEST=$OTHER "$CLI" print --document label "$period" || fail "orva-cli print on the restored $OTHER failed ($?)"
printed=$(other_new_jobs "$before") || fail "printing on the restored $OTHER made no job"
rm -f "$home"/PDF/*job_"$printed".pdf

# A job canceled while orva-cli follows it (the queue holds its jobs, so it is still there).
lpadmin -p "$OTHER" -o job-hold-until-default=indefinite
before=$(lpstat -W all -o "$OTHER" | awk '{print $1}' | sed 's/.*-//' | sort)
LPDEST=$OTHER "$CLI" print --document label "$period" >"$work/canceled.out" 2>&1 &
printer_pid=$!
wait_until 20 other_new_jobs "$before" >/dev/null || fail "no held job appeared on $OTHER"
cancel "$OTHER-$(other_new_jobs "$before")"
status=0
wait "$printer_pid" || status=$?
echo "a canceled job: exit $status: $(cat "$work/canceled.out")"
[ "$status" -eq 4 ] || fail "a canceled job: orva-cli print exited $status, not 4"
grep -q "\"$OTHER\".*отменено" "$work/canceled.out" || fail "a canceled job: the message does not say so"

echo "PASS: label, purchases, sales and return printed through $QUEUE at $N lines per page; refused, stopped and canceled jobs fail"
