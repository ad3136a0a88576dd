#include "app/number_text.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace lv::app {

namespace {

// The current locale's decimal separator (a period in the C locale).
char localeDecimalPoint() {
    const lconv* conv = std::localeconv();
    return (conv && conv->decimal_point && conv->decimal_point[0]) ? conv->decimal_point[0] : '.';
}

// text with the locale's separator turned into a period, ready for a C-locale parser.
std::string toCNumber(std::string_view text) {
    std::string s(text);
    const char point = localeDecimalPoint();
    if (point != '.')
        for (char& c : s)
            if (c == point) c = '.';
    return s;
}

locale_t cLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

} // namespace

std::string formatFieldReal(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7g", value);
    std::string s = buf;
    if (!std::isfinite(value)) return s;
    const char point = localeDecimalPoint();
    if (s.find(point) == std::string::npos && s.find('e') == std::string::npos) {
        s += point;
        s += '0';
    }
    return s;
}

std::string formatListValue(double value) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.3f", value);
    return buf;
}

double parseLooseReal(std::string_view text) {
    const std::string s = toCNumber(text);
    return strtod_l(s.c_str(), nullptr, cLocale());
}

std::optional<double> parseStrictReal(std::string_view text) {
    const std::string s = toCNumber(text);
    const char* begin = s.c_str();
    char* end = nullptr;
    const double v = strtod_l(begin, &end, cLocale());
    if (end == begin) return std::nullopt;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return std::nullopt;
    return v;
}

long long parseLooseInt(std::string_view text) {
    const std::string s(text);
    return std::strtoll(s.c_str(), nullptr, 10); // saturates at the long long limits
}

bool isStorableFloat(double value) {
    return std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max();
}

} // namespace lv::app
