#pragma once

#include "journals/RecordLayout.h"

#include <cstddef>
#include <string>

// The table both journals are drawn in, shared by the engine and the two layouts.
namespace orva::journal_table {

constexpr std::size_t kWidth = 117;                                                // every bar, dash and amount line
constexpr std::size_t kAmountFieldWidth = kPurchaseFields[FirstAmountField].width; // 15, in both records

inline std::string barLine() {
    return "|" + std::string(kWidth - 2, '-') + "|";
}
inline std::string dashLine() {
    return std::string(kWidth, '-');
}
inline std::string closingLine() {
    return std::string(kWidth, '=');
}

// The first line of every page: its number after 110 blanks (Journal.cpp).
std::string pageNumberLine(int page);

} // namespace orva::journal_table
