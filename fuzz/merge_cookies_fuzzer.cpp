// MergeCookies against the quadratic merge written from the rules, and the invariants of its
// result: no "=deleted" item, no two identical items, the received names before the others.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/reference.h"
#include "web/cookies.h"

using namespace tarnwick;
using namespace tarnwick::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string sent(input.Text());
    const std::string received(input.Text());

    std::string refOlder = sent;
    std::string refNewer = received;
    const std::string expected = RefMergeCookies(refOlder, refNewer);

    Text older = sent;
    Text newer = received;
    const Text merged = MergeCookies(older, newer);
    if (merged != expected) {
        Mismatch("MergeCookies result", expected, merged);
    }
    if (older != merged) {
        Mismatch("MergeCookies older afterwards", merged, older);
    }
    if (newer != refNewer) {
        Mismatch("MergeCookies newer afterwards", refNewer, newer);
    }

    std::set<std::string> receivedNames;
    for (const std::string& item : RefTextSplit(refNewer, ";", std::nullopt)) {
        receivedNames.insert(RefCookieName(item));
    }
    std::set<std::string> seen;
    bool carriedOverSeen = false;
    for (const std::string& item : RefTextSplit(merged, "; ", std::nullopt)) {
        Check(RefTextRight(item, 8) != "=deleted", "no =deleted item in the result");
        Check(seen.insert(item).second, "no two identical items in the result");
        if (receivedNames.count(RefCookieName(item)) != 0) {
            Check(!carriedOverSeen, "received names come before carried-over ones");
        } else {
            carriedOverSeen = true;
        }
    }
    return 0;
}
