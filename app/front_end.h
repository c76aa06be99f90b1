// What each front end (a folder per toolkit) gives the program's shared start and routines.
#pragma once

#include "text/values.h"

namespace tarnwick {

// The window as the program's routines see it; GUI thread only.
class ProgramWindow {
  public:
    virtual Text ShortLink() const = 0;
    virtual void SetShortLink(const Text& link) = 0;
    virtual void SetStatus(const Text& caption) = 0;
    // 1 to 3 after the selected radio button, 0 when none is selected.
    virtual int SelectedProvider() const = 0;

  protected:
    ~ProgramWindow() = default;
};

// GUI thread: creates MainWindow with all its controls, not yet shown; false when it cannot be.
bool CreateMainWindow();
// GUI thread: binds 按钮1 to OnGenerateClicked and 按钮2 to OnCopyClicked, shows the window
// and activates it.
void ShowMainWindow();
// GUI thread: dispatches events until the window has closed, then lets the window go: what
// workers post from then on finds it gone.
void RunMessageLoop();

// Puts the text on the system clipboard; false when there is no clipboard to put it on.
bool ClipboardSetText(const Text& text);

// From a thread that is not the GUI thread: asks the GUI thread to end the program with
// exitCode, and returns when it cannot be asked.
void HandExitToGuiThread(int exitCode);

}  // namespace tarnwick
