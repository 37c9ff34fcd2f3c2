#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

class QWidget;

namespace orva {

// The application title: every message box, the task-bar caption and every print job carry it.
inline const char* const kApplicationTitle = "ОРВА";

// Plain message box: the application title, the message, one "OK", no icon. A `detail` (what
// exactly failed) goes under the box's "Подробности..." button and to standard error as
// "orva: <detail>".
void showPlainMessage(QWidget* parent, const QString& text, const QString& detail = QString());

// Standard error box: the application title, the failure's message, the error icon, one "OK";
// a `detail` as for the plain box.
void showErrorBox(QWidget* parent, const QString& text, const QString& detail = QString());

// The box of a period that cannot be read: the plain box with a second button, "Проверка", that asks
// for the check of the folder instead of the documents. True when that was the answer.
bool showReadErrorAskingCheck(QWidget* parent, const QString& text, const QString& detail);

// Confirmation box titled "Потвърждение" with the question icon and the given buttons (`yes` is the
// default, or `no` when Enter must not do what cannot be taken back); true when the answer was `yes`.
enum class DefaultAnswer { Yes, No };
bool confirm(QWidget* parent, const QString& text, QMessageBox::StandardButton yes, QMessageBox::StandardButton no,
             DefaultAnswer defaultAnswer = DefaultAnswer::Yes);

// The box shown when the program cannot start (its font file cannot be written): titled
// "Application Error", the error icon, one "OK".
void showApplicationError(const QString& text);

// What a message box is about to show.
struct MessageBoxSeen {
    QString className;
    QString title;
    QString text;
    QString detailedText; // under "Show Details...", empty when the box has none
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons; // the answers as labelled, in order ("Show Details..." is none)
    QMessageBox::StandardButtons standardButtons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool hourglass = false; // the application-wide wait cursor was set
};

// Where every box above opens. Tests answer the next box through setNextAnswer: it is built,
// handed to the answer and answered with the button the answer returns, without opening, so no
// test waits for a modal window. The program sets no answer.
class MessageBox {
public:
    using Answer = std::function<QMessageBox::StandardButton(const MessageBoxSeen&)>;

    // The next box is answered by `answer` (once; an answer may set the one after it).
    static void setNextAnswer(Answer answer);

    // Runs `box` modal, or hands it to the answer set for it. Returns the button pressed.
    static int exec(QMessageBox& box);

private:
    static Answer& nextAnswer();
};

// The message of a failure for a box: every failure's message is UTF-8.
QString failureText(const std::exception& failure);
QString failureText(const char* message);

} // namespace orva
