// The window's commands around the documents, offscreen: the find bar and zoom, by their keys.

#include "RecordingPrintService.h"
#include "ShellTestSupport.h"

#include "gui/DocumentView.h"
#include "gui/MainWindow.h"
#include "render/PageMetrics.h"
#include "render/QtText.h"
#include "text/Errors.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <memory>

class TestWindowCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<ModalAnswerer> answers;

    void open() {
        answers.reset(); // the old answerer's end takes the answers off the boxes
        answers = std::make_unique<ModalAnswerer>();
        answers->then(ModalAnswerer::press(QMessageBox::Ok)); // no printer at creation
        answers->then(ModalAnswerer::clickDefault());         // the dialog
        form = std::make_unique<MainWindow>(
            dir->filePath(QStringLiteral("data")).toStdString(),
            orva::sideFilesBeside(dir->filePath(QStringLiteral("bin/orva")).toStdString()), QPrinterInfo());
        form->show();
        QVERIFY(!form->loadFailed());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        answers->seen.clear();
    }

    // The line of the selection's start and its text, as the user reads it.
    static std::pair<std::size_t, QString> selection(const DocumentView& view) {
        return {std::min(view.caret(), view.anchor()).line, orva::toQString(view.selectedText())};
    }

private slots:
    void initTestCase() { QVERIFY(orva::registerEmbeddedDocumentFont() >= 0); }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QDir(dir->path()).mkpath(QStringLiteral("data"));
        QDir(dir->path()).mkpath(QStringLiteral("bin"));
        period::write(dir->filePath(QStringLiteral("data")).toStdString(), 60, 60);
        open();
    }

    void cleanup() {
        form.reset();
        answers.reset();
    }

    // Ctrl+F, Enter, F3, Shift+F3 (and around), no match, Esc: a page header's Cyrillic and Latin
    // words in small letters find its capitals.
    void findStepsThroughTheDocument() {
        DocumentView* view = form->purchasesView();
        form->documentTabs()->setCurrentWidget(view->parentWidget());
        QVERIFY(form->findBar()->isHidden());
        QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(form->findBar()->isVisible());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->findEdit()));

        const QString needle = QStringLiteral("ин по зддс bg");
        form->findEdit()->setText(needle); // keyClicks types ASCII only
        QTest::keyClick(form->findEdit(), Qt::Key_Return);
        const auto first = selection(*view);
        QCOMPARE(first.second.toLower(), needle);
        QVERIFY(first.second != needle); // the document has it in capitals
        QVERIFY(view->firstVisibleLine() <= int(first.first));

        QTest::keyClick(form.get(), Qt::Key_F3);
        const auto second = selection(*view);
        QVERIFY2(second.first > first.first, "F3 finds the next page's header");
        QCOMPARE(second.second.toLower(), needle);
        QTest::keyClick(form.get(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(selection(*view), first);
        // Before the first: once around, to the last header, which is scrolled into view.
        QTest::keyClick(form.get(), Qt::Key_F3, Qt::ShiftModifier);
        const auto last = selection(*view);
        QVERIFY(last.first >= second.first && last.first + 200 > view->lineCount());
        QVERIFY(view->firstVisibleLine() > 0 && view->firstVisibleLine() <= int(last.first));
        QVERIFY(form->findStatus()->text().isEmpty());

        form->findEdit()->setText(QStringLiteral("няма го Nowhere"));
        QVERIFY(!form->findInCurrentDocument(true));
        QCOMPARE(form->findStatus()->text(), QStringLiteral("Няма съвпадения"));
        QCOMPARE(selection(*view), last); // the last match stays selected

        QTest::keyClick(form->findEdit(), Qt::Key_Escape);
        QVERIFY(form->findBar()->isHidden());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
        QCOMPARE(answers->seen.size(), std::size_t(0)); // nothing asked to print
    }

    // Ctrl++, Ctrl+-, Ctrl+wheel and Ctrl+0 scale every view's face; the size is kept for the next
    // run; the print command's page length does not follow it.
    void zoomKeysAndWheelAreRemembered() {
        const int lines = form->linesPerPage();
        const auto sizes = [this] {
            return std::pair{form->labelView()->font().pointSize(), form->returnView()->font().pointSize()};
        };
        QCOMPARE(sizes(), (std::pair{orva::kLabelPointSize, orva::kDocumentPointSize}));
        QTest::keyClick(form.get(), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(form.get(), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(form.get(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(form->zoom(), 1);
        QCOMPARE(sizes(), (std::pair{orva::kLabelPointSize + 1, orva::kDocumentPointSize + 1}));

        QWidget* viewport = form->salesView()->viewport();
        QWheelEvent wheel(QPointF(20, 20), viewport->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, 240),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        QCOMPARE(form->zoom(), 3);
        QCOMPARE(form->salesView()->font().pointSize(), orva::kDocumentPointSize + 3);
        QCOMPARE(form->linesPerPage(), lines);

        form.reset();
        open();
        QCOMPARE(form->zoom(), 3);
        QCOMPARE(sizes(), (std::pair{orva::kLabelPointSize + 3, orva::kDocumentPointSize + 3}));
        QTest::keyClick(form.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(form->zoom(), 0);
        form.reset();
        open();
        QCOMPARE(sizes(), (std::pair{orva::kLabelPointSize, orva::kDocumentPointSize}));
        QCOMPARE(answers->unscripted, 0);
    }

    // The status bar names the open period; on a document it follows the page at the top.
    void statusBarFollowsThePage() {
        const QString period = form->periodStatus()->text();
        QVERIFY2(period.contains(orva::toQString(form->declaration().vatNumber).trimmed()), qPrintable(period));
        QVERIFY2(period.contains(orva::toQString(form->declaration().periodText).trimmed()), qPrintable(period));
        QVERIFY2(period.contains(QStringLiteral("поколение")), qPrintable(period));

        DocumentView* view = form->salesView();
        const auto perPage = static_cast<std::size_t>(form->linesPerPage());
        const QString pages = QString::number((view->lineCount() + perPage - 1) / perPage);
        QVERIFY(view->lineCount() > perPage);
        form->documentTabs()->setCurrentWidget(view->parentWidget());
        QCOMPARE(form->pageStatus()->text(), QStringLiteral("стр. 1 от ") + pages);
        view->verticalScrollBar()->setValue(int(perPage) - 1); // the first page's last line at the top
        QCOMPARE(form->pageStatus()->text(), QStringLiteral("стр. 1 от ") + pages);
        view->verticalScrollBar()->setValue(int(perPage));
        QCOMPARE(form->pageStatus()->text(), QStringLiteral("стр. 2 от ") + pages);
        form->documentTabs()->setCurrentWidget(form->viesEdit()->parentWidget());
        QCOMPARE(form->pageStatus()->text(), QString());
        form->documentTabs()->setCurrentWidget(form->labelView()->parentWidget());
        QCOMPARE(form->pageStatus()->text(), QStringLiteral("стр. 1 от 1"));
    }

    // Save as PDF writes the current document's pages as printed; the VIES tab has none.
    void saveAsPdfWritesTheCurrentDocument() {
        DocumentView* view = form->purchasesView();
        form->documentTabs()->setCurrentWidget(view->parentWidget());
        const std::string path = dir->filePath(QStringLiteral("bin/покупки.pdf")).toStdString();
        form->saveCurrentDocumentAsPdf(path);
        QFile file(QString::fromStdString(path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto perPage = static_cast<std::size_t>(form->linesPerPage());
        QCOMPARE(orva::fixture::pdfPageCount(file.readAll().toStdString()),
                 int((view->lineCount() + perPage - 1) / perPage));
        form->documentTabs()->setCurrentWidget(form->viesEdit()->parentWidget());
        QVERIFY_THROWS_EXCEPTION(orva::Error, form->saveCurrentDocumentAsPdf(path + ".vies"));
        QVERIFY(!QFile::exists(QString::fromStdString(path + ".vies")));
    }
};

QTEST_MAIN(TestWindowCommands)
#include "tst_window_commands.moc"
