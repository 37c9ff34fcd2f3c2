// The journal engine on any bytes: the first byte picks the journal, the second linesPerPage
// (0 to 255, so the refusals are reached too), the rest is the journal file. Every failure must be
// an orva::Error; a journal that is built has the table's widths and ends with totals that are
// money texts, and its closing line.
#include "FuzzChecks.h"

#include "journals/Journal.h"
#include "text/Errors.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const orva::JournalLayout& layout = (data[0] & 1) ? orva::salesLayout() : orva::purchasesLayout();
    const int linesPerPage = data[1];
    const std::string_view file(reinterpret_cast<const char*>(data) + 2, size - 2);
    try {
        const orva::JournalResult result = orva::buildJournal(file, linesPerPage, "caption", layout);
        fuzz::requireJournal(result.lines, layout, layout.titlePrefix + "caption", result.totals);
    } catch (const orva::Error&) {
    }
    return 0;
}
