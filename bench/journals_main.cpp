// Times the journal builds against reading and splitting the same file, and against iconv
// converting it, on a period of any size; reports the peak memory of each build.
//
//   bench_journals [--records N] [--lines-per-page N] [--repeat R] [--keep] [FOLDER]
//
// Without FOLDER a period of N records (default 100000) is generated into a temporary folder.
// Each measurement runs in a child process of its own, so its peak memory is its own.
#include "Generate.h"

#include "journals/Journal.h"
#include "period/PeriodSession.h"
#include "text/Encoding.h"
#include "text/LineFile.h"
#include "text/LineSource.h"

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

// The journal from the file's bytes by the engine alone (the reading is timed apart, above), or as
// every program reads it: through the period session, which surveys the files (every byte counted
// for its code page) and reads the journal in chunks as the build goes (the reading is part of the time).
Measure build(const std::string& folder, const std::string& path, orva::JournalKind kind, int linesPerPage, int repeat,
              bool session) {
    return inChild([&] {
        Measure m;
        m.seconds = 1e30;
        const std::string caption =
            orva::utf8ToWin1251(" ДАНЪЧЕН ПЕРИОД 07/2026     ИН ПО ЗДДС BG123456789     ФИРМА ПРИМЕР ООД");
        for (int r = 0; r < repeat; ++r) {
            std::string bytes;
            if (!session)
                bytes = orva::readFileBytes(path);
            std::vector<std::string> lines;
            orva::LineCollector sink(lines);
            const auto start = Clock::now();
            orva::JournalSummary summary;
            if (session) {
                summary = orva::PeriodSession(folder).journal(kind, linesPerPage, sink);
            } else {
                orva::MemoryLineSource source(bytes);
                summary = orva::writeJournal(source, linesPerPage, caption,
                                             orva::journalLayout(kind, orva::Wording::Classic), sink);
            }
            m.seconds = std::min(m.seconds, secondsSince(start));
            double size = 0;
            for (const auto& line : lines)
                size += static_cast<double>(line.size() + 2);
            m.documentBytes = size;
            m.records = static_cast<double>(summary.records);
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
    std::printf("lines per page %d, best of %d; each measurement in a process of its own\n", linesPerPage, repeat);

    int failures = 0;
    const struct {
        const char* name;
        const char* file;
        orva::JournalKind kind;
    } journals[] = {
        {"purchases", orva::kPurchasesFileName, orva::JournalKind::Purchases},
        {"sales", orva::kSalesFileName, orva::JournalKind::Sales},
    };
    auto megabytes = [](long kilobytes) { return static_cast<double>(kilobytes) * 1024 / 1e6; };
    for (const auto& journal : journals) {
        const std::string path = folder + "/" + journal.file;
        const double inputMb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
        const Measure split = readAndSplit(path, repeat);
        const Measure fromBytes = build(folder, path, journal.kind, linesPerPage, repeat, false);
        const Measure fromFile = build(folder, path, journal.kind, linesPerPage, repeat, true);
        const double iconv = iconvSeconds(path, repeat);
        if (!split.ok || !fromBytes.ok || !fromFile.ok) {
            std::printf("%s: failed\n", journal.name);
            ++failures;
            continue;
        }
        const double documentMb = fromFile.documentBytes / 1e6;
        std::printf("\n%s: %.0f records, %.1f MB of input, a document of %.1f MB (%.0f bytes with CR LF)\n",
                    journal.name, fromFile.records, inputMb, documentMb, fromFile.documentBytes);
        auto row = [&](const char* what, const Measure& m) {
            std::printf("  %-34s %7.3f s %7.0f MB/s   peak %7.1f MB = %.2f x document\n", what, m.seconds,
                        inputMb / m.seconds, megabytes(m.peakKilobytes), megabytes(m.peakKilobytes) / documentMb);
        };
        row("read + splitLines", split);
        row("engine (bytes already read)", fromBytes);
        row("period session (surveys, reads)", fromFile);
        if (iconv > 0)
            std::printf("  %-34s %7.3f s %7.0f MB/s\n", "iconv -f CP866 -t CP1251", iconv, inputMb / iconv);
        std::printf("  build / (read + split): %.2f (bytes), %.2f (file)\n", fromBytes.seconds / split.seconds,
                    fromFile.seconds / split.seconds);
        if (iconv > 0)
            std::printf("  build / iconv:          %.2f (bytes), %.2f (file)\n", fromBytes.seconds / iconv,
                        fromFile.seconds / iconv);
    }
    std::printf("\npeak: the measuring process's maximum resident set (getrusage), the input bytes included "
                "where they are held\n");

    if (generated && !keep)
        std::filesystem::remove_all(folder);
    return failures == 0 ? 0 : 2;
}
