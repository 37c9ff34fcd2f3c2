// The print command: confirmation, the focused box, completion and failure boxes, offscreen.

#include "RecordingPrintService.h"
#include "ShellTestSupport.h"

#include "gui/AdditionalDataDialog.h"
#include "gui/DocumentView.h"
#include "gui/MainWindow.h"
#include "render/PageMetrics.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kQuestion = QStringLiteral("Желаете ли да разпечатате избрания документ ?");
const QString kDone = QStringLiteral("Печатането завърши.");

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

    // Runs until the answerer has seen `count` boxes and the command has finished.
    void settle(std::size_t count) {
        QTRY_COMPARE_WITH_TIMEOUT(answers->seen.size(), count, 10000);
        QTest::qWait(200);
    }

private slots:
    void initTestCase() { QVERIFY(orva::registerEmbeddedDocumentFont() >= 0); }

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
        QCOMPARE(question.title, QStringLiteral("Confirm"));
        QCOMPARE(question.text, kQuestion);
        QCOMPARE(question.icon, QMessageBox::Question);
        QCOMPARE(question.buttons, (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}));
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
        QCOMPARE(answers->seen[1].text, kDone);
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

    // Without a printer the completion message comes first and the failure second.
    void failingJobReportsAfterCompletion() {
        QVERIFY(form->printer() == nullptr);
        answers->then(ModalAnswerer::press(QMessageBox::Yes));
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        answers->then(ModalAnswerer::press(QMessageBox::Ok));
        pressIn(form->purchasesView(), Qt::LeftButton);
        settle(3);
        QCOMPARE(answers->seen[1].text, kDone);
        QCOMPARE(answers->seen[1].icon, QMessageBox::NoIcon);
        QCOMPARE(answers->seen[2].title, QStringLiteral("ОРВА"));
        QCOMPARE(answers->seen[2].icon, QMessageBox::Critical);
        QVERIFY(!answers->seen[2].text.isEmpty());
        QVERIFY(!answers->seen[2].hourglass);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // The documents are untouched.
        QVERIFY(form->purchasesView()->lineCount() > 0);
    }
};

QTEST_MAIN(TestPrintCommand)
#include "tst_printcommand.moc"
