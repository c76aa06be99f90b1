// The work behind the Generate button: the click handler, the worker of one request and the
// shared job texts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "shorten/providers.h"
#include "shorten/shorten_host.h"
#include "text/values.h"
#include "web/web_request.h"

namespace tarnwick {

// Status captions, code page 936.
inline constexpr std::string_view kStatusWorking =
    "\xC9\xFA\xB3\xC9\xC1\xB4\xBD\xD3\xD6\xD0...";  // "生成链接中..."
inline constexpr std::string_view kStatusSucceeded =
    "\xC9\xFA\xB3\xC9\xB6\xCC\xC1\xB4\xBD\xD3\xB3\xC9\xB9\xA6\xA3\xA1";  // "生成短链接成功！"
inline constexpr std::string_view kStatusFailed =
    "\xC9\xFA\xB3\xC9\xB6\xCC\xC1\xB4\xBD\xD3\xCA\xA7\xB0\xDC\xA3\xA1";  // "生成短链接失败！"

using WebRequestFunction = std::function<ByteSet(std::string_view url, const WebRequestArgs&)>;
// Starts routine on a thread of its own; false when no thread could be created.
using ThreadStarter = std::function<bool(std::function<void()> routine)>;

// One job's own copies of the job texts and its outcome. A job never touches the shared texts;
// only the job of the latest click publishes its copies into them.
struct ShortenJob {
    Text answerText;       // the provider's answer, then the link candidate cut out of it
    Text providerCookies;  // the home page's cookies, then merged with the answer's
    bool succeeded = false;
};

// The provider protocol pieces that a job composes its requests from and reads its answer with.
Text EncodeLongAddress(ShortLinkProvider provider, std::string_view address);
Text ShorteningAddress(ShortLinkProvider provider, std::string_view encodedAddress);
Text ShorteningBody(ShortLinkProvider provider, std::string_view encodedAddress);
// The link candidate in an answer: cut out between the markers, backslashes removed, and
// spaces, tabs, CR and LF trimmed from both ends.
Text LinkCandidate(ShortLinkProvider provider, std::string_view answerText);
// An absolute http or https address (scheme in lower case) with no space or control byte.
bool IsShortLink(std::string_view candidate);

// The worker: both requests of one job on the calling thread. The long address is read from
// host after the home-page request; nothing is shown, the caller publishes the outcome. Both
// requests are given up once abandon answers true.
ShortenJob ShortenVia(ShortLinkProvider provider, const ShortenHost& host,
                      const WebRequestFunction& webRequest, const AbandonCheck& abandon = {});

// The click handler and the shared texts. All members are for the GUI thread. The host must
// outlive every job started through it; workers hold no reference to this object.
class ShortenJobs {
  public:
    ShortenJobs();
    ShortenJobs(WebRequestFunction webRequest, ThreadStarter startThread);

    void OnGenerateClicked(ShortenHost& host);
    const Text& AnswerText() const;
    const Text& ProviderCookies() const;
    void FreeJobTexts();

  private:
    struct Shared {
        Text answerText;
        Text providerCookies;
        std::atomic<std::uint64_t> latestClick = 0;  // also read by the workers
    };
    static void Publish(Shared& shared, ShortenHost& host, std::uint64_t click, ShortenJob job);

    // Queued results reach the shared texts through this pointer, so they stay valid for
    // results still waiting on the GUI thread.
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    WebRequestFunction webRequest_;
    ThreadStarter startThread_;
};

// The program's own instance, on the real WebRequest and real threads. Its FreeJobTexts is
// what the program's exit handler calls.
ShortenJobs& ProgramShortenJobs();
// The routine bound to 生成: the program's jobs, after the HTTP client's one-time set-up.
void OnGenerateClicked(ShortenHost& host);

}  // namespace tarnwick
