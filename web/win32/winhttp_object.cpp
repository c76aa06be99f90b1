// RequestObject as the system's own WinHttp.WinHttpRequest.5.1: every member reached by name,
// every failure of the object passed over as an empty result. The request runs asynchronously
// inside a synchronous Send, so that it can be given up, and its answer is read within the same
// limits, and decoded by the same rules, as the libcurl object's.
#include <atomic>
#include <optional>
#include <string>
#include <utility>

#include "text/ascii.h"
#include "text/find.h"
#include "text/wide_text.h"
#include "web/content_decoding.h"
#include "web/header_fields.h"
#include "web/request_object.h"
#include "web/response_limits.h"
#include "web/web_access.h"
#include "web/win32/answer_wait.h"
#include "web/win32/automation.h"
#include "web/win32/request_events.h"
#include "web/win32/user_proxy.h"

namespace tarnwick {

namespace {

using automation::Variant;

// SecureProtocols flags: TLS 1.0, 1.1, 1.2 and 1.3. Windows 7 offers only SSL 3 and TLS 1.0
// unless asked; a system that does not know TLS 1.3 refuses the whole value.
constexpr int kTls10 = 0x0080;
constexpr int kTls11 = 0x0200;
constexpr int kTls12 = 0x0800;
constexpr int kTls13 = 0x2000;

class WinHttpObject final : public RequestObject {
  public:
    explicit WinHttpObject(automation::DispatchRef object) : object_(std::move(object)) {
        counter_.Connect(*object_);
    }

    bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
        Variant resolve = Variant::Integer(resolveMs);
        Variant connect = Variant::Integer(connectMs);
        Variant send = Variant::Integer(sendMs);
        Variant receive = Variant::Integer(receiveMs);
        if (!Call(L"SetTimeouts", {&resolve, &connect, &send, &receive})) {
            return false;
        }
        deadlineMs_ = TransferDeadlineMs(resolveMs, connectMs, sendMs, receiveMs);
        return true;
    }
    bool SetProxy(int setting, std::string_view server) override {
        Variant how = Variant::Integer(setting);
        bool taken = false;
        if (server.empty()) {
            taken = Call(L"SetProxy", {&how});
        } else {
            Variant named = Variant::String(server);
            taken = Call(L"SetProxy", {&how, &named});
        }
        // The caller's choice stands; the user's is looked up only where none was made.
        callerChoseProxy_ = callerChoseProxy_ || taken;
        return taken;
    }
    bool SetRequestHeader(std::string_view name, std::string_view value) override {
        const std::optional<std::string_view> sendable = SendableHeaderValue(name, value);
        if (!sendable) {
            return false;
        }
        Variant header = Variant::String(name);
        Variant text = Variant::String(*sendable);
        if (!Call(L"SetRequestHeader", {&header, &text})) {
            return false;
        }
        if (EqualsIgnoringAsciiCase(name, "Accept-Encoding")) {
            offeredEncodings_ += Text(value) + ",";
        }
        return true;
    }
    bool Open(std::string_view method, std::string_view url, bool async) override {
        Clear();
        offeredEncodings_.clear();
        // Synchronous to the caller, as the libcurl object is.
        if (async) {
            return false;
        }
        Variant verb = Variant::String(method);
        Variant address = Variant::String(url);
        Variant asynchronous = Variant::Boolean(true);
        opened_ = Call(L"Open", {&verb, &address, &asynchronous});
        bodyExpected_ = !EqualsIgnoringAsciiCase(method, "HEAD");
        url_ = opened_ ? Text(url) : Text();
        if (opened_) {
            AskForModernTls();
        }
        return opened_;
    }
    bool SetCredentials(std::string_view user, std::string_view password, int forWhom) override {
        Variant name = Variant::String(user);
        Variant secret = Variant::String(password);
        Variant whom = Variant::Integer(forWhom);
        return Call(L"SetCredentials", {&name, &secret, &whom});
    }
    bool Option(int index, int value) override {
        Variant which = Variant::Integer(index);
        Variant setting = Variant::Integer(value);
        return automation::WriteProperty(*object_, L"Option", {&which, &setting});
    }
    bool Send(std::string_view body) override {
        Variant text = Variant::String(body);
        return Exchange(text);
    }
    bool Send(const ByteSet& body) override {
        Variant bytes = Variant::Bytes(body);
        return Exchange(bytes);
    }
    ByteSet ResponseBody() override { return body_; }
    ByteSet TakeResponseBody() override { return std::exchange(body_, {}); }
    Text GetAllResponseHeaders() override { return headers_; }
    int Status() override { return status_; }

    void SetAbandonCheck(AbandonCheck check) override { abandon_ = std::move(check); }

  private:
    bool Call(const wchar_t* member, std::initializer_list<Variant*> arguments) {
        return automation::CallMethod(*object_, member, arguments);
    }

    // The most the system offers of TLS 1.0 to 1.3. What it refused once it refuses again:
    // later objects of the process do not ask for it.
    void AskForModernTls() {
        constexpr int kUpTo12 = kTls10 | kTls11 | kTls12;
        static std::atomic<int> refusals{0};  // 1: TLS 1.3 refused; 2: the option refused
        if (refusals.load() < 1) {
            if (Option(kOptionSecureProtocols, kUpTo12 | kTls13)) {
                return;
            }
            refusals.store(1);
        }
        if (refusals.load() < 2 && !Option(kOptionSecureProtocols, kUpTo12)) {
            refusals.store(2);
        }
    }

    void Clear() {
        body_.clear();
        headers_.clear();
        status_ = 0;
    }

    void FollowUserProxy() {
        if (callerChoseProxy_) {
            return;
        }
        const ProxyChoice choice = UserProxyFor(url_);
        if (choice.kind == ProxyKind::Leave) {
            return;
        }
        Variant how = Variant::Integer(choice.kind == ProxyKind::Named ? kProxySettingNamed
                                                                       : kProxySettingDirect);
        Variant server = Variant::String(choice.server);
        Variant bypass = Variant::String(choice.bypass);
        if (choice.kind == ProxyKind::Named) {
            Call(L"SetProxy", {&how, &server, &bypass});
        } else {
            Call(L"SetProxy", {&how});
        }
    }

    // Sends, waits within the limits and keeps the answer; a failure leaves the empty answer.
    bool Exchange(Variant& body) {
        Clear();
        if (!opened_) {
            return false;
        }
        opened_ = false;  // one Send per Open
        FollowUserProxy();
        counter_.Reset();
        if (!Call(L"Send", {&body}) ||
            !automation::WaitForAnswer(*object_, counter_, abandon_,
                                       {deadlineMs_, kMaxResponseBodyBytes})) {
            return false;
        }
        ByteSet received = automation::VariantToByteSet(ReadMember(L"ResponseBody"));
        if (received.size() > kMaxResponseBodyBytes) {
            return false;
        }
        Text headers =
            HeaderLinesOnly(automation::VariantToText(ReadMember(L"GetAllResponseHeaders")));
        const int status = static_cast<int>(automation::VariantToNumber(ReadMember(L"Status")));
        const TextArray lines = TextSplit(headers, "\r\n");
        // Wine's object hands over a body cut short, or one of two lengths, as if whole.
        if (bodyExpected_ && status >= 200 && !IsBodilessStatus(status) &&
            !IsWholeBody(lines, received.size())) {
            return false;
        }
        const Text encoding = ResponseHeader(lines, "Content-Encoding");
        body_ = encoding.empty()
                    ? std::move(received)
                    : DecodeContent(encoding, offeredEncodings_, received, kMaxResponseBodyBytes);
        headers_ = std::move(headers);
        status_ = status;
        return true;
    }

    Variant ReadMember(const wchar_t* member) { return automation::ReadVariant(*object_, member); }

    automation::DispatchRef object_;
    automation::BodyCounter counter_;
    AbandonCheck abandon_;
    long long deadlineMs_ = 0;
    bool callerChoseProxy_ = false;
    bool opened_ = false;
    bool bodyExpected_ = true;
    Text url_;
    Text offeredEncodings_;
    // The answer to the last Send.
    ByteSet body_;
    Text headers_;
    int status_ = 0;
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
