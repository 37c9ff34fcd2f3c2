#pragma once
// Helpers of the window's tests: a scripted answerer for its message boxes and its dialog, and a
// small tax period written into a temporary folder.

#include "PeriodBuilder.h"
#include "gui/AdditionalDataDialog.h"
#include "gui/MessageBoxes.h"
#include "text/Encoding.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

// What a modal window looked like when it came.
struct SeenModal {
    QString className;
    QString title;
    QString text;
    QString detailedText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    bool hourglass = false;                                            // the application-wide hourglass was still set
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton; // what Enter would press
};

// Answers the window's message boxes and its additional-data dialog through their seams, in order,
// from a script set before they open: a box takes the next button without opening; the dialog
// runs the next action from its own loop, once shown. Anything unscripted is recorded and
// dismissed (a box with its escape button, the dialog closed), so a test never hangs.
class ModalAnswerer {
public:
    // A button for a message box, or an action on the dialog.
    struct Answer {
        Answer(QMessageBox::StandardButton pressed) : button(pressed) {}
        template <typename Action, typename = std::enable_if_t<std::is_invocable_v<Action, QWidget*>>>
        Answer(Action action) : dialog(std::move(action)) {}
        QMessageBox::StandardButton button = QMessageBox::NoButton;
        std::function<void(QWidget*)> dialog;
    };

    ModalAnswerer() {
        answerNextBox();
        answerNextDialog();
    }
    ~ModalAnswerer() {
        orva::MessageBox::setNextAnswer({});
        AdditionalDataDialog::setNextAnswer({});
    }
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    static Answer press(QMessageBox::StandardButton button) { return Answer(button); }
    static Answer closeWindow() {
        return Answer([](QWidget* widget) { widget->close(); });
    }
    static Answer clickDefault() {
        return Answer([](QWidget* widget) {
            for (QPushButton* button : widget->findChildren<QPushButton*>()) {
                if (button->isDefault()) {
                    button->click();
                    return;
                }
            }
            widget->close();
        });
    }

    void then(Answer answer) { script_.push_back(std::move(answer)); }
    std::vector<SeenModal> seen;
    int unscripted = 0;

private:
    // Each answer sets the one for the box or dialog after it.
    void answerNextBox() {
        orva::MessageBox::setNextAnswer([this](const orva::MessageBoxSeen& box) {
            answerNextBox();
            return answerBox(box);
        });
    }
    void answerNextDialog() {
        AdditionalDataDialog::setNextAnswer([this](AdditionalDataDialog& dialog) {
            answerNextDialog();
            answerDialog(dialog);
        });
    }

    QMessageBox::StandardButton answerBox(const orva::MessageBoxSeen& box) {
        seen.push_back({box.className, box.title, box.text, box.detailedText, box.icon, box.buttons, box.hourglass,
                        box.defaultButton});
        if (!script_.empty() && script_.front().button != QMessageBox::NoButton) {
            const QMessageBox::StandardButton button = script_.front().button;
            script_.pop_front();
            return button;
        }
        ++unscripted;
        // As Escape would: Cancel or No where the box has one, else its only button.
        for (QMessageBox::StandardButton escape : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok})
            if (box.standardButtons.testFlag(escape))
                return escape;
        return QMessageBox::NoButton;
    }

    void answerDialog(AdditionalDataDialog& dialog) {
        std::function<void(QWidget*)> action = [this](QWidget* widget) {
            ++unscripted;
            widget->close();
        };
        if (!script_.empty() && script_.front().dialog) {
            action = std::move(script_.front().dialog);
            script_.pop_front();
        }
        // Queued before the dialog shows, run by its own loop once it is up.
        QPointer<AdditionalDataDialog> target(&dialog);
        QTimer::singleShot(0, &dialog, [this, target, action] {
            if (!target)
                return;
            SeenModal modal;
            modal.className = QString::fromLatin1(target->metaObject()->className());
            modal.title = target->windowTitle();
            modal.hourglass = QApplication::overrideCursor() != nullptr;
            seen.push_back(modal);
            action(target.data());
        });
    }

    std::deque<Answer> script_;
};

// Opens another period in `window` (any MainWindow) and runs the event loop until its load has ended,
// as the user waits for it: whether it was shown.
template <typename Window> bool openAndWait(Window& window, const std::string& folder) {
    QSignalSpy ended(&window, &Window::periodOpened);
    if (!window.openPeriod(folder))
        return false;
    if (ended.isEmpty() && !ended.wait(60000))
        return false;
    return ended.front().front().toBool();
}

// A small tax period in MIK bytes, from the shared period builder: the return record, purchases and sales.
namespace period {

using orva::fixture::fit;
inline std::string padRight(const std::string& text, std::size_t width) {
    return fit(text, width);
}
inline std::string padLeft(const std::string& text, std::size_t width) {
    return orva::fixture::rightAligned(text, width);
}

// The test's Cyrillic texts in Windows-1251, as the documents show them.
inline const std::string kFirm = orva::utf8ToWin1251("ТЕСТ ЕООД");
inline const std::string kSignatory = orva::utf8ToWin1251("Иван Петров");

struct Cells {
    std::string k20 = "200.00";
    std::string k40 = "50.50";
};

// Writes deklar.txt, pokupki.txt and prodagbi.txt (CR LF, MIK) into `folder`: every cell 1.00
// but 20 and 40, and records of 10.00 (purchases) and 2.50 (sales) in every column.
inline void write(const std::string& folder, int purchases, int sales, const Cells& cells = {}) {
    namespace fixture = orva::fixture;
    fixture::ReturnRecord record;
    record.firmName = "ТЕСТ ЕООД";
    record.signatory = "  Иван Петров  ";
    record.field5 = "field5";
    record.field6 = "field6";
    for (const int cell : fixture::kRecordCells)
        record.cells[cell] = "1.00";
    record.cells[20] = cells.k20;
    record.cells[40] = cells.k40;
    orva::writeLinesFile(orva::joinPath(folder, "deklar.txt"), {fixture::returnRecord(record)});

    const auto journal = [&](const char* name, int count, std::size_t amountCount, const char* amount) {
        std::vector<std::string> lines;
        for (int number = 1; number <= count; ++number) {
            fixture::RecordIdentity identity;
            identity.ordinal.clear();
            identity.documentNumber = "000000" + std::to_string(number);
            identity.date = "01/10/2026";
            identity.counterpartyVat = "BG987654321";
            identity.counterpartyName = "ДОСТАВЧИК АД";
            identity.goods = "goods";
            lines.push_back(fixture::journalRecord(identity, std::vector<std::string>(amountCount, amount)));
        }
        orva::writeLinesFile(orva::joinPath(folder, name), lines);
    };
    journal("pokupki.txt", purchases, fixture::kPurchaseAmounts, "10.00");
    journal("prodagbi.txt", sales, fixture::kSaleAmounts, "2.50");
}

} // namespace period
