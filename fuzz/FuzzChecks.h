#pragma once

// Output properties every fuzz target holds its documents to. A violation aborts, which libFuzzer
// reports as a crash with the input that caused it.

#include "journals/Journal.h"
#include "text/Money.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdlib.h>
#include <string>
#include <string_view>
#include <unistd.h>
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

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
inline bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        std::uint32_t point = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// A folder of this process's own for the targets that read and write files, in memory where the
// machine has /dev/shm (the writers sync every file); removed with what is in it when the process ends.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/orva-fuzz-XXXXXX";
        require(::mkdtemp(pattern.data()) != nullptr);
        path_ = pattern;
    }
    ~ScratchFolder() {
        const std::string command = "rm -rf '" + path_ + "'";
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline const ScratchFolder& scratch() {
    static const ScratchFolder folder;
    return folder;
}

// Writes `bytes` as the whole file at `path`.
inline void writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    require(file != nullptr);
    require(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    require(std::fclose(file) == 0);
}

// A built journal: it ends with its totals and its closing line; every line is 117 wide except the
// title, page numbers past 99 and the amount and totals lines, which may be wider when an amount is
// as wide as its cell or wider (it is shown whole, a blank before it unless it opens its line). Each
// total is a money text in its cell, the totals lines are exactly those cells.
inline void requireJournal(const std::vector<std::string>& lines, const orva::JournalLayout& layout,
                           const std::string& title, const std::vector<orva::ExactDecimal>& totals) {
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
            const std::string money = totals[next].moneyText();
            require(orva::isMoneyText(money));
            overflow += money.size() > layout.totalWidth() ? money.size() - layout.totalWidth() : 0;
            if (cell != 0 && money.size() >= layout.totalWidth()) {
                expected += ' ';
                ++overflow;
            }
            expected += orva::moneyCell(totals[next++], layout.totalWidth());
        }
        expected += std::string(layout.amountLines[k].blanks, ' ') + "|";
        require(lines[totalsStart + k] == expected);
        require(expected.size() == kJournalWidth + overflow);
    }
}

} // namespace fuzz
