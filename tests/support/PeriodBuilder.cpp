#include "PeriodBuilder.h"

#include "text/Encoding.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace orva::fixture {

std::string win1251ToMik(std::string win1251) {
    for (char& c : win1251) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0xC0)
            c = static_cast<char>(byte - 0x40);
    }
    return win1251;
}

std::string encode(const std::string& utf8, CodePage codePage) {
    std::string text = utf8ToWin1251(utf8);
    return codePage == CodePage::Mik ? win1251ToMik(std::move(text)) : text;
}

std::string fit(const std::string& text, std::size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, ' ');
    return field;
}

std::string rightAligned(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string aligned(const std::string& text, std::size_t width, Alignment alignment) {
    return alignment == Alignment::Right ? rightAligned(text, width) : fit(text, width);
}

std::string money(Cents cents) {
    char buffer[64];
    const Cents magnitude = cents < 0 ? -cents : cents;
    std::snprintf(buffer, sizeof buffer, "%s%lld.%02lld", cents < 0 ? "-" : "", magnitude / 100, magnitude % 100);
    return buffer;
}

std::string journalRecord(const RecordIdentity& identity, const std::vector<std::string>& amounts, CodePage codePage,
                          Alignment amountAlignment) {
    const auto field = [codePage](const std::string& text, std::size_t width) {
        return fit(encode(text, codePage), width);
    };
    std::string record = field(identity.vatNumber, 15) + field(identity.period, 6) + field(identity.branch, 4) +
                         field(identity.ordinal, 15) + field(identity.kind, 2) + field(identity.documentNumber, 20) +
                         field(identity.date, 10) + field(identity.counterpartyVat, 15) +
                         field(identity.counterpartyName, 50) + field(identity.goods, 30);
    for (const std::string& amount : amounts)
        record += aligned(encode(amount, codePage), kAmountWidth, amountAlignment);
    return record;
}

std::string returnRecord(const ReturnRecord& record, CodePage codePage, Alignment cellAlignment) {
    const auto field = [codePage](const std::string& text, std::size_t width) {
        return fit(encode(text, codePage), width);
    };
    std::string bytes = field(record.vatNumber, 15) + field(record.firmName, 50) + field(record.period, 6) +
                        field(record.signatory, 50) + field(record.field5, 15) + field(record.field6, 15);
    for (const int cell : kRecordCells) {
        const auto text = record.cells.find(cell);
        bytes += aligned(text == record.cells.end() ? std::string() : encode(text->second, codePage),
                         cell == 33 ? 4 : 15, cellAlignment);
    }
    return bytes;
}

std::string crLfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// ---------------------------------------------------------------- consistent periods

Period consistentPeriod(int purchases, int sales) {
    Period period;
    // Records that `orva-cli check` finds sound: the return's firm and period, numbered from 1, ten-digit
    // invoice numbers, a counterparty ЕИК with its check digit.
    const auto identity = [&period](int index, const std::string& counterparty) {
        RecordIdentity fields;
        fields.vatNumber = period.vatNumber;
        fields.period = period.period;
        fields.ordinal = std::to_string(index + 1);
        fields.documentNumber = "000000" + std::to_string(1000 + index);
        fields.counterpartyVat = "BG175074752";
        fields.counterpartyName = counterparty + " " + std::to_string(index + 1);
        fields.goods = "стоки";
        return fields;
    };
    for (int i = 0; i < purchases; ++i) {
        PurchaseRow row;
        row.identity = identity(i, "ДОСТАВЧИК");
        row.amounts = {1000 + 10 * i, 50000 + 3700 * i, 10000 + 740 * i, 20000, 4000, 0, 0};
        period.purchases.push_back(row);
    }
    for (int i = 0; i < sales; ++i) {
        SaleRow row;
        row.identity = identity(i, "КЛИЕНТ");
        Cents* a = row.amounts.data();
        // 11..25 first; 9 and 10 are their sums, as the return's cells 01 and 20 are.
        a[11 - 9] = 100000 + 1050 * i;
        a[12 - 9] = a[11 - 9] / 5;
        a[13 - 9] = 1000 + 100 * i;
        a[14 - 9] = 500;
        a[15 - 9] = (a[13 - 9] + a[14 - 9]) / 5;
        a[16 - 9] = 100;
        a[17 - 9] = 5000;
        a[18 - 9] = 450; // 9 % of column 17
        a[19 - 9] = 200;
        a[20 - 9] = 700;
        a[22 - 9] = 400;
        a[24 - 9] = 125;
        a[9 - 9] = a[11 - 9] + a[13 - 9] + a[14 - 9] + a[17 - 9] + a[19 - 9] + a[20 - 9] + a[21 - 9];
        a[10 - 9] = a[12 - 9] + a[15 - 9] + a[16 - 9] + a[18 - 9];
        period.sales.push_back(row);
    }
    return period;
}

JournalTotals totalsOf(const Period& period) {
    JournalTotals totals;
    for (const PurchaseRow& row : period.purchases)
        for (std::size_t k = 0; k < kPurchaseAmounts; ++k)
            totals.purchases[k] += row.amounts[k];
    for (const SaleRow& row : period.sales)
        for (std::size_t k = 0; k < kSaleAmounts; ++k)
            totals.sales[k] += row.amounts[k];
    totals.purchaseRecords = period.purchases.size();
    totals.saleRecords = period.sales.size();
    return totals;
}

Cents salesTotal(const Period& period, int column) {
    return totalsOf(period).sales[static_cast<std::size_t>(column - 9)];
}

Cents purchasesTotal(const Period& period, int column) {
    return totalsOf(period).purchases[static_cast<std::size_t>(column - 9)];
}

Cells computeCells(const Period& period) {
    return computeCells(period, totalsOf(period));
}

Cells computeCells(const Period& period, const JournalTotals& totals) {
    Cells cells;
    const auto s = [&](int column) { return totals.sales[static_cast<std::size_t>(column - 9)]; };
    const auto p = [&](int column) { return totals.purchases[static_cast<std::size_t>(column - 9)]; };
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

std::string returnRecord(const Period& period) {
    return returnRecord(period, totalsOf(period));
}

std::string returnRecord(const Period& period, const JournalTotals& totals) {
    ReturnRecord record;
    record.vatNumber = period.vatNumber;
    record.firmName = period.firmName;
    record.period = period.period;
    record.signatory = period.signatory;
    const auto count = [&](const std::string& given, std::size_t records) {
        return aligned(given.empty() ? std::to_string(records) : given, 15, period.countAlignment);
    };
    record.field5 = count(period.field5, totals.saleRecords);
    record.field6 = count(period.field6, totals.purchaseRecords);
    for (const auto& [cell, cents] : computeCells(period, totals)) {
        const auto text = period.cellTexts.find(cell);
        record.cells[cell] = text != period.cellTexts.end() ? fit(text->second, cell == 33 ? 4 : 15) : money(cents);
    }
    return returnRecord(record, period.codePage, period.amountAlignment);
}

namespace {

template <typename Row>
std::string journalFile(const Period& period, const std::vector<Row>& rows, const std::map<int, Cents>& firstExtra) {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::vector<std::string> amounts;
        for (std::size_t k = 0; k < rows[i].amounts.size(); ++k) {
            Cents value = rows[i].amounts[k];
            const auto extra = firstExtra.find(static_cast<int>(k + 9));
            if (i == 0 && extra != firstExtra.end())
                value += extra->second;
            amounts.push_back(money(value));
        }
        text += journalRecord(rows[i].identity, amounts, period.codePage, period.amountAlignment) + "\r\n";
    }
    return text;
}

} // namespace

std::string purchasesFile(const Period& period) {
    return journalFile(period, period.purchases, period.firstPurchaseExtra);
}

std::string salesFile(const Period& period) {
    return journalFile(period, period.sales, period.firstSaleExtra);
}

PeriodFiles buildFiles(const Period& period) {
    return {returnRecord(period) + "\r\n", purchasesFile(period), salesFile(period)};
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream << bytes;
    stream.close();
    if (!stream)
        throw std::runtime_error("cannot write " + path);
}

void writePeriod(const Period& period, const std::string& folder) {
    std::filesystem::create_directories(folder);
    const PeriodFiles built = buildFiles(period);
    std::map<std::string, std::string> files = {
        {"deklar.txt", built.deklar}, {"pokupki.txt", built.pokupki}, {"prodagbi.txt", built.prodagbi}};
    for (const auto& [name, bytes] : period.files)
        files[name] = bytes;
    for (const std::string& name : period.missing)
        files.erase(name);
    for (const auto& [name, bytes] : files)
        writeBytes(folder + "/" + name, bytes);
}

} // namespace orva::fixture
