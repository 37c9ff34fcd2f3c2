#include "gui/AdditionalDataDialog.h"

#include "declaration/ReturnArithmetic.h"
#include "declaration/ReturnCells.h"
#include "declaration/ReturnForm.h"
#include "gui/MessageBoxes.h"
#include "period/Answers.h"
#include "render/QtText.h"
#include "sidefiles/SideFiles.h"

#include "ui_additional_data_dialog.h"

#include <QCloseEvent>
#include <QCompleter>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The item-data role that keeps a history entry's bytes exactly as its file held them, so that
// rewriting a history never alters an entry through a round trip over Unicode.
constexpr int kHistoryBytesRole = Qt::UserRole + 1;

// Set on a derived cell that shows nothing because the cells it follows from give no value.
constexpr const char* kNotDerivedProperty = "notDerived";

using orva::toWin1251;

void addEntry(QComboBox* box, const std::string& entry) {
    box->addItem(orva::toQString(entry));
    box->setItemData(box->count() - 1, QByteArray::fromStdString(entry), kHistoryBytesRole);
}

void fillHistory(QComboBox* box, const std::vector<std::string>& entries) {
    box->clear();
    for (const std::string& entry : entries)
        addEntry(box, entry);
}

std::vector<std::string> historyOf(const QComboBox* box) {
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(box->count()));
    for (int i = 0; i < box->count(); ++i) {
        const QVariant bytes = box->itemData(i, kHistoryBytesRole);
        entries.push_back(bytes.isValid() ? bytes.toByteArray().toStdString() : toWin1251(box->itemText(i)));
    }
    return entries;
}

// Appends the box's text to its list unless it is empty or already there ignoring case; the
// list and `history` stay entry for entry the same.
void addTypedText(QComboBox* box, std::vector<std::string>& history) {
    const std::string text = toWin1251(box->currentText());
    if (orva::addToHistory(history, text))
        addEntry(box, text);
}

void setUpHistoryBox(QComboBox* box) {
    // Typing completes from the list without regard to letter case; the list itself only
    // grows through OK, never by pressing Enter in the box.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    box->completer()->setCompletionMode(QCompleter::InlineCompletion);
    // When its line edit finishes editing (Enter, or the focus leaving it, as when the dialog
    // closes), a combo box puts an entry that equals the text but for letter case in place of
    // the text. The text stays as typed and shown: the combo box's only use of that signal goes.
    QObject::disconnect(box->lineEdit(), &QLineEdit::editingFinished, box, nullptr);
}

// Draws a dotted rectangle inside a push button that holds the keyboard focus; Qt's own styles
// draw a default button with the focus exactly as without it.
class FocusRectangleStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_PushButton || !(option->state & State_HasFocus))
            return;
        painter->save();
        painter->setPen(QPen(option->palette.color(QPalette::ButtonText), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(4, 4, -5, -5));
        painter->restore();
    }
};

} // namespace

AdditionalDataDialog::AdditionalDataDialog(orva::SideFileLocations sideFiles, QWidget* parent)
    : QDialog(parent), ui(new Ui::AdditionalDataDialog), sideFiles_(std::move(sideFiles)) {
    ui->setupUi(this);
    setCellCaptions(orva::Wording::Classic);

    // Pixel sizes cannot be given in the layout file; the layout sets only the families and
    // the bold weight, which the children take over from here.
    // Where MS Sans Serif is missing (any Linux desktop), Liberation Sans keeps the texts within
    // the fixed layout; the wider default sans face would cut the longer check box text.
    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                            QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    // A fixed frame with a title and a close box only: no resizing, no maximising, no help.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(692, 466);
    setSizeGripEnabled(false);
    setModal(true);

    // Flat one-pixel borders on the cells and the right-hand boxes; read-only cells on the
    // nearest the palette has to the system's inactive-caption-text colour.
    const QString border = palette().color(QPalette::Dark).name();
    const QString readOnlyBackground = palette().color(QPalette::Disabled, QPalette::WindowText).name();
    // A group's frame starts half a caption line down, and its caption sits in the frame's top
    // line, broken behind the text, a little in from the corner. The children keep their places:
    // the first row of cells lies below the caption.
    setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid %1; padding: 0px 1px; }"
                                 "QLineEdit[readOnly=\"true\"] { background-color: %2; }"
                                 "QComboBox { border: 1px solid %1; padding: 0px 2px; }"
                                 "QGroupBox { border: 2px groove %3; margin-top: 6px; }"
                                 "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                                 " left: 8px; }")
                      .arg(border, readOnlyBackground, palette().color(QPalette::Mid).name()));
    auto* focusStyle = new FocusRectangleStyle;
    focusStyle->setParent(this);
    ui->okButton->setStyle(focusStyle);

    for (QComboBox* box : {ui->addressBox, ui->signatoryBox, ui->positionBox}) {
        setUpHistoryBox(box);
        // The key reaches the box or its line edit, depending on which holds the focus.
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
    }

    // Section Г's group takes the focus when the dialog opens. A group box without a focus
    // policy would hand it on to its first child (cell 70), and the first Tab would then skip it.
    ui->sectionGGroup->setFocusPolicy(Qt::ClickFocus);

    connect(ui->okButton, &QPushButton::clicked, this, &AdditionalDataDialog::accept);
    // Left of OK, its size; not in the layout file, since the first period's dialog has none.
    cancelButton_ = new QPushButton(QStringLiteral("Отказ"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setGeometry(ui->okButton->geometry().translated(-(ui->okButton->width() + 8), 0));
    cancelButton_->setAutoDefault(false);
    cancelButton_->hide();
    connect(cancelButton_, &QPushButton::clicked, this, &AdditionalDataDialog::cancel);
    // Cell 40 is printed with its formula beside it: it follows cell 33 as the user types.
    connect(cell(33), &QLineEdit::textEdited, this, &AdditionalDataDialog::followCoefficient);

    loadMemory();
}

AdditionalDataDialog::~AdditionalDataDialog() {
    // The side files pass over a file that cannot be written; anything else cannot leave a
    // destructor, so it is said on standard error instead of ending the program.
    try {
        writeLastValues();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "orva: %s\n", failure.what());
    }
    delete ui;
}

QComboBox* AdditionalDataDialog::addressBox() const {
    return ui->addressBox;
}
QComboBox* AdditionalDataDialog::signatoryBox() const {
    return ui->signatoryBox;
}
QComboBox* AdditionalDataDialog::positionBox() const {
    return ui->positionBox;
}
QLineEdit* AdditionalDataDialog::dateEdit() const {
    return ui->dateEdit;
}
QCheckBox* AdditionalDataDialog::representCheck() const {
    return ui->representCheck;
}
QCheckBox* AdditionalDataDialog::art92Check() const {
    return ui->art92Check;
}
QPushButton* AdditionalDataDialog::okButton() const {
    return ui->okButton;
}

QLineEdit* AdditionalDataDialog::cell(int cellNumber) const {
    if (!orva::ReturnCells::isCell(cellNumber))
        return nullptr;
    return findChild<QLineEdit*>(QStringLiteral("cell%1").arg(cellNumber, 2, 10, QLatin1Char('0')));
}

void AdditionalDataDialog::setCellCaptions(orva::Wording wording) {
    for (const int cellNumber : orva::kCellNumbers)
        cell(cellNumber)
            ->setToolTip(QStringLiteral("Кл.%1: %2")
                             .arg(QString::fromStdString(orva::cellDigits(cellNumber)),
                                  QString::fromStdString(orva::returnCellCaption(cellNumber, wording))));
}

void AdditionalDataDialog::setPresetCells(const orva::ReturnCells& presets) {
    presets_ = presets;
    presetsGiven_ = true;
    for (const int cellNumber : orva::kCellNumbers)
        cell(cellNumber)->setText(orva::toQString(presets[cellNumber]));
}

orva::ReturnCells AdditionalDataDialog::shownCells() const {
    orva::ReturnCells cells;
    for (const int cellNumber : orva::kCellNumbers)
        cells[cellNumber] = toWin1251(cell(cellNumber)->text());
    return cells;
}

void AdditionalDataDialog::followCoefficient() {
    if (!presetsGiven_)
        return;
    orva::ReturnCells cells = shownCells();
    // Cell 33 as loaded gives the presets again, even where the record's value is no coefficient.
    bool derived = cells[33] == presets_[33];
    if (derived) {
        cells = presets_;
    } else if (const std::optional<std::string> stored = orva::storedCellValue(33, cells[33])) {
        cells[33] = *stored;
        try {
            orva::followCoefficient(presets_, cells);
            derived = true;
        } catch (const orva::Error&) {
            // Said when OK is pressed; until then the cells show nothing rather than stale values.
        }
    }
    for (const orva::ReturnRule& rule : orva::returnRules()) {
        if (!rule.derived)
            continue;
        QLineEdit* box = cell(rule.cell);
        box->setText(derived ? orva::toQString(cells[rule.cell]) : QString());
        markNotDerived(box, !derived);
    }
}

void AdditionalDataDialog::markNotDerived(QLineEdit* box, bool notDerived) {
    if (box->property(kNotDerivedProperty).toBool() == notDerived)
        return;
    box->setProperty(kNotDerivedProperty, notDerived);
    box->setStyleSheet(notDerived ? QStringLiteral("border: 1px solid #c00000;") : QString());
}

bool AdditionalDataDialog::acceptValues() {
    // The layout's own texts are placeholders, not a return to hold the values against.
    if (!presetsGiven_)
        return true;
    const orva::ReturnCells shown = shownCells();
    std::map<int, std::string> typed;
    for (const int cellNumber : orva::kEditableCells)
        if (shown[cellNumber] != presets_[cellNumber])
            typed[cellNumber] = shown[cellNumber];
    // The presets with the record's 33 stand for the dialog as loaded; what is not typed stays.
    orva::ReturnCells cells;
    try {
        cells = orva::applyTypedCells(presets_, typed);
    } catch (const orva::CellRefused& refused) {
        orva::showErrorBox(this, orva::failureText(refused));
        cell(refused.cellNumber())->setFocus(Qt::OtherFocusReason);
        cell(refused.cellNumber())->selectAll();
        return false;
    } catch (const orva::Error& failure) {
        orva::showErrorBox(this, orva::failureText(failure));
        cell(33)->setFocus(Qt::OtherFocusReason);
        return false;
    }
    const std::string date = toWin1251(ui->dateEdit->text());
    if (!orva::isReturnDate(date)) {
        orva::showErrorBox(this, QString::fromStdString(orva::dateRefusal(date)));
        ui->dateEdit->setFocus(Qt::OtherFocusReason);
        ui->dateEdit->selectAll();
        return false;
    }
    for (const auto& [cellNumber, text] : typed)
        cell(cellNumber)->setText(orva::toQString(cells[cellNumber]));
    for (const orva::ReturnRule& rule : orva::returnRules()) {
        if (rule.derived) {
            cell(rule.cell)->setText(orva::toQString(cells[rule.cell]));
            markNotDerived(cell(rule.cell), false);
        }
    }
    if (typed.empty())
        return true;
    const std::vector<std::string> warnings = orva::sumWarnings(cells, presets_);
    if (warnings.empty())
        return true;
    QStringList sentences;
    for (const std::string& warning : warnings)
        sentences << QString::fromStdString(warning) + QLatin1Char('.');
    return orva::confirm(this, sentences.join(QLatin1Char(' ')) + QStringLiteral(" Да запиша ли декларацията така?"),
                         QMessageBox::Yes, QMessageBox::No);
}

void AdditionalDataDialog::closeEvent(QCloseEvent* event) {
    if (!acceptValues()) {
        event->ignore();
        return;
    }
    try {
        rememberFirm();
    } catch (const std::exception& failure) {
        // As the last values: a convenience, said on standard error only.
        std::fprintf(stderr, "orva: %s\n", failure.what());
    }
    QDialog::closeEvent(event);
}

void AdditionalDataDialog::setFirm(const std::string& vatNumber, const std::string& viesAddress) {
    firm_ = vatNumber;
    const orva::FirmAnswers start = orva::startingFirmAnswers(sideFiles_, vatNumber, viesAddress, lastValues_);
    ui->addressBox->setEditText(orva::toQString(start.address));
    ui->positionBox->setEditText(orva::toQString(start.position));
}

void AdditionalDataDialog::rememberFirm() {
    if (!firm_.empty())
        orva::saveFirmAnswers(sideFiles_, firm_,
                              {toWin1251(ui->addressBox->currentText()), toWin1251(ui->positionBox->currentText())});
}

void AdditionalDataDialog::loadMemory() {
    const orva::DialogMemory memory = orva::loadDialogMemory(sideFiles_);
    if (!memory.tooLarge.empty()) // a convenience, as a failed save of the last values: standard error only
        std::fprintf(stderr, "orva: %s\n", memory.tooLarge.c_str());
    fillHistory(ui->addressBox, memory.addresses);
    fillHistory(ui->signatoryBox, memory.signatories);
    fillHistory(ui->positionBox, memory.positions);
    ui->addressBox->setEditText(orva::toQString(memory.address));
    ui->signatoryBox->setEditText(orva::toQString(memory.signatory));
    ui->positionBox->setEditText(orva::toQString(memory.position));
    lastValues_ = {memory.address, memory.position};
}

void AdditionalDataDialog::showEvent(QShowEvent* event) {
    setWindowTitle(pendingCaption_);
    if (!event->spontaneous()) {
        if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        // Section Г's group holds the focus, so the first Tab goes to cell 70.
        ui->sectionGGroup->setFocus(Qt::OtherFocusReason);
    }
    QDialog::showEvent(event);
}

void AdditionalDataDialog::keyPressEvent(QKeyEvent* event) {
    // Without a cancel button, Escape does not close the dialog, only the close box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (!cancelButton_->isHidden())
            cancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool AdditionalDataDialog::eventFilter(QObject* watched, QEvent* event) {
    // With its text selected, a line edit completing inline takes Enter as "accept the
    // completion": it puts the completer's current entry in place of what is shown and swallows
    // the key. Here Enter presses OK at once and every box keeps exactly what it shows.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // The keys the dialog itself takes for its default button: Return, and Enter also from the keypad.
            const Qt::KeyboardModifiers modifiers = key->modifiers();
            if (modifiers == Qt::NoModifier || (key->key() == Qt::Key_Enter && modifiers == Qt::KeypadModifier)) {
                if (ui->okButton->isEnabled())
                    ui->okButton->click();
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

AdditionalDataDialog::Answer& AdditionalDataDialog::nextAnswer() {
    static Answer answer;
    return answer;
}

void AdditionalDataDialog::setNextAnswer(Answer answer) {
    nextAnswer() = std::move(answer);
}

int AdditionalDataDialog::exec() {
    // Taken before it runs: the answer may set the next one.
    if (const Answer answer = std::exchange(nextAnswer(), nullptr))
        answer(*this);
    cancelled_ = false;
    const int result = QDialog::exec();
    if (cancelled_) {
        // Given up: the values to be written at the end are those from before this period.
        ui->addressBox->setEditText(keptTexts_[0]);
        ui->signatoryBox->setEditText(keptTexts_[1]);
        ui->positionBox->setEditText(keptTexts_[2]);
    }
    return result;
}

void AdditionalDataDialog::presentPeriod(const orva::Declaration& declaration, orva::Wording wording, bool cancellable,
                                         const std::string& viesAddress) {
    keptTexts_[0] = ui->addressBox->currentText();
    keptTexts_[1] = ui->signatoryBox->currentText();
    keptTexts_[2] = ui->positionBox->currentText();
    for (const int cellNumber : orva::kCellNumbers)
        cell(cellNumber)->setText(orva::toQString(declaration.cells[cellNumber]));
    setCellCaptions(wording);
    const orva::ReturnAnswers presets = orva::presetAnswers(declaration);
    setPresetCells(presets.cells);
    setFirm(declaration.vatNumber, viesAddress);
    ui->dateEdit->setText(orva::toQString(presets.date));
    setPendingCaption(orva::toQString(declaration.captionText));
    ui->signatoryBox->setCurrentText(orva::toQString(presets.signatory));
    setCancellable(cancellable);
}

orva::ReturnAnswers AdditionalDataDialog::answers() const {
    orva::ReturnAnswers answers;
    answers.address = toWin1251(ui->addressBox->currentText());
    answers.position = toWin1251(ui->positionBox->currentText());
    answers.date = toWin1251(ui->dateEdit->text());
    answers.signatory = toWin1251(ui->signatoryBox->currentText());
    answers.represent = ui->representCheck->isChecked();
    answers.art92 = ui->art92Check->isChecked();
    for (const int cellNumber : orva::kCellNumbers)
        answers.cells[cellNumber] = toWin1251(cell(cellNumber)->text());
    return answers;
}

void AdditionalDataDialog::setCancellable(bool cancellable) {
    cancelButton_->setVisible(cancellable);
}

void AdditionalDataDialog::cancel() {
    cancelled_ = true;
    done(QDialog::Rejected);
}

void AdditionalDataDialog::accept() {
    if (!acceptValues())
        return;
    // The result is OK before anything is written, so a failed write still closes with OK.
    setResult(QDialog::Accepted);
    try {
        orva::DialogMemory memory;
        memory.addresses = historyOf(ui->addressBox);
        memory.signatories = historyOf(ui->signatoryBox);
        memory.positions = historyOf(ui->positionBox);
        addTypedText(ui->addressBox, memory.addresses);
        addTypedText(ui->signatoryBox, memory.signatories);
        addTypedText(ui->positionBox, memory.positions);
        const orva::FirmAnswers answers{toWin1251(ui->addressBox->currentText()),
                                        toWin1251(ui->positionBox->currentText())};
        // Off the window's thread: another user may hold the folder's lock, and the window paints on
        // while the save waits for it (a bounded wait; past it the save fails and says so).
        std::exception_ptr saveFailure;
        std::atomic<bool> saved{false};
        // A std::thread, joined, and a flag looked at from the window's thread: all of the hand-over is
        // visible to the thread sanitizer, which sees neither QThread's wait nor Qt's event queue.
        std::thread saving([&] {
            try {
                orva::saveHistories(sideFiles_, memory);
                if (!firm_.empty())
                    orva::saveFirmAnswers(sideFiles_, firm_, answers);
            } catch (...) {
                saveFailure = std::current_exception();
            }
            saved = true;
        });
        QEventLoop waiting;
        QTimer looking;
        connect(&looking, &QTimer::timeout, &waiting, [&] {
            if (saved)
                waiting.quit();
        });
        looking.start(10);
        if (!saved)
            waiting.exec(QEventLoop::ExcludeUserInputEvents);
        saving.join();
        if (saveFailure)
            std::rethrow_exception(saveFailure);
    } catch (const std::exception& failure) {
        // The standard error box, as for any failure at event level; the dialog still closes.
        orva::showErrorBox(this, orva::failureText(failure));
    }
    done(QDialog::Accepted);
}

void AdditionalDataDialog::writeLastValues() {
    // A failure to write leaves the old file as it was; nothing is reported at program end.
    (void)orva::saveLastValues(sideFiles_, toWin1251(ui->addressBox->currentText()),
                               toWin1251(ui->signatoryBox->currentText()), toWin1251(ui->positionBox->currentText()));
}
