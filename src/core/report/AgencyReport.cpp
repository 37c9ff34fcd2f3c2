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
    return trimmed(text).empty() || amountCents(text).has_value() || ExactDecimal::parse(text).has_value();
}

std::optional<std::int64_t> amountCents(std::string_view text) {
    // Blanks, a sign, at most 13 digits, a point and at most two more; anything else is left to the
    // decimal reader (an exponent, more digits, finer than a cent).
    std::size_t i = 0, end = text.size();
    while (i < end && text[i] == ' ')
        ++i;
    while (end > i && text[end - 1] == ' ')
        --end;
    const bool negative = i < end && text[i] == '-';
    if (i < end && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::int64_t value = 0;
    std::size_t digits = 0, whole = 0;
    for (; i < end && isDigit(text[i]); ++i, ++whole) {
        if (whole == 13)
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    digits = whole;
    int decimals = 0;
    if (i < end && text[i] == '.') {
        for (++i; i < end && isDigit(text[i]) && decimals < 3; ++i, ++decimals)
            value = value * 10 + (text[i] - '0');
        digits += static_cast<std::size_t>(decimals);
    }
    if (i != end || digits == 0 || decimals > 2)
        return std::nullopt;
    for (; decimals < 2; ++decimals)
        value *= 10;
    return negative ? -value : value;
}

ReportParser::ReportParser(std::string file, LineSink onLine, ProblemSink onProblem)
    : file_(std::move(file)), onLine_(std::move(onLine)), onProblem_(std::move(onProblem)) {}

ReportParser ReportParser::withViews(std::string file, FieldsSink onFields, ProblemSink onProblem) {
    ReportParser parser(std::move(file), LineSink(), std::move(onProblem));
    parser.onFields_ = std::move(onFields);
    return parser;
}

void ReportParser::startAtDocuments(std::uint64_t offset, std::size_t line) {
    stage_ = Stage::Data;
    position_ = recordStart_ = offset;
    line_ = recordLine_ = line;
    dropFields();
    afterCr_ = overlong_ = false;
    nulField_ = 0;
    recordBytes_ = 0;
}

void ReportParser::problem(std::size_t field, std::string message) {
    if (onProblem_)
        onProblem_(ReportProblem{file_, recordLine_, field, std::move(message)});
}

void ReportParser::endField() {
    ends_.push_back(record_.size());
    inQuotes_ = quoteSeen_ = afterQuote_ = fieldStarted_ = false;
}

void ReportParser::dropFields() {
    record_.clear();
    ends_.clear();
    inQuotes_ = quoteSeen_ = afterQuote_ = fieldStarted_ = false;
}

namespace {

// The bytes that end a run of plain field text: outside quotes and inside them.
struct Stops {
    std::array<bool, 256> outside{}, inside{};
    Stops() {
        for (const unsigned char c : {';', '"', '\n', '\r', '\0'})
            outside[c] = true;
        for (const unsigned char c : {'"', '\n', '\0'})
            inside[c] = true;
    }
};
const Stops kStops;

// Where the run of bytes that are no stop ends, at most at `limit`.
const char* runEnd(const char* at, const char* limit, const std::array<bool, 256>& stops) {
    while (at < limit && !stops[static_cast<unsigned char>(*at)])
        ++at;
    return at;
}

} // namespace

const char* ReportParser::plainLine(const char* at, const char* end) {
    // Plain: every field either unquoted or quoted whole, with no doubled quote, no break inside quotes,
    // no NUL, at most one field more than a document has, and the break in this chunk. Anything else is
    // left to the byte-wise reading, which names its problems.
    if (static_cast<std::size_t>(end - at) > kMaxLineBytes)
        end = at + kMaxLineBytes;
    std::size_t count = 0;
    const char* p = at;
    for (;;) {
        if (count == kColumns + 2)
            return nullptr;
        if (p < end && *p == '"') {
            const char* close = runEnd(p + 1, end, kStops.inside);
            if (close == end || *close != '"')
                return nullptr;
            views_[count++] = std::string_view(p + 1, static_cast<std::size_t>(close - p - 1));
            p = close + 1;
        } else {
            const char* stop = runEnd(p, end, kStops.outside);
            views_[count++] = std::string_view(p, static_cast<std::size_t>(stop - p));
            p = stop;
        }
        if (p == end)
            return nullptr;
        if (*p == ';') {
            ++p;
            continue;
        }
        if (*p != '\n' && *p != '\r')
            return nullptr;
        break;
    }
    const char breakByte = *p++;
    position_ += static_cast<std::uint64_t>(p - at);
    endRecord(views_.data(), count);
    afterCr_ = breakByte == '\r';
    nextLine();
    return p;
}

const char* ReportParser::appendRun(const char* at, const char* limit, const std::array<bool, 256>& stops) {
    const char* const stop = runEnd(at + 1, limit, stops);
    record_.append(at, static_cast<std::size_t>(stop - at));
    recordBytes_ += static_cast<std::size_t>(stop - at);
    position_ += static_cast<std::uint64_t>(stop - at);
    return stop;
}

void ReportParser::nextLine() {
    ++line_;
    recordLine_ = line_;
    recordStart_ = position_;
    recordBytes_ = 0;
}

// A line that lies whole in the chunk and is plain is cut into views where it lies; any other is read byte
// by byte, runs of plain field text taken whole. A line's byte count stops at kMaxLineBytes, so that the
// byte past it is the one that makes the line overlong, wherever the chunks fall.
void ReportParser::feed(std::string_view bytes) {
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while (at < end) {
        if (afterCr_) {
            afterCr_ = false;
            if (*at == '\n') {
                ++at;
                ++position_;
                recordStart_ = position_;
                continue;
            }
        }
        if (overlong_) {
            // Skipped to the next break, quotes or not: the line's fields are lost anyway.
            const char* stop = at;
            while (stop < end && *stop != '\n' && *stop != '\r')
                ++stop;
            position_ += static_cast<std::uint64_t>(stop - at);
            at = stop;
            if (at == end)
                break;
            afterCr_ = *at == '\r';
            ++at;
            ++position_;
            overlong_ = false;
            nextLine();
            continue;
        }
        if (stage_ == Stage::Data && recordBytes_ == 0 && ends_.empty() && record_.empty() && !fieldStarted_ &&
            nulField_ == 0) {
            if (const char* next = plainLine(at, end)) {
                at = next;
                continue;
            }
        }
        const char c = *at;
        const bool ends = !inQuotes_ && (c == '\n' || c == '\r');
        if (!ends && recordBytes_ >= kMaxLineBytes) {
            ++at;
            ++position_;
            problem(0, "редът е по-дълъг от 10 MB");
            if (stage_ != Stage::Data)
                throw NotAReportError(file_ + ": ред " + std::to_string(recordLine_) +
                                      ": не е справка за декларираните продажби (редът е по-дълъг от 10 MB)");
            overlong_ = true;
            dropFields();
            nulField_ = 0;
            continue;
        }
        // How many plain bytes a run may take before the line is too long.
        const auto room = static_cast<std::size_t>(kMaxLineBytes - recordBytes_);
        const char* const limit = end - at > static_cast<std::ptrdiff_t>(room) ? at + room : end;
        if (c == '\0') {
            if (nulField_ == 0)
                nulField_ = ends_.size() + 1;
        } else if (inQuotes_) {
            if (c == '"') {
                inQuotes_ = false;
                afterQuote_ = true;
            } else {
                if (c == '\n')
                    ++line_;
                at = appendRun(at, limit, kStops.inside);
                continue;
            }
        } else if (c == '"' && afterQuote_) { // a doubled quote inside quotes
            record_ += '"';
            inQuotes_ = true;
            afterQuote_ = false;
        } else if (c == '"' && !fieldStarted_) {
            afterQuote_ = false;
            inQuotes_ = quoteSeen_ = fieldStarted_ = true;
        } else if (c == ';') {
            afterQuote_ = false;
            endField();
        } else if (ends) {
            ++at;
            ++position_;
            afterQuote_ = false;
            endField();
            endRecord();
            afterCr_ = c == '\r';
            nextLine();
            continue;
        } else {
            afterQuote_ = false;
            fieldStarted_ = true;
            at = appendRun(at, limit, kStops.outside);
            continue;
        }
        ++at;
        ++position_;
        ++recordBytes_;
    }
}

void ReportParser::finish() {
    if (!overlong_ && (fieldStarted_ || !ends_.empty() || !record_.empty() || nulField_ != 0)) {
        if (inQuotes_) {
            problem(ends_.size() + 1, "кавичките не са затворени до края на файла");
            dropFields();
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
    // The fields read byte by byte, as views of record_.
    const std::size_t count = ends_.size();
    if (views_.size() < count)
        views_.resize(count);
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        views_[i] = std::string_view(record_).substr(start, ends_[i] - start);
        start = ends_[i];
    }
    endRecord(views_.data(), count);
    record_.clear();
    ends_.clear();
}

void ReportParser::endRecord(const std::string_view* fields, std::size_t count) {
    const std::size_t nul = nulField_;
    nulField_ = 0;
    const bool blank = nul == 0 && count == 1 && trimmed(fields[0]).empty();
    if (blank)
        return;
    auto where = [this] { return file_ + ": ред " + std::to_string(recordLine_) + ": "; };
    const bool columns = count == kColumns || (count == kColumns + 1 && fields[kColumns].empty());
    switch (stage_) {
    case Stage::Title: {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            if (i != 0)
                text += ';';
            text += fields[i];
        }
        if (nul != 0 || !parseTitle(text, title_))
            throw NotAReportError(where() + "не е справка за декларираните продажби (заглавието не е такова)");
        stage_ = Stage::Captions;
        return;
    }
    case Stage::Captions: {
        bool known = nul == 0 && columns;
        for (const CaptionWord& caption : kCaptionWords)
            known = known && hasWord(lowered(fields[caption.column]), caption.word);
        if (!known)
            throw NotAReportError(where() + "не е справка за декларираните продажби (заглавията на колоните са " +
                                  std::to_string(count) + " или не са такива)");
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
    if (!columns) {
        problem(0, std::to_string(count) + " полета вместо 16");
        return;
    }
    bool sound = true;
    for (std::size_t column = kFirstAmountColumn; column < kColumns; ++column) {
        std::optional<std::int64_t>& cents = found_.cents[column - kFirstAmountColumn];
        cents = amountCents(fields[column]);
        if (!cents && !trimmed(fields[column]).empty() && !ExactDecimal::parse(fields[column])) {
            problem(column + 1, "сумата \"" + shownText(win1251ToUtf8(fields[column])) + "\" не е число");
            sound = false;
        }
    }
    if (!sound)
        return;
    ++documents_;
    found_.line = recordLine_;
    found_.offset = recordStart_;
    std::copy(fields, fields + kColumns, found_.fields.begin());
    if (onFields_)
        onFields_(found_);
    if (onLine_) {
        ReportLine& line = document_;
        line.line = recordLine_;
        line.offset = recordStart_;
        for (std::size_t column = 0; column < kColumns; ++column)
            line.fields[column].assign(fields[column]);
        onLine_(line);
    }
}

ReportTitle readReportFile(const std::string& path, const ReportParser::LineSink& onLine,
                           const ReportParser::ProblemSink& onProblem) {
    std::size_t size = 0;
    const UniqueFd fd = openFileForReading(path, size);
    return readReportFile(fd.get(), path, onLine, onProblem);
}

namespace {

ReportTitle readWhole(int fd, const std::string& path, ReportParser& parser) {
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

} // namespace

ReportTitle readReportFile(int fd, const std::string& path, const ReportParser::LineSink& onLine,
                           const ReportParser::ProblemSink& onProblem) {
    ReportParser parser(path, onLine, onProblem);
    return readWhole(fd, path, parser);
}

ReportTitle readReportFields(int fd, const std::string& path, const ReportParser::FieldsSink& onFields,
                             const ReportParser::ProblemSink& onProblem) {
    ReportParser parser = ReportParser::withViews(path, onFields, onProblem);
    return readWhole(fd, path, parser);
}

bool readReportLineAt(const std::string& path, std::uint64_t offset, ReportLine& line) {
    std::size_t size = 0;
    const UniqueFd fd = openFileForReading(path, size);
    return readReportLineAt(fd.get(), path, offset, line);
}

bool readReportLineAt(int fd, const std::string& path, std::uint64_t offset, ReportLine& line) {
    // Small reads: a line is a few hundred bytes.
    return ReportLineReader(fd, path, 1024).read(offset, line.line, line);
}

ReportLineReader::ReportLineReader(int fd, std::string path, std::size_t chunk)
    : fd_(fd), path_(std::move(path)), chunk_(chunk), parser_(ReportParser::withViews(path_,
                                                                                      [this](const ReportFields& read) {
                                                                                          if (!found_)
                                                                                              (*target_)(read);
                                                                                          found_ = true;
                                                                                      },
                                                                                      {})) {}

bool ReportLineReader::read(std::uint64_t offset, std::size_t lineNumber, ReportLine& line) {
    return readFields(offset, lineNumber, [&line](const ReportFields& read) {
        line.line = read.line;
        line.offset = read.offset;
        for (std::size_t column = 0; column < kColumns; ++column)
            line.fields[column].assign(read.fields[column]);
    });
}

bool ReportLineReader::fill(std::uint64_t at, std::size_t size) {
    window_.resize(size);
    for (;;) {
        const ssize_t got = ::pread(fd_, window_.data(), size, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw FileError(path_ + ": " + std::strerror(errno));
        window_.resize(static_cast<std::size_t>(got));
        windowAt_ = at;
        return got != 0;
    }
}

bool ReportLineReader::readFields(std::uint64_t offset, std::size_t lineNumber,
                                  const ReportParser::FieldsSink& onFields) {
    auto held = [this](std::uint64_t at) { return at >= windowAt_ && at - windowAt_ < window_.size(); };
    if (offset > 0) {
        // A line starts only after a break.
        if (!held(offset - 1) && !fill(offset - 1, chunk_))
            return false;
        const char before = window_[offset - 1 - windowAt_];
        if (before != '\n' && before != '\r')
            return false;
    }
    found_ = false;
    target_ = &onFields;
    parser_.startAtDocuments(offset, lineNumber);
    std::size_t chunk = chunk_;
    std::uint64_t at = offset;
    while (!found_) {
        if (!held(at)) {
            if (!fill(at, chunk)) {
                parser_.finish();
                break;
            }
            chunk = std::max<std::size_t>(chunk_, std::min<std::size_t>(chunk * 2, 1 << 20));
        }
        // Up to the next break and no further: the parser reads all it is given.
        const char* const from = window_.data() + (at - windowAt_);
        const char* const end = window_.data() + window_.size();
        const char* stop = from;
        while (stop < end && *stop != '\n' && *stop != '\r')
            ++stop;
        if (stop < end)
            ++stop;
        parser_.feed(std::string_view(from, static_cast<std::size_t>(stop - from)));
        at += static_cast<std::uint64_t>(stop - from);
        if (at - offset > kMaxLineBytes + 2)
            break;
    }
    return found_;
}

} // namespace orva::report
