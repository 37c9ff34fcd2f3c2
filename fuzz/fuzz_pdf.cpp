// Our PDF writer on any document: the first byte is the lines a page holds (0 to 255, so the
// refusal of a page without a line is reached too), the rest the document's lines, each ended by
// LF (the last one need not be); the first line is the title as well. A page that holds no line is
// the only failure; a written document starts with %PDF-, ends with %%EOF, and its page tree
// counts one page for every full or begun page of lines (one empty page for none).
#include "FuzzChecks.h"

#include "pdf/PdfWriter.h"
#include "text/Errors.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

class StringSink final : public orva::ByteSink {
public:
    void write(std::string_view bytes) override { bytes_.append(bytes); }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// The document face the programs embed (ORVA_FONT_SOURCE).
const std::string& documentFace() {
    static const std::string face = [] {
        std::ifstream file(ORVA_FUZZ_FONT, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        fuzz::require(!bytes.empty());
        return bytes;
    }();
    return face;
}

// An A4 page of the 8-point face at 1200 dpi, as the export lays it out.
orva::PdfPageLayout a4Layout(int linesPerPage) {
    orva::PdfPageLayout layout;
    layout.pageWidth = 595;
    layout.pageHeight = 842;
    layout.fontSize = 8.04;
    layout.advance = 4.8;
    layout.firstBaseline = 7.2;
    layout.leading = 9.06;
    layout.printableWidth = 595;
    layout.linesPerPage = linesPerPage;
    return layout;
}

// The /Count of the page tree (object 2), -1 when it is not there.
int pageTreeCount(const std::string& pdf) {
    const std::size_t tree = pdf.find("\n2 0 obj\n<</Type/Pages/");
    const std::size_t count = tree == std::string::npos ? tree : pdf.find("/Count ", tree);
    return count == std::string::npos ? -1 : std::atoi(pdf.c_str() + count + 7);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const int linesPerPage = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const std::string title = lines.empty() ? std::string() : std::string(lines.front());

    StringSink sink;
    try {
        orva::PdfWriter writer(sink, documentFace(), a4Layout(linesPerPage), title, "ОРВА");
        for (const std::string_view line : lines)
            writer.addLine(line);
        writer.finish();
        const int pages = lines.empty() ? 1 : static_cast<int>((lines.size() + linesPerPage - 1) / linesPerPage);
        fuzz::require(writer.pageCount() == pages);
        fuzz::require(pageTreeCount(sink.bytes()) == pages);
    } catch (const orva::Error&) {
        fuzz::require(linesPerPage == 0);
        return 0;
    }
    const std::string& pdf = sink.bytes();
    fuzz::require(pdf.compare(0, 5, "%PDF-") == 0);
    fuzz::require(pdf.size() >= 6 && pdf.compare(pdf.size() - 6, 6, "%%EOF\n") == 0);
    return 0;
}
