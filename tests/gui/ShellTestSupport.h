#pragma once
// Helpers of the shell's GUI tests: a scripted answerer for modal boxes and dialogs, and a small
// tax period written into a temporary folder.

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

// A small tax period in MIK bytes: the return record, purchases and sales.
namespace period {

// Windows-1251 to MIK for the Cyrillic letters (the reverse of the program's conversion).
inline std::string toMik(const std::string& win1251) {
    std::string mik = win1251;
    for (char& byte : mik) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0xC0)
            byte = static_cast<char>(value - 0x40);
    }
    return mik;
}

inline std::string padRight(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

inline std::string padLeft(const std::string& text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// Windows-1251 bytes of the test's Cyrillic texts, written out so the source stays readable.
inline const std::string kFirm = "\xD2\xC5\xD1\xD2 \xC5\xCE\xCE\xC4";                     // ТЕСТ ЕООД
inline const std::string kSignatory = "\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2";        // Иван Петров
inline const std::string kCounterparty = "\xC4\xCE\xD1\xD2\xC0\xC2\xD7\xC8\xCA \xC0\xC4"; // ДОСТАВЧИК АД

struct Cells {
    std::string k20 = "200.00";
    std::string k40 = "50.50";
};

// The 590-character record (Windows-1251 texts, converted to MIK when written).
inline std::string declarationRecord(const Cells& cells = {}) {
    std::string record;
    record += padRight("BG123456789", 15);
    record += padRight(kFirm, 50);
    record += "202610";
    record += padRight("  " + kSignatory + "  ", 50);
    record += padRight("field5", 15);
    record += padRight("field6", 15);
    // fields 7 to 36: cells 01, 20, 11, 21, 12, 22, 13, 23, 14, 24, 15..19, 30, 31, 41, 32, 42, 43, 33, 40, 50..82
    for (int field = 7; field <= 36; ++field) {
        std::string value = "1.00";
        if (field == 8)
            value = cells.k20;
        if (field == 29)
            value = cells.k40;
        record += padLeft(value, field == 28 ? 4 : 15);
    }
    return record;
}

inline std::string amounts(std::size_t count, const std::string& value) {
    std::string text;
    for (std::size_t index = 0; index < count; ++index)
        text += padLeft(value, 15);
    return text;
}

// Fields 1 to 10 (167 characters) of a journal record.
inline std::string recordHead(int number) {
    return padRight("BG123456789", 15) + "202610" + "0001" + padRight("", 15) + "01" +
           padRight("000000" + std::to_string(number), 20) + "01/10/2026" + padRight("BG987654321", 15) +
           padRight(kCounterparty, 50) + padRight("goods", 30);
}

inline std::string purchaseRecord(int number) {
    return recordHead(number) + amounts(7, "10.00");
}
inline std::string saleRecord(int number) {
    return recordHead(number) + amounts(17, "2.50");
}

// Writes deklar.txt, pokupki.txt and prodagbi.txt (CR LF, MIK) into `folder`.
inline void write(const std::string& folder, int purchases, int sales, const Cells& cells = {}) {
    orva::writeLinesFile(orva::joinPath(folder, "deklar.txt"), {toMik(declarationRecord(cells))});
    std::vector<std::string> lines;
    for (int number = 1; number <= purchases; ++number)
        lines.push_back(toMik(purchaseRecord(number)));
    orva::writeLinesFile(orva::joinPath(folder, "pokupki.txt"), lines);
    lines.clear();
    for (int number = 1; number <= sales; ++number)
        lines.push_back(toMik(saleRecord(number)));
    orva::writeLinesFile(orva::joinPath(folder, "prodagbi.txt"), lines);
}

} // namespace period
