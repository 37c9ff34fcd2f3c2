// orva-cli print of one document as the command runs it, up to the print server: the job goes to a
// PDF printer on A4 and the print service only counts its bytes. Reports the time and the peak
// memory of the process (run it under /usr/bin/time -v for the same figure from outside).
//
//   bench_print --document label|purchases|sales|return FOLDER
#include "cli/Cli.h"
#include "render/PageMetrics.h"
#include "render/PrintService.h"

#include <QPrinter>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sys/resource.h>

namespace {

class CountingPrintService final : public orva::PrintService {
public:
    long long bytes = 0;
    int submitPdf(const std::string&, const std::string& pdfPath, const std::string&,
                  const orva::JobOptions&) override {
        std::ifstream file(pdfPath, std::ios::binary | std::ios::ate);
        bytes = static_cast<long long>(file.tellg());
        return 1;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::string(argv[1]) != "--document") {
        std::fprintf(stderr, "usage: bench_print --document label|purchases|sales|return FOLDER\n");
        return 1;
    }
    // No print server is asked: the printer is the bench's own.
    ::setenv("CUPS_SERVER", "/nonexistent/orva-bench-has-no-print-server", 1);
    CountingPrintService service;
    orva::cli::Environment environment;
    environment.defaultPrinter = [] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        orva::preparePrinter(*printer);
        return printer;
    };
    environment.printService = &service;
    const auto start = std::chrono::steady_clock::now();
    const int status = orva::cli::runCli({"print", "--document", argv[2], argv[3]}, std::cout, std::cerr, environment);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("print --document %s: status %d, %.2f s, job %lld bytes, peak RSS %ld kB\n", argv[2], status, seconds,
                service.bytes, usage.ru_maxrss);
    return status;
}
