#include "lang/builtins.h"

#include <cctype>

namespace lv::lang {

namespace {
constexpr int R = kArgReal;
[[maybe_unused]] constexpr int S = kArgString;
constexpr int A = kArgArray;

template <class... Kinds> constexpr int countOf(Kinds...) { return sizeof...(Kinds); }
} // namespace

#define LV_BUILTIN_TABLE_ROW(id, name, kinds, check) \
    {name, countOf kinds, {LV_BUILTIN_KINDS kinds}, CheckKind::check},
#define LV_BUILTIN_KINDS(...) __VA_ARGS__
constexpr BuiltinRow kBuiltins[kBuiltinCount] = {LV_BUILTIN_ROWS(LV_BUILTIN_TABLE_ROW)};
#undef LV_BUILTIN_KINDS
#undef LV_BUILTIN_TABLE_ROW

namespace {
// Every row fits the argument vector; the mathematical rows take reals only, one each up to
// sign and two from mod on (the interpreter reads their operands by that rule).
constexpr bool rowsAreWellFormed() {
    for (int row = 0; row < kBuiltinCount; ++row) {
        const BuiltinRow& b = kBuiltins[row];
        if (b.argumentCount < 1 || b.argumentCount > kMaxArguments) return false;
        if (row >= kMathBuiltinCount) continue;
        if (b.argumentCount != (row < rowOf(Builtin::Mod) ? 1 : 2)) return false;
        for (int i = 0; i < b.argumentCount; ++i)
            if (b.argumentKinds[i] != kArgReal) return false;
    }
    return true;
}
static_assert(rowsAreWellFormed());
} // namespace

// ORDER MESSAGE
const char* const kMessages[kMessageCount] = {
    "Second quotation mark expected",
    "Wrong format of number",
    "Unknown lexem found",
    "Lexem is too long",
    "Identifier is too long",
    "Object name expected",
    "Object name is not unique",
    "Left parenthesis expected",
    "\"X\" expected",
    "Left bracket expected",
    "Real number expected", // 10
    "Array size must be greater than zero",
    "Right bracket expected",
    "Comma expected",
    "\"A\" expected",
    "Right parenthesis expected",
    "Left brace expected",
    "Assign mark expected",
    "Semicolon expected",
    "Second unary plus is not allowed",
    "Second unary minus is not allowed", // 20
    "Second unary tilde is not allowed",
    "Error in function argument",
    "Wrong number of elements in array",
    "Only array name expected",
    "Reserved word \"then\" expected",
    "Reserved word \"endif\" expected",
    "Reserved words \"else\" or \"endif\" expected",
    "Reserved word \"loop\" expected",
    "Reserved word \"endloop\" expected",
    "Bad code is generated for object", // 30
    "Not initialized variable",
    "Division by zero",
    "Negative argument value of power function",
    "Value of ALPHA should be in range 0.0 .. 1.0",
    "Negative argument value of square root",
    "Negative argument of log function",
    "Function is not implemented yet",
    "Identifier expected",
    "Right brace expected",
    "Unassigned identificator used in expression", // 40
    "Some items of array are unassigned",
    "Expression expected",
    "Left bracket or assign mark expected",
    "Array index out of range",
    "Identifier, \"if\" or \"while\"  expected",
    "Argument must be in range -1.0 .. +1.0",
    "Cannot compute tan for this argument",
    "Zero value in negative or zero power",
    "Invalid parameters for blend",
    "Stretch: scale parameter is zero", // 50
};
static_assert(kMessageCount == 51);

namespace {
bool equalsLower(const char* tableName, std::string_view lowerName) {
    std::size_t i = 0;
    for (; tableName[i] != '\0'; ++i) {
        if (i >= lowerName.size()) return false;
        char c = tableName[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerName[i]) return false;
    }
    return i == lowerName.size();
}
} // namespace

int findBuiltin(std::string_view lowerName) {
    for (int row = 0; row < kBuiltinCount; ++row)
        if (equalsLower(kBuiltins[row].name, lowerName)) return row;
    return -1;
}

std::string builtinSignature(int row) {
    if (row < 0 || row >= kBuiltinCount) return {};
    const BuiltinRow& b = kBuiltins[row];
    std::string s = b.name;
    s += '(';
    for (int i = 0; i < b.argumentCount; ++i) {
        if (i > 0) s += ", ";
        s += b.argumentKinds[i] == kArgReal ? 'R' : b.argumentKinds[i] == kArgString ? 'S' : 'A';
    }
    s += ')';
    return s;
}

const char* messageText(int index) {
    return index >= 0 && index < kMessageCount ? kMessages[index] : "";
}

} // namespace lv::lang
