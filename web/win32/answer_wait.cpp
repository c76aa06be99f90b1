#include "web/win32/answer_wait.h"

#define PSAPI_VERSION 2  // K32GetProcessMemoryInfo, in kernel32 since Windows 7
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "web/win32/automation.h"

namespace tarnwick::automation {

// {016FE2EC-B2C8-45F8-B23B-39E53A75396B}, the object's dual interface.
constexpr IID kWinHttpRequestId = {
    0x016fe2ec, 0xb2c8, 0x45f8, {0xb2, 0x3b, 0x39, 0xe5, 0x3a, 0x75, 0x39, 0x6b}};

// IWinHttpRequest up to WaitForResponse, its 22nd slot. The wait is the one member called
// through the table rather than by name: only so can the caller give the result a value first.
// Wine's object returns without writing it when the answer was already complete, and a result
// made by IDispatch would then read as a time-out for ever.
// Outside the anonymous namespace: for a type only this file could derive from, the compiler
// would conclude that no object of it exists and drop the call as unreachable.
struct WinHttpRequestTable : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE SetProxy() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCredentials() = 0;
    virtual HRESULT STDMETHODCALLTYPE Open() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRequestHeader() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResponseHeader() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAllResponseHeaders() = 0;
    virtual HRESULT STDMETHODCALLTYPE Send() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StatusText() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ResponseText() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ResponseBody() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ResponseStream() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Option() = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Option() = 0;
    virtual HRESULT STDMETHODCALLTYPE WaitForResponse(VARIANT timeoutSeconds,
                                                      VARIANT_BOOL* succeeded) = 0;
};

namespace {

using Clock = std::chrono::steady_clock;

enum class Poll { Answered, Failed, Waiting };

// Waits up to a second. The object pumps the thread's messages meanwhile, which runs the watch's
// timer below; once the answer is complete it returns without writing the result, which then
// keeps the value given here.
Poll WaitUpToASecond(WinHttpRequestTable& request) {
    Variant second = Variant::Integer(1);
    VARIANT_BOOL succeeded = VARIANT_TRUE;
    if (FAILED(request.WaitForResponse(second.value(), &succeeded))) {
        return Poll::Failed;
    }
    return succeeded == VARIANT_FALSE ? Poll::Waiting : Poll::Answered;
}

// The memory the process holds: its committed private bytes, or its working set where the
// system does not count those (Wine). Wine's object tells nothing of an answer as it arrives,
// but the memory it takes for one shows here.
std::size_t HeldBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(),
                                reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof(counters))) {
        return 0;
    }
    return std::max<std::size_t>(counters.PrivateUsage, counters.WorkingSetSize);
}

// The body length the answer announces, 0 while its head has not come or names none.
unsigned long long AnnouncedLength(IDispatch& object) {
    Variant name = Variant::String("Content-Length");
    Variant value;
    if (!CallMethod(object, L"GetResponseHeader", {&name}, &value)) {
        return 0;
    }
    return std::strtoull(VariantToText(value).c_str(), nullptr, 10);
}

// One wait, as the timer sees it.
struct Watch {
    IDispatch& object;
    const BodyCounter& counter;
    const AbandonCheck& abandon;
    AnswerLimits limits;
    Clock::time_point start = Clock::now();
    std::size_t heldAtSend = HeldBytes();
    UINT_PTR timer = 0;
    bool aborted = false;
};

// A thread timer's procedure gets no data of its own: the thread's wait under way.
thread_local Watch* currentWatch = nullptr;

// What the object holds of the answer already, by the best measure it offers.
bool TooLarge(const Watch& watch) {
    const std::size_t limit = watch.limits.maxBodyBytes;
    if (watch.counter.Bytes() > limit || AnnouncedLength(watch.object) > limit) {
        return true;
    }
    const std::size_t heldNow = HeldBytes();
    return heldNow > watch.heldAtSend && heldNow - watch.heldAtSend > limit;
}

bool Unwanted(const Watch& watch) {
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - watch.start).count();
    return (watch.abandon && watch.abandon()) ||
           (watch.limits.deadlineMs > 0 && elapsedMs >= watch.limits.deadlineMs) || TooLarge(watch);
}

// Ends the transfer at once: the object closes its connection and drops what it held.
void GiveUp(Watch& watch) {
    if (watch.timer != 0) {
        ::KillTimer(nullptr, watch.timer);
        watch.timer = 0;
    }
    if (watch.aborted) {
        return;
    }
    watch.aborted = true;
    CallMethod(watch.object, L"Abort", {});
}

void CALLBACK CheckWatch(HWND /*window*/, UINT /*message*/, UINT_PTR /*timer*/, DWORD /*time*/) {
    if (currentWatch != nullptr && !currentWatch->aborted && Unwanted(*currentWatch)) {
        GiveUp(*currentWatch);
    }
}

constexpr UINT kCheckEveryMs = 20;

}  // namespace

bool WaitForAnswer(IDispatch& object, const BodyCounter& counter, const AbandonCheck& abandon,
                   const AnswerLimits& limits) {
    WinHttpRequestTable* request = nullptr;
    if (FAILED(object.QueryInterface(kWinHttpRequestId, reinterpret_cast<void**>(&request)))) {
        return false;
    }
    const DispatchRef held(request);
    Watch watch{object, counter, abandon, limits};
    Watch* const outer = std::exchange(currentWatch, &watch);
    // The checks run while the object waits, so that an answer that comes at once is not kept
    // waiting for them. Where no timer can be had, they run between the waits of a second.
    watch.timer = ::SetTimer(nullptr, 0, kCheckEveryMs, CheckWatch);
    Poll poll = Poll::Waiting;
    while (poll == Poll::Waiting && !watch.aborted) {
        poll = WaitUpToASecond(*request);
        if (poll == Poll::Waiting && Unwanted(watch)) {
            GiveUp(watch);
        }
    }
    if (watch.timer != 0) {
        ::KillTimer(nullptr, watch.timer);
    }
    currentWatch = outer;
    return poll == Poll::Answered && !watch.aborted;
}

}  // namespace tarnwick::automation
