// Writes a made-up tax period of any size: pokupki.txt, prodagbi.txt and deklar.txt.
#include "Generate.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    std::size_t purchases = 1000000, sales = 1000000;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--purchases" || arg == "--sales" || arg == "--records") && i + 1 < argc) {
            const std::size_t n = std::strtoull(argv[++i], nullptr, 10);
            if (arg != "--sales")
                purchases = n;
            if (arg != "--purchases")
                sales = n;
        } else if (!arg.empty() && arg[0] != '-' && folder.empty()) {
            folder = arg;
        } else {
            std::fprintf(stderr, "usage: bench_generate [--records N] [--purchases N] [--sales N] FOLDER\n");
            return 1;
        }
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage: bench_generate [--records N] [--purchases N] [--sales N] FOLDER\n");
        return 1;
    }
    try {
        orva::bench::writePeriod(folder, orva::bench::generatePeriod(purchases, sales));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_generate: %s\n", error.what());
        return 2;
    }
    std::printf("%zu purchases and %zu sales written to %s\n", purchases, sales, folder.c_str());
    return 0;
}
