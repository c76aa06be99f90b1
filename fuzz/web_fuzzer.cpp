// The web layer's pure parts on hostile input. The first byte picks the operation: the cookie
// merge and the Set-Cookie collection against the naive reference, or content decoding.
#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "fuzz/reference.h"
#include "web/content_decoding.h"
#include "web/cookies.h"
#include "web/header_lines.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

namespace {

void Merge(FuzzInput& input) {
    const std::string sent(input.Text());
    const std::string received(input.Text());
    std::string refOlder = sent;
    std::string refNewer = received;
    const std::string expected = RefMergeCookies(refOlder, refNewer);
    Text older = sent;
    Text newer = received;
    const Text merged = MergeCookies(older, newer);
    if (merged != expected) {
        Mismatch("MergeCookies result", expected, merged);
    }
    if (older != merged) {
        Mismatch("MergeCookies older afterwards", merged, older);
    }
    if (newer != refNewer) {
        Mismatch("MergeCookies newer afterwards", refNewer, newer);
    }
    // What the merge is for, stated apart from the steps that the reference copies.
    std::set<std::string> receivedNames;
    for (const std::string& item : RefTextSplit(refNewer, ";", std::nullopt)) {
        receivedNames.insert(RefCookieName(item));
    }
    std::set<std::string> seen;
    bool carriedOverSeen = false;
    for (const std::string& item : RefTextSplit(merged, "; ", std::nullopt)) {
        Check(RefTextRight(item, 8) != "=deleted", "no =deleted item in the result");
        Check(seen.insert(item).second, "no two identical items in the result");
        const bool wasReceived = receivedNames.count(RefCookieName(item)) != 0;
        Check(!wasReceived || !carriedOverSeen, "received names come before carried-over ones");
        carriedOverSeen = carriedOverSeen || !wasReceived;
    }
}

void SetCookies(FuzzInput& input) {
    const ExactCopy headers(input.Text());
    const std::string expected = RefCollectSetCookies(headers.View());
    const Text actual = CollectSetCookies(headers.View());
    if (actual != expected) {
        Mismatch("CollectSetCookies", expected, actual);
    }
}

// windowBits as zlib takes them: 16 + 15 gzip, 15 zlib-wrapped, -15 raw deflate, 0 none.
constexpr std::array<std::pair<std::string_view, int>, 6> kCodings = {{
    {"gzip", 16 + MAX_WBITS},
    {"x-gzip", 16 + MAX_WBITS},
    {"deflate", MAX_WBITS},
    {"deflate", -MAX_WBITS},
    {"identity", 0},
    {"GZip", 16 + MAX_WBITS},
}};

ByteSet Compress(const ByteSet& plain, int windowBits) {
    z_stream stream{};
    Check(deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8,
                       Z_DEFAULT_STRATEGY) == Z_OK,
          "deflateInit2");
    ByteSet out(deflateBound(&stream, static_cast<uLong>(plain.size())) + 32);
    stream.next_in = const_cast<Bytef*>(plain.data());
    stream.avail_in = static_cast<uInt>(plain.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    Check(deflate(&stream, Z_FINISH) == Z_STREAM_END, "deflate to the end");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

void ContentDecoding(FuzzInput& input) {
    const std::uint8_t flags = input.Byte();
    const std::size_t maxBytes = std::size_t{1} << (flags % 24U);
    const std::string encoding(input.Text());
    const std::string_view rest = input.Rest();
    const ByteSet body(rest.begin(), rest.end());

    // Arbitrary bytes under an arbitrary coding list, every coding offered: no crash, no hang,
    // never past the limit.
    const ByteSet decoded = DecodeContent(encoding, "*", body, maxBytes);
    if (decoded.size() > body.size()) {
        Check(decoded.size() <= maxBytes, "a decoded body never passes the limit");
    }
    // The same bytes compressed by zlib in the coding the flags pick come back whole.
    const auto& [coding, windowBits] = kCodings[(flags >> 5U) % kCodings.size()];
    const ByteSet packed = windowBits == 0 ? body : Compress(body, windowBits);
    const ByteSet unpacked = DecodeContent(coding, "gzip, deflate", packed, body.size());
    if (unpacked != body) {
        Mismatch("DecodeContent of what zlib compressed", std::string(rest),
                 std::string(unpacked.begin(), unpacked.end()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    switch (input.Byte() % 3U) {
        case 0:
            Merge(input);
            break;
        case 1:
            SetCookies(input);
            break;
        default:
            ContentDecoding(input);
            break;
    }
    return 0;
}
