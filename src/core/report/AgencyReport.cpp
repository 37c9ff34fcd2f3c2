#include "report/AgencyReport.h"

#include "text/Encoding.h"
#include "text/ExactDecimal.h"
#include "text/LineFile.h"
#include "text/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace orva::report {

namespace {

// Lower case of Windows-1251 text: ASCII and the Cyrillic letters А..Я.
std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 'A' && byte <= 'Z')
            c = static_cast<char>(byte + 32);
        else if (byte >= 0xC0 && byte <= 0xDF)
            c = static_cast<char>(byte + 0x20);
    }
    return out;
}

// A key word (UTF-8 in the source) in Windows-1251, lower case, found in lower-cased text.
bool hasWord(const std::string& loweredText, const char* utf8Word) {
    return loweredText.find(lowered(utf8ToWin1251(utf8Word))) != std::string::npos;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The captions' key words, column by column: a caption holds its word whatever else it says.
struct CaptionWord {
    std::size_t column;
    const char* word;
};
constexpr CaptionWord kCaptionWords[] = {
    {SupplierColumn, "контрагент"}, {SupplierNameColumn, "име"}, {TypeColumn, "вид"},     {NumberColumn, "номер"},
    {DateColumn, "дата"},           {TotalBaseColumn, "основ"},  {TotalVatColumn, "ддс"},
};

// A data or caption line holds 16 fields; one empty field more is the trailing ";" of the captions.
bool hasColumnCount(const std::vector<std::string>& fields) {
    return fields.size() == kColumns || (fields.size() == kColumns + 1 && fields.back().empty());
}

} // namespace

std::string ReportProblem::text() const {
    std::string out = file + ": ред " + std::to_string(line);
    if (field != 0)
        out += ", поле " + std::to_string(field);
    return out + ": " + message;
}

bool parseTitle(std::string_view line, ReportTitle& title) {
    const std::string low = lowered(line);
    if (!hasWord(low, "справка") || !hasWord(low, "продажби") || !hasWord(low, "период"))
        return false;
    const std::string towards = lowered(utf8ToWin1251(" към "));
    const std::size_t nameStart = low.find(towards, low.find(lowered(utf8ToWin1251("продажби"))));
    const std::size_t periodWord = low.rfind(lowered(utf8ToWin1251("период")));
    if (nameStart == std::string::npos || periodWord < nameStart)
        return false;
    // The period: six digits after the word, the trailing ";" and blanks around them ignored.
    std::string_view rest = line.substr(periodWord + utf8ToWin1251("период").size());
    while (!rest.empty() && (rest.back() == ';' || rest.back() == ' ' || rest.back() == '\t'))
        rest.remove_suffix(1);
    rest = trimmed(rest);
    if (rest.size() != 6 || !std::all_of(rest.begin(), rest.end(), isDigit))
        return false;
    // The ЕИК: the last ", <digits> " before the period; the name is what comes before it.
    const std::size_t begin = nameStart + towards.size();
    std::size_t comma = line.rfind(", ", periodWord);
    while (comma != std::string_view::npos && comma >= begin) {
        std::size_t end = comma + 2;
        while (end < periodWord && isDigit(line[end]))
            ++end;
        const std::size_t digits = end - comma - 2;
        if (digits >= 9 && digits <= 13 && end < periodWord && line[end] == ' ') {
            title.buyerName = std::string(trimmed(line.substr(begin, comma - begin)));
            title.buyerId = std::string(line.substr(comma + 2, digits));
            title.period = std::string(rest);
            return !title.buyerName.empty();
        }
        if (comma == 0)
            break;
        comma = line.rfind(", ", comma - 1);
    }
    return false;
}

bool isAmountText(std::string_view text) {
    return trimmed(text).empty() || ExactDecimal::parse(text).has_value();
}

ReportParser::ReportParser(std::string file, LineSink onLine, ProblemSink onProblem)
    : file_(std::move(file)), onLine_(std::move(onLine)), onProblem_(std::move(onProblem)) {}

void ReportParser::startAtDocuments(std::uint64_t offset, std::size_t line) {
    stage_ = Stage::Data;
    position_ = recordStart_ = offset;
    line_ = recordLine_ = line;
}

void ReportParser::problem(std::size_t field, std::string message) {
    if (onProblem_)
        onProblem_(ReportProblem{file_, recordLine_, field, std::move(message)});
}

void ReportParser::endField() {
    fields_.push_back(std::move(field_));
    field_.clear();
    inQuotes_ = quoteSeen_ = afterQuote_ = fieldStarted_ = false;
}

void ReportParser::feed(std::string_view bytes) {
    for (const char c : bytes) {
        ++position_;
        if (afterCr_) {
            afterCr_ = false;
            if (c == '\n') {
                recordStart_ = position_;
                continue;
            }
        }
        if (overlong_) {
            // Skipped to the next break, quotes or not: the line's fields are lost anyway.
            if (c == '\n' || c == '\r') {
                afterCr_ = c == '\r';
                overlong_ = false;
                ++line_;
                recordLine_ = line_;
                recordStart_ = position_;
                recordBytes_ = 0;
            }
            continue;
        }
        const bool ends = !inQuotes_ && (c == '\n' || c == '\r');
        if (!ends && ++recordBytes_ > kMaxLineBytes) {
            problem(0, "редът е по-дълъг от 10 MB");
            if (stage_ != Stage::Data)
                throw NotAReportError(file_ + ": ред " + std::to_string(recordLine_) +
                                      ": не е справка за декларираните продажби (редът е по-дълъг от 10 MB)");
            overlong_ = true;
            fields_.clear();
            field_.clear();
            inQuotes_ = quoteSeen_ = afterQuote_ = fieldStarted_ = false;
            nulField_ = 0;
            continue;
        }
        if (c == '\0') {
            if (nulField_ == 0)
                nulField_ = fields_.size() + 1;
            continue;
        }
        if (inQuotes_) {
            if (c == '"') {
                inQuotes_ = false;
                afterQuote_ = true;
                continue;
            }
            if (c == '\n')
                ++line_;
            field_ += c;
            continue;
        }
        if (c == '"' && afterQuote_) { // a doubled quote inside quotes
            field_ += '"';
            inQuotes_ = true;
            afterQuote_ = false;
            continue;
        }
        afterQuote_ = false;
        if (c == '"' && !fieldStarted_) {
            inQuotes_ = quoteSeen_ = fieldStarted_ = true;
            continue;
        }
        if (c == ';') {
            endField();
            continue;
        }
        if (c == '\n' || c == '\r') {
            endField();
            endRecord();
            afterCr_ = c == '\r';
            ++line_;
            recordLine_ = line_;
            recordStart_ = position_;
            recordBytes_ = 0;
            continue;
        }
        fieldStarted_ = true;
        field_ += c;
    }
}

void ReportParser::finish() {
    if (!overlong_ && (fieldStarted_ || !fields_.empty() || !field_.empty() || nulField_ != 0)) {
        if (inQuotes_) {
            problem(fields_.size() + 1, "кавичките не са затворени до края на файла");
            fields_.clear();
            field_.clear();
        } else {
            endField();
            endRecord();
        }
    }
    if (stage_ != Stage::Data)
        throw NotAReportError(file_ + ": не е справка за декларираните продажби (" +
                              (stage_ == Stage::Title ? "няма заглавие" : "няма ред със заглавията на колоните") + ")");
}

void ReportParser::endRecord() {
    std::vector<std::string> fields = std::move(fields_);
    fields_.clear();
    const std::size_t nul = nulField_;
    nulField_ = 0;
    const bool blank = nul == 0 && fields.size() == 1 && trimmed(fields[0]).empty();
    if (blank)
        return;
    const std::string where = file_ + ": ред " + std::to_string(recordLine_) + ": ";
    switch (stage_) {
    case Stage::Title: {
        std::string text;
        for (std::size_t i = 0; i < fields.size(); ++i)
            text += (i ? ";" : "") + fields[i];
        if (nul != 0 || !parseTitle(text, title_))
            throw NotAReportError(where + "не е справка за декларираните продажби (заглавието не е такова)");
        stage_ = Stage::Captions;
        return;
    }
    case Stage::Captions: {
        bool known = nul == 0 && hasColumnCount(fields);
        for (const CaptionWord& caption : kCaptionWords)
            known = known && hasWord(lowered(fields[caption.column]), caption.word);
        if (!known)
            throw NotAReportError(where + "не е справка за декларираните продажби (заглавията на колоните са " +
                                  std::to_string(fields.size()) + " или не са такива)");
        stage_ = Stage::Data;
        return;
    }
    case Stage::Data:
        break;
    }
    if (nul != 0) {
        problem(nul, "знак NUL в реда");
        return;
    }
    if (!hasColumnCount(fields)) {
        problem(0, std::to_string(fields.size()) + " полета вместо 16");
        return;
    }
    bool sound = true;
    for (std::size_t column = kFirstAmountColumn; column < kColumns; ++column) {
        if (!isAmountText(fields[column])) {
            problem(column + 1, "сумата \"" + shownText(win1251ToUtf8(fields[column])) + "\" не е число");
            sound = false;
        }
    }
    if (!sound)
        return;
    ReportLine line;
    line.line = recordLine_;
    line.offset = recordStart_;
    for (std::size_t column = 0; column < kColumns; ++column)
        line.fields[column] = std::move(fields[column]);
    ++documents_;
    if (onLine_)
        onLine_(line);
}

ReportTitle readReportFile(const std::string& path, const ReportParser::LineSink& onLine,
                           const ReportParser::ProblemSink& onProblem) {
    std::size_t size = 0;
    const UniqueFd fd = openFileForReading(path, size);
    return readReportFile(fd.get(), path, onLine, onProblem);
}

ReportTitle readReportFile(int fd, const std::string& path, const ReportParser::LineSink& onLine,
                           const ReportParser::ProblemSink& onProblem) {
    ReportParser parser(path, onLine, onProblem);
    std::string buffer(1 << 20, '\0');
    std::uint64_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(path + ": " + std::strerror(errno));
        }
        if (got == 0)
            break;
        at += static_cast<std::uint64_t>(got);
        parser.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    parser.finish();
    return parser.title();
}

bool readReportLineAt(const std::string& path, std::uint64_t offset, ReportLine& line) {
    std::size_t size = 0;
    const UniqueFd fd = openFileForReading(path, size);
    return readReportLineAt(fd.get(), path, offset, line);
}

bool readReportLineAt(int fd, const std::string& path, std::uint64_t offset, ReportLine& line) {
    if (offset > 0) {
        // A line starts only after a break.
        char before = 0;
        if (::pread(fd, &before, 1, static_cast<off_t>(offset - 1)) != 1 || (before != '\n' && before != '\r'))
            return false;
    }
    bool found = false;
    ReportParser parser(path,
                        [&](const ReportLine& read) {
                            if (!found)
                                line = read;
                            found = true;
                        },
                        {});
    parser.startAtDocuments(offset, line.line);
    // Small reads first: a line is a few hundred bytes, and the parser reads all it is given.
    std::string buffer;
    std::size_t chunk = 1024;
    std::uint64_t at = offset;
    while (!found) {
        buffer.resize(chunk);
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(path + ": " + std::strerror(errno));
        }
        if (got == 0) {
            parser.finish();
            break;
        }
        at += static_cast<std::uint64_t>(got);
        parser.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        if (at - offset > kMaxLineBytes + 2)
            break;
        chunk = std::min<std::size_t>(chunk * 2, 1 << 20);
    }
    return found;
}

} // namespace orva::report
