#pragma once

// Output properties every fuzz target holds its documents to. A violation aborts, which libFuzzer
// reports as a crash with the input that caused it.

#include "journals/Journal.h"
#include "text/Money.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Names the file and line of the property that failed before aborting.
inline void require(bool holds, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    if (!holds) {
        std::fprintf(stderr, "output property failed: %s:%d\n", file, line);
        std::abort();
    }
}

constexpr std::size_t kJournalWidth = 117;

// A built journal: it ends with its totals and its closing line; every line is 117 wide except the
// title, page numbers past 99 and the amount and totals lines, which may be wider when an amount is
// wider than its cell (it is shown whole and then runs into the cell before it). Each total is a
// money text in its cell, the totals lines are exactly those cells.
inline void requireJournal(const std::vector<std::string>& lines, const orva::JournalLayout& layout,
                           const std::string& title, const std::vector<long double>& totals) {
    const std::size_t count = layout.amountLines.size();
    require(lines.size() >= count + 1 && lines.back() == std::string(kJournalWidth, '='));
    require(totals.size() == layout.amountCount());
    const std::size_t totalsStart = lines.size() - 1 - count;
    std::vector<bool> amountLine(lines.size(), false);
    for (std::size_t i = count + 1; i < totalsStart; ++i) {
        if (lines[i] == std::string(kJournalWidth, '-'))
            for (std::size_t k = i - count; k < i; ++k)
                amountLine[k] = true;
    }
    for (std::size_t i = 0; i < totalsStart; ++i) {
        const std::string& line = lines[i];
        if (line.size() == kJournalWidth || line.empty() || line == title)
            continue;
        if (amountLine[i]) {
            require(line.size() > kJournalWidth && line.front() == '|' && line.back() == '|');
            continue;
        }
        // A page number past 99: 110 blanks, " стр." and the number.
        require(line.size() > kJournalWidth && line.compare(0, 110, std::string(110, ' ')) == 0);
    }
    std::size_t next = 0;
    for (std::size_t k = 0; k < count; ++k) {
        std::string expected = "|";
        std::size_t overflow = 0;
        for (std::size_t cell = 0; cell < layout.amountLines[k].amounts; ++cell) {
            const std::string money = orva::formatMoney(totals[next]);
            require(orva::isMoneyText(money));
            overflow += money.size() > layout.totalWidth() ? money.size() - layout.totalWidth() : 0;
            expected += orva::moneyCell(totals[next++], layout.totalWidth());
        }
        expected += std::string(layout.amountLines[k].blanks, ' ') + "|";
        require(lines[totalsStart + k] == expected);
        require(expected.size() == kJournalWidth + overflow);
    }
}

} // namespace fuzz
