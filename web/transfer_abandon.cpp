#include "web/transfer_abandon.h"

#include <utility>

namespace tarnwick {

namespace {

thread_local AbandonCheck threadCheck;

}  // namespace

void SetThreadAbandonCheck(AbandonCheck check) {
    threadCheck = std::move(check);
}

const AbandonCheck& ThreadAbandonCheck() {
    return threadCheck;
}

}  // namespace tarnwick
