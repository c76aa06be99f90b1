// Lets the code that starts a transfer tell it, while it runs, that nobody wants its outcome any
// more: a transfer that is abandoned gives up at its next progress check and ends like any
// failed request, with empty results, freeing its connection at once.
#pragma once

#include <functional>

namespace tarnwick {

// Answers true once the transfers of this thread are no longer wanted. It is polled from the
// transfer on the same thread, so it must be cheap and must not block.
using AbandonCheck = std::function<bool()>;

// Sets the check for the request objects created on this thread from now on; an empty check
// (the default) never abandons.
void SetThreadAbandonCheck(AbandonCheck check);
// The check in force on this thread.
const AbandonCheck& ThreadAbandonCheck();

}  // namespace tarnwick
