#include "lang/builtins.h"

#include <cctype>

namespace lv::lang {

namespace {
constexpr int R = kArgReal;
constexpr int A = kArgArray;
using C = CheckKind;
} // namespace

// ORDER BUILTIN: row numbers are part of the code format (word 33 + row).
const BuiltinRow kBuiltins[kBuiltinCount] = {
    {"sqrt", 1, {R}, C::None},
    {"exp", 1, {R}, C::None},
    {"log", 1, {R}, C::None},
    {"logd", 1, {R}, C::None},
    {"sin", 1, {R}, C::None},
    {"cos", 1, {R}, C::None},
    {"tan", 1, {R}, C::None},
    {"asin", 1, {R}, C::None},
    {"acos", 1, {R}, C::None},
    {"atan", 1, {R}, C::None},
    {"abs", 1, {R}, C::None}, // 10
    {"sinh", 1, {R}, C::None},
    {"cosh", 1, {R}, C::None},
    {"tanh", 1, {R}, C::None},
    {"sign", 1, {R}, C::None},
    {"mod", 2, {R, R}, C::None},
    {"max", 2, {R, R}, C::None},
    {"min", 2, {R, R}, C::None},
    {"atan2", 2, {R, R}, C::None},
    {"lvrotate3dz", 2, {A, R}, C::Accept},
    {"lvrotate3dy", 2, {A, R}, C::Accept}, // 20
    {"lvrotate3dx", 2, {A, R}, C::Accept},
    {"lvsphere", 3, {A, A, R}, C::None},
    {"lvcylinderx", 3, {A, A, R}, C::None},
    {"lvcylindery", 3, {A, A, R}, C::None},
    {"lvcylinderz", 3, {A, A, R}, C::None},
    {"lvconex", 3, {A, A, R}, C::None},
    {"lvconey", 3, {A, A, R}, C::None},
    {"lvconez", 3, {A, A, R}, C::None},
    {"lvtorusz", 4, {A, A, R, R}, C::None},
    {"lvtorusx", 4, {A, A, R, R}, C::None}, // 30
    {"lvtorusy", 4, {A, A, R, R}, C::None},
    {"lvellcylx", 4, {A, A, R, R}, C::None},
    {"lvellcyly", 4, {A, A, R, R}, C::None},
    {"lvellcylz", 4, {A, A, R, R}, C::None},
    {"lvellconex", 4, {A, A, R, R}, C::None},
    {"lvellconey", 4, {A, A, R, R}, C::None},
    {"lvellconez", 4, {A, A, R, R}, C::None},
    {"lvconvpoint", 4, {A, A, A, R}, C::None},
    {"lvconvtriangle", 4, {A, A, A, R}, C::None},
    {"lvconvcurve", 4, {A, A, A, R}, C::None}, // 40
    {"lvscale3d", 4, {A, R, R, R}, C::Scales},
    {"lvshift3d", 4, {A, R, R, R}, C::Accept},
    {"lvnoiseg", 4, {A, R, R, R}, C::None},
    {"lvellipsoid", 5, {A, A, R, R, R}, C::None},
    {"lvblock", 5, {A, A, R, R, R}, C::None},
    {"lvconvline", 5, {A, A, A, A, R}, C::None},
    {"lvconvmesh", 5, {A, A, A, A, R}, C::None},
    {"lvblenduni", 5, {R, R, R, R, R}, C::Blend},
    {"lvblendint", 5, {R, R, R, R, R}, C::Blend},
    {"lvtwistz", 5, {A, R, R, R, R}, C::Accept}, // 50
    {"lvtwisty", 5, {A, R, R, R, R}, C::Accept},
    {"lvtwistx", 5, {A, R, R, R, R}, C::Accept},
    {"lvstretch3d", 5, {A, A, R, R, R}, C::Scales},
    {"lvtaperz", 5, {A, R, R, R, R}, C::TaperScales},
    {"lvtapery", 5, {A, R, R, R, R}, C::TaperScales},
    {"lvtaperx", 5, {A, R, R, R, R}, C::TaperScales},
    {"lvsoft", 6, {A, A, A, A, A, R}, C::ParameterArray},
    {"lvblobby", 7, {A, A, A, A, A, A, R}, C::ParameterArray},
    {"lvmetaball", 7, {A, A, A, A, A, A, R}, C::Accept},
    {"lvfmapblob", 7, {A, R, A, A, A, A, A}, C::None}, // 60
    {"lvsuperell", 7, {A, A, R, R, R, R, R}, C::None},
    {"lvconvarc", 8, {A, A, A, A, A, A, A, R}, C::None},
    {"lvBezierSplineF", 6, {A, R, R, R, A, A}, C::None},
    {"lvCubicBSplineF", 6, {A, R, R, R, A, A}, C::None},
    {"lvSpaceMapCubic", 4, {A, A, A, R}, C::None},
};
static_assert(sizeof(kBuiltins) / sizeof(kBuiltins[0]) == 66);

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
