// The normal end's hand-over of the clipboard to the desktop's clipboard manager.
#pragma once

namespace tarnwick {

// GUI thread, after the window has gone and before the exit handlers. On X11, when the program
// owns the clipboard and a clipboard manager runs, asks it to take a copy (SAVE_TARGETS) and
// serves its requests until it answers or a few seconds have passed; otherwise returns at once.
void HandClipboardToManager();

}  // namespace tarnwick
