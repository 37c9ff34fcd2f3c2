#pragma once

#include <QCoreApplication>
#include <QMainWindow>
#include <QPrinterInfo>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class DocumentView;
class QAction;
class QMenu;
class QPlainTextEdit;
class QPrinter;
class QTabWidget;
class TForm2;

namespace Ui {
class TForm1;
}

// The main window: the four documents of one tax period on tabs, the fields the document
// builders share, and the print command.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // `dataFolder` holds deklar.txt, pokupki.txt and prodagbi.txt. `executablePath` names the
    // files written beside the program. `printer` stands for the system's default printer
    // (tests pass a null QPrinterInfo for "no printer"). FormCreate runs here.
    explicit TForm1(std::string dataFolder, const QString& executablePath = QCoreApplication::applicationFilePath(),
                    std::optional<QPrinterInfo> printer = std::nullopt, QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls.
    QTabWidget* PageControl1;
    QWidget *TabSheet1, *TabSheet2, *TabSheet3, *TabSheet4, *TabSheet5;
    DocumentView *RichEdit0, *RichEdit1, *RichEdit2, *RichEdit3;
    QPlainTextEdit* RichEdit4;
    QMenu* PopupMenu1;
    QAction* N1;

    // Shared by the document builders; texts are Windows-1251.
    int LinesPerPage = 0;
    std::string CaptionText;
    std::string PeriodText;
    std::string FirmName;
    std::string SignatoryName;
    std::string FirmAddress;
    std::string VatNumber;
    std::string IdNumber;
    std::string RepresentMark;
    std::string Art92Mark;
    std::string ReturnDate;
    std::string PositionText;

    // The document builders. Each fills its own box and the fields; failures are thrown.
    void LoadDeclaration();
    void BuildPurchasesJournal();
    void BuildSalesJournal();
    void BuildReturnForm();

    // The print command: asks, prints the focused document, reports completion.
    void N1Click();

    // The additional-data dialog, once the show sequence has created it.
    TForm2* Form2() const { return form2_.get(); }
    const std::string& dataFolder() const { return dataFolder_; }
    // The application's printer, or nullptr when there was no usable printer at creation.
    QPrinter* printer() const { return printer_.get(); }
    // Replaces the application's printer (tests print into a PDF file through it).
    void usePrinter(std::unique_ptr<QPrinter> printer);

    // Whether the guarded load failed (the program then ends), and what failed, for the
    // command line and for tests; the user sees only the read-error message.
    bool loadFailed() const { return loadFailed_; }
    const QString& lastLoadError() const { return lastLoadError_; }

    void setVisible(bool visible) override;

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormActivate();
    void RichEdit1MouseUp();
    void finishShow(); // steps 3 to 11 of the show sequence
    void printBox(const DocumentView& box, int pointSize);
    bool hasBoxFocus(const QWidget* box) const;
    QWidget* boxParent();

    Ui::TForm1* ui;
    std::string dataFolder_;
    std::string executablePath_;
    std::optional<QPrinterInfo> printerInfo_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<TForm2> form2_;
    bool shown_ = false;
    bool loadFailed_ = false;
    bool printQueued_ = false;
    QString lastLoadError_;
};
