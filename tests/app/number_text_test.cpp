#include "app/number_text.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace lv::app;

TEST(NumberText, FieldRealsShowSevenDigitsAndAPoint) {
    EXPECT_EQ(formatFieldReal(10.0), "10.0");
    EXPECT_EQ(formatFieldReal(-0.5), "-0.5");
    EXPECT_EQ(formatFieldReal(1e-6), "1e-06");
    EXPECT_EQ(formatFieldReal(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(formatFieldReal(12345678.0), "1.234568e+07");
    EXPECT_EQ(formatListValue(0.5), "0.500");
}

TEST(NumberText, LooseReadingTakesTheLongestPrefix) {
    EXPECT_EQ(parseLooseReal("2.5abc"), 2.5);
    EXPECT_EQ(parseLooseReal("  -3"), -3.0);
    EXPECT_EQ(parseLooseReal("abc"), 0.0);
    EXPECT_EQ(parseLooseReal(""), 0.0);
    EXPECT_TRUE(std::isinf(parseLooseReal("1e999")));
    EXPECT_EQ(parseLooseInt("12x"), 12);
    EXPECT_EQ(parseLooseInt("x"), 0);
}

TEST(NumberText, StrictReadingRefusesTrailingText) {
    EXPECT_EQ(parseStrictReal(" 1.5 "), 1.5);
    EXPECT_FALSE(parseStrictReal("1.5x"));
    EXPECT_FALSE(parseStrictReal(""));
}

TEST(NumberText, NonFiniteAndOverflowingValuesAreNotStorable) {
    EXPECT_TRUE(isStorableFloat(3.4e38));
    EXPECT_FALSE(isStorableFloat(1e39));
    EXPECT_FALSE(isStorableFloat(parseLooseReal("inf")));
    EXPECT_FALSE(isStorableFloat(parseLooseReal("nan")));
}

TEST(NumberText, CommaLocaleAcceptsBothSeparators) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no comma locale installed";
    EXPECT_EQ(parseLooseReal("1,5"), 1.5);
    EXPECT_EQ(parseLooseReal("1.5"), 1.5);
    EXPECT_EQ(formatFieldReal(10.0), "10,0");
    EXPECT_EQ(formatListValue(0.5), "0,500");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

} // namespace
