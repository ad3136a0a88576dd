#include "dialogs/notice.h"

#include <algorithm>

namespace lv::dialogs {

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    const bool less = std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [&](char x, char y) { return lower(static_cast<unsigned char>(x)) <
                                     lower(static_cast<unsigned char>(y)); });
    if (less) return true;
    const bool greater = std::lexicographical_compare(
        b.begin(), b.end(), a.begin(), a.end(),
        [&](char x, char y) { return lower(static_cast<unsigned char>(x)) <
                                     lower(static_cast<unsigned char>(y)); });
    return !greater && a < b;
}

} // namespace lv::dialogs
