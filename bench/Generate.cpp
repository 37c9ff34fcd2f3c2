#include "Generate.h"

#include "text/Encoding.h"
#include "text/LineFile.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

namespace orva::bench {

namespace {

// UTF-8 to the MIK code page: Windows-1251 first, then its letters 0xC0..0xFF down by 0x40.
std::string toMik(const std::string& utf8) {
    std::string text = utf8ToWin1251(utf8);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0xC0)
            c = static_cast<char>(byte - 0x40);
    }
    return text;
}

std::string fit(const std::string& text, std::size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, ' ');
    return field;
}

// Cents as "1234.56", right-aligned in `width`.
std::string money(std::int64_t cents, std::size_t width) {
    char buffer[40];
    const bool negative = cents < 0;
    const std::int64_t magnitude = negative ? -cents : cents;
    std::snprintf(buffer, sizeof buffer, "%s%lld.%02lld", negative ? "-" : "", static_cast<long long>(magnitude / 100),
                  static_cast<long long>(magnitude % 100));
    const std::string text(buffer);
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

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

std::string identity(std::mt19937& random, const std::string& vat, std::size_t n, bool foreign) {
    const std::size_t firm = random() % kFirms.size();
    const std::string counterparty = foreign ? "DE" + std::to_string(100000000 + random() % 899999999)
                                             : "BG" + std::to_string(100000000 + firm * 7919);
    char number[24], date[16];
    std::snprintf(number, sizeof number, "%010zu", n);
    std::snprintf(date, sizeof date, "%02u/07/2026", static_cast<unsigned>(1 + random() % 31));
    return fit(vat, 15) + "202607" + fit(std::to_string(1 + random() % 3), 4) + fit(std::to_string(n), 15) +
           (random() % 20 == 0 ? "03" : "01") + fit(number, 20) + date + fit(counterparty, 15) +
           fit(toMik(kFirms[firm]), 50) + fit(toMik(kGoods[random() % kGoods.size()]), 30);
}

std::int64_t base(std::mt19937& random) {
    // Mostly small invoices, now and then a large one.
    const std::int64_t cents = 1000 + static_cast<std::int64_t>(random() % 500000);
    return random() % 50 == 0 ? cents * 100 : cents;
}

} // namespace

PeriodFiles generatePeriod(std::size_t purchases, std::size_t sales, std::uint32_t seed) {
    std::mt19937 random(seed);
    const std::string vat = "BG123456789";
    PeriodFiles files;

    std::array<std::int64_t, 7> purchaseTotals{};
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
        files.pokupki += identity(random, vat, n, false);
        for (std::size_t k = 0; k < a.size(); ++k) {
            files.pokupki += money(a[k], 15);
            purchaseTotals[k] += a[k];
        }
        files.pokupki += "\r\n";
    }

    std::array<std::int64_t, 17> salesTotals{};
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
        files.prodagbi += identity(random, vat, n, foreign);
        for (std::size_t k = 0; k < a.size(); ++k) {
            files.prodagbi += money(a[k], 15);
            salesTotals[k] += a[k];
        }
        files.prodagbi += "\r\n";
    }

    // The return record, its cells taken from the journals' totals.
    auto cell = [](std::int64_t cents) { return money(cents, 15); };
    const auto& s = salesTotals;
    const auto& p = purchaseTotals;
    const std::int64_t k20 = s[1], k40 = p[2] + p[4]; // coefficient 1.00
    std::string record = fit(vat, 15) + fit(toMik("ФИРМА ПРИМЕР ООД"), 50) + "202607" +
                         fit(toMik("Иван Петров Иванов"), 50) + fit(std::to_string(sales), 15) +
                         fit(std::to_string(purchases), 15);
    // Section A: 01/20, 11/21, 12/22, 13/23, 14/24, 15..19.
    record += cell(s[0]) + cell(s[1]) + cell(s[2]) + cell(s[3]) + cell(s[4] + s[5]) + cell(s[6]) + cell(s[8]) +
              cell(s[7]) + cell(s[10]) + cell(s[9]) + cell(s[11]) + cell(s[12]) + cell(s[13]) + cell(s[14]) +
              cell(s[15]);
    // Section B: 30, 31/41, 32/42, 43, 33, 40; then 50, 60, 70, 71, 80, 81, 82.
    record += cell(p[0]) + cell(p[1]) + cell(p[2]) + cell(p[3]) + cell(p[4]) + cell(p[5]) + "1.00" + cell(k40);
    record += cell(k20 > k40 ? k20 - k40 : 0) + cell(k20 < k40 ? k40 - k20 : 0) + cell(0) + cell(0) + cell(0) +
              cell(0) + cell(0);
    files.deklar = record + "\r\n";
    return files;
}

void writePeriod(const std::string& folder, const PeriodFiles& files) {
    std::filesystem::create_directories(folder);
    writeFileAtomic(folder + "/pokupki.txt", files.pokupki);
    writeFileAtomic(folder + "/prodagbi.txt", files.prodagbi);
    writeFileAtomic(folder + "/deklar.txt", files.deklar);
}

} // namespace orva::bench
