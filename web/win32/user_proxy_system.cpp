// The user's proxy settings and the automatic answer, from winhttp.dll, loaded by name at the
// first request that needs them: the window's start does not pay for the library.
#include <windows.h>

#include <winhttp.h>

#include <memory>
#include <mutex>
#include <string>

#include "text/wide_text.h"
#include "web/win32/library_function.h"
#include "web/win32/user_proxy.h"

namespace tarnwick {

namespace {

struct WinHttpFunctions {
    decltype(&::WinHttpGetIEProxyConfigForCurrentUser) userConfig = nullptr;
    decltype(&::WinHttpOpen) open = nullptr;
    decltype(&::WinHttpGetProxyForUrl) proxyForUrl = nullptr;
    HINTERNET session = nullptr;  // for the automatic answers; WinHTTP caches them per session
};

// Looked up once; the library stays loaded for the life of the process, as the object needs it.
const WinHttpFunctions& TheWinHttp() {
    static const WinHttpFunctions functions = [] {
        WinHttpFunctions found;
        if (const HMODULE library = ::LoadLibraryW(L"winhttp.dll")) {
            found.userConfig = LibraryFunction<decltype(found.userConfig)>(
                library, "WinHttpGetIEProxyConfigForCurrentUser");
            found.open = LibraryFunction<decltype(found.open)>(library, "WinHttpOpen");
            found.proxyForUrl =
                LibraryFunction<decltype(found.proxyForUrl)>(library, "WinHttpGetProxyForUrl");
            if (found.open != nullptr) {
                found.session = found.open(L"Tarnwick", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                           WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
            }
        }
        return found;
    }();
    return functions;
}

// Takes over a string that WinHTTP allocated for the caller.
Text TakeString(LPWSTR text) {
    if (text == nullptr) {
        return {};
    }
    Text taken = TextFromWide(text);
    ::GlobalFree(text);
    return taken;
}

UserProxySettings CurrentUserSettings(const WinHttpFunctions& winHttp) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (winHttp.userConfig == nullptr || !winHttp.userConfig(&config)) {
        return {};
    }
    return {config.fAutoDetect != FALSE, TakeString(config.lpszAutoConfigUrl),
            TakeString(config.lpszProxy), TakeString(config.lpszProxyBypass)};
}

// Detection that failed is not tried again for every request: where no network offers a
// script, each try costs the lookups' time-outs.
std::mutex failedMutex;
Text failedSettings;  // the settings under which automatic configuration last failed

Text SettingsKey(const UserProxySettings& settings) {
    return (settings.autoDetect ? "1" : "0") + settings.autoConfigUrl;
}

AutomaticProxy AskAutomatic(const WinHttpFunctions& winHttp, const UserProxySettings& settings,
                            std::string_view url) {
    if (!WantsAutomaticProxy(settings) || winHttp.proxyForUrl == nullptr ||
        winHttp.session == nullptr) {
        return {};
    }
    const Text key = SettingsKey(settings);
    {
        const std::lock_guard lock(failedMutex);
        if (failedSettings == key) {
            return {};
        }
    }
    WINHTTP_AUTOPROXY_OPTIONS options{};
    const std::wstring script = WideFromText(settings.autoConfigUrl);
    if (settings.autoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!script.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = script.c_str();
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    const std::wstring address = WideFromText(url);
    if (!winHttp.proxyForUrl(winHttp.session, address.c_str(), &options, &info)) {
        const std::lock_guard lock(failedMutex);
        failedSettings = key;
        return {};
    }
    AutomaticProxy answer{true, TakeString(info.lpszProxy), TakeString(info.lpszProxyBypass)};
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        answer.proxy.clear();
    }
    return answer;
}

}  // namespace

ProxyChoice UserProxyFor(std::string_view url) {
    const WinHttpFunctions& winHttp = TheWinHttp();
    const UserProxySettings settings = CurrentUserSettings(winHttp);
    return ChooseProxy(settings, AskAutomatic(winHttp, settings, url), url);
}

}  // namespace tarnwick
