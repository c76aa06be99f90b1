// The program's own jobs: the real WebRequest and threads of their own. Kept apart so that code
// driving ShortenJobs through its seams links without the network layer.
#include <utility>

#include "shorten/shorten_job.h"
#include "shorten/worker_threads.h"
#include "web/web_access.h"

namespace tarnwick {

namespace {

// Each click's job on a thread of its own beside the others, a parked one when there is one.
bool StartOnWorkerThread(std::function<void()> routine) {
    return ProgramWorkerThreads().Start(std::move(routine));
}

}  // namespace

ShortenJobs::ShortenJobs()
    : ShortenJobs(WebRequestFunction(&WebRequest), ThreadStarter(&StartOnWorkerThread)) {}

ShortenJobs& ProgramShortenJobs() {
    static ShortenJobs jobs;
    return jobs;
}

void OnGenerateClicked(ShortenHost& host) {
    // On the GUI thread before the first worker runs, and at the first click rather than at
    // start: a window that is only opened neither waits for the HTTP client nor holds it.
    PrepareWebAccess();
    ProgramShortenJobs().OnGenerateClicked(host);
}

}  // namespace tarnwick
