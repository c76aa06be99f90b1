// The wait for an answer to the system object's asynchronous Send, in short slices, so that the
// request can be given up while it runs: the job that started it no longer wants it, the whole
// transfer is past its deadline, or the answer brings more than it may.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstddef>

#include "web/transfer_abandon.h"
#include "web/win32/request_events.h"

namespace tarnwick::automation {

struct AnswerLimits {
    long long deadlineMs = 0;  // 0: none
    std::size_t maxBodyBytes = 0;
};

// True once the object holds the whole answer; false when the request failed or was aborted
// (Abort called, the object left with no answer). Pumps the thread's messages meanwhile, as an
// apartment's thread must while it waits.
bool WaitForAnswer(IDispatch& object, const BodyCounter& counter, const AbandonCheck& abandon,
                   const AnswerLimits& limits);

}  // namespace tarnwick::automation
