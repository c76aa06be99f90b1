#include "tests/support/provider_simulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <list>
#include <stdexcept>

namespace tarnwick {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

namespace {

using Failure = ProviderSimulator::Failure;
using Stage = ProviderSimulator::Stage;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Form decoding as a PHP service does it: "+" is a space, "%XX" a byte.
std::string FormDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                   HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Strict Base64: std::nullopt for anything a decoder would refuse.
std::optional<std::string> Base64Decode(std::string_view text) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out;
    std::uint32_t group = 0;
    int bits = 0;
    std::size_t padding = 0;
    for (const char c : text) {
        if (c == '=') {
            ++padding;
            continue;
        }
        const std::size_t value = kAlphabet.find(c);
        if (value == std::string_view::npos || padding > 0) {
            return std::nullopt;
        }
        group = (group << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    if (padding > 2) {
        return std::nullopt;
    }
    return out;
}

std::string FirstLabel(std::string_view host) {
    return std::string(host.substr(0, host.find('.')));
}

std::string JsonEscapedSlashes(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '/') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

std::string Response(std::string_view statusLine, std::string_view contentType,
                     const std::vector<std::string>& cookies, std::string_view body) {
    std::string out = "HTTP/1.1 ";
    out += statusLine;
    out += "\r\nServer: provider-simulator\r\n";
    if (!contentType.empty()) {
        out += "Content-Type: ";
        out += contentType;
        out += "\r\n";
    }
    for (const std::string& cookie : cookies) {
        out += "Set-Cookie: " + cookie + "\r\n";
    }
    out += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    out += body;
    return out;
}

int ProviderNumber(std::string_view host) {
    if (host == "a.test") {
        return 1;
    }
    if (host == "b.test") {
        return 2;
    }
    if (host == "c.test") {
        return 3;
    }
    return 0;
}

std::string FailureAnswer(Failure failure, int provider, std::string_view host) {
    const std::string help = "http://" + std::string(host) + "/help";
    switch (failure) {
        case Failure::kErrorJson:
            if (provider == 1) {
                return Response("200 OK", "application/json", {},
                                R"({"code":1,"short_url":"invalid url, see )" +
                                    JsonEscapedSlashes(help) + "\"}");
            }
            if (provider == 3) {
                return Response(
                    "200 OK", "application/json", {},
                    R"({"status":0,"tinyurl":"error: see )" + JsonEscapedSlashes(help) + "\"}");
            }
            return Response("200 OK", "text/plain", {}, "error: invalid url, see " + help);
        case Failure::kHtmlErrorPage:
            return Response(
                "200 OK", "text/html", {},
                "<!DOCTYPE html>\n<html><head><title>Busy</title></head><body><p>Please "
                "try again later: <a href=\"" +
                    help + "\">" + help + "</a></p></body></html>\n");
        case Failure::kEmptyBody:
            return Response("200 OK", "text/html", {}, "");
        case Failure::kStatus500:
            return Response("500 Internal Server Error", "text/html", {},
                            "<html><body><h1>500 Internal Server Error</h1></body></html>\n");
        case Failure::kNone:
        case Failure::kNeverAnswer:
            break;
    }
    return {};
}

// The shortening interface of each provider: where the address is and how it is decoded.
std::optional<std::string> DecodedAddress(int provider, const RecordedRequest& request) {
    const std::string& path = request.pathAndQuery;
    if (provider == 1 && request.method == "GET") {
        constexpr std::string_view kBefore = "/api.php?from=w&url=";
        constexpr std::string_view kAfter = "&site=sina";
        if (path.starts_with(kBefore) && path.ends_with(kAfter) &&
            path.size() >= kBefore.size() + kAfter.size()) {
            return Base64Decode(std::string_view(path).substr(
                kBefore.size(), path.size() - kBefore.size() - kAfter.size()));
        }
    } else if (provider == 2 && request.method == "GET") {
        constexpr std::string_view kBefore = "/api.php?url=";
        if (path.starts_with(kBefore)) {
            return path.substr(kBefore.size());
        }
    } else if (provider == 3 && request.method == "POST" && path == "/index.php?m=index&a=create") {
        constexpr std::string_view kBefore = "url=";
        const std::size_t end = request.body.find('&');
        if (request.body.starts_with(kBefore)) {
            return FormDecode(std::string_view(request.body)
                                  .substr(kBefore.size(), end == std::string::npos
                                                              ? std::string::npos
                                                              : end - kBefore.size()));
        }
    }
    return std::nullopt;
}

std::string ShorteningAnswer(int provider, std::string_view host, std::string_view address) {
    const std::vector<std::string> cookies = {std::string(ProviderSimulator::kAnswerCookie) +
                                              "; path=/"};
    if (address.empty()) {
        return FailureAnswer(Failure::kErrorJson, provider, host);
    }
    const std::string link = ProviderSimulator::ShortLinkFor(host, address);
    if (provider == 1) {
        return Response("200 OK", "application/json", cookies,
                        R"({"code":0,"short_url":")" + JsonEscapedSlashes(link) + "\"}");
    }
    if (provider == 3) {
        return Response("200 OK", "application/json", cookies,
                        R"({"status":1,"tinyurl":")" + JsonEscapedSlashes(link) + "\"}");
    }
    // Plain-text answers end with a line break, as such scripts print them.
    return Response("200 OK", "text/plain", cookies, link + "\n");
}

std::string HomePage(std::string_view host) {
    return Response(
        "200 OK", "text/html; charset=gbk",
        {"SID=" + FirstLabel(host) + "-7f3a; path=/; HttpOnly", "visit=1; Max-Age=3600; path=/"},
        "<html><head><title>" + std::string(host) +
            "</title></head><body>Make it short.</body></html>\n");
}

// Splits the request head; false when it is not HTTP.
bool ParseHead(std::string_view head, RecordedRequest& request) {
    std::size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const std::size_t space1 = requestLine.find(' ');
    const std::size_t space2 = requestLine.rfind(' ');
    if (space1 == std::string_view::npos || space2 == space1) {
        return false;
    }
    request.method = requestLine.substr(0, space1);
    request.target = requestLine.substr(space1 + 1, space2 - space1 - 1);
    while (lineEnd != std::string_view::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line = head.substr(start, lineEnd - start);
        if (!line.empty()) {
            request.headerLines.emplace_back(line);
        }
    }
    constexpr std::string_view kScheme = "http://";
    if (request.target.starts_with(kScheme)) {
        const std::size_t slash = request.target.find('/', kScheme.size());
        request.host = request.target.substr(kScheme.size(), slash == std::string::npos
                                                                 ? std::string::npos
                                                                 : slash - kScheme.size());
        request.pathAndQuery = slash == std::string::npos ? "/" : request.target.substr(slash);
    } else {
        request.host = request.Header("Host").value_or("");
        request.pathAndQuery = request.target;
    }
    if (const std::size_t colon = request.host.find(':'); colon != std::string::npos) {
        request.host.resize(colon);
    }
    return true;
}

std::optional<std::size_t> ContentLength(const RecordedRequest& request) {
    const std::optional<std::string> value = request.Header("Content-Length");
    if (!value) {
        return 0;
    }
    try {
        return static_cast<std::size_t>(std::stoull(*value));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
    for (const std::string& line : headerLines) {
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && EqualsIgnoringCase(line.substr(0, colon), name)) {
            const std::size_t value = line.find_first_not_of(" \t", colon + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
    }
    return std::nullopt;
}

std::string ProviderSimulator::HomePageCookies(std::string_view host) {
    return "SID=" + FirstLabel(host) + "-7f3a; visit=1";
}

std::string ProviderSimulator::ShortLinkFor(std::string_view host, std::string_view address) {
    // FNV-1a, written out in base 62: stable across runs, different for different addresses.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : address) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    static constexpr std::string_view kDigits =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string code;
    for (int i = 0; i < 7; ++i) {
        code += kDigits[hash % kDigits.size()];
        hash /= kDigits.size();
    }
    return "http://" + std::string(host) + "/" + code;
}

struct ProviderSimulator::Connection {
    UniqueFd fd;
    std::string input;
    std::string output;
    std::size_t sent = 0;
    bool answered = false;  // a request was read; later input is ignored
    bool held = false;
    std::string heldAnswer;
};

ProviderSimulator::ProviderSimulator() {
    listen_ = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int pipeFds[2] = {-1, -1};
    if (listen_.Get() < 0 ||
        ::bind(listen_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listen_.Get(), 128) != 0 ||
        ::getsockname(listen_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw std::runtime_error("provider simulator: no loopback socket");
    }
    wakeRead_ = UniqueFd(pipeFds[0]);
    wakeWrite_ = UniqueFd(pipeFds[1]);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

ProviderSimulator::~ProviderSimulator() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    Wake();
    thread_.join();
}

std::string ProviderSimulator::ProxyAddress() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void ProviderSimulator::SetFailure(std::string_view host, Failure failure, Stage stage) {
    std::lock_guard lock(mutex_);
    failures_[{std::string(host), stage}] = failure;
}

void ProviderSimulator::ReleaseHeldRequests(bool answer) {
    {
        std::lock_guard lock(mutex_);
        releases_.push_back(answer);
    }
    Wake();
}

std::vector<RecordedRequest> ProviderSimulator::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool ProviderSimulator::WaitForRequests(std::size_t count,
                                        std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return recorded_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

std::size_t ProviderSimulator::HeldCount() const {
    std::lock_guard lock(mutex_);
    return held_;
}

void ProviderSimulator::Wake() {
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost.
    [[maybe_unused]] const auto written = ::write(wakeWrite_.Get(), &byte, 1);
}

void ProviderSimulator::HandleRequest(Connection& connection, std::size_t headerEnd,
                                      std::size_t bodyLength) {
    RecordedRequest request;
    ParseHead(std::string_view(connection.input).substr(0, headerEnd), request);
    request.raw = connection.input.substr(0, headerEnd + 4 + bodyLength);
    request.body = connection.input.substr(headerEnd + 4, bodyLength);
    connection.answered = true;

    const int provider = ProviderNumber(request.host);
    std::string answer;
    Stage stage = Stage::kShortening;
    if (provider == 0) {
        answer = Response("502 Bad Gateway", "text/plain", {}, "unknown host\n");
    } else if (request.method == "GET" && request.pathAndQuery == "/") {
        stage = Stage::kHomePage;
        answer = HomePage(request.host);
    } else if (std::optional<std::string> address = DecodedAddress(provider, request)) {
        request.shortening = true;
        request.address = *address;
        answer = ShorteningAnswer(provider, request.host, *address);
    } else if (request.pathAndQuery.starts_with("/api.php") ||
               request.pathAndQuery.starts_with("/index.php")) {
        answer = FailureAnswer(Failure::kErrorJson, provider, request.host);
    } else {
        answer = Response("404 Not Found", "text/html", {}, "<html>not found</html>\n");
    }

    std::lock_guard lock(mutex_);
    Failure failure = Failure::kNone;
    if (provider != 0) {
        if (auto it = failures_.find({request.host, stage}); it != failures_.end()) {
            failure = it->second;
        }
    }
    if (failure == Failure::kNeverAnswer) {
        connection.held = true;
        connection.heldAnswer = std::move(answer);
        ++held_;
    } else if (failure != Failure::kNone) {
        connection.output = FailureAnswer(failure, provider, request.host);
    } else {
        connection.output = std::move(answer);
    }
    requests_.push_back(std::move(request));
    recorded_.notify_all();
}

void ProviderSimulator::Serve() {
    std::list<Connection> connections;
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({wakeRead_.Get(), POLLIN, 0});
        fds.push_back({listen_.Get(), POLLIN, 0});
        for (const Connection& c : connections) {
            const bool writing = c.sent < c.output.size();
            fds.push_back({c.fd.Get(), static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return;
        }

        if (fds[0].revents != 0) {
            char drain[64];
            while (::read(wakeRead_.Get(), drain, sizeof(drain)) > 0) {
            }
            std::vector<bool> releases;
            {
                std::lock_guard lock(mutex_);
                if (stop_) {
                    held_ = 0;
                    return;
                }
                releases.swap(releases_);
            }
            for (const bool answer : releases) {
                for (auto it = connections.begin(); it != connections.end();) {
                    if (!it->held) {
                        ++it;
                        continue;
                    }
                    {
                        std::lock_guard lock(mutex_);
                        --held_;
                    }
                    if (answer) {
                        it->held = false;
                        it->output = std::move(it->heldAnswer);
                        ++it;
                    } else {
                        it = connections.erase(it);
                    }
                }
            }
        }

        // Connections accepted below are polled from the next round on.
        std::size_t index = 2;
        for (auto it = connections.begin(); it != connections.end(); ++index) {
            Connection& c = *it;
            const short revents = fds[index].revents;
            bool close = false;
            if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                char buffer[16384];
                const ssize_t n = ::recv(c.fd.Get(), buffer, sizeof(buffer), 0);
                if (n > 0 && !c.answered) {
                    c.input.append(buffer, static_cast<std::size_t>(n));
                    const std::size_t headerEnd = c.input.find("\r\n\r\n");
                    if (headerEnd != std::string::npos) {
                        RecordedRequest head;
                        ParseHead(std::string_view(c.input).substr(0, headerEnd), head);
                        const std::optional<std::size_t> length = ContentLength(head);
                        if (!length) {
                            close = true;
                        } else if (c.input.size() >= headerEnd + 4 + *length) {
                            HandleRequest(c, headerEnd, *length);
                        }
                    }
                } else if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                    close = true;  // the client gave up
                }
            }
            if (!close && (revents & POLLOUT) != 0 && c.sent < c.output.size()) {
                const ssize_t n = ::send(c.fd.Get(), c.output.data() + c.sent,
                                         c.output.size() - c.sent, MSG_NOSIGNAL);
                if (n > 0) {
                    c.sent += static_cast<std::size_t>(n);
                    close = c.sent == c.output.size();
                } else if (errno != EAGAIN && errno != EINTR) {
                    close = true;
                }
            }
            if (close) {
                if (c.held) {
                    std::lock_guard lock(mutex_);
                    --held_;
                }
                it = connections.erase(it);
            } else {
                ++it;
            }
        }

        if ((fds[1].revents & POLLIN) != 0) {
            for (;;) {
                const int fd =
                    ::accept4(listen_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) {
                    break;
                }
                connections.push_back(Connection{UniqueFd(fd), {}, {}, 0, false, false, {}});
            }
        }
    }
}

}  // namespace tarnwick
