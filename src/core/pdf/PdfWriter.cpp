#include "pdf/PdfWriter.h"

#include "text/Encoding.h"
#include "text/Errors.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>

namespace orva {

// ---------------------------------------------------------------- the face

namespace {

[[noreturn]] void badFont(const char* what) {
    throw Error(std::string("PDF: шрифтът на документа не може да се прочете (") + what + ")");
}

std::uint32_t readU16(std::string_view data, std::size_t at) {
    if (at + 2 > data.size())
        badFont("кратка таблица");
    return static_cast<std::uint32_t>(static_cast<unsigned char>(data[at]) << 8 |
                                      static_cast<unsigned char>(data[at + 1]));
}

std::uint32_t readU32(std::string_view data, std::size_t at) {
    return readU16(data, at) << 16 | readU16(data, at + 2);
}

int readS16(std::string_view data, std::size_t at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(readU16(data, at)));
}

void putU16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value >> 8 & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void putU32(std::string& out, std::uint32_t value) {
    putU16(out, value >> 16);
    putU16(out, value & 0xFFFF);
}

void setU32(std::string& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>(value >> (24 - 8 * i) & 0xFF);
}

std::uint32_t checksum(std::string_view data) {
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < data.size(); at += 4) {
        std::uint32_t word = 0;
        for (std::size_t i = 0; i < 4; ++i)
            word = word << 8 | (at + i < data.size() ? static_cast<unsigned char>(data[at + i]) : 0u);
        sum += word;
    }
    return sum;
}

} // namespace

// The embedded TrueType face: what the font dictionaries need, and a subset keeping the glyph
// numbers (unused glyphs are left empty, so the cmap and hmtx stay valid as they are).
struct PdfWriter::Font {
    std::string file;
    std::map<std::string, std::string_view> tables;
    int unitsPerEm = 1000;
    int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    int ascender = 0, descender = 0, capHeight = 0;
    int italicAngle = 0;
    bool longLoca = false;
    std::uint32_t glyphCount = 0;
    std::string name = "DocumentFont";
    std::array<std::uint16_t, 256> glyphOfByte{};

    explicit Font(std::string_view bytes) : file(bytes) {
        const std::string_view data(file);
        const std::uint32_t count = readU16(data, 4);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t entry = 12 + 16 * i;
            if (entry + 16 > data.size())
                badFont("таблиците");
            const std::uint32_t offset = readU32(data, entry + 8), length = readU32(data, entry + 12);
            if (offset > data.size() || length > data.size() - offset)
                badFont("таблиците");
            tables[std::string(data.substr(entry, 4))] = data.substr(offset, length);
        }
        for (const char* tag : {"head", "hhea", "hmtx", "maxp", "loca", "glyf", "cmap"})
            if (!tables.count(tag))
                badFont(tag);
        const std::string_view head = tables["head"];
        unitsPerEm = static_cast<int>(readU16(head, 18));
        if (unitsPerEm == 0)
            badFont("head");
        xMin = readS16(head, 36), yMin = readS16(head, 38), xMax = readS16(head, 40), yMax = readS16(head, 42);
        longLoca = readS16(head, 50) == 1;
        ascender = readS16(tables["hhea"], 4);
        descender = readS16(tables["hhea"], 6);
        capHeight = ascender;
        if (tables.count("OS/2") && readU16(tables["OS/2"], 0) >= 2 && tables["OS/2"].size() >= 90)
            capHeight = readS16(tables["OS/2"], 88);
        if (tables.count("post"))
            italicAngle = static_cast<std::int32_t>(readU32(tables["post"], 4)) / 65536;
        glyphCount = readU16(tables["maxp"], 4);
        if (tables["loca"].size() < (glyphCount + 1) * (longLoca ? 4u : 2u))
            badFont("loca");
        readName();
        const std::string_view unicode = unicodeCmap();
        for (int byte = 0; byte < 256; ++byte)
            glyphOfByte[byte] = glyphOf(unicode, win1251Char(static_cast<unsigned char>(byte)));
    }

    void readName() {
        if (!tables.count("name"))
            return;
        const std::string_view table = tables["name"];
        const std::uint32_t count = readU16(table, 2), strings = readU16(table, 4);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t record = 6 + 12 * i;
            const std::uint32_t platform = readU16(table, record), nameId = readU16(table, record + 6);
            const std::uint32_t length = readU16(table, record + 8), offset = readU16(table, record + 10);
            if (nameId != 6 || (platform != 1 && platform != 3) || strings + offset + length > table.size())
                continue;
            std::string found;
            const std::size_t step = platform == 3 ? 2 : 1;
            for (std::size_t at = strings + offset + step - 1; at < strings + offset + length; at += step) {
                const char c = table[at];
                if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')
                    found += c;
            }
            if (!found.empty()) {
                name = found;
                return;
            }
        }
    }

    // The format 4 subtable for Unicode (Windows, else Unicode platform).
    std::string_view unicodeCmap() {
        const std::string_view cmap = tables["cmap"];
        const std::uint32_t count = readU16(cmap, 2);
        std::string_view best;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t platform = readU16(cmap, 4 + 8 * i), encoding = readU16(cmap, 6 + 8 * i);
            const std::uint32_t offset = readU32(cmap, 8 + 8 * i);
            if (offset >= cmap.size() || readU16(cmap, offset) != 4)
                continue;
            const std::string_view sub =
                cmap.substr(offset, std::min<std::size_t>(readU16(cmap, offset + 2), cmap.size() - offset));
            if (platform == 3 && encoding == 1)
                return sub;
            if (platform == 0)
                best = sub;
        }
        if (best.empty())
            badFont("cmap");
        return best;
    }

    static std::uint16_t glyphOf(std::string_view sub, std::uint32_t code) {
        const std::uint32_t segments = readU16(sub, 6) / 2;
        const std::size_t ends = 14, starts = ends + 2 * segments + 2, deltas = starts + 2 * segments,
                          ranges = deltas + 2 * segments;
        for (std::uint32_t i = 0; i < segments; ++i) {
            if (code > readU16(sub, ends + 2 * i))
                continue;
            if (code < readU16(sub, starts + 2 * i))
                return 0;
            const std::uint32_t delta = readU16(sub, deltas + 2 * i), range = readU16(sub, ranges + 2 * i);
            if (range == 0)
                return static_cast<std::uint16_t>((code + delta) & 0xFFFF);
            const std::size_t at = ranges + 2 * i + range + 2 * (code - readU16(sub, starts + 2 * i));
            const std::uint32_t glyph = readU16(sub, at);
            return glyph == 0 ? 0 : static_cast<std::uint16_t>((glyph + delta) & 0xFFFF);
        }
        return 0;
    }

    std::string_view glyph(std::uint32_t id) const {
        const std::string_view loca = tables.at("loca"), glyf = tables.at("glyf");
        const std::uint32_t start = longLoca ? readU32(loca, 4 * id) : readU16(loca, 2 * id) * 2;
        const std::uint32_t end = longLoca ? readU32(loca, 4 * id + 4) : readU16(loca, 2 * id + 2) * 2;
        if (start > end || end > glyf.size())
            badFont("glyf");
        return glyf.substr(start, end - start);
    }

    // Marks `id` and, for a composite glyph, the glyphs it is built of.
    void keep(std::uint32_t id, std::vector<bool>& kept) const {
        if (id >= glyphCount || kept[id])
            return;
        kept[id] = true;
        const std::string_view data = glyph(id);
        if (data.size() < 10 || readS16(data, 0) >= 0)
            return;
        std::size_t at = 10;
        for (;;) {
            const std::uint32_t flags = readU16(data, at);
            keep(readU16(data, at + 2), kept);
            at += 4 + ((flags & 0x0001) ? 4 : 2);
            if (flags & 0x0008)
                at += 2;
            else if (flags & 0x0040)
                at += 4;
            else if (flags & 0x0080)
                at += 8;
            if (!(flags & 0x0020))
                break;
        }
    }

    // A face holding only the glyphs of the bytes marked in `used` (and .notdef), the rest of
    // the glyphs empty; the tables a PDF reader does not use are left out.
    std::string subset(const bool* used) const {
        std::vector<bool> kept(glyphCount, false);
        keep(0, kept);
        for (int byte = 0; byte < 256; ++byte)
            if (used[byte])
                keep(glyphOfByte[byte], kept);

        std::string glyf, loca;
        for (std::uint32_t id = 0; id <= glyphCount; ++id) {
            if (longLoca)
                putU32(loca, static_cast<std::uint32_t>(glyf.size()));
            else
                putU16(loca, static_cast<std::uint32_t>(glyf.size() / 2));
            if (id < glyphCount && kept[id]) {
                glyf.append(glyph(id));
                glyf.append((4 - glyf.size() % 4) % 4, '\0');
            }
        }
        std::map<std::string, std::string> out;
        for (const char* tag : {"OS/2", "cmap", "cvt ", "fpgm", "head", "hhea", "hmtx", "maxp", "prep"})
            if (tables.count(tag))
                out[tag] = std::string(tables.at(tag));
        out["glyf"] = std::move(glyf);
        out["loca"] = std::move(loca);
        setU32(out["head"], 8, 0); // checkSumAdjustment, set below

        const std::uint32_t count = static_cast<std::uint32_t>(out.size());
        std::uint32_t power = 1, log = 0;
        while (power * 2 <= count)
            power *= 2, ++log;
        std::string font;
        putU32(font, 0x00010000);
        putU16(font, count);
        putU16(font, power * 16);
        putU16(font, log);
        putU16(font, count * 16 - power * 16);
        std::uint32_t offset = 12 + 16 * count;
        std::size_t headOffset = 0;
        for (const auto& [tag, data] : out) {
            font += tag;
            putU32(font, checksum(data));
            putU32(font, offset);
            putU32(font, static_cast<std::uint32_t>(data.size()));
            if (tag == "head")
                headOffset = offset;
            offset += static_cast<std::uint32_t>((data.size() + 3) / 4 * 4);
        }
        for (const auto& [tag, data] : out) {
            font += data;
            font.append((4 - data.size() % 4) % 4, '\0');
        }
        setU32(font, headOffset + 8, 0xB1B0AFBA - checksum(font));
        return font;
    }
};

// ---------------------------------------------------------------- the document

namespace {

// Smaller files are worth the time here: level 9 costs about twice level 6 and saves 3 %.
constexpr int kCompression = Z_BEST_COMPRESSION;

// Page objects per object stream.
constexpr std::uint32_t kBatch = 100;

// Fixed object numbers (kPagePrefix: the start of every page's text, shared); the pages follow in
// batches: a content stream and a page object for each page of the batch, then the object stream
// holding the batch's page objects.
enum : std::uint32_t {
    kCatalog = 1,
    kPages,
    kResources,
    kFontObject,
    kFontDescriptor,
    kFontFile,
    kToUnicode,
    kInfo,
    kPagePrefix,
    kFirstPage
};

constexpr std::uint64_t kInObjectStream = std::uint64_t(1) << 63;

std::uint32_t batchStart(int page) {
    return kFirstPage + static_cast<std::uint32_t>(page) / kBatch * (2 * kBatch + 1);
}
std::uint32_t contentObject(int page) {
    return batchStart(page) + 2 * (static_cast<std::uint32_t>(page) % kBatch);
}
std::uint32_t pageObject(int page) {
    return contentObject(page) + 1;
}
std::uint32_t objectStreamOf(int page) {
    return batchStart(page) + 2 * kBatch;
}

void appendNumber(std::string& out, double value) {
    char text[48];
    int length = std::snprintf(text, sizeof text, "%.4f", value);
    while (length > 0 && text[length - 1] == '0')
        --length;
    if (length > 0 && text[length - 1] == '.')
        --length;
    if (length == 2 && text[0] == '-' && text[1] == '0')
        length = 1, text[0] = '0';
    out.append(text, static_cast<std::size_t>(length));
}

std::string number(double value) {
    std::string text;
    appendNumber(text, value);
    return text;
}

std::string hex4(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

// A UTF-8 text as a PDF text string: UTF-16BE with its byte-order mark, in hex.
std::string textString(std::string_view utf8) {
    std::string out = "<FEFF";
    std::size_t at = 0;
    while (at < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[at]);
        std::uint32_t code = 0xFFFD;
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || at + length > utf8.size()) {
            length = 1;
        } else {
            code = length == 1 ? lead : lead & (0x7F >> length);
            for (std::size_t i = 1; i < length; ++i) {
                const unsigned char next = static_cast<unsigned char>(utf8[at + i]);
                if ((next & 0xC0) != 0x80) {
                    code = 0xFFFD;
                    length = i;
                    break;
                }
                code = code << 6 | (next & 0x3F);
            }
        }
        at += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += hex4(0xD800 + (code >> 10)) + hex4(0xDC00 + (code & 0x3FF));
        } else {
            out += hex4(code);
        }
    }
    return out + ">";
}

// The Unicode text of every byte, for copying and searching: pdftotext reads it from here.
std::string toUnicodeCmap() {
    std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                       "1 begincodespacerange\n<00> <FF>\nendcodespacerange\n"
                       "1 beginbfrange\n<20> <7E> <0020>\nendbfrange\n";
    for (int block = 0x80; block < 0x100; block += 64) {
        cmap += "64 beginbfchar\n";
        for (int byte = block; byte < block + 64; ++byte)
            cmap += "<" + hex4(static_cast<std::uint32_t>(byte)).substr(2) + "> <" +
                    hex4(win1251Char(static_cast<unsigned char>(byte))) + ">\n";
        cmap += "endbfchar\n";
    }
    return cmap + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

} // namespace

// One deflate state for every stream of the file.
struct PdfWriter::Compressor {
    z_stream stream{};
    std::string out;

    Compressor() {
        if (deflateInit(&stream, kCompression) != Z_OK)
            throw std::bad_alloc();
    }
    ~Compressor() { deflateEnd(&stream); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    // `data` deflated; the view lasts until the next call.
    std::string_view compress(std::string_view data) {
        deflateReset(&stream);
        out.resize(deflateBound(&stream, static_cast<uLong>(data.size())));
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
            throw Error("PDF: потокът не може да се компресира");
        out.resize(stream.total_out);
        return out;
    }
};

PdfWriter::PdfWriter(ByteSink& sink, std::string_view fontFile, const PdfPageLayout& layout, std::string title,
                     std::string creator)
    : sink_(sink), layout_(layout), title_(std::move(title)), creator_(std::move(creator)),
      font_(std::make_unique<Font>(fontFile)), compressor_(std::make_unique<Compressor>()) {
    if (layout_.linesPerPage < 1 || !(layout_.fontSize > 0) || !(layout_.advance > 0))
        throw Error("PDF: на страницата не се събира нито един ред");
    objects_.assign(kFirstPage, 0);
    // The binary comment marks the file as binary for transfer programs.
    emit("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n");
    writePagePrefix();
}

PdfWriter::~PdfWriter() = default;

void PdfWriter::emit(std::string_view bytes) {
    sink_.write(bytes);
    position_ += bytes.size();
}

void PdfWriter::beginObject(std::uint32_t number) {
    if (objects_.size() <= number)
        objects_.resize(number + 1, 0);
    objects_[number] = position_;
    emit(std::to_string(number) + " 0 obj\n");
}

void PdfWriter::writeStream(std::uint32_t number, std::string_view dictionary, std::string_view data) {
    beginObject(number);
    emit("<<" + std::string(dictionary) + "/Length " + std::to_string(data.size()) + ">>stream\n");
    emit(data);
    emit("\nendstream\nendobj\n");
}

void PdfWriter::beginPage() {
    page_.clear();
    row_ = 0;
    pageOpen_ = true;
}

// What every page's text begins with, a stream of its own that each page lists first: the face,
// the pitch, and the point one leading above the first baseline, so every line starts with T*.
void PdfWriter::writePagePrefix() {
    std::string prefix = "BT\n/F1 ";
    appendNumber(prefix, layout_.fontSize);
    prefix += " Tf\n";
    appendNumber(prefix, layout_.leading);
    prefix += " TL\n";
    appendNumber(prefix, layout_.left);
    prefix += ' ';
    appendNumber(prefix, layout_.pageHeight - layout_.firstBaseline + layout_.leading);
    prefix += " Td\n";
    writeStream(kPagePrefix, "", prefix);
}

void PdfWriter::endPage() {
    page_ += "ET\n";
    writeStream(contentObject(pages_), "/Filter/FlateDecode", compressor_->compress(page_));
    const std::uint32_t page = pageObject(pages_);
    if (objects_.size() <= page)
        objects_.resize(page + 1, 0);
    objects_[page] = kInObjectStream | std::uint64_t(objectStreamOf(pages_)) << 16 | std::uint64_t(batchCount_);
    batchIndex_ += std::to_string(page) + ' ' + std::to_string(batchObjects_.size()) + ' ';
    batchObjects_ += "<</Type/Page/Parent 2 0 R/Contents[" + std::to_string(kPagePrefix) + " 0 R " +
                     std::to_string(contentObject(pages_)) + " 0 R]>>\n";
    ++batchCount_;
    ++pages_;
    pageOpen_ = false;
    if (batchCount_ == static_cast<int>(kBatch))
        writeObjectStream();
}

void PdfWriter::writeObjectStream() {
    if (batchCount_ == 0)
        return;
    const std::string dictionary = "/Type/ObjStm/N " + std::to_string(batchCount_) + "/First " +
                                   std::to_string(batchIndex_.size()) + "/Filter/FlateDecode";
    writeStream(objectStreamOf(pages_ - 1), dictionary, compressor_->compress(batchIndex_ + batchObjects_));
    batchIndex_.clear();
    batchObjects_.clear();
    batchCount_ = 0;
}

void PdfWriter::addLine(std::string_view line) {
    if (finished_)
        throw Error("PDF: документът е завършен");
    if (!pageOpen_)
        beginPage();
    else if (row_ == layout_.linesPerPage) {
        endPage();
        beginPage();
    }
    ++row_;
    std::size_t end = line.size();
    while (end > 0 && line[end - 1] == ' ')
        --end;
    if (end == 0) {
        page_ += "T*\n";
        return;
    }
    // A line wider than the page (a journal's title with a long firm name) is narrowed to the
    // printable width rather than cut off or wrapped, which would move every later line.
    const double width = static_cast<double>(end) * layout_.advance;
    const bool narrowed = width > layout_.printableWidth;
    page_ += "T*";
    if (narrowed) {
        page_ += ' ';
        appendNumber(page_, 100.0 * layout_.printableWidth / width);
        page_ += " Tz";
    }
    page_ += '(';
    for (std::size_t i = 0; i < end; ++i) {
        const char c = line[i];
        used_[static_cast<unsigned char>(c)] = true;
        switch (c) {
        case '(':
        case ')':
        case '\\':
            page_ += '\\';
            page_ += c;
            break;
        case '\r':
            page_ += "\\r";
            break;
        case '\n':
            page_ += "\\n";
            break;
        default:
            page_ += c;
        }
    }
    page_ += ")Tj";
    if (narrowed)
        page_ += " 100 Tz";
    page_ += '\n';
}

void PdfWriter::newPage() {
    if (finished_)
        throw Error("PDF: документът е завършен");
    if (!pageOpen_)
        beginPage();
    endPage();
}

void PdfWriter::finish() {
    if (finished_)
        throw Error("PDF: документът е завършен");
    if (pageOpen_ || pages_ == 0) {
        if (!pageOpen_)
            beginPage();
        endPage();
    }
    writeObjectStream();
    finished_ = true;

    beginObject(kCatalog);
    emit("<</Type/Catalog/Pages 2 0 R>>\nendobj\n");

    // The page list, written in blocks: a long document never holds it whole.
    beginObject(kPages);
    std::string pages = "<</Type/Pages/Resources 3 0 R/MediaBox[0 0 " + number(layout_.pageWidth) + " " +
                        number(layout_.pageHeight) + "]/Count " + std::to_string(pages_) + "/Kids[";
    for (int page = 0; page < pages_; ++page) {
        pages += std::to_string(pageObject(page)) + " 0 R ";
        if (pages.size() >= 1 << 16) {
            emit(pages);
            pages.clear();
        }
    }
    emit(pages + "]>>\nendobj\n");

    beginObject(kResources);
    emit("<</Font<</F1 4 0 R>>/ProcSet[/PDF/Text]>>\nendobj\n");

    // A subset is named with a tag of six capitals, here from the set of bytes it holds.
    std::uint32_t hash = 2166136261u;
    used_[static_cast<unsigned char>(' ')] = true;
    for (int byte = 0; byte < 256; ++byte)
        hash = (hash ^ (used_[byte] ? byte + 1u : 0u)) * 16777619u;
    std::string fontName;
    for (int i = 0; i < 6; ++i, hash /= 26)
        fontName += static_cast<char>('A' + hash % 26);
    fontName += "+" + font_->name;

    const std::string width = number(layout_.advance / layout_.fontSize * 1000.0);
    beginObject(kFontObject);
    std::string font = "<</Type/Font/Subtype/TrueType/BaseFont/" + fontName + "/FirstChar 32/LastChar 255/Widths[";
    for (int code = 32; code < 256; ++code)
        font += width + (code % 16 == 15 ? "\n" : " ");
    // The bytes above 0x7F draw the glyphs of their Windows-1251 characters; 0x7F (DEL) has none,
    // as on paper, where readers would otherwise draw a bullet.
    font += "]/Encoding<</Type/Encoding/BaseEncoding/WinAnsiEncoding/Differences[127/.notdef";
    for (int byte = 0x80; byte < 0x100; ++byte)
        font += "/uni" + hex4(win1251Char(static_cast<unsigned char>(byte)));
    font += "]>>/FontDescriptor 5 0 R/ToUnicode 7 0 R>>\nendobj\n";
    emit(font);

    const double scale = 1000.0 / font_->unitsPerEm;
    auto scaled = [scale](int value) { return number(value * scale); };
    beginObject(kFontDescriptor);
    // Flags: fixed pitch (1) and non-symbolic (32), so the glyphs are found by their Unicode names.
    emit("<</Type/FontDescriptor/FontName/" + fontName + "/Flags 33/FontBBox[" + scaled(font_->xMin) + " " +
         scaled(font_->yMin) + " " + scaled(font_->xMax) + " " + scaled(font_->yMax) + "]/ItalicAngle " +
         std::to_string(font_->italicAngle) + "/Ascent " + scaled(font_->ascender) + "/Descent " +
         scaled(font_->descender) + "/CapHeight " + scaled(font_->capHeight) + "/StemV 80/MissingWidth " + width +
         "/FontFile2 6 0 R>>\nendobj\n");

    const std::string subset = font_->subset(used_);
    writeStream(kFontFile, "/Filter/FlateDecode/Length1 " + std::to_string(subset.size()),
                compressor_->compress(subset));
    writeStream(kToUnicode, "/Filter/FlateDecode", compressor_->compress(toUnicodeCmap()));

    beginObject(kInfo);
    emit("<</Title" + textString(title_) + "/Creator" + textString(creator_) + ">>\nendobj\n");

    // The cross-reference stream: a row per object (type, offset or object stream, generation or
    // index), each row the difference to the one above (PNG "up"), so it deflates to little.
    const std::uint32_t xref = static_cast<std::uint32_t>(objects_.size());
    objects_.push_back(position_);
    std::uint64_t largest = 0;
    for (const std::uint64_t place : objects_)
        largest = std::max(largest, place & kInObjectStream ? (place & ~kInObjectStream) >> 16 : place);
    int middle = 1;
    while (middle < 8 && largest >> (8 * middle) != 0)
        ++middle;
    const std::size_t columns = 1 + static_cast<std::size_t>(middle) + 2;
    std::string rows;
    rows.reserve(objects_.size() * (columns + 1));
    std::string previous(columns, '\0'), row(columns, '\0');
    for (std::size_t object = 0; object < objects_.size(); ++object) {
        const std::uint64_t place = objects_[object];
        std::uint64_t second = 0, third = 0;
        if (object == 0) {
            row[0] = 0, third = 0xFFFF;
        } else if (place & kInObjectStream) {
            row[0] = 2, second = (place & ~kInObjectStream) >> 16, third = place & 0xFFFF;
        } else {
            row[0] = place == 0 ? 0 : 1, second = place;
        }
        for (int i = 0; i < middle; ++i)
            row[1 + i] = static_cast<char>(second >> (8 * (middle - 1 - i)) & 0xFF);
        row[columns - 2] = static_cast<char>(third >> 8 & 0xFF);
        row[columns - 1] = static_cast<char>(third & 0xFF);
        rows += '\x02';
        for (std::size_t i = 0; i < columns; ++i)
            rows += static_cast<char>(row[i] - previous[i]);
        previous.swap(row);
    }
    const std::uint64_t xrefOffset = position_;
    writeStream(xref,
                "/Type/XRef/Size " + std::to_string(objects_.size()) + "/W[1 " + std::to_string(middle) +
                    " 2]/Root 1 0 R/Info 8 0 R/Filter/FlateDecode/DecodeParms<</Predictor 12/Columns " +
                    std::to_string(columns) + ">>",
                compressor_->compress(rows));
    emit("startxref\n" + std::to_string(xrefOffset) + "\n%%EOF\n");
    page_.clear();
    page_.shrink_to_fit();
}

} // namespace orva
