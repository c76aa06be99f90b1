#include "shorten/shorten_job.h"

#include <utility>

#include "text/base64.h"
#include "text/extract.h"
#include "text/find.h"
#include "text/url_encode.h"

namespace tarnwick {

namespace {

bool IsTrimmedByte(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimLinkEnds(std::string_view text) {
    while (!text.empty() && IsTrimmedByte(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsTrimmedByte(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

Text EncodeLongAddress(ShortLinkProvider provider, std::string_view address) {
    switch (Provider(provider).encoding) {
        case AddressEncoding::kBase64:
            return Base64Encode(ToByteSet(address));
        case AddressEncoding::kAsTyped:
            return Text(address);
        case AddressEncoding::kPercentEveryByte:
            return UrlEncodeUtf8(address, false, false);
    }
    return {};
}

Text ShorteningAddress(ShortLinkProvider provider, std::string_view encodedAddress) {
    const ProviderInfo& info = Provider(provider);
    Text url(info.shortenAddress);
    if (info.method != kPostMethod) {
        url += encodedAddress;
        url += info.queryAfter;
    }
    return url;
}

Text ShorteningBody(ShortLinkProvider provider, std::string_view encodedAddress) {
    const ProviderInfo& info = Provider(provider);
    if (info.method != kPostMethod) {
        return {};
    }
    Text body(info.formBefore);
    body += encodedAddress;
    body += info.formAfter;
    return body;
}

Text LinkCandidate(ShortLinkProvider provider, std::string_view answerText) {
    const ProviderInfo& info = Provider(provider);
    Text candidate(answerText);
    if (!info.leftMarker.empty()) {
        candidate = ExtractBetween(candidate, info.leftMarker, info.rightMarker);
    }
    if (info.removeBackslashes) {
        candidate = TextReplace(candidate, "\\", "");
    }
    return Text(TrimLinkEnds(candidate));
}

bool IsShortLink(std::string_view candidate) {
    // The scheme as the services write it: lower case only.
    std::size_t schemeLength = 0;
    if (candidate.starts_with("http://")) {
        schemeLength = 7;
    } else if (candidate.starts_with("https://")) {
        schemeLength = 8;
    } else {
        return false;
    }
    // A scheme with nothing behind it names no link.
    if (candidate.size() == schemeLength) {
        return false;
    }
    for (const char c : candidate) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

ShortenJob ShortenVia(ShortLinkProvider provider, const ShortenHost& host,
                      const WebRequestFunction& webRequest, const AbandonCheck& abandon) {
    const ProviderInfo& info = Provider(provider);
    ShortenJob job;

    // The home page only hands out the cookies the service wants to see again; its body and
    // any failure of it do not matter.
    WebRequestArgs home;
    home.method = kGetMethod;
    home.receivedCookies = &job.providerCookies;
    home.abandon = abandon;
    webRequest(info.homePage, home);

    // Taken now rather than at the click: the user may still have been typing.
    const Text address = host.LongLinkSnapshot();
    const Text encoded = EncodeLongAddress(provider, address);

    Text headers(info.headerBlock);
    WebRequestArgs shorten;
    shorten.method = info.method;
    shorten.bodyText = ShorteningBody(provider, encoded);
    // WebRequest writes the merged list back through sendCookies, a reference to the job's
    // variable: after the call it holds the home page's cookies and the answer's together.
    shorten.sendCookies = &job.providerCookies;
    shorten.abandon = abandon;
    if (!info.headerBlock.empty()) {
        shorten.headers = &headers;
    }
    const ByteSet body = webRequest(ShorteningAddress(provider, encoded), shorten);

    job.answerText = ToText(body);
    job.answerText = LinkCandidate(provider, job.answerText);
    job.succeeded = IsShortLink(job.answerText);
    return job;
}

ShortenJobs::ShortenJobs(WebRequestFunction webRequest, ThreadStarter startThread)
    : webRequest_(std::move(webRequest)), startThread_(std::move(startThread)) {}

void ShortenJobs::OnGenerateClicked(ShortenHost& host) {
    host.SetShortLink({});
    shared_->answerText.clear();
    shared_->providerCookies.clear();
    // Every click supersedes the jobs before it, also a click that starts none.
    const std::uint64_t click = ++shared_->latestClick;
    const int selected = host.SelectedProvider();
    if (selected < 1 || selected > 3) {
        return;
    }
    // Radio button n chooses provider n.
    const auto provider = static_cast<ShortLinkProvider>(selected);
    host.SetStatus(Text(kStatusWorking));

    // The worker gets its own copies and no reference to this object; its outcome travels
    // back to the GUI thread by value.
    auto routine = [&host, provider, click, webRequest = webRequest_, shared = shared_]() {
        // Once a later click has superseded this job its outcome is dropped anyway; its
        // transfers give up and free their connections for the job that still counts.
        ShortenJob job = ShortenVia(provider, host, webRequest, [shared, click] {
            return shared->latestClick.load() != click;
        });
        host.PostToGui([&host, click, shared, job = std::move(job)]() mutable {
            Publish(*shared, host, click, std::move(job));
        });
    };
    if (!startThread_(std::move(routine))) {
        host.SetStatus(Text(kStatusFailed));
    }
}

void ShortenJobs::Publish(Shared& shared, ShortenHost& host, std::uint64_t click, ShortenJob job) {
    if (click != shared.latestClick) {
        return;
    }
    if (job.succeeded) {
        host.SetStatus(Text(kStatusSucceeded));
        host.SetShortLink(job.answerText);
    } else {
        host.SetStatus(Text(kStatusFailed));
    }
    shared.answerText = std::move(job.answerText);
    shared.providerCookies = std::move(job.providerCookies);
}

const Text& ShortenJobs::AnswerText() const {
    return shared_->answerText;
}

const Text& ShortenJobs::ProviderCookies() const {
    return shared_->providerCookies;
}

void ShortenJobs::FreeJobTexts() {
    Text().swap(shared_->answerText);
    Text().swap(shared_->providerCookies);
}

}  // namespace tarnwick
