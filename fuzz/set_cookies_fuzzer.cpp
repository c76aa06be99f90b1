// The cookie list that WebRequest gathers from a raw response-header text, against the
// line-by-line collection written from the rules.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/reference.h"
#include "web/header_lines.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const ExactCopy headers(input.Text());
    const std::string expected = RefCollectSetCookies(headers.View());
    const Text actual = CollectSetCookies(headers.View());
    if (actual != expected) {
        Mismatch("CollectSetCookies", expected, actual);
    }
    Check(actual.size() <= headers.View().size(), "never longer than the header text");
    return 0;
}
