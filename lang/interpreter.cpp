#include "lang/interpreter.h"

#include <cmath>

#include "lang/builtins.h"
#include "lang/decoded.h"
#include "lang/runtime.h"
#include "lang/settings.h"
#include "lang/stop_token.h"
#include "primitives/catalogue.h"

namespace lv::lang {

namespace {

// floor without a library call for the values indexes and exponents take; exact for all.
inline double floorOf(double t) {
    if (!(std::fabs(t) < 4.0e18)) return std::floor(t); // huge, infinite or NaN
    double i = static_cast<double>(static_cast<long long>(t));
    return i > t ? i - 1.0 : i;
}

// Nearest integer with halves going up.
inline double nearest(float v) { return floorOf(static_cast<double>(v) + 0.5); }
float toFloat(double v) { return static_cast<float>(v); }

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

// l^r for a whole exponent r with n = nearest(|r|): 1 multiplied n times by l, step by step
// in single precision (pow in double for huge n), inverted for a negative r.
inline float wholePower(float l, float r, double n) {
    float p = 1.0f;
    if (n <= 64.0) {
        for (int i = 0, count = static_cast<int>(n); i < count; ++i) p *= l;
    } else if (std::fabs(l) == 1.0f) { // stays at +-1: only the sign depends on n
        p = l < 0.0f && std::fmod(n, 2.0) == 1.0 ? -1.0f : 1.0f;
    } else if (n > kMaxStepwiseExponent) {
        p = toFloat(std::pow(static_cast<double>(l), n));
    } else {
        for (long i = 0, count = static_cast<long>(n); i < count; ++i) {
            p *= l;
            if (p == 0.0f || std::isinf(p)) { // the remaining steps only flip the sign
                if (l < 0.0f && (count - i - 1) % 2 == 1) p = -p;
                break;
            }
        }
    }
    return r < 0.0f ? 1.0f / p : p;
}

// The R-functions: intersection (& and @), union (|) and difference (\).
float setOperation(int word, float l, float r, float alphaValue) {
    double L = l, R = r, A = alphaValue;
    double v;
    if (word == kWordUnion)
        v = (L + R + std::sqrt(std::fabs(L * L + R * R - 2.0 * A * L * R))) / (1.0 + A);
    else if (word == kWordDifference)
        v = (L - R - std::sqrt(std::fabs(L * L + R * R + 2.0 * A * L * R))) / (1.0 + A);
    else
        v = (L + R - std::sqrt(std::fabs(L * L + R * R - 2.0 * A * L * R))) / (1.0 + A);
    return toFloat(v);
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
    bool binary(int word, float l, float r, float& out, int at);
    bool power(float l, float r, double n, float& out, int at);
    bool builtin(int row, int argc, float*& sp, int at);
    bool math(int row, const float* args, float& out, int at);
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
    for (int i = 0; i < obj_.xSize + obj_.aSize; ++i) flags_[i] = 0;
    for (int i = obj_.xSize + obj_.aSize; i < obj_.slotCount; ++i) flags_[i] = 1;
    float* sp = stack_; // next free value
    const DecodedInstr* code = program_.code.data();
    for (const DecodedInstr* ip = code;; ++ip) {
        const DecodedInstr& in = *ip;
        switch (in.op) {
        case kDConst: *sp++ = in.f; break;
        case kDLocal:
            if (flags_[in.a] == 1) return fail(kMsgNotInitialized, in.at);
            *sp++ = frame_[in.a];
            break;
        case kDSlot:
            if (flags_[in.a] == 1) return fail(kMsgUnassignedIdentifier, in.at - 1);
            *sp++ = frame_[in.a];
            break;
        case kDElement: {
            double n = nearest(sp[-1]);
            if (!(n >= 1.0 && n <= in.b)) return fail(kMsgIndexOutOfRange, in.at);
            int slot = in.a + static_cast<int>(n) - 1;
            if (flags_[slot] == 1) return fail(kMsgUnassignedIdentifier, in.at - 1);
            sp[-1] = frame_[slot];
            break;
        }
        case kDArray:
            for (int i = 0; i < in.b; ++i)
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
        case kDBinary:
            --sp;
            if (!binary(in.a, sp[0], sp[-1], sp[-1], in.at)) return 0;
            break;
        case kDSquare: { // 0 below EPS (the exponent 2 exceeds every EPS), else 1 * l * l
            float l = sp[-1];
            sp[-1] = std::fabs(l) < eps_ ? 0.0f : l * l;
            break;
        }
        case kDSlotSquare: {
            if (flags_[in.a] == 1) return fail(kMsgUnassignedIdentifier, in.at - 3);
            float l = frame_[in.a];
            *sp++ = std::fabs(l) < eps_ ? 0.0f : l * l;
            break;
        }
        case kDSetOp:
            --sp;
            if (!(alpha_ >= 0.0f && alpha_ <= 1.0f)) return fail(kMsgAlphaRange, in.at);
            sp[-1] = setOperation(in.a, sp[0], sp[-1], alpha_);
            break;
        case kDPowConst: {
            float l = sp[-1];
            if (in.g < eps_ && in.a >= 0 && std::fabs(l) >= eps_) { // whole exponent
                sp[-1] = wholePower(l, in.f, in.a);
            } else if (!power(l, in.f, in.a, sp[-1], in.at)) {
                return 0;
            }
            break;
        }
        case kDUnary:
            if (in.a == kWordNot)
                sp[-1] = std::fabs(sp[-1]) < eps_ ? 1.0f : 0.0f;
            else if (in.a != kWordPlus)
                sp[-1] = -sp[-1];
            break;
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

// Two operands, left and right as written; r was evaluated first.
bool Machine::binary(int word, float l, float r, float& out, int at) {
    switch (word) {
    case kWordAnd: out = std::fabs(l) >= eps_ && std::fabs(r) >= eps_ ? 1.0f : 0.0f; break;
    case kWordOr: out = std::fabs(l) >= eps_ || std::fabs(r) >= eps_ ? 1.0f : 0.0f; break;
    case kWordLess: out = l < r ? 1.0f : 0.0f; break;
    case kWordGreater: out = l > r ? 1.0f : 0.0f; break;
    case kWordLessEqual: out = l <= r ? 1.0f : 0.0f; break;
    case kWordGreaterEqual: out = l >= r ? 1.0f : 0.0f; break;
    case kWordEqual: out = std::fabs(l - r) < eps_ ? 1.0f : 0.0f; break;
    case kWordNotEqual: out = std::fabs(l - r) >= eps_ ? 1.0f : 0.0f; break;
    case kWordAdd: out = l + r; break;
    case kWordSub: out = l - r; break;
    case kWordMul: out = l * r; break;
    case kWordDiv:
        if (std::fabs(r) < eps_) return fail(kMsgDivisionByZero, at);
        out = l / r;
        break;
    case kWordPow: {
        double n = nearest(std::fabs(r));
        return power(l, r, n <= kMaxStepwiseExponent ? n : -1.0, out, at);
    }
    default: return fail(kMsgBadCode, at);
    }
    return true;
}

// l^r; n is nearest(|r|), or negative when that is too large to multiply out.
bool Machine::power(float l, float r, double n, float& out, int at) {
    if (std::fabs(l) < eps_) {
        if (r > eps_) return out = 0.0f, true;
        return fail(kMsgZeroPower, at);
    }
    if (r - static_cast<float>(floorOf(r)) < eps_) {
        out = wholePower(l, r, n >= 0.0 ? n : nearest(std::fabs(r)));
        return true;
    }
    if (l < 0.0f) return fail(kMsgNegativePowerBase, at);
    out = toFloat(std::exp2(static_cast<double>(r) * std::log2(static_cast<double>(l))));
    return true;
}

// The arguments lie on the stack, the last argument lowest: args[0] is the last one.
bool Machine::builtin(int row, int argc, float*& sp, int at) {
    float* args = sp - argc;
    float out = 0.0f;
    if (row < kMathBuiltinCount) {
        if (!math(row, args, out, at)) return false;
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

// Rows 0..18; args[0] is the last argument.
bool Machine::math(int row, const float* args, float& out, int at) {
    double p = args[row >= 15 ? 1 : 0];
    double q = args[0];
    switch (row) {
    case 0:
        if (p < 0.0) return fail(kMsgNegativeSqrt, at);
        out = toFloat(std::sqrt(p));
        break;
    case 1: out = toFloat(std::exp(p)); break;
    case 2:
    case 3:
        if (p <= 0.0) return fail(kMsgNegativeLog, at);
        out = toFloat(row == 2 ? std::log(p) : std::log10(p));
        break;
    case 4: out = toFloat(std::sin(p)); break;
    case 5: out = toFloat(std::cos(p)); break;
    case 6:
        if (std::fabs(std::cos(p)) < eps_) return fail(kMsgTanArgument, at);
        out = toFloat(std::tan(p));
        break;
    case 7:
    case 8:
        if (std::fabs(p) > 1.0) return fail(kMsgArgumentRange, at);
        out = toFloat(row == 7 ? std::asin(p) : std::acos(p));
        break;
    case 9: out = toFloat(std::atan(p)); break;
    case 10: out = toFloat(std::fabs(p)); break;
    case 11: out = toFloat(std::sinh(p)); break;
    case 12: out = toFloat(std::cosh(p)); break;
    case 13: out = toFloat(std::tanh(p)); break;
    case 14: out = p < 0.0 ? -1.0f : 1.0f; break;
    case 15: {
        double P = floorOf(p + 0.5), Q = floorOf(q + 0.5);
        if (Q == 0.0 || std::isnan(Q)) return fail(kMsgDivisionByZero, at);
        out = toFloat(std::trunc(P / Q));
        break;
    }
    case 16: out = toFloat(p >= q ? p : q); break;
    case 17: out = toFloat(p <= q ? p : q); break;
    case 18: out = toFloat(std::atan2(p, q)); break;
    default: return fail(kMsgBadCode, at);
    }
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
            if (flags_[a.offset + i] == 1) return fail(kMsgArrayItemsUnassigned, a.word);
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

} // namespace lv::lang
