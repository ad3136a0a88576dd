#include "eval/interpreter.h"

#include <algorithm>
#include <cmath>

#include "eval/value_rules.h"
#include "lang/builtins.h"
#include "lang/decoded.h"
#include "lang/runtime.h"
#include "lang/settings.h"
#include "lang/stop_token.h"
#include "primitives/catalogue.h"

namespace lv::eval {

using namespace lang;

namespace {

using rules::kNoFailure;
using rules::nearest;

// Values an evaluation keeps on the C stack; deeper expressions use the thread's stack.
constexpr std::size_t kLocalStack = 64;

// The value stack of the deep evaluations on this thread: scratch memory that grows to the
// largest need seen and is then reused, so that evaluations allocate nothing.
struct ThreadStack {
    std::vector<float> values;
    int users = 0; // evaluations running on it (a primitive may evaluate an object)
};

ThreadStack& threadStack() {
    thread_local ThreadStack stack;
    return stack;
}

// One evaluation of one object on its frame. A nested call gets a Machine of its own whose
// stack starts above the caller's values, so returning restores the caller's state.
class Machine {
public:
    Machine(const CompiledObject& object, const DecodedProgram& program, float* frame,
            int* flags, float* stack, RuntimeError& error, long long* budget)
        : obj_(object), program_(program), frame_(frame), flags_(flags), stack_(stack),
          error_(error), budget_(budget), eps_(eps()), alpha_(alpha()),
          state_{&object, frame, flags} {}

    int run(float& result);

private:
    int fail(int messageIndex, int codeIndex) {
        reportRuntimeError(obj_, messageIndex, error_, codeIndex);
        return 0;
    }
    // A loop step or call: refused once the budget is spent or a stop is requested.
    bool spend() {
        if (stopToken_.stopRequested()) return false;
        return budget_ == nullptr || --*budget_ >= 0;
    }
    bool builtin(int row, int argc, float*& sp, int at);
    bool call(const DecodedInstr& in, float* sp, float& out);

    const CompiledObject& obj_;
    const DecodedProgram& program_;
    float* frame_;
    int* flags_;
    float* stack_;
    RuntimeError& error_;
    long long* budget_;
    float eps_;
    float alpha_;
    EvalState state_;
    const StopToken& stopToken_ = evaluationStop();
};

int Machine::run(float& result) {
    // Only the flags some check reads are reset: an object's untouched slots cost nothing.
    const int inputs = obj_.xSize + obj_.aSize;
    for (int i = 0; i < inputs; ++i) flags_[i] = 0;
    for (const auto& [first, end] : program_.flagRanges)
        for (int i = std::max(first, inputs); i < end; ++i) flags_[i] = 1;
    float* sp = stack_; // next free value
    const DecodedInstr* code = program_.code.data();
    for (const DecodedInstr* ip = code;; ++ip) {
        const DecodedInstr& in = *ip;
        switch (in.op) {
        case kDConst: *sp++ = in.f; break;
        case kDLocal:
            if (in.check && flags_[in.a] == 1) return fail(kMsgNotInitialized, in.at);
            *sp++ = frame_[in.a];
            break;
        case kDSlot:
            if (in.check && flags_[in.a] == 1) return fail(kMsgUnassignedIdentifier, in.at - 1);
            *sp++ = frame_[in.a];
            break;
        case kDElement: {
            double n = nearest(sp[-1]);
            if (!(n >= 1.0 && n <= in.b)) return fail(kMsgIndexOutOfRange, in.at);
            int slot = in.a + static_cast<int>(n) - 1;
            if (in.check && flags_[slot] == 1) return fail(kMsgUnassignedIdentifier, in.at - 1);
            sp[-1] = frame_[slot];
            break;
        }
        case kDArray:
            for (int i = 0; in.check && i < in.b; ++i)
                if (flags_[in.a + i] == 1) return fail(kMsgArrayItemsUnassigned, in.at);
            *sp++ = static_cast<float>(in.at);
            break;
        case kDString: *sp++ = static_cast<float>(in.a); break;
        case kDCall: {
            float v = 0.0f;
            if (!call(in, sp, v)) return 0;
            *sp++ = v;
            break;
        }
        case kDBuiltin:
            if (!builtin(in.a, in.b, sp, in.at)) return 0;
            break;
        case kDAdd:
            --sp;
            sp[-1] = sp[0] + sp[-1];
            break;
        case kDSub:
            --sp;
            sp[-1] = sp[0] - sp[-1];
            break;
        case kDMul:
            --sp;
            sp[-1] = sp[0] * sp[-1];
            break;
        case kDAddK: sp[-1] = sp[-1] + in.f; break;
        case kDMulK: sp[-1] = sp[-1] * in.f; break;
        case kDSubK: sp[-1] = sp[-1] - in.f; break;
        case kDRSubK: sp[-1] = in.f - sp[-1]; break;
        case kDBinary: {
            --sp;
            int failure = rules::binary(in.a, sp[0], sp[-1], eps_, sp[-1]);
            if (failure != kNoFailure) return fail(failure, in.at);
            break;
        }
        case kDSquare: sp[-1] = rules::square(sp[-1], eps_); break;
        case kDSlotSquare:
            if (in.check && flags_[in.a] == 1) return fail(kMsgUnassignedIdentifier, in.at - 3);
            *sp++ = rules::square(frame_[in.a], eps_);
            break;
        case kDSetOp:
            --sp;
            if (!(alpha_ >= 0.0f && alpha_ <= 1.0f)) return fail(kMsgAlphaRange, in.at);
            sp[-1] = rules::setOperation(in.a, sp[0], sp[-1], alpha_);
            break;
        case kDMax:
            --sp;
            sp[-1] = rules::maxOf(sp[0], sp[-1]);
            break;
        case kDMin:
            --sp;
            sp[-1] = rules::minOf(sp[0], sp[-1]);
            break;
        case kDPowConst: {
            float l = sp[-1];
            if (in.g < eps_ && in.a >= 0 && std::fabs(l) >= eps_) { // whole exponent
                sp[-1] = rules::wholePower(l, in.f, in.a);
            } else {
                int failure = rules::power(l, in.f, in.a, eps_, sp[-1]);
                if (failure != kNoFailure) return fail(failure, in.at);
            }
            break;
        }
        case kDUnary: sp[-1] = rules::unary(in.a, sp[-1], eps_); break;
        case kDStore:
            frame_[in.a] = *--sp;
            flags_[in.a] = 0;
            break;
        case kDIndexCheck: {
            double n = nearest(sp[-1]);
            if (!(n >= 1.0 && n <= in.a)) return fail(kMsgIndexOutOfRange, in.at);
            sp[-1] = static_cast<float>(n);
            break;
        }
        case kDStoreElement: {
            sp -= 2;
            int slot = in.a + static_cast<int>(sp[0]) - 1;
            frame_[slot] = sp[1];
            flags_[slot] = 0;
            break;
        }
        case kDArrayLiteral:
            for (int i = 0; i < in.b; ++i) {
                frame_[in.a + i] = obj_.constants[in.c + i];
                flags_[in.a + i] = 0;
            }
            break;
        case kDJump:
            if (!spend()) return fail(kMsgBadCode, in.at);
            ip = code + in.a - 1;
            break;
        case kDJumpIfFalse:
            if (std::fabs(*--sp) < eps_) ip = code + in.a - 1;
            break;
        case kDResult:
            result = sp[-1];
            return 1;
        case kDFail: return fail(in.a, in.at);
        }
    }
}

// The arguments lie on the stack, the last argument lowest: args[0] is the last one.
bool Machine::builtin(int row, int argc, float*& sp, int at) {
    float* args = sp - argc;
    float out = 0.0f;
    if (row < kMathBuiltinCount) {
        int failure = rules::math(row, args, eps_, out);
        if (failure != kNoFailure) return fail(failure, at) != 0;
    } else {
        const prim::PrimitiveOps& ops = prim::primitiveOps(row);
        CallContext context{state_, error_, at};
        if (ops.check != nullptr && !ops.check(args, context)) return false;
        if (ops.evaluate == nullptr) return fail(kMsgNotImplemented, at);
        out = ops.evaluate(args, context);
        if (context.failed) return false;
    }
    sp = args;
    *sp++ = out;
    return true;
}

// Copies the x and a arguments into the callee's frame (right after this frame) and runs it.
bool Machine::call(const DecodedInstr& in, float* sp, float& out) {
    if (!spend()) return fail(kMsgBadCode, in.at);
    const CompiledObject& callee = *obj_.callees[in.a];
    float* frame = frame_ + obj_.slotCount;
    int* flags = flags_ + obj_.slotCount;
    struct Argument {
        int offset, size, firstSlot, word;
    };
    const Argument arguments[2] = {{in.b, callee.xSize, 0, in.at - 2},
                                   {in.c, callee.aSize, callee.xSize, in.at - 3}};
    for (const Argument& a : arguments) {
        for (int i = 0; i < a.size; ++i) {
            if (in.check && flags_[a.offset + i] == 1) return fail(kMsgArrayItemsUnassigned, a.word);
            frame[a.firstSlot + i] = frame_[a.offset + i];
            flags[a.firstSlot + i] = 0;
        }
    }
    return Machine(callee, *callee.decoded, frame, flags, sp, error_, budget_).run(out) == 1;
}

// Runs object's decoded program with a value stack big enough for it and its callees.
int execute(const CompiledObject& object, const DecodedProgram& program, float* workspace,
            int* flags, float& result, RuntimeError& error, long long* budget) {
    std::size_t need = static_cast<std::size_t>(program.stackNeed) + 1;
    if (need <= kLocalStack) { // the common case: the values fit on the C stack
        float values[kLocalStack];
        return Machine(object, program, workspace, flags, values, error, budget).run(result);
    }
    ThreadStack& stack = threadStack();
    if (stack.users > 0 && stack.values.size() < need) { // growing would move a caller's values
        std::vector<float> own(need);
        return Machine(object, program, workspace, flags, own.data(), error, budget).run(result);
    }
    if (stack.values.size() < need) stack.values.resize(need);
    float* base = stack.values.data() + (stack.users > 0 ? stack.values.size() - need : 0);
    ++stack.users;
    int status = Machine(object, program, workspace, flags, base, error, budget).run(result);
    --stack.users;
    return status;
}

int execute(const CompiledObject& object, float* workspace, int* flags, float& result,
            RuntimeError& error, long long* budget) {
    if (evaluationStop().stopRequested()) { // a stopped run fails every further point at once
        reportRuntimeError(object, kMsgBadCode, error, 0);
        return 0;
    }
    const DecodedProgram* program = object.decoded.get();
    if (program == nullptr) { // an object not made by the compiler: decode it for this call
        DecodedProgram local = decodeObject(object);
        return execute(object, local, workspace, flags, result, error, budget);
    }
    return execute(object, *program, workspace, flags, result, error, budget);
}

} // namespace

int executeObject(const CompiledObject& object, float* workspace, int* flags, float& result,
                  RuntimeError& error) {
    return execute(object, workspace, flags, result, error, nullptr);
}

int executeObjectBounded(const CompiledObject& object, float* workspace, int* flags,
                         float& result, RuntimeError& error, long long stepLimit) {
    long long budget = stepLimit;
    return execute(object, workspace, flags, result, error, &budget);
}

} // namespace lv::eval
