// The three shortening services on loopback, as a responder over RawServer. Clients reach it as
// their HTTP proxy (http_proxy=ProxyAddress()), so requests arrive in absolute form, e.g.
// "GET http://<host>/api.php?... HTTP/1.1", and every host name of ours resolves to it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/raw_server.h"

namespace tarnwick {

class ProviderSimulator {
  public:
    // kNeverAnswer: the shortening request is read and then held until released, or until the
    // client closes it. kEndlessHome: the home page's body never ends, and names no length.
    enum class Failure { kNone, kNeverAnswer, kEndlessHome };

    // The home page sets kHomeCookie, the shortening answer kAnswerCookie.
    static constexpr std::string_view kHomeCookie = "SID=7f3a";
    static constexpr std::string_view kAnswerCookie = "last=ok";
    // The link the service hands out for an address (the bytes it decoded): one of its own
    // (loopback address and port), whose GET answers with a redirect to the address.
    std::string ShortLinkFor(std::string_view host, std::string_view address) const;

    ProviderSimulator();
    ~ProviderSimulator();  // ends held requests without an answer
    ProviderSimulator(const ProviderSimulator&) = delete;
    ProviderSimulator& operator=(const ProviderSimulator&) = delete;

    std::string ProxyAddress() const { return server_.Url(""); }
    void SetFailure(std::string_view host, Failure failure);
    // Ends every held request: closed without a byte, or given the answer it would have had.
    void ReleaseHeldRequests(bool answer = false);

    // The raw requests, in the order they were read.
    std::vector<std::string> Requests() const { return server_.Requests(); }
    std::size_t HeldCount() const;
    // Waits up to 30 s until at least count requests are held.
    bool WaitUntilHeld(std::size_t count) const;
    // Waits up to ms until the clients have closed at least count held requests.
    bool WaitUntilClientsClosed(std::size_t count, int ms) const;

  private:
    void Respond(test::Connection& connection, const std::string& request);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::string, Failure> failures_;       // by host
    std::map<std::string, std::string> addresses_;  // by the link handed out for them
    std::size_t held_ = 0;
    std::size_t closedByClient_ = 0;
    std::size_t released_ = 0;  // releases so far; a held request waits for the next one
    bool answerReleased_ = false;
    bool closing_ = false;
    test::RawServer server_;  // last: its threads stop before the rest goes
};

}  // namespace tarnwick
