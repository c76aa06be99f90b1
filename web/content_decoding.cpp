#include "web/content_decoding.h"

#include <zlib.h>

#include <algorithm>
#include <array>

#include "text/ascii.h"
#include "text/find.h"
#include "text/spaces.h"

namespace tarnwick {

namespace {

constexpr int kGzipWindow = 16 + MAX_WBITS;
constexpr int kZlibWindow = MAX_WBITS;
constexpr int kRawDeflateWindow = -MAX_WBITS;

// One zlib inflate stream, ended with its scope.
class Inflater {
  public:
    explicit Inflater(int windowBits) : ready_(inflateInit2(&stream_, windowBits) == Z_OK) {}
    ~Inflater() {
        if (ready_) {
            inflateEnd(&stream_);
        }
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool Ready() const { return ready_; }
    z_stream& Stream() { return stream_; }

  private:
    z_stream stream_{};
    bool ready_;
};

enum class InflateOutcome { kDone, kCorrupt, kTooLarge };

// Inflates input into out. gzip data may hold several members one after another.
InflateOutcome Inflate(const ByteSet& input, int windowBits, std::size_t maxBytes, ByteSet& out) {
    Inflater inflater(windowBits);
    if (!inflater.Ready()) {
        return InflateOutcome::kCorrupt;
    }
    z_stream* stream = &inflater.Stream();
    out.clear();
    std::array<unsigned char, std::size_t{64} * 1024> chunk{};
    std::size_t offset = 0;
    while (true) {
        const std::size_t available = std::min<std::size_t>(input.size() - offset, 1u << 30);
        stream->next_in = const_cast<Bytef*>(input.data() + offset);
        stream->avail_in = static_cast<uInt>(available);
        stream->next_out = chunk.data();
        stream->avail_out = static_cast<uInt>(chunk.size());
        const int rc = inflate(stream, Z_NO_FLUSH);
        const std::size_t produced = chunk.size() - stream->avail_out;
        offset += available - stream->avail_in;
        if (out.size() + produced > maxBytes) {
            return InflateOutcome::kTooLarge;
        }
        out.insert(out.end(), chunk.data(), chunk.data() + produced);
        if (rc == Z_STREAM_END) {
            if (offset == input.size()) {
                return InflateOutcome::kDone;
            }
            if (windowBits != kGzipWindow || inflateReset(stream) != Z_OK) {
                return InflateOutcome::kCorrupt;
            }
            continue;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            return InflateOutcome::kCorrupt;
        }
        if (rc == Z_BUF_ERROR || (produced == 0 && offset == input.size())) {
            // No progress is possible: the data ended before the stream did.
            return InflateOutcome::kCorrupt;
        }
    }
}

std::optional<ByteSet> DecodeOne(std::string_view coding, const ByteSet& body, std::size_t maxBytes,
                                 bool& known) {
    known = true;
    ByteSet out;
    if (coding == "identity") {
        return body;
    }
    if (coding == "gzip" || coding == "x-gzip") {
        if (Inflate(body, kGzipWindow, maxBytes, out) == InflateOutcome::kDone) {
            return out;
        }
        return std::nullopt;
    }
    if (coding == "deflate") {
        // "deflate" should be zlib-wrapped, but many servers send the raw stream.
        const InflateOutcome wrapped = Inflate(body, kZlibWindow, maxBytes, out);
        if (wrapped == InflateOutcome::kDone) {
            return out;
        }
        if (wrapped == InflateOutcome::kCorrupt &&
            Inflate(body, kRawDeflateWindow, maxBytes, out) == InflateOutcome::kDone) {
            return out;
        }
        return std::nullopt;
    }
    known = false;
    return body;
}

std::string_view Canonical(std::string_view coding) {
    return coding == "x-gzip" ? std::string_view("gzip") : coding;
}

// A q parameter of zero ("q=0", "q=0.000") refuses the coding it follows.
bool IsRefusal(std::string_view parameter) {
    const Text param = LowerAscii(RemoveAllSpaces(parameter));
    if (!param.starts_with("q=0")) {
        return false;
    }
    const std::string_view rest = std::string_view(param).substr(3);
    return rest.empty() || (rest[0] == '.' && rest.find_first_not_of('0', 1) == Text::npos);
}

// Whether acceptEncoding offers coding by name or through "*".
bool IsOffered(std::string_view acceptEncoding, std::string_view coding) {
    for (const Text& item : TextSplit(acceptEncoding, ",")) {
        const TextArray parts = TextSplit(item, ";");
        const Text name = parts.empty() ? Text() : LowerAscii(TrimSpaces(parts[0]));
        if (name != "*" && Canonical(name) != Canonical(coding)) {
            continue;
        }
        if (std::none_of(parts.begin() + 1, parts.end(), IsRefusal)) {
            return true;
        }
    }
    return false;
}

}  // namespace

ByteSet DecodeContent(std::string_view contentEncoding, std::string_view acceptEncoding,
                      const ByteSet& body, std::size_t maxBytes) {
    if (body.empty()) {
        return body;
    }
    TextArray codings;
    for (const Text& piece : TextSplit(contentEncoding, ",")) {
        Text coding = LowerAscii(TrimSpaces(piece));
        if (!coding.empty()) {
            codings.push_back(std::move(coding));
        }
    }
    ByteSet current = body;
    // Codings are undone in the reverse of the order they were applied.
    std::reverse(codings.begin(), codings.end());
    for (const auto& coding : codings) {
        if (coding == "identity") {
            continue;
        }
        bool known = false;
        std::optional<ByteSet> decoded = IsOffered(acceptEncoding, coding)
                                             ? DecodeOne(coding, current, maxBytes, known)
                                             : std::nullopt;
        if (!known || !decoded) {
            // What cannot be undone is handed over as it came, untouched by earlier steps.
            return body;
        }
        current = std::move(*decoded);
    }
    return current;
}

}  // namespace tarnwick
