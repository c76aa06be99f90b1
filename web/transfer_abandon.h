// Lets the code that starts a transfer tell it, while it runs, that nobody wants its outcome any
// more: a transfer that is abandoned gives up at its next check and ends like any failed
// request, with empty results, freeing its connection at once.
#pragma once

#include <functional>

namespace tarnwick {

// Answers true once the transfer is no longer wanted. It is polled from the transfer on the
// thread that runs it, so it must be cheap and must not block. The empty check never abandons.
using AbandonCheck = std::function<bool()>;

}  // namespace tarnwick
