// What one answer may cost, the same for every request object: a hostile or broken server must
// not hold a worker's memory or its thread without end.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>

namespace tarnwick {

// The most body bytes an answer may bring, before or after its coding is undone.
inline constexpr std::size_t kMaxResponseBodyBytes = std::size_t{64} << 20;

// The deadline of a whole transfer, in milliseconds, from the object's four time-outs; 0 when
// the send or receive time-out is unlimited. Each time-out alone limits one wait, so a server
// that drips a byte now and then would otherwise keep a transfer alive for ever.
inline long long TransferDeadlineMs(int resolveMs, int connectMs, int sendMs, int receiveMs) {
    if (sendMs <= 0 || receiveMs <= 0) {
        return 0;
    }
    return static_cast<long long>(std::max(resolveMs, 0)) + std::max(connectMs, 0) + sendMs +
           receiveMs;
}

}  // namespace tarnwick
