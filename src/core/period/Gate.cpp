#include "period/Gate.h"

#include "text/Encoding.h"
#include "text/Mik.h"

#include <algorithm>

namespace orva {

namespace {

constexpr char kCtrlZ = '\x1a'; // DOS's end-of-file mark: a last line of it and blanks holds nothing

std::string count(std::size_t number) {
    return std::to_string(number);
}

} // namespace

std::string periodForPeople(std::string_view period) {
    const bool digits =
        period.size() == 6 && std::all_of(period.begin(), period.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits)
        return std::string(period);
    return std::string(period.substr(4, 2)) + "/" + std::string(period.substr(0, 4));
}

JournalGate::JournalGate(std::string fileName, JournalKind kind, CodePage codePage, std::string_view returnVatNumber,
                         std::string_view returnPeriod)
    : fileName_(std::move(fileName)), layout_(recordLayout(kind)), codePage_(codePage),
      vatNumber_(trimBlanks(returnVatNumber)), period_(trimBlanks(returnPeriod)) {}

void JournalGate::record(std::string_view record) {
    ++records_;
    const std::string_view vatNumber = trimBlanks(fieldText(record, layout_.fields[OwnVatNumberField]));
    const std::string_view period = trimBlanks(fieldText(record, layout_.fields[PeriodField]));
    if (vatNumber == vatNumber_ && period == period_)
        return;
    for (Owner& owner : owners_) {
        if (owner.vatNumber == vatNumber && owner.period == period) {
            ++owner.records;
            return;
        }
    }
    if (owners_.size() < kOwnersKept)
        owners_.push_back({std::string(vatNumber), std::string(period), 1});
    else
        ++otherOwnersRecords_;
}

void JournalGate::nulByte(std::size_t line, std::size_t linesAfter) {
    nulLine_ = line;
    linesAfterNul_ = linesAfter;
}

void JournalGate::shortLastLine(std::string_view text, std::size_t line) {
    static constexpr char kNothing[] = {' ', kCtrlZ};
    if (text.find_first_not_of(std::string_view(kNothing, 2)) == std::string_view::npos)
        return;
    cutLine_ = line;
    cutLength_ = text.size();
}

std::vector<std::string> JournalGate::problems() const {
    const auto people = [&](std::string_view text) {
        return win1251ToUtf8(codePage_ == CodePage::Mik ? mikToWin1251(text) : std::string(text));
    };
    const std::string returnSide =
        ", а декларацията – на " + win1251ToUtf8(vatNumber_) + " за " + periodForPeople(period_) + ".";
    std::vector<std::string> lines;
    for (const Owner& owner : owners_)
        lines.push_back(fileName_ + ": " + count(owner.records) + " от " + count(records_) + " записа " +
                        (owner.records == 1 ? "е" : "са") + " на " + people(owner.vatNumber) + " за " +
                        people(periodForPeople(owner.period)) + returnSide);
    if (otherOwnersRecords_ != 0)
        lines.push_back(fileName_ + ": още " + count(otherOwnersRecords_) + " от " + count(records_) + " записа " +
                        (otherOwnersRecords_ == 1 ? "е" : "са") + " на други лица или за други периоди" + returnSide);
    if (linesAfterNul_ != 0)
        lines.push_back(
            fileName_ + ", ред " + count(nulLine_) + ": байт NUL; " + count(linesAfterNul_) +
            (linesAfterNul_ == 1 ? " ред след него не е в дневника." : " реда след него не са в дневника."));
    // A line cut by the NUL is that NUL's case, not one more.
    if (cutLine_ != 0 && !(linesAfterNul_ != 0 && cutLine_ == nulLine_))
        lines.push_back(fileName_ + ", ред " + count(cutLine_) + ": последният ред е по-къс от запис (" +
                        count(cutLength_) + " знака) и не е в дневника.");
    return lines;
}

} // namespace orva
