#pragma once
// The built-in function table and the message table: the language's fixed vocabulary.
#include <string>
#include <string_view>

namespace lv::lang {

// ORDER BUILTIN: the built-in function table, one X(enumerator, name, (argument kinds), check)
// per row, in row order. A row's number is part of the code format (code word 33 + row), so
// rows are only ever added at the end. The name is as written in the table (programs compare
// it case-insensitively); argument kinds are R (real), S (string) and A (array); check names
// the CheckKind that runs before a primitive's evaluation.
#define LV_BUILTIN_ROWS(X) \
    X(Sqrt, "sqrt", (R), None)                                        \
    X(Exp, "exp", (R), None)                                          \
    X(Log, "log", (R), None)                                          \
    X(Logd, "logd", (R), None)                                        \
    X(Sin, "sin", (R), None)                                          \
    X(Cos, "cos", (R), None)                                          \
    X(Tan, "tan", (R), None)                                          \
    X(Asin, "asin", (R), None)                                        \
    X(Acos, "acos", (R), None)                                        \
    X(Atan, "atan", (R), None)                                        \
    X(Abs, "abs", (R), None) /* 10 */                                 \
    X(Sinh, "sinh", (R), None)                                        \
    X(Cosh, "cosh", (R), None)                                        \
    X(Tanh, "tanh", (R), None)                                        \
    X(Sign, "sign", (R), None)                                        \
    X(Mod, "mod", (R, R), None)                                       \
    X(Max, "max", (R, R), None)                                       \
    X(Min, "min", (R, R), None)                                       \
    X(Atan2, "atan2", (R, R), None)                                   \
    X(LvRotate3dZ, "lvrotate3dz", (A, R), Accept)                     \
    X(LvRotate3dY, "lvrotate3dy", (A, R), Accept) /* 20 */            \
    X(LvRotate3dX, "lvrotate3dx", (A, R), Accept)                     \
    X(LvSphere, "lvsphere", (A, A, R), None)                          \
    X(LvCylinderX, "lvcylinderx", (A, A, R), None)                    \
    X(LvCylinderY, "lvcylindery", (A, A, R), None)                    \
    X(LvCylinderZ, "lvcylinderz", (A, A, R), None)                    \
    X(LvConeX, "lvconex", (A, A, R), None)                            \
    X(LvConeY, "lvconey", (A, A, R), None)                            \
    X(LvConeZ, "lvconez", (A, A, R), None)                            \
    X(LvTorusZ, "lvtorusz", (A, A, R, R), None)                       \
    X(LvTorusX, "lvtorusx", (A, A, R, R), None) /* 30 */              \
    X(LvTorusY, "lvtorusy", (A, A, R, R), None)                       \
    X(LvEllCylX, "lvellcylx", (A, A, R, R), None)                     \
    X(LvEllCylY, "lvellcyly", (A, A, R, R), None)                     \
    X(LvEllCylZ, "lvellcylz", (A, A, R, R), None)                     \
    X(LvEllConeX, "lvellconex", (A, A, R, R), None)                   \
    X(LvEllConeY, "lvellconey", (A, A, R, R), None)                   \
    X(LvEllConeZ, "lvellconez", (A, A, R, R), None)                   \
    X(LvConvPoint, "lvconvpoint", (A, A, A, R), None)                 \
    X(LvConvTriangle, "lvconvtriangle", (A, A, A, R), None)           \
    X(LvConvCurve, "lvconvcurve", (A, A, A, R), None) /* 40 */        \
    X(LvScale3d, "lvscale3d", (A, R, R, R), Scales)                   \
    X(LvShift3d, "lvshift3d", (A, R, R, R), Accept)                   \
    X(LvNoiseG, "lvnoiseg", (A, R, R, R), None)                       \
    X(LvEllipsoid, "lvellipsoid", (A, A, R, R, R), None)              \
    X(LvBlock, "lvblock", (A, A, R, R, R), None)                      \
    X(LvConvLine, "lvconvline", (A, A, A, A, R), None)                \
    X(LvConvMesh, "lvconvmesh", (A, A, A, A, R), None)                \
    X(LvBlendUni, "lvblenduni", (R, R, R, R, R), Blend)               \
    X(LvBlendInt, "lvblendint", (R, R, R, R, R), Blend)               \
    X(LvTwistZ, "lvtwistz", (A, R, R, R, R), Accept) /* 50 */         \
    X(LvTwistY, "lvtwisty", (A, R, R, R, R), Accept)                  \
    X(LvTwistX, "lvtwistx", (A, R, R, R, R), Accept)                  \
    X(LvStretch3d, "lvstretch3d", (A, A, R, R, R), Scales)            \
    X(LvTaperZ, "lvtaperz", (A, R, R, R, R), TaperScales)             \
    X(LvTaperY, "lvtapery", (A, R, R, R, R), TaperScales)             \
    X(LvTaperX, "lvtaperx", (A, R, R, R, R), TaperScales)             \
    X(LvSoft, "lvsoft", (A, A, A, A, A, R), ParameterArray)           \
    X(LvBlobby, "lvblobby", (A, A, A, A, A, A, R), ParameterArray)    \
    X(LvMetaball, "lvmetaball", (A, A, A, A, A, A, R), Accept)        \
    X(LvFmapBlob, "lvfmapblob", (A, R, A, A, A, A, A), None) /* 60 */ \
    X(LvSuperEll, "lvsuperell", (A, A, R, R, R, R, R), None)          \
    X(LvConvArc, "lvconvarc", (A, A, A, A, A, A, A, R), None)         \
    X(LvBezierSplineF, "lvBezierSplineF", (A, R, R, R, A, A), None)   \
    X(LvCubicBSplineF, "lvCubicBSplineF", (A, R, R, R, A, A), None)   \
    X(LvSpaceMapCubic, "lvSpaceMapCubic", (A, A, A, R), None)

// One enumerator per row of the built-in function table, in row order.
enum class Builtin : int {
#define LV_BUILTIN_ENUMERATOR(id, name, kinds, check) id,
    LV_BUILTIN_ROWS(LV_BUILTIN_ENUMERATOR)
#undef LV_BUILTIN_ENUMERATOR
};

// The row number of b.
constexpr int rowOf(Builtin b) { return static_cast<int>(b); }

#define LV_BUILTIN_COUNT_ROW(id, name, kinds, check) +1
constexpr int kBuiltinCount = 0 LV_BUILTIN_ROWS(LV_BUILTIN_COUNT_ROW); // rows of the table
#undef LV_BUILTIN_COUNT_ROW
// Rows before the first transform are computed by the interpreter itself; the rest are
// primitives.
constexpr int kMathBuiltinCount = rowOf(Builtin::LvRotate3dZ);
constexpr int kMaxArguments = 10;                // argument vector size of a built-in call
constexpr int kConstantBase = 33 + kBuiltinCount; // first code word that names a constant

// Facts of the code format that no new row may change.
static_assert(kBuiltinCount == 66);
static_assert(kMathBuiltinCount == 19);
static_assert(rowOf(Builtin::LvSpaceMapCubic) == kBuiltinCount - 1);
static_assert(kConstantBase == 99);

enum ArgKind : int { kArgReal = 0, kArgString = 1, kArgArray = 2 };

// Argument checks that run before a primitive's evaluation (one implementation per kind).
enum class CheckKind { None, Accept, Scales, TaperScales, Blend, ParameterArray };

struct BuiltinRow {
    const char* name; // as written in the table; programs compare it case-insensitively
    int argumentCount;
    int argumentKinds[kMaxArguments];
    CheckKind check;
};

// Generated from LV_BUILTIN_ROWS: kBuiltins[rowOf(b)] is the row of b.
extern const BuiltinRow kBuiltins[kBuiltinCount];

// Row whose lower-cased name equals lowerName, or -1.
int findBuiltin(std::string_view lowerName);

// "name(A, A, R)": one letter per argument (R real, S string, A array).
std::string builtinSignature(int row);

// ORDER MESSAGE: indexes of the message table.
enum MessageId : int {
    kMsgSecondQuote = 0,
    kMsgWrongNumber,
    kMsgUnknownLexem,
    kMsgLexemTooLong,
    kMsgIdentifierTooLong,
    kMsgObjectNameExpected,
    kMsgObjectNameNotUnique,
    kMsgLeftParenExpected,
    kMsgXExpected,
    kMsgLeftBracketExpected,
    kMsgRealNumberExpected, // 10
    kMsgArraySizeNotPositive,
    kMsgRightBracketExpected,
    kMsgCommaExpected,
    kMsgAExpected,
    kMsgRightParenExpected,
    kMsgLeftBraceExpected,
    kMsgAssignExpected,
    kMsgSemicolonExpected,
    kMsgSecondUnaryPlus,
    kMsgSecondUnaryMinus, // 20
    kMsgSecondUnaryTilde,
    kMsgErrorInArgument,
    kMsgWrongElementCount,
    kMsgOnlyArrayName,
    kMsgThenExpected,
    kMsgEndifExpected,
    kMsgElseOrEndifExpected,
    kMsgLoopExpected,
    kMsgEndloopExpected,
    kMsgBadCode, // 30
    kMsgNotInitialized,
    kMsgDivisionByZero,
    kMsgNegativePowerBase,
    kMsgAlphaRange,
    kMsgNegativeSqrt,
    kMsgNegativeLog,
    kMsgNotImplemented,
    kMsgIdentifierExpected,
    kMsgRightBraceExpected,
    kMsgUnassignedIdentifier, // 40
    kMsgArrayItemsUnassigned,
    kMsgExpressionExpected,
    kMsgBracketOrAssignExpected,
    kMsgIndexOutOfRange,
    kMsgIdentIfWhileExpected,
    kMsgArgumentRange,
    kMsgTanArgument,
    kMsgZeroPower,
    kMsgInvalidBlend,
    kMsgStretchZeroScale, // 50
    kMessageCount
};

extern const char* const kMessages[kMessageCount];

// Text of message index, or "" for an index outside the table.
const char* messageText(int index);

} // namespace lv::lang
