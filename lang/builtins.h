#pragma once
// The built-in function table and the message table: the language's fixed vocabulary.
#include <string>
#include <string_view>

namespace lv::lang {

constexpr int kBuiltinCount = 66;                // rows of the built-in function table
constexpr int kMathBuiltinCount = 19;            // rows 0..18 are computed by the interpreter
constexpr int kMaxArguments = 10;                // argument vector size of a built-in call
constexpr int kConstantBase = 33 + kBuiltinCount; // first code word that names a constant

enum ArgKind : int { kArgReal = 0, kArgString = 1, kArgArray = 2 };

// Argument checks that run before a primitive's evaluation (one implementation per kind).
enum class CheckKind { None, Accept, Scales, TaperScales, Blend, ParameterArray };

struct BuiltinRow {
    const char* name; // as written in the table; programs compare it case-insensitively
    int argumentCount;
    int argumentKinds[kMaxArguments];
    CheckKind check;
};

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
