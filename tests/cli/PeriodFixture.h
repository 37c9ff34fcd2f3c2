#pragma once

// Writes small made-up VAT periods (deklar.txt, pokupki.txt, prodagbi.txt in the MIK code page)
// for the orva-cli tests. Amounts are kept in whole cents so that the return's cells agree with
// the journals exactly; a test bends one of them to make one rule fail.

#include "cli/Cli.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace clitest {

namespace fs = std::filesystem;

using Cents = long long;

// UTF-8 text -> MIK bytes (Windows-1251 0xC0..0xFF move down to 0x80..0xBF).
inline std::string mik(const std::string& utf8) {
    std::string text = orva::utf8ToWin1251(utf8);
    for (char& c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0xC0)
            c = static_cast<char>(byte - 0x40);
    }
    return text;
}

inline std::string cp1251(const std::string& utf8) {
    return orva::utf8ToWin1251(utf8);
}

// `text` left-aligned in `width` single-byte characters.
inline std::string fit(const std::string& text, std::size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, ' ');
    return field;
}

inline std::string money(Cents cents) {
    char buffer[64];
    const Cents magnitude = cents < 0 ? -cents : cents;
    std::snprintf(buffer, sizeof buffer, "%s%lld.%02lld", cents < 0 ? "-" : "", magnitude / 100, magnitude % 100);
    return buffer;
}

inline std::string rightAligned(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

struct PurchaseRow {
    std::array<Cents, 7> amounts{}; // columns 9 to 15
};

struct SaleRow {
    std::array<Cents, 17> amounts{}; // columns 9 to 25
};

// The return's cells in cents (cell 33 in hundredths as well).
using Cells = std::map<int, Cents>;

struct Period {
    std::string vat = "BG123456789";
    std::string firm = "ТЕСТОВА ФИРМА ЕООД";
    std::string period = "202610"; // year, then month
    std::string signatory = "  Иван Петров  ";
    std::string field5; // empty: the number of sales records
    std::string field6; // empty: the number of purchase records
    std::vector<PurchaseRow> purchases;
    std::vector<SaleRow> sales;
    Cents k33 = 50; // 0.50

    // Changes to the cells: before cells 40, 50 and 60 are derived from the others, and after.
    std::function<void(Cells&)> beforeDerived;
    std::function<void(Cells&)> afterDerived;
    // Cell texts that replace the formatted ones (for cells that are not numbers).
    std::map<int, std::string> cellTexts;
    // Added to the first record's column in the journal file only, after the cells are computed.
    std::map<int, Cents> firstSaleExtra;
    std::map<int, Cents> firstPurchaseExtra;
    // Whole files that replace the generated ones (name -> bytes); an empty optional removes one.
    std::map<std::string, std::string> files;
    std::vector<std::string> missing;
};

// A consistent period of `purchases` and `sales` records.
inline Period consistentPeriod(int purchases = 4, int sales = 5) {
    Period period;
    for (int i = 0; i < purchases; ++i) {
        PurchaseRow row;
        row.amounts = {1000 + 10 * i, 50000 + 3700 * i, 10000 + 740 * i, 20000, 4000, 0, 0};
        period.purchases.push_back(row);
    }
    for (int i = 0; i < sales; ++i) {
        SaleRow row;
        Cents* a = row.amounts.data();
        // 11..25 first; 9 and 10 are their sums, as the return's cells 01 and 20 are.
        a[11 - 9] = 100000 + 1050 * i;
        a[12 - 9] = a[11 - 9] / 5;
        a[13 - 9] = 1000 + 100 * i;
        a[14 - 9] = 500;
        a[15 - 9] = (a[13 - 9] + a[14 - 9]) / 5;
        a[16 - 9] = 100;
        a[17 - 9] = 5000;
        a[18 - 9] = 350;
        a[19 - 9] = 200;
        a[20 - 9] = 700;
        a[21 - 9] = 0;
        a[22 - 9] = 400;
        a[23 - 9] = 0;
        a[24 - 9] = 125;
        a[25 - 9] = 0;
        a[9 - 9] = a[11 - 9] + a[13 - 9] + a[14 - 9] + a[17 - 9] + a[19 - 9] + a[20 - 9] + a[21 - 9];
        a[10 - 9] = a[12 - 9] + a[15 - 9] + a[16 - 9] + a[18 - 9];
        period.sales.push_back(row);
    }
    return period;
}

inline Cents salesTotal(const Period& period, int column) {
    Cents total = 0;
    for (const SaleRow& row : period.sales)
        total += row.amounts[static_cast<std::size_t>(column - 9)];
    return total;
}

inline Cents purchasesTotal(const Period& period, int column) {
    Cents total = 0;
    for (const PurchaseRow& row : period.purchases)
        total += row.amounts[static_cast<std::size_t>(column - 9)];
    return total;
}

inline Cells computeCells(const Period& period) {
    Cells cells;
    const auto s = [&](int column) { return salesTotal(period, column); };
    const auto p = [&](int column) { return purchasesTotal(period, column); };
    cells[1] = s(9);
    cells[20] = s(10);
    cells[11] = s(11);
    cells[21] = s(12);
    cells[12] = s(13) + s(14);
    cells[22] = s(15);
    cells[23] = s(16);
    cells[13] = s(17);
    cells[24] = s(18);
    cells[14] = s(19);
    cells[15] = s(20);
    cells[16] = s(21);
    cells[17] = s(22);
    cells[18] = s(23);
    cells[19] = s(24);
    cells[30] = p(9);
    cells[31] = p(10);
    cells[41] = p(11);
    cells[32] = p(12);
    cells[42] = p(13);
    cells[43] = p(14);
    cells[33] = period.k33;
    for (int n : {70, 71, 80, 81, 82})
        cells[n] = 0;
    if (period.beforeDerived)
        period.beforeDerived(cells);
    cells[40] = cells[41] + cells[42] * cells[33] / 100 + cells[43];
    const Cents difference = cells[20] - cells[40];
    cells[50] = difference > 0 ? difference : 0;
    cells[60] = difference > 0 ? 0 : -difference;
    if (period.afterDerived)
        period.afterDerived(cells);
    return cells;
}

// The record order of the cells in deklar.txt.
inline constexpr int kRecordCells[] = {1,  20, 11, 21, 12, 22, 13, 23, 14, 24, 15, 16, 17, 18, 19,
                                       30, 31, 41, 32, 42, 43, 33, 40, 50, 60, 70, 71, 80, 81, 82};

inline std::string declarationRecord(const Period& period) {
    const Cells cells = computeCells(period);
    std::string record =
        fit(period.vat, 15) + fit(mik(period.firm), 50) + fit(period.period, 6) + fit(mik(period.signatory), 50);
    record += rightAligned(period.field5.empty() ? std::to_string(period.sales.size()) : period.field5, 15);
    record += rightAligned(period.field6.empty() ? std::to_string(period.purchases.size()) : period.field6, 15);
    for (int n : kRecordCells) {
        const std::size_t width = n == 33 ? 4 : 15;
        const auto text = period.cellTexts.find(n);
        record += text != period.cellTexts.end() ? fit(text->second, width) : rightAligned(money(cells.at(n)), width);
    }
    return record;
}

inline std::string identity(int index, const std::string& counterparty) {
    return fit("BG111111111", 15) + fit("000001", 6) + fit("0001", 4) + fit("123456789", 15) + fit("01", 2) +
           fit(std::to_string(1000 + index), 20) + fit("05.10.2026", 10) + fit("BG222222222", 15) +
           fit(mik(counterparty), 50) + fit(mik("стоки"), 30);
}

inline std::string purchasesFile(const Period& period) {
    std::string text;
    for (std::size_t i = 0; i < period.purchases.size(); ++i) {
        std::string record = identity(static_cast<int>(i), "ДОСТАВЧИК " + std::to_string(i + 1));
        for (std::size_t k = 0; k < 7; ++k) {
            Cents value = period.purchases[i].amounts[k];
            if (i == 0 && period.firstPurchaseExtra.count(static_cast<int>(k + 9)))
                value += period.firstPurchaseExtra.at(static_cast<int>(k + 9));
            record += rightAligned(money(value), 15);
        }
        text += record + "\r\n";
    }
    return text;
}

inline std::string salesFile(const Period& period) {
    std::string text;
    for (std::size_t i = 0; i < period.sales.size(); ++i) {
        std::string record = identity(static_cast<int>(i), "КЛИЕНТ " + std::to_string(i + 1));
        for (std::size_t k = 0; k < 17; ++k) {
            Cents value = period.sales[i].amounts[k];
            if (i == 0 && period.firstSaleExtra.count(static_cast<int>(k + 9)))
                value += period.firstSaleExtra.at(static_cast<int>(k + 9));
            record += rightAligned(money(value), 15);
        }
        text += record + "\r\n";
    }
    return text;
}

inline void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream << bytes;
}

inline std::string readBytes(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

// Writes the period's three files into `folder` (created).
inline void writePeriod(const Period& period, const fs::path& folder) {
    fs::create_directories(folder);
    std::map<std::string, std::string> files = {{"deklar.txt", declarationRecord(period) + "\r\n"},
                                                {"pokupki.txt", purchasesFile(period)},
                                                {"prodagbi.txt", salesFile(period)}};
    for (const auto& [name, bytes] : period.files)
        files[name] = bytes;
    for (const std::string& name : period.missing)
        files.erase(name);
    for (const auto& [name, bytes] : files)
        writeBytes(folder / name, bytes);
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
