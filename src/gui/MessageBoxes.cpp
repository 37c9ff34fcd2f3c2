#include "gui/MessageBoxes.h"

#include "render/QtText.h"

namespace orva {

namespace {

int runBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    // A box shown before the main window exists is never the last window of the run.
    box.setAttribute(Qt::WA_QuitOnClose, false);
    return box.exec();
}

} // namespace

void showPlainMessage(QWidget* parent, const QString& text) {
    runBox(parent, QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, QMessageBox::Ok);
}

void showErrorBox(QWidget* parent, const QString& text) {
    runBox(parent, QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, QMessageBox::Ok);
}

bool confirm(QWidget* parent, const QString& text, QMessageBox::StandardButton yes, QMessageBox::StandardButton no) {
    return runBox(parent, QMessageBox::Question, QStringLiteral("Confirm"), text, yes | no, yes) == yes;
}

QString failureText(const char* message) {
    // Every failure's message is UTF-8.
    return QString::fromUtf8(message);
}

QString failureText(const std::exception& failure) {
    return failureText(failure.what());
}

} // namespace orva
