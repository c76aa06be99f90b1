// A job against a service that misbehaves, on the platform's own request object (libcurl's, or
// the system's under Wine), with the provider simulator as the proxy that the environment
// names. A program of its own: Wine reads the proxy variable once, at a process's first request.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "shorten/hosts.h"
#include "shorten/shorten_job.h"
#include "tests/support/fake_shorten_host.h"
#include "tests/support/provider_simulator.h"

namespace tarnwick {
namespace {

using Sim = ProviderSimulator;
using Clock = std::chrono::steady_clock;

#ifdef _WIN32
constexpr bool kObjectClosesAbortedSocket = false;
#else
constexpr bool kObjectClosesAbortedSocket = true;
#endif

// A home page whose body never ends is given up, within bounded memory, and the job still gets
// its link; a job superseded while its service holds the answer gives up its transfer at once.
TEST(ShortenJobs, EndlessHomePageAndSupersededTransfer) {
    Sim simulator;
    static std::string proxyVariable;
    proxyVariable = "http_proxy=" + simulator.ProxyAddress();
    ::putenv(proxyVariable.data());  // NOLINT(concurrency-mt-unsafe): no other thread runs yet
    const std::string first = TARNWICK_PROVIDER1_HOST;
    const std::string third = TARNWICK_PROVIDER3_HOST;
    const std::string address = "http://example.test/long";

    simulator.SetFailure(first, Sim::Failure::kEndlessHome);
    FakeShortenHost host;
    host.SetLongLink(address);
    const Clock::time_point started = Clock::now();
    const ShortenJob job = ShortenVia(ShortLinkProvider::kProvider1, host, &WebRequest);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(30));
    EXPECT_TRUE(job.succeeded);
    EXPECT_EQ(job.answerText, simulator.ShortLinkFor(first, address));
    EXPECT_EQ(job.providerCookies, Sim::kAnswerCookie);

    simulator.SetFailure(first, Sim::Failure::kNone);
    simulator.SetFailure(third, Sim::Failure::kNeverAnswer);
    ShortenJobs jobs(&WebRequest, [](std::function<void()> routine) {
        std::thread(std::move(routine)).detach();
        return true;
    });
    host.provider = 3;
    jobs.OnGenerateClicked(host);
    ASSERT_TRUE(simulator.WaitUntilHeld(1));
    host.provider = 1;
    const Clock::time_point superseded = Clock::now();
    jobs.OnGenerateClicked(host);
    ASSERT_TRUE(host.WaitForTasks(2));  // the threads are done with the host before it goes
    // Wine's object aborts at once but ends its wait only at the end of the second it waits in,
    // and keeps the socket until its own pending read gives up; libcurl closes it at once.
    EXPECT_LT(Clock::now() - superseded,
              std::chrono::milliseconds(kObjectClosesAbortedSocket ? 1000 : 1500));
    if (kObjectClosesAbortedSocket) {
        EXPECT_TRUE(simulator.WaitUntilClientsClosed(1, 1000));
    }
    EXPECT_EQ(host.shortLink, simulator.ShortLinkFor(first, address));
}

}  // namespace
}  // namespace tarnwick
