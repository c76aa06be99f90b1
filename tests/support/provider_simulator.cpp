#include "tests/support/provider_simulator.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <stdexcept>

#include "shorten/hosts.h"

namespace tarnwick {
namespace {

using Failure = ProviderSimulator::Failure;
using Stage = ProviderSimulator::Stage;
using namespace std::chrono_literals;

// The hosts this build of the tool was given.
constexpr std::array<std::string_view, 3> kHosts = {
    TARNWICK_PROVIDER1_HOST, TARNWICK_PROVIDER2_HOST, TARNWICK_PROVIDER3_HOST};

// Form decoding as a PHP service does it: "+" is a space, "%XX" a byte.
std::string FormDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* digits = text.data() + i + 1;
        unsigned byte = 0;
        if (text[i] == '%' && i + 2 < text.size() &&
            std::from_chars(digits, digits + 2, byte, 16).ptr == digits + 2) {
            out += static_cast<char>(byte);
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

// Base64 with "+", "/" and "=" as sent; the tests compare what comes out.
std::string Base64Decode(std::string_view text) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t group = 0;
    int bits = 0;
    for (const char c : text) {
        const std::size_t value = kAlphabet.find(c);
        if (value == std::string_view::npos) {
            continue;  // the "=" padding
        }
        group = (group << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return out;
}

std::string Response(std::string_view status, std::string_view headers, std::string_view body) {
    return "HTTP/1.1 " + std::string(status) + "\r\nServer: provider-simulator\r\n" +
           std::string(headers) + "Content-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + std::string(body);
}

// text where the service puts its link: JSON with escaped slashes for 1 and 3, a line for 2.
std::string InAnswerFormat(int provider, std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        escaped += c == '/' ? "\\/" : std::string(1, c);
    }
    if (provider == 1) {
        return R"({"code":0,"short_url":")" + escaped + "\"}";
    }
    return provider == 3 ? R"({"status":1,"tinyurl":")" + escaped + "\"}"
                         : std::string(text) + "\n";
}

std::string FailureAnswer(Failure failure, int provider, std::string_view host) {
    const std::string help = "http://" + std::string(host) + "/help";
    switch (failure) {
        case Failure::kErrorJson:
            return Response("200 OK", "", InAnswerFormat(provider, "invalid url, see " + help));
        case Failure::kHtmlErrorPage:
            return Response("200 OK", "Content-Type: text/html\r\n",
                            "<html><body><p>Please try again later: <a href=\"" + help + "\">" +
                                help + "</a></p></body></html>\n");
        case Failure::kEmptyBody:
            return Response("200 OK", "", "");
        default:
            return Response("500 Internal Server Error", "Content-Type: text/html\r\n",
                            "<html><h1>500 Internal Server Error</h1></html>\n");
    }
}

// The shortening interface of each provider: where the address is and how it is decoded.
std::optional<std::string> DecodedAddress(int provider, const RecordedRequest& request,
                                          std::string_view path) {
    constexpr std::string_view kBefore1 = "/api.php?from=w&url=", kAfter1 = "&site=sina";
    constexpr std::string_view kBefore2 = "/api.php?url=";
    if (request.method != (provider == 3 ? "POST" : "GET")) {
        return std::nullopt;
    }
    if (provider == 1 && path.starts_with(kBefore1) && path.ends_with(kAfter1) &&
        path.size() >= kBefore1.size() + kAfter1.size()) {
        return Base64Decode(
            path.substr(kBefore1.size(), path.size() - kBefore1.size() - kAfter1.size()));
    }
    if (provider == 2 && path.starts_with(kBefore2)) {
        return std::string(path.substr(kBefore2.size()));
    }
    if (provider == 3 && path == "/index.php?m=index&a=create" &&
        request.body.starts_with("url=")) {
        return FormDecode(std::string_view(request.body).substr(4, request.body.find('&') - 4));
    }
    return std::nullopt;
}

RecordedRequest ParseHead(std::string_view head) {
    RecordedRequest request;
    std::size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const std::size_t space = requestLine.find(' ');
    request.method = requestLine.substr(0, space);
    request.target = requestLine.substr(space + 1, requestLine.rfind(' ') - space - 1);
    while (lineEnd != std::string_view::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        request.headerLines.emplace_back(head.substr(start, lineEnd - start));
    }
    const std::string_view target = request.target;
    if (target.starts_with("http://")) {
        request.host = target.substr(7, std::min(target.find_first_of(":/", 7), target.size()) - 7);
    }
    return request;
}

// One whole request; nothing when the client goes away or keeps quiet, or the simulator stops.
std::optional<RecordedRequest> ReadRequest(const test::Socket& client,
                                           const test::StopSignal& stop) {
    std::string input;
    char buffer[16384];
    while (client.Valid() &&
           test::WaitReadable(client.Fd(), stop, 10s) == test::WaitResult::kReady) {
        const ssize_t got = ::recv(client.Fd(), buffer, sizeof(buffer), 0);
        if (got <= 0) {
            break;
        }
        input.append(buffer, static_cast<std::size_t>(got));
        if (const std::size_t headEnd = input.find("\r\n\r\n"); headEnd != std::string::npos) {
            RecordedRequest request = ParseHead(std::string_view(input).substr(0, headEnd));
            request.body = input.substr(headEnd + 4);
            const std::string length = request.Header("Content-Length").value_or("0");
            if (request.body.size() >= std::strtoul(length.c_str(), nullptr, 10)) {
                return request;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
    for (const std::string& line : headerLines) {
        if (line.starts_with(name) && line.size() > name.size() && line[name.size()] == ':') {
            return line.substr(
                std::min(line.find_first_not_of(" \t", name.size() + 1), line.size()));
        }
    }
    return std::nullopt;
}

std::string ProviderSimulator::HomePageCookies(std::string_view host) {
    return "SID=" + std::string(host.substr(0, 1)) + "-7f3a; visit=1";
}

// Under a name of its own, so that a link seen in the window can never be taken for a real one.
std::string ProviderSimulator::ShortLinkFor(std::string_view host, std::string_view address) {
    return "http://stand-in.example/" + std::string(host) + "/s" +
           std::to_string(std::hash<std::string_view>{}(address) % 1000000007u);
}

ProviderSimulator::ProviderSimulator() : listen_(test::ListenOnLoopback()) {
    // Non-blocking, so that a client gone before accept cannot hold up the stop.
    if (!listen_.Valid() || ::fcntl(listen_.Fd(), F_SETFL, O_NONBLOCK) != 0) {
        throw std::runtime_error("provider simulator: no loopback socket");
    }
    thread_ = std::thread([this] { Serve(); });
}

ProviderSimulator::~ProviderSimulator() {
    stop_.Raise();
    thread_.join();
}

std::string ProviderSimulator::ProxyAddress() const {
    return "http://127.0.0.1:" + std::to_string(test::LocalPort(listen_));
}

void ProviderSimulator::SetFailure(std::string_view host, Failure failure, Stage stage) {
    std::lock_guard lock(mutex_);
    failures_[{std::string(host), stage}] = failure;
}

void ProviderSimulator::ReleaseHeldRequests(bool answer) {
    std::vector<std::pair<test::Socket, std::string>> held;
    {
        std::lock_guard lock(mutex_);
        held.swap(held_);
    }
    for (auto& [client, response] : held) {
        if (answer) {
            test::SendAll(client.Fd(), response);
        }
    }
}

std::vector<RecordedRequest> ProviderSimulator::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool ProviderSimulator::WaitForRequests(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return recorded_.wait_for(lock, 30s, [&] { return requests_.size() >= count; });
}

std::size_t ProviderSimulator::HeldCount() const {
    std::lock_guard lock(mutex_);
    return held_.size();
}

std::string ProviderSimulator::Answer(RecordedRequest request, test::Socket& client) {
    const auto known = std::find(kHosts.begin(), kHosts.end(), request.host);
    const int provider = known == kHosts.end() ? 0 : static_cast<int>(known - kHosts.begin()) + 1;
    const std::string_view target = request.target;
    const std::string_view path = target.substr(std::min(target.find('/', 7), target.size()));
    const bool home = provider != 0 && path == "/";
    if (std::optional<std::string> address = DecodedAddress(provider, request, path)) {
        request.shortening = true;
        request.address = *address;
    }
    std::string answer =
        home ? Response("200 OK",
                        "Set-Cookie: SID=" + request.host.substr(0, 1) +
                            "-7f3a; path=/; HttpOnly\r\nSet-Cookie: visit=1; Max-Age=3600\r\n",
                        "<html><body>Make it short.</body></html>\n")
             : Response("200 OK", "Set-Cookie: " + std::string(kAnswerCookie) + "; path=/\r\n",
                        InAnswerFormat(provider, ShortLinkFor(request.host, request.address)));

    std::lock_guard lock(mutex_);
    const auto set = failures_.find({request.host, home ? Stage::kHomePage : Stage::kShortening});
    Failure failure = set == failures_.end() ? Failure::kNone : set->second;
    if (!home && request.address.empty() && failure == Failure::kNone) {
        failure = Failure::kErrorJson;  // no address, or not the shortening interface
    }
    if (failure == Failure::kNeverAnswer) {
        held_.emplace_back(std::move(client), std::move(answer));
        answer.clear();
    } else if (failure != Failure::kNone) {
        answer = FailureAnswer(failure, provider, request.host);
    }
    requests_.push_back(std::move(request));
    recorded_.notify_all();
    return answer;
}

// One connection at a time: clients send their request as soon as they connect, and a held
// request is parked so that the next one is served.
void ProviderSimulator::Serve() {
    while (test::WaitReadable(listen_.Fd(), stop_, -1ms) == test::WaitResult::kReady) {
        test::Socket client(::accept4(listen_.Fd(), nullptr, nullptr, SOCK_CLOEXEC));
        if (std::optional<RecordedRequest> request = ReadRequest(client, stop_)) {
            const std::string answer = Answer(std::move(*request), client);
            if (!answer.empty()) {
                test::SendAll(client.Fd(), answer);
            }
        }
    }
}

}  // namespace tarnwick
