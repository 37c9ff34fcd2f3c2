// The main window's load sequence, offscreen, with its boxes and dialog answered by a timer.

#include "ShellTestSupport.h"

#include "declaration/ReturnCells.h"
#include "declaration/Unit2.h"
#include "journals/Journal.h"
#include "shell/DocumentView.h"
#include "shell/Printing.h"
#include "shell/Unit1.h"
#include "text/Encoding.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString q(const std::string& win1251) {
    return QString::fromStdU16String(orva::win1251ToUtf16(win1251));
}
std::string w(const QString& text) {
    return orva::utf16ToWin1251(text.toStdU16String());
}

const QString kReadError = QStringLiteral("Грешка при четене на дискетата.");

} // namespace

class TestTForm1 : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::string dataFolder;
    std::string executable;

    // A window on the test's folders; creation meets no printer here and answers its error box.
    std::unique_ptr<TForm1> createForm(ModalAnswerer& answers) {
        answers.then(ModalAnswerer::press(QMessageBox::Ok)); // the printer failure
        auto form = std::make_unique<TForm1>(dataFolder, QString::fromStdString(executable), QPrinterInfo());
        return form;
    }

private slots:
    void initTestCase() { QVERIFY(orva::registerEmbeddedDocumentFont() >= 0); }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QDir(dir->path()).mkpath(QStringLiteral("data"));
        QDir(dir->path()).mkpath(QStringLiteral("bin"));
        dataFolder = dir->filePath(QStringLiteral("data")).toStdString();
        executable = dir->filePath(QStringLiteral("bin/orva")).toStdString();
    }

    void creationLayout() {
        ModalAnswerer answers;
        auto form = createForm(answers);
        QCOMPARE(form->windowTitle(), QStringLiteral("ORVA"));
        QCOMPARE(form->size(), QSize(803, 580));
        QCOMPARE(form->PageControl1->count(), 5);
        const QStringList captions = {QStringLiteral("ЕТИКЕТ"), QStringLiteral("ПОКУПКИ"), QStringLiteral("ПРОДАЖБИ"),
                                      QStringLiteral("ДЕКЛАРАЦИЯ"), QStringLiteral("VIES")};
        for (int index = 0; index < 5; ++index)
            QCOMPARE(form->PageControl1->tabText(index), captions[index]);
        QCOMPARE(form->PageControl1->currentIndex(), 0);
        QCOMPARE(form->RichEdit0->font().pointSize(), 10);
        for (QWidget* box : {static_cast<QWidget*>(form->RichEdit1), static_cast<QWidget*>(form->RichEdit2),
                             static_cast<QWidget*>(form->RichEdit3), static_cast<QWidget*>(form->RichEdit4)})
            QCOMPARE(box->font().pointSize(), 8);
        QCOMPARE(form->RichEdit0->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(form->RichEdit4->toPlainText(), QStringLiteral("ОЧАКВАЙТЕ В СЛЕДВАЩАТА ВЕРСИЯ"));
        QVERIFY(!form->RichEdit4->isReadOnly());
        QCOMPARE(form->RichEdit4->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(form->RichEdit1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(form->RichEdit1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(form->N1->text(), QStringLiteral("Печат"));
        QCOMPARE(form->LinesPerPage, orva::fallbackLinesPerPage());
        QVERIFY(form->CaptionText.empty());
    }

    // Fault: without a printer LinesPerPage stayed 0, every journal with a record failed and the
    // user was told the diskette could not be read. Now the printer failure is reported and the
    // documents load laid out for an A4 page.
    void noPrinterStillLoadsTheDocuments() {
        period::write(dataFolder, 3, 2);
        ModalAnswerer answers;
        auto form = createForm(answers);
        QCOMPARE(answers.seen.size(), std::size_t(1));
        QCOMPARE(answers.seen[0].title, QStringLiteral("ОРВА"));
        QCOMPARE(answers.seen[0].icon, QMessageBox::Critical);
        QVERIFY(!answers.seen[0].text.isEmpty());
        QVERIFY(form->LinesPerPage > 0);
        QCOMPARE(form->LinesPerPage, orva::fallbackLinesPerPage());

        answers.then(ModalAnswerer::clickDefault()); // the dialog
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        for (const SeenModal& modal : answers.seen)
            QVERIFY(modal.text != kReadError);
        QVERIFY(form->RichEdit1->lineCount() > 0);
        QVERIFY(form->RichEdit2->lineCount() > 0);
    }

    void goodPeriodLoadsEveryDocument() {
        period::write(dataFolder, 3, 2);
        ModalAnswerer answers;
        auto form = createForm(answers);

        // The dialog: what the window put into it, then the user's answers.
        QString dialogTitle, k50, k60, k20, date, signatory, k33;
        answers.then([&](QWidget* widget) {
            auto* dialog = qobject_cast<TForm2*>(widget);
            QVERIFY(dialog != nullptr);
            dialogTitle = dialog->windowTitle();
            k20 = dialog->K20->text();
            k33 = dialog->K33->text();
            k50 = dialog->K50->text();
            k60 = dialog->K60->text();
            date = dialog->boxDate->text();
            signatory = dialog->boxMOL->currentText();
            dialog->boxADR->setCurrentText(QStringLiteral("ул. Тестова 1"));
            dialog->boxDlu->setCurrentText(QStringLiteral("Управител"));
            dialog->CheckBox1->setChecked(false);
            dialog->CheckBox2->setChecked(true);
            dialog->Button1->click();
        });
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        QTRY_VERIFY(form->isVisible());

        // Caption and fields from the record.
        const std::string caption =
            " \xC4\xC0\xCD\xDA\xD7\xC5\xCD \xCF\xC5\xD0\xC8\xCE\xC4 10/2026     \xC8\xCD \xCF\xCE "
            "\xC7\xC4\xC4\xD1 " +
            period::padRight("BG123456789", 15) + "     " + period::padRight(period::kFirm, 50);
        QCOMPARE(form->CaptionText, caption);
        QCOMPARE(form->windowTitle(), q(caption));
        QCOMPARE(form->PeriodText, std::string("10/2026"));
        QCOMPARE(form->IdNumber, "  " + period::padRight("123456789", 13));

        // Label page: the first six fields as stored, then the fixed text.
        const std::vector<std::string>& label = form->RichEdit0->lines();
        QCOMPARE(label.size(), std::size_t(18));
        QCOMPARE(label[0], period::padRight("BG123456789", 15));
        QCOMPARE(label[1], period::padRight(period::kFirm, 50));
        QCOMPARE(label[2], std::string("202610"));
        QCOMPARE(label[3], period::padRight("  " + period::kSignatory + "  ", 50));
        QCOMPARE(label[6], std::string());

        // Dialog: cells from the record, derived cells, default date, trimmed signatory, caption.
        QCOMPARE(dialogTitle, q(caption));
        QCOMPARE(k20, QStringLiteral("         200.00"));
        QCOMPARE(k33, QStringLiteral("1.00"));
        QCOMPARE(k50, QStringLiteral("         149.50"));
        QCOMPARE(k60, QStringLiteral("           0.00"));
        QCOMPARE(date, QStringLiteral("31/10/2026"));
        QCOMPARE(signatory, q(period::kSignatory));

        // Answers copied back as they stand.
        QCOMPARE(form->FirmAddress, w(QStringLiteral("ул. Тестова 1")));
        QCOMPARE(form->PositionText, w(QStringLiteral("Управител")));
        QCOMPARE(form->ReturnDate, std::string("31/10/2026"));
        QCOMPARE(form->SignatoryName, period::kSignatory);
        QCOMPARE(form->RepresentMark, std::string(" "));
        QCOMPARE(form->Art92Mark, std::string("X"));

        // Journals: the right file, layout, caption and page length in the right box.
        const std::vector<std::string>& purchases = form->RichEdit1->lines();
        const std::vector<std::string>& sales = form->RichEdit2->lines();
        QVERIFY(purchases.size() > 2 && sales.size() > 2);
        QCOMPARE(purchases[1],
                 "\xC4\xCD\xC5\xC2\xCD\xC8\xCA \xCD\xC0 \xCF\xCE\xCA\xD3\xCF\xCA\xC8\xD2\xC5     " + caption);
        QCOMPARE(sales[1],
                 "\xC4\xCD\xC5\xC2\xCD\xC8\xCA \xCD\xC0 \xCF\xD0\xCE\xC4\xC0\xC6\xC1\xC8\xD2\xC5     " + caption);
        const auto expectedPurchases =
            orva::buildJournal(orva::readFileBytes(orva::joinPath(dataFolder, "pokupki.txt")), form->LinesPerPage,
                               caption, orva::purchasesLayout());
        QCOMPARE(expectedPurchases.records, std::size_t(3));
        QVERIFY(purchases == expectedPurchases.lines);

        // Copies beside the executable, byte for byte what the boxes hold.
        QCOMPARE(orva::readFileBytes(dir->filePath(QStringLiteral("bin/orva.pro.txt")).toStdString()),
                 orva::joinLinesCrLf(purchases));
        QCOMPARE(orva::readFileBytes(dir->filePath(QStringLiteral("bin/orva.pok.txt")).toStdString()),
                 orva::joinLinesCrLf(sales));

        // Return form built from the answers, and the three documents protected and at their start.
        const std::vector<std::string>& form2 = form->RichEdit3->lines();
        QCOMPARE(form2.size(), std::size_t(form->LinesPerPage + 80));
        bool addressShown = false;
        for (const std::string& line : form2)
            addressShown = addressShown || line.find(w(QStringLiteral("ул. Тестова 1"))) != std::string::npos;
        QVERIFY(addressShown);
        for (DocumentView* box : {form->RichEdit1, form->RichEdit2, form->RichEdit3}) {
            QVERIFY(box->isReadOnly());
            QCOMPARE(box->firstVisibleLine(), 0);
        }
        QVERIFY(!form->RichEdit4->isReadOnly());

        // Every box was seen in order and the hourglass never stayed up under a box.
        QCOMPARE(answers.seen.size(), std::size_t(2));
        QCOMPARE(answers.seen[1].className, QStringLiteral("TForm2"));
        for (const SeenModal& modal : answers.seen)
            QVERIFY(!modal.hourglass);
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // Maximised once active.
        form->activateWindow();
        QTRY_VERIFY(form->isMaximized());
    }

    void dialogCloseBoxStillBuildsTheReturn() {
        period::write(dataFolder, 1, 1);
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then([](QWidget* widget) {
            auto* dialog = qobject_cast<TForm2*>(widget);
            dialog->boxDate->setText(QStringLiteral("01/11/2026"));
            dialog->close();
        });
        form->show();
        QVERIFY(!form->loadFailed());
        QCOMPARE(form->ReturnDate, std::string("01/11/2026"));
        QCOMPARE(form->RichEdit3->lineCount(), std::size_t(form->LinesPerPage + 80));
        QVERIFY(form->RichEdit3->isReadOnly());
    }

    // A failed load shows only the read error, never the dialog, and ends the program; the
    // dialog was created all the same and writes its last values when the program ends.
    void failedLoadEndsTheProgram_data() {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<int>("expectedPurchaseLines");
        QTest::newRow("declaration") << QStringLiteral("deklar.txt") << 0;
        QTest::newRow("purchases") << QStringLiteral("pokupki.txt") << 0;
        QTest::newRow("sales") << QStringLiteral("prodagbi.txt") << 1;
    }
    void failedLoadEndsTheProgram() {
        QFETCH(QString, missing);
        QFETCH(int, expectedPurchaseLines);
        period::write(dataFolder, 2, 2);
        QVERIFY(QFile::remove(QString::fromStdString(orva::joinPath(dataFolder, missing.toStdString()))));
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::press(QMessageBox::Ok));
        form->show();

        QVERIFY(form->loadFailed());
        QVERIFY(form->lastLoadError().contains(missing));
        QVERIFY(!form->isVisible());
        QCOMPARE(answers.seen.size(), std::size_t(2));
        const SeenModal& box = answers.seen[1];
        QCOMPARE(box.text, kReadError);
        QCOMPARE(box.title, QStringLiteral("ОРВА"));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.buttons, QStringList{QStringLiteral("OK")});
        QVERIFY(!box.hourglass);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(form->RichEdit1->lineCount() > 0, expectedPurchaseLines > 0);
        QVERIFY(form->Form2() != nullptr);

        // The end of the program is queued: the application's loop ends as soon as it starts.
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);

        form.reset();
        QVERIFY(QFile::exists(dir->filePath(QStringLiteral("bin/orva.txt"))));
    }

    // Cell 20 of blanks is no number: the error box, no dialog, no return, the rest shown.
    void failureAfterTheLoadKeepsTheWindow() {
        period::Cells cells;
        cells.k20 = "";
        period::write(dataFolder, 2, 2, cells);
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::press(QMessageBox::Ok));
        form->show();
        QVERIFY(!form->loadFailed());
        QTRY_VERIFY(form->isVisible());
        QCOMPARE(answers.seen.size(), std::size_t(2));
        QCOMPARE(answers.seen[1].className, QStringLiteral("QMessageBox"));
        QCOMPARE(answers.seen[1].title, QStringLiteral("ОРВА"));
        QCOMPARE(answers.seen[1].icon, QMessageBox::Critical);
        QVERIFY(answers.seen[1].text.contains(QStringLiteral("               ")));
        QCOMPARE(form->RichEdit3->lineCount(), std::size_t(0));
        QVERIFY(!form->RichEdit3->isReadOnly());
        QCOMPARE(form->RichEdit0->lineCount(), std::size_t(18));
        QVERIFY(form->RichEdit1->lineCount() > 0);
        QVERIFY(form->RichEdit2->lineCount() > 0);
    }

    // The team's sample period loads whole.
    void samplePeriodLoads() {
        const std::string sample = std::string(ORVA_SAMPLES) + "/2026-10";
        if (!QFile::exists(QString::fromStdString(sample + "/deklar.txt")))
            QSKIP("no sample period");
        dataFolder = sample;
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::clickDefault());
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        QCOMPARE(answers.seen.size(), std::size_t(2));
        QVERIFY(form->RichEdit1->lineCount() > 30);
        QVERIFY(form->RichEdit2->lineCount() > 30);
        QVERIFY(form->RichEdit3->lineCount() > 170);
    }
};

QTEST_MAIN(TestTForm1)
#include "tst_tform1.moc"
