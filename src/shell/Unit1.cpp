#include "shell/Unit1.h"

#include "declaration/Declaration.h"
#include "declaration/ReturnForm.h"
#include "declaration/Unit2.h"
#include "journals/Journal.h"
#include "shell/DocumentView.h"
#include "shell/MessageBoxes.h"
#include "shell/Printing.h"
#include "shell/QtText.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include "ui_TForm1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>

namespace {

const char* const kReadError = "Грешка при четене на дискетата.";
const char* const kPrintQuestion = "Желаете ли да разпечатате избрания документ ?";
const char* const kPrintDone = "Печатането завърши.";

} // namespace

using orva::toQString;
using orva::toWin1251;

TForm1::TForm1(std::string dataFolder, const QString& executablePath, std::optional<QPrinterInfo> printer,
               QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TForm1), dataFolder_(std::move(dataFolder)),
      executablePath_(QFile::encodeName(executablePath).toStdString()), printerInfo_(std::move(printer)) {
    ui->setupUi(this);
    PageControl1 = ui->PageControl1;
    TabSheet1 = ui->TabSheet1;
    TabSheet2 = ui->TabSheet2;
    TabSheet3 = ui->TabSheet3;
    TabSheet4 = ui->TabSheet4;
    TabSheet5 = ui->TabSheet5;
    RichEdit0 = ui->RichEdit0;
    RichEdit1 = ui->RichEdit1;
    RichEdit2 = ui->RichEdit2;
    RichEdit3 = ui->RichEdit3;
    RichEdit4 = ui->RichEdit4;

    RichEdit0->setFont(orva::documentFont(orva::kLabelPointSize));
    for (DocumentView* box : {RichEdit1, RichEdit2, RichEdit3})
        box->setFont(orva::documentFont(orva::kDocumentPointSize));
    RichEdit4->setFont(orva::documentFont(orva::kDocumentPointSize));
    RichEdit4->setBackgroundRole(QPalette::Button);
    RichEdit4->viewport()->setBackgroundRole(QPalette::Button);
    RichEdit0->setReadOnly(true);
    RichEdit1->setReadOnly(true);
    RichEdit2->setReadOnly(true);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(QStringLiteral("Печат"));
    N1->setObjectName(QStringLiteral("N1"));
    connect(N1, &QAction::triggered, this, &TForm1::N1Click);
    for (QAbstractScrollArea* box :
         std::initializer_list<QAbstractScrollArea*>{RichEdit0, RichEdit1, RichEdit2, RichEdit3, RichEdit4}) {
        box->installEventFilter(this);
        box->viewport()->installEventFilter(this);
    }

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
}

TForm1::~TForm1() {
    // The dialog outlives the load and is destroyed with the window, writing its last values.
    form2_.reset();
    delete ui;
}

void TForm1::usePrinter(std::unique_ptr<QPrinter> printer) {
    printer_ = std::move(printer);
}

QWidget* TForm1::boxParent() {
    return isVisible() ? this : nullptr;
}

// ---------------------------------------------------------------- creation

void TForm1::FormCreate() {
    const QPrinterInfo info = printerInfo_ ? *printerInfo_ : QPrinterInfo::defaultPrinter();
    try {
        if (info.isNull())
            throw orva::Error("There is no default printer.");
        auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        orva::preparePrinter(*printer);
        const int lines = orva::linesPerPage(*printer, orva::kDocumentPointSize);
        if (lines <= 0)
            throw orva::Error("The printer \"" + info.printerName().toStdString() + "\" reports no printable page.");
        printer_ = std::move(printer);
        LinesPerPage = lines;
    } catch (const std::exception& failure) {
        orva::showErrorBox(nullptr, orva::failureText(failure));
        // Without a printer the documents are still laid out as for an A4 page, so they can be
        // read and exported; printing itself fails with its own message.
        LinesPerPage = orva::fallbackLinesPerPage();
    }
}

// ---------------------------------------------------------------- show sequence

void TForm1::setVisible(bool visible) {
    if (visible && !shown_) {
        shown_ = true;
        FormShow();
        if (loadFailed_)
            return; // the program ends without showing the window
    }
    QMainWindow::setVisible(visible);
}

void TForm1::FormShow() {
    form2_ = std::make_unique<TForm2>(QFile::decodeName(executablePath_.c_str()));
    form2_->setAttribute(Qt::WA_QuitOnClose, false);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        LoadDeclaration();
        BuildPurchasesJournal();
        BuildSalesJournal();
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& failure) {
        QApplication::restoreOverrideCursor();
        loadFailed_ = true;
        lastLoadError_ = orva::failureText(failure);
        orva::showPlainMessage(nullptr, QString::fromUtf8(kReadError));
        // quit() before the loop runs would be lost: queued, it ends the loop as soon as it starts.
        // runOrva also checks the flag and does not start the loop at all.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        return;
    }

    try {
        finishShow();
    } catch (const std::exception& failure) {
        orva::showErrorBox(nullptr, orva::failureText(failure));
    }
}

void TForm1::finishShow() {
    const orva::ResultCells result =
        orva::deriveResultCells(toWin1251(form2_->K20->text()), toWin1251(form2_->K40->text()));
    form2_->K50->setText(toQString(result.K50));
    form2_->K60->setText(toQString(result.K60));
    form2_->boxDate->setText(toQString(orva::defaultReturnDate(PeriodText)));
    form2_->PendingCaption = windowTitle();
    form2_->boxMOL->setCurrentText(toQString(orva::trimSignatory(SignatoryName)));

    // OK and the close box lead on alike.
    form2_->exec();

    FirmAddress = toWin1251(form2_->boxADR->currentText());
    PositionText = toWin1251(form2_->boxDlu->currentText());
    ReturnDate = toWin1251(form2_->boxDate->text());
    SignatoryName = toWin1251(form2_->boxMOL->currentText());
    RepresentMark = form2_->CheckBox1->isChecked() ? "X" : " ";
    Art92Mark = form2_->CheckBox2->isChecked() ? "X" : " ";

    BuildReturnForm();

    for (DocumentView* box : {RichEdit1, RichEdit2, RichEdit3})
        box->setReadOnly(true);
    for (DocumentView* box : {RichEdit1, RichEdit2, RichEdit3})
        box->scrollToStart();
}

// ---------------------------------------------------------------- builders

void TForm1::LoadDeclaration() {
    const orva::Declaration declaration =
        orva::parseDeclaration(orva::readFileBytes(orva::joinPath(dataFolder_, "deklar.txt")));
    VatNumber = declaration.VatNumber;
    IdNumber = declaration.IdNumber;
    FirmName = declaration.FirmName;
    PeriodText = declaration.PeriodText;
    SignatoryName = declaration.SignatoryName;
    FirmAddress.clear();
    for (const int cellNumber : orva::kCellNumbers)
        form2_->cell(cellNumber)->setText(toQString(declaration.cells[cellNumber]));
    CaptionText = declaration.CaptionText;
    RichEdit0->setLines(std::vector<std::string>(declaration.label));
    setWindowTitle(toQString(CaptionText));
}

namespace {

// Builds a journal into its box and writes the copy beside the executable. The file is read in
// chunks as the build goes, so its bytes and the document are never held together.
void buildJournalInto(DocumentView& box, const std::string& dataFolder, const std::string& executablePath,
                      int LinesPerPage, const std::string& CaptionText, const orva::JournalLayout& layout) {
    box.clear();
    box.setLines(
        orva::buildJournalFromFile(orva::joinPath(dataFolder, layout.fileName), LinesPerPage, CaptionText, layout)
            .lines);
    box.saveToFile(orva::replaceExtension(executablePath, layout.copyExtension));
}

} // namespace

void TForm1::BuildPurchasesJournal() {
    buildJournalInto(*RichEdit1, dataFolder_, executablePath_, LinesPerPage, CaptionText, orva::purchasesLayout());
}

void TForm1::BuildSalesJournal() {
    buildJournalInto(*RichEdit2, dataFolder_, executablePath_, LinesPerPage, CaptionText, orva::salesLayout());
}

void TForm1::BuildReturnForm() {
    orva::ReturnFormInput input;
    input.PeriodText = PeriodText;
    input.FirmName = FirmName;
    input.VatNumber = VatNumber;
    input.FirmAddress = FirmAddress;
    input.IdNumber = IdNumber;
    input.SignatoryName = SignatoryName;
    input.RepresentMark = RepresentMark;
    input.Art92Mark = Art92Mark;
    input.ReturnDate = ReturnDate;
    input.PositionText = PositionText;
    input.LinesPerPage = LinesPerPage;
    for (const int cellNumber : orva::kCellNumbers)
        input.cells[cellNumber] = toWin1251(form2_->cell(cellNumber)->text());
    RichEdit3->setLines(orva::buildReturnForm(input));
}

// ---------------------------------------------------------------- activation

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TForm1::FormActivate() {
    if (!(windowState() & Qt::WindowMaximized))
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

// ---------------------------------------------------------------- printing

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        RichEdit1MouseUp();
    } else if (event->type() == QEvent::ContextMenu) {
        // A mouse press has already started the print command; the menu is for the keyboard.
        const auto* request = static_cast<QContextMenuEvent*>(event);
        if (request->reason() != QContextMenuEvent::Mouse)
            PopupMenu1->popup(request->globalPos());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::RichEdit1MouseUp() {
    // Runs once the press has been handled, so a click has already moved the focus into the box.
    if (printQueued_)
        return;
    printQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            printQueued_ = false;
            N1Click();
        },
        Qt::QueuedConnection);
}

bool TForm1::hasBoxFocus(const QWidget* box) const {
    // The window's focus child, so the answer does not depend on whether the window has been
    // activated again after the confirmation box.
    const QWidget* focused = focusWidget();
    return focused != nullptr && (focused == box || box->isAncestorOf(focused));
}

void TForm1::printBox(const DocumentView& box, int pointSize) {
    if (!printer_)
        throw orva::Error("There is no printer to print on.");
    orva::printDocument(*printer_, box.lines(), pointSize, orva::kApplicationTitle);
}

void TForm1::N1Click() {
    if (!orva::confirm(boxParent(), QString::fromUtf8(kPrintQuestion), QMessageBox::Yes, QMessageBox::No))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString failure;
    try {
        if (hasBoxFocus(RichEdit0))
            printBox(*RichEdit0, orva::kLabelPointSize);
        if (hasBoxFocus(RichEdit1))
            printBox(*RichEdit1, orva::kDocumentPointSize);
        if (hasBoxFocus(RichEdit2))
            printBox(*RichEdit2, orva::kDocumentPointSize);
        if (hasBoxFocus(RichEdit3))
            printBox(*RichEdit3, orva::kDocumentPointSize);
    } catch (const std::exception& error) {
        failure = orva::failureText(error);
        if (failure.isEmpty())
            failure = QStringLiteral("The document could not be printed.");
    }
    QApplication::restoreOverrideCursor();
    orva::showPlainMessage(boxParent(), QString::fromUtf8(kPrintDone));
    if (!failure.isNull())
        orva::showErrorBox(boxParent(), failure);
}
