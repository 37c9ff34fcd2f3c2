#pragma once

// Made-up VAT periods for the tests and benchmarks: the return record and the journal records as
// a Bulgarian accounting program writes them, in the MIK or the Windows-1251 code page. Texts are
// given in UTF-8 and encoded here; every field is cut or padded to its width in bytes.
//
// Two levels: the record writers take the fields as texts (for records that break a rule), and
// Period holds amounts in whole cents, so that the return's cells agree with the journals exactly
// and a test bends one of them to make one rule fail.

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orva::fixture {

using Cents = long long;

enum class CodePage { Mik, Windows1251 };
enum class Alignment { Left, Right };

// UTF-8 text in the code page (the Cyrillic letters; ASCII and other bytes pass unchanged).
std::string encode(const std::string& utf8, CodePage codePage);
// Windows-1251 bytes in MIK: the letters 0xC0..0xFF move down to 0x80..0xBF.
std::string win1251ToMik(std::string win1251);

// `text` left-aligned in `width` bytes, cut when longer.
std::string fit(const std::string& text, std::size_t width);
// `text` right-aligned in `width` bytes; a longer text stands whole.
std::string rightAligned(const std::string& text, std::size_t width);
std::string aligned(const std::string& text, std::size_t width, Alignment alignment);
// Cents as "-1234.56".
std::string money(Cents cents);

// Fields 1 to 10 of a journal record: 167 bytes, each field left-aligned and cut to its width.
struct RecordIdentity {
    std::string vatNumber = "BG123456786"; // 15
    std::string period = "202610";         // 6
    std::string branch = "0001";           // 4
    std::string ordinal = "123456789";     // 15
    std::string kind = "01";               // 2
    std::string documentNumber;            // 20
    std::string date = "05.10.2026";       // 10
    std::string counterpartyVat;           // 15
    std::string counterpartyName;          // 50
    std::string goods;                     // 30
};

inline constexpr std::size_t kIdentityWidth = 167;
inline constexpr std::size_t kAmountWidth = 15;
inline constexpr std::size_t kPurchaseAmounts = 7; // journal columns 9 to 15: records of 272 bytes
inline constexpr std::size_t kSaleAmounts = 17;    // journal columns 9 to 25: records of 422 bytes

// One journal record, without its line end: the identity, then each amount text in 15 bytes.
std::string journalRecord(const RecordIdentity& identity, const std::vector<std::string>& amounts,
                          CodePage codePage = CodePage::Mik, Alignment amountAlignment = Alignment::Right);

// The return record, 590 bytes without its line end.
struct ReturnRecord {
    std::string vatNumber = "BG123456786"; // 15
    std::string firmName;                  // 50
    std::string period = "202610";         // 6
    std::string signatory;                 // 50
    std::string field5;                    // 15
    std::string field6;                    // 15
    std::map<int, std::string> cells;      // by cell number; a missing cell is blank
};

// The cells in their record order; cell 33 is 4 bytes wide, every other 15.
inline constexpr std::array<int, 30> kRecordCells = {1,  20, 11, 21, 12, 22, 13, 23, 14, 24, 15, 16, 17, 18, 19,
                                                     30, 31, 41, 32, 42, 43, 33, 40, 50, 60, 70, 71, 80, 81, 82};

// Fields 1 to 6 left-aligned; the cells aligned as `cellAlignment` says.
std::string returnRecord(const ReturnRecord& record, CodePage codePage = CodePage::Mik,
                         Alignment cellAlignment = Alignment::Right);

// Lines joined with CR LF after every line.
std::string crLfLines(const std::vector<std::string>& lines);

// ---------------------------------------------------------------- consistent periods

struct PurchaseRow {
    RecordIdentity identity;
    std::array<Cents, kPurchaseAmounts> amounts{}; // columns 9 to 15
};

struct SaleRow {
    RecordIdentity identity;
    std::array<Cents, kSaleAmounts> amounts{}; // columns 9 to 25
};

// The return's cells in cents (cell 33 in hundredths as well).
using Cells = std::map<int, Cents>;

struct Period {
    std::string vatNumber = "BG123456786";
    std::string firmName = "ТЕСТОВА ФИРМА ЕООД";
    std::string period = "202610"; // year, then month
    std::string signatory = "  Иван Петров  ";
    std::string field5;                          // empty: the number of sales records
    std::string field6;                          // empty: the number of purchase records
    Alignment countAlignment = Alignment::Right; // of fields 5 and 6
    std::vector<PurchaseRow> purchases;
    std::vector<SaleRow> sales;
    Cents k33 = 50; // 0.50

    CodePage codePage = CodePage::Mik;
    Alignment amountAlignment = Alignment::Right; // of the journals' amounts and the return's cells

    // Changes to the cells: before cells 40, 50 and 60 are derived from the others, and after.
    std::function<void(Cells&)> beforeDerived;
    std::function<void(Cells&)> afterDerived;
    // Cell texts that replace the formatted ones (for cells that are not numbers), left-aligned.
    std::map<int, std::string> cellTexts;
    // Added to the first record's column in the journal file only, after the cells are computed.
    std::map<int, Cents> firstSaleExtra;
    std::map<int, Cents> firstPurchaseExtra;
    // Whole files that replace the built ones (name -> bytes), and files left out.
    std::map<std::string, std::string> files;
    std::vector<std::string> missing;
};

// A consistent period of `purchases` and `sales` small records, amounts growing with the index.
Period consistentPeriod(int purchases = 4, int sales = 5);

// The journals' column totals and record counts. A period too large to hold as rows (the
// benchmarks') writes its records as it goes and gives these for the return record.
struct JournalTotals {
    std::array<Cents, kPurchaseAmounts> purchases{};
    std::array<Cents, kSaleAmounts> sales{};
    std::size_t purchaseRecords = 0;
    std::size_t saleRecords = 0;
};
JournalTotals totalsOf(const Period& period);
Cents purchasesTotal(const Period& period, int column);
Cents salesTotal(const Period& period, int column);

// The return's cells from the journals' totals: cell 40 = 41 + 42 * 33 + 43, then 50 and 60.
Cells computeCells(const Period& period, const JournalTotals& totals);
Cells computeCells(const Period& period);

// The return record of the period (its rows are not read when `totals` are given).
std::string returnRecord(const Period& period, const JournalTotals& totals);
std::string returnRecord(const Period& period);
std::string purchasesFile(const Period& period); // CR LF after every record
std::string salesFile(const Period& period);

struct PeriodFiles {
    std::string deklar;
    std::string pokupki;
    std::string prodagbi;
};
PeriodFiles buildFiles(const Period& period);

// Writes `bytes` to `path` whole (throws when it cannot).
void writeBytes(const std::string& path, const std::string& bytes);
// Writes the period's files into `folder` (created), with Period::files and Period::missing applied.
void writePeriod(const Period& period, const std::string& folder);

} // namespace orva::fixture
