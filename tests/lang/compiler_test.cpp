#include "lang/compiler.h"

#include <gtest/gtest.h>

#include "lang/disassembler.h"
#include "lang_test_util.h"

namespace lv::lang {
namespace {

using testing::compile;
using testing::evalLast;
using testing::firstError;

TEST(Compiler, EmptyTextGivesNoObjectsAndNoErrors) {
    auto c = compile("");
    EXPECT_EQ(c.status, 1);
    EXPECT_TRUE(c.objects.empty());
    EXPECT_TRUE(c.errors.empty());
}

TEST(Compiler, CubeCompilesToTheDocumentedCode) {
    auto c = compile("cube(x[3], a[1]) { cube = 1 - x[1]^2; }");
    ASSERT_TRUE(c.errors.empty());
    ASSERT_EQ(c.objects.size(), 1u);
    const CompiledObject& o = *c.objects[0];
    EXPECT_EQ(o.name, "cube");
    EXPECT_EQ(o.xSize, 3);
    EXPECT_EQ(o.aSize, 1);
    EXPECT_EQ(o.slotCount, 4);
    EXPECT_EQ(o.nestedSlots, 0);
    EXPECT_EQ(o.constants, (std::vector<float>{1, 1, 2}));
    EXPECT_EQ(o.code, (std::vector<int>{8, 9, 99, 100, 3, 0, 9, 101, 24, 21}));
    EXPECT_EQ(o.positions.size(), 2 * o.code.size());
    EXPECT_EQ(o.columnAt(9), 29); // the "-" operator
    EXPECT_EQ(o.columnAt(8), 35); // the "^" operator
}

TEST(Compiler, StatementsHaveTheirLayout) {
    auto c = compile("o(x[1], a[0]) { array v[2]; v = [1, -2]; v[2] = 3; s = 0;\n"
                     "if s then s = 1; else s = 2; endif;\n"
                     "while s < 1 loop s = s + 1; endloop; o = s; }");
    ASSERT_TRUE(c.errors.empty());
    const auto& code = c.objects[0]->code;
    // Whole-array literal: 1, count, local offset, first constant.
    EXPECT_EQ(std::vector<int>(code.begin(), code.begin() + 4), (std::vector<int>{1, 2, 0, 0}));
    // Element assignment: 3, offset, size, end of index, index, end of value, value.
    EXPECT_EQ(std::vector<int>(code.begin() + 4, code.begin() + 11),
              (std::vector<int>{3, 0, 2, 8, 101, 10, 102}));
    // Scalar s at local offset 2: 2, 2, end, constant.
    EXPECT_EQ(std::vector<int>(code.begin() + 11, code.begin() + 15),
              (std::vector<int>{2, 2, 14, 103}));
    // If with else: 6, else start, end of condition, condition (-3), then, jump, else.
    EXPECT_EQ(code[15], 6);
    EXPECT_EQ(code[17], 18);
    EXPECT_EQ(code[18], -3);
    EXPECT_EQ(code[23], 4);
    EXPECT_EQ(code[16], 25);
    EXPECT_EQ(code[24], 29);
    // While: 7, exit, end of condition, ..., 4, index of the 7.
    EXPECT_EQ(code[29], 7);
    int exit = code[30];
    EXPECT_EQ(code[exit - 2], 4);
    EXPECT_EQ(code[exit - 1], 29);
    EXPECT_EQ(code[exit], 8);
}

TEST(Compiler, HeaderSizesRoundHalvesUp) {
    auto c = compile("p(x[2.5], a[0.4]) { p = 1; }");
    ASSERT_TRUE(c.errors.empty());
    EXPECT_EQ(c.objects[0]->xSize, 3);
    EXPECT_EQ(c.objects[0]->aSize, 0);
    EXPECT_EQ(firstError("p(x[1], a[0]) { array b[0.4]; p = 1; }"),
              "1:25: Array size must be greater than zero");
}

TEST(Compiler, HeaderErrorsNameTheMissingLexeme) {
    EXPECT_EQ(firstError("1"), "1:1: Object name expected");
    EXPECT_EQ(firstError("p x"), "1:3: Left parenthesis expected");
    EXPECT_EQ(firstError("p(y"), "1:3: \"X\" expected");
    EXPECT_EQ(firstError("p(x[3] a"), "1:8: Comma expected");
    EXPECT_EQ(firstError("p(x[3], b"), "1:9: \"A\" expected");
    EXPECT_EQ(firstError("p(x[n]"), "1:5: Real number expected");
    EXPECT_EQ(firstError("p(x[3], a[1]) p"), "1:15: Left brace expected");
}

TEST(Compiler, ObjectNamesAreUniqueInAnyCase) {
    EXPECT_EQ(firstError("p(x[1], a[0]) { p = 1; }\nP(x[1], a[0]) { p = 1; }"),
              "2:1: Object name is not unique");
}

TEST(Compiler, BodyMustEndWithTheResultAssignment) {
    EXPECT_EQ(firstError("p(x[1], a[0]) { q = 1; }"), "1:24: Object name expected");
    EXPECT_EQ(firstError("p(x[1], a[0]) { p = 1; q = 2; }"), "1:24: Right brace expected");
}

TEST(Compiler, ReadingBeforeAssignmentInTextOrderIsAnError) {
    EXPECT_EQ(firstError("p(x[1], a[0]) { i = 0;\nwhile i < 2 loop\n"
                         "  if i > 0 then s = t; endif; t = 1; i = i + 1; endloop; p = 1; }"),
              "3:21: Unassigned identificator used in expression");
}

TEST(Compiler, ArrayLiteralsTakeExactlyTheArraySize) {
    auto c = compile("p(x[1], a[0]) { array v[3]; v = [1, -2, +3]; p = v[2]; }");
    ASSERT_TRUE(c.errors.empty());
    EXPECT_EQ(c.objects[0]->constants, (std::vector<float>{1, -2, 3, 2}));
    EXPECT_EQ(firstError("p(x[1], a[0]) { array v[3]; v = [1, 2]; p = 1; }"),
              "1:38: Comma expected");
    EXPECT_EQ(firstError("p(x[1], a[0]) { array v[3]; v = [1, 2, 3, 4]; p = 1; }"),
              "1:41: Right bracket expected");
    EXPECT_EQ(firstError("p(x[1], a[0]) { array v[3]; v 1; p = 1; }"),
              "1:31: Left bracket or assign mark expected");
}

TEST(Compiler, RelationsOnlyInConditions) {
    EXPECT_EQ(firstError("p(x[1], a[0]) { d = 1; b = d < 3; p = 1; }"),
              "1:30: Semicolon expected");
    EXPECT_EQ(firstError("p(x[1], a[0]) { c = 1; if (c+1)*2 > c then c = 2; endif; p = 1; }"),
              "1:32: Reserved word \"then\" expected");
    EXPECT_TRUE(firstError("p(x[1], a[0]) { c = 1; if 2*(c+1) > c then c = 2; endif; p = c; }")
                    .empty());
}

TEST(Compiler, BuiltinArgumentsFollowTheTable) {
    EXPECT_EQ(firstError("p(x[1], a[0]) { p = max(1); }"), "1:26: Comma expected");
    EXPECT_EQ(firstError("p(x[1], a[0]) { p = sin(1, 2); }"),
              "1:26: Right parenthesis expected");
    EXPECT_EQ(firstError("p(x[3], a[0]) { array c[3]; c = [0,0,0]; p = sin(c); }"),
              "1:51: Left bracket expected");
    EXPECT_EQ(firstError("p(x[3], a[0]) { s = 1; p = lvsphere(x, s, 1); }"),
              "1:40: Only array name expected");
    EXPECT_EQ(firstError("p(x[3], a[0]) { p = lvsphere(x, 2, 1); }"),
              "1:33: Error in function argument");
}

TEST(Compiler, ObjectCallsCheckSizesAndCopyTheCallee) {
    const char* base = "q(x[2], a[0]) { q = x[1] + x[2]; }\n";
    EXPECT_EQ(firstError(std::string(base) + "p(x[3], a[0]) { p = q(x, 0); }"),
              "2:23: Wrong number of elements in array");
    // An empty argument passes nothing: refused when the callee expects elements.
    EXPECT_EQ(firstError(std::string(base) + "p(x[2], a[1]) { p = q(0, a); }"),
              "2:23: Wrong number of elements in array");
    EXPECT_EQ(firstError(std::string(base) + "p(x[2], a[0]) { p = r(x, 0); }"),
              "2:21: Unassigned identificator used in expression");
    auto c = compile(std::string(base) + "p(x[2], a[0]) { p = q(x, 0) * q(x, 1); }");
    ASSERT_TRUE(c.errors.empty());
    const CompiledObject& p = *c.objects[1];
    EXPECT_EQ(p.callees.size(), 1u);
    EXPECT_EQ(p.nestedSlots, 2);
    // The caller stands on its own once the list that compiled it is gone.
    auto keep = c.objects[1];
    c.objects.clear();
    auto r = testing::run(*keep, {2, 3});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.value, 25.0f);
}

TEST(Compiler, ObjectsMayCallTheLibraryButNotThemselvesOrLaterObjects) {
    auto lib = compile("twice(x[1], a[0]) { twice = 2 * x[1]; }");
    ASSERT_TRUE(lib.errors.empty());
    auto c = compile("p(x[1], a[0]) { p = twice(x, 0) + 1; }", lib.objects);
    ASSERT_TRUE(c.errors.empty());
    EXPECT_EQ(testing::run(*c.objects[0], {4}).value, 9.0f);
    // An object names only itself or earlier objects: other names are plain identifiers.
    EXPECT_EQ(firstError("p(x[1], a[0]) { p = p(x, 0); }"),
              "1:21: Unassigned identificator used in expression");
    EXPECT_EQ(firstError("p(x[1], a[0]) { p = q(x, 0); } q(x[1], a[0]) { q = 1; }"),
              "1:21: Unassigned identificator used in expression");
}

TEST(Compiler, AfterAStatementErrorParsingResumesAtTheNextStatement) {
    auto c = compile("p(x[1], a[0]) { b = ; c = 1 +; d = 2; p = d; }");
    ASSERT_EQ(c.errors.size(), 2u);
    EXPECT_EQ(c.errors[0].column, 21);
    EXPECT_EQ(c.errors[1].column, 30);
    EXPECT_STREQ(c.errors[1].message, "Expression expected");
    EXPECT_TRUE(c.objects.empty());
}

TEST(Compiler, ErrorLexemesGetTheMessageOfTheConstruct) {
    EXPECT_EQ(firstError("p(x[1], a[0]) { p = 01; }"), "1:21: Expression expected");
    EXPECT_EQ(firstError("p(x[1], a[0]) { p = 1 _; }"), "1:23: Semicolon expected");
}

TEST(Compiler, PrecedenceAndGrouping) {
    EXPECT_EQ(testing::evalExpr("-2^2").value, 4.0f);
    EXPECT_EQ(testing::evalExpr("2^3^2").value, 64.0f);
    EXPECT_EQ(testing::evalExpr("2+3*4").value, 14.0f);
    EXPECT_EQ(testing::evalExpr("10-4-3").value, 3.0f);
    EXPECT_EQ(testing::evalExpr("- -2").value, 2.0f);
    EXPECT_EQ(evalLast("t(x[0], a[0]) { r = 0; if 3 < 2 < 1 then r = 5; endif; t = r; }").value,
              5.0f);
    EXPECT_EQ(evalLast("t(x[0], a[0]) { r = 0; if not 0 = 1 then r = 7; endif; t = r; }").value,
              7.0f);
}

TEST(Compiler, AbsurdNestingIsRefusedNotOverflowed) {
    std::string deep = "p(x[1], a[0]) { p = " + std::string(100000, '(') + "1; }";
    EXPECT_EQ(firstError(deep).substr(firstError(deep).find(' ') + 1),
              "Expression is nested too deeply");
    std::string ifs = "p(x[1], a[0]) { ";
    for (int i = 0; i < 5000; ++i) ifs += "if 1 then ";
    EXPECT_EQ(firstError(ifs), "1:2560: Expression is nested too deeply");
    std::string chain = "p(x[0], a[0]) { p = 1";
    for (int i = 0; i < 50000; ++i) chain += "+1";
    EXPECT_EQ(firstError(chain + "; }"), "1:4022: Expression is nested too deeply");
}

TEST(Compiler, DumpShowsEveryPart) {
    auto c = compile("cube(x[3], a[1]) { cube = 1 - x[1]^2; }");
    EXPECT_EQ(dumpObject(*c.objects[0]), "  slots 4 nested 0\n"
                                         "  code 8 9 99 100 3 0 9 101 24 21\n"
                                         "  constants 1 1 2\n"
                                         "  strings\n"
                                         "  callees\n");
}

} // namespace
} // namespace lv::lang
