#pragma once
// Helpers of the shell's GUI tests: a scripted answerer for modal boxes and dialogs, and a small
// tax period written into a temporary folder.

#include "PeriodBuilder.h"
#include "text/Encoding.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

// What a modal window looked like when it appeared.
struct SeenModal {
    QString className;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    bool hourglass = false; // the application-wide hourglass was still set
};

// Answers modal windows as they appear, in order, from a script; anything unscripted is
// recorded and dismissed (Escape-like), so a test never hangs.
class ModalAnswerer : public QObject {
public:
    using Answer = std::function<void(QWidget*)>;

    ModalAnswerer() {
        connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
        timer_.start(10);
    }

    static Answer press(QMessageBox::StandardButton button) {
        return [button](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            QAbstractButton* target = box ? box->button(button) : nullptr;
            if (target)
                target->click();
            else
                widget->close();
        };
    }
    static Answer closeWindow() {
        return [](QWidget* widget) { widget->close(); };
    }
    static Answer clickDefault() {
        return [](QWidget* widget) {
            for (QPushButton* button : widget->findChildren<QPushButton*>()) {
                if (button->isDefault()) {
                    button->click();
                    return;
                }
            }
            widget->close();
        };
    }

    void then(Answer answer) { script_.push_back(std::move(answer)); }
    std::vector<SeenModal> seen;
    int unscripted = 0;

private:
    void poll() {
        QWidget* widget = QApplication::activeModalWidget();
        if (widget == nullptr || widget == current_.data() || !widget->isVisible())
            return;
        current_ = widget;
        SeenModal modal;
        modal.className = QString::fromLatin1(widget->metaObject()->className());
        modal.title = widget->windowTitle();
        modal.hourglass = QApplication::overrideCursor() != nullptr;
        if (auto* box = qobject_cast<QMessageBox*>(widget)) {
            modal.text = box->text();
            modal.icon = box->icon();
            for (QAbstractButton* button : box->buttons())
                modal.buttons << button->text();
        }
        seen.push_back(modal);
        Answer answer;
        if (!script_.empty()) {
            answer = std::move(script_.front());
            script_.pop_front();
        } else {
            ++unscripted;
            answer = closeWindow();
        }
        // Answered from the event loop, not from inside this timer slot.
        QPointer<QWidget> target(widget);
        QTimer::singleShot(0, widget, [target, answer] {
            if (target)
                answer(target.data());
        });
    }

    QTimer timer_;
    QPointer<QWidget> current_;
    std::deque<Answer> script_;
};

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
