// The print sequence: what lands on a sheet, checked in the PDF our writer makes for an export or
// a print job (pdfinfo, pdftotext), and the failures of a job without a printer.
#include "../core/FileSizeLimit.h"
#include "RecordingPrintService.h"
#include "pdf/PdfWriter.h"
#include "render/PageMetrics.h"
#include "render/PrintService.h"
#include "render/Printing.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"

#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <string>
#include <vector>

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPages(const QString& path) {
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString pdfPageSize(const QString& path) {
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9. x]+) pts")).match(info);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

// The text of each page, lines trimmed, empty lines dropped.
QList<QStringList> pdfPageLines(const QString& path) {
    const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    QList<QStringList> pages;
    QStringList pageTexts = text.split(QChar('\f'));
    if (!pageTexts.isEmpty() && pageTexts.last().trimmed().isEmpty())
        pageTexts.removeLast();
    for (const QString& page : pageTexts) {
        QStringList lines;
        for (const QString& line : page.split(QChar('\n'))) {
            if (!line.trimmed().isEmpty())
                lines << line.trimmed();
        }
        pages << lines;
    }
    return pages;
}

// "P<page> L<line>" on every line, page by page; the first line of each page carries a
// Cyrillic word so the Windows-1251 conversion is seen on paper.
std::vector<std::string> numberedDocument(int pages, int perPage, int lastPageLines) {
    std::vector<std::string> lines;
    for (int page = 1; page <= pages; ++page) {
        const int count = page == pages ? lastPageLines : perPage;
        for (int line = 1; line <= count; ++line) {
            std::string text = "P" + std::to_string(page) + " L" + std::to_string(line);
            if (line == 1)
                text += orva::utf8ToWin1251(" СТРАНИЦА");
            lines.push_back(text);
        }
    }
    return lines;
}

// An exported PDF of `lines`, `perPage` 8-point lines on each page, published at `path`.
void writePdf(const QString& path, const std::vector<std::string>& lines, int pointSize, int perPage) {
    const std::unique_ptr<orva::PdfDocumentFile> file =
        orva::exportPdfFile(path.toStdString(), pointSize, perPage, "ОРВА");
    for (const std::string& line : lines)
        file->addLine(line);
    file->finish();
    file->publish();
}

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void embeddedFaceIsTheDocumentFont();
    void fallbackCountIsAnA4PageAt1200Dpi();
    void pdfPagesBreakEveryLinesPerPage_data();
    void pdfPagesBreakEveryLinesPerPage();
    void printJobPutsOnePageOnEachSheet_data();
    void printJobPutsOnePageOnEachSheet();
    void labelPageFillsItsOwnCount();
    void pdfOfUnwritableFolderFailsAndLeavesNothing();
    void printingWithoutPrinterThrows();
    void zeroLinesPerPageIsRefused();
    void overWideLineStaysWholeOnItsOwnLine();
    void pdfOnFullDiskFailsAndLeavesNothing_data();
    void pdfOnFullDiskFailsAndLeavesNothing();
    void twoWritersOfOnePathDoNotMix();
    void everyWindows1251CharacterReadsBack();

private:
    QTemporaryDir dir_;
};

void TestPrinting::initTestCase() {
    QVERIFY(dir_.isValid());
    QVERIFY(orva::registerEmbeddedDocumentFont() >= 0);
    QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty());
    QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty());
}

void TestPrinting::embeddedFaceIsTheDocumentFont() {
    // "Courier New" must resolve to the carried face, never to whatever the system offers.
    const QFontInfo info(orva::documentFont(orva::kDocumentPointSize));
    QCOMPARE(info.family(), QStringLiteral("Liberation Mono"));
    QVERIFY(info.fixedPitch());
    QCOMPARE(info.pointSize(), 8);
}

void TestPrinting::fallbackCountIsAnA4PageAt1200Dpi() {
    const int count = orva::fallbackLinesPerPage();
    QVERIFY2(count >= 80 && count <= 120, qPrintable(QString::number(count)));

    // The same count from the definition: A4 height at 1200 dpi over the 8-point line height.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(1200);
    const int pitch = QFontMetrics(orva::documentFont(8), &printer).height();
    const int a4Height = qRound(842 * 1200 / 72.0);
    QCOMPARE(count, a4Height / pitch);
}

void TestPrinting::pdfPagesBreakEveryLinesPerPage_data() {
    QTest::addColumn<int>("perPage");
    QTest::addColumn<int>("lastPageLines");
    QTest::addColumn<bool>("a4");
    const int a4Count = orva::fallbackLinesPerPage();
    QTest::newRow("A4 count, short last page") << a4Count << 7 << true;
    QTest::newRow("A4 count, full last page") << a4Count << a4Count << true;
    QTest::newRow("60 lines, shorter sheet") << 60 << 1 << false;
    QTest::newRow("130 lines, taller sheet") << 130 << 129 << false;
    QTest::newRow("5 lines") << 5 << 5 << false;
}

void TestPrinting::pdfPagesBreakEveryLinesPerPage() {
    QFETCH(int, perPage);
    QFETCH(int, lastPageLines);
    QFETCH(bool, a4);
    const QString path = dir_.filePath(QStringLiteral("doc%1-%2.pdf").arg(perPage).arg(lastPageLines));
    writePdf(path, numberedDocument(3, perPage, lastPageLines), orva::kDocumentPointSize, perPage);

    QCOMPARE(pdfPages(path), 3);
    if (a4)
        QCOMPARE(pdfPageSize(path), QStringLiteral("595 x 842"));
    else
        QVERIFY(pdfPageSize(path).startsWith(QStringLiteral("595 x ")));
    QVERIFY(!QFile::exists(path + QStringLiteral(".part")));

    const QList<QStringList> pages = pdfPageLines(path);
    QCOMPARE(pages.size(), 3);
    for (int page = 0; page < 3; ++page) {
        QVERIFY(!pages[page].isEmpty());
        QCOMPARE(pages[page].first(), QStringLiteral("P%1 L1 СТРАНИЦА").arg(page + 1));
        QCOMPARE(pages[page].size(), page == 2 ? lastPageLines : perPage);
        const int last = page == 2 ? lastPageLines : perPage;
        if (last > 1)
            QCOMPARE(pages[page].last(), QStringLiteral("P%1 L%2").arg(page + 1).arg(last));
    }
}

void TestPrinting::printJobPutsOnePageOnEachSheet_data() {
    QTest::addColumn<int>("linesPerSheet");
    QTest::addColumn<int>("pointSize");
    QTest::newRow("the printer's own count") << 0 << orva::kDocumentPointSize;
    QTest::newRow("a document laid out for 40 lines") << 40 << orva::kDocumentPointSize;
    QTest::newRow("the label page at 10 points") << 0 << orva::kLabelPointSize;
}

void TestPrinting::printJobPutsOnePageOnEachSheet() {
    // A print job is the PDF of the printer's page, one document page on each sheet, named and with
    // the paper and sides of the printer.
    QFETCH(int, linesPerSheet);
    QFETCH(int, pointSize);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    orva::preparePrinter(printer);
    const int perPage = linesPerSheet > 0 ? linesPerSheet : orva::linesPerPage(printer, pointSize);
    orva::fixture::RecordingPrintService jobs;
    orva::printDocument(jobs, printer, numberedDocument(3, perPage, 2), pointSize, "ОРВА", linesPerSheet);

    QCOMPARE(jobs.jobs.size(), std::size_t(1));
    const orva::fixture::RecordedJob& job = jobs.jobs[0];
    QCOMPARE(job.name, std::string("ОРВА"));
    QCOMPARE(job.options, (orva::JobOptions{{"media", "A4"}, {"sides", "one-sided"}}));
    const QString path = dir_.filePath(QStringLiteral("job%1-%2.pdf").arg(linesPerSheet).arg(pointSize));
    orva::writeFileAtomic(path.toStdString(), job.pdf);
    QCOMPARE(pdfPages(path), 3);
    QCOMPARE(pdfPageSize(path), QStringLiteral("595 x 842"));
    const QList<QStringList> pages = pdfPageLines(path);
    QCOMPARE(pages.size(), 3);
    QCOMPARE(pages[1].size(), perPage);
    QCOMPARE(pages[2].first(), QStringLiteral("P3 L1 СТРАНИЦА"));

    // More lines than the sheet holds are refused, and nothing is submitted.
    QVERIFY_THROWS_EXCEPTION(orva::Error, orva::printDocument(jobs, printer, {"x"}, pointSize, "ОРВА",
                                                              orva::linesPerPage(printer, pointSize) + 1));
    QCOMPARE(jobs.jobs.size(), std::size_t(1));
}

void TestPrinting::labelPageFillsItsOwnCount() {
    // The 10-point label page shares the sheet of the 8-point documents and fills the number of
    // 10-point lines that fit on it, fewer than the 8-point count.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(1200);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    const int count8 = orva::linesPerPage(printer, orva::kDocumentPointSize);
    const int count10 = orva::linesPerPage(printer, orva::kLabelPointSize);
    QVERIFY(count10 < count8);
    QCOMPARE(count8, orva::fallbackLinesPerPage());

    const QString path = dir_.filePath(QStringLiteral("label.pdf"));
    writePdf(path, numberedDocument(2, count10, 3), orva::kLabelPointSize, count8);
    QCOMPARE(pdfPages(path), 2);
    const QList<QStringList> pages = pdfPageLines(path);
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pages[0].size(), count10);
    QCOMPARE(pages[1].first(), QStringLiteral("P2 L1 СТРАНИЦА"));
}

void TestPrinting::pdfOfUnwritableFolderFailsAndLeavesNothing() {
    const QString path = dir_.filePath(QStringLiteral("missing/doc.pdf"));
    QVERIFY_THROWS_EXCEPTION(orva::FileError, writePdf(path, {"x"}, orva::kDocumentPointSize, 60));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(dir_.path()).entryList({QStringLiteral("*.part")}, QDir::Files).size(), 0);
}

void TestPrinting::printingWithoutPrinterThrows() {
    QVERIFY(QPrinterInfo::defaultPrinter().isNull());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(QStringLiteral("orva-no-such-printer"));
    orva::preparePrinter(printer);
    // The print server itself, which this process cannot reach (main): the job has nowhere to go.
    try {
        orva::printDocument(orva::cupsPrintService(), printer, {"line"}, orva::kDocumentPointSize, "ОРВА");
        QFAIL("printing on a printer that does not exist succeeded");
    } catch (const orva::Error& error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(QStringLiteral("печат")), error.what());
    }
}

void TestPrinting::zeroLinesPerPageIsRefused() {
    const QString path = dir_.filePath(QStringLiteral("zero.pdf"));
    QVERIFY_THROWS_EXCEPTION(orva::Error, writePdf(path, {"x"}, orva::kDocumentPointSize, 0));
    QVERIFY(!QFile::exists(path));
}

void TestPrinting::overWideLineStaysWholeOnItsOwnLine() {
    // A journal's title line with a long firm name is wider than an A4 sheet at 8 points. It used
    // to run off the sheet and lose the firm name's end; wrapping it instead would push the rest of
    // the page down by a line. It must stay one whole line, and the page breaks must not move.
    const std::string firm = orva::utf8ToWin1251("ДЪЛГО ИМЕ НА ФИРМА ЕООД ЗА ПРОВЕРКА НА РЕДОВЕ");
    const std::string title = orva::utf8ToWin1251("ДНЕВНИК НА ПОКУПКИТЕ      ДАНЪЧЕН ПЕРИОД 10/2026     ИН ПО ЗДДС ") +
                              "BG123456786    " + "     " + firm + std::string(50 - firm.size(), ' ');
    QVERIFY(firm.size() <= 50 && title.size() > 130);
    const int perPage = 40;
    std::vector<std::string> lines = numberedDocument(2, perPage, 5);
    lines[1] = title;
    lines[perPage + 1] = title;

    const QString path = dir_.filePath(QStringLiteral("wide.pdf"));
    writePdf(path, lines, orva::kDocumentPointSize, perPage);
    QCOMPARE(pdfPages(path), 2);
    const QList<QStringList> pages = pdfPageLines(path);
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pages[0].size(), perPage);
    QCOMPARE(pages[1].size(), 5);
    for (const QStringList& page : pages) {
        QVERIFY2(page[1].endsWith(QString::fromStdU16String(orva::win1251ToUtf16(firm))), qPrintable(page[1]));
        QVERIFY2(page[2].startsWith(QStringLiteral("P")), qPrintable(page[2]));
    }
}

namespace {

// Files in `folder` other than `keep`.
QStringList filesBesides(const QString& folder, const QString& keep = QString()) {
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(keep);
    return files;
}

} // namespace

void TestPrinting::pdfOnFullDiskFailsAndLeavesNothing_data() {
    // How much of the document fits before the disk is full: nothing; part of the pages; all but
    // the last byte (the cross-reference table at the end is written too, and checked).
    QTest::addColumn<double>("share");
    QTest::addColumn<int>("lessBytes");
    QTest::newRow("nothing") << 0.0 << 0;
    QTest::newRow("part of the pages") << 0.3 << 0;
    QTest::newRow("all but the last byte") << 1.0 << 1;
}

void TestPrinting::pdfOnFullDiskFailsAndLeavesNothing() {
    QFETCH(double, share);
    QFETCH(int, lessBytes);
    QTemporaryDir folder;
    // Larger than the writer's buffer, so the disk fills while pages are still being written.
    const std::vector<std::string> lines = numberedDocument(1500, 60, 60);
    const QString whole = folder.filePath(QStringLiteral("whole.pdf"));
    writePdf(whole, lines, orva::kDocumentPointSize, 60);
    const qint64 size = QFileInfo(whole).size();
    QVERIFY(size > 0);
    QVERIFY(QFile::remove(whole));

    const QString path = folder.filePath(QStringLiteral("doc.pdf"));
    {
        FileSizeLimit limit(static_cast<rlim_t>(size * share) - lessBytes);
        QVERIFY(limit.ok());
        try {
            writePdf(path, lines, orva::kDocumentPointSize, 60);
            QFAIL("a PDF was written on a full disk");
        } catch (const orva::FileError& error) {
            QVERIFY2(QString::fromUtf8(error.what()).contains(path), error.what());
        }
    }
    QVERIFY(!QFile::exists(path));
    QCOMPARE(filesBesides(folder.path()), QStringList());
}

void TestPrinting::twoWritersOfOnePathDoNotMix() {
    // Two exports into one folder at the same time once shared one temporary name and left a file
    // holding pages of both. Each writer has a file of its own; the one published last wins whole.
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("doc.pdf")).toStdString();
    const auto first = orva::exportPdfFile(path, orva::kDocumentPointSize, 50, "first");
    const auto second = orva::exportPdfFile(path, orva::kDocumentPointSize, 50, "second");
    const std::vector<std::string> firstLines = numberedDocument(6, 50, 50), secondLines = numberedDocument(4, 50, 9);
    for (std::size_t line = 0; line < firstLines.size(); ++line) {
        first->addLine(firstLines[line]);
        if (line < secondLines.size())
            second->addLine(secondLines[line]);
    }
    first->finish();
    second->finish();
    first->publish();
    QCOMPARE(pdfPages(QString::fromStdString(path)), 6);
    second->publish();

    const QString published = QString::fromStdString(path);
    QCOMPARE(pdfPages(published), 4);
    const QList<QStringList> pages = pdfPageLines(published);
    QCOMPARE(pages.size(), 4);
    QCOMPARE(pages[3].size(), 9);
    QCOMPARE(pages[3].last(), QStringLiteral("P4 L9"));
    QCOMPARE(filesBesides(folder.path(), QStringLiteral("doc.pdf")), QStringList());
}

void TestPrinting::everyWindows1251CharacterReadsBack() {
    // Each byte is copied out of the PDF as its Windows-1251 character: the font's Unicode table
    // covers the whole code page (0x98 has no character; NBSP and the soft hyphen are whitespace
    // or dropped in pdftotext's output).
    std::vector<std::string> lines(2);
    for (int byte = 0x21; byte < 0x100; ++byte) {
        if (byte != 0x7F && byte != 0x98 && byte != 0xA0 && byte != 0xAD)
            lines[byte < 0x80 ? 0 : 1] += static_cast<char>(byte);
    }
    const QString path = dir_.filePath(QStringLiteral("codepage.pdf"));
    writePdf(path, lines, orva::kDocumentPointSize, 60);
    const QList<QStringList> pages = pdfPageLines(path);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages[0].size(), 2);
    for (int line = 0; line < 2; ++line)
        QCOMPARE(pages[0][line], QString::fromStdU16String(orva::win1251ToUtf16(lines[line])));
}

int main(int argc, char** argv) {
    // No job of these tests may reach a real print server: CUPS is pointed at a socket that does
    // not exist, so this process sees a machine without printers.
    qputenv("CUPS_SERVER", "/nonexistent/orva-tests-have-no-print-server");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestPrinting test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_printing.moc"
