#include "tests/support/provider_simulator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "shorten/hosts.h"

namespace tarnwick {
namespace {

using Failure = ProviderSimulator::Failure;
using Stage = ProviderSimulator::Stage;

// The hosts this build of the tool was given.
constexpr std::array<std::string_view, 3> kHosts = {
    TARNWICK_PROVIDER1_HOST, TARNWICK_PROVIDER2_HOST, TARNWICK_PROVIDER3_HOST};

// Percent-decoding as the form service does it.
std::string PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(
                std::strtoul(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Base64 with "+", "/" and "=" as sent; the "=" padding is skipped.
std::string Base64Decode(std::string_view text) {
    constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned group = 0;
    int bits = 0;
    for (const char c : text) {
        if (const std::size_t value = kAlphabet.find(c); value != std::string_view::npos) {
            group = (group << 6) | static_cast<unsigned>(value);
            if ((bits += 6) >= 8) {
                out += static_cast<char>((group >> (bits -= 8)) & 0xFF);
            }
        }
    }
    return out;
}

std::string Response(std::string_view status, std::string_view headers, std::string_view body) {
    return "HTTP/1.1 " + std::string(status) + "\r\n" + std::string(headers) +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           std::string(body);
}

// Text where the service puts its link: JSON with escaped slashes for 1 and 3, a line for 2.
std::string InAnswerFormat(int provider, std::string text) {
    if (provider == 2) {
        return text + "\n";
    }
    for (std::size_t at = 0; (at = text.find('/', at)) != std::string::npos; at += 2) {
        text.insert(at, 1, '\\');
    }
    return (provider == 1 ? R"({"code":0,"short_url":")" : R"({"status":1,"tinyurl":")") + text +
           "\"}";
}

std::string FailureAnswer(Failure failure, int provider, std::string_view host) {
    const std::string help = "http://" + std::string(host) + "/help";
    switch (failure) {
        case Failure::kErrorJson:
            return Response("200 OK", "", InAnswerFormat(provider, "invalid url, see " + help));
        case Failure::kHtmlErrorPage:
            return Response(
                "200 OK", "",
                "<html><p>Try later: <a href=\"" + help + "\">" + help + "</a></p></html>\n");
        case Failure::kEmptyBody:
            return Response("200 OK", "", "");
        default:
            return Response("500 Internal Server Error", "", "<html>500</html>\n");
    }
}

// The long address as the shortening interface of the provider decodes it; nothing when the
// request is not one for that interface.
std::optional<std::string> DecodedAddress(int provider, std::string_view method,
                                          std::string_view path, std::string_view body) {
    constexpr std::string_view kQuery1 = "/api.php?from=w&url=", kEnd1 = "&site=sina";
    constexpr std::string_view kQuery2 = "/api.php?url=", kBody3 = "url=";
    if (method != (provider == 3 ? "POST" : "GET")) {
        return std::nullopt;
    }
    if (provider == 1 && path.starts_with(kQuery1) && path.ends_with(kEnd1) &&
        path.size() >= kQuery1.size() + kEnd1.size()) {
        return Base64Decode(
            path.substr(kQuery1.size(), path.size() - kQuery1.size() - kEnd1.size()));
    }
    if (provider == 2 && path.starts_with(kQuery2)) {
        return std::string(path.substr(kQuery2.size()));
    }
    if (provider == 3 && path == "/index.php?m=index&a=create" && body.starts_with(kBody3)) {
        return PercentDecode(body.substr(kBody3.size(), body.find('&') - kBody3.size()));
    }
    return std::nullopt;
}

}  // namespace

std::string ProviderSimulator::HomePageCookies(std::string_view host) {
    return "SID=" + std::string(host.substr(0, 1)) + "-7f3a; visit=1";
}

// Under a name of its own, so that a link seen in the window can never be taken for a real one.
std::string ProviderSimulator::ShortLinkFor(std::string_view host, std::string_view address) {
    return "http://stand-in.example/" + std::string(host) + "/s" +
           std::to_string(std::hash<std::string_view>{}(address) % 1000000007u);
}

ProviderSimulator::ProviderSimulator()
    : server_([this](test::Connection& connection, const std::string& request) {
          Respond(connection, request);
      }) {}

ProviderSimulator::~ProviderSimulator() {
    const std::lock_guard lock(mutex_);
    closing_ = true;
    changed_.notify_all();
}

void ProviderSimulator::SetFailure(std::string_view host, Failure failure, Stage stage) {
    const std::lock_guard lock(mutex_);
    failures_[{std::string(host), stage}] = failure;
}

void ProviderSimulator::ReleaseHeldRequests(bool answer) {
    const std::lock_guard lock(mutex_);
    ++released_;
    answerReleased_ = answer;
    changed_.notify_all();
}

bool ProviderSimulator::WaitForRequests(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30),
                             [&] { return server_.Requests().size() >= count; });
}

std::size_t ProviderSimulator::HeldCount() const {
    const std::lock_guard lock(mutex_);
    return held_;
}

// Runs on the connection's own thread, so a held request simply waits here.
void ProviderSimulator::Respond(test::Connection& connection, const std::string& request) {
    const std::string_view raw = request;
    const std::string_view method = raw.substr(0, raw.find(' '));
    const std::string_view target =
        raw.substr(method.size() + 1, raw.find(' ', method.size() + 1) - method.size() - 1);
    const std::size_t hostEnd = std::min(target.find_first_of(":/", 7), target.size());
    const std::string host(target.starts_with("http://") ? target.substr(7, hostEnd - 7) : "");
    const std::string_view path = target.substr(std::min(target.find('/', 7), target.size()));
    const auto known = std::find(kHosts.begin(), kHosts.end(), host);
    const int provider = known == kHosts.end() ? 0 : static_cast<int>(known - kHosts.begin()) + 1;
    const bool home = provider != 0 && path == "/";
    const std::optional<std::string> address =
        DecodedAddress(provider, method, path, raw.substr(raw.find("\r\n\r\n") + 4));
    std::string answer =
        home ? Response("200 OK",
                        "Set-Cookie: SID=" + host.substr(0, 1) +
                            "-7f3a; path=/; HttpOnly\r\nSet-Cookie: visit=1; Max-Age=3600\r\n",
                        "<html>Make it short.</html>\n")
             : Response("200 OK", "Set-Cookie: " + std::string(kAnswerCookie) + "; path=/\r\n",
                        InAnswerFormat(provider, ShortLinkFor(host, address.value_or(""))));

    std::unique_lock lock(mutex_);
    changed_.notify_all();  // one more request recorded
    const auto set = failures_.find({host, home ? Stage::kHomePage : Stage::kShortening});
    Failure failure = set == failures_.end() ? Failure::kNone : set->second;
    if (!home && address.value_or("").empty() && failure == Failure::kNone) {
        failure = Failure::kErrorJson;  // no address, or not the shortening interface
    }
    if (failure == Failure::kNeverAnswer && !closing_) {
        ++held_;
        const std::size_t release = released_;
        changed_.wait(lock, [&] { return released_ != release || closing_; });
        --held_;
        if (closing_ || !answerReleased_) {
            answer.clear();
        }
    } else if (failure != Failure::kNone) {
        answer = FailureAnswer(failure, provider, host);
    }
    lock.unlock();
    connection.Send(answer);
    connection.CloseWrite();
}

}  // namespace tarnwick
