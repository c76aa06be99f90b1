#include "app/program.h"

#include "app/fatal_error.h"
#include "app/fault_points.h"
#include "app/front_end.h"
#include "app/runtime.h"
#include "shorten/shorten_job.h"
#include "text/runtime_error.h"

namespace tarnwick {

namespace {

// The program's own start-up routine: it has nothing to do.
int RunStartupRoutine() {
    return 0;
}

void LoadWindow() {
    bool created = CreateMainWindow();
#ifdef TARNWICK_FAULT_INJECTION
    created = created && !fault::WindowCreationFails();
#endif
    if (!created) {
        ReportRuntimeError(0, kLoadWindowFailed);
    }
    ShowMainWindow();
}

}  // namespace

void FreeJobTexts() {
#ifdef TARNWICK_FAULT_INJECTION
    fault::NoteExitHandlerRun();
#endif
    ProgramShortenJobs().FreeJobTexts();
}

int StartProgram() {
    InitRuntime();
    RegisterExitHandler(&FreeJobTexts);
    RunStartupRoutine();
    LoadWindow();
    RunMessageLoop();
    return 0;
}

}  // namespace tarnwick
