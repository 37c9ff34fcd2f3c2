#include "gui/MainWindow.h"

#include "declaration/Declaration.h"
#include "declaration/ReturnForm.h"
#include "gui/AdditionalDataDialog.h"
#include "gui/DocumentView.h"
#include "gui/MessageBoxes.h"
#include "journals/Journal.h"
#include "period/JournalCopies.h"
#include "render/PageMetrics.h"
#include "render/PrintService.h"
#include "render/PrinterChoice.h"
#include "render/Printing.h"
#include "render/QtText.h"
#include "sidefiles/SideFileLocations.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"
#include "vies/Vies.h"

#include "ui_main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QShortcut>
#include <QStringList>
#include <QTabWidget>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

const char* const kPrintQuestion = "Желаете ли да разпечатате избрания документ ?";
const char* const kPrintDone = "Печатането завърши.";

} // namespace

using orva::toQString;
using orva::toWin1251;

MainWindow::MainWindow(std::string dataFolder, orva::SideFileLocations sideFiles, std::optional<QPrinterInfo> printer,
                       QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), dataFolder_(std::move(dataFolder)), sideFiles_(std::move(sideFiles)),
      printerInfo_(std::move(printer)), printService_(&orva::cupsPrintService()) {
    ui->setupUi(this);

    labelView()->setFont(orva::documentFont(orva::kLabelPointSize));
    for (DocumentView* view : {purchasesView(), salesView(), returnView(), viesView()})
        view->setFont(orva::documentFont(orva::kDocumentPointSize));
    labelView()->setReadOnly(true);
    purchasesView()->setReadOnly(true);
    salesView()->setReadOnly(true);

    printMenu_ = new QMenu(this);
    printMenu_->setObjectName(QStringLiteral("printMenu"));
    printAction_ = printMenu_->addAction(QStringLiteral("Печат"));
    printAction_->setObjectName(QStringLiteral("printAction"));
    connect(printAction_, &QAction::triggered, this, &MainWindow::printFocusedDocument);
    for (QAbstractScrollArea* box : std::initializer_list<QAbstractScrollArea*>{
             labelView(), purchasesView(), salesView(), returnView(), viesView()}) {
        box->installEventFilter(this);
        box->viewport()->installEventFilter(this);
    }
    // Choosing a tab (a click, Ctrl+Tab, Ctrl+PgDn) puts the keyboard into its document, so PgDn
    // scrolls it at once instead of acting on the tab bar.
    connect(documentTabs(), &QTabWidget::currentChanged, this, [this](int index) {
        const QWidget* page = documentTabs()->widget(index);
        if (auto* box = page ? page->findChild<QAbstractScrollArea*>() : nullptr)
            box->setFocus(Qt::OtherFocusReason);
    });
    // Ctrl+PgDn and Ctrl+PgUp step through the tabs as Ctrl+Tab and Ctrl+Shift+Tab do (Qt's tab
    // widget knows only those).
    for (const auto& [keys, step] : {std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                     std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}}) {
        auto* shortcut = new QShortcut(keys, documentTabs());
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] {
            const int count = documentTabs()->count();
            documentTabs()->setCurrentIndex((documentTabs()->currentIndex() + step + count) % count);
        });
    }

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    setUpPrinter();
}

MainWindow::~MainWindow() {
    // The dialog outlives the load and is destroyed with the window, writing its last values.
    dialog_.reset();
    delete ui;
}

QTabWidget* MainWindow::documentTabs() const {
    return ui->documentTabs;
}
DocumentView* MainWindow::labelView() const {
    return ui->labelView;
}
DocumentView* MainWindow::purchasesView() const {
    return ui->purchasesView;
}
DocumentView* MainWindow::salesView() const {
    return ui->salesView;
}
DocumentView* MainWindow::returnView() const {
    return ui->returnView;
}
DocumentView* MainWindow::viesView() const {
    return ui->viesView;
}

void MainWindow::usePrinter(std::unique_ptr<QPrinter> printer) {
    printer_ = std::move(printer);
}

QWidget* MainWindow::boxParent() {
    return isVisible() ? this : nullptr;
}

// ---------------------------------------------------------------- creation

void MainWindow::setUpPrinter() {
    try {
        // The queue lp would choose, as orva-cli's print does.
        const QPrinterInfo info = printerInfo_ ? *printerInfo_ : orva::printerForQueue(orva::systemQueueChoice());
        if (info.isNull())
            throw orva::Error("Няма принтер по подразбиране.");
        auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        orva::preparePrinter(*printer);
        const int lines = orva::linesPerPage(*printer, orva::kDocumentPointSize);
        if (lines <= 0)
            throw orva::Error("Принтерът \"" + info.printerName().toStdString() + "\" не съобщава страница за печат.");
        printer_ = std::move(printer);
        linesPerPage_ = lines;
    } catch (const std::exception& failure) {
        orva::showErrorBox(nullptr, orva::failureText(failure));
        // Without a printer the documents are still laid out as for an A4 page, so they can be
        // read and exported; printing itself fails with its own message.
        linesPerPage_ = orva::fallbackLinesPerPage();
    }
}

// ---------------------------------------------------------------- show sequence

void MainWindow::setVisible(bool visible) {
    if (visible && !shown_) {
        shown_ = true;
        runLoadSequence();
        if (loadFailed_)
            return; // the program ends without showing the window
    }
    QMainWindow::setVisible(visible);
}

void MainWindow::runLoadSequence() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        // Inside the guard: a failure other than a history that cannot be read (those are passed
        // over) ends the run with the read-error box, as a failed load does.
        dialog_ = std::make_unique<AdditionalDataDialog>(sideFiles_);
        dialog_->setAttribute(Qt::WA_QuitOnClose, false);
        loadDocuments();
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& failure) {
        QApplication::restoreOverrideCursor();
        loadFailed_ = true;
        lastLoadError_ = orva::failureText(failure);
        orva::showPlainMessage(nullptr, QString::fromUtf8(orva::kReadError), lastLoadError_);
        // quit() before the loop runs would be lost: queued, it ends the loop as soon as it starts.
        // runOrva also checks the flag and does not start the loop at all.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        return;
    }

    // Journals that are not the period's (another firm, a NUL, a cut record) are shown only when
    // the user says so; No ends the run as Cancel on the first prompt does.
    if (!gateProblems_.empty()) {
        QStringList lines;
        for (const std::string& problem : gateProblems_)
            lines << QString::fromStdString(problem);
        const QString text = lines.join(QLatin1Char('\n')) + QStringLiteral("\n\nДа продължа ли?");
        if (!orva::confirm(nullptr, text, QMessageBox::Yes, QMessageBox::No)) {
            loadFailed_ = true;
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
            return;
        }
    }

    try {
        collectAnswersAndBuildReturn();
    } catch (const std::exception& failure) {
        const QString message = orva::failureText(failure);
        orva::showErrorBox(nullptr, message, message);
    }
}

void MainWindow::loadDocuments() {
    const orva::PeriodFiles files = orva::surveyPeriod(dataFolder_);
    std::fprintf(stderr, "orva: %s\n", files.description().c_str());
    declaration_ = orva::loadDeclaration(files);
    for (const int cellNumber : orva::kCellNumbers)
        dialog_->cell(cellNumber)->setText(toQString(declaration_.cells[cellNumber]));
    dialog_->setCellCaptions(files.wording);
    labelView()->setLines(std::vector<std::string>(declaration_.label));
    setWindowTitle(toQString(declaration_.captionText));

    // Each journal is built straight into its copy (SideFileLocations) and shown from it, mapped:
    // the document's text is never held in memory.
    orva::JournalCopies copies =
        orva::writeJournalCopies(files, declaration_, linesPerPage_, sideFiles_.purchasesCopy, sideFiles_.salesCopy);
    purchasesView()->setDocument(std::move(copies.purchases.text));
    salesView()->setDocument(std::move(copies.sales.text));
    gateProblems_ = copies.purchases.summary.problems;
    gateProblems_.insert(gateProblems_.end(), copies.sales.summary.problems.begin(),
                         copies.sales.summary.problems.end());
    loadVies(files);
}

// The VIES tab: the declaration and its copy, or the line saying the period has none and no copy
// of another period's. Nothing in VIES.TXT ends the load: what cannot be read is said at the
// document's top.
void MainWindow::loadVies(const orva::PeriodFiles& files) {
    hasVies_ = files.vies.has_value();
    viesView()->clear();
    viesView()->setReadOnly(true);
    if (!hasVies_) {
        viesView()->setLines({orva::utf8ToWin1251(orva::kNoViesText)});
        if (::unlink(sideFiles_.viesCopy.c_str()) != 0 && errno != ENOENT)
            orva::throwFileError(orva::FileAction::Write, sideFiles_.viesCopy, errno);
        return;
    }
    std::vector<std::string> lines;
    orva::LineCollector sink(lines);
    orva::streamViesFile(*files.vies, orva::scanViesFile(*files.vies), linesPerPage_, sink);
    viesView()->setLines(std::move(lines));
    viesView()->saveToFile(sideFiles_.viesCopy);
}

void MainWindow::collectAnswersAndBuildReturn() {
    const orva::ReturnAnswers presets = orva::presetAnswers(declaration_);
    dialog_->setPresetCells(presets.cells);
    dialog_->setFirm(declaration_.vatNumber);
    dialog_->dateEdit()->setText(toQString(presets.date));
    dialog_->setPendingCaption(windowTitle());
    dialog_->signatoryBox()->setCurrentText(toQString(presets.signatory));

    // OK and the close box lead on alike.
    dialog_->exec();

    answers_.address = toWin1251(dialog_->addressBox()->currentText());
    answers_.position = toWin1251(dialog_->positionBox()->currentText());
    answers_.date = toWin1251(dialog_->dateEdit()->text());
    answers_.signatory = toWin1251(dialog_->signatoryBox()->currentText());
    answers_.represent = dialog_->representCheck()->isChecked();
    answers_.art92 = dialog_->art92Check()->isChecked();
    for (const int cellNumber : orva::kCellNumbers)
        answers_.cells[cellNumber] = toWin1251(dialog_->cell(cellNumber)->text());
    returnView()->setLines(orva::buildReturn(declaration_, answers_, linesPerPage_));

    for (DocumentView* view : {purchasesView(), salesView(), returnView()})
        view->setReadOnly(true);
    for (DocumentView* view : {purchasesView(), salesView(), returnView()})
        view->scrollToStart();
}

// ---------------------------------------------------------------- activation

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        maximizeOnActivation();
}

void MainWindow::maximizeOnActivation() {
    if (!(windowState() & Qt::WindowMaximized))
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

// ---------------------------------------------------------------- printing

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        onDocumentPressed();
    } else if (event->type() == QEvent::ContextMenu) {
        // A mouse press has already started the print command; the menu is for the keyboard.
        const auto* request = static_cast<QContextMenuEvent*>(event);
        if (request->reason() != QContextMenuEvent::Mouse)
            printMenu_->popup(request->globalPos());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::onDocumentPressed() {
    // Runs once the press has been handled, so a click has already moved the focus into the box.
    if (printQueued_)
        return;
    printQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            printQueued_ = false;
            printFocusedDocument();
        },
        Qt::QueuedConnection);
}

bool MainWindow::hasViewFocus(const QWidget* view) const {
    // The window's focus child, so the answer does not depend on whether the window has been
    // activated again after the confirmation box.
    const QWidget* focused = focusWidget();
    return focused != nullptr && (focused == view || view->isAncestorOf(focused));
}

void MainWindow::printView(const DocumentView& view, int pointSize) {
    if (!printer_)
        throw orva::Error("Няма принтер, на който да се печата.");
    orva::printDocument(*printService_, *printer_, view.text(), pointSize, orva::kApplicationTitle);
}

void MainWindow::printFocusedDocument() {
    if (!orva::confirm(boxParent(), QString::fromUtf8(kPrintQuestion), QMessageBox::Yes, QMessageBox::No))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString failure;
    try {
        if (hasViewFocus(labelView()))
            printView(*labelView(), orva::kLabelPointSize);
        if (hasViewFocus(purchasesView()))
            printView(*purchasesView(), orva::kDocumentPointSize);
        if (hasViewFocus(salesView()))
            printView(*salesView(), orva::kDocumentPointSize);
        if (hasViewFocus(returnView()))
            printView(*returnView(), orva::kDocumentPointSize);
        if (hasVies_ && hasViewFocus(viesView()))
            printView(*viesView(), orva::kDocumentPointSize);
    } catch (const std::exception& error) {
        failure = orva::failureText(error);
        if (failure.isEmpty())
            failure = QStringLiteral("Документът не може да се разпечата.");
    }
    QApplication::restoreOverrideCursor();
    orva::showPlainMessage(boxParent(), QString::fromUtf8(kPrintDone));
    if (!failure.isNull())
        orva::showErrorBox(boxParent(), failure);
}
