#pragma once

#include "text/Encoding.h"

#include <QString>

#include <string>

namespace orva {

// The core's Windows-1251 texts meet Qt only at the boxes, the dialog and the printer.
inline QString toQString(const std::string& win1251) {
    return QString::fromStdU16String(win1251ToUtf16(win1251));
}

inline std::string toWin1251(const QString& text) {
    return utf16ToWin1251(text.toStdU16String());
}

} // namespace orva
