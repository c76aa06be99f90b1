// RemoveAllSpaces against the naive character walk; the result holds no space character.
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
    const std::string expected = RefRemoveAllSpaces(text.View());
    const Text actual = RemoveAllSpaces(text.View());
    if (actual != expected) {
        Mismatch("RemoveAllSpaces", expected, actual);
    }
    // A 0x20 may stay as the second byte of a pair; no space character may.
    for (std::size_t i = 0; i < actual.size(); ++i) {
        const auto byte = static_cast<unsigned char>(actual[i]);
        Check(byte != ' ', "no ASCII space left");
        if (byte >= 0x80) {
            Check(i + 1 < actual.size(), "no lone lead byte at the end");
            Check(byte != 0xA1 || static_cast<unsigned char>(actual[i + 1]) != 0xA1,
                  "no full-width space left");
            ++i;
        }
    }
    Check(RemoveAllSpaces(actual) == actual, "removing twice changes nothing");
    return 0;
}
