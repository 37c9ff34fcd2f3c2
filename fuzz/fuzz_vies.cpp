// The VIES reader and document on any bytes: the first byte is linesPerPage (0 to 255, so the
// refusal is reached too), the rest is VIES.TXT. Every failure must be an orva::Error; a built
// document has one row per record read, every table line 117 wide but the totals (an amount is shown
// whole), the other lines within 117 but page numbers past 99, and totals that are the summary's
// sums as money texts.
#include "FuzzChecks.h"

#include "journals/JournalTable.h"
#include "text/Errors.h"
#include "vies/Vies.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const int linesPerPage = data[0];
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
    const orva::ViesLayout& layout = orva::viesLayout();
    try {
        orva::MemoryLineSource first(file);
        const orva::ViesSummary summary = orva::readVies(first, orva::CodePage::Windows1251, "VIES.TXT");
        std::vector<std::string> lines;
        orva::LineCollector sink(lines);
        orva::writeViesDocument([&] { return std::make_unique<orva::MemoryLineSource>(file); }, summary, linesPerPage,
                                sink);
        fuzz::require(linesPerPage >= 1);

        const std::string bar = orva::journal_table::barLine();
        std::size_t rows = 0;
        bool totalsSeen = false;
        for (const std::string& line : lines) {
            const bool heading = line == bar ||
                                 std::find(layout.lines.heading.begin(), layout.lines.heading.end(), line) !=
                                     layout.lines.heading.end() ||
                                 std::find(layout.callOff.heading.begin(), layout.callOff.heading.end(), line) !=
                                     layout.callOff.heading.end();
            if (!line.empty() && line.front() == '|' && !heading) {
                fuzz::require(line.back() == '|');
                if (line.compare(0, 1 + layout.total.size() + 1, "| " + layout.total) == 0) {
                    // The totals: each the summary's sum, whole.
                    for (const orva::ExactSum* sum : {&summary.goods, &summary.triangular, &summary.services}) {
                        const orva::ExactDecimal value = sum->value();
                        const std::string money = value.fitsMoneyFormat() ? value.moneyText() : "?";
                        fuzz::require(line.find(money + " |") != std::string::npos);
                    }
                    fuzz::require(line.size() >= orva::journal_table::kWidth);
                    totalsSeen = true;
                    continue;
                }
                fuzz::require(line.size() == orva::journal_table::kWidth);
                ++rows;
                continue;
            }
            if (line.size() > orva::journal_table::kWidth)
                fuzz::require(line.compare(0, 110, std::string(110, ' ')) == 0);
        }
        fuzz::require(totalsSeen);
        fuzz::require(rows == summary.lines + summary.callOffLines);
        fuzz::require(lines.back() == orva::journal_table::closingLine() || lines.back().rfind("\xC7", 0) == 0);
    } catch (const orva::Error&) {
        fuzz::require(linesPerPage < 1);
    }
    return 0;
}
