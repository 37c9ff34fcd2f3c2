#pragma once

#include <QDialog>
#include <QString>

#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace Ui {
class TForm2;
}

// The additional-data dialog: the return's 30 cells, the firm's address, the signatory and
// the position (each with a remembered history), the date and the two declarations.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    // `executablePath` names the side files (<exe>.adr, .mol, .dlu, .txt). FormCreate runs here.
    explicit TForm2(const QString& executablePath, QWidget* parent = nullptr);
    ~TForm2() override; // FormDestroy runs here

    // The cell edit of a cell number (1 for K01 ... 82), or nullptr for a non-cell.
    QLineEdit* cell(int cellNumber) const;

    // Cell edits, named as the return's cells.
    QLineEdit *K01, *K11, *K12, *K13, *K14, *K15, *K16, *K17, *K18, *K19;
    QLineEdit *K20, *K21, *K22, *K23, *K24;
    QLineEdit *K30, *K31, *K32, *K33;
    QLineEdit *K40, *K41, *K42, *K43;
    QLineEdit *K50, *K60, *K70, *K71, *K80, *K81, *K82;
    QComboBox *boxADR, *boxMOL, *boxDlu;
    QCheckBox *CheckBox1, *CheckBox2;
    QLineEdit* boxDate;
    QPushButton* Button1;

    // The caption the dialog takes when it is shown.
    QString PendingCaption;

protected:
    void showEvent(QShowEvent* event) override; // FormShow
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void Button1Click();

private:
    void FormCreate();
    void FormDestroy();
    std::string sidePath() const; // the executable's path as the side-file functions take it

    Ui::TForm2* ui;
    QString executablePath_;
};
