#include "web/cookies.h"

#include <functional>
#include <string>
#include <vector>

#include "text/find.h"
#include "text/join.h"
#include "text/spaces.h"

namespace tarnwick {

namespace {

constexpr std::string_view kDeletedMarker = "=deleted";
constexpr std::string_view kItemSeparator = "; ";

bool EndsWithDeletedMarker(std::string_view item) {
    return item.size() >= kDeletedMarker.size() &&
           item.substr(item.size() - kDeletedMarker.size()) == kDeletedMarker;
}

// A set of views with a size known in advance: open addressing keeps the probes in one array,
// which for long lists is several times faster than a node-based set.
class ViewSet {
  public:
    explicit ViewSet(std::size_t expected) {
        std::size_t capacity = 16;
        while (capacity < expected + expected / 2) {
            capacity <<= 1;
        }
        slots_.resize(capacity);
        mask_ = capacity - 1;
    }

    // True when view was not in the set yet.
    bool Insert(std::string_view view) {
        const std::size_t hash = std::hash<std::string_view>{}(view) | 1;  // 0 marks a free slot
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.hash == 0) {
                slot = {hash, view};
                return true;
            }
            if (slot.hash == hash && slot.view == view) {
                return false;
            }
        }
    }

  private:
    struct Slot {
        std::size_t hash = 0;
        std::string_view view;
    };
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
};

// The name part of an item: the bytes before its first "=" (found double-byte aware).
std::string_view NamePart(std::string_view item) {
    const int equals = TextFind(item, "=");
    return equals == -1 ? item : item.substr(0, static_cast<std::size_t>(equals) - 1);
}

}  // namespace

Text CookieName(std::string_view item) {
    return TrimSpaces(NamePart(item));
}

bool HasCookieNamed(const TextArray& items, std::string_view name) {
    for (const Text& item : items) {
        if (CookieName(item) == name) {
            return true;
        }
    }
    return false;
}

int FindTextInArray(const TextArray& items, std::string_view text) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == text) {
            return static_cast<int>(i) + 1;
        }
    }
    return -1;
}

Text RemoveDuplicateItems(std::string_view text, std::string_view separator) {
    // A hash set of the items kept so far answers the same question as searching the kept
    // list, without making a long list quadratic.
    const TextArray items = TextSplit(text, separator);
    std::vector<std::string_view> kept;
    ViewSet seen(items.size());
    kept.reserve(items.size());
    for (const Text& item : items) {
        if (seen.Insert(item)) {
            kept.push_back(item);
        }
    }
    return JoinTexts(kept, separator);
}

Text MergeCookies(Text& older, Text& newer) {
    older = RemoveAllSpaces(older);
    newer = RemoveAllSpaces(newer);
    const TextArray olderItems = TextSplit(older, ";");
    TextArray newerItems = TextSplit(newer, ";");

    // The names present in newerItems as it grows: an old item is carried over only when no
    // item of its name is there yet, so of several old items of one name the first wins.
    // Spaces are gone and items hold whole characters, so the name part needs no trimming.
    // The views point into the two item lists, which must not move: reserve before taking any.
    newerItems.reserve(newerItems.size() + olderItems.size());
    ViewSet names(newerItems.capacity());
    for (const Text& item : newerItems) {
        names.Insert(NamePart(item));
    }
    for (const Text& item : olderItems) {
        if (names.Insert(NamePart(item))) {
            newerItems.push_back(item);
        }
    }

    TextArray kept;
    for (const Text& item : newerItems) {
        if (!EndsWithDeletedMarker(item)) {
            kept.push_back(item);
        }
    }
    Text joined = JoinTexts(kept, kItemSeparator);
    // Splitting the joined text again (rather than reusing the items) keeps the split rules of
    // the text layer, which read a lead byte at the end of an item together with the ";" after it.
    older = RemoveDuplicateItems(joined, kItemSeparator);
    return older;
}

}  // namespace tarnwick
