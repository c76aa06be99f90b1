// The three shortening services on loopback. Clients reach it as their HTTP proxy
// (http_proxy=ProxyAddress()), so requests arrive in absolute form, e.g.
// "GET http://a.test/api.php?... HTTP/1.1", and every host name of ours resolves to it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace tarnwick {

// A file descriptor that closes itself.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();
    int Get() const { return fd_; }
    int Release();

  private:
    int fd_ = -1;
};

struct RecordedRequest {
    std::string raw;  // every byte as received
    std::string method;
    std::string target;  // as in the request line
    std::string host;
    std::string pathAndQuery;
    std::vector<std::string> headerLines;  // in order, without their line ends
    std::string body;
    bool shortening = false;  // a shortening request rather than a home-page visit
    std::string address;      // the long address as the service decoded it (shortening only)

    // The value of the first header of that name (any case), with its leading blanks removed.
    std::optional<std::string> Header(std::string_view name) const;
};

class ProviderSimulator {
  public:
    // The ways a real service lets a client down.
    enum class Failure {
        kNone,
        kErrorJson,      // an error message where the link belongs, mentioning a help address
        kHtmlErrorPage,  // status 200 with an HTML page that holds a link
        kEmptyBody,
        kStatus500,
        kNeverAnswer,  // the request is read and then held until released
    };
    enum class Stage { kHomePage, kShortening };

    // The home page sets this cookie pair; the shortening answer sets kAnswerCookie.
    static std::string HomePageCookies(std::string_view host);
    static constexpr std::string_view kAnswerCookie = "last=ok";
    // The link the service hands out for an address (decoded bytes).
    static std::string ShortLinkFor(std::string_view host, std::string_view address);

    ProviderSimulator();
    ~ProviderSimulator();  // closes every connection, held ones included
    ProviderSimulator(const ProviderSimulator&) = delete;
    ProviderSimulator& operator=(const ProviderSimulator&) = delete;

    int Port() const { return port_; }
    std::string ProxyAddress() const;

    void SetFailure(std::string_view host, Failure failure, Stage stage = Stage::kShortening);
    // Ends every held request: closed without a byte, or given the answer it would have had.
    void ReleaseHeldRequests(bool answer = false);

    std::vector<RecordedRequest> Requests() const;
    // Waits until at least count requests have been recorded; false on time-out.
    bool WaitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    std::size_t HeldCount() const;

  private:
    struct Connection;
    void Serve();
    void HandleRequest(Connection& connection, std::size_t headerEnd, std::size_t bodyLength);
    void Wake();

    int port_ = 0;
    UniqueFd listen_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;

    mutable std::mutex mutex_;
    mutable std::condition_variable recorded_;
    std::vector<RecordedRequest> requests_;
    std::map<std::pair<std::string, Stage>, Failure> failures_;
    bool stop_ = false;
    std::vector<bool> releases_;  // in order: true answers the held requests, false closes them
    std::size_t held_ = 0;

    std::thread thread_;
};

}  // namespace tarnwick
