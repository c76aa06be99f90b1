// The HTTP request object that WebRequest drives, and the counted references to it.
#pragma once

#include <memory>
#include <string_view>

#include "text/values.h"
#include "web/transfer_abandon.h"

namespace tarnwick {

// The one ProgID that gives a working object.
inline constexpr std::string_view kRequestObjectProgId = "WinHttp.WinHttpRequest.5.1";

// Proxy settings of SetProxy.
inline constexpr int kProxySettingDefault =
    0;  // the environment: http_proxy, https_proxy, no_proxy
inline constexpr int kProxySettingDirect = 1;
inline constexpr int kProxySettingNamed = 2;

// Whom SetCredentials' user and password are for.
inline constexpr int kCredentialsForServer = 0;
inline constexpr int kCredentialsForProxy = 1;

// Option indices and the certificate errors that option 4 may ignore.
inline constexpr int kOptionSslErrorIgnoreFlags = 4;
inline constexpr int kOptionEnableRedirects = 6;
inline constexpr int kOptionSecureProtocols = 9;
inline constexpr int kIgnoreUnknownCa = 0x0100;
inline constexpr int kIgnoreWrongUsage = 0x0200;
inline constexpr int kIgnoreWrongHostName = 0x1000;
inline constexpr int kIgnoreInvalidDate = 0x2000;

// A synchronous HTTP request. Calls and writes answer false when refused; reads give empty
// values when there is nothing to read. Nothing throws. One thread at a time.
class RequestObject {
  public:
    virtual ~RequestObject() = default;

    // Milliseconds; 0 or less means no limit.
    virtual bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) = 0;
    virtual bool SetProxy(int setting, std::string_view server = {}) = 0;
    virtual bool SetRequestHeader(std::string_view name, std::string_view value) = 0;
    virtual bool Open(std::string_view method, std::string_view url, bool async = false) = 0;
    // For the opened request only, so after Open.
    virtual bool SetCredentials(std::string_view user, std::string_view password, int forWhom) = 0;
    // The "Option" property, written by index.
    virtual bool Option(int index, int value) = 0;
    virtual bool Send(std::string_view body) = 0;
    virtual bool Send(const ByteSet& body) = 0;

    virtual ByteSet ResponseBody() = 0;
    // The body for a caller that holds the only reference and reads it no more: an object that
    // keeps the body moves it out instead of copying up to the body limit.
    virtual ByteSet TakeResponseBody() { return ResponseBody(); }
    // The header lines of the final response without its status line, joined by CR LF.
    virtual Text GetAllResponseHeaders() = 0;
    // The final status code, 0 when there is none.
    virtual int Status() = 0;

    // Lets whoever created the object give up its requests while they run: once check answers
    // true, the transfer under way ends as failed.
    virtual void SetAbandonCheck(AbandonCheck check) = 0;
};

// A counted reference; the empty reference stands for no object.
using RequestObjectRef = std::shared_ptr<RequestObject>;

// Creates an object from a ProgID; false (and object left empty) for any ProgID but
// kRequestObjectProgId, outside a ComScope, or when the object cannot be made. Its requests are
// given up once abandon answers true.
bool ObjectCreate(RequestObjectRef& object, std::string_view progId, AbandonCheck abandon = {});
// object becomes a new reference to source's object.
void ObjectAssign(RequestObjectRef& object, const RequestObjectRef& source);
// Drops the reference and empties the variable.
void ObjectRelease(RequestObjectRef& object);

}  // namespace tarnwick
