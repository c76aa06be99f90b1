// The program's two routines bound to a front end's window: 按钮1 runs OnGenerateClicked on
// the jobs' view of the window, 按钮2 runs OnCopyClicked on the window itself.
#pragma once

#include "app/copy_action.h"
#include "shorten/shorten_host.h"
#include "shorten/shorten_job.h"

namespace tarnwick {

template <typename Window>
void BindProgramRoutines(Window& window, ShortenHost& host) {
    window.BindCopyClick([&window] { OnCopyClicked(window); });
    window.BindGenerateClick([&host] { OnGenerateClicked(host); });
}

}  // namespace tarnwick
