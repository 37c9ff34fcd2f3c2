#pragma once

#include "declaration/ReturnCells.h"
#include "period/Period.h"
#include "sidefiles/SideFileLocations.h"
#include "sidefiles/SideFiles.h"
#include "text/Wording.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace Ui {
class AdditionalDataDialog;
}

// The additional-data dialog: the return's 30 cells, the firm's address, the signatory and
// the position (each with a remembered history), the date and the two declarations.
class AdditionalDataDialog : public QDialog {
    Q_OBJECT

public:
    // The remembered values are kept in `sideFiles`; they are read here.
    explicit AdditionalDataDialog(orva::SideFileLocations sideFiles, QWidget* parent = nullptr);
    ~AdditionalDataDialog() override; // writes the last values

    // The cell edit of a cell number (1 for cell 01 ... 82; objectName "cell01" ...), or nullptr
    // for a non-cell.
    QLineEdit* cell(int cellNumber) const;
    // Each cell's tooltip, "Кл.NN: <caption>": the caption printed beside its box on the return
    // form in `wording`. A new dialog has the classic ones.
    void setCellCaptions(orva::Wording wording);

    // Fills every cell from `presets` (the record's cells, 50 and 60 derived) and keeps them: the
    // cells the user changes are checked against them on OK, and cells 40, 50 and 60 return to
    // them when cell 33 does. Until then no value is checked.
    void setPresetCells(const orva::ReturnCells& presets);

    // The firm the answers are for: its last address and position; for a firm never seen, the
    // address of its VIES.TXT (`viesAddress`), else the last values only while no firm is kept,
    // else blanks (sidefiles/SideFiles.h). OK and the close box keep the answers given for it.
    void setFirm(const std::string& vatNumber, const std::string& viesAddress = {});

    // Presents the period of `declaration`: its cells with the presets derived from them, the cells'
    // captions in `wording`, the firm, the date, the signatory and the caption. What the history
    // boxes hold now comes back should this exec be cancelled.
    void presentPeriod(const orva::Declaration& declaration, orva::Wording wording, bool cancellable,
                       const std::string& viesAddress = {});
    // The answers as the dialog holds them: read after an exec that was not cancelled.
    orva::ReturnAnswers answers() const;

    QComboBox* addressBox() const;
    QComboBox* signatoryBox() const;
    QComboBox* positionBox() const;
    QLineEdit* dateEdit() const;
    QCheckBox* representCheck() const;
    QCheckBox* art92Check() const;
    QPushButton* okButton() const;
    // "Отказ", shown only while the dialog can be cancelled.
    QPushButton* cancelButton() const { return cancelButton_; }

    // Another period's dialog can be cancelled (its "Отказ" button or Escape): nothing is written
    // and the window keeps the shown period. The first period's cannot, as the program's flow has
    // always been; its close box leads on like OK in both cases.
    void setCancellable(bool cancellable);
    bool wasCancelled() const { return cancelled_; } // of the last exec

    // The caption the dialog takes when it is shown.
    void setPendingCaption(const QString& caption) { pendingCaption_ = caption; }
    const QString& pendingCaption() const { return pendingCaption_; }

    // How tests answer the dialog: the answer is called with the dialog as it is about to run
    // modal, before it shows, and may queue the user's actions for its loop. The program sets none.
    using Answer = std::function<void(AdditionalDataDialog&)>;
    // The next exec is answered by `answer` (once; an answer may set the one after it).
    static void setNextAnswer(Answer answer);

protected:
    void showEvent(QShowEvent* event) override; // runLoadSequence
    // The close box leads on like OK, so it checks the typed values as OK does.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Enter in a history box presses OK before the box's inline completion can take it.
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // Runs the dialog modal; an answer set with setNextAnswer is called first.
    int exec() override;
    // OK: the histories are written, and the dialog closes with OK even when writing fails.
    void accept() override;
    // "Отказ" of a cancellable dialog: closes it with nothing written.
    void cancel();

private:
    void loadMemory();
    // Checks the changed editable cells and the date (period/Answers.h), writes the cells as
    // stored, and asks about sums the return cannot hold. False, with the focus in the cell or
    // the date at fault, keeps the dialog open.
    bool acceptValues();
    // Cells 40, 50 and 60 as cell 33 now gives them; blank and marked (a red frame, the property
    // "notDerived") while 33 or a cell they need gives no value, never the values of before.
    void followCoefficient();
    static void markNotDerived(QLineEdit* box, bool notDerived);
    orva::ReturnCells shownCells() const;
    void rememberFirm(); // throws FileError
    void writeLastValues();
    static Answer& nextAnswer();

    Ui::AdditionalDataDialog* ui;
    orva::SideFileLocations sideFiles_; // where the histories and last values are kept
    QString pendingCaption_;
    orva::ReturnCells presets_;
    std::string firm_;          // the VAT number of the return, empty before the load
    bool presetsGiven_ = false; // the values are checked only against a return the load gave
    QPushButton* cancelButton_ = nullptr;
    bool cancelled_ = false;
    // The history boxes' texts before the period was presented: address, signatory, position.
    QString keptTexts_[3];
    orva::FirmAnswers lastValues_; // address and position as the last values file held them
};
