#include "tests/support/provider_simulator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>

#include "shorten/hosts.h"
#include "tests/support/base64_decode.h"
#include "tests/support/compress.h"
#include "text/find.h"

namespace tarnwick {
namespace {

// The hosts this build of the tool was given.
constexpr std::array<std::string_view, 3> kHosts = {
    TARNWICK_PROVIDER1_HOST, TARNWICK_PROVIDER2_HOST, TARNWICK_PROVIDER3_HOST};

// The long address as provider p decodes its "url=" value: Base64 with "+", "/" and "=" as
// sent (1), the bytes as typed (2), every byte as "%XX" (3). An address holds no zero byte.
std::string DecodedAddress(int provider, const std::string& value) {
    if (provider == 1) {
        return test::DecodeBase64(value);
    }
    std::string out;
    for (std::size_t i = 0; provider == 3 && i + 3 <= value.size(); i += 3) {
        out += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
    }
    return provider == 2 ? value : out;
}

// A body that never ends, as fast as the client takes it, until it closes.
void SendEndlessBody(test::Connection& connection) {
    const std::string page(std::size_t{64} * 1024, 'x');
    if (connection.Send("HTTP/1.1 200 OK\r\nSet-Cookie: SID=endless\r\n\r\n")) {
        while (connection.Send(page)) {
        }
    }
    connection.CloseWrite();
}

}  // namespace

std::string ProviderSimulator::ShortLinkFor(std::string_view host, std::string_view address) const {
    return server_.Url("/") + std::string(host) + "/s" +
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

void ProviderSimulator::SetFailure(std::string_view host, Failure failure) {
    const std::lock_guard lock(mutex_);
    failures_[std::string(host)] = failure;
}

void ProviderSimulator::ReleaseHeldRequests(bool answer) {
    const std::lock_guard lock(mutex_);
    ++released_;
    answerReleased_ = answer;
    changed_.notify_all();
}

std::size_t ProviderSimulator::HeldCount() const {
    const std::lock_guard lock(mutex_);
    return held_;
}

bool ProviderSimulator::WaitUntilHeld(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return held_ >= count; });
}

bool ProviderSimulator::WaitUntilClientsClosed(std::size_t count, int ms) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                             [&] { return closedByClient_ >= count; });
}

// Runs on the connection's own thread, so a held request simply waits here.
void ProviderSimulator::Respond(test::Connection& connection, const std::string& request) {
    // A link handed out, followed straight here ("GET /host/sNNN HTTP/1.1", or HEAD).
    if (const std::size_t at = request.find(' ') + 1; request.compare(at, 1, "/") == 0) {
        const std::lock_guard lock(mutex_);
        const auto found =
            addresses_.find(server_.Url(request.substr(at, request.find(' ', at) - at)));
        connection.Send(
            found == addresses_.end()
                ? "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"
                : "HTTP/1.1 302 Found\r\nLocation: " + found->second +
                      "\r\nConnection: close\r\n\r\n");
        connection.CloseWrite();
        return;
    }
    // "METHOD http://host/path HTTP/1.1"; the address is in the query, or in the form body.
    const std::size_t hostAt = request.find("://") + 3;
    const std::size_t pathAt = request.find('/', hostAt);
    std::string host = request.substr(hostAt, pathAt - hostAt);
    // The system object of Windows names the default port in what it asks a proxy for.
    if (host.ends_with(":80")) {
        host.resize(host.size() - 3);
    }
    const int provider =
        static_cast<int>(std::find(kHosts.begin(), kHosts.end(), host) - kHosts.begin()) + 1;
    const bool home = request.compare(pathAt, 2, "/ ") == 0;
    const std::size_t valueAt = std::min(request.find("url="), request.size() - 4) + 4;
    const std::size_t valueEnd = request.find(provider == 2 ? ' ' : '&', valueAt);
    // Each answer ends its connection, and says so: a client that kept the connection for its
    // next request would race the close.
    const std::string cookie = "Set-Cookie: " + std::string(home ? kHomeCookie : kAnswerCookie) +
                               "; path=/\r\nConnection: close\r\n";
    // The link where the service puts it: JSON with escaped slashes for 1 and 3, a line for 2.
    const std::string address =
        DecodedAddress(provider, request.substr(valueAt, valueEnd - valueAt));
    const std::string link = ShortLinkFor(host, address);
    const std::string json =
        (provider == 1 ? R"({"code":0,"short_url":")" : R"({"status":1,"tinyurl":")") +
        TextReplace(link, "/", "\\/") + "\"}";
    const std::string body = home            ? "<html>Make it short.</html>\n"
                             : provider == 2 ? link + "\n"
                                             : json;
    // Provider 1 asks for a compressed answer, and a service that honours it sends one.
    std::string answer =
        provider == 1 && !home && request.find("Accept-Encoding: gzip") != std::string::npos
            ? test::OkResponse(test::Compress(body), cookie + "Content-Encoding: gzip\r\n")
            : test::OkResponse(body, cookie);

    std::unique_lock lock(mutex_);
    addresses_[link] = address;
    const Failure failure = failures_[host];
    if (home && failure == Failure::kEndlessHome) {
        lock.unlock();
        SendEndlessBody(connection);
        return;
    }
    if (!home && failure == Failure::kNeverAnswer) {
        ++held_;
        changed_.notify_all();
        const std::size_t release = released_;
        while (released_ == release && !closing_) {
            lock.unlock();
            const bool closed = connection.PeerClosedWithin(10);
            lock.lock();
            if (closed) {
                ++closedByClient_;
                changed_.notify_all();
                break;
            }
        }
        --held_;
        if (closing_ || !answerReleased_) {
            answer.clear();
        }
    }
    lock.unlock();
    connection.Send(answer);
    connection.CloseWrite();
}

}  // namespace tarnwick
