// The three shortening services, numbered after the radio buttons that choose them.
#pragma once

#include <array>
#include <string_view>

namespace tarnwick {

enum class ShortLinkProvider { kProvider1 = 1, kProvider2 = 2, kProvider3 = 3 };

struct ProviderInfo {
    std::string_view host;     // served over plain http
    std::string_view caption;  // the radio button's text: the service's domain name
};

// Our own host names; the services behind them answer in the formats the jobs expect.
inline constexpr std::array<ProviderInfo, 3> kProviders{{
    {"a.test", "a.test"},
    {"b.test", "b.test"},
    {"c.test", "c.test"},
}};

inline constexpr const ProviderInfo& Provider(ShortLinkProvider provider) {
    return kProviders[static_cast<std::size_t>(provider) - 1];
}

}  // namespace tarnwick
