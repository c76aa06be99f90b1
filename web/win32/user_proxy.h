// The proxy a browser of the current user would take for a URL, from the settings of Internet
// Options. The system's object reads only WinHTTP's machine-wide setting (netsh winhttp), so
// the program finds the user's own and names it to the object.
#pragma once

#include <string_view>

#include "text/values.h"

namespace tarnwick {

// As WinHttpGetIEProxyConfigForCurrentUser gives them.
struct UserProxySettings {
    bool autoDetect = false;
    Text autoConfigUrl;  // a PAC script's address
    Text proxy;          // "host:port", or per scheme: "http=host:port;https=host:port"
    Text bypass;         // "*.example.org;10.*;<local>"
};

// What automatic configuration (detection or the PAC script) answered for one URL.
struct AutomaticProxy {
    bool answered = false;  // false: not asked, or it failed; the manual setting then holds
    Text proxy;             // empty: go direct
    Text bypass;
};

enum class ProxyKind {
    Leave,   // the user's settings name nothing: the object's own (machine-wide) setting holds
    Direct,  // the user's settings say this URL goes direct
    Named,   // through server, with bypass for the object
};

struct ProxyChoice {
    ProxyKind kind = ProxyKind::Leave;
    Text server;
    Text bypass;

    bool operator==(const ProxyChoice&) const = default;
};

// Whether the settings ask for automatic configuration, which only the system can answer.
inline bool WantsAutomaticProxy(const UserProxySettings& settings) {
    return settings.autoDetect || !settings.autoConfigUrl.empty();
}

// The choice for url: the automatic answer when there is one, else the manual proxy for the
// URL's scheme unless the bypass list names its host ("<local>": a host without a dot).
ProxyChoice ChooseProxy(const UserProxySettings& settings, const AutomaticProxy& automatic,
                        std::string_view url);

// The current user's settings and, where they ask for it, the automatic answer for url: what
// the system says, through winhttp.dll. Nothing when the system has no such functions.
ProxyChoice UserProxyFor(std::string_view url);

}  // namespace tarnwick
