// Every row of the built-in function table, compiled from program text and run through the
// interpreter: values and run-time errors at chosen points, and the compile errors that a
// wrong argument list gives. Several calls read x through constant indexes that must be
// rounded to the nearest element (x[1.5] is x[2]) and squares of elements below EPS.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "lang/builtins.h"
#include "lang/settings.h"
#include "lang_test_util.h"

namespace lv::lang {
namespace {

using testing::compile;
using testing::firstError;
using testing::run;

float f(double v) { return static_cast<float>(v); }

struct Point {
    std::vector<float> x;
    float value = 0.0f;
    const char* error = nullptr; // a run-time error at the call instead of a value
};

// One row: declarations (line 2 of the program), the statements that end with t = ...
// (line 3, the call being the first occurrence of the row's name) and the points.
struct RowCase {
    const char* name;
    const char* declarations;
    const char* body;
    std::vector<Point> points;
};

const char* const kSegmentText = "ERROR:Tips of the segment take same coordinate!\n";
const char* const kBlend = "Invalid parameters for blend";
const char* const kZeroScale = "Stretch: scale parameter is zero";

// clang-format off
const std::vector<RowCase>& rowCases() {
    static const std::vector<RowCase> cases = {
        {"sqrt", "", "t = sqrt(x[1.5]);",
         {{{7.25f, 4, 0}, 2}, {{7.25f, 2, 0}, f(std::sqrt(2.0))},
          {{7.25f, -1, 0}, 0, "Negative argument value of square root"}}},
        {"exp", "", "t = exp(x[2]);", {{{0, 1, 0}, f(std::exp(1.0))}, {{0, -2, 0}, f(std::exp(-2.0))}}},
        {"log", "", "t = log(x[2.4]);",
         {{{0, 10, 0}, f(std::log(10.0))}, {{0, 0, 0}, 0, "Negative argument of log function"}}},
        {"logd", "", "t = logd(x[2]);",
         {{{0, 100, 0}, 2}, {{0, -5, 0}, 0, "Negative argument of log function"}}},
        {"sin", "", "t = sin(x[1.5]);", {{{7.25f, 0.5f, 0}, f(std::sin(0.5))}}},
        {"cos", "", "t = cos(x[2]);", {{{0, 0.5f, 0}, f(std::cos(0.5))}}},
        {"tan", "", "t = tan(x[2]);",
         {{{0, 1, 0}, f(std::tan(1.0))},
          {{0, 1.5707964f, 0}, 0, "Cannot compute tan for this argument"}}},
        {"asin", "", "t = asin(x[2]);",
         {{{0, 0.5f, 0}, f(std::asin(0.5))},
          {{0, 1.5f, 0}, 0, "Argument must be in range -1.0 .. +1.0"}}},
        {"acos", "", "t = acos(x[2]);",
         {{{0, -0.5f, 0}, f(std::acos(-0.5))},
          {{0, -1.0001f, 0}, 0, "Argument must be in range -1.0 .. +1.0"}}},
        {"atan", "", "t = atan(x[2]);", {{{0, 1, 0}, f(std::atan(1.0))}}},
        {"abs", "", "t = abs(x[1.5]);", {{{7.25f, -2.5f, 0}, 2.5f}, {{7.25f, 3, 0}, 3}}},
        {"sinh", "", "t = sinh(x[1.5]);",
         {{{7.25f, 0.5f, 0}, f(std::sinh(0.5))}, {{7.25f, -1, 0}, f(std::sinh(-1.0))}}},
        {"cosh", "", "t = cosh(x[1.5]);", {{{7.25f, 0.5f, 0}, f(std::cosh(0.5))}}},
        {"tanh", "", "t = tanh(x[2]);", {{{0, 0.5f, 0}, f(std::tanh(0.5))}}},
        // A square below EPS is 0, and sign(0) is 1.
        {"sign", "", "t = sign(0 - x[2.5]^2) + 10 * sign(x[1]);",
         {{{1, 0, -3}, 9}, {{-1, 0, 0.0000005f}, -9}, {{0, 0, 0.001f}, 9}}},
        // The quotient of the nearest integers, truncated toward zero.
        {"mod", "", "t = mod(x[1], x[2]);",
         {{{7.4f, 1.6f, 0}, 3}, {{-7, 2, 0}, -3}, {{1, 0.4f, 0}, 0, "Division by zero"}}},
        {"max", "", "t = max(x[1], x[2]);", {{{1, 2, 0}, 2}, {{-1, -3, 0}, -1}}},
        {"min", "", "t = min(x[1], x[2]);", {{{1, 2, 0}, 1}, {{-1, -3, 0}, -3}}},
        {"atan2", "", "t = atan2(x[1], x[2]);", {{{1, -1, 0}, f(std::atan2(1.0, -1.0))}}},
        // Transforms return 1 and change x in place.
        {"lvrotate3dz", "", "r = lvrotate3dz(x, 30); t = r * 1000 + 100 * x[1] + 10 * x[2] + x[3];",
         {{{1, 2, 3}, 833.78418f}}},
        {"lvrotate3dy", "", "r = lvrotate3dy(x, 30); t = r * 1000 + 100 * x[1] + 10 * x[2] + x[3];",
         {{{1, 2, 3}, 1331.3093f}}},
        {"lvrotate3dx", "", "r = lvrotate3dx(x, 30); t = r * 1000 + 100 * x[1] + 10 * x[2] + x[3];",
         {{{1, 2, 3}, 1075.8829f}}},
        // R^2 minus the squared distance from the centre.
        {"lvsphere", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvsphere(x, c, 2);",
         {{{1, 0.5f, -0.5f}, 2.06f}, {{0.1f, -0.2f, 0.3f}, 4}}},
        {"lvcylinderx", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvcylinderx(x, c, 2);",
         {{{1, 0.5f, -0.5f}, 2.87f}}},
        {"lvcylindery", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvcylindery(x, c, 2);",
         {{{1, 0.5f, -0.5f}, 2.55f}}},
        {"lvcylinderz", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvcylinderz(x, c, 2);",
         {{{1, 0.5f, -0.5f}, 2.7f}}},
        {"lvconex", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvconex(x, c, 2);",
         {{{1, 0.5f, -0.5f}, 0.52749997f}}},
        {"lvconey", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvconey(x, c, 2);",
         {{{1, 0.5f, -0.5f}, 0.1275f}}},
        {"lvconez", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvconez(x, c, 2);",
         {{{1, 0.5f, -0.5f}, 0.31500003f}}},
        {"lvtorusz", "array c[3]; c = [0, 0, 0];", "t = lvtorusz(x, c, 2, 0.5);",
         {{{0, 0, 0}, -3.75f}, {{2, 0, 0}, 0.25f}}},
        {"lvtorusx", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvtorusx(x, c, 2, 0.5);",
         {{{1, 0.5f, -0.5f}, -1.4379417f}}},
        {"lvtorusy", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvtorusy(x, c, 2, 0.5);",
         {{{1, 0.5f, -0.5f}, -0.87336218f}}},
        {"lvellcylx", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvellcylx(x, c, 1, 2);",
         {{{1, 0.5f, -0.5f}, 0.34999999f}}},
        {"lvellcyly", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvellcyly(x, c, 1, 2);",
         {{{1, 0.5f, -0.5f}, 0.029999997f}}},
        {"lvellcylz", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvellcylz(x, c, 1, 2);",
         {{{1, 0.5f, -0.5f}, 0.067500003f}}},
        {"lvellconex", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvellconex(x, c, 1, 2);",
         {{{1, 0.5f, -0.5f}, 0.15999998f}}},
        {"lvellconey", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvellconey(x, c, 1, 2);",
         {{{1, 0.5f, -0.5f}, -0.47999999f}}},
        {"lvellconez", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvellconez(x, c, 1, 2);",
         {{{1, 0.5f, -0.5f}, -0.29249999f}}},
        {"lvconvpoint", "array c[3], s[1]; c = [0.3, 0.7, -0.4]; s = [1];",
         "t = lvconvpoint(x, c, s, 0.25);", {{{0, 0, 0}, 0.080294624f}}},
        {"lvconvtriangle", "array v[9], s[1]; v = [0, 0, 0, 1, 0, 0, 0.3, 0.8, 0]; s = [2];",
         "t = lvconvtriangle(x, v, s, 0);", {{{0.4f, 0.3f, 0.5f}, 0.61276108f}}},
        {"lvconvcurve", "array v[9], s[1]; v = [0, 0, 0, 1, 0, 0, 1, 1, 0]; s = [1];",
         "t = lvconvcurve(x, v, s, 0.5);", {{{0.4f, 0.3f, 0.5f}, -0.0074185994f}}},
        {"lvscale3d", "", "r = lvscale3d(x, 2, x[3], 4); t = r * 1000 + 100 * x[1] + 10 * x[2];",
         {{{1, 2, 4}, 1055}, {{1, 2, 0}, 0, kZeroScale}}},
        {"lvshift3d", "", "r = lvshift3d(x, 1, 2, 3); t = r * 1000 + 100 * x[1] + 10 * x[2] + x[3];",
         {{{1, 2, 3}, 1000}}},
        {"lvnoiseg", "", "t = lvnoiseg(x, 0.5, 2, 1);", {{{0.3f, 1.2f, -0.4f}, -0.034801293f}}},
        {"lvellipsoid", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvellipsoid(x, c, 1, 2, 3);",
         {{{1, 0.5f, -0.5f}, -0.0036111115f}}},
        {"lvblock", "array c[3]; c = [0, 0, 0];", "t = lvblock(x, c, 1, 2, 3);",
         {{{0.5f, 0.5f, 0.5f}, 0.19200754f}}},
        {"lvconvline", "array b[3], s[1]; b = [0, 0, 0]; s = [1];",
         "t = lvconvline(x, b, x, s, 0.25);",
         {{{0.4f, 0.3f, 0.5f}, 0.29344207f}, {{0, 0, 0}, 0, kSegmentText}}},
        {"lvconvmesh", "array v[9], k[3], s[1]; v = [0, 0, 0, 1, 0, 0, 0.3, 0.8, 0]; k = [1, 2, 3]; s = [2];",
         "t = lvconvmesh(x, v, k, s, 0);", {{{0.4f, 0.3f, 0.5f}, 0.61276108f}}},
        {"lvblenduni", "", "t = lvblenduni(x[1], x[2], 1, x[3], 1);",
         {{{1, 2, 1}, 5.4027348f}, {{1, 2, 0}, 0, kBlend}}},
        {"lvblendint", "", "t = lvblendint(x[1], x[2], 1, 1, x[3]);",
         {{{1, 2, 1}, 0.93059868f}, {{1, 2, 0}, 0, kBlend}}},
        {"lvtwistz", "", "r = lvtwistz(x, 0, 2, 0, 1); t = r * 1000 + 100 * x[1] + 10 * x[2] + x[3];",
         {{{1, 2, 1}, 1197.4008f}}},
        {"lvtwisty", "", "r = lvtwisty(x, 0, 2, 0, 1); t = r * 1000 + 100 * x[1] + 10 * x[2] + x[3];",
         {{{1, 2, 1}, 991.26489f}}},
        {"lvtwistx", "", "r = lvtwistx(x, 0, 2, 0, 1); t = r * 1000 + 100 * x[1] + 10 * x[2] + x[3];",
         {{{1, 2, 1}, 1122.2646f}}},
        {"lvstretch3d", "array c[3]; c = [0.1, -0.2, 0.3];",
         "r = lvstretch3d(x, c, 2, 3, x[3]); t = r * 1000 + 100 * x[1] + 10 * x[2];",
         {{{1, 2, 4}, 1060.3334f}, {{1, 2, 0.0000005f}, 0, kZeroScale}}},
        {"lvtaperz", "", "r = lvtaperz(x, 0, 2, 1, x[3]); t = r * 1000 + 100 * x[1] + 10 * x[2];",
         {{{1, 2, 2}, 1060}, {{1, 2, 0}, 0, kBlend}}},
        {"lvtapery", "", "r = lvtapery(x, 0, 2, 1, x[3]); t = r * 1000 + 100 * x[1] + 10 * x[3];",
         {{{1, 1, 2}, 1080}, {{1, 2, -1}, 0, kBlend}}},
        {"lvtaperx", "", "r = lvtaperx(x, 0, 2, x[3], 1); t = r * 1000 + 100 * x[2] + 10 * x[3];",
         {{{1, 2, 2}, 1146.6667f}, {{1, 2, 0}, 0, kBlend}}},
        {"lvsoft", "array p[1], q[1], w[1], d[1]; p = [0]; q = [0]; w = [0]; d = [2];",
         "t = lvsoft(x, p, q, w, d, 0.5);", {{{0.5f, 0.5f, 0}, 0.22309028f}}},
        {"lvblobby", "array p[1], q[1], w[1], b[1], d[1]; p = [0]; q = [0]; w = [0]; b = [1]; d = [1];",
         "t = lvblobby(x, p, q, w, b, d, 0.5);", {{{1, 1, 1}, f(std::exp(-3.0) - 0.5)}}},
        {"lvmetaball", "array p[2], q[2], w[2], b[2], d[2]; p = [0, 3]; q = [0, 0]; w = [0, 0]; b = [1, 2]; d = [3, 3];",
         "t = lvmetaball(x, p, q, w, b, d, 0.5);",
         {{{1, 0, 0}, f(2.0 / 3 + 2 * 1.5 * (1 - 2.0 / 3) * (1 - 2.0 / 3) - 0.5)}}},
        {"lvfmapblob", "array p[1], q[1], w[1], b[1], d[1]; p = [0]; q = [0]; w = [0]; b = [1]; d = [2];",
         "t = lvfmapblob(x, 0.5, p, q, w, b, d);", {{{0.5f, 0.5f, 0}, -0.3888889f}}},
        {"lvsuperell", "array c[3]; c = [0.1, -0.2, 0.3];", "t = lvsuperell(x, c, 1, 2, 3, 1, 1);",
         {{{1, 0.5f, -0.5f}, -0.0036111176f}}},
        {"lvconvarc", "array c[3], rad[1], g[1], v[3], h[1], s[1]; c = [0, 0, 0]; rad = [1]; g = [90]; v = [0, 0, 1]; h = [0]; s = [1];",
         "t = lvconvarc(x, c, rad, g, v, h, s, 0);", {{{0.3f, 0.2f, 0.1f}, 0.70143658f}}},
        {"lvBezierSplineF", "array b[6], k[8]; b = [0, 0, 0, 1, 1, 1]; k = [1, 2, 3, 4, 5, 6, 7, 8];",
         "t = lvBezierSplineF(x, 2, 2, 2, b, k);", {{{0.5f, 0.25f, 0.75f}, 0.08635357f}}},
        {"lvCubicBSplineF", "array b[6], k[64]; b = [0, 0, 0, 1, 1, 1]; k = [0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1, 3, 0, 2, 4, 1];",
         "t = lvCubicBSplineF(x, 4, 4, 4, b, k);", {{{0.5f, 0.25f, 0.75f}, 0.085374668f}}},
        {"lvSpaceMapCubic", "array d[3]; d = [1, 2, 3];",
         "r = lvSpaceMapCubic(x, x, d, 2); t = r * 1000 + 100 * x[1] + 10 * x[2] + x[3];",
         {{{0.5f, 0.25f, -1}, 1000 + 150 + 22.5f + 2}}},
    };
    return cases;
}
// clang-format on

std::string programFor(const RowCase& c, const std::string& call) {
    return std::string("t(x[3], a[0]) {\n    ") + c.declarations + " r = 0;\n    " + call +
           "\n}\n";
}

// "3:COLUMN: " for the first occurrence of name in the body line (case-insensitive).
std::string callPosition(const RowCase& c) {
    std::string body = c.body, name = c.name;
    for (char& ch : body) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return "3:" + std::to_string(body.find(name) + 5) + ": ";
}

TEST(BuiltinRows, OneCaseForEveryRowInTableOrder) {
    ASSERT_EQ(rowCases().size(), static_cast<std::size_t>(kBuiltinCount));
    for (int row = 0; row < kBuiltinCount; ++row)
        EXPECT_STREQ(rowCases()[row].name, kBuiltins[row].name) << row;
}

// The enumerators come from the same list as the table: each names its own row, and the
// lexer's lookup finds that row under the lower-cased name.
TEST(BuiltinRows, EnumeratorsNameTheirRowsInTableOrder) {
    struct Named {
        Builtin id;
        const char* name;
    };
#define LV_TEST_NAMED_ROW(id, name, kinds, check) {Builtin::id, name},
    const Named named[] = {LV_BUILTIN_ROWS(LV_TEST_NAMED_ROW)};
#undef LV_TEST_NAMED_ROW
    ASSERT_EQ(std::size(named), static_cast<std::size_t>(kBuiltinCount));
    for (int row = 0; row < kBuiltinCount; ++row) {
        std::string lower = named[row].name;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(rowOf(named[row].id), row) << lower;
        EXPECT_EQ(findBuiltin(lower), row) << lower;
        EXPECT_STREQ(kBuiltins[row].name, named[row].name);
    }
    EXPECT_EQ(kMathBuiltinCount, rowOf(Builtin::Atan2) + 1);
    EXPECT_EQ(findBuiltin("lvspacemapcubic"), kBuiltinCount - 1);
    EXPECT_EQ(findBuiltin("lvspacemapcubic2"), -1);
}

TEST(BuiltinRows, ValuesAndRunTimeErrorsAtChosenPoints) {
    for (const RowCase& c : rowCases()) {
        SCOPED_TRACE(c.name);
        testing::Compiled compiled = compile(programFor(c, c.body));
        ASSERT_TRUE(compiled.errors.empty())
            << compiled.errors[0].line << ":" << compiled.errors[0].column << ": "
            << compiled.errors[0].message;
        for (const Point& p : c.points) {
            testing::Outcome out = run(*compiled.objects.back(), p.x);
            if (p.error != nullptr) {
                EXPECT_EQ(out.error, callPosition(c) + p.error);
            } else {
                ASSERT_TRUE(out.ok) << out.error;
                EXPECT_FLOAT_EQ(out.value, p.value)
                    << "at " << p.x[0] << " " << p.x[1] << " " << p.x[2];
            }
        }
    }
}

// A call of row with kinds[i] standing for argument i: a real is "1", an array "x".
std::string callText(int row, const std::vector<int>& kinds, bool upperCase = false) {
    std::string text = kBuiltins[row].name;
    if (upperCase)
        for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    text += "(";
    for (std::size_t i = 0; i < kinds.size(); ++i)
        text += (i > 0 ? ", " : "") + std::string(kinds[i] == kArgArray ? "x" : "1");
    return text + ")";
}

std::vector<int> kindsOf(int row) {
    const BuiltinRow& b = kBuiltins[row];
    return {b.argumentKinds, b.argumentKinds + b.argumentCount};
}

// First compile error of "t = CALL;" on line 2 of an object.
std::string errorOfCall(const std::string& call) {
    return firstError("t(x[3], a[0]) {\n    t = " + call + ";\n}\n");
}

// "2:COLUMN: MESSAGE" for character index at of the call text.
std::string at(std::size_t index, const char* message) {
    return "2:" + std::to_string(index + 9) + ": " + message;
}

TEST(BuiltinRows, ArgumentListsCompileOnlyWithTheRowsKinds) {
    for (int row = 0; row < kBuiltinCount; ++row) {
        SCOPED_TRACE(kBuiltins[row].name);
        const std::vector<int> kinds = kindsOf(row);
        EXPECT_EQ(errorOfCall(callText(row, kinds)), "");
        EXPECT_EQ(errorOfCall(callText(row, kinds, true)), "") << "names ignore case";

        std::vector<int> fewer(kinds.begin(), kinds.end() - 1);
        std::string call = callText(row, fewer);
        EXPECT_EQ(errorOfCall(call), at(call.size() - 1, fewer.empty() ? "Expression expected"
                                                                         : "Comma expected"));

        std::vector<int> more = kinds;
        more.push_back(kArgReal);
        call = callText(row, more);
        EXPECT_EQ(errorOfCall(call), at(call.rfind(','), "Right parenthesis expected"));

        for (std::size_t i = 0; i < kinds.size(); ++i) {
            if (kinds[i] != kArgArray) continue;
            std::vector<int> wrong = kinds;
            wrong[i] = kArgReal;
            call = callText(row, wrong);
            std::size_t argument = std::string(kBuiltins[row].name).size() + 1 + 3 * i;
            EXPECT_EQ(errorOfCall(call), at(argument, "Error in function argument")) << i;
            call.replace(argument, 1, "a[1]"); // an element: the array name alone is taken
            const bool last = i + 1 == kinds.size();
            EXPECT_EQ(errorOfCall(call), at(argument + 1, last ? "Right parenthesis expected"
                                                               : "Comma expected"))
                << i;
        }
    }
}

} // namespace
} // namespace lv::lang
