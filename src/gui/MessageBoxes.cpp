#include "gui/MessageBoxes.h"

#include "render/QtText.h"
#include "text/Encoding.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>

#include <cstdio>
#include <utility>

namespace orva {

MessageBox::Answer& MessageBox::nextAnswer() {
    static Answer answer;
    return answer;
}

void MessageBox::setNextAnswer(Answer answer) {
    nextAnswer() = std::move(answer);
}

int MessageBox::exec(QMessageBox& box) {
    // Taken before it runs: the answer may set the next one.
    const Answer answer = std::exchange(nextAnswer(), nullptr);
    if (!answer)
        return box.exec();
    MessageBoxSeen seen;
    seen.className = QString::fromLatin1(box.metaObject()->className());
    seen.title = box.windowTitle();
    seen.text = box.text();
    seen.detailedText = box.detailedText();
    seen.icon = box.icon();
    // The answers only: "Show Details..." is no answer, the detail is seen as detailedText.
    for (QAbstractButton* button : box.buttons())
        if (box.standardButton(button) != QMessageBox::NoButton)
            seen.buttons << button->text();
    seen.standardButtons = box.standardButtons();
    seen.defaultButton = box.standardButton(box.defaultButton());
    seen.hourglass = QApplication::overrideCursor() != nullptr;
    return answer(seen);
}

namespace {

int runBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
           const QString& detail = QString(), const std::function<void(QMessageBox&)>& prepare = {}) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    if (prepare)
        prepare(box);
    if (!detail.isEmpty()) {
        // Also where a terminal or a desktop session's log keeps it, since the box is gone with OK.
        std::fprintf(stderr, "orva: %s\n", detail.toUtf8().constData());
        std::fflush(stderr);
        box.setDetailedText(detail);
    }
    // A box shown before the main window exists is never the last window of the run.
    box.setAttribute(Qt::WA_QuitOnClose, false);
    return MessageBox::exec(box);
}

} // namespace

void showApplicationError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"), text, QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    MessageBox::exec(box);
}

void showPlainMessage(QWidget* parent, const QString& text, const QString& detail) {
    runBox(parent, QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, QMessageBox::Ok,
           detail);
}

void showErrorBox(QWidget* parent, const QString& text, const QString& detail) {
    runBox(parent, QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, QMessageBox::Ok,
           detail);
}

bool showReadErrorAskingCheck(QWidget* parent, const QString& text, const QString& detail) {
    // A standard button renamed, so that the answer is one of the box's standard answers.
    return runBox(parent, QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text,
                  QMessageBox::Ok | QMessageBox::Open, QMessageBox::Ok, detail, [](QMessageBox& box) {
                      box.button(QMessageBox::Open)->setText(QStringLiteral("Проверка"));
                  }) == QMessageBox::Open;
}

bool confirm(QWidget* parent, const QString& text, QMessageBox::StandardButton yes, QMessageBox::StandardButton no,
             DefaultAnswer defaultAnswer) {
    return runBox(parent, QMessageBox::Question, QStringLiteral("Потвърждение"), text, yes | no,
                  defaultAnswer == DefaultAnswer::Yes ? yes : no) == yes;
}

QString failureText(const char* message) {
    // Every failure's message is UTF-8; bytes of a file in it are shown, never acted on.
    return QString::fromUtf8(orva::shownText(message).c_str());
}

QString failureText(const std::exception& failure) {
    return failureText(failure.what());
}

} // namespace orva
