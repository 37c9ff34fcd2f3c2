#pragma once

#include <cstdint>
#include <string>

namespace orva::bench {

struct PeriodFiles {
    std::string pokupki;  // MIK, CR LF
    std::string prodagbi; // MIK, CR LF
    std::string deklar;   // MIK, one 590-character record; its cells agree with the journals' totals
};

// A made-up tax period of `purchases` and `sales` records: firms and goods from small lists,
// amounts at the 20%, 7% and 0% rates as a real period has them, right-aligned with a point.
PeriodFiles generatePeriod(std::size_t purchases, std::size_t sales, std::uint32_t seed = 2026);

// Writes pokupki.txt, prodagbi.txt and deklar.txt into `folder` (created when missing).
void writePeriod(const std::string& folder, const PeriodFiles& files);

} // namespace orva::bench
