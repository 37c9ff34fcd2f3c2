// Times the window's find over a big journal: a search from the top whose only match is on the
// last line, letter case aside, as Ctrl+F and Enter do.
//
//   bench_find [--lines N] [--repeat R]
//
// N lines (default 1000000) of a journal row's width with Cyrillic and Latin text; prints the best time.
#include "text/DocumentSearch.h"
#include "text/Encoding.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    long lines = 1000000;
    int repeat = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lines") == 0)
            lines = std::atol(argv[i + 1]);
        else if (std::strcmp(argv[i], "--repeat") == 0)
            repeat = std::atoi(argv[i + 1]);
    }
    if (lines < 1)
        return 1;
    std::string row = orva::utf8ToWin1251("|     1|    | 01|0000000001          |01.10.2026 |BG123456786    |"
                                          "ФИРМА ЕООД                     |стоки              |");
    row += std::string(230 - std::min<std::size_t>(230, row.size()), ' ');
    orva::LineListText text;
    for (long i = 0; i + 1 < lines; ++i)
        text.append(row);
    text.append(orva::utf8ToWin1251("ДНЕВНИК НА ПОКУПКИТЕ, ПОСЛЕДЕН РЕД"));
    const std::string needle = orva::utf8ToWin1251("последен ред");

    double best = 1e9;
    for (int run = 0; run < repeat; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const auto match = orva::findInDocument(text, needle, 0, 0, true);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!match || match->line + 1 != static_cast<std::size_t>(lines))
            return 2;
    }
    std::printf("find, %ld lines of %zu bytes, match on the last line: %.3f s (best of %d)\n", lines, row.size(), best,
                repeat);
    return 0;
}
