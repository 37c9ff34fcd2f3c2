#pragma once

// A small PDF writer for the documents: pages of single-byte Windows-1251 lines in one monospaced
// TrueType face. Standard C++ and zlib only; the face's bytes and every measure come from the
// caller, so what it draws is laid out exactly as the caller's renderer lays out paper.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// Where the bytes of a file go, in order. write() throws (FileError) when they cannot be written.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
};

// The page and the text on it, in PDF points (1/72 inch), distances from the page's top left.
struct PdfPageLayout {
    double pageWidth = 0;
    double pageHeight = 0;
    double fontSize = 0;
    double advance = 0;        // of every character (the face is monospaced)
    double left = 0;           // where each line starts
    double firstBaseline = 0;  // of the page's first line
    double leading = 0;        // from one baseline to the next
    double printableWidth = 0; // a line wider than this is narrowed horizontally to it
    int linesPerPage = 0;
};

// Writes the document as it is given, line by line: a page is compressed and written when it is
// full (or at newPage/finish), so memory does not grow with the document (only the place of each
// object is kept). The face is embedded once, at finish(), as a subset of the glyphs used. The
// page objects go into object streams and the cross-reference table is a stream (PDF 1.5): a
// long document spends its bytes on its text.
// Lines are Windows-1251 bytes, each drawn as one run; trailing spaces are not drawn.
class PdfWriter {
public:
    // `fontFile`: a TrueType face with a Unicode (3,1) cmap, copied. `title` and `creator`: UTF-8.
    // Throws orva::Error when the face cannot be read or the layout holds no line.
    PdfWriter(ByteSink& sink, std::string_view fontFile, const PdfPageLayout& layout, std::string title,
              std::string creator);
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // The next line; a full page is written out and a new one begun first.
    void addLine(std::string_view line);
    // Ends the current page; the next line starts a new one.
    void newPage();
    // Writes the last page (an empty one if there was none), the face and the cross-reference
    // table. Nothing may be added afterwards.
    void finish();

    int pageCount() const { return pages_; }

private:
    struct Font;
    struct Compressor;

    void writePagePrefix();
    void beginPage();
    void endPage();
    void writeObjectStream();
    void beginObject(std::uint32_t number);
    void writeStream(std::uint32_t number, std::string_view dictionary, std::string_view data);
    void emit(std::string_view bytes);

    ByteSink& sink_;
    PdfPageLayout layout_;
    std::string title_;
    std::string creator_;
    std::unique_ptr<Font> font_;
    std::unique_ptr<Compressor> compressor_;
    // Where each object is, by number: its offset in the file, or the object stream holding it
    // (kInObjectStream set); 0 = none.
    std::vector<std::uint64_t> objects_;
    std::uint64_t position_ = 0;
    std::string page_;         // content of the page being built
    std::string batchIndex_;   // the page objects waiting for their object stream: numbers, offsets
    std::string batchObjects_; // and the objects themselves
    int batchCount_ = 0;
    bool pageOpen_ = false;
    int row_ = 0;
    int pages_ = 0;
    bool finished_ = false;
    bool used_[256] = {};
};

} // namespace orva
