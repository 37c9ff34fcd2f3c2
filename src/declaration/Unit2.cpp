#include "declaration/Unit2.h"

#include "declaration/ReturnCells.h"
#include "declaration/SideFiles.h"
#include "shell/MessageBoxes.h"
#include "shell/QtText.h"

#include "ui_TForm2.h"

#include <QCompleter>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>

#include <string>
#include <vector>

namespace {

// The item-data role that keeps a history entry's bytes exactly as its file held them, so that
// rewriting a history never alters an entry through a round trip over Unicode.
constexpr int kHistoryBytesRole = Qt::UserRole + 1;

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
}

} // namespace

TForm2::TForm2(const QString& executablePath, QWidget* parent)
    : QDialog(parent), ui(new Ui::TForm2), executablePath_(executablePath) {
    ui->setupUi(this);

    K01 = ui->K01;
    K11 = ui->K11;
    K12 = ui->K12;
    K13 = ui->K13;
    K14 = ui->K14;
    K15 = ui->K15;
    K16 = ui->K16;
    K17 = ui->K17;
    K18 = ui->K18;
    K19 = ui->K19;
    K20 = ui->K20;
    K21 = ui->K21;
    K22 = ui->K22;
    K23 = ui->K23;
    K24 = ui->K24;
    K30 = ui->K30;
    K31 = ui->K31;
    K32 = ui->K32;
    K33 = ui->K33;
    K40 = ui->K40;
    K41 = ui->K41;
    K42 = ui->K42;
    K43 = ui->K43;
    K50 = ui->K50;
    K60 = ui->K60;
    K70 = ui->K70;
    K71 = ui->K71;
    K80 = ui->K80;
    K81 = ui->K81;
    K82 = ui->K82;
    boxADR = ui->boxADR;
    boxMOL = ui->boxMOL;
    boxDlu = ui->boxDlu;
    CheckBox1 = ui->CheckBox1;
    CheckBox2 = ui->CheckBox2;
    boxDate = ui->boxDate;
    Button1 = ui->Button1;

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
    setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid %1; padding: 0px 1px; }"
                                 "QLineEdit[readOnly=\"true\"] { background-color: %2; }"
                                 "QComboBox { border: 1px solid %1; padding: 0px 2px; }")
                      .arg(border, readOnlyBackground));

    for (QComboBox* box : {boxADR, boxMOL, boxDlu})
        setUpHistoryBox(box);

    // Section Г's group takes the focus when the dialog opens. A group box without a focus
    // policy would hand it on to its first child (cell 70), and the first Tab would then skip it.
    ui->GroupBox5->setFocusPolicy(Qt::ClickFocus);

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);

    FormCreate();
}

TForm2::~TForm2() {
    FormDestroy();
    delete ui;
}

QLineEdit* TForm2::cell(int cellNumber) const {
    if (!orva::ReturnCells::isCell(cellNumber))
        return nullptr;
    return findChild<QLineEdit*>(QString::fromStdString(orva::ReturnCells::name(cellNumber)));
}

void TForm2::FormCreate() {
    const orva::DialogMemory memory = orva::loadDialogMemory(sidePath());
    fillHistory(boxADR, memory.addresses);
    fillHistory(boxMOL, memory.signatories);
    fillHistory(boxDlu, memory.positions);
    boxADR->setEditText(orva::toQString(memory.address));
    boxMOL->setEditText(orva::toQString(memory.signatory));
    boxDlu->setEditText(orva::toQString(memory.position));
}

void TForm2::showEvent(QShowEvent* event) {
    // FormShow
    setWindowTitle(PendingCaption);
    if (!event->spontaneous()) {
        if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        // Section Г's group holds the focus, so the first Tab goes to cell 70.
        ui->GroupBox5->setFocus(Qt::OtherFocusReason);
    }
    QDialog::showEvent(event);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    // There is no cancel button: Escape does not close the dialog, only the close box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm2::Button1Click() {
    // The result is OK before anything is written, so a failed write still closes with OK.
    setResult(QDialog::Accepted);
    try {
        orva::DialogMemory memory;
        memory.addresses = historyOf(boxADR);
        memory.signatories = historyOf(boxMOL);
        memory.positions = historyOf(boxDlu);
        addTypedText(boxADR, memory.addresses);
        addTypedText(boxMOL, memory.signatories);
        addTypedText(boxDlu, memory.positions);
        orva::saveHistories(sidePath(), memory);
    } catch (const std::exception& failure) {
        // The standard error box, as for any failure at event level; the dialog still closes.
        orva::showErrorBox(this, orva::failureText(failure));
    }
    done(QDialog::Accepted);
}

void TForm2::FormDestroy() {
    // A failure leaves the old file as it was; nothing is reported at program end.
    (void)orva::saveLastValues(sidePath(), toWin1251(boxADR->currentText()), toWin1251(boxMOL->currentText()),
                               toWin1251(boxDlu->currentText()));
}

std::string TForm2::sidePath() const {
    return QFile::encodeName(executablePath_).toStdString();
}
