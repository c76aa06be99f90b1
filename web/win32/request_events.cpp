#include "web/win32/request_events.h"

#include "web/win32/ole.h"

namespace tarnwick::automation {

namespace {

// {F97F4E15-B787-4212-80D1-D380CBBF982E}: the object's outgoing interface, which mingw-w64's
// headers do not declare.
constexpr IID kRequestEventsId = {
    0xf97f4e15, 0xb787, 0x4212, {0x80, 0xd1, 0xd3, 0x80, 0xcb, 0xbf, 0x98, 0x2e}};

// The layout of IWinHttpRequestEvents: IUnknown, then its four notifications, which return
// nothing.
struct RequestEvents : IUnknown {
    virtual void STDMETHODCALLTYPE OnResponseStart(LONG status, BSTR contentType) = 0;
    virtual void STDMETHODCALLTYPE OnResponseDataAvailable(SAFEARRAY** data) = 0;
    virtual void STDMETHODCALLTYPE OnResponseFinished() = 0;
    virtual void STDMETHODCALLTYPE OnError(LONG number, BSTR description) = 0;
};

std::size_t ArrayBytes(SAFEARRAY* array) {
    LONG lower = 0;
    LONG upper = -1;
    if (array == nullptr || FAILED(ole::SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(ole::SafeArrayGetUBound(array, 1, &upper)) || upper < lower) {
        return 0;
    }
    return static_cast<std::size_t>(upper - lower) + 1;
}

}  // namespace

// Lives as long as its BodyCounter, which disconnects it before it goes: the connection point's
// references do not decide its life.
class BodyCounter::Sink final : public RequestEvents {
  public:
    explicit Sink(std::atomic<std::size_t>& bytes) : bytes_(bytes) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, kRequestEventsId)) {
            *object = static_cast<RequestEvents*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    void STDMETHODCALLTYPE OnResponseStart(LONG /*status*/, BSTR /*contentType*/) override {
        // A redirect's answer starts again from nothing.
        bytes_.store(0, std::memory_order_relaxed);
    }
    void STDMETHODCALLTYPE OnResponseDataAvailable(SAFEARRAY** data) override {
        if (data != nullptr) {
            bytes_.fetch_add(ArrayBytes(*data), std::memory_order_relaxed);
        }
    }
    void STDMETHODCALLTYPE OnResponseFinished() override {}
    void STDMETHODCALLTYPE OnError(LONG /*number*/, BSTR /*description*/) override {}

  private:
    std::atomic<std::size_t>& bytes_;
};

BodyCounter::BodyCounter() = default;

BodyCounter::~BodyCounter() {
    Disconnect();
}

bool BodyCounter::Connect(IUnknown& object) {
    Disconnect();
    IConnectionPointContainer* container = nullptr;
    if (FAILED(object.QueryInterface(IID_IConnectionPointContainer,
                                     reinterpret_cast<void**>(&container)))) {
        return false;
    }
    IConnectionPoint* point = nullptr;
    const HRESULT found = container->FindConnectionPoint(kRequestEventsId, &point);
    container->Release();
    if (FAILED(found)) {
        return false;
    }
    std::unique_ptr<IConnectionPoint, ReleasePoint> held(point);
    auto sink = std::make_unique<Sink>(bytes_);
    if (FAILED(held->Advise(sink.get(), &cookie_))) {
        return false;
    }
    sink_ = std::move(sink);
    point_ = std::move(held);
    return true;
}

void BodyCounter::Disconnect() {
    if (point_) {
        point_->Unadvise(cookie_);
        point_.reset();
    }
    sink_.reset();
    Reset();
}

}  // namespace tarnwick::automation
