// TextReplace, with start, count and both case modes, against the naive copy-and-replace.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/reference.h"
#include "text/find.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int start = input.Number();
    const int count = input.Number();
    const ExactCopy text(input.Text());
    const ExactCopy search(input.Text());
    const ExactCopy replacement(input.Text());
    for (const bool caseSensitive : {true, false}) {
        const std::string expected = RefTextReplace(text.View(), search.View(), replacement.View(),
                                                    start, count, caseSensitive);
        const Text actual = TextReplace(text.View(), search.View(), replacement.View(), start,
                                        count, caseSensitive);
        if (actual != expected) {
            Mismatch(caseSensitive ? "TextReplace" : "TextReplace (any case)", expected, actual);
        }
    }
    return 0;
}
