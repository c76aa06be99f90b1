#include "app/program_routines.h"

#include "app/copy_action.h"
#include "shorten/shorten_job.h"

namespace tarnwick {

void BindProgramRoutines(ProgramWindow& window, ShortenHost& host) {
    window.BindCopyClick([&window] { OnCopyClicked(window); });
    window.BindGenerateClick([&host] { OnGenerateClicked(host); });
}

}  // namespace tarnwick
