// Times the journal builds against reading and splitting the same file, and against iconv
// converting it, on a period of any size; reports the peak memory of each build.
//
//   bench_journals [--records N] [--lines-per-page N] [--repeat R] [--keep] [FOLDER]
//
// Without FOLDER a period of N records (default 100000) is generated into a temporary folder.
// Each measurement runs in a child process of its own, so its peak memory is its own.
#include "Generate.h"

#include "journals/Journal.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Measure {
    double seconds = 0;       // best of the repeats
    long peakKilobytes = 0;   // of the child process
    double documentBytes = 0; // the journal as saved: every line and its CR LF
    double records = 0;
    bool ok = false;
};

// Runs `work` in a child process; the child writes its figures through a pipe.
template <typename Work> Measure inChild(Work work) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        Measure m{};
        try {
            m = work();
            m.ok = true;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "bench_journals: %s\n", error.what());
        }
        struct rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        m.peakKilobytes = usage.ru_maxrss;
        const ssize_t written = ::write(pipeFds[1], &m, sizeof m);
        ::_exit(written == static_cast<ssize_t>(sizeof m) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    Measure m{};
    if (::read(pipeFds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m))
        m.ok = false;
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return m;
}

Measure readAndSplit(const std::string& path, int repeat) {
    return inChild([&] {
        Measure m;
        m.seconds = 1e30;
        for (int r = 0; r < repeat; ++r) {
            const auto start = Clock::now();
            const std::vector<std::string> lines = orva::splitLines(orva::readFileBytes(path));
            m.seconds = std::min(m.seconds, secondsSince(start));
            m.records = static_cast<double>(lines.size());
        }
        return m;
    });
}

Measure build(const std::string& path, const orva::JournalLayout& layout, int linesPerPage, int repeat) {
    return inChild([&] {
        Measure m;
        m.seconds = 1e30;
        const std::string caption =
            orva::utf8ToWin1251(" ДАНЪЧЕН ПЕРИОД 07/2026     ИН ПО ЗДДС BG123456789     ФИРМА ПРИМЕР ООД");
        for (int r = 0; r < repeat; ++r) {
            // Reading is part of what the window does, but it is timed above; here only the build.
            const std::string bytes = orva::readFileBytes(path);
            const auto start = Clock::now();
            const orva::JournalResult result = orva::buildJournal(bytes, linesPerPage, caption, layout);
            m.seconds = std::min(m.seconds, secondsSince(start));
            double size = 0;
            for (const auto& line : result.lines)
                size += static_cast<double>(line.size() + 2);
            m.documentBytes = size;
            m.records = static_cast<double>(result.records);
        }
        return m;
    });
}

// iconv refuses MIK text as CP866 (MIK's small letters from "р" on are box drawing there, which
// Windows-1251 lacks), so it is timed on a CP866 twin of the file: the same text, the same size.
std::string cp866Twin(const std::string& path) {
    std::string bytes = orva::readFileBytes(path);
    for (char& c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0xB0 && byte <= 0xBF) // MIK р..я -> CP866 р..я
            c = static_cast<char>(byte + 0x30);
    }
    const std::string twin =
        (std::filesystem::temp_directory_path() / ("orva-bench-cp866-" + std::to_string(::getpid()))).string();
    orva::writeFileAtomic(twin, bytes);
    return twin;
}

double iconvSeconds(const std::string& path, int repeat) {
    if (std::system("command -v iconv >/dev/null 2>&1") != 0)
        return -1;
    const std::string twin = cp866Twin(path);
    double best = 1e30;
    const std::string command = "iconv -f CP866 -t CP1251 '" + twin + "' > /dev/null";
    for (int r = 0; r < repeat; ++r) {
        const auto start = Clock::now();
        if (std::system(command.c_str()) != 0) {
            best = -1;
            break;
        }
        best = std::min(best, secondsSince(start));
    }
    std::filesystem::remove(twin);
    return best;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t records = 100000;
    int linesPerPage = 86; // an A4 page at 8 points
    int repeat = 3;
    bool keep = false;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--records" && i + 1 < argc)
            records = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--lines-per-page" && i + 1 < argc)
            linesPerPage = std::atoi(argv[++i]);
        else if (arg == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--keep")
            keep = true;
        else if (!arg.empty() && arg[0] != '-' && folder.empty())
            folder = arg;
        else {
            std::fprintf(stderr, "usage: bench_journals [--records N] [--lines-per-page N] [--repeat R] [--keep] "
                                 "[FOLDER]\n");
            return 1;
        }
    }

    bool generated = false;
    if (folder.empty()) {
        folder = (std::filesystem::temp_directory_path() / ("orva-bench-" + std::to_string(::getpid()))).string();
        const auto start = Clock::now();
        orva::bench::writePeriod(folder, orva::bench::generatePeriod(records, records));
        std::printf("generated %zu purchases and %zu sales in %s (%.2f s)\n", records, records, folder.c_str(),
                    secondsSince(start));
        generated = true;
    }
    std::printf("lines per page %d, best of %d\n\n", linesPerPage, repeat);
    std::printf("%-9s %8s %9s | %-16s | %-16s | %-16s | %6s %6s | %9s %9s %6s\n", "journal", "records", "input MB",
                "read+split s MB/s", "build s   MB/s", "iconv s   MB/s", "b/r+s", "b/icv", "doc MB", "peak MB",
                "p/doc");

    int failures = 0;
    const struct {
        const char* name;
        const char* file;
        const orva::JournalLayout& layout;
    } journals[] = {
        {"purchases", "pokupki.txt", orva::purchasesLayout()},
        {"sales", "prodagbi.txt", orva::salesLayout()},
    };
    for (const auto& journal : journals) {
        const std::string path = folder + "/" + journal.file;
        const double inputMb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
        const Measure split = readAndSplit(path, repeat);
        const Measure built = build(path, journal.layout, linesPerPage, repeat);
        const double iconv = iconvSeconds(path, repeat);
        if (!split.ok || !built.ok) {
            std::printf("%-9s failed\n", journal.name);
            ++failures;
            continue;
        }
        const double peakMb = static_cast<double>(built.peakKilobytes) * 1024 / 1e6;
        const double documentMb = built.documentBytes / 1e6;
        std::printf("%-9s %8.0f %9.1f | %6.3f %9.0f | %6.3f %9.0f | ", journal.name, built.records, inputMb,
                    split.seconds, inputMb / split.seconds, built.seconds, inputMb / built.seconds);
        if (iconv > 0)
            std::printf("%6.3f %9.0f | %6.2f %6.2f | ", iconv, inputMb / iconv, built.seconds / split.seconds,
                        built.seconds / iconv);
        else
            std::printf("%6s %9s | %6.2f %6s | ", "-", "-", built.seconds / split.seconds, "-");
        std::printf("%9.1f %9.1f %6.2f\n", documentMb, peakMb, peakMb / documentMb);
        std::printf("%-9s peak of read+split alone: %.1f MB\n", "", static_cast<double>(split.peakKilobytes) * 1024 / 1e6);
    }
    std::printf("\nb/r+s: build time / read+split time; b/icv: build time / iconv time; peak: the build's process, "
                "input file bytes included; p/doc: peak / document bytes\n");

    if (generated && !keep)
        std::filesystem::remove_all(folder);
    return failures == 0 ? 0 : 2;
}
