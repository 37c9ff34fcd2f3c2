// The print command: confirmation, the focused box, completion and failure boxes, offscreen.

#include "RecordingPrintService.h"
#include "ShellTestSupport.h"

#include "gui/AdditionalDataDialog.h"
#include "gui/DocumentView.h"
#include "gui/MainWindow.h"
#include "gui/Startup.h"
#include "render/PageMetrics.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <optional>

namespace {

const QString kQuestion = QStringLiteral("Желаете ли да разпечатате избрания документ ?");
const QString kDone = QStringLiteral("Печатането завърши.");
const QString kPending = QStringLiteral("Заданието е изпратено; принтерът още не го е отпечатал.");

// Holds every job until released, then settles it as told: the window must go on meanwhile.
class HeldPrintService final : public orva::PrintService {
public:
    std::atomic<bool> entered{false};
    std::atomic<bool> fileThere{false}; // the job's PDF was still there when the worker submitted it
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    bool completed = true;
    std::optional<std::string> refusal;

    int submitPdf(const std::string& queue, const std::string& pdf, const std::string& name,
                  const orva::JobOptions& options) override {
        return submitPdfFollowed(queue, pdf, name, options).id;
    }
    orva::JobOutcome submitPdfFollowed(const std::string&, const std::string& pdf, const std::string&,
                                       const orva::JobOptions&) override {
        entered = true;
        fileThere = QFile(QString::fromStdString(pdf)).size() > 0;
        released.wait();
        if (refusal)
            throw orva::Error(*refusal);
        return {7, completed};
    }
};

} // namespace

class PaintCounter : public QObject {
public:
    explicit PaintCounter(int& count) : count_(count) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count_;
        return false;
    }

private:
    int& count_;
};

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
        const std::string data = dir->filePath(QStringLiteral("data")).toStdString();
        period::write(data, 60, 60);
        jobs.jobs.clear();
        answers = std::make_unique<ModalAnswerer>();
        answers->then(ModalAnswerer::press(QMessageBox::Ok)); // no printer at creation
        answers->then(ModalAnswerer::clickDefault());         // the dialog
        form = std::make_unique<MainWindow>(
            data, orva::sideFilesBeside(dir->filePath(QStringLiteral("bin/orva")).toStdString()), QPrinterInfo());
        form->show();
        QVERIFY(!form->loadFailed());
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(answers->seen.size(), std::size_t(2));
        answers->seen.clear();
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
        pressIn(form->viesEdit(), Qt::LeftButton);
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

    // The print dialog (answered through its seam): the chosen pages and copies of the current
    // tab's document; a smaller page gets the journal paged again; Cancel prints nothing.
    void printDialogPrintsTheChosenPages() {
        printIntoPdf();
        DocumentView* view = form->purchasesView();
        form->documentTabs()->setCurrentWidget(view->parentWidget());
        const auto perPage = static_cast<std::size_t>(form->linesPerPage());
        const int pages = int((view->lineCount() + perPage - 1) / perPage);
        QVERIFY(pages >= 3);
        const std::size_t shownLines = view->lineCount();

        MainWindow::setNextPrintDialogAnswer([](QPrinter&) { return false; });
        QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
        QTest::qWait(100);
        QVERIFY(!form->printJobRunning());
        QVERIFY(jobs.jobs.empty());
        QVERIFY(answers->seen.empty());

        int offeredLast = 0;
        MainWindow::setNextPrintDialogAnswer([&offeredLast](QPrinter& printer) {
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
        QCOMPARE(offeredLast, pages);
        QCOMPARE(jobs.jobs.size(), std::size_t(1));
        QCOMPARE(orva::fixture::pdfPageCount(jobs.jobs[0].pdf), 2);
        const orva::JobOptions& options = jobs.jobs[0].options;
        QVERIFY(std::find(options.begin(), options.end(), std::pair<std::string, std::string>("copies", "2")) !=
                options.end());

        // A5 holds fewer lines: the whole journal paged for it, the view as it was.
        MainWindow::setNextPrintDialogAnswer([](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setPageSize(QPageSize(QPageSize::A5));
            return true;
        });
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        form->printWithDialog();
        settle(2);
        QCOMPARE(jobs.jobs.size(), std::size_t(2));
        QVERIFY(orva::fixture::pdfPageCount(jobs.jobs[1].pdf) > pages);
        QCOMPARE(view->lineCount(), shownLines);
        QCOMPARE(answers->unscripted, 0);
    }

    // The job is submitted and followed on a worker: while it is held the window paints, shows the
    // job's state and refuses a second print; its outcome alone is reported afterwards.
    void jobFollowedOffTheWindowThread_data() {
        QTest::addColumn<int>("outcome"); // 0 completed, 1 still pending, 2 refused
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::newRow("completed") << 0 << kDone << int(QMessageBox::NoIcon);
        QTest::newRow("pending") << 1 << kPending << int(QMessageBox::NoIcon);
        QTest::newRow("refused") << 2 << QStringLiteral("печат: отказано") << int(QMessageBox::Critical);
    }
    void jobFollowedOffTheWindowThread() {
        QFETCH(int, outcome);
        QFETCH(QString, message);
        QFETCH(int, icon);
        printIntoPdf();
        HeldPrintService held;
        held.completed = outcome == 0;
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
        QVERIFY(form->printJobRunning());
        QVERIFY(held.fileThere.load());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(form->statusBar()->currentMessage().contains(QStringLiteral("Печат")));
        int paints = 0;
        PaintCounter counter(paints);
        form->returnView()->viewport()->installEventFilter(&counter);
        form->returnView()->viewport()->update();
        QTRY_VERIFY(paints > 0);
        form->returnView()->viewport()->removeEventFilter(&counter);

        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        pressIn(form->salesView(), Qt::LeftButton);
        settle(2);
        QVERIFY(answers->seen[1].text.contains(QStringLiteral("още се следи")));

        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        released = true;
        held.release.set_value();
        settle(3);
        QTest::qWait(200);
        QCOMPARE(answers->seen.size(), std::size_t(3));
        QCOMPARE(answers->seen[2].text, message);
        QCOMPARE(int(answers->seen[2].icon), icon);
        QVERIFY(!form->printJobRunning());
        QVERIFY(!form->statusBar()->currentMessage().isEmpty());
        QCOMPARE(answers->unscripted, 0);
    }
};

QTEST_MAIN(TestPrintCommand)
#include "tst_printcommand.moc"
