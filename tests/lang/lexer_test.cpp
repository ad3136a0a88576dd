#include "lang/lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/builtins.h"

namespace lv::lang {
namespace {

struct Lexeme {
    int kind;
    std::string text;
    float number;
    int line, column, errorIndex;
};

std::vector<Lexeme> lexAll(const std::string& text, bool withComments = false) {
    std::vector<Lexeme> out;
    LexerState s;
    for (int guard = 0; guard < 10000; ++guard) {
        int k = withComments ? scanLexeme(text.c_str(), s) : nextLexeme(text.c_str(), s);
        out.push_back({k, std::string(s.text, s.textLength), s.numberValue, s.lexemeLine,
                       s.lexemeColumn, s.errorIndex});
        if (k == kLexEnd) break;
    }
    return out;
}

std::vector<int> kinds(const std::string& text) {
    std::vector<int> k;
    for (const Lexeme& l : lexAll(text)) k.push_back(l.kind);
    return k;
}

TEST(Lexer, EmptyBlankAndCommentOnlyTextsEndAtOnceAndKeepEnding) {
    for (std::string text : {"", "  \t\n\n ", "-- only a comment\n  -- another"}) {
        LexerState s;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(nextLexeme(text.c_str(), s), kLexEnd) << text;
    }
}

TEST(Lexer, NumbersAreReadInSinglePrecision) {
    const std::pair<const char*, float> cases[] = {
        {"0", 0.0f},        {"0.5", 0.5f},   {".5", 0.5f},      {"5.", 5.0f},
        {"12.25", 12.25f},  {"1e5", 1e5f},   {"1E+2", 100.0f},  {"2.5e-3", 2.5e-3f},
        {"1e-12", 1e-12f},  {"5.e3", 5000.0f}, {"16777217", 16777216.0f},
    };
    for (auto [text, value] : cases) {
        auto l = lexAll(text);
        ASSERT_EQ(l[0].kind, kLexNumber) << text;
        EXPECT_FLOAT_EQ(l[0].number, value) << text;
        EXPECT_EQ(l[1].kind, kLexEnd) << text;
    }
    // 0.1 built digit by digit: 0 + 1/10 rounded to float.
    EXPECT_EQ(lexAll("0.1")[0].number, static_cast<float>(0.1));
}

TEST(Lexer, MalformedNumbersAreErrorLexemes) {
    for (const char* text : {"01", ".", "1e0", "1e05", "2e", "2e+", "2else"}) {
        auto l = lexAll(text);
        EXPECT_EQ(l[0].kind, kLexError) << text;
        EXPECT_EQ(l[0].errorIndex, kMsgWrongNumber) << text;
    }
    // The character after a number is not examined.
    EXPECT_EQ(kinds("2b"), (std::vector<int>{kLexNumber, kLexIdentifier, kLexEnd}));
}

TEST(Lexer, NamesAreLoweredAndClassified) {
    auto l = lexAll("a_1 Cube2 LONG_name x X a A ARRAY Sin lvBezierSplineF xor");
    EXPECT_EQ(l[0].text, "a_1");
    EXPECT_EQ(l[1].text, "cube2");
    EXPECT_EQ(l[2].text, "long_name");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(l[i].kind, kLexIdentifier);
    EXPECT_EQ(l[3].kind, kLexX);
    EXPECT_EQ(l[4].kind, kLexX);
    EXPECT_EQ(l[5].kind, kLexA);
    EXPECT_EQ(l[6].kind, kLexA);
    EXPECT_EQ(l[7].kind, kLexArray);
    EXPECT_EQ(l[8].kind, kLexBuiltin);
    EXPECT_EQ(findBuiltin(l[8].text), rowOf(Builtin::Sin));
    EXPECT_EQ(l[9].kind, kLexBuiltin);
    EXPECT_EQ(l[10].kind, kLexXor);
    LexerState s;
    nextLexeme("lvCubicBSplineF", s);
    EXPECT_EQ(s.builtinIndex, rowOf(Builtin::LvCubicBSplineF));
}

TEST(Lexer, UnderscoreCannotStartAName) {
    auto l = lexAll("_a");
    EXPECT_EQ(l[0].kind, kLexError);
    EXPECT_EQ(l[0].errorIndex, kMsgUnknownLexem);
    EXPECT_EQ(l[1].kind, kLexA);
    for (const char* text : {"!", ":", "\r", "\x80"})
        EXPECT_EQ(lexAll(text)[0].errorIndex, kMsgUnknownLexem) << int(text[0]);
}

TEST(Lexer, LengthLimitsOfNamesStringsAndComments) {
    std::string name256(256, 'n');
    auto ok = lexAll(name256);
    EXPECT_EQ(ok[0].kind, kLexIdentifier);
    EXPECT_EQ(ok[0].text.size(), 256u);
    auto tooLong = lexAll(name256 + "m");
    EXPECT_EQ(tooLong[0].kind, kLexError);
    EXPECT_EQ(tooLong[0].errorIndex, kMsgIdentifierTooLong);

    EXPECT_EQ(lexAll("\"" + std::string(255, 's') + "\"")[0].kind, kLexString);
    auto s256 = lexAll("\"" + std::string(256, 's') + "\"");
    EXPECT_EQ(s256[0].kind, kLexError);
    EXPECT_EQ(s256[0].errorIndex, kMsgSecondQuote);
    EXPECT_EQ(lexAll("\"open\nx")[0].errorIndex, kMsgSecondQuote);

    auto c256 = lexAll("--" + std::string(256, 'c'), true);
    EXPECT_EQ(c256[0].kind, kLexComment);
    auto c257 = lexAll("--" + std::string(257, 'c') + "\n", true);
    EXPECT_EQ(c257[0].kind, kLexError);
    EXPECT_EQ(c257[0].errorIndex, kMsgLexemTooLong);
}

TEST(Lexer, OperatorsAreNeverSplitAcrossBlanks) {
    EXPECT_EQ(kinds("a<=b"), (std::vector<int>{kLexA, kLexLessEqual, kLexIdentifier, kLexEnd}));
    EXPECT_EQ(kinds("a< =b"),
              (std::vector<int>{kLexA, kLexLess, kLexAssign, kLexIdentifier, kLexEnd}));
    EXPECT_EQ(kinds("== /= >= > / - --c"),
              (std::vector<int>{kLexAssign, kLexAssign, kLexNotEqual, kLexGreaterEqual,
                                kLexGreater, kLexSlash, kLexMinus, kLexEnd}));
}

TEST(Lexer, LinesAndColumnsCountFromOneWithTabsAsOneColumn) {
    auto l = lexAll("\tab = 1;\n  -- note\n\"s\t\" c");
    EXPECT_EQ(l[0].line, 1);
    EXPECT_EQ(l[0].column, 2);
    EXPECT_EQ(l[1].column, 5); // =
    EXPECT_EQ(l[2].column, 7); // 1
    EXPECT_EQ(l[4].line, 3);   // the string
    EXPECT_EQ(l[4].column, 1);
    EXPECT_EQ(l[5].column, 6); // c after a 4-character string lexeme and a blank
}

} // namespace
} // namespace lv::lang
