// TextSplit, with and without a member limit, against the naive splitter.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/reference.h"
#include "text/find.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t flags = input.Byte();
    const int maxParts = input.Number();
    const ExactCopy text(input.Text());
    const ExactCopy separator(input.Text());
    const std::optional<int> limit =
        (flags & 1U) != 0 ? std::optional<int>(maxParts) : std::nullopt;
    const std::vector<std::string> expected = RefTextSplit(
        text.View(), separator.View(), limit ? std::optional<long>(*limit) : std::nullopt);
    const TextArray actual = TextSplit(text.View(), separator.View(), limit);
    if (actual != expected) {
        Mismatch("TextSplit", Joined(expected), Joined(actual));
    }
    if ((flags & 2U) != 0 &&
        TextSplit(text.View()) != RefTextSplit(text.View(), ",", std::nullopt)) {
        Mismatch("TextSplit (default separator)",
                 Joined(RefTextSplit(text.View(), ",", std::nullopt)),
                 Joined(TextSplit(text.View())));
    }
    return 0;
}
