#include "cli/Spreadsheet.h"

#include "journals/JournalSheet.h"
#include "text/Csv.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Mik.h"
#include "text/Paths.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

namespace orva::cli {

void checkXlsx(int error, const std::string& what) {
    if (error != LXW_NO_ERROR)
        throw Error(what + ": " + lxw_strerror(static_cast<lxw_error>(error)));
}

XlsxBook::XlsxBook(const std::string& path) : path_(path) {
    // libxlsxwriter writes the zip in one go at the end; it goes to a hidden file of its own first and
    // is then put in place like every file the program writes.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    temporary_ = folder + "/." + name + "." + std::to_string(::getpid()) + ".xlsx.XXXXXX";
    const int fd = ::mkstemp(temporary_.data());
    if (fd < 0)
        throwFileError(FileAction::Write, path_, errno);
    ::close(fd);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    book_ = workbook_new_opt(temporary_.c_str(), &options);
    if (book_ == nullptr) {
        ::unlink(temporary_.c_str());
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
    ::unlink(temporary_.c_str());
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
    checkXlsx(workbook_close(book_), path_);
    book_ = nullptr;
}

void XlsxBook::publish() {
    finish();
    if (published_)
        return;
    AtomicFileWriter file(path_, AtomicFileWriter::Links::Replace);
    readFileChunks(temporary_, 1 << 20, [&](std::string_view chunk) {
        file.write(chunk);
        return true;
    });
    file.publish();
    published_ = true;
}

std::string csvCell(const std::string& text) {
    const std::string cell = neutralisedCsvCell(text);
    if (cell.find_first_of(";\"\r\n") == std::string::npos)
        return cell;
    std::string quoted = "\"";
    for (const char c : cell) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
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
            checkXlsx(worksheet_write_formula_num(sheet_, row, static_cast<lxw_col_t>(column), formula.c_str(),
                                                  book_.money(), toDouble(totals[k])),
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
