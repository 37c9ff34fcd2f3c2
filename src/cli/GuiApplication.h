#pragma once

namespace orva::cli {

// The printer and PDF need a GUI application; without a display it runs offscreen, with the
// document font registered. It lives until the process ends.
void ensureGuiApplication();

} // namespace orva::cli
