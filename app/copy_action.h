// The Copy button's routine.
#pragma once

namespace tarnwick {

class ProgramWindow;

// The click of 按钮2: 编辑框2 goes to the clipboard, whatever it holds, and the status line
// says so; the clipboard's answer is not consulted.
void OnCopyClicked(ProgramWindow& window);

}  // namespace tarnwick
