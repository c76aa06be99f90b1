// The program's own jobs: the real WebRequest and threads of their own. Kept apart so that code
// driving ShortenJobs through its seams links without the network layer.
#include <utility>

#include "shorten/shorten_job.h"
#include "shorten/worker_threads.h"

namespace tarnwick {

namespace {

// Each click's job on a thread of its own beside the others, a parked one when there is one.
bool StartThreadDetached(std::function<void()> routine) {
    return ProgramWorkerThreads().Start(std::move(routine));
}

}  // namespace

ShortenJobs::ShortenJobs()
    : ShortenJobs(WebRequestFunction(&WebRequest), ThreadStarter(&StartThreadDetached)) {}

ShortenJobs& ProgramShortenJobs() {
    static ShortenJobs jobs;
    return jobs;
}

void OnGenerateClicked(ShortenHost& host) {
    ProgramShortenJobs().OnGenerateClicked(host);
}

void ResetShortenState(ShortenHost& host) {
    ProgramShortenJobs().ResetShortenState(host);
}

}  // namespace tarnwick
