// The journal engine on any bytes: the first byte picks the journal, the second linesPerPage
// (0 to 255, so the refusals are reached too), the rest is the journal file. Every failure must be
// an orva::Error, and a journal that is built ends with its totals and its closing line.
#include "journals/Journal.h"
#include "text/Errors.h"

#include <cstdint>
#include <cstdlib>
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
        if (result.lines.size() < layout.amountLines.size() + 1 || result.lines.back() != std::string(117, '='))
            std::abort();
        if (result.totals.size() != layout.amountCount())
            std::abort();
    } catch (const orva::Error&) {
    }
    return 0;
}
