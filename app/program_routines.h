// The program's two routines bound to a window: 按钮1 runs OnGenerateClicked on the jobs' view
// of the window, 按钮2 runs OnCopyClicked on the window itself.
#pragma once

#include "app/program_window.h"
#include "shorten/shorten_host.h"

namespace tarnwick {

// Both must outlive the bindings.
void BindProgramRoutines(ProgramWindow& window, ShortenHost& host);

}  // namespace tarnwick
