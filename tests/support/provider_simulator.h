// The three shortening services on loopback. Clients reach it as their HTTP proxy
// (http_proxy=ProxyAddress()), so requests arrive in absolute form, e.g.
// "GET http://a.test/api.php?... HTTP/1.1", and every host name of ours resolves to it.
#pragma once

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

#include "tests/support/socket.h"

namespace tarnwick {

struct RecordedRequest {
    std::string method;
    std::string target;  // as in the request line
    std::string host;
    std::vector<std::string> headerLines;  // in order, without their line ends
    std::string body;
    bool shortening = false;  // a shortening request rather than a home-page visit
    std::string address;      // the long address as the service decoded it (shortening only)

    // The value of the first header of that name (as spelled), without its leading blanks.
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

    std::string ProxyAddress() const;
    void SetFailure(std::string_view host, Failure failure, Stage stage = Stage::kShortening);
    // Ends every held request: closed without a byte, or given the answer it would have had.
    void ReleaseHeldRequests(bool answer = false);

    std::vector<RecordedRequest> Requests() const;
    // Waits up to 30 s until at least count requests have been recorded.
    bool WaitForRequests(std::size_t count) const;
    std::size_t HeldCount() const;

  private:
    void Serve();
    // The answer to one request, recorded; empty when the request is to be held.
    std::string Answer(RecordedRequest request, test::Socket& client);

    test::Socket listen_;
    test::StopSignal stop_;
    mutable std::mutex mutex_;
    mutable std::condition_variable recorded_;
    std::vector<RecordedRequest> requests_;
    std::map<std::pair<std::string, Stage>, Failure> failures_;
    std::vector<std::pair<test::Socket, std::string>> held_;  // with the answers they would get
    std::thread thread_;
};

}  // namespace tarnwick
