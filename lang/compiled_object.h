#pragma once
// A compiled object: one object definition turned into postfix integer code.
#include <memory>
#include <string>
#include <vector>

namespace lv::lang {

struct DecodedProgram;

// ORDER OPCODE: statement words (at the start of a statement).
enum StatementWord : int {
    kOpArrayLiteral = 1, // 1, count, local offset, first constant index
    kOpAssign = 2,       // 2, local offset, end of expression, expression
    kOpAssignElement = 3, // 3, local offset, size, end of index, index, end of value, value
    kOpJump = 4,         // 4, target
    kOpIf = 5,           // 5, false target, end of condition, condition, then-part
    kOpIfElse = 6,       // 6, false target, end of condition, condition, then, jump, else
    kOpWhile = 7,        // 7, false target, end of condition, condition, body, jump back
    kOpResult = 8,       // 8, end of expression, expression
};

// ORDER OPCODE: expression words (postfix; operands come before their operator).
enum ExpressionWord : int {
    kWordString = 0,   // preceded by a string index
    kWordElement = 9,  // preceded by index expression, array size, frame offset
    kWordArray = 10,   // preceded by array size, frame offset
    kWordCall = 11,    // preceded by a-offset, x-offset, callee index
    kWordAnd = 12,
    kWordOr,
    kWordLess,
    kWordGreater,
    kWordLessEqual,
    kWordGreaterEqual,
    kWordEqual,
    kWordNotEqual,
    kWordAdd, // 20
    kWordSub,
    kWordMul,
    kWordDiv,
    kWordPow,
    kWordAt,
    kWordIntersect,
    kWordUnion,
    kWordDifference,
    kWordNot,
    kWordPlus, // 30
    kWordMinus,
    kWordTilde,
    kWordFirstBuiltin = 33, // 33 + row
};

struct CompiledObject {
    std::string name; // lower case
    int xSize = 0;
    int aSize = 0;
    int slotCount = 0;        // xSize + aSize + local slots
    std::vector<int> code;
    std::vector<int> positions; // line, column of the lexeme behind each code word
    std::vector<float> constants;
    std::vector<std::string> strings;
    // Objects this object calls, in order of first call. Compiled objects never change once
    // built, so a callee is held as an immutable shared copy: every compiled object can be
    // evaluated on its own, and copying a caller costs nothing per callee.
    std::vector<std::shared_ptr<const CompiledObject>> callees;
    int nestedSlots = 0; // largest callee.slotCount + callee.nestedSlots over all call sites
    int evalDepth = 0;   // deepest recursion of evaluating this object, callees included
    // The code decoded for the interpreter, made by the compiler once the object is complete.
    std::shared_ptr<const DecodedProgram> decoded;

    // Reals (and flags) an evaluation of this object needs.
    int workspaceSize() const { return slotCount + nestedSlots; }
    int lineAt(int codeIndex) const;
    int columnAt(int codeIndex) const;
};

using CompiledObjectPtr = std::shared_ptr<const CompiledObject>;

// Error records of the compiler and the interpreter. message is a text of the message table
// or, for a primitive's own report, a static text; line and column count from 1 (0 = unknown).
struct CompileError {
    const char* message = "";
    int line = 0;
    int column = 0;
};

struct RuntimeError {
    const char* message = "";
    int line = 0;
    int column = 0;
    const struct CompiledObject* object = nullptr; // the object whose code failed
};

// Deep copy (callees are immutable and shared).
std::unique_ptr<CompiledObject> copyObject(const CompiledObject& object);

} // namespace lv::lang
