#include "lang/decoded.h"

#include <cmath>
#include <stdexcept>

#include "lang/builtins.h"
#include "lang/definite_assignment.h"
#include "lang/rounding.h"

namespace lv::lang {

namespace {

constexpr int kRowMax = rowOf(Builtin::Max);
constexpr int kRowMin = rowOf(Builtin::Min);

struct BadCode {
    int at;
};

class Decoder {
public:
    explicit Decoder(const CompiledObject& o)
        : o_(o), code_(o.code), size_(static_cast<int>(o.code.size())) {}

    DecodedProgram run() {
        try {
            statements();
        } catch (const BadCode& bad) {
            out_.code.assign(1, {kDFail, kMsgBadCode, 0, 0, 0.0f, 0.0f, bad.at, 1, 0});
            out_.stackNeed = 0;
        }
        return std::move(out_);
    }

private:
    int word(int d) const {
        if (d < 0 || d >= size_) throw BadCode{d < 0 ? 0 : d};
        return code_[d];
    }
    void emit(DecodedOp op, int at, int a = 0, int b = 0, int c = 0, float f = 0.0f,
              float g = 0.0f) {
        out_.code.push_back({op, a, b, c, f, g, at, 1, 0});
    }
    void push(int extra = 0) {
        ++height_;
        out_.stackNeed = std::max(out_.stackNeed, height_ + extra);
    }
    void pop(int n = 1) { height_ -= n; }
    int constantCount() const { return static_cast<int>(o_.constants.size()); }
    int localSlot(int offset, int at) const {
        int slot = o_.xSize + o_.aSize + offset;
        if (offset < 0 || slot >= o_.slotCount) throw BadCode{at};
        return slot;
    }
    void checkArray(int offset, int size, int at) const {
        if (offset < 0 || size < 0 || offset + size > o_.slotCount) throw BadCode{at};
    }

    void statements() {
        std::vector<int> start(static_cast<std::size_t>(size_) + 1, -1);
        std::vector<std::size_t> jumps; // instructions whose a is still a code index
        int d = 0;
        while (d < size_) {
            start[d] = static_cast<int>(out_.code.size());
            d = statement(d, jumps);
        }
        start[size_] = static_cast<int>(out_.code.size());
        emit(kDFail, size_, kMsgBadCode); // running past the end
        for (std::size_t j : jumps) {
            int target = out_.code[j].a;
            if (target < 0 || target > size_ || start[target] < 0) throw BadCode{out_.code[j].at};
            out_.code[j].a = start[target];
        }
    }

    int statement(int d, std::vector<std::size_t>& jumps) {
        switch (word(d)) {
        case kOpArrayLiteral: {
            int count = word(d + 1), slot = localSlot(word(d + 2), d), first = word(d + 3);
            checkArray(slot, count, d);
            if (first < 0 || first + count > static_cast<int>(o_.constants.size()))
                throw BadCode{d};
            emit(kDArrayLiteral, d, slot, count, first);
            return d + 4;
        }
        case kOpAssign: {
            int slot = localSlot(word(d + 1), d), end = word(d + 2);
            rootExpression(end, d + 2);
            emit(kDStore, d, slot);
            pop();
            return end + 1;
        }
        case kOpAssignElement: {
            int offset = localSlot(word(d + 1), d), arraySize = word(d + 2);
            int indexEnd = word(d + 3);
            checkArray(offset, arraySize, d);
            rootExpression(indexEnd, d + 3);
            emit(kDIndexCheck, d, arraySize);
            int valueEnd = word(indexEnd + 1);
            rootExpression(valueEnd, indexEnd + 1);
            emit(kDStoreElement, d, offset);
            pop(2);
            return valueEnd + 1;
        }
        case kOpJump:
            jumps.push_back(out_.code.size());
            emit(kDJump, d, word(d + 1));
            return d + 2;
        case kOpIf:
        case kOpIfElse:
        case kOpWhile: {
            int falseTarget = word(d + 1), end = word(d + 2);
            rootExpression(end, d + 2);
            jumps.push_back(out_.code.size());
            emit(kDJumpIfFalse, d, falseTarget);
            pop();
            return end + 1;
        }
        case kOpResult: {
            int end = word(d + 1);
            rootExpression(end, d + 1);
            emit(kDResult, d);
            pop();
            return end + 1;
        }
        default: throw BadCode{d};
        }
    }

    // An expression ending at end that must start right after the word at header.
    void rootExpression(int end, int header) {
        if (end <= header) throw BadCode{header};
        if (expression(end) != header) throw BadCode{end};
    }

    // Emits the expression ending at d; returns the index just before its first word.
    int expression(int d) {
        int w = word(d);
        if (w >= kConstantBase) {
            int k = w - kConstantBase;
            if (k >= static_cast<int>(o_.constants.size())) throw BadCode{d};
            emit(kDConst, d, 0, 0, 0, o_.constants[k]);
            push();
            return d - 1;
        }
        if (w < 0) {
            emit(kDLocal, d, localSlot(-1 - w, d));
            push();
            return d - 1;
        }
        switch (w) {
        case kWordString: {
            int index = word(d - 1);
            if (index < 0 || index >= static_cast<int>(o_.strings.size())) throw BadCode{d};
            emit(kDString, d, index);
            push();
            return d - 2;
        }
        case kWordElement: return element(d);
        case kWordArray: {
            int arraySize = word(d - 2), offset = word(d - 1);
            checkArray(offset, arraySize, d);
            emit(kDArray, d, offset, arraySize);
            push();
            return d - 3;
        }
        case kWordCall: return call(d);
        case kWordNot:
        case kWordPlus:
        case kWordMinus:
        case kWordTilde: {
            int next = expression(d - 1);
            emit(kDUnary, d, w);
            return next;
        }
        default:
            if (w >= kWordFirstBuiltin) return builtin(d, w - kWordFirstBuiltin);
            if (w >= kWordAnd && w <= kWordDifference) return binary(d, w);
            throw BadCode{d};
        }
    }

    int element(int d) {
        int arraySize = word(d - 2), offset = word(d - 1);
        checkArray(offset, arraySize, d);
        int indexWord = word(d - 3);
        if (indexWord >= kConstantBase && indexWord - kConstantBase <
                                              static_cast<int>(o_.constants.size())) {
            // A constant index is checked once, here; the error (if any) still comes at run time.
            double n = nearestWhole(o_.constants[indexWord - kConstantBase]);
            if (n >= 1.0 && n <= arraySize)
                emit(kDSlot, d, offset + static_cast<int>(n) - 1);
            else
                emit(kDFail, d, kMsgIndexOutOfRange);
            push();
            return d - 4;
        }
        int next = expression(d - 3);
        emit(kDElement, d, offset, arraySize);
        return next;
    }

    int binary(int d, int w) {
        int right = word(d - 1);
        if (w == kWordPow && right >= kConstantBase &&
            right - kConstantBase < static_cast<int>(o_.constants.size())) {
            float r = o_.constants[right - kConstantBase];
            double n = nearestWhole(std::fabs(static_cast<double>(r)));
            int next = expression(d - 2);
            if (r == 2.0f) {
                DecodedInstr& last = out_.code.back();
                if (last.op == kDSlot && last.at == d - 2) { // x[1]^2 and the like
                    last.op = kDSlotSquare;
                    last.at = d;
                } else {
                    emit(kDSquare, d);
                }
                return next;
            }
            emit(kDPowConst, d, n <= kMaxStepwiseExponent ? static_cast<int>(n) : -1, 0, 0, r,
                 r - std::floor(r));
            return next;
        }
        if (w == kWordAdd || w == kWordSub || w == kWordMul) {
            // A constant operand cannot fail and changes nothing, so it need not be pushed.
            if (right >= kConstantBase && right - kConstantBase < constantCount()) {
                int next = expression(d - 2);
                emit(w == kWordAdd ? kDAddK : w == kWordSub ? kDSubK : kDMulK, d, 0, 0, 0,
                     o_.constants[right - kConstantBase]);
                return next;
            }
            int leftEnd = expression(d - 1);
            int left = word(leftEnd);
            if (left >= kConstantBase && left - kConstantBase < constantCount()) {
                emit(w == kWordAdd ? kDAddK : w == kWordSub ? kDRSubK : kDMulK, d, 0, 0, 0,
                     o_.constants[left - kConstantBase]);
                return leftEnd - 1;
            }
            int next = expression(leftEnd);
            emit(w == kWordAdd ? kDAdd : w == kWordSub ? kDSub : kDMul, d, w);
            pop();
            return next;
        }
        int next = expression(expression(d - 1));
        DecodedOp op = w >= kWordAt ? kDSetOp : kDBinary;
        emit(op, d, w);
        pop();
        return next;
    }

    int builtin(int d, int row) {
        if (row >= kBuiltinCount) throw BadCode{d};
        int argc = kBuiltins[row].argumentCount;
        int next = d - 1;
        for (int i = 0; i < argc; ++i) next = expression(next);
        if ((row == kRowMax || row == kRowMin) && argc == 2)
            emit(row == kRowMax ? kDMax : kDMin, d);
        else
            emit(kDBuiltin, d, row, argc);
        pop(argc - 1);
        return next;
    }

    int call(int d) {
        int k = word(d - 1), xOffset = word(d - 2), aOffset = word(d - 3);
        if (k < 0 || k >= static_cast<int>(o_.callees.size())) throw BadCode{d};
        const CompiledObject& callee = *o_.callees[k];
        if (callee.xSize > 0) checkArray(xOffset, callee.xSize, d);
        if (callee.aSize > 0) checkArray(aOffset, callee.aSize, d);
        if (o_.slotCount + callee.workspaceSize() > o_.workspaceSize()) throw BadCode{d};
        int calleeNeed = callee.decoded ? callee.decoded->stackNeed : 0;
        if (!callee.decoded) throw BadCode{d};
        emit(kDCall, d, k, xOffset, aOffset);
        push(calleeNeed);
        return d - 4;
    }

    const CompiledObject& o_;
    const std::vector<int>& code_;
    int size_;
    int height_ = 0;
    DecodedProgram out_;
};

} // namespace

DecodedProgram decodeObject(const CompiledObject& object) {
    DecodedProgram program = Decoder(object).run();
    decideChecks(object, program);
    return program;
}

} // namespace lv::lang
