#include "version_order.h"

#include <algorithm>

namespace liveupdate {

namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int CompareSegments(std::string_view a, std::string_view b) {
    const bool aNumber = AllDigits(a);
    const bool bNumber = AllDigits(b);
    if (aNumber && bNumber) {
        a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
        b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
        if (a.size() != b.size())
            return a.size() < b.size() ? -1 : 1;
    } else if (aNumber != bNumber) {
        return aNumber ? 1 : -1;
    }
    const int order = a.compare(b);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

// The segment of text at pos, and pos moved past it and its dot; "0" once text is used up.
std::string_view NextSegment(std::string_view text, size_t& pos) {
    if (pos > text.size())
        return "0";
    const size_t dot = std::min(text.find('.', pos), text.size());
    const std::string_view segment = text.substr(pos, dot - pos);
    pos = dot + 1;
    return segment;
}

} // namespace

int CompareVersions(std::string_view a, std::string_view b) {
    size_t aPos = 0;
    size_t bPos = 0;
    while (aPos <= a.size() || bPos <= b.size()) {
        const int order = CompareSegments(NextSegment(a, aPos), NextSegment(b, bPos));
        if (order != 0)
            return order;
    }
    return 0;
}

} // namespace liveupdate
