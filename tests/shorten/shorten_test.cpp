// The shortening jobs' link rules and the worker threads, on every system.
#include <gtest/gtest.h>

#include <chrono>
#include <latch>
#include <semaphore>
#include <string_view>
#include <tuple>

#include "shorten/shorten_job.h"
#include "shorten/worker_threads.h"

namespace tarnwick {
namespace {

// What each provider's answer makes of its link; "" is a failure. Then: a scheme alone names no
// link; plain text keeps its backslashes; a backslash that is the second byte of a double-byte
// character is no backslash.
TEST(ShortenVia, OnlyALinkInLowerCaseWithoutSpaceOrControlBytesCountsAsSuccess) {
    // clang-format off
    const std::tuple<int, std::string_view, std::string_view> rows[] = {
        {1, R"({"short_url":"HTTPS:\/\/h"})", ""}, {2, "ftp://h", ""}, {2, "", ""},
        {2, "https://", ""}, {1, R"({"code":1,"msg":"http:\/\/h"})", ""}, {2, "http://h\x7F", ""},
        {3, R"({"tinyurl":"http:\/\/"})", ""}, {2, "\thttps://h \r\n", "https://h"},
        {2, "http://h/\\!~", "http://h/\\!~"}, {2, "http://a b", ""}, {2, "http://h\x01", ""},
        {3, "{\"tinyurl\":\"http:\\/\\/h\\/\x81\x5C\"}", "http://h/\x81\x5C"},
        {3, R"({"tinyurl":" http:\/\/h "})", "http://h"}};
    // clang-format on
    for (const auto& [provider, answer, link] : rows) {
        const Text candidate = LinkCandidate(static_cast<ShortLinkProvider>(provider), answer);
        EXPECT_EQ(IsShortLink(candidate) ? candidate : "", link) << answer;
    }
}

// Jobs run side by side however many threads are parked: each round's jobs wait until all of
// them have started, which only ends if none waits for another's thread. The second round finds
// parked threads and needs more than are parked. The program's own threads: parked ones outlive
// the test.
TEST(WorkerThreads, EveryJobRunsBesideTheOthersAlsoOnParkedThreads) {
    WorkerThreads& threads = ProgramWorkerThreads();
    EXPECT_FALSE(threads.Start({}));
    static std::counting_semaphore<> ended(0);  // a job may still be inside release() at the end
    for (const int jobs : {10, 12, 1}) {
        std::latch started(jobs);  // every job has left it before the last one is counted
        for (int i = 0; i < jobs; ++i) {
            ASSERT_TRUE(threads.Start([&] {
                started.arrive_and_wait();
                ended.release();
            }));
        }
        for (int i = 0; i < jobs; ++i) {
            ASSERT_TRUE(ended.try_acquire_for(std::chrono::seconds(10)));
        }
    }
}

}  // namespace
}  // namespace tarnwick
