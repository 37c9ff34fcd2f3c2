// A period's journal on any bytes, read through the period session as every program reads it: the
// first byte picks the journal, the second linesPerPage (0 to 255, so the refusals are reached too),
// the rest is the journal file beside a sound return record and an empty other journal. Every
// failure must be an orva::Error; a journal that is built has the table's widths and ends with
// totals that are money texts, and its closing line; the gate's problems are valid UTF-8.
#include "FuzzChecks.h"

#include "journals/Journal.h"
#include "period/PeriodSession.h"
#include "text/Errors.h"
#include "text/LineFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    static const std::string declaration = orva::readFileBytes(ORVA_FUZZ_DECLARATION);
    const bool sales = data[0] & 1;
    const int linesPerPage = data[1];
    const std::string_view file(reinterpret_cast<const char*>(data) + 2, size - 2);
    fuzz::writeFile(fuzz::scratch().file(orva::kDeclarationFileName), declaration);
    fuzz::writeFile(fuzz::scratch().file(orva::kPurchasesFileName), sales ? std::string_view() : file);
    fuzz::writeFile(fuzz::scratch().file(orva::kSalesFileName), sales ? file : std::string_view());
    try {
        const orva::PeriodSession period(fuzz::scratch().path());
        const orva::JournalKind kind = sales ? orva::JournalKind::Sales : orva::JournalKind::Purchases;
        const orva::JournalLayout& layout = period.journalLayout(kind);
        std::vector<std::string> lines;
        orva::LineCollector sink(lines);
        const orva::JournalSummary summary = period.journal(kind, linesPerPage, sink);
        fuzz::requireJournal(lines, layout, layout.titlePrefix + period.declaration().captionText, summary.totals);
        for (const std::string& problem : summary.problems)
            fuzz::require(fuzz::isValidUtf8(problem));
    } catch (const orva::Error&) {
    }
    return 0;
}
