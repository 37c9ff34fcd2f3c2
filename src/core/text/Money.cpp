#include "text/Money.h"

namespace orva {

std::string moneyCell(const ExactDecimal& value, std::size_t width) {
    std::string text = value.moneyText();
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}

bool isMoneyText(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos)
        return false;
    if (text[i] == '-')
        ++i;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i == digits || text.size() != i + 3 || text[i] != '.')
        return false;
    return text[i + 1] >= '0' && text[i + 1] <= '9' && text[i + 2] >= '0' && text[i + 2] <= '9';
}

} // namespace orva
