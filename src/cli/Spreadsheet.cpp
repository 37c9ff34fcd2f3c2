#include "cli/Spreadsheet.h"

#include "journals/JournalSheet.h"
#include "text/Csv.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Mik.h"
#include "text/Paths.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <optional>
#include <set>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva::cli {

void checkXlsx(int error, const std::string& what) {
    if (error != LXW_NO_ERROR)
        throw Error(what + ": " + lxw_strerror(static_cast<lxw_error>(error)));
}

namespace {

// The workbook's name inside its private folder.
const char* const kBookName = "book.xlsx";

// Removes what is left in the private folder (the workbook when it was not published), then the folder.
void removePrivateFolder(int folderFd, const std::string& folder) {
    if (const int listing = ::dup(folderFd); listing >= 0) {
        if (DIR* directory = ::fdopendir(listing)) {
            while (const dirent* entry = ::readdir(directory)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    ::unlinkat(folderFd, entry->d_name, 0);
            }
            ::closedir(directory);
        } else {
            ::close(listing);
        }
    }
    ::rmdir(folder.c_str());
}

// Private folders of runs killed before they finished (".NAME.PID.xlsx.XXXXXX" of this user whose
// process has ended), each with the workbook it may hold. Those of running processes are left alone.
void removeStalePrivateFolders(const std::string& folder, const std::string& name) {
    for (const std::string& entryName : leftoversOfEndedRuns(folder, name, ".xlsx.")) {
        const std::string stale = joinPath(folder, entryName);
        const UniqueFd staleFd(::open(stale.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        if (staleFd && ::fstat(staleFd.get(), &info) == 0 && info.st_uid == ::geteuid())
            removePrivateFolder(staleFd.get(), stale);
    }
}

} // namespace

XlsxBook::XlsxBook(const std::string& path) : path_(path) {
    removeStalePrivateFolders(folderOf(path), fileName(path));
    // libxlsxwriter opens the workbook and its own temporary files by name. They go into a folder of
    // this process's own (mode 0700) beside the target, named through its open descriptor: nobody else
    // can put a link in their place, nor swap the folder. Published, the workbook is renamed into
    // place; it is written once.
    private_ = joinPath(folderOf(path), "." + fileName(path) + "." + std::to_string(::getpid()) + ".xlsx.XXXXXX");
    if (::mkdtemp(private_.data()) == nullptr)
        throwFileError(FileAction::Write, path_, errno);
    folderFd_.reset(::open(private_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folderFd_) {
        const int error = errno;
        ::rmdir(private_.c_str());
        throwFileError(FileAction::Write, path_, error);
    }
    reachedAs_ = "/proc/self/fd/" + std::to_string(folderFd_.get());
    if (::access(reachedAs_.c_str(), W_OK) != 0)
        reachedAs_ = private_; // no /proc: the name, still in a folder only this user may write into
    const std::string book = joinPath(reachedAs_, kBookName);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    options.tmpdir = reachedAs_.data();
    book_ = workbook_new_opt(book.c_str(), &options);
    if (book_ == nullptr) {
        removePrivateFolder(folderFd_.get(), private_);
        throw Error(path_ + ": не може да се създаде работна книга");
    }
    header_ = workbook_add_format(book_);
    format_set_bold(header_);
    format_set_text_wrap(header_);
    format_set_align(header_, LXW_ALIGN_VERTICAL_TOP);
    money_ = workbook_add_format(book_);
    format_set_num_format(money_, "0.00");
    date_ = workbook_add_format(book_);
    format_set_num_format(date_, "dd.mm.yyyy");
    bold_ = workbook_add_format(book_);
    format_set_bold(bold_);
}

XlsxBook::~XlsxBook() {
    if (!finished_ && book_ != nullptr) {
        // Closing writes the file; nothing better can be done with the workbook's memory.
        workbook_close(book_);
    }
    removePrivateFolder(folderFd_.get(), private_);
}

lxw_worksheet* XlsxBook::addSheet(const std::string& name) {
    lxw_worksheet* sheet = workbook_add_worksheet(book_, name.c_str());
    if (sheet == nullptr)
        throw Error(path_ + ": не може да се добави лист \"" + name + "\"");
    return sheet;
}

void XlsxBook::finish() {
    if (finished_)
        return;
    finished_ = true;
    lxw_workbook* book = book_;
    book_ = nullptr;
    checkXlsx(workbook_close(book), path_);
    // On disk before it is put in place, as every file the program writes.
    const UniqueFd file(::openat(folderFd_.get(), kBookName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file || ::fsync(file.get()) != 0)
        throwFileError(FileAction::Write, path_, errno);
}

void XlsxBook::publish() {
    finish();
    if (published_)
        return;
    // A link at the target is replaced, never written through.
    if (::renameat(folderFd_.get(), kBookName, AT_FDCWD, path_.c_str()) != 0)
        throwFileError(FileAction::Write, path_, errno);
    published_ = true;
    const UniqueFd folder(::open(folderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder)
        ::fsync(folder.get());
}

std::string csvCell(const std::string& text) {
    std::string cell;
    appendCsvCell(cell, text);
    return cell;
}

void appendCsvCell(std::string& out, std::string_view text) {
    // Text that starts like a formula is rare: only it takes the neutralising copy.
    const std::string neutralised =
        !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos
            ? neutralisedCsvCell(text)
            : std::string();
    const std::string_view cell = neutralised.empty() ? text : std::string_view(neutralised);
    // Called for every cell of a million rows: one table look-up a byte, not four comparisons.
    static constexpr auto special = [] {
        std::array<bool, 256> table{};
        table[static_cast<unsigned char>(';')] = table[static_cast<unsigned char>('"')] = true;
        table[static_cast<unsigned char>('\r')] = table[static_cast<unsigned char>('\n')] = true;
        return table;
    }();
    const bool plain =
        std::none_of(cell.begin(), cell.end(), [](char c) { return special[static_cast<unsigned char>(c)]; });
    if (plain) {
        out.append(cell);
        return;
    }
    out += '"';
    // The text between two quotes goes in as one run; each quote is doubled.
    for (std::size_t from = 0;;) {
        const std::size_t quote = cell.find('"', from);
        out.append(cell.substr(from, quote == std::string_view::npos ? std::string_view::npos : quote + 1 - from));
        if (quote == std::string_view::npos)
            break;
        out += '"';
        from = quote + 1;
    }
    out += '"';
}

namespace {

const char* sheetName(JournalKind kind) {
    return kind == JournalKind::Purchases ? "Покупки" : "Продажби";
}

// The record's bytes in Windows-1251, each field cut by the record table.
class RecordFields {
public:
    explicit RecordFields(CodePage codePage) : codePage_(codePage) {}
    std::string_view convert(std::string_view raw) {
        if (codePage_ != CodePage::Mik)
            return raw;
        converted_.assign(raw);
        mikToWin1251InPlace(converted_);
        return converted_;
    }

private:
    CodePage codePage_;
    std::string converted_;
};

class XlsxJournal final : public JournalSheetWriter {
public:
    XlsxJournal(const std::string& path, const RecordLayout& layout, Wording wording, CodePage codePage,
                std::size_t recordsPerSheet)
        : book_(path), layout_(layout), wording_(wording), fields_(codePage),
          perSheet_(recordsPerSheet < 1 ? 1 : recordsPerSheet), columns_(sheetColumnCount(layout)) {
        newSheet();
    }

    void record(std::string_view raw) override {
        if (rows_ == perSheet_) {
            closeSheet();
            newSheet();
        }
        const std::string_view record = fields_.convert(raw);
        const auto row = static_cast<lxw_row_t>(++rows_);
        for (std::size_t index = 0; index < columns_; ++index)
            put(row, index, sheetCell(layout_.fields[index], fieldText(record, layout_.fields[index])));
    }

    void finish(const std::vector<ExactDecimal>& totals) override {
        // The totals row follows the last record; on a full sheet it starts one more.
        if (rows_ == perSheet_) {
            closeSheet();
            newSheet();
        }
        closeSheet();
        const auto row = static_cast<lxw_row_t>(rows_ + 1);
        checkXlsx(worksheet_write_string(sheet_, row, 0, "ОБЩО", book_.bold()), book_.path());
        for (std::size_t k = 0; k < layout_.amountCount && k < totals.size(); ++k) {
            const std::size_t column = FirstAmountField + k;
            const std::string letters = columnLetters(column);
            std::string ranges;
            for (const auto& [name, count] : sheets_) {
                if (count == 0)
                    continue;
                const std::string sheetPart = name == sheetTitle_ ? "" : "'" + name + "'!";
                ranges +=
                    (ranges.empty() ? "" : ",") + sheetPart + letters + "2:" + letters + std::to_string(count + 1);
            }
            const std::string formula = ranges.empty() ? "=0" : "=SUM(" + ranges + ")";
            // A SUM would leave out the amounts kept as text, and a total without a double near it
            // would be cached as 0: the exact total as text then.
            const std::optional<double> total = spreadsheetNumber(totals[k]);
            if (total && textAmounts_.count(column) == 0)
                checkXlsx(worksheet_write_formula_num(sheet_, row, static_cast<lxw_col_t>(column), formula.c_str(),
                                                      book_.money(), *total),
                          book_.path());
            else
                checkXlsx(worksheet_write_string(sheet_, row, static_cast<lxw_col_t>(column),
                                                 totals[k].moneyText().c_str(), nullptr),
                          book_.path());
        }
        book_.finish();
    }

    void publish() override { book_.publish(); }
    const std::string& path() const override { return book_.path(); }

private:
    void newSheet() {
        const std::size_t number = sheets_.size() + 1;
        sheetTitle_ = std::string(sheetName(layout_.kind)) + (number == 1 ? "" : " " + std::to_string(number));
        sheet_ = book_.addSheet(sheetTitle_);
        rows_ = 0;
        for (std::size_t index = 0; index < columns_; ++index)
            worksheet_set_column(sheet_, static_cast<lxw_col_t>(index), static_cast<lxw_col_t>(index),
                                 sheetColumnWidth(layout_, index), nullptr);
        worksheet_set_row(sheet_, 0, 60, nullptr);
        for (std::size_t index = 0; index < columns_; ++index)
            checkXlsx(worksheet_write_string(sheet_, 0, static_cast<lxw_col_t>(index),
                                             sheetHeader(layout_, index, wording_).c_str(), book_.header()),
                      book_.path());
        worksheet_freeze_panes(sheet_, 1, 0);
    }

    // The sheet's records are all written: its filter covers them.
    void closeSheet() {
        worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(rows_), static_cast<lxw_col_t>(columns_ - 1));
        sheets_.emplace_back(sheetTitle_, rows_);
    }

    void put(lxw_row_t row, std::size_t index, const SheetCell& cell) {
        const auto column = static_cast<lxw_col_t>(index);
        lxw_error error = LXW_NO_ERROR;
        switch (cell.kind) {
        case SheetCell::Kind::Empty:
            return;
        case SheetCell::Kind::Money:
            error = worksheet_write_number(sheet_, row, column, cell.number, book_.money());
            break;
        case SheetCell::Kind::Number:
            error = worksheet_write_number(sheet_, row, column, cell.number, nullptr);
            break;
        case SheetCell::Kind::Date: {
            lxw_datetime date{cell.year, cell.month, cell.day, 0, 0, 0};
            error = worksheet_write_datetime(sheet_, row, column, &date, book_.date());
            break;
        }
        case SheetCell::Kind::Text:
            if (layout_.fields[index].kind == FieldKind::Amount)
                textAmounts_.insert(index);
            error = worksheet_write_string(sheet_, row, column, cell.text.c_str(), nullptr);
            break;
        }
        checkXlsx(error, book_.path());
    }

    XlsxBook book_;
    const RecordLayout& layout_;
    Wording wording_;
    RecordFields fields_;
    std::size_t perSheet_;
    std::size_t columns_;
    lxw_worksheet* sheet_ = nullptr;
    std::string sheetTitle_;
    std::size_t rows_ = 0;                                    // records on the current sheet
    std::vector<std::pair<std::string, std::size_t>> sheets_; // every closed sheet and its records
    std::set<std::size_t> textAmounts_;                       // amount columns with a cell kept as text
};

class CsvJournal final : public JournalSheetWriter {
public:
    CsvJournal(const std::string& path, const RecordLayout& layout, Wording wording, CodePage codePage)
        : file_(path, AtomicFileWriter::Links::Replace), layout_(layout), fields_(codePage),
          columns_(sheetColumnCount(layout)) {
        file_.write("\xEF\xBB\xBF");
        for (std::size_t index = 0; index < columns_; ++index)
            cell(index, sheetHeader(layout_, index, wording));
        file_.write("\r\n");
    }

    void record(std::string_view raw) override {
        const std::string_view record = fields_.convert(raw);
        for (std::size_t index = 0; index < columns_; ++index)
            cell(index, sheetCell(layout_.fields[index], fieldText(record, layout_.fields[index])).text);
        file_.write("\r\n");
    }

    void finish(const std::vector<ExactDecimal>& totals) override {
        cell(0, "ОБЩО");
        for (std::size_t index = 1; index < columns_; ++index) {
            const std::size_t k = index - FirstAmountField;
            cell(index, index >= FirstAmountField && k < totals.size() && k < layout_.amountCount
                            ? totals[k].moneyText()
                            : std::string());
        }
        file_.write("\r\n");
        file_.finish();
    }

    void publish() override { file_.publish(); }
    const std::string& path() const override { return file_.path(); }

private:
    void cell(std::size_t index, const std::string& text) {
        if (index != 0)
            file_.write(";");
        file_.write(csvCell(text));
    }

    AtomicFileWriter file_;
    const RecordLayout& layout_;
    RecordFields fields_;
    std::size_t columns_;
};

} // namespace

std::unique_ptr<JournalSheetWriter> xlsxJournal(const std::string& path, const RecordLayout& layout, Wording wording,
                                                CodePage codePage, std::size_t recordsPerSheet) {
    return std::make_unique<XlsxJournal>(path, layout, wording, codePage, recordsPerSheet);
}

std::unique_ptr<JournalSheetWriter> csvJournal(const std::string& path, const RecordLayout& layout, Wording wording,
                                               CodePage codePage) {
    return std::make_unique<CsvJournal>(path, layout, wording, codePage);
}

} // namespace orva::cli
