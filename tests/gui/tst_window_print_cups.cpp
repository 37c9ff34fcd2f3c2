// The window's print command on the system's default printer, a real CUPS queue: a left click in a
// box and Yes send one job named "ОРВА" whose sheets are the pages of the document; No sends
// nothing. Each job is read back from the server's spool copy (the PDF as the window sent it; the
// server keeps it with PreserveJobFiles Yes), so this needs the tests' own CUPS server with a
// cups-pdf default queue, as scripts/run-tests.sh starts it: CUPS_SERVER (host:port) names it and
// ORVA_CUPS_SPOOL is its spool. Without one the test is skipped, or fails when
// ORVA_E2E_REQUIRED=1 says the server was started for it.

#include "ShellTestSupport.h"

#include "gui/DocumentView.h"
#include "gui/MainWindow.h"
#include "render/CupsJob.h"
#include "render/PageMetrics.h"
#include "render/QtText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kQuestion = QStringLiteral("Желаете ли да разпечатате избрания документ ?");
const QString kDone = QStringLiteral("Печатането завърши.");
constexpr int kJobTimeout = 30000; // cups-pdf runs the job through Ghostscript: seconds, not milliseconds

struct Output {
    bool ok = false; // started, finished and exited with 0
    QString text;
    QString errors;
};

Output run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    Output output;
    if (!process.waitForFinished(kJobTimeout)) {
        process.kill();
        process.waitForFinished();
        output.errors = program + QStringLiteral(" did not finish");
        return output;
    }
    output.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    output.text = QString::fromUtf8(process.readAllStandardOutput());
    output.errors = QString::fromUtf8(process.readAllStandardError());
    return output;
}

bool e2eRequired() {
    return qEnvironmentVariable("ORVA_E2E_REQUIRED") == QLatin1String("1");
}

// The page-number line of a journal page ("стр.07"), as pdftotext gives it back.
QString journalPageNumber(int page) {
    return QStringLiteral("стр.%1").arg(page, 2, 10, QLatin1Char('0'));
}

// The non-blank lines of a slice of the document, blanks collapsed as pdftotext's layout mode
// re-creates them from glyph positions.
QStringList nonBlankLines(const std::vector<std::string>& lines, std::size_t from, std::size_t to) {
    QStringList result;
    for (std::size_t index = from; index < to && index < lines.size(); ++index) {
        const QString line = orva::toQString(lines[index]).simplified();
        if (!line.isEmpty())
            result << line;
    }
    return result;
}

} // namespace

// A server or tool the test needs is not there: a skip, or a failure once the servers were started.
#define ORVA_MISSING(reason)                                                                                           \
    do {                                                                                                               \
        const QString why = (reason);                                                                                  \
        if (e2eRequired())                                                                                             \
            QFAIL(qPrintable(why + QStringLiteral(" (ORVA_E2E_REQUIRED=1: the end-to-end tests need it)")));           \
        QSKIP(qPrintable(why + QStringLiteral(" (scripts/run-tests.sh sets it up; it needs root)")));                  \
    } while (false)

class TestWindowPrintCups : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<ModalAnswerer> answers;
    QString queue;
    QString cupsPdfFolder; // where cups-pdf puts the output of this user's jobs
    QString attributesRequest;
    QList<int> jobsSent;

    QSet<int> jobIds() const {
        QSet<int> ids;
        const Output listing =
            run(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), queue});
        // "ORVA_PDF-12  root  2048  Thu 01 Oct ..."
        static const QRegularExpression job(QStringLiteral("^\\S+-(\\d+)\\s"), QRegularExpression::MultilineOption);
        for (auto match = job.globalMatch(listing.text); match.hasNext();)
            ids.insert(match.next().captured(1).toInt());
        return ids;
    }

    QString jobAttributes(int id) const {
        return run(QStringLiteral("ipptool"),
                   {QStringLiteral("-tv"), QStringLiteral("-d"), QStringLiteral("job_id=%1").arg(id),
                    QStringLiteral("ipp://%1/printers/%2").arg(qEnvironmentVariable("CUPS_SERVER"), queue),
                    attributesRequest})
            .text;
    }

    static QString attribute(const QString& attributes, const QString& name) {
        const QRegularExpression line(
            QStringLiteral("^\\s*%1 \\([^)]*\\) = (.*)$").arg(QRegularExpression::escape(name)),
            QRegularExpression::MultilineOption);
        return line.match(attributes).captured(1).trimmed();
    }

    bool jobFinished(int id) const {
        static const QStringList done{QStringLiteral("completed"), QStringLiteral("canceled"),
                                      QStringLiteral("aborted")};
        return done.contains(attribute(jobAttributes(id), QStringLiteral("job-state")));
    }

    static int pdfPages(const QString& pdf) {
        const Output info = run(QStringLiteral("pdfinfo"), {pdf});
        static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = pages.match(info.text);
        return info.ok && match.hasMatch() ? match.captured(1).toInt() : -1;
    }

    // The non-blank text lines of one sheet, blanks collapsed.
    static QStringList sheetLines(const QString& pdf, int sheet) {
        const Output text =
            run(QStringLiteral("pdftotext"),
                {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("-f"),
                 QString::number(sheet), QStringLiteral("-l"), QString::number(sheet), pdf, QStringLiteral("-")});
        QStringList lines;
        for (const QString& line : text.text.split(QLatin1Char('\n'))) {
            const QString simple = QString(line).remove(QLatin1Char('\f')).simplified();
            if (!simple.isEmpty())
                lines << simple;
        }
        return lines;
    }

    // A real left click in the box's text, as the user's.
    void clickIn(DocumentView* box) {
        form->documentTabs()->setCurrentWidget(box->parentWidget());
        QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    }

    // Clicks the box, answers Yes and the completion box, and waits until the server has finished
    // the one job the command sent. Returns its id in `id`.
    void printByClick(DocumentView* box, int& id) {
        id = -1;
        const QSet<int> before = jobIds();
        const std::size_t seen = answers->seen.size();
        answers->then(ModalAnswerer::press(QMessageBox::Yes));
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        clickIn(box);
        // At least, not equal: a wait for equality would wait out its timeout after an extra box.
        QTRY_VERIFY_WITH_TIMEOUT(answers->seen.size() >= seen + 2, kJobTimeout);
        QCOMPARE(form->focusWidget(), static_cast<QWidget*>(box));
        QCOMPARE(answers->seen[seen].text, kQuestion);
        QCOMPARE(answers->seen[seen + 1].text, kDone);
        QCOMPARE(answers->seen[seen + 1].icon, QMessageBox::NoIcon); // not the error box

        QSet<int> added;
        QTRY_VERIFY_WITH_TIMEOUT(!(added = jobIds() - before).isEmpty(), kJobTimeout);
        const int first = *added.begin();
        jobsSent << first;
        QTRY_VERIFY2_WITH_TIMEOUT(jobFinished(first), qPrintable(QStringLiteral("job %1 did not finish").arg(first)),
                                  kJobTimeout);
        added = jobIds() - before;
        jobsSent << added.values();
        QVERIFY2(added.size() == 1, qPrintable(QStringLiteral("one command sent %1 jobs").arg(added.size())));
        // Nothing after the completion box: no error box.
        QCOMPARE(answers->seen.size(), seen + 2);
        QCOMPARE(answers->unscripted, 0);

        const QString attributes = jobAttributes(first);
        QCOMPARE(attribute(attributes, QStringLiteral("job-state")), QStringLiteral("completed"));
        QCOMPARE(attribute(attributes, QStringLiteral("job-name")), QStringLiteral("ОРВА"));
        id = first;
    }

    // The job's document as the window sent it.
    static QString spoolCopy(int id) {
        return QStringLiteral("%1/d%2-001")
            .arg(qEnvironmentVariable("ORVA_CUPS_SPOOL"))
            .arg(id, 5, 10, QLatin1Char('0'));
    }

    // What cups-pdf made of the job: as many sheets as were sent. The file is removed.
    void checkPrinterOutput(int id, int pages) {
        QStringList outputs;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(outputs = QDir(cupsPdfFolder).entryList({QStringLiteral("*job_%1.pdf").arg(id)}, QDir::Files)).isEmpty(),
            kJobTimeout);
        const QString output = QDir(cupsPdfFolder).filePath(outputs.first());
        const int printed = pdfPages(output);
        QFile::remove(output);
        QCOMPARE(printed, pages);
    }

private slots:
    void initTestCase() {
        // Never the system's server: the test adds a queue and reads spooled jobs.
        const QString server = qEnvironmentVariable("CUPS_SERVER");
        if (server.isEmpty() || server.startsWith(QLatin1Char('/')) || qEnvironmentVariableIsEmpty("ORVA_CUPS_SPOOL"))
            ORVA_MISSING(QStringLiteral("no test print server (CUPS_SERVER as host:port and ORVA_CUPS_SPOOL)"));
        if (QPrinterInfo::defaultPrinter().isNull())
            ORVA_MISSING(QStringLiteral("there is no default printer (no CUPS server, or it has no default queue)"));
        queue = QPrinterInfo::defaultPrinter().printerName();
        for (const char* tool : {"lpstat", "ipptool", "cupsctl", "pdfinfo", "pdftotext"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                ORVA_MISSING(QStringLiteral("the command %1 is not installed").arg(QString::fromLatin1(tool)));
        }
        if (!run(QStringLiteral("lpstat"), {QStringLiteral("-v"), queue}).text.contains(QStringLiteral("cups-pdf:/")))
            ORVA_MISSING(QStringLiteral("the default printer %1 is not a cups-pdf queue").arg(queue));
        if (!run(QStringLiteral("cupsctl"), {})
                 .text.contains(QStringLiteral("PreserveJobFiles=Yes"), Qt::CaseInsensitive))
            ORVA_MISSING(QStringLiteral("the CUPS server does not keep job files (PreserveJobFiles)"));
        const QFileInfo spool(qEnvironmentVariable("ORVA_CUPS_SPOOL"));
        if (!spool.isReadable() || !spool.isExecutable())
            ORVA_MISSING(QStringLiteral("the CUPS spool %1 is not readable").arg(spool.filePath()));
        attributesRequest = QStringLiteral(ORVA_TEST_DATA "/../e2e/job-attributes.test");
        QVERIFY2(QFile::exists(attributesRequest), qPrintable(attributesRequest));
        cupsPdfFolder = QDir::home().filePath(QStringLiteral("PDF"));

        QVERIFY(orva::registerEmbeddedDocumentFont() >= 0);
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QDir(dir->path()).mkpath(QStringLiteral("data"));
        QDir(dir->path()).mkpath(QStringLiteral("bin"));
        const std::string data = dir->filePath(QStringLiteral("data")).toStdString();
        // Journals of several pages each on an A4 sheet of 8-point lines.
        period::write(data, 160, 150);
        answers = std::make_unique<ModalAnswerer>();
        answers->then(ModalAnswerer::clickDefault()); // the additional-data dialog
        // The system's default printer, as the program finds it.
        form = std::make_unique<MainWindow>(
            data, orva::sideFilesBeside(dir->filePath(QStringLiteral("bin/orva")).toStdString()));
        form->show();
        QVERIFY(!form->loadFailed());
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QVERIFY2(form->printer() != nullptr, "the window found no printer");
        QCOMPARE(form->printer()->printerName(), queue);
        QCOMPARE(answers->seen.size(), std::size_t(1)); // only the dialog: no error box about the printer
        QCOMPARE(answers->seen[0].className, QStringLiteral("AdditionalDataDialog"));
        QVERIFY(form->linesPerPage() > 0);
        qInfo("printer %s: %d lines per page", qPrintable(queue), form->linesPerPage());
    }

    void cleanupTestCase() {
        form.reset();
        answers.reset();
        dir.reset();
        // What cups-pdf wrote for jobs whose check stopped early.
        for (int id : jobsSent) {
            for (const QString& name :
                 QDir(cupsPdfFolder).entryList({QStringLiteral("*job_%1.pdf").arg(id)}, QDir::Files))
                QFile::remove(QDir(cupsPdfFolder).filePath(name));
        }
    }

    void noSendsNoJob() {
        const QSet<int> before = jobIds();
        const std::size_t seen = answers->seen.size();
        answers->then(ModalAnswerer::press(QMessageBox::No));
        clickIn(form->purchasesView());
        QTRY_VERIFY_WITH_TIMEOUT(answers->seen.size() >= seen + 1, kJobTimeout);
        QCOMPARE(answers->seen[seen].text, kQuestion);
        // A job would have been sent before the command returned; give the server a moment to list it.
        QTest::qWait(1000);
        QCOMPARE(answers->seen.size(), seen + 1);
        QCOMPARE(jobIds(), before);
    }

    void journalSheetsArePages_data() {
        QTest::addColumn<int>("boxIndex");
        QTest::newRow("purchases") << 1;
        QTest::newRow("sales") << 2;
    }
    void journalSheetsArePages() {
        QFETCH(int, boxIndex);
        DocumentView* box = boxIndex == 1 ? form->purchasesView() : form->salesView();
        const std::vector<std::string>& lines = box->lines();
        const std::size_t perPage = static_cast<std::size_t>(form->linesPerPage());
        const int pages = static_cast<int>((lines.size() + perPage - 1) / perPage);
        QVERIFY2(pages >= 3, "the period should give journals of several pages");

        int id = -1;
        printByClick(box, id);
        if (QTest::currentTestFailed())
            return;
        const QString pdf = spoolCopy(id);
        QVERIFY2(QFileInfo(pdf).isReadable(), qPrintable(pdf));
        QCOMPARE(pdfPages(pdf), pages);

        for (int sheet = 1; sheet <= pages; ++sheet) {
            const std::size_t from = (sheet - 1) * perPage;
            const QStringList expected = nonBlankLines(lines, from, from + perPage);
            const QStringList found = sheetLines(pdf, sheet);
            const QString where = QStringLiteral("sheet %1 of %2").arg(sheet).arg(pages);
            QVERIFY2(!found.isEmpty(), qPrintable(where + QStringLiteral(" is blank")));
            // A sheet opens with the page-number line of the page of the same number; only a
            // last sheet holding nothing but the totals has none.
            const bool opensPage = orva::toQString(lines[from]).endsWith(journalPageNumber(sheet));
            QVERIFY2(
                opensPage || sheet == pages,
                qPrintable(
                    QStringLiteral("line %1 of the box is not the number line of page %2").arg(from + 1).arg(sheet)));
            if (opensPage)
                QVERIFY2(found.first() == journalPageNumber(sheet),
                         qPrintable(where + QStringLiteral(" begins with \"") + found.first() + QStringLiteral("\"")));
            QCOMPARE(found.first(), expected.first());
            QCOMPARE(found.last(), expected.last());
            QCOMPARE(found.size(), expected.size());
        }
        checkPrinterOutput(id, pages);
    }

    void returnSheetsArePages() {
        const std::vector<std::string>& lines = form->returnView()->lines();
        const std::size_t perPage = static_cast<std::size_t>(form->linesPerPage());
        const int pages = static_cast<int>((lines.size() + perPage - 1) / perPage);

        int id = -1;
        printByClick(form->returnView(), id);
        if (QTest::currentTestFailed())
            return;
        const QString pdf = spoolCopy(id);
        QVERIFY2(QFileInfo(pdf).isReadable(), qPrintable(pdf));
        QCOMPARE(pdfPages(pdf), pages);
        for (int sheet = 1; sheet <= pages; ++sheet) {
            const std::size_t from = (sheet - 1) * perPage;
            const QStringList expected = nonBlankLines(lines, from, from + perPage);
            const QStringList found = sheetLines(pdf, sheet);
            QVERIFY2(!found.isEmpty(), qPrintable(QStringLiteral("sheet %1 is blank").arg(sheet)));
            QCOMPARE(found.first(), expected.first());
            QCOMPARE(found.last(), expected.last());
            QCOMPARE(found.size(), expected.size());
        }
        // Page 1 of the return is 90 lines: on a sheet that holds them each page ends on its own
        // sheet with its own footer.
        if (form->linesPerPage() >= 90) {
            QCOMPARE(pages, 2);
            for (int sheet = 1; sheet <= 2; ++sheet) {
                const QString last = sheetLines(pdf, sheet).last();
                QVERIFY2(last.endsWith(QStringLiteral("стр %1/2 -").arg(sheet)),
                         qPrintable(QStringLiteral("sheet %1 ends with \"%2\"").arg(sheet).arg(last)));
            }
        } else {
            qWarning("%d lines per page: page 1 of the return (90 lines) runs over its sheet", form->linesPerPage());
        }
        checkPrinterOutput(id, pages);
    }

    void labelOnOneSheet() {
        const std::vector<std::string>& lines = form->labelView()->lines();
        QVERIFY(!lines.empty());
        QVERIFY(lines.size() <= static_cast<std::size_t>(orva::linesPerPage(*form->printer(), orva::kLabelPointSize)));

        int id = -1;
        printByClick(form->labelView(), id);
        if (QTest::currentTestFailed())
            return;
        const QString pdf = spoolCopy(id);
        QVERIFY2(QFileInfo(pdf).isReadable(), qPrintable(pdf));
        QCOMPARE(pdfPages(pdf), 1);
        const QStringList expected = nonBlankLines(lines, 0, lines.size());
        const QStringList found = sheetLines(pdf, 1);
        QVERIFY(!found.isEmpty());
        QCOMPARE(found.first(), expected.first());
        QCOMPARE(found.last(), expected.last());
        QCOMPARE(found.size(), expected.size());
        checkPrinterOutput(id, 1);
    }

    // A queue that rejects jobs: only the error box naming the queue (nothing was printed), and
    // nothing submitted. The queue is the test's own; the shared default is never switched off.
    // A job held on the server is still on its way when following it ends, and so when asked again;
    // once cancelled, asking again says so.
    void heldJobIsAskedAboutAgain() {
        const QString pdf = dir->filePath(QStringLiteral("held.pdf"));
        orva::writeFileAtomic(pdf.toStdString(), "%PDF-1.4\n%%EOF\n");
        const orva::JobOutcome sent = orva::followPdfJob(queue.toStdString(), pdf.toStdString(), "ОРВА",
                                                         {{"job-hold-until", "indefinite"}}, std::chrono::seconds(1));
        jobsSent << sent.id;
        QVERIFY(!sent.completed);
        QCOMPARE(orva::pdfJobStatus(queue.toStdString(), sent.id).fate, orva::JobStatus::Fate::OnItsWay);
        QVERIFY(run(QStringLiteral("cancel"), {QStringLiteral("%1-%2").arg(queue).arg(sent.id)}).ok);
        QTRY_COMPARE_WITH_TIMEOUT(orva::pdfJobStatus(queue.toStdString(), sent.id).fate, orva::JobStatus::Fate::Failed,
                                  kJobTimeout);
        const std::string failure = orva::pdfJobStatus(queue.toStdString(), sent.id).failure;
        QVERIFY2(failure.find("е отменено") != std::string::npos, failure.c_str());
    }

    void refusedJobIsReportedAlone() {
        const QString other = QStringLiteral("ORVA_REFUSE_WINDOW");
        const Output added =
            run(QStringLiteral("lpadmin"),
                {QStringLiteral("-p"), other, QStringLiteral("-E"), QStringLiteral("-v"), QStringLiteral("cups-pdf:/"),
                 QStringLiteral("-P"), QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd")});
        if (!added.ok)
            ORVA_MISSING(QStringLiteral("cannot add the queue %1: %2").arg(other, added.errors));
        const auto restore = qScopeGuard([&] {
            run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), other});
            auto printer = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(queue), QPrinter::HighResolution);
            orva::preparePrinter(*printer);
            form->usePrinter(std::move(printer));
        });
        QVERIFY(run(QStringLiteral("cupsreject"), {other}).ok);
        auto printer = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(other), QPrinter::HighResolution);
        orva::preparePrinter(*printer);
        form->usePrinter(std::move(printer));
        const auto jobCount = [&] {
            return run(QStringLiteral("lpstat"),
                       {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), other})
                .text.count(QLatin1Char('\n'));
        };

        const std::size_t seen = answers->seen.size();
        answers->then(ModalAnswerer::press(QMessageBox::Yes));
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        clickIn(form->labelView());
        QTRY_VERIFY_WITH_TIMEOUT(answers->seen.size() >= seen + 2, kJobTimeout);
        QTest::qWait(300);
        QCOMPARE(answers->seen.size(), seen + 2);
        QCOMPARE(answers->seen[seen].text, kQuestion);
        QCOMPARE(answers->seen[seen + 1].icon, QMessageBox::Critical);
        QVERIFY2(answers->seen[seen + 1].text.contains(QLatin1Char('"') + other + QLatin1Char('"')),
                 qPrintable(answers->seen[seen + 1].text));
        QCOMPARE(jobCount(), 0);
    }
};

QTEST_MAIN(TestWindowPrintCups)
#include "tst_window_print_cups.moc"
