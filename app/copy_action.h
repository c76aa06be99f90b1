// The Copy button's routine and the clipboard beneath it.
#pragma once

#include "text/values.h"

namespace tarnwick {

class MainWindow;

// Puts the text on the system clipboard (on X11 the CLIPBOARD selection); false when there is
// no clipboard to put it on.
bool ClipboardSetText(const Text& text);

// The click of 按钮2: 编辑框2 goes to the clipboard, whatever it holds, and the status line
// says so; the clipboard's answer is not consulted.
void OnCopyClicked(MainWindow& window);

}  // namespace tarnwick
