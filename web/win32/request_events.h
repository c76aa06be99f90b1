// What the system's object tells of an answer while it arrives: the body bytes counted as they
// come, through the object's IWinHttpRequestEvents connection point. Objects without one (Wine's)
// leave the count unknown.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include <atomic>
#include <cstddef>
#include <memory>

namespace tarnwick::automation {

// The body bytes the object has received so far in the request under way.
class BodyCounter {
  public:
    BodyCounter();
    ~BodyCounter();
    BodyCounter(const BodyCounter&) = delete;
    BodyCounter& operator=(const BodyCounter&) = delete;

    // Listens to object's events until Disconnect or destruction; false when it has none.
    bool Connect(IUnknown& object);
    void Disconnect();
    bool Connected() const { return point_ != nullptr; }

    // Zero until the events say otherwise; also zero when not connected.
    std::size_t Bytes() const { return bytes_.load(std::memory_order_relaxed); }
    void Reset() { bytes_.store(0, std::memory_order_relaxed); }

  private:
    class Sink;
    struct ReleasePoint {
        void operator()(IConnectionPoint* point) const { point->Release(); }
    };

    std::atomic<std::size_t> bytes_{0};
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<IConnectionPoint, ReleasePoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace tarnwick::automation
