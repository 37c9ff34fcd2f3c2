// The main window's load sequence, offscreen, with its boxes and dialog answered through their seams.

#include "JournalOf.h"
#include "ShellTestSupport.h"
#include "SilentServer.h"

#include "declaration/ReturnCells.h"
#include "gui/AdditionalDataDialog.h"
#include "gui/DocumentView.h"
#include "gui/FolderChooser.h"
#include "gui/MainWindow.h"
#include "journals/Journal.h"
#include "render/PageMetrics.h"
#include "sidefiles/SideFiles.h"
#include "text/Encoding.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

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

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::string dataFolder;
    std::string executable;

    // A window on the test's folders; creation meets no printer here and answers its error box.
    std::unique_ptr<MainWindow> createForm(ModalAnswerer& answers) {
        answers.then(ModalAnswerer::press(QMessageBox::Ok)); // the printer failure
        auto form = std::make_unique<MainWindow>(dataFolder, orva::sideFilesBeside(executable), QPrinterInfo());
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
        QCOMPARE(form->documentTabs()->count(), 6);
        const QStringList captions = {QStringLiteral("ЕТИКЕТ"),   QStringLiteral("ПОКУПКИ"),
                                      QStringLiteral("ПРОДАЖБИ"), QStringLiteral("ДЕКЛАРАЦИЯ"),
                                      QStringLiteral("VIES"),     QStringLiteral("ПРОВЕРКА")};
        for (int index = 0; index < 6; ++index)
            QCOMPARE(form->documentTabs()->tabText(index), captions[index]);
        QCOMPARE(form->documentTabs()->currentIndex(), 0);
        QCOMPARE(form->labelView()->font().pointSize(), 10);
        for (QWidget* box : {static_cast<QWidget*>(form->purchasesView()), static_cast<QWidget*>(form->salesView()),
                             static_cast<QWidget*>(form->returnView()), static_cast<QWidget*>(form->viesView())})
            QCOMPARE(box->font().pointSize(), 8);
        QCOMPARE(form->labelView()->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(form->purchasesView()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(form->purchasesView()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(form->printAction()->text(), QStringLiteral("Печат"));
        QCOMPARE(form->linesPerPage(), orva::fallbackLinesPerPage());
        QVERIFY(form->declaration().captionText.empty());
    }

    // Fault: without a printer linesPerPage stayed 0, every journal with a record failed and the
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
        QVERIFY(form->linesPerPage() > 0);
        QCOMPARE(form->linesPerPage(), orva::fallbackLinesPerPage());

        answers.then(ModalAnswerer::clickDefault()); // the dialog
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        for (const SeenModal& modal : answers.seen)
            QVERIFY(modal.text != kReadError);
        QVERIFY(form->purchasesView()->lineCount() > 0);
        QVERIFY(form->salesView()->lineCount() > 0);
    }

    // A print server that takes connections and never answers held the window for minutes before
    // it opened; now it is the printer failure, naming the server, within the deadlines.
    void silentPrintServerIsThePrinterFailure() {
        period::write(dataFolder, 3, 2);
        const orva::fixture::SilentServer silent;
        QVERIFY(silent.listening());
        const orva::fixture::PrintServerSetting setting(silent.address());
        ModalAnswerer answers;
        answers.then(ModalAnswerer::press(QMessageBox::Ok));
        auto form = std::make_unique<MainWindow>(dataFolder, orva::sideFilesBeside(executable));
        QCOMPARE(answers.seen.size(), std::size_t(1));
        QCOMPARE(answers.seen[0].text,
                 QStringLiteral("сървърът за печат не отговаря (%1)").arg(QString::fromStdString(silent.address())));
        QCOMPARE(form->linesPerPage(), orva::fallbackLinesPerPage());
    }

    void goodPeriodLoadsEveryDocument() {
        period::write(dataFolder, 3, 2);
        ModalAnswerer answers;
        auto form = createForm(answers);

        // The dialog: what the window put into it, then the user's answers.
        QString dialogTitle, k50, k60, k20, date, signatory, k33;
        answers.then([&](QWidget* widget) {
            auto* dialog = qobject_cast<AdditionalDataDialog*>(widget);
            QVERIFY(dialog != nullptr);
            dialogTitle = dialog->windowTitle();
            k20 = dialog->cell(20)->text();
            k33 = dialog->cell(33)->text();
            k50 = dialog->cell(50)->text();
            k60 = dialog->cell(60)->text();
            date = dialog->dateEdit()->text();
            signatory = dialog->signatoryBox()->currentText();
            dialog->addressBox()->setCurrentText(QStringLiteral("ул. Тестова 1"));
            dialog->positionBox()->setCurrentText(QStringLiteral("Управител"));
            dialog->representCheck()->setChecked(false);
            dialog->art92Check()->setChecked(true);
            dialog->okButton()->click();
        });
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        QTRY_VERIFY(form->isVisible());

        // Caption and fields from the record.
        const std::string caption =
            " \xC4\xC0\xCD\xDA\xD7\xC5\xCD \xCF\xC5\xD0\xC8\xCE\xC4 10/2026     \xC8\xCD \xCF\xCE "
            "\xC7\xC4\xC4\xD1 " +
            period::padRight("BG123456786", 15) + "     " + period::padRight(period::kFirm, 50);
        QCOMPARE(form->declaration().captionText, caption);
        QCOMPARE(form->windowTitle(), q(caption));
        QCOMPARE(form->declaration().periodText, std::string("10/2026"));
        QCOMPARE(form->declaration().idNumber, "  " + period::padRight("123456786", 13));

        // Label page: the first six fields as stored, then the fixed text.
        const std::vector<std::string>& label = form->labelView()->lines();
        QCOMPARE(label.size(), std::size_t(18));
        QCOMPARE(label[0], period::padRight("BG123456786", 15));
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
        QCOMPARE(form->answers().address, w(QStringLiteral("ул. Тестова 1")));
        QCOMPARE(form->answers().position, w(QStringLiteral("Управител")));
        QCOMPARE(form->answers().date, std::string("31/10/2026"));
        QCOMPARE(form->answers().signatory, period::kSignatory);
        QVERIFY(!form->answers().represent);
        QVERIFY(form->answers().art92);

        // Journals: the right file, layout, caption and page length in the right box.
        const std::vector<std::string>& purchases = form->purchasesView()->lines();
        const std::vector<std::string>& sales = form->salesView()->lines();
        QVERIFY(purchases.size() > 2 && sales.size() > 2);
        QCOMPARE(purchases[1],
                 "\xC4\xCD\xC5\xC2\xCD\xC8\xCA \xCD\xC0 \xCF\xCE\xCA\xD3\xCF\xCA\xC8\xD2\xC5     " + caption);
        QCOMPARE(sales[1],
                 "\xC4\xCD\xC5\xC2\xCD\xC8\xCA \xCD\xC0 \xCF\xD0\xCE\xC4\xC0\xC6\xC1\xC8\xD2\xC5     " + caption);
        const auto expectedPurchases =
            orva::buildJournal(orva::readFileBytes(orva::joinPath(dataFolder, "pokupki.txt")), form->linesPerPage(),
                               caption, orva::purchasesLayout());
        QCOMPARE(expectedPurchases.records, std::size_t(3));
        QVERIFY(purchases == expectedPurchases.lines);

        // Copies beside the executable, byte for byte what the boxes hold.
        QCOMPARE(orva::readFileBytes(dir->filePath(QStringLiteral("bin/orva.pro.txt")).toStdString()),
                 orva::joinLinesCrLf(purchases));
        QCOMPARE(orva::readFileBytes(dir->filePath(QStringLiteral("bin/orva.pok.txt")).toStdString()),
                 orva::joinLinesCrLf(sales));

        // Return form built from the answers, and the three documents at their start.
        const std::vector<std::string>& form2 = form->returnView()->lines();
        QCOMPARE(form2.size(), std::size_t(form->linesPerPage() + 80));
        bool addressShown = false;
        for (const std::string& line : form2)
            addressShown = addressShown || line.find(w(QStringLiteral("ул. Тестова 1"))) != std::string::npos;
        QVERIFY(addressShown);
        for (DocumentView* box : {form->purchasesView(), form->salesView(), form->returnView()}) {
            QCOMPARE(box->firstVisibleLine(), 0);
        }
        // A period without VIES.TXT says so on the VIES tab, where the old text promised a later version.
        QCOMPARE(form->viesView()->lines(),
                 std::vector<std::string>{orva::utf8ToWin1251("Периодът няма VIES декларация (VIES.TXT).")});

        // Every box was seen in order and the hourglass never stayed up under a box.
        QCOMPARE(answers.seen.size(), std::size_t(2));
        QCOMPARE(answers.seen[1].className, QStringLiteral("AdditionalDataDialog"));
        for (const SeenModal& modal : answers.seen)
            QVERIFY(!modal.hourglass);
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // Maximised once active.
        form->activateWindow();
        QTRY_VERIFY(form->isMaximized());
    }

    // VIES.TXT, under any case of its name, is the VIES tab's document and its copy beside the
    // executable; a period without it removes the copy of an earlier one.
    void viesDeclarationIsShownAndCopied() {
        period::write(dataFolder, 3, 2);
        const std::string vies = "VHR10/2026    1\r\n" + std::string("VIR    1") + period::padRight("DE123456789", 15) +
                                 "      100.00        0.00        0.00       \r\n";
        orva::writeFileAtomic(orva::joinPath(dataFolder, "vies.txt"), vies);
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::clickDefault());
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        const std::vector<std::string>& lines = form->viesView()->lines();
        // The missing VTR is said at the top; the line is shown and totalled.
        QVERIFY(lines.size() > 10);
        QVERIFY(lines[2].find("VTR") != std::string::npos);
        bool row = false;
        for (const std::string& line : lines)
            row = row || (line.find("DE123456789") != std::string::npos && line.find("100.00") != std::string::npos);
        QVERIFY(row);
        const std::string copy = dir->filePath(QStringLiteral("bin/orva.vies.txt")).toStdString();
        QCOMPARE(orva::readFileBytes(copy), orva::joinLinesCrLf(lines));
        form.reset();

        QVERIFY(QFile::remove(QString::fromStdString(orva::joinPath(dataFolder, "vies.txt"))));
        ModalAnswerer again;
        auto second = createForm(again);
        again.then(ModalAnswerer::clickDefault());
        second->show();
        QVERIFY2(!second->loadFailed(), qPrintable(second->lastLoadError()));
        QVERIFY(!QFile::exists(QString::fromStdString(copy)));
    }

    // Choosing a tab by key or by click puts the keyboard into its document: PgDn scrolls at once,
    // even when the focus was on the tab bar.
    void choosingATabFocusesItsDocument() {
        period::write(dataFolder, 150, 150);
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::clickDefault()); // the dialog
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QWindow* window = form->windowHandle();
        QTabBar* tabs = form->documentTabs()->tabBar();

        tabs->setFocus();
        QTest::keyClick(window, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->purchasesView()));
        tabs->setFocus();
        QTest::keyClick(window, Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->salesView()));
        QTest::keyClick(window, Qt::Key_PageDown);
        QVERIFY(form->salesView()->firstVisibleLine() > 0);
        QTest::keyClick(window, Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->purchasesView()));

        tabs->setFocus();
        QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(3).center());
        QCOMPARE(form->documentTabs()->currentIndex(), 3);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->returnView()));
        QTest::keyClick(window, Qt::Key_PageDown);
        QVERIFY(form->returnView()->firstVisibleLine() > 0);
        QCOMPARE(answers.unscripted, 0);
    }

    // The journals are shown from their copies, mapped. A second instance that writes the same
    // copies while they are shown (by rename, over the same names) changes nothing in the window:
    // every line, a paint, the jump to the end, the selection.
    void copiesReplacedWhileShown() {
        period::write(dataFolder, 120, 90);
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::clickDefault()); // the dialog
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        const std::string copy = dir->filePath(QStringLiteral("bin/orva.pro.txt")).toStdString();
        const std::vector<std::string> shown = form->purchasesView()->lines();

        const std::string otherData = dir->filePath(QStringLiteral("other")).toStdString();
        QVERIFY(QDir().mkpath(QString::fromStdString(otherData)));
        period::write(otherData, 1, 1);
        ModalAnswerer secondAnswers;
        secondAnswers.then(ModalAnswerer::press(QMessageBox::Ok)); // the printer failure
        MainWindow second(otherData, orva::sideFilesBeside(executable), QPrinterInfo());
        secondAnswers.then(ModalAnswerer::clickDefault());
        second.show();
        QVERIFY2(!second.loadFailed(), qPrintable(second.lastLoadError()));
        QVERIFY(orva::readFileBytes(copy) != orva::joinLinesCrLf(shown));
        orva::writeFileAtomic(copy, "x\r\n");

        DocumentView* view = form->purchasesView();
        form->documentTabs()->setCurrentIndex(1);
        QVERIFY(view->lines() == shown);
        QVERIFY(!view->grab().isNull());
        view->setFocus();
        QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(view->caret().line, shown.size() - 1);
        QCOMPARE(view->caret().column, shown.back().size());
        QVERIFY(view->firstVisibleLine() > 0);
        QVERIFY(!view->grab().isNull());
        view->selectAll();
        QCOMPARE(view->selectedText().substr(0, shown[0].size() + 1), shown[0] + "\n");
    }

    void dialogCloseBoxStillBuildsTheReturn() {
        period::write(dataFolder, 1, 1);
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then([](QWidget* widget) {
            auto* dialog = qobject_cast<AdditionalDataDialog*>(widget);
            dialog->dateEdit()->setText(QStringLiteral("01/11/2026"));
            dialog->close();
        });
        form->show();
        QVERIFY(!form->loadFailed());
        QCOMPARE(form->answers().date, std::string("01/11/2026"));
        QCOMPARE(form->returnView()->lineCount(), std::size_t(form->linesPerPage() + 80));
    }

    // Typed values: a refused one keeps the dialog open with the focus in its cell; a comma is stored
    // as the point; sums above 50 are asked about and No returns to the dialog.
    void dialogChecksTypedValuesOnOk() {
        period::write(dataFolder, 1, 1);
        ModalAnswerer answers;
        auto form = createForm(answers);
        bool openAfterRefusal = false, openAfterNo = false, focusIn71 = false;
        QString shown71;
        answers.then([&](QWidget* widget) {
            auto* dialog = qobject_cast<AdditionalDataDialog*>(widget);
            dialog->cell(71)->setText(QStringLiteral("abc"));
            dialog->okButton()->click(); // the refusal, answered below
            openAfterRefusal = dialog->isVisible();
            focusIn71 = dialog->focusWidget() == dialog->cell(71);
            dialog->cell(71)->setText(QStringLiteral("100,50"));
            dialog->cell(70)->setText(QStringLiteral("50"));
            dialog->okButton()->click(); // 150.50 above 149.50: No
            openAfterNo = dialog->isVisible();
            shown71 = dialog->cell(71)->text();
            dialog->okButton()->click(); // Yes
        });
        answers.then(ModalAnswerer::press(QMessageBox::Ok));
        answers.then(ModalAnswerer::press(QMessageBox::No));
        answers.then(ModalAnswerer::press(QMessageBox::Yes));
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        QCOMPARE(answers.unscripted, 0);
        QVERIFY(openAfterRefusal);
        QVERIFY(focusIn71);
        QVERIFY(openAfterNo);
        QCOMPARE(shown71, QStringLiteral("100.50"));
        QCOMPARE(answers.seen.size(), std::size_t(5));
        QCOMPARE(answers.seen[2].icon, QMessageBox::Critical);
        QVERIFY2(answers.seen[2].text.startsWith(QStringLiteral("Кл.71: \"abc\" ")), qPrintable(answers.seen[2].text));
        QCOMPARE(answers.seen[3].text, QStringLiteral("Кл.70 + кл.71 = 150.50 е повече от кл.50 = 149.50. "
                                                      "Да запиша ли декларацията така?"));
        QCOMPARE(form->answers().cells[71], std::string("100.50"));
        QCOMPARE(form->answers().cells[70], std::string("50"));
    }

    // The close box checks as OK does; cells 40, 50 and 60 follow cell 33 as it is typed, and the
    // return prints them.
    void closeBoxChecksAndCell40FollowsCell33() {
        period::write(dataFolder, 1, 1);
        ModalAnswerer answers;
        auto form = createForm(answers);
        bool openAfterClose = false;
        QString k40, k50, k60, k40Back;
        answers.then([&](QWidget* widget) {
            auto* dialog = qobject_cast<AdditionalDataDialog*>(widget);
            dialog->cell(33)->selectAll();
            QTest::keyClicks(dialog->cell(33), QStringLiteral("0.85abc"));
            dialog->close(); // refused, answered below
            openAfterClose = dialog->isVisible();
            dialog->cell(33)->selectAll();
            QTest::keyClicks(dialog->cell(33), QStringLiteral("1.00"));
            k40Back = dialog->cell(40)->text();
            dialog->cell(33)->selectAll();
            QTest::keyClicks(dialog->cell(33), QStringLiteral("0,85"));
            k40 = dialog->cell(40)->text();
            k50 = dialog->cell(50)->text();
            k60 = dialog->cell(60)->text();
            dialog->close();
        });
        answers.then(ModalAnswerer::press(QMessageBox::Ok));
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        QCOMPARE(answers.unscripted, 0);
        QVERIFY(openAfterClose);
        QVERIFY(answers.seen[2].text.startsWith(QStringLiteral("Кл.33: \"0.85abc\" ")));
        QCOMPARE(k40Back, QStringLiteral("          50.50")); // 33 as the record has it: the record's 40
        // 1.00 + 1.00 × 0.85 + 1.00; 200.00 - 2.85.
        QCOMPARE(k40, QStringLiteral("           2.85"));
        QCOMPARE(k50, QStringLiteral("         197.15"));
        QCOMPARE(k60, QStringLiteral("           0.00"));
        QCOMPARE(form->answers().cells[33], std::string("0.85"));
        QCOMPARE(form->answers().cells[40], std::string("           2.85"));
        bool printed = false;
        for (const std::string& line : form->returnView()->lines())
            printed = printed || (line.find("           2.85|40|") != std::string::npos &&
                                  line.find("0.85|33|") != std::string::npos);
        QVERIFY(printed);
    }

    // The address and position come from the last answers for this firm's VAT number; another
    // firm's are never offered, and once any firm is kept a firm never seen starts blank.
    void addressAndPositionArePerFirm() {
        period::write(dataFolder, 1, 1);
        const orva::SideFileLocations sides = orva::sideFilesBeside(executable);
        orva::saveFirmAnswers(sides, "BG111111118", {w(QStringLiteral("Другата фирма")), "x"});
        QVERIFY(orva::saveLastValues(sides, w(QStringLiteral("Последен адрес")), "", w(QStringLiteral("Касиер"))));
        QString firstAddress, secondAddress, secondPosition;
        for (QString* shown : {&firstAddress, &secondAddress}) {
            ModalAnswerer answers;
            auto form = createForm(answers);
            answers.then([&, shown](QWidget* widget) {
                auto* dialog = qobject_cast<AdditionalDataDialog*>(widget);
                *shown = dialog->addressBox()->currentText();
                secondPosition = dialog->positionBox()->currentText();
                dialog->addressBox()->setEditText(QStringLiteral("ул. Тестова 1"));
                dialog->positionBox()->setEditText(QStringLiteral("Управител"));
                dialog->okButton()->click();
            });
            form->show();
            QVERIFY(!form->loadFailed());
            QCOMPARE(answers.unscripted, 0);
            form.reset();
            // Another firm's window in between leaves its own last values behind.
            QVERIFY(orva::saveLastValues(sides, w(QStringLiteral("Последен адрес")), "", ""));
        }
        QCOMPARE(firstAddress, QString());
        QCOMPARE(secondAddress, QStringLiteral("ул. Тестова 1"));
        QCOMPARE(secondPosition, QStringLiteral("Управител"));
        QCOMPARE(orva::loadFirmAnswers(sides, "BG111111118")->address, w(QStringLiteral("Другата фирма")));
    }

    // Fault: the address typed for one firm was offered to the next firm opened, printed on its
    // return and kept under every VAT number. A firm never seen starts from its VIES.TXT's address,
    // or blank; each firm keeps what its own dialog showed, by OK or the close box.
    void eachFirmKeepsItsOwnAddress() {
        const orva::SideFileLocations sides = orva::sideFilesBeside(executable);
        QVERIFY(orva::saveLastValues(sides, w(QStringLiteral("Стар адрес")), "", ""));
        ModalAnswerer answers;
        answers.then(ModalAnswerer::press(QMessageBox::Ok)); // no printer
        QStringList offered;
        const auto typeAndLeave = [&](const QString& address, bool byCloseBox) {
            return ModalAnswerer::Answer([&offered, address, byCloseBox](QWidget* widget) {
                auto* dialog = qobject_cast<AdditionalDataDialog*>(widget);
                offered << dialog->addressBox()->currentText();
                if (!address.isNull())
                    dialog->addressBox()->setEditText(address);
                if (byCloseBox)
                    dialog->close();
                else
                    dialog->okButton()->click();
            });
        };
        // With no firm kept yet, the first one starts from the last values (one firm's user).
        answers.then(typeAndLeave(QStringLiteral("ул. Първа 1"), false));
        auto form = std::make_unique<MainWindow>(ORVA_SAMPLES "/2026-10", sides, QPrinterInfo());
        form->show();
        QVERIFY(!form->loadFailed());
        answers.then(typeAndLeave(QString(), false));
        QVERIFY(openAndWait(*form, ORVA_SAMPLES "/2026-11"));
        period::write(dataFolder, 2, 2); // BG123456786, no VIES.TXT
        answers.then(typeAndLeave(QString(), true));
        QVERIFY(openAndWait(*form, dataFolder));
        answers.then(typeAndLeave(QString(), false));
        QVERIFY(openAndWait(*form, ORVA_SAMPLES "/2026-10"));
        QCOMPARE(answers.unscripted, 0);
        QCOMPARE(offered, (QStringList{QStringLiteral("Стар адрес"), QStringLiteral("МЕЛНИК, УЛ. ВИНАРСКА 12"),
                                       QString(), QStringLiteral("ул. Първа 1")}));
        const std::vector<std::pair<std::string, QString>> kept = {
            {"BG501050897", QStringLiteral("ул. Първа 1")},
            {"BG865197101", QStringLiteral("МЕЛНИК, УЛ. ВИНАРСКА 12")},
            {"BG123456786", QString()}};
        for (const auto& [firm, address] : kept) {
            const std::optional<orva::FirmAnswers> answersKept = orva::loadFirmAnswers(sides, firm);
            QVERIFY2(answersKept.has_value(), firm.c_str());
            QCOMPARE(q(answersKept->address), address);
        }
    }

    // A failed load shows only the read error, never the dialog, and ends the program; the
    // dialog was created all the same and writes its last values when the program ends.
    void failedLoadEndsTheProgram_data() {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<int>("expectedPurchaseLines");
        QTest::newRow("declaration") << QStringLiteral("deklar.txt") << 0;
        QTest::newRow("purchases") << QStringLiteral("pokupki.txt") << 0;
        // All three files are found before anything is built.
        QTest::newRow("sales") << QStringLiteral("prodagbi.txt") << 0;
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
        QCOMPARE(box.buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Проверка")}));
        QCOMPARE(box.defaultButton, QMessageBox::Ok);
        QVERIFY(!box.hourglass);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(form->purchasesView()->lineCount() > 0, expectedPurchaseLines > 0);
        QVERIFY(form->dialog() != nullptr);

        // The end of the program is queued: the application's loop ends as soon as it starts.
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);

        form.reset();
        QVERIFY(QFile::exists(dir->filePath(QStringLiteral("bin/orva.txt"))));
    }

    // Fault: the user was told only that the diskette could not be read, though the load knew
    // where and why. The read-error box keeps its text and carries the failure as its detail.
    void readErrorCarriesTheDetail() {
        period::write(dataFolder, 20, 2);
        const QString purchases = QString::fromStdString(orva::joinPath(dataFolder, "pokupki.txt"));
        QFile file(purchases);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = file.readAll().split('\n');
        file.close();
        // Line 17, the second amount: its field ends in "10.00" as every amount does.
        const qsizetype second = lines[16].indexOf("10.00", lines[16].indexOf("10.00") + 1);
        QVERIFY(second > 0);
        lines[16].replace(second, 5, "12,50");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(lines.join('\n'));
        file.close();

        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::press(QMessageBox::Ok));
        form->show();
        QVERIFY(form->loadFailed());
        QCOMPARE(answers.seen.size(), std::size_t(2));
        QCOMPARE(answers.seen[1].text, kReadError);
        QCOMPARE(answers.seen[1].detailedText, form->lastLoadError());
        QVERIFY2(answers.seen[1].detailedText.startsWith(
                     QStringLiteral("pokupki.txt, ред 17: кол.10 основа с право на пълен кредит \"")),
                 qPrintable(answers.seen[1].detailedText));
        QVERIFY(answers.seen[1].detailedText.endsWith(QStringLiteral("12,50\" не е число")));
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    // Fault: after a read error the user was left with nothing. "Проверка" in its box shows the
    // window with that folder's check alone, every record at fault in it, the documents empty, and
    // the program ends with the window as it ends after OK.
    void readErrorOffersTheFoldersCheck() {
        period::write(dataFolder, 5, 2);
        const std::string purchases = orva::joinPath(dataFolder, "pokupki.txt");
        std::string bytes = orva::readFileBytes(purchases);
        // Records 2 and 4 get an amount that is no number.
        for (int record : {2, 4}) {
            std::size_t at = 0;
            for (int line = 1; line < record; ++line)
                at = bytes.find('\n', at) + 1;
            const std::size_t amount = bytes.find("10.00", at);
            QVERIFY(amount != std::string::npos);
            bytes.replace(amount, 5, "10,00");
        }
        orva::writeFileAtomic(purchases, bytes);
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::press(QMessageBox::Open));
        form->show();
        QVERIFY(form->loadFailed());
        QVERIFY(form->checkOnly());
        QCOMPARE(answers.seen.at(1).text, kReadError);
        QVERIFY2(answers.seen[1].detailedText.startsWith(QStringLiteral("pokupki.txt, ред 2: кол.")),
                 qPrintable(answers.seen[1].detailedText));
        QTRY_VERIFY(form->isVisible());
        QCOMPARE(form->documentTabs()->currentWidget(), form->checkView()->parentWidget());
        QTRY_VERIFY_WITH_TIMEOUT(!form->checkRunning(), 20000);
        const std::vector<std::string> report = form->checkView()->lines();
        int faulted = 0;
        for (const std::string& line : report)
            faulted += line.rfind("pokupki.txt:2:", 0) == 0 || line.rfind("pokupki.txt:4:", 0) == 0;
        QVERIFY2(faulted >= 2, report.empty() ? "" : report.front().c_str());
        for (DocumentView* view : {form->labelView(), form->purchasesView(), form->salesView(), form->returnView()})
            QCOMPARE(view->lineCount(), std::size_t(0));
        QCOMPARE(answers.seen.size(), std::size_t(2)); // no dialog
        QTimer::singleShot(0, form.get(), [&form] { form->close(); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
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
        // The detail names the file, the line and the cell.
        QVERIFY2(answers.seen[1].detailedText.startsWith(QStringLiteral("deklar.txt, ред 1: клетка 20 \"")),
                 qPrintable(answers.seen[1].detailedText));
        QVERIFY(answers.seen[1].detailedText.endsWith(QStringLiteral("\" не е число")));
        QCOMPARE(form->returnView()->lineCount(), std::size_t(0));
        QCOMPARE(form->labelView()->lineCount(), std::size_t(18));
        QVERIFY(form->purchasesView()->lineCount() > 0);
        QVERIFY(form->salesView()->lineCount() > 0);
    }

    // Journals of another firm were shown and printed under the return's firm without a word: one
    // box names each case before the dialog; Yes goes on as before, No ends the run as Cancel does.
    void journalsOfAnotherFirmAreAskedAbout_data() {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void journalsOfAnotherFirmAreAskedAbout() {
        QFETCH(bool, goOn);
        period::write(dataFolder, 3, 1);
        const std::string declaration = orva::joinPath(dataFolder, "deklar.txt");
        std::string record = orva::readFileBytes(declaration);
        record.replace(0, 11, "BG865197101");
        orva::writeFileAtomic(declaration, record);

        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::press(goOn ? QMessageBox::Yes : QMessageBox::No));
        if (goOn)
            answers.then(ModalAnswerer::clickDefault());
        form->show();

        QVERIFY(answers.seen.size() >= 2);
        const SeenModal& box = answers.seen[1];
        QCOMPARE(box.text,
                 QStringLiteral("pokupki.txt: 3 от 3 записа са на BG123456786 за 10/2026, а декларацията – на "
                                "BG865197101 за 10/2026.\n"
                                "prodagbi.txt: 1 от 1 записа е на BG123456786 за 10/2026, а декларацията – на "
                                "BG865197101 за 10/2026.\n\nДа продължа ли?"));
        QCOMPARE(box.icon, QMessageBox::Question);
        QCOMPARE(box.defaultButton, QMessageBox::No); // Enter must not show another firm's journals
        QCOMPARE(form->loadFailed(), !goOn);
        QCOMPARE(form->returnView()->lineCount() > 0, goOn);
        if (!goOn) {
            QVERIFY(!form->isVisible());
            return;
        }
        QTRY_VERIFY(form->isVisible());
        // Said for as long as those journals are shown, whatever the status bar says meanwhile.
        form->statusBar()->showMessage(QStringLiteral("друго"));
        QVERIFY(form->foreignJournalsStatus()->isVisible());
        QVERIFY(form->foreignJournalsStatus()->text().contains(QStringLiteral("не са на този период")));
        const std::string own = otherPeriod("own", 1, 1);
        answers.then(ModalAnswerer::clickDefault());
        QVERIFY(openAndWait(*form, own));
        QVERIFY(!form->foreignJournalsStatus()->isVisible());
    }

    // Mappings of files deleted since, i.e. journal copies a replaced view still holds.
    static int deletedMappings(const std::string& copy) {
        int count = 0;
        for (const std::string& line : orva::readLinesFile("/proc/self/maps"))
            if (line.find(copy) != std::string::npos && line.find("(deleted)") != std::string::npos)
                ++count;
        return count;
    }

    std::string otherPeriod(const char* name, int purchases, int sales) {
        const std::string folder = dir->filePath(QString::fromLatin1(name)).toStdString();
        QDir().mkpath(QString::fromStdString(folder));
        period::write(folder, purchases, sales);
        return folder;
    }

    // Another period replaces the shown one in the same window (Ctrl+O, a recent folder, a drop),
    // and the views of the one before are let go: their mapped copies are unmapped.
    void anotherPeriodReplacesTheShownOne() {
        period::write(dataFolder, 120, 90);
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then([](QWidget* widget) {
            QVERIFY(static_cast<AdditionalDataDialog*>(widget)->cancelButton()->isHidden());
            ModalAnswerer::clickDefault().dialog(widget);
        });
        form->show();
        QVERIFY2(!form->loadFailed(), qPrintable(form->lastLoadError()));
        const int views = form->findChildren<DocumentView*>().size();
        const std::string second = otherPeriod("second", 3, 2);
        const std::string third = otherPeriod("third", 5, 7);
        const std::string copy = dir->filePath(QStringLiteral("bin/orva.pro.txt")).toStdString();

        answers.then([](QWidget* widget) {
            QVERIFY(!static_cast<AdditionalDataDialog*>(widget)->cancelButton()->isHidden());
            ModalAnswerer::clickDefault().dialog(widget);
        });
        orva::FolderChooser::setNextAnswer(QString::fromStdString(second));
        form->findChild<QMenu*>(QStringLiteral("commandMenu"))->actions().front()->trigger(); // "Отвори…"
        QTRY_COMPARE_WITH_TIMEOUT(form->dataFolder(), second, 20000);
        QCOMPARE(orva::FolderChooser::lastStartFolder(), dir->path()); // beside the shown period
        QCOMPARE(form->purchasesView()->lineCount(), orva::readLinesFile(copy).size());
        QVERIFY(form->returnView()->lineCount() > 0);

        // The recent folders, newest first; the one before the last is opened from the menu.
        emit form->recentMenu()->aboutToShow();
        QStringList recent;
        for (const QAction* action : form->recentMenu()->actions())
            recent << action->text();
        QCOMPARE(recent, (QStringList{QString::fromStdString(second), QString::fromStdString(dataFolder)}));
        answers.then(ModalAnswerer::clickDefault());
        form->recentMenu()->actions().back()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(form->dataFolder(), dataFolder, 20000);

        // A folder dropped on the window.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(third))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        answers.then(ModalAnswerer::clickDefault());
        QApplication::sendEvent(form.get(), &drop);
        QTRY_COMPARE_WITH_TIMEOUT(form->dataFolder(), third, 20000);

        QCOMPARE(form->findChildren<DocumentView*>().size(), views);
        QCOMPARE(deletedMappings(copy), 0);
        QCOMPARE(deletedMappings(dir->filePath(QStringLiteral("bin/orva.pok.txt")).toStdString()), 0);
        QCOMPARE(answers.unscripted, 0);
    }

    // Whatever stops another period's load keeps the shown one, its copies and the dialog's values.
    void anotherPeriodThatFailsKeepsTheShownOne_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("read error") << QStringLiteral("read error");
        QTest::newRow("cancel in the dialog") << QStringLiteral("cancel");
        QTest::newRow("escape in the dialog") << QStringLiteral("escape");
        QTest::newRow("no on the warning") << QStringLiteral("no");
        QTest::newRow("cell 20 no number") << QStringLiteral("cell 20");
    }
    void anotherPeriodThatFailsKeepsTheShownOne() {
        QFETCH(QString, how);
        period::write(dataFolder, 40, 30);
        ModalAnswerer answers;
        auto form = createForm(answers);
        answers.then(ModalAnswerer::clickDefault());
        form->show();
        const QString title = form->windowTitle();
        const std::vector<std::string> purchases = form->purchasesView()->lines();
        const std::vector<std::string> form13 = form->returnView()->lines();
        const std::string copy = dir->filePath(QStringLiteral("bin/orva.pro.txt")).toStdString();
        const std::string copied = orva::readFileBytes(copy);
        const QString address = form->dialog()->addressBox()->currentText();

        const std::string other = otherPeriod("other", 4, 4);
        const std::string declaration = orva::joinPath(other, "deklar.txt");
        if (how == QStringLiteral("read error")) {
            QFile::remove(QString::fromStdString(declaration));
            answers.then(ModalAnswerer::press(QMessageBox::Ok));
        } else if (how == QStringLiteral("no")) {
            std::string record = orva::readFileBytes(declaration);
            record.replace(0, 11, "BG865197101");
            orva::writeFileAtomic(declaration, record);
            answers.then(ModalAnswerer::press(QMessageBox::No));
        } else if (how == QStringLiteral("cell 20")) {
            period::Cells cells;
            cells.k20 = "";
            period::write(other, 4, 4, cells);
            answers.then(ModalAnswerer::press(QMessageBox::Ok));
        } else {
            answers.then([how](QWidget* widget) {
                auto* dialog = static_cast<AdditionalDataDialog*>(widget);
                dialog->addressBox()->setEditText(QStringLiteral("гр. Друг"));
                if (how == QStringLiteral("cancel"))
                    dialog->cancelButton()->click();
                else
                    QTest::keyClick(dialog, Qt::Key_Escape);
            });
        }
        QVERIFY(!openAndWait(*form, other));
        QCOMPARE(form->dataFolder(), dataFolder);
        QCOMPARE(form->windowTitle(), title);
        QVERIFY(form->purchasesView()->lines() == purchases);
        QVERIFY(form->returnView()->lines() == form13);
        QCOMPARE(orva::readFileBytes(copy), copied);
        QCOMPARE(form->dialog()->addressBox()->currentText(), address);
        QVERIFY(!form->loadFailed());
        QVERIFY(form->isVisible());
        QCOMPARE(answers.unscripted, 0);
        if (how == QStringLiteral("read error"))
            QCOMPARE(answers.seen.back().text, kReadError);
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
        QVERIFY(form->purchasesView()->lineCount() > 30);
        QVERIFY(form->salesView()->lineCount() > 30);
        QVERIFY(form->returnView()->lineCount() > 170);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
