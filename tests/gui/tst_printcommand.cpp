// The window's commands, offscreen: the print command (confirmation, the focused box, the job on its
// worker, completion and failure boxes), the print dialog, find, zoom, the status bar, save as PDF.

#include "RecordingPrintService.h"
#include "ShellTestSupport.h"
#include "Version.h"
#include "period/PeriodSession.h"

#include "check/CheckReport.h"
#include "gui/AdditionalDataDialog.h"
#include "gui/DocumentView.h"
#include "gui/MainWindow.h"
#include "gui/PrintJobs.h"
#include "gui/Startup.h"
#include "journals/Journal.h"
#include "period/DataFiles.h"
#include "render/PageMetrics.h"
#include "render/QtText.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"
#include "vies/Vies.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPageSize>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <sstream>

namespace {

const QString kQuestion = QStringLiteral("Желаете ли да разпечатате избрания документ ?");
const QString kDone = QStringLiteral("Печатането завърши.");
const QString kPending = QStringLiteral("Заданието е изпратено; принтерът още не го е отпечатал.");

// Holds every job until released, then settles it as told: the window must go on meanwhile.
struct HeldPrintService final : orva::PrintService {
    std::atomic<bool> entered{false}, fileThere{false}; // fileThere: the job's PDF, as submitted
    std::promise<void> release;
    bool completed = true;
    std::optional<std::string> refusal;
    int submitPdf(const std::string&, const std::string&, const std::string&, const orva::JobOptions&) override {
        return 0;
    }
    int submitPdfUnfollowed(const std::string&, const std::string& pdf, const std::string&,
                            const orva::JobOptions&) override {
        fileThere = QFile(QString::fromStdString(pdf)).size() > 0;
        entered = true;
        release.get_future().wait();
        if (refusal)
            throw orva::Error(*refusal);
        return 7;
    }
    // Followed, a job not `completed` is on its way; asked about again, it is as `later` says.
    std::atomic<int> asked{0};
    orva::JobStatus later{orva::JobStatus::Fate::Printed, {}};
    orva::JobStatus jobStatus(const std::string&, int) override {
        return ++asked == 1 && !completed ? orva::JobStatus{orva::JobStatus::Fate::OnItsWay, {}} : later;
    }
};

// The follow-on without its waits: a pending job is asked about again at once.
PrintJobs::Timing quickTiming() {
    PrintJobs::Timing timing;
    timing.poll = std::chrono::milliseconds(10);
    timing.follow = std::chrono::milliseconds(0);
    timing.followOnEvery = std::chrono::milliseconds(10);
    return timing;
}

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override { return paints += event->type() == QEvent::Paint, false; }
};

} // namespace

class TestPrintCommand : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<ModalAnswerer> answers;
    orva::fixture::RecordingPrintService jobs;

    // An A4 printer whose jobs are kept, so what a command prints can be looked at.
    void printIntoPdf() {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        orva::preparePrinter(*printer);
        form->usePrinter(std::move(printer));
        form->setPrintService(jobs);
    }

    // A press in the box's text, as the user's click.
    void pressIn(QAbstractScrollArea* box, Qt::MouseButton button) {
        form->documentTabs()->setCurrentWidget(box->parentWidget());
        QTest::mouseClick(box->viewport(), button, Qt::NoModifier, QPoint(20, 20));
    }

    // The window on the test's period, as at a start; again after a reset, with the same side files.
    void open() {
        answers.reset(); // the old answerer's end takes the answers off the boxes
        answers = std::make_unique<ModalAnswerer>();
        answers->then(ModalAnswerer::press(QMessageBox::Ok)); // no printer at creation
        answers->then(ModalAnswerer::clickDefault());         // the dialog
        form = std::make_unique<MainWindow>(
            dir->filePath(QStringLiteral("data")).toStdString(),
            orva::sideFilesBeside(dir->filePath(QStringLiteral("bin/orva")).toStdString()), QPrinterInfo());
        form->printJobs()->setTiming(quickTiming());
        form->show();
        QVERIFY(!form->loadFailed());
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(answers->seen.size(), std::size_t(2));
        answers->seen.clear();
    }

    // The line of the selection's start and its text, as the user reads it.
    static std::pair<std::size_t, QString> selection(const DocumentView& view) {
        return {std::min(view.caret(), view.anchor()).line, orva::toQString(view.selectedText())};
    }

    // Runs until the answerer has seen `count` boxes and the command has finished.
    void settle(std::size_t count) {
        QTRY_COMPARE_WITH_TIMEOUT(answers->seen.size(), count, 10000);
        QTest::qWait(200);
    }

private slots:
    void initTestCase() {
        QVERIFY(orva::registerEmbeddedDocumentFont() >= 0);
        QVERIFY(orva::installQtTranslations(*QCoreApplication::instance()));
    }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QDir(dir->path()).mkpath(QStringLiteral("data"));
        QDir(dir->path()).mkpath(QStringLiteral("bin"));
        period::write(dir->filePath(QStringLiteral("data")).toStdString(), 60, 60);
        jobs.jobs.clear();
        open();
    }

    void cleanup() {
        form.reset();
        answers.reset();
    }

    void noPrintsNothingAndSaysNothingMore() {
        printIntoPdf();
        answers->then(ModalAnswerer::press(QMessageBox::No));
        pressIn(form->purchasesView(), Qt::LeftButton);
        settle(1);
        const SeenModal& question = answers->seen[0];
        QCOMPARE(question.title, QStringLiteral("Потвърждение"));
        QCOMPARE(question.text, kQuestion);
        QCOMPARE(question.icon, QMessageBox::Question);
        QCOMPARE(question.buttons, (QStringList{QStringLiteral("&Да"), QStringLiteral("&Не")}));
        QTest::qWait(300);
        QCOMPARE(answers->seen.size(), std::size_t(1));
        QVERIFY(jobs.jobs.empty());
    }

    // A left click gives the box the focus before the command asks, so that box is printed.
    void clickedDocumentIsPrinted_data() {
        QTest::addColumn<int>("boxIndex");
        QTest::newRow("label page") << 0;
        QTest::newRow("purchases") << 1;
        QTest::newRow("sales") << 2;
        QTest::newRow("return") << 3;
    }
    void clickedDocumentIsPrinted() {
        QFETCH(int, boxIndex);
        DocumentView* boxes[] = {form->labelView(), form->purchasesView(), form->salesView(), form->returnView()};
        DocumentView* box = boxes[boxIndex];
        printIntoPdf();
        answers->then(ModalAnswerer::press(QMessageBox::Yes));
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        pressIn(box, Qt::LeftButton);
        settle(2);
        QCOMPARE(form->focusWidget(), static_cast<QWidget*>(box));
        QCOMPARE(answers->seen[1].text, kDone);
        QCOMPARE(answers->seen[1].title, QStringLiteral("ОРВА"));
        QCOMPARE(answers->seen[1].icon, QMessageBox::NoIcon);
        QVERIFY(!answers->seen[1].hourglass);
        QCOMPARE(answers->unscripted, 0);

        const int pointSize = boxIndex == 0 ? orva::kLabelPointSize : orva::kDocumentPointSize;
        const int perPage = orva::linesPerPage(*form->printer(), pointSize);
        QVERIFY(perPage > 0);
        const int expectedPages = static_cast<int>((box->lineCount() + perPage - 1) / perPage);
        QVERIFY(boxIndex == 0 || expectedPages > 1);
        QCOMPARE(jobs.jobs.size(), std::size_t(1));
        QCOMPARE(jobs.jobs[0].name, std::string("ОРВА"));
        QCOMPARE(orva::fixture::pdfPageCount(jobs.jobs[0].pdf), expectedPages);
    }

    void viesAsksAndPrintsNothing() {
        printIntoPdf();
        answers->then(ModalAnswerer::press(QMessageBox::Yes));
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        pressIn(form->viesView(), Qt::LeftButton);
        settle(2);
        QCOMPARE(answers->seen[0].text, kQuestion);
        QCOMPARE(answers->seen[1].text, QStringLiteral("Няма какво да се печата."));
        QCOMPARE(answers->seen[1].icon, QMessageBox::NoIcon);
        QTest::qWait(300);
        QCOMPARE(answers->seen.size(), std::size_t(2));
        QVERIFY(jobs.jobs.empty());
    }

    void anyButtonAsksAtOnce_data() {
        QTest::addColumn<int>("button");
        QTest::newRow("right") << int(Qt::RightButton);
        QTest::newRow("middle") << int(Qt::MiddleButton);
    }
    void anyButtonAsksAtOnce() {
        QFETCH(int, button);
        answers->then(ModalAnswerer::press(QMessageBox::No));
        pressIn(form->salesView(), static_cast<Qt::MouseButton>(button));
        settle(1);
        QCOMPARE(answers->seen[0].text, kQuestion);
        QTest::qWait(300);
        QCOMPARE(answers->seen.size(), std::size_t(1));
    }

    void popupItemRunsTheCommand() {
        answers->then(ModalAnswerer::press(QMessageBox::No));
        form->printAction()->trigger();
        settle(1);
        QCOMPARE(answers->seen[0].text, kQuestion);
    }

    // Without a printer only the failure is said: nothing was printed.
    void noPrinterSaysOnlyTheError() {
        QVERIFY(form->printer() == nullptr);
        answers->then(ModalAnswerer::press(QMessageBox::Yes));
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        pressIn(form->purchasesView(), Qt::LeftButton);
        settle(2);
        QTest::qWait(300);
        QCOMPARE(answers->seen.size(), std::size_t(2));
        QCOMPARE(answers->seen[1].title, QStringLiteral("ОРВА"));
        QCOMPARE(answers->seen[1].icon, QMessageBox::Critical);
        QCOMPARE(answers->seen[1].text, QStringLiteral("Няма принтер, на който да се печата."));
        QVERIFY(!answers->seen[1].hourglass);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // The documents are untouched.
        QVERIFY(form->purchasesView()->lineCount() > 0);
    }

    // Ctrl+F, Enter, F3, Shift+F3 (and around), no match, Esc: a page header's Cyrillic and Latin
    // capitals found by small letters.
    void findStepsThroughTheDocument() {
        DocumentView* view = form->purchasesView();
        form->documentTabs()->setCurrentWidget(view->parentWidget());
        QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->findEdit()));
        const QString needle = QStringLiteral("ин по зддс bg");
        form->findEdit()->setText(needle); // keyClicks types ASCII only
        QTest::keyClick(form->findEdit(), Qt::Key_Return);
        const auto first = selection(*view);
        QVERIFY(first.second != needle && first.second.toLower() == needle);
        QTest::keyClick(form.get(), Qt::Key_F3);
        const auto second = selection(*view);
        QVERIFY(second.first > first.first && second.second.toLower() == needle);
        QTest::keyClick(form.get(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(selection(*view), first);
        QTest::keyClick(form.get(), Qt::Key_F3, Qt::ShiftModifier); // around to the last, scrolled to
        const auto last = selection(*view);
        QVERIFY(last.first + 200 > view->lineCount() && view->firstVisibleLine() > int(second.first));
        form->findEdit()->setText(QStringLiteral("няма го Nowhere"));
        QVERIFY(!form->findInCurrentDocument(true));
        QCOMPARE(form->findStatus()->text(), QStringLiteral("Няма съвпадения"));
        QCOMPARE(selection(*view), last);
        QTest::keyClick(form->findEdit(), Qt::Key_Escape);
        QVERIFY(form->findBar()->isHidden());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
        QVERIFY(answers->seen.empty()); // nothing asked to print
    }

    // Ctrl++, Ctrl+-, Ctrl+wheel, Ctrl+0 scale every view's face, kept for the next run; the
    // page length does not follow.
    void zoomKeysAndWheelAreRemembered() {
        const auto sizes = [this] {
            return std::pair{form->labelView()->font().pointSize(), form->salesView()->font().pointSize()};
        };
        for (const Qt::Key key : {Qt::Key_Plus, Qt::Key_Plus, Qt::Key_Minus})
            QTest::keyClick(form.get(), key, Qt::ControlModifier);
        QCOMPARE(sizes(), (std::pair{orva::kLabelPointSize + 1, orva::kDocumentPointSize + 1}));
        QWheelEvent wheel(QPointF(20, 20), QPointF(20, 20), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->salesView()->viewport(), &wheel);
        const int lines = form->linesPerPage();
        open();
        QCOMPARE(sizes(), (std::pair{orva::kLabelPointSize + 3, orva::kDocumentPointSize + 3}));
        QCOMPARE(form->linesPerPage(), lines);
        QTest::keyClick(form.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(sizes(), (std::pair{orva::kLabelPointSize, orva::kDocumentPointSize}));
        QCOMPARE(answers->unscripted, 0);
    }

    // The status bar names the period and follows the page at the top; save as PDF writes the
    // current document's pages as printed.
    void statusBarAndSaveAsPdf() {
        QVERIFY(form->periodStatus()->text().contains(orva::toQString(form->declaration().vatNumber).trimmed()));
        DocumentView* view = form->salesView();
        const auto perPage = static_cast<std::size_t>(form->linesPerPage());
        const QString pages = QString::number((view->lineCount() + perPage - 1) / perPage);
        form->documentTabs()->setCurrentWidget(view->parentWidget());
        view->verticalScrollBar()->setValue(int(perPage) - 1);
        QCOMPARE(form->pageStatus()->text(), QStringLiteral("стр. 1 от ") + pages);
        view->verticalScrollBar()->setValue(int(perPage));
        QCOMPARE(form->pageStatus()->text(), QStringLiteral("стр. 2 от ") + pages);
        const std::string path = dir->filePath(QStringLiteral("bin/продажби.pdf")).toStdString();
        form->saveCurrentDocumentAsPdf(path);
        QFile file(QString::fromStdString(path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::number(orva::fixture::pdfPageCount(file.readAll().toStdString())), pages);
    }

    // The print dialog through its seam: Cancel prints nothing; the chosen pages and copies of the
    // current tab's document are the job.
    void printDialogPrintsTheChosenPages() {
        printIntoPdf();
        form->documentTabs()->setCurrentWidget(form->purchasesView()->parentWidget());
        PrintJobs::setNextDialogAnswer([](QPrinter&) { return false; });
        QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
        int offeredLast = 0;
        PrintJobs::setNextDialogAnswer([&offeredLast](QPrinter& printer) {
            offeredLast = printer.toPage();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(2, 3);
            printer.setCopyCount(2);
            return true;
        });
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
        settle(1);
        QCOMPARE(answers->seen[0].text, kDone);
        const auto perPage = static_cast<std::size_t>(form->linesPerPage());
        QCOMPARE(offeredLast, int((form->purchasesView()->lineCount() + perPage - 1) / perPage));
        QCOMPARE(jobs.jobs.size(), std::size_t(1)); // none from the cancelled dialog
        QCOMPARE(orva::fixture::pdfPageCount(jobs.jobs[0].pdf), 2);
        const auto& options = jobs.jobs[0].options;
        QVERIFY(std::count(options.begin(), options.end(), std::pair<std::string, std::string>("copies", "2")));

        // A5 holds fewer lines: the journal built again for its page, one page a sheet; the view as it was.
        QPrinter a5(QPrinter::HighResolution);
        a5.setPageSize(QPageSize(QPageSize::A5));
        const int fit = orva::linesPerPage(a5, orva::kDocumentPointSize);
        std::vector<std::string> lines;
        const std::size_t shown = form->purchasesView()->lineCount();
        orva::LineCollector sink(lines);
        orva::PeriodSession(form->dataFolder()).journal(orva::JournalKind::Purchases, fit, sink);
        QVERIFY(fit < form->linesPerPage() && lines.size() != form->purchasesView()->lineCount());
        PrintJobs::setNextDialogAnswer([](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            return printer.setPageSize(QPageSize(QPageSize::A5));
        });
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        form->printWithDialog();
        settle(2);
        QCOMPARE(std::size_t(orva::fixture::pdfPageCount(jobs.jobs.at(1).pdf)), (lines.size() + fit - 1) / fit);
        QCOMPARE(form->purchasesView()->lineCount(), shown);
    }

    // Fault: the print dialog on the VIES tab, for a printer whose page holds another number of
    // lines, printed the sales journal built again. The VIES declaration is paged again instead.
    void printDialogOnViesPagesTheViesDeclaration() {
        const std::string folder = dir->filePath(QStringLiteral("vies")).toStdString();
        QDir().mkpath(QString::fromStdString(folder));
        period::write(folder, 2, 300);
        std::string vies = "VHR10/2026    1\r\n";
        for (int line = 1; line <= 3; ++line)
            vies += "VIR    " + std::to_string(line) + period::padRight("DE12345678" + std::to_string(line), 15) +
                    "      100.00        0.00        0.00       \r\n";
        orva::writeFileAtomic(orva::joinPath(folder, "VIES.TXT"), vies);
        answers->then(ModalAnswerer::clickDefault());
        QVERIFY(openAndWait(*form, folder));
        answers->seen.clear();
        printIntoPdf();
        form->documentTabs()->setCurrentWidget(form->viesView()->parentWidget());
        PrintJobs::setNextDialogAnswer([](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            return printer.setPageSize(QPageSize(QPageSize::A5));
        });
        QPrinter a5(QPrinter::HighResolution);
        a5.setPageSize(QPageSize(QPageSize::A5));
        const int fit = orva::linesPerPage(a5, orva::kDocumentPointSize);
        QVERIFY(fit != form->linesPerPage());
        const orva::PeriodFiles files = orva::surveyPeriod(folder);
        std::vector<std::string> lines;
        orva::LineCollector sink(lines);
        orva::streamViesFile(*files.vies, orva::scanViesFile(*files.vies), fit, sink);
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        form->printWithDialog();
        settle(1);
        QCOMPARE(answers->seen[0].text, kDone);
        QCOMPARE(jobs.jobs.size(), std::size_t(1));
        // The sales journal of 300 records runs to many pages; the declaration of three lines to one.
        QCOMPARE(std::size_t(orva::fixture::pdfPageCount(jobs.jobs[0].pdf)), (lines.size() + fit - 1) / fit);
        QCOMPARE(orva::fixture::pdfPageCount(jobs.jobs[0].pdf), 1);
    }

    // The job is submitted and followed on a worker: while it is held the window paints, shows the
    // job's state and refuses a second print; only its outcome is reported afterwards.
    // The check's tab: orva-cli check's report of the shown period with the dialog's answers, its
    // count in the title (red with errors); a press selects without asking to print, a finding leads
    // to its record's block (Enter or a double click), and "Печат" on its menu prints it.
    void checkTabReportsAndLeadsToTheRecord() {
        const std::string folder = dir->filePath(QStringLiteral("bad")).toStdString();
        QDir().mkpath(QString::fromStdString(folder));
        period::write(folder, 150, 20);
        const std::string purchasesFile = folder + "/pokupki.txt";
        std::vector<std::string> records = orva::readLinesFile(purchasesFile);
        // Findings on pages 1, 2 and 3, within the 200 finding lines shown (five a record here).
        for (const std::size_t bad : {3u, 25u, 39u})
            records[bad - 1].replace(records[bad - 1].find("01/10/2026"), 10, "41/10/2026");
        orva::writeLinesFile(purchasesFile, records);
        answers->then(ModalAnswerer::clickDefault());
        QVERIFY(openAndWait(*form, folder));
        answers->seen.clear(); // the dialog
        QTRY_VERIFY_WITH_TIMEOUT(!form->checkRunning(), 20000);

        const orva::check::CheckReport report =
            orva::check::runTextReport(orva::PeriodSession(folder), &form->answers().cells);
        DocumentView* view = form->checkView();
        std::vector<std::string> expected;
        std::istringstream text(orva::utf8ToWin1251(report.text));
        for (std::string line; std::getline(text, line);)
            expected.push_back(line);
        QVERIFY(view->lines() == expected);
        const int tab = form->documentTabs()->indexOf(view->parentWidget());
        QCOMPARE(tab, 5);
        QCOMPARE(form->documentTabs()->count(), 6);
        QCOMPARE(form->documentTabs()->tabText(tab),
                 QStringLiteral("ПРОВЕРКА (%1)").arg(report.errors + report.warnings + report.failedRules));
        QVERIFY(report.errors != 0);
        QCOMPARE(form->documentTabs()->tabBar()->tabTextColor(tab), QColor(Qt::red));

        form->documentTabs()->setCurrentIndex(tab);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 5));
        QTest::qWait(200);
        QCOMPARE(answers->seen.size(), std::size_t(0));
        QCOMPARE(view->caret().line, std::size_t(0));

        const auto lines = view->lines();
        for (const std::size_t record : {3u, 25u, 39u}) {
            for (const bool doubleClick : {false, true}) {
                const std::string mark = "pokupki.txt:" + std::to_string(record) + ":";
                const auto finding = std::find_if(lines.begin(), lines.end(),
                                                  [&](const std::string& line) { return line.rfind(mark, 0) == 0; });
                QVERIFY2(finding != lines.end(), mark.c_str());
                form->documentTabs()->setCurrentIndex(tab);
                view->showLineAtTop(static_cast<std::size_t>(finding - lines.begin()));
                // Near the report's end the line cannot come to the top: it is clicked where it is.
                const int row = static_cast<int>(finding - lines.begin()) - view->firstVisibleLine();
                if (doubleClick)
                    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                                       QPoint(30, (2 * row + 1) * view->fontMetrics().lineSpacing() / 2));
                else
                    QTest::keyClick(view, Qt::Key_Return);
                QCOMPARE(form->documentTabs()->currentWidget(), form->purchasesView()->parentWidget());
                const DocumentView* journal = form->purchasesView();
                const std::size_t top = journal->caret().line;
                QCOMPARE(journal->firstVisibleLine(), static_cast<int>(top));
                const std::string ordinal = std::to_string(record);
                QCOMPARE(orva::toQString(std::string(journal->text().line(top).substr(0, 7))),
                         QString::fromStdString("|" + std::string(6 - ordinal.size(), ' ') + ordinal));
                // The record's block stands out, and only it.
                QVERIFY(journal->isHighlighted(top) && journal->isHighlighted(top + 1));
                QVERIFY(!journal->isHighlighted(top - 1));
                // Errors are red lines in the report, the other lines as they were.
                QCOMPARE(view->lineColour(static_cast<std::size_t>(finding - lines.begin())), QColor(0xc0, 0x00, 0x00));
            }
        }

        QVERIFY(!view->lineColour(0).isValid());
        for (std::size_t line = 0; line < lines.size(); ++line)
            if (lines[line].find(orva::utf8ToWin1251("ПРЕДУПРЕЖДЕНИЕ")) != std::string::npos)
                QCOMPARE(view->lineColour(line), QColor(0xb0, 0x6a, 0x00));

        printIntoPdf();
        answers->then(ModalAnswerer::press(QMessageBox::Yes));
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        emit view->customContextMenuRequested(QPoint(10, 10));
        auto* menu = form->findChild<QMenu*>(QStringLiteral("reportMenu"));
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->actions().front()->text(), QStringLiteral("Печат"));
        menu->actions().front()->trigger();
        settle(2);
        QCOMPARE(answers->seen[0].text, kQuestion);
        QCOMPARE(answers->seen[1].text, kDone);
        QCOMPARE(jobs.jobs.size(), std::size_t(1));
        const int perPage = orva::linesPerPage(*form->printer(), orva::kDocumentPointSize);
        QCOMPARE(orva::fixture::pdfPageCount(jobs.jobs[0].pdf),
                 static_cast<int>((view->lineCount() + perPage - 1) / perPage));
    }

    // Fault: a stray click on a journal of 200,000 records sent 9,525 sheets to the printer. A job
    // of more than 100 sheets (pages × copies) is asked about once more, naming the document and the
    // sheets, No the default, on every way to paper; No there prints nothing.
    void longJobIsAskedAboutOnceMore_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("goOn");
        for (const char* way : {"click", "menu", "dialog", "check"})
            QTest::newRow(way) << QString::fromLatin1(way) << false;
        QTest::newRow("click, yes") << QStringLiteral("click") << true;
        QTest::newRow("dialog, yes") << QStringLiteral("dialog") << true;
    }
    void longJobIsAskedAboutOnceMore() {
        QFETCH(QString, way);
        QFETCH(bool, goOn);
        QTRY_VERIFY_WITH_TIMEOUT(!form->checkRunning(), 20000);
        printIntoPdf();
        const bool check = way == QStringLiteral("check");
        DocumentView* view = check ? form->checkView() : form->purchasesView();
        const int perPage = orva::linesPerPage(*form->printer(), orva::kDocumentPointSize);
        const int pages = static_cast<int>((view->lineCount() + perPage - 1) / perPage);
        const int copies = 100 / pages + 1; // the fewest copies past 100 sheets
        form->documentTabs()->setCurrentWidget(view->parentWidget());
        view->setFocus(Qt::OtherFocusReason);
        if (way == QStringLiteral("dialog")) {
            PrintJobs::setNextDialogAnswer([copies](QPrinter& printer) {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setCopyCount(copies);
                return true;
            });
        } else {
            form->printer()->setCopyCount(copies);
            answers->then(ModalAnswerer::press(QMessageBox::Yes)); // the usual question
        }
        answers->then(ModalAnswerer::press(goOn ? QMessageBox::Yes : QMessageBox::No));
        if (goOn)
            answers->then(ModalAnswerer::press(QMessageBox::Ok));
        if (way == QStringLiteral("click"))
            pressIn(view, Qt::LeftButton);
        else if (way == QStringLiteral("dialog"))
            QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
        else if (check)
            emit qobject_cast<CheckTab*>(form->findChild<CheckTab*>())->printRequested();
        else
            form->printAction()->trigger();
        const std::size_t asked = way == QStringLiteral("dialog") ? 0 : 1;
        settle(asked + (goOn ? 2 : 1));
        const SeenModal& second = answers->seen.at(asked);
        const QString tab = form->documentTabs()->tabText(form->documentTabs()->indexOf(view->parentWidget()));
        QCOMPARE(
            second.text,
            QStringLiteral("„%1“ ще се отпечата на %2 листа. Наистина ли да се печата?").arg(tab).arg(pages * copies));
        QCOMPARE(second.defaultButton, QMessageBox::No);
        QTest::qWait(200);
        QCOMPARE(jobs.jobs.size(), std::size_t(goOn ? 1 : 0));

        // One copy fewer is 100 sheets or less: no second question.
        if (goOn || way == QStringLiteral("dialog"))
            return;
        answers->seen.clear();
        form->printer()->setCopyCount(100 / pages);
        answers->then(ModalAnswerer::press(QMessageBox::Yes));
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        view->setFocus(Qt::OtherFocusReason);
        form->printFocusedDocument();
        settle(2);
        QCOMPARE(answers->seen[1].text, kDone);
    }

    // Fault: "Печат във файл (PDF)" in the print dialog failed, the print server knowing no printer
    // "". The chosen pages go into that file through the PDF writer, with no job.
    void printDialogIntoAFileWritesThePdf() {
        printIntoPdf();
        form->documentTabs()->setCurrentWidget(form->salesView()->parentWidget());
        const QString path = dir->filePath(QStringLiteral("out/продажби.pdf"));
        QDir().mkpath(dir->filePath(QStringLiteral("out")));
        PrintJobs::setNextDialogAnswer([path](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(2, 2);
            return true;
        });
        QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(orva::fixture::pdfPageCount(file.readAll().toStdString()), 1);
        QVERIFY(jobs.jobs.empty());
        QCOMPARE(answers->seen.size(), std::size_t(0));
    }

    // The menu's small commands: "За програмата" names the version, Ctrl+Q closes the window, the
    // PDF's proposed name carries the firm and the period, the enlargement shows in the status bar.
    void menuCommandsSayWhatIsTrue() {
        auto* commands = form->findChild<QMenu*>(QStringLiteral("commandMenu"));
        QAction* about = nullptr;
        for (QAction* action : commands->actions())
            if (action->text() == QStringLiteral("За програмата"))
                about = action;
        QVERIFY(about != nullptr);
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        about->trigger();
        QCOMPARE(answers->seen.size(), std::size_t(1));
        QVERIFY2(answers->seen[0].text.contains(QStringLiteral("версия " ORVA_VERSION)),
                 qPrintable(answers->seen[0].text));

        const QString name = QStringLiteral("BG123456786-202610"); // the test period's firm and 10/2026
        const std::pair<DocumentView*, QString> tabs[] = {{form->purchasesView(), QStringLiteral("покупки")},
                                                          {form->checkView(), QStringLiteral("проверка")}};
        for (const auto& [view, tab] : tabs) {
            form->documentTabs()->setCurrentWidget(view->parentWidget());
            QCOMPARE(form->suggestedPdfName(), name + QLatin1Char('-') + tab + QStringLiteral(".pdf"));
        }

        QCOMPARE(form->zoomStatus()->text(), QStringLiteral("Мащаб: 0"));
        QTest::keyClick(form.get(), Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(form->zoomStatus()->text(), QStringLiteral("Мащаб: +1"));
        QTest::keyClick(form.get(), Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(form.get(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(form->zoomStatus()->text(), QStringLiteral("Мащаб: -1"));

        QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!form->isVisible());
    }

    // Find says when it went round the document's end, and how many matches the document holds,
    // counted while the window goes on.
    void findSaysWhenItWrappedAndHowManyMatch() {
        DocumentView* view = form->purchasesView();
        form->documentTabs()->setCurrentWidget(view->parentWidget());
        const std::string needle = "10.00";
        std::size_t expected = 0;
        for (const std::string& line : view->lines())
            for (std::size_t at = line.find(needle); at != std::string::npos;
                 at = line.find(needle, at + needle.size()))
                ++expected;
        QVERIFY(expected > 1);
        QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(form->findEdit(), QString::fromStdString(needle));
        QTest::keyClick(form->findEdit(), Qt::Key_Return);
        QTRY_COMPARE(form->findStatus()->text(), QStringLiteral("%1 съвпадения").arg(expected));
        // From the document's end, the next match is the first one: said.
        const std::size_t last = view->lineCount() - 1;
        view->select({last, view->text().line(last).size()}, {last, view->text().line(last).size()});
        QTest::keyClick(form->findEdit(), Qt::Key_Return);
        QCOMPARE(form->findStatus()->text(), QStringLiteral("продължено от началото · %1 съвпадения").arg(expected));
        QTest::keyClick(form->findEdit(), Qt::Key_Return);
        QCOMPARE(form->findStatus()->text(), QStringLiteral("%1 съвпадения").arg(expected));
    }

    void jobFollowedOffTheWindowThread_data() {
        QTest::addColumn<int>("outcome"); // 0 completed, 1 still pending, 2 refused, 3 pending, then aborted
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("followedOn"); // the status bar once the pending job is settled
        QTest::newRow("completed") << 0 << kDone << QString();
        QTest::newRow("pending, then printed")
            << 1 << kPending << QStringLiteral("Печат: задание 7 на „“ е отпечатано."); // a PDF printer has no queue
        QTest::newRow("refused") << 2 << QStringLiteral("печат: отказано") << QString();
        QTest::newRow("pending, then aborted") << 3 << kPending << QStringLiteral("печат: задание 7 е прекъснато");
    }
    void jobFollowedOffTheWindowThread() {
        QFETCH(int, outcome);
        QFETCH(QString, message);
        QFETCH(QString, followedOn);
        printIntoPdf();
        HeldPrintService held;
        held.completed = outcome == 0;
        if (outcome == 3)
            held.later = {orva::JobStatus::Fate::Failed, followedOn.toStdString()};
        if (outcome == 2)
            held.refusal = "печат: отказано";
        form->setPrintService(held);
        bool released = false;
        const auto release = qScopeGuard([&] {
            if (!released)
                held.release.set_value();
            QTRY_VERIFY(!form->printJobRunning());
        });
        answers->then(ModalAnswerer::press(QMessageBox::Yes));
        pressIn(form->returnView(), Qt::LeftButton);
        QTRY_VERIFY(held.entered.load());
        QVERIFY(held.fileThere.load() && QApplication::overrideCursor() == nullptr);
        QVERIFY(form->statusBar()->currentMessage().contains(QStringLiteral("Печат")));
        PaintCounter counter;
        form->returnView()->viewport()->installEventFilter(&counter);
        form->returnView()->viewport()->update();
        QTRY_VERIFY(counter.paints > 0);
        form->returnView()->viewport()->removeEventFilter(&counter);
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        pressIn(form->salesView(), Qt::LeftButton);
        settle(2);
        QVERIFY(answers->seen[1].text.contains(QStringLiteral("още се следи")));
        // Another period opened meanwhile leaves the job followed.
        const std::string other = dir->filePath(QStringLiteral("other")).toStdString();
        QDir().mkpath(QString::fromStdString(other));
        period::write(other, 2, 2);
        answers->then(ModalAnswerer::clickDefault());
        QVERIFY(openAndWait(*form, other));
        QVERIFY(form->printJobRunning());
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        released = true;
        held.release.set_value();
        settle(4);
        QCOMPARE(answers->seen.size(), std::size_t(4));
        QCOMPARE(answers->seen[3].text, message);
        QCOMPARE(answers->seen[3].icon, outcome == 2 ? QMessageBox::Critical : QMessageBox::NoIcon);
        if (!followedOn.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(form->statusBar()->currentMessage(), followedOn, 15000);
            QCOMPARE(held.asked.load(), 2);
        }
    }
};

QTEST_MAIN(TestPrintCommand)
#include "tst_printcommand.moc"
