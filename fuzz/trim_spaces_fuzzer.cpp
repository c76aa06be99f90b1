// TrimSpaces against the naive character walk; the result is never longer and never starts
// with a space.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/reference.h"
#include "text/spaces.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const ExactCopy text(input.Text());
    const std::string expected = RefTrimSpaces(text.View());
    const Text actual = TrimSpaces(text.View());
    if (actual != expected) {
        Mismatch("TrimSpaces", expected, actual);
    }
    Check(actual.size() <= text.View().size(), "TrimSpaces never lengthens");
    Check(actual.empty() || actual.front() != ' ', "no leading ASCII space");
    Check(actual.rfind("\xA1\xA1", 0) != 0, "no leading full-width space");
    return 0;
}
