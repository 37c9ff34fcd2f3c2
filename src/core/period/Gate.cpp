#include "period/Gate.h"

#include "journals/Journal.h"
#include "text/Ascii.h"
#include "text/Calendar.h"
#include "text/Encoding.h"
#include "text/Mik.h"

#include <algorithm>

namespace orva {

namespace {

std::string count(std::size_t number) {
    return std::to_string(number);
}

std::string characters(std::size_t number) {
    return count(number) + (number == 1 ? " знак" : " знака");
}

std::string linesLeftOut(std::size_t lines) {
    return count(lines) + (lines == 1 ? " ред след него не е в дневника." : " реда след него не са в дневника.");
}

} // namespace

std::string periodForPeople(std::string_view period) {
    const bool digits = period.size() == 6 && allAsciiDigits(period);
    if (!digits)
        return std::string(period);
    return monthSlashYear(period);
}

JournalGate::JournalGate(std::string fileName, JournalKind kind, CodePage codePage, std::string_view returnVatNumber,
                         std::string_view returnPeriod)
    : fileName_(std::move(fileName)), layout_(recordLayout(kind)), codePage_(codePage),
      vatNumber_(trimBlanks(returnVatNumber)), period_(trimBlanks(returnPeriod)) {}

void JournalGate::record(std::string_view record) {
    ++records_;
    // The records are the file's lines from its first, so the count is the line. Today's code after the
    // amounts is shown as far as it is there (a file may leave it out); an amount cut short is not.
    if (record.size() < layout_.width(Generation::Classic)) {
        if (cutRecords_++ == 0) {
            firstCutLine_ = records_;
            firstCutLength_ = record.size();
        }
        lastCutLine_ = records_;
    }
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

void JournalGate::shortLine(std::string_view text, std::size_t line, std::size_t linesAfter,
                            std::size_t filledLinesAfter) {
    // Blank lines after the data lose nothing: editors and old copies leave them.
    if (filledLinesAfter == 0)
        return;
    shortLine_ = line;
    shortLength_ = text.size();
    linesAfterShort_ = linesAfter;
}

void JournalGate::nulByte(std::size_t line, std::size_t linesAfter) {
    nulLine_ = line;
    linesAfterNul_ = linesAfter;
}

void JournalGate::shortLastLine(std::string_view text, std::size_t line) {
    if (carriesNoRecord(text))
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
    // A record cut by the NUL is that NUL's case, not one more.
    const std::size_t cutRecords = cutRecords_ - (linesAfterNul_ != 0 && lastCutLine_ == nulLine_ ? 1 : 0);
    if (cutRecords != 0) {
        std::size_t field = 0;
        while (layout_.fields[field].start - 1 + layout_.fields[field].width <= firstCutLength_)
            ++field;
        std::string line = fileName_ + ", ред " + count(firstCutLine_) + ": записът е по-къс от полагащото се (" +
                           characters(firstCutLength_) + " вместо поне " + count(layout_.width(Generation::Classic)) +
                           "); от " + layout_.fields[field].label + " нататък полетата липсват или са отрязани.";
        if (cutRecords > 1)
            line += cutRecords == 2
                        ? " Още 1 запис след него е по-къс от полагащото се."
                        : " Още " + count(cutRecords - 1) + " записа след него са по-къси от полагащото се.";
        lines.push_back(line);
    }
    if (shortLine_ != 0)
        lines.push_back(fileName_ + ", ред " + count(shortLine_) + ": ред, по-къс от запис (" +
                        characters(shortLength_) + "), прекъсва дневника; " + linesLeftOut(linesAfterShort_));
    if (linesAfterNul_ != 0)
        lines.push_back(fileName_ + ", ред " + count(nulLine_) + ": байт NUL; " + linesLeftOut(linesAfterNul_));
    // A line cut by the NUL is that NUL's case, not one more.
    if (cutLine_ != 0 && !(linesAfterNul_ != 0 && cutLine_ == nulLine_))
        lines.push_back(fileName_ + ", ред " + count(cutLine_) + ": последният ред е по-къс от запис (" +
                        characters(cutLength_) + ") и не е в дневника.");
    return lines;
}

} // namespace orva
