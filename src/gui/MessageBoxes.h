#pragma once

#include <QMessageBox>
#include <QString>

#include <exception>

class QWidget;

namespace orva {

// The application title: every message box, the task-bar caption and every print job carry it.
inline const char* const kApplicationTitle = "ОРВА";

// Plain message box: the application title, the message, one "OK", no icon.
void showPlainMessage(QWidget* parent, const QString& text);

// Standard error box: the application title, the failure's message, the error icon, one "OK".
void showErrorBox(QWidget* parent, const QString& text);

// Confirmation box titled "Confirm" with the question icon and the given buttons (the first
// one is the default); true when the answer was `yes`.
bool confirm(QWidget* parent, const QString& text, QMessageBox::StandardButton yes, QMessageBox::StandardButton no);

// The message of a failure for a box: every failure's message is UTF-8.
QString failureText(const std::exception& failure);
QString failureText(const char* message);

} // namespace orva
