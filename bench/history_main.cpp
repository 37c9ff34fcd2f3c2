// Times the update of the dialog's histories as the window does it after OK: each history file
// read again under the lock and the instance's entries (the file as it was loaded, plus one typed
// line) merged into it, then written back.
//
//   bench_history [--lines N] [--repeat R]
//
// N lines (default 60000) in each of the three files, distinct ignoring case; prints the best time.
#include "sidefiles/SideFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    long lines = 60000;
    int repeat = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lines") == 0)
            lines = std::atol(argv[i + 1]);
        else if (std::strcmp(argv[i], "--repeat") == 0)
            repeat = std::atoi(argv[i + 1]);
    }
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "orva-bench-history-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const orva::SideFileLocations files = orva::sideFilesBeside(pattern + "/orva");

    std::vector<std::string> history;
    for (long i = 0; i < lines; ++i)
        history.push_back("Sofia, Main Str. " + std::to_string(i) + ", office " + std::to_string(i % 97));
    orva::writeLinesFile(files.addresses, history);
    orva::writeLinesFile(files.signatories, history);
    orva::writeLinesFile(files.positions, history);

    // The merge alone: one history on disk with this instance's copy of it and one typed line.
    double bestMerge = 1e9;
    for (int run = 0; run < repeat; ++run) {
        std::vector<std::string> merged = history;
        std::vector<std::string> entries = history;
        entries.push_back("typed");
        const auto start = std::chrono::steady_clock::now();
        orva::mergeHistory(merged, entries);
        bestMerge =
            std::min(bestMerge, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (merged.size() != history.size() + 1)
            return 1;
    }

    double best = 1e9;
    for (int run = 0; run < repeat; ++run) {
        orva::DialogMemory memory = orva::loadDialogMemory(files);
        orva::addToHistory(memory.addresses, "typed " + std::to_string(run));
        const auto start = std::chrono::steady_clock::now();
        orva::saveHistories(files, memory);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("history lines: %ld in each of 3 files\nmergeHistory of one: %.3f s (best of %d)\nsaveHistories (read, "
                "merge, write all three): %.3f s "
                "(best of %d)\n",
                lines, bestMerge, repeat, best, repeat);
    fs::remove_all(pattern);
    return 0;
}
