// Undoing the Content-Encoding of a hostile body: arbitrary bytes under any coding list never
// crash, hang or pass the size limit, and what zlib compresses comes back whole.
#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "web/content_decoding.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

namespace {

constexpr std::array<std::string_view, 6> kCodings = {"gzip",     "x-gzip", "deflate",
                                                      "deflate",  // raw stream
                                                      "identity", "GZip"};

// windowBits as zlib takes them: 16 + 15 gzip, 15 zlib-wrapped, -15 raw deflate.
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

int WindowBitsOf(std::size_t coding) {
    switch (coding) {
        case 0:
        case 1:
        case 5:
            return 16 + MAX_WBITS;
        case 2:
            return MAX_WBITS;
        case 3:
            return -MAX_WBITS;
        default:
            return 0;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::size_t maxBytes = std::size_t{1} << (flags % 24U);
    const std::string encoding(input.Text());
    const std::string_view rest = input.Rest();
    const ByteSet body(rest.begin(), rest.end());

    // Arbitrary bytes under an arbitrary coding list, every coding offered.
    const ByteSet decoded = DecodeContent(encoding, "*", body, maxBytes);
    if (decoded.size() > body.size()) {
        Check(decoded.size() <= maxBytes, "a decoded body never passes the limit");
    }

    // The same bytes compressed by zlib in the coding the flags pick come back whole.
    const std::size_t coding = (flags >> 5U) % kCodings.size();
    const int windowBits = WindowBitsOf(coding);
    const ByteSet packed = windowBits == 0 ? body : Compress(body, windowBits);
    const ByteSet unpacked = DecodeContent(kCodings[coding], "gzip, deflate", packed, body.size());
    if (unpacked != body) {
        Mismatch("DecodeContent of what zlib compressed", std::string(rest),
                 std::string(unpacked.begin(), unpacked.end()));
    }
    return 0;
}
