// The program's own jobs: the real WebRequest and detached threads. Kept apart so that code
// driving ShortenJobs through its seams links without the network layer.
#include <utility>

#include "shorten/shorten_job.h"

namespace tarnwick {

namespace {

bool StartThreadDetached(std::function<void()> routine) {
    return StartThread(std::move(routine));
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
