// ExtractBetween, with start, the quote token and both case modes, against the naive
// find-find-cut built on the naive search.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/reference.h"
#include "text/extract.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int start = input.Number();
    const ExactCopy text(input.Text());
    const ExactCopy left(input.Text());
    const ExactCopy right(input.Text());
    for (const bool ignoreCase : {false, true}) {
        const std::string expected =
            RefExtractBetween(text.View(), left.View(), right.View(), start, ignoreCase);
        const Text actual =
            ExtractBetween(text.View(), left.View(), right.View(), start, ignoreCase);
        if (actual != expected) {
            Mismatch(ignoreCase ? "ExtractBetween (ignoreCase)" : "ExtractBetween", expected,
                     actual);
        }
    }
    const Text withDefaults = ExtractBetween(text.View(), left.View(), right.View());
    const std::string expected =
        RefExtractBetween(text.View(), left.View(), right.View(), 0, false);
    if (withDefaults != expected) {
        Mismatch("ExtractBetween (defaults)", expected, withDefaults);
    }
    return 0;
}
