#include "journals/Journal.h"

#include "journals/JournalTable.h"
#include "journals/RecordLayout.h"
#include "text/Encoding.h"
#include "text/Fields.h"
#include "text/LineSource.h"
#include "text/Mik.h"
#include "text/Money.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace orva {

namespace {

using journal_table::kAmountFieldWidth;

constexpr std::size_t kEndOfDataLength = 99; // a shorter line ends the records
constexpr std::size_t kHeaderThreshold = 5;  // a page header opens when the place on the page is below this

// The identity fields as the journal cuts them: the field's width is removed from the record, of
// which `take` is shown. Fields 1, 2 and 4 are cut but never shown; the names and the goods are
// shown shortened to their printed columns.
struct Cut {
    std::size_t take;
    std::size_t remove;
};
constexpr std::size_t kShownNameWidth = 30;  // of 50
constexpr std::size_t kShownGoodsWidth = 20; // of 30

constexpr std::array<Cut, FirstAmountField> identityCuts() {
    std::array<Cut, FirstAmountField> cuts{};
    for (std::size_t k = 0; k < cuts.size(); ++k)
        cuts[k] = {kPurchaseFields[k].width, kPurchaseFields[k].width};
    cuts[CounterpartyNameField].take = kShownNameWidth;
    cuts[GoodsField].take = kShownGoodsWidth;
    return cuts;
}
constexpr std::array<Cut, FirstAmountField> kIdentityCuts = identityCuts();

// 167: the amounts start at position 168 in both records.
constexpr std::size_t kIdentityLength = kPurchaseFields[FirstAmountField].start - 1;

using journal_table::pageNumberLine;

// An upper bound of the lines before the totals, so that the list of lines is allocated once.
std::size_t estimateLines(std::size_t records, std::size_t linesPerPage, const JournalLayout& layout) {
    const std::size_t block = static_cast<std::size_t>(layout.blockHeight());
    const std::size_t continuation = layout.continuationLines.size() + 2;
    const std::size_t first = layout.firstPageLines.size() + 2;
    if (linesPerPage < continuation + block + kHeaderThreshold)
        return first + records * (continuation + 2 * block); // a header per record at worst
    const std::size_t perPage = (linesPerPage - continuation) / block;
    const std::size_t pages = records / perPage + 2;
    return first + records * block + pages * (continuation + block);
}

char* put(char* out, std::string_view text) {
    // An empty view may have no data at all, and memcpy from a null pointer is undefined.
    if (!text.empty())
        std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* putBlanks(char* out, std::size_t count) {
    std::memset(out, ' ', count);
    return out + count;
}

// Right-aligned in `width`; a longer text is put whole and pushes the rest of the line right.
char* putRightAligned(char* out, std::string_view text, std::size_t width) {
    if (text.size() < width)
        out = putBlanks(out, width - text.size());
    return put(out, text);
}

// An amount as written, right-aligned in its column of `width`. The usual field (blanks, then the
// amount ending at the field's end, no wider than the column) already is that: its rightmost
// `width` characters are copied as they stand, with no trimming per amount. An amount that fills
// its column or more would touch the number before it, so it gets a blank first, except as the
// first amount after the line's bar (`first`).
char* putAmount(char* out, std::string_view field, std::size_t width, bool first) {
    if (field.size() >= width && field.back() != ' ') {
        const std::size_t lead = field.size() - width;
        std::size_t blanks = 0;
        while (blanks < lead && field[blanks] == ' ')
            ++blanks;
        if (blanks == lead) {
            const std::string_view shown = field.substr(lead);
            if (!first && shown.front() != ' ')
                *out++ = ' ';
            return put(out, shown);
        }
    }
    const std::string_view amount = trimBlanks(field);
    if (!first && amount.size() >= width)
        *out++ = ' ';
    return putRightAligned(out, amount, width);
}

// A total in its cell of `width`, apart from the number before it as an amount is (putAmount).
void appendTotal(std::string& line, const ExactDecimal& total, std::size_t width, bool first) {
    const std::string cell = moneyCell(total, width);
    if (!first && cell.front() != ' ')
        line += ' ';
    line += cell;
}

// "%5d" without snprintf: it runs once per record.
char* putOrdinal(char* out, unsigned long long value) {
    char digits[24];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (count < 5)
        out = putBlanks(out, 5 - count);
    while (count != 0)
        *out++ = digits[--count];
    return out;
}

// The paging of both journals. Before each record block, and before the end of the data, the page
// is filled with blank lines when the block does not fit on it, and a page header opens when the
// place on the page is below kHeaderThreshold. Only line numbers: the engine writes the lines.
class Pager {
public:
    Pager(const JournalLayout& layout, std::size_t pageLength)
        : layout_(layout), pageLength_(pageLength), block_(static_cast<std::size_t>(layout.blockHeight())) {}

    struct Step {
        std::size_t blanks = 0;
        const std::vector<std::string>* header = nullptr; // the fixed lines of a header that opens here
        int page = 0;                                     // and its page number
    };

    // Needs a page length of at least B (the engine refuses a shorter one before the first step).
    Step step() {
        Step result;
        const std::size_t place = line_ % pageLength_;
        if (place + block_ > pageLength_) {
            result.blanks = pageLength_ - place;
            line_ += result.blanks;
        }
        if (line_ % pageLength_ < kHeaderThreshold) {
            result.page = ++page_;
            result.header = page_ == 1 ? &layout_.firstPageLines : &layout_.continuationLines;
            line_ += result.header->size() + 2;
        }
        return result;
    }

    void placeBlock() { line_ += block_; }
    // The document line (0-based) the next line goes to.
    std::size_t line() const { return line_; }

private:
    const JournalLayout& layout_;
    std::size_t pageLength_;
    std::size_t block_;
    std::size_t line_ = 0;
    int page_ = 0;
};

// One journal build: the paging of both journals, with the layout's texts.
JournalSummary runEngine(LineSource& source, int linesPerPage, const std::string& captionText,
                         const JournalLayout& layout, JournalSink& sink, const JournalOptions& options) {
    const CodePage codePage = options.codePage;
    const std::size_t block = static_cast<std::size_t>(layout.blockHeight());
    const std::size_t amountCount = layout.amountCount();
    const RecordLayout& record = recordLayout(layout.kind);
    const std::size_t recordLength = record.width(Generation::Classic);
    const RecordField& codeField = record.fields[record.codeField()];
    const std::string& fileName = options.fileName.empty() ? layout.fileName : options.fileName;
    const bool composeRecords = sink.keepsLines();
    auto fail = [&](std::size_t line, const std::string& detail) { throw JournalError(fileName, line, detail); };

    // Prebuilt lines, reused on every page.
    const std::string title = layout.titlePrefix + captionText;
    const std::string dash = journal_table::dashLine();

    JournalSummary result;
    std::vector<ExactSum> sums(amountCount);
    static const std::string kEmpty;

    // Room for the longest line a record can make, composed here and copied into its string once: an
    // amount shows at most its whole field, with a blank before it.
    std::size_t widest = 64 + kIdentityLength;
    for (const AmountLine& amountLine : layout.amountLines)
        widest = std::max(widest, amountLine.amounts * (kAmountFieldWidth + 1) + amountLine.blanks + 2);
    std::vector<char> scratch(widest);
    std::vector<std::string_view> amounts(amountCount);

    std::string_view raw;
    // A 0-byte file is a month without documents (today's programs write exactly that): it reads
    // as a file of two empty lines. A file that starts with NUL still holds no lines.
    bool emptyFile = false;
    if (!source.next(raw)) {
        if (source.sizeHint() != 0)
            fail(0, "файлът не съдържа редове");
        emptyFile = true;
    }

    Pager pager(layout, static_cast<std::size_t>(linesPerPage));
    for (std::size_t index = 0;; ++index) {
        std::string shortLine;
        if (raw.size() < kEndOfDataLength) {
            // The last line of the file, when short, is dropped before paging (only it, and only
            // once); any other short line ends the data after the page tests below.
            shortLine.assign(raw);
            raw = shortLine;
            if (!emptyFile && !source.hasMore()) {
                result.droppedLastLine = shortLine;
                result.droppedLine = index + 1;
                break;
            }
        }
        if (index == 0) {
            // 0 would divide by zero in the page test; below B the page filling would never end.
            if (linesPerPage <= 0 || static_cast<std::size_t>(linesPerPage) < block)
                fail(0, "редовете на страница (" + std::to_string(linesPerPage) + ") не побират запис от " +
                            std::to_string(block) + " реда");
            sink.reserve(estimateLines(source.sizeHint() / (recordLength + 2) + 1,
                                       static_cast<std::size_t>(linesPerPage), layout) +
                         layout.amountLines.size() + 1);
        }

        const Pager::Step step = pager.step();
        for (std::size_t blank = 0; blank < step.blanks; ++blank)
            sink.line(kEmpty);
        if (step.header) {
            sink.line(pageNumberLine(step.page));
            sink.line(title);
            for (const std::string& line : *step.header)
                sink.line(line);
        }
        if (raw.size() < kEndOfDataLength) {
            if (!emptyFile) {
                result.endLine = index + 1;
                result.endLineText = shortLine;
            }
            break;
        }
        if (options.knownCents)
            options.knownCents->known = 0;
        if (options.onRecord)
            options.onRecord(raw, index + 1);
        const std::uint32_t known = options.knownCents ? options.knownCents->known : 0;

        // Cut the line as read; the shown identity fields are converted from MIK below, in the
        // line they are shown in. Amounts need no conversion: a valid amount is plain ASCII.
        FieldCutter cut(raw.substr(0, recordLength));
        std::array<std::string_view, kIdentityCuts.size()> identity;
        for (std::size_t k = 0; k < kIdentityCuts.size(); ++k)
            identity[k] = cut.next(kIdentityCuts[k].take, kIdentityCuts[k].remove);
        // Every amount is its whole field, so no digit is ever dropped, whichever way it is aligned.
        for (std::size_t k = 0; k < amounts.size(); ++k)
            amounts[k] = cut.next(kAmountFieldWidth);

        for (std::size_t k = 0; k < amounts.size(); ++k) {
            // The field and its value as the check names them (`кол.9 обща данъчна основа "12,50"`):
            // one wording for one fault, and the value without the field's blanks.
            const auto amountLabel = [&layout](std::size_t amount) {
                const RecordField& field = recordLayout(layout.kind).fields[FirstAmountField + amount];
                return std::string(field.label) + " " + field.name;
            };
            auto quoted = [&] {
                const std::string text = codePage == CodePage::Mik ? mikToWin1251(amounts[k]) : std::string(amounts[k]);
                return " \"" + win1251ToUtf8(std::string(trimBlanks(text))) + "\"";
            };
            if (k < 32 && (known >> k & 1u)) {
                sums[k].addCents(options.knownCents->cents[k]);
            } else if (!sums[k].add(amounts[k])) {
                const JournalError error(fileName, index + 1, amountLabel(k) + quoted() + " не е число");
                if (!options.onBadAmount)
                    throw error;
                options.onBadAmount(error);
                result.complete = false;
                continue;
            }
            // A total too long to be written as money could not be printed.
            if (!sums[k].fitsMoneyFormat())
                fail(index + 1, amountLabel(k) + quoted() + " прави сбора твърде голям");
        }

        if (composeRecords) {
            // "| %5d %s %s  %s %s %s %s %s|": ordinal, branch, kind, number, date, identification number,
            // name (30 of 50), goods (20 of 30).
            char* const first = scratch.data();
            char* out = put(first, "| ");
            out = putOrdinal(out, index + 1);
            *out++ = ' ';
            out = put(out, identity[2]);
            *out++ = ' ';
            out = put(out, identity[4]);
            out = putBlanks(out, 2);
            out = put(out, identity[5]);
            for (std::size_t k = 6; k < identity.size(); ++k) {
                *out++ = ' ';
                out = put(out, identity[k]);
            }
            *out++ = '|';
            if (codePage == CodePage::Mik)
                mikToWin1251InPlace(first, out);
            sink.line(std::string_view(first, static_cast<std::size_t>(out - first)));

            std::size_t next = 0;
            for (const AmountLine& amountLine : layout.amountLines) {
                out = put(first, "|");
                for (std::size_t k = 0; k < amountLine.amounts && next < amounts.size(); ++k)
                    out = putAmount(out, amounts[next++], layout.amountWidth, k == 0);
                if (layout.showsCode && &amountLine == &layout.amountLines.back()) {
                    // Column 8а: what the record holds of its code (nothing in a classic record), cut
                    // like every field and converted like the shown texts.
                    char* const cell = out;
                    char* const code = putBlanks(out, layout.codeIndent);
                    out = put(code, fieldText(raw, codeField));
                    if (codePage == CodePage::Mik)
                        mikToWin1251InPlace(code, out);
                    out = putBlanks(out, amountLine.blanks - static_cast<std::size_t>(out - cell));
                } else {
                    out = putBlanks(out, amountLine.blanks);
                }
                *out++ = '|';
                sink.line(std::string_view(first, static_cast<std::size_t>(out - first)));
            }
            sink.line(dash);
        }
        pager.placeBlock();
        ++result.records;

        if (!source.next(raw))
            break;
    }

    // What a short line leaves out of the journal is counted, so that the loss can be named; the
    // rest of the file is read for that only.
    if (result.endLine != 0) {
        std::string_view rest;
        while (source.next(rest)) {
            ++result.linesAfterEnd;
            if (!carriesNoRecord(rest))
                ++result.filledLinesAfterEnd;
        }
    }
    // Read to its end, the text may have been cut short by a NUL.
    if (!source.hasMore())
        result.nul = source.nulStop();

    result.totals.reserve(sums.size());
    for (const ExactSum& sum : sums)
        result.totals.push_back(sum.value());
    // The totals follow directly, with no page test, even past the end of a page.
    std::size_t next = 0;
    for (const AmountLine& amountLine : layout.amountLines) {
        std::string line = "|";
        for (std::size_t k = 0; k < amountLine.amounts && next < result.totals.size(); ++k)
            appendTotal(line, result.totals[next++], layout.totalWidth(), k == 0);
        line.append(amountLine.blanks, ' ');
        line += '|';
        sink.line(line);
    }
    sink.line(journal_table::closingLine());
    return result;
}

} // namespace

bool carriesNoRecord(std::string_view line) {
    return line.find_first_not_of(" \t\x1a") == std::string_view::npos;
}

// "%s стр.%2.2d" with 110 blanks.
std::string journal_table::pageNumberLine(int page) {
    static const std::string prefix = std::string(110, ' ') + utf8ToWin1251(" стр.");
    std::string number = std::to_string(page);
    if (number.size() < 2)
        number.insert(0, 2 - number.size(), '0');
    return prefix + number;
}

JournalError::JournalError(std::string fileName, std::size_t line, const std::string& detail)
    : Error(fileName + (line ? ", ред " + std::to_string(line) : std::string()) + ": " + detail),
      fileName_(std::move(fileName)), line_(line) {}

std::size_t recordBlockLine(const JournalLayout& layout, int linesPerPage, std::size_t recordLine) {
    if (recordLine == 0 || linesPerPage < layout.blockHeight())
        return 0;
    Pager pager(layout, static_cast<std::size_t>(linesPerPage));
    for (std::size_t record = 1; record < recordLine; ++record) {
        pager.step();
        pager.placeBlock();
    }
    pager.step();
    return pager.line();
}

JournalSummary writeJournal(LineSource& source, int linesPerPage, const std::string& captionText,
                            const JournalLayout& layout, JournalSink& sink, const JournalOptions& options) {
    return runEngine(source, linesPerPage, captionText, layout, sink, options);
}

} // namespace orva
