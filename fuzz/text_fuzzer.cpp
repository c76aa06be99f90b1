// The text operations against the naive reference. The first byte picks the operation; the
// rest is read as that operation's arguments (see FuzzInput), so seed files stay writable.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/reference.h"
#include "text/extract.h"
#include "text/find.h"
#include "text/spaces.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

namespace {

void Find(FuzzInput& input) {
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
}

void Replace(FuzzInput& input) {
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
}

void Split(FuzzInput& input) {
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
}

void Spaces(FuzzInput& input, bool trim) {
    const ExactCopy text(input.Text());
    const std::string expected =
        trim ? RefTrimSpaces(text.View()) : RefRemoveAllSpaces(text.View());
    const Text actual = trim ? TrimSpaces(text.View()) : RemoveAllSpaces(text.View());
    if (actual != expected) {
        Mismatch(trim ? "TrimSpaces" : "RemoveAllSpaces", expected, actual);
    }
    // Not for TrimSpaces: cutting a lone lead byte can leave a space at the end.
    Check(trim || RemoveAllSpaces(actual) == actual, "removing twice changes nothing");
}

void Extract(FuzzInput& input) {
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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    switch (input.Byte() % 6U) {
        case 0:
            Find(input);
            break;
        case 1:
            Replace(input);
            break;
        case 2:
            Split(input);
            break;
        case 3:
            Spaces(input, true);
            break;
        case 4:
            Spaces(input, false);
            break;
        default:
            Extract(input);
            break;
    }
    return 0;
}
