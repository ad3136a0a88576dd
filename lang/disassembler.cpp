#include "lang/disassembler.h"

#include <cstdio>

#include "lang/builtins.h"
#include "lang/decoded.h"

namespace lv::lang {

std::string dumpObject(const CompiledObject& object) {
    std::string out = "  slots " + std::to_string(object.slotCount) + " nested " +
                      std::to_string(object.nestedSlots) + "\n  code";
    for (int w : object.code) out += " " + std::to_string(w);
    out += "\n  constants";
    for (float c : object.constants) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " %.9g", static_cast<double>(c));
        out += buf;
    }
    out += "\n  strings";
    for (const std::string& s : object.strings) out += " \"" + s + "\"";
    out += "\n  callees";
    for (const auto& c : object.callees) out += " " + c->name;
    out += "\n";
    return out;
}

} // namespace lv::lang

namespace lv::lang {

namespace {

// ORDER DECODED: the names of the decoded instructions.
const char* instructionName(DecodedOp op) {
    switch (op) {
    case kDConst: return "const";
    case kDLocal: return "local";
    case kDSlot: return "slot";
    case kDElement: return "element";
    case kDArray: return "array";
    case kDString: return "string";
    case kDCall: return "call";
    case kDBuiltin: return "builtin";
    case kDAdd: return "add";
    case kDSub: return "sub";
    case kDMul: return "mul";
    case kDAddK: return "addk";
    case kDMulK: return "mulk";
    case kDSubK: return "subk";
    case kDRSubK: return "rsubk";
    case kDBinary: return "binary";
    case kDSquare: return "square";
    case kDSlotSquare: return "slotsquare";
    case kDSetOp: return "setop";
    case kDPowConst: return "powk";
    case kDUnary: return "unary";
    case kDStore: return "store";
    case kDIndexCheck: return "indexcheck";
    case kDStoreElement: return "storeelem";
    case kDArrayLiteral: return "arraylit";
    case kDJump: return "jump";
    case kDJumpIfFalse: return "jumpfalse";
    case kDResult: return "result";
    case kDFail: return "fail";
    case kDMax: return "max";
    case kDMin: return "min";
    default: return nullptr; // an instruction added later: shown by its number
    }
}

// How programs write the operator of expression word w.
const char* operatorText(int w) {
    static const char* const kOperators[] = {"and", "or", "<", ">", "<=", ">=", "=",  "/=",
                                             "+",   "-",  "*", "/", "^",  "@",  "&",  "|",
                                             "\\",  "not", "+", "-", "~"};
    static_assert(sizeof(kOperators) / sizeof(kOperators[0]) == kWordTilde - kWordAnd + 1);
    return w >= kWordAnd && w <= kWordTilde ? kOperators[w - kWordAnd] : "?";
}

std::string real(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::string operands(const CompiledObject& object, const DecodedInstr& in) {
    auto n = [](int v) { return std::to_string(v); };
    switch (in.op) {
    case kDConst:
    case kDAddK:
    case kDMulK:
    case kDSubK:
    case kDRSubK:
    case kDPowConst: return real(in.f);
    case kDLocal:
    case kDSlot:
    case kDSlotSquare:
    case kDStore: return "slot " + n(in.a);
    case kDElement:
    case kDArray: return "slots " + n(in.a) + " size " + n(in.b);
    case kDString: {
        const bool known = in.a >= 0 && in.a < static_cast<int>(object.strings.size());
        return known ? "\"" + object.strings[static_cast<std::size_t>(in.a)] + "\"" : n(in.a);
    }
    case kDCall: {
        const bool known = in.a >= 0 && in.a < static_cast<int>(object.callees.size());
        return (known ? object.callees[static_cast<std::size_t>(in.a)]->name : "#" + n(in.a)) +
               " x slot " + n(in.b) + " a slot " + n(in.c);
    }
    case kDBuiltin:
        return std::string(in.a >= 0 && in.a < kBuiltinCount ? kBuiltins[in.a].name : "?") +
               " " + n(in.b);
    case kDBinary:
    case kDSetOp:
    case kDUnary: return operatorText(in.a);
    case kDIndexCheck: return "size " + n(in.a);
    case kDStoreElement: return "slots " + n(in.a);
    case kDArrayLiteral: return "slots " + n(in.a) + " count " + n(in.b) + " constant " + n(in.c);
    case kDJump:
    case kDJumpIfFalse: return "to " + n(in.a);
    case kDFail: return std::string("\"") + messageText(in.a) + "\"";
    default: return "";
    }
}

} // namespace

std::string disassembleObject(const CompiledObject& object) {
    DecodedProgram local;
    const DecodedProgram* program = object.decoded.get();
    if (program == nullptr) {
        local = decodeObject(object);
        program = &local;
    }
    std::string out;
    for (std::size_t i = 0; i < program->code.size(); ++i) {
        const DecodedInstr& in = program->code[i];
        const char* name = instructionName(in.op);
        std::string opName = name != nullptr ? name : "op" + std::to_string(in.op);
        const std::string args = operands(object, in);
        char head[48];
        std::snprintf(head, sizeof head, "  %4zu  %-*s", i, args.empty() ? 0 : 12, opName.c_str());
        std::string line = head + args;
        const int lineNo = object.lineAt(in.at), column = object.columnAt(in.at);
        if (lineNo > 0) line += "  @" + std::to_string(lineNo) + ":" + std::to_string(column);
        out += line + "\n";
    }
    return out;
}

} // namespace lv::lang
