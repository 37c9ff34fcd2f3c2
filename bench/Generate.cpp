#include "Generate.h"

#include "PeriodBuilder.h"
#include "text/LineFile.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace orva::bench {

namespace {

namespace fixture = orva::fixture;

const std::array<const char*, 12> kFirms = {
    "ЕЛЕКТРОРАЗПРЕДЕЛЕНИЕ ЮГ ЕАД",
    "СТРОЙМАТЕРИАЛИ БЪЛГАРИЯ ООД",
    "ТЪРГОВСКА КЪЩА СВЕТЛИНА И ЕНЕРГИЯ ЕООД",
    "ОФИС ТРЕЙД ООД",
    "ТОПЛИВО АД",
    "ХОТЕЛ МОРСКА ЗВЕЗДА ЕООД",
    "ГЛОБАЛ ТРЕЙДИНГ ГМБХ",
    "МЕСОКОМБИНАТ РОДОПИ АД",
    "ТРАНСПОРТНА КОМПАНИЯ БАЛКАН ЕООД",
    "СОФТУЕРНИ РЕШЕНИЯ ЕТ",
    "ЗЕМЕДЕЛСКА КООПЕРАЦИЯ НАПРЕДЪК",
    "ВИК ВАРНА ООД",
};
const std::array<const char*, 10> kGoods = {
    "Канцеларски материали", "Електрическа енергия", "Строителни материали", "Гориво",       "Нощувки",
    "Транспортни услуги",    "Хранителни стоки",     "Софтуер и поддръжка",  "Вода и канал", "Консултантски услуги",
};

fixture::RecordIdentity identity(std::mt19937& random, const std::string& vat, std::size_t n, bool foreign) {
    const std::size_t firm = random() % kFirms.size();
    fixture::RecordIdentity fields;
    fields.counterpartyVat = foreign ? "DE" + std::to_string(100000000 + random() % 899999999)
                                     : "BG" + std::to_string(100000000 + firm * 7919);
    char number[24], date[16];
    std::snprintf(number, sizeof number, "%010zu", n);
    std::snprintf(date, sizeof date, "%02u/07/2026", static_cast<unsigned>(1 + random() % 31));
    // Drawn in this order so that a seed gives the same period as it always has.
    fields.goods = kGoods[random() % kGoods.size()];
    fields.kind = random() % 20 == 0 ? "03" : "01";
    fields.branch = std::to_string(1 + random() % 3);
    fields.vatNumber = vat;
    fields.period = "202607";
    fields.ordinal = std::to_string(n);
    fields.documentNumber = number;
    fields.date = date;
    fields.counterpartyName = kFirms[firm];
    return fields;
}

// The amounts of one record as the journal shows them, added to the column totals.
template <std::size_t N>
std::vector<std::string> amounts(const std::array<std::int64_t, N>& cents, std::array<fixture::Cents, N>& totals) {
    std::vector<std::string> texts;
    for (std::size_t k = 0; k < N; ++k) {
        texts.push_back(fixture::money(cents[k]));
        totals[k] += cents[k];
    }
    return texts;
}

std::int64_t base(std::mt19937& random) {
    // Mostly small invoices, now and then a large one.
    const std::int64_t cents = 1000 + static_cast<std::int64_t>(random() % 500000);
    return random() % 50 == 0 ? cents * 100 : cents;
}

} // namespace

PeriodFiles generatePeriod(std::size_t purchases, std::size_t sales, std::uint32_t seed) {
    std::mt19937 random(seed);
    const std::string vat = "BG123456786";
    PeriodFiles files;
    fixture::JournalTotals totals;
    totals.purchaseRecords = purchases;
    totals.saleRecords = sales;

    files.pokupki.reserve(purchases * 274);
    for (std::size_t n = 1; n <= purchases; ++n) {
        std::array<std::int64_t, 7> a{};
        const std::int64_t b = base(random);
        const unsigned kind = random() % 10;
        if (kind == 0) {
            a[0] = b + b / 5; // no right to a credit: base and VAT together
        } else if (kind == 1) {
            a[3] = b, a[4] = b / 5; // partial credit
        } else {
            a[1] = b, a[2] = b / 5; // full credit
        }
        const fixture::RecordIdentity fields = identity(random, vat, n, false);
        files.pokupki += fixture::journalRecord(fields, amounts(a, totals.purchases)) + "\r\n";
    }

    files.prodagbi.reserve(sales * 424);
    for (std::size_t n = 1; n <= sales; ++n) {
        std::array<std::int64_t, 17> a{};
        const std::int64_t b = base(random);
        const unsigned kind = random() % 20;
        bool foreign = false;
        if (kind == 0) {
            a[0] = b, a[8] = b, a[1] = b * 7 / 100, a[9] = b * 7 / 100; // 7%
        } else if (kind == 1) {
            a[0] = b, a[11] = b, foreign = true; // intra-Community supply, 0%
        } else if (kind == 2) {
            a[0] = b, a[10] = b; // export, 0%
        } else {
            a[0] = b, a[2] = b, a[1] = b / 5, a[3] = b / 5; // 20%
        }
        const fixture::RecordIdentity fields = identity(random, vat, n, foreign);
        files.prodagbi += fixture::journalRecord(fields, amounts(a, totals.sales)) + "\r\n";
    }

    // The return record, its cells taken from the journals' totals (coefficient 1.00).
    fixture::Period period;
    period.vatNumber = vat;
    period.firmName = "ФИРМА ПРИМЕР ООД";
    period.period = "202607";
    period.signatory = "Иван Петров Иванов";
    period.countAlignment = fixture::Alignment::Left;
    period.k33 = 100;
    files.deklar = fixture::returnRecord(period, totals) + "\r\n";
    return files;
}

void writePeriod(const std::string& folder, const PeriodFiles& files) {
    std::filesystem::create_directories(folder);
    writeFileAtomic(folder + "/pokupki.txt", files.pokupki);
    writeFileAtomic(folder + "/prodagbi.txt", files.prodagbi);
    writeFileAtomic(folder + "/deklar.txt", files.deklar);
}

} // namespace orva::bench
