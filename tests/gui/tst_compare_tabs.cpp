// The window's two comparisons: the correction memo against another submission and the
// reconciliation with the agency's reports, on tabs of their own, offscreen.

#include "ShellTestSupport.h"

#include "gui/CompareTabs.h"
#include "gui/DocumentView.h"
#include "gui/FolderChooser.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "journals/Journal.h"
#include "period/DocumentTable.h"
#include "period/PeriodSession.h"
#include "render/PageMetrics.h"
#include "sidefiles/SideFiles.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

std::string regress(const char* path) {
    return std::string(ORVA_TEST_DATA) + "/../regress/" + path;
}

std::string w(const char* utf8) {
    return orva::utf8ToWin1251(utf8);
}

// The document as the table of documents builds it for the command line, with the window's page.
std::vector<std::string> built(const orva::DocumentType& type, const orva::DocumentInputs& inputs, int linesPerPage) {
    std::vector<std::string> lines;
    orva::LineCollector sink(lines);
    type.build(inputs, linesPerPage, sink);
    return lines;
}

// What a document built again for the print dialog's printer holds.
std::vector<std::string> linesOf(const orva::DocumentLines& document) {
    std::vector<std::string> lines;
    document([&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

// The first line of `view` that holds `text` (Windows-1251), or the count of lines.
std::size_t lineWith(const DocumentView* view, const std::string& text) {
    for (std::size_t line = 0; line < view->lineCount(); ++line)
        if (view->text().line(line).find(text) != std::string_view::npos)
            return line;
    return view->lineCount();
}

} // namespace

class TestCompareTabs : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::string executable;

    // A window showing `folder`, its printer failure and dialog answered.
    std::unique_ptr<MainWindow> shownWindow(ModalAnswerer& answers, const std::string& folder) {
        answers.then(ModalAnswerer::press(QMessageBox::Ok)); // no printer
        auto form = std::make_unique<MainWindow>(folder, orva::sideFilesBeside(executable), QPrinterInfo());
        answers.then(ModalAnswerer::clickDefault()); // the dialog
        form->show();
        return form;
    }

    static QAction* command(MainWindow& form, const QString& text) {
        for (QAction* action : form.findChild<QMenu*>(QStringLiteral("commandMenu"))->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }

    // Enter on line `line` of `view`.
    static void enterOn(DocumentView* view, std::size_t line) {
        view->showLineAtTop(line);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Return);
    }

private slots:
    void initTestCase() { QVERIFY(orva::registerEmbeddedDocumentFont() >= 0); }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QDir(dir->path()).mkpath(QStringLiteral("bin"));
        executable = dir->filePath(QStringLiteral("bin/orva")).toStdString();
    }

    void memoOpensOnItsTabAndLeadsToTheRecords() {
        const std::string older = regress("diff-records-added-removed-changed/old");
        const std::string newer = regress("diff-records-added-removed-changed/new");
        ModalAnswerer answers;
        auto form = shownWindow(answers, newer);
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        const int tabs = form->documentTabs()->count();
        QSignalSpy done(form->compareTabs(), &CompareTabs::finished);
        orva::FolderChooser::setNextAnswer(QString::fromStdString(older));
        command(*form, QStringLiteral("Сравни с друго подаване…"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);
        QCOMPARE(done.at(0).at(0).toBool(), true);
        QCOMPARE(form->documentTabs()->count(), tabs + 1);
        QCOMPARE(form->documentTabs()->tabText(form->documentTabs()->currentIndex()), QStringLiteral("РАЗЛИКИ"));

        // The bytes are the memo's as orva-cli builds it for the same page.
        DocumentView* memo = form->compareTabs()->view(CompareTabs::Kind::Memo);
        QVERIFY(memo != nullptr);
        const orva::PeriodSession oldPeriod(older), newPeriod(newer);
        QCOMPARE(memo->lines(), built(orva::correctionMemoDocument(), {&newPeriod, nullptr, &oldPeriod, nullptr},
                                      form->linesPerPage()));
        // Another printer's page: built again for its lines.
        QCOMPARE(linesOf(form->compareTabs()->pagedAgain(memo)(20)),
                 built(orva::correctionMemoDocument(), {&newPeriod, nullptr, &oldPeriod, nullptr}, 20));

        // Enter on a changed record, on its field's line, on an added one: the record in the journal.
        struct Case {
            const char* memoText;
            const char* record;
        };
        for (const Case& step : {Case{"променен  ред 7 -> 6", "0008503733"},
                                 Case{"основа с право на частичен кредит  \"1174.00\"", "0008503733"},
                                 Case{"добавен   ред 46", "0003794999"}}) {
            const std::size_t line = lineWith(memo, w(step.memoText));
            QVERIFY2(line < memo->lineCount(), step.memoText);
            enterOn(memo, line);
            QCOMPARE(form->documentTabs()->currentWidget(), form->purchasesView()->parentWidget());
            const std::size_t at = form->purchasesView()->caret().line;
            QVERIFY2(form->purchasesView()->text().line(at).find(step.record) != std::string_view::npos, step.memoText);
            QVERIFY(form->purchasesView()->isHighlighted(at));
            form->documentTabs()->setCurrentWidget(memo->parentWidget());
        }
        // A removed record is in the filed submission alone: said in a box.
        answers.then(ModalAnswerer::press(QMessageBox::Ok));
        const std::size_t seen = answers.seen.size();
        enterOn(memo, lineWith(memo, w("премахнат ред 3")));
        QCOMPARE(answers.seen.size(), seen + 1);
        QVERIFY(answers.seen.back().text.contains(QStringLiteral("ред 3")));
        QCOMPARE(form->documentTabs()->currentWidget(), memo->parentWidget());
        // A line that names no record leads nowhere.
        enterOn(memo, 0);
        QCOMPARE(form->documentTabs()->currentWidget(), memo->parentWidget());
        QCOMPARE(answers.seen.size(), seen + 1);

        // Find and zoom work in it as in the other tabs.
        form->findEdit()->setText(QStringLiteral("0009717423"));
        QVERIFY(form->findInCurrentDocument(true));
        QVERIFY(memo->selectedText().find("0009717423") != std::string::npos);
        form->setZoom(3);
        QCOMPARE(memo->font().pointSize(), orva::kDocumentPointSize + 3);
        form->setZoom(0);

        // Saved as PDF: the memo's pages, its text read back.
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (!pdftotext.isEmpty()) {
            const std::string pdf = dir->filePath(QStringLiteral("memo.pdf")).toStdString();
            form->saveCurrentDocumentAsPdf(pdf);
            QProcess reader;
            reader.start(pdftotext, {QString::fromStdString(pdf), QStringLiteral("-")});
            QVERIFY(reader.waitForFinished(20000));
            const QString text = QString::fromUtf8(reader.readAllStandardOutput());
            QVERIFY(text.contains(QStringLiteral("СПРАВКА ЗА РАЗЛИКИТЕ")));
            QVERIFY(text.contains(QStringLiteral("0003794999")));
        }

        // Closed with its button; the window's views let it go.
        form->findChild<QToolButton*>(QStringLiteral("closeMemo"))->click();
        QCOMPARE(form->documentTabs()->count(), tabs);
        QVERIFY(form->compareTabs()->view(CompareTabs::Kind::Memo) == nullptr);
        QCOMPARE(answers.unscripted, 0);
    }

    // Another firm's submission is asked about, as the command's gate refuses it without --force.
    void anotherFirmIsAskedAbout() {
        const std::string older = regress("diff-two-firms-refused/old");
        ModalAnswerer answers;
        auto form = shownWindow(answers, regress("diff-two-firms-refused/new"));
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        const int tabs = form->documentTabs()->count();
        QSignalSpy done(form->compareTabs(), &CompareTabs::finished);
        for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            answers.then(ModalAnswerer::press(answer));
            QVERIFY(form->compareTabs()->compareWith(older));
            QTRY_VERIFY_WITH_TIMEOUT(!form->compareTabs()->running(), 20000);
            QTRY_COMPARE_WITH_TIMEOUT(done.count(), answer == QMessageBox::No ? 1 : 2, 20000);
            QCOMPARE(done.last().at(0).toBool(), answer == QMessageBox::Yes);
            QVERIFY(answers.seen.back().text.startsWith(QStringLiteral("Сравнението не е на този период")));
            QCOMPARE(answers.seen.back().defaultButton, QMessageBox::No);
            QCOMPARE(form->documentTabs()->count(), answer == QMessageBox::Yes ? tabs + 1 : tabs);
        }
        QCOMPARE(answers.unscripted, 0);
    }

    // The tab closed while its question is open: Yes then shows nothing (the tab it was for is gone).
    void tabClosedWhileAskedStaysClosed() {
        ModalAnswerer answers;
        auto form = shownWindow(answers, regress("diff-two-firms-refused/new"));
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        const int tabs = form->documentTabs()->count();
        QSignalSpy done(form->compareTabs(), &CompareTabs::finished);
        orva::MessageBox::setNextAnswer([&form](const orva::MessageBoxSeen&) {
            form->findChild<QToolButton*>(QStringLiteral("closeMemo"))->click();
            return QMessageBox::Yes;
        });
        QVERIFY(form->compareTabs()->compareWith(regress("diff-two-firms-refused/old")));
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);
        QCOMPARE(done.at(0).at(0).toBool(), false);
        QCOMPARE(form->documentTabs()->count(), tabs);
        QVERIFY(form->compareTabs()->views().empty());
    }

    void reconciliationOpensOnItsTabAndLeadsToRecordsAndReportLines() {
        const std::string folder = regress("reconcile-report");
        const std::string october = folder + "/nap-202610.csv";
        const std::string september = folder + "/nap-202609.csv";
        ModalAnswerer answers;
        auto form = shownWindow(answers, folder);
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        QSignalSpy done(form->compareTabs(), &CompareTabs::finished);

        // The folder's own reports are offered first.
        answers.then(ModalAnswerer::press(QMessageBox::Yes));
        command(*form, QStringLiteral("Сравни със справката от НАП…"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);
        QVERIFY(done.at(0).at(0).toBool());
        QVERIFY(answers.seen.back().text.contains(QStringLiteral("nap-202609.csv\n  nap-202610.csv")));
        QCOMPARE(form->documentTabs()->tabText(form->documentTabs()->currentIndex()),
                 QStringLiteral("СРАВНЕНИЕ С НАП"));
        DocumentView* view = form->compareTabs()->view(CompareTabs::Kind::Reconciliation);
        const orva::PeriodSession period(folder);
        const std::vector<std::string> both{september, october};
        QCOMPARE(view->lines(),
                 built(orva::reconciliationDocument(), {&period, nullptr, nullptr, &both}, form->linesPerPage()));
        QCOMPARE(linesOf(form->compareTabs()->pagedAgain(view)(20)),
                 built(orva::reconciliationDocument(), {&period, nullptr, nullptr, &both}, 20));
        QVERIFY(!form->compareTabs()->pagedAgain(form->purchasesView()));

        // A document of the journal: its record; a document of the report alone: its line, from any of
        // the row's lines.
        enterOn(view, lineWith(view, w("|различен     |BG130000005    |88 ")));
        QCOMPARE(form->documentTabs()->currentWidget(), form->purchasesView()->parentWidget());
        const std::size_t at = form->purchasesView()->caret().line;
        QVERIFY(form->purchasesView()->text().line(at).find(" 88 ") != std::string_view::npos);
        QVERIFY(form->purchasesView()->isHighlighted(at));
        form->documentTabs()->setCurrentWidget(view->parentWidget());

        const std::vector<std::string> report = orva::readLinesFile(october);
        const QString lineTen =
            QStringLiteral("Справка: %1\nРед 10:\n%2")
                .arg(QString::fromStdString(october), QString::fromStdString(orva::win1251ToUtf8(report.at(9))));
        const std::size_t missing = lineWith(view, w("|липсва       |"));
        for (const std::size_t line : {missing, missing + 2}) {
            answers.then(ModalAnswerer::press(QMessageBox::Ok));
            enterOn(view, line);
            QCOMPARE(answers.seen.back().text, lineTen);
            QCOMPARE(form->documentTabs()->currentWidget(), view->parentWidget());
        }
        // The captions lead nowhere.
        const std::size_t seen = answers.seen.size();
        enterOn(view, lineWith(view, w("|Вид разлика")));
        QCOMPARE(answers.seen.size(), seen);

        // "Не": the chooser, here one report; the tab shows that comparison instead.
        answers.then(ModalAnswerer::press(QMessageBox::No));
        CompareTabs::setNextReportsAnswer({QString::fromStdString(october)});
        command(*form, QStringLiteral("Сравни със справката от НАП…"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 20000);
        view = form->compareTabs()->view(CompareTabs::Kind::Reconciliation);
        const std::vector<std::string> one{october};
        QCOMPARE(view->lines(),
                 built(orva::reconciliationDocument(), {&period, nullptr, nullptr, &one}, form->linesPerPage()));
        QCOMPARE(form->compareTabs()->views().size(), std::size_t(1));
        QCOMPARE(answers.unscripted, 0);
    }
};

QTEST_MAIN(TestCompareTabs)
#include "tst_compare_tabs.moc"
