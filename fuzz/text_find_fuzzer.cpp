// TextFind in both case modes against the naive search.
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
    const ExactCopy text(input.Text());
    const ExactCopy search(input.Text());
    for (const bool ignoreCase : {false, true}) {
        const int expected = RefTextFind(text.View(), search.View(), start, ignoreCase);
        const int actual = TextFind(text.View(), search.View(), start, ignoreCase);
        if (actual != expected) {
            Mismatch(ignoreCase ? "TextFind (ignoreCase)" : "TextFind", std::to_string(expected),
                     std::to_string(actual));
        }
    }
    const int fromFirst = TextFind(text.View(), search.View());
    if (fromFirst != RefTextFind(text.View(), search.View(), 1, false)) {
        Mismatch("TextFind (default start)",
                 std::to_string(RefTextFind(text.View(), search.View(), 1, false)),
                 std::to_string(fromFirst));
    }
    return 0;
}
