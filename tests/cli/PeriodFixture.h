#pragma once

// Made-up VAT periods for the orva-cli tests come from the shared period builder; this adds the
// in-process runner and a few file helpers.

#include "PeriodBuilder.h"
#include "cli/Cli.h"
#include "render/PageMetrics.h"
#include "render/PrintService.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <QPrinter>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace clitest {

namespace fs = std::filesystem;

using orva::fixture::Cells;
using orva::fixture::Cents;
using orva::fixture::computeCells;
using orva::fixture::consistentPeriod;
using orva::fixture::fit;
using orva::fixture::money;
using orva::fixture::Period;
using orva::fixture::PurchaseRow;
using orva::fixture::purchasesFile;
using orva::fixture::purchasesTotal;
using orva::fixture::rightAligned;
using orva::fixture::SaleRow;
using orva::fixture::salesFile;
using orva::fixture::salesTotal;
using orva::fixture::writeBytes;
using orva::fixture::writePeriod;

// UTF-8 text -> MIK bytes.
inline std::string mik(const std::string& utf8) {
    return orva::fixture::encode(utf8, orva::fixture::CodePage::Mik);
}

inline std::string cp1251(const std::string& utf8) {
    return orva::utf8ToWin1251(utf8);
}

inline std::string declarationRecord(const Period& period) {
    return orva::fixture::returnRecord(period);
}

inline std::string readBytes(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "orva-cli-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline CliResult runCli(const std::vector<std::string>& args,
                        const orva::cli::Environment& environment = orva::cli::Environment::system()) {
    std::ostringstream out;
    std::ostringstream err;
    CliResult run;
    run.status = orva::cli::runCli(args, out, err, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// No printer at all, whatever the machine has.
inline orva::cli::Environment withoutPrinter() {
    orva::cli::Environment environment;
    environment.defaultPrinter = [] { return std::unique_ptr<QPrinter>(); };
    return environment;
}

// An A4 printer without margins whose jobs go to `service` (a recording one), not to a print server.
inline orva::cli::Environment pdfPrinterInto(orva::PrintService& service) {
    orva::cli::Environment environment;
    environment.defaultPrinter = [] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        orva::preparePrinter(*printer);
        return printer;
    };
    environment.printService = &service;
    return environment;
}

inline std::vector<std::string> fileLines(const fs::path& path) {
    return orva::splitLines(readBytes(path));
}

inline std::vector<std::string> listing(const fs::path& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder))
        return names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace clitest
