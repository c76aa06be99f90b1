#include "web/win32/user_proxy.h"

#include "text/ascii.h"

namespace tarnwick {

namespace {

constexpr std::string_view kListSeparators = "; \t\r\n";

struct UrlOrigin {
    Text scheme;  // lower case
    Text host;    // lower case, without the port
    Text hostAndPort;
};

UrlOrigin OriginOf(std::string_view url) {
    UrlOrigin origin;
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd != std::string_view::npos) {
        origin.scheme = LowerAscii(url.substr(0, schemeEnd));
        url.remove_prefix(schemeEnd + 3);
    }
    std::string_view authority = url.substr(0, url.find_first_of("/?#"));
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    origin.hostAndPort = LowerAscii(authority);
    const std::size_t bracket = authority.find(']');
    const std::size_t colon = authority.find(':', bracket == std::string_view::npos ? 0 : bracket);
    origin.host = LowerAscii(authority.substr(0, colon));
    return origin;
}

// Calls each(entry) for every entry of a list separated by semicolons or white space.
template <typename Each>
bool AnyEntry(std::string_view list, Each each) {
    while (!list.empty()) {
        const std::size_t end = list.find_first_of(kListSeparators);
        const std::string_view entry = list.substr(0, end);
        if (!entry.empty() && each(entry)) {
            return true;
        }
        if (end == std::string_view::npos) {
            break;
        }
        list.remove_prefix(end + 1);
    }
    return false;
}

// A pattern with * for any run of bytes, ASCII case ignored.
bool WildcardMatch(std::string_view pattern, std::string_view text) {
    if (pattern.empty()) {
        return text.empty();
    }
    if (pattern.front() == '*') {
        for (std::size_t skip = 0; skip <= text.size(); ++skip) {
            if (WildcardMatch(pattern.substr(1), text.substr(skip))) {
                return true;
            }
        }
        return false;
    }
    return !text.empty() && FoldAscii(pattern.front()) == FoldAscii(text.front()) &&
           WildcardMatch(pattern.substr(1), text.substr(1));
}

bool Bypassed(std::string_view bypass, const UrlOrigin& origin) {
    return AnyEntry(bypass, [&origin](std::string_view entry) {
        if (entry == "<local>") {
            return origin.host.find('.') == Text::npos;
        }
        const std::size_t schemeEnd = entry.find("://");
        if (schemeEnd != std::string_view::npos) {
            if (!EqualsIgnoringAsciiCase(entry.substr(0, schemeEnd), origin.scheme)) {
                return false;
            }
            entry.remove_prefix(schemeEnd + 3);
        }
        const bool withPort = entry.find(':') != std::string_view::npos;
        return WildcardMatch(entry, withPort ? origin.hostAndPort : origin.host);
    });
}

// The server of a proxy list for scheme: its "scheme=server" entry, else its entry for every
// scheme; empty when it names neither.
Text ServerFor(std::string_view list, std::string_view scheme) {
    Text forScheme;
    Text forAll;
    AnyEntry(list, [&](std::string_view entry) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            if (forAll.empty()) {
                forAll = Text(entry);
            }
        } else if (EqualsIgnoringAsciiCase(entry.substr(0, equals), scheme)) {
            forScheme = Text(entry.substr(equals + 1));
            return true;
        }
        return false;
    });
    return forScheme.empty() ? forAll : forScheme;
}

ProxyChoice Named(Text server, Text bypass) {
    if (server.empty()) {
        return {ProxyKind::Direct, {}, {}};
    }
    return {ProxyKind::Named, std::move(server), std::move(bypass)};
}

}  // namespace

ProxyChoice ChooseProxy(const UserProxySettings& settings, const AutomaticProxy& automatic,
                        std::string_view url) {
    const UrlOrigin origin = OriginOf(url);
    if (automatic.answered) {
        return Named(ServerFor(automatic.proxy, origin.scheme), automatic.bypass);
    }
    if (settings.proxy.empty()) {
        return {};
    }
    if (Bypassed(settings.bypass, origin)) {
        return {ProxyKind::Direct, {}, {}};
    }
    return Named(ServerFor(settings.proxy, origin.scheme), settings.bypass);
}

}  // namespace tarnwick
