// RequestObject as the system's own WinHttp.WinHttpRequest.5.1: every member reached by name,
// every failure of the object passed over as an empty result.
#include <string>

#include "text/wide_text.h"
#include "web/request_object.h"
#include "web/web_access.h"
#include "web/win32/automation.h"

namespace tarnwick {

namespace {

using automation::Variant;

// A synchronous WinHttp request cannot be interrupted, so the abandon check is not kept: a
// worker whose click was superseded waits out the object's own time-outs.
class WinHttpObject final : public RequestObject {
  public:
    explicit WinHttpObject(automation::DispatchRef object) : object_(std::move(object)) {}

    bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
        Variant resolve = Variant::Integer(resolveMs);
        Variant connect = Variant::Integer(connectMs);
        Variant send = Variant::Integer(sendMs);
        Variant receive = Variant::Integer(receiveMs);
        return Call(L"SetTimeouts", {&resolve, &connect, &send, &receive});
    }
    bool SetProxy(int setting, std::string_view server) override {
        Variant how = Variant::Integer(setting);
        if (server.empty()) {
            return Call(L"SetProxy", {&how});
        }
        Variant named = Variant::String(server);
        return Call(L"SetProxy", {&how, &named});
    }
    bool SetRequestHeader(std::string_view name, std::string_view value) override {
        Variant header = Variant::String(name);
        Variant text = Variant::String(value);
        return Call(L"SetRequestHeader", {&header, &text});
    }
    bool Open(std::string_view method, std::string_view url, bool async) override {
        Variant verb = Variant::String(method);
        Variant address = Variant::String(url);
        Variant asynchronous = Variant::Boolean(async);
        return Call(L"Open", {&verb, &address, &asynchronous});
    }
    bool Option(int index, int value) override {
        Variant which = Variant::Integer(index);
        Variant setting = Variant::Integer(value);
        return automation::WriteProperty(*object_, L"Option", {&which, &setting});
    }
    bool Send(std::string_view body) override {
        Variant text = Variant::String(body);
        return Call(L"Send", {&text});
    }
    bool Send(const ByteSet& body) override {
        Variant bytes = Variant::Bytes(body);
        return Call(L"Send", {&bytes});
    }
    ByteSet ResponseBody() override {
        return automation::VariantToByteSet(automation::ReadVariant(*object_, L"ResponseBody"));
    }
    Text GetAllResponseHeaders() override {
        return automation::VariantToText(
            automation::ReadVariant(*object_, L"GetAllResponseHeaders"));
    }
    int Status() override {
        return static_cast<int>(
            automation::VariantToNumber(automation::ReadVariant(*object_, L"Status")));
    }

  private:
    bool Call(const wchar_t* member, std::initializer_list<Variant*> arguments) {
        return automation::CallMethod(*object_, member, arguments);
    }

    automation::DispatchRef object_;
};

}  // namespace

void PrepareWebAccess() {}

RequestObjectRef CreateSystemRequestObject() {
    static const std::wstring progId = WideFromText(kRequestObjectProgId);
    automation::DispatchRef object = automation::CreateByProgId(progId.c_str());
    if (!object) {
        return nullptr;
    }
    return std::make_shared<WinHttpObject>(std::move(object));
}

}  // namespace tarnwick
