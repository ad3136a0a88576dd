#include "lang/interpreter.h"

#include <cmath>

#include "lang/builtins.h"
#include "lang/runtime.h"
#include "lang/settings.h"
#include "primitives/catalogue.h"

namespace lv::lang {

namespace {

// Nearest integer with halves going up, clamped so that it always fits an int.
double nearest(float v) { return std::floor(static_cast<double>(v) + 0.5); }
bool inRange(double n, int size) { return n >= 1.0 && n <= static_cast<double>(size); }
float toFloat(double v) { return static_cast<float>(v); }

// Exponents beyond this are taken with pow in double instead of step by step: the product
// has long since reached 0 or infinity for every base but those within a few ulps of 1.
constexpr double kMaxStepwiseExponent = 1 << 24;

// One evaluation of one object on its frame. Nested calls get a Machine of their own, so
// the caller's state is restored simply by returning.
class Machine {
public:
    Machine(const CompiledObject& object, float* frame, int* flags, RuntimeError& error,
            long long* budget)
        : obj_(object), code_(object.code.data()), size_(static_cast<int>(object.code.size())),
          locals_(frame + object.xSize + object.aSize),
          localFlags_(flags + object.xSize + object.aSize), error_(error), budget_(budget),
          eps_(eps()), state_{&object, frame, flags} {}

    int run(float& result);

private:
    bool fail(int messageIndex, int codeIndex) {
        reportRuntimeError(obj_, messageIndex, error_, codeIndex);
        failed_ = true;
        return false;
    }
    bool spend() { return budget_ == nullptr || --*budget_ >= 0; }
    bool validTarget(int t) const { return t >= 0 && t < size_; }

    float eval(int& d);
    float element(int& d);
    float arrayWord(int d);
    float binary(int word, int& d);
    float power(float l, float r, int at);
    float setOperation(int word, float l, float r, int at);
    float builtin(int row, int& d);
    float math(int row, const float* args, int at);
    float call(int& d);

    const CompiledObject& obj_;
    const int* code_;
    int size_;
    float* locals_;
    int* localFlags_;
    RuntimeError& error_;
    long long* budget_;
    float eps_;
    EvalState state_;
    bool failed_ = false;
};

int Machine::run(float& result) {
    int* flags = state_.flags;
    for (int i = 0; i < obj_.xSize + obj_.aSize; ++i) flags[i] = 0;
    for (int i = obj_.xSize + obj_.aSize; i < obj_.slotCount; ++i) flags[i] = 1;
    int d = 0;
    while (d < size_) {
        int word = code_[d];
        switch (word) {
        case kOpArrayLiteral: {
            if (d + 3 >= size_) return fail(kMsgBadCode, d);
            int count = code_[d + 1], offset = code_[d + 2], first = code_[d + 3];
            for (int i = 0; i < count; ++i) {
                locals_[offset + i] = obj_.constants[first + i];
                localFlags_[offset + i] = 0;
            }
            d += 4;
            break;
        }
        case kOpAssign: {
            int offset = code_[d + 1], end = code_[d + 2];
            int e = end;
            float v = eval(e);
            if (failed_) return 0;
            locals_[offset] = v;
            localFlags_[offset] = 0;
            d = end + 1;
            break;
        }
        case kOpAssignElement: {
            int offset = code_[d + 1], size = code_[d + 2], indexEnd = code_[d + 3];
            int e = indexEnd;
            double n = nearest(eval(e));
            if (failed_) return 0;
            if (!inRange(n, size)) return fail(kMsgIndexOutOfRange, d);
            int valueEnd = code_[indexEnd + 1];
            e = valueEnd;
            float v = eval(e);
            if (failed_) return 0;
            int slot = offset + static_cast<int>(n) - 1;
            locals_[slot] = v;
            localFlags_[slot] = 0;
            d = valueEnd + 1;
            break;
        }
        case kOpJump:
            if (!spend()) return fail(kMsgBadCode, d);
            d = code_[d + 1];
            if (!validTarget(d) && d != size_) return fail(kMsgBadCode, d);
            break;
        case kOpIf:
        case kOpIfElse:
        case kOpWhile: {
            int falseTarget = code_[d + 1], end = code_[d + 2];
            int e = end;
            float v = eval(e);
            if (failed_) return 0;
            d = std::fabs(v) < eps_ ? falseTarget : end + 1;
            break;
        }
        case kOpResult: {
            int e = code_[d + 1];
            float v = eval(e);
            if (failed_) return 0;
            result = v;
            return 1;
        }
        default:
            return fail(kMsgBadCode, d);
        }
    }
    return fail(kMsgBadCode, d);
}

// Evaluates the subexpression whose last word is at d, leaving d just before its first word.
float Machine::eval(int& d) {
    if (d < 0) {
        fail(kMsgBadCode, 0);
        return 0.0f;
    }
    int at = d;
    int word = code_[d--];
    if (word >= kConstantBase) return obj_.constants[word - kConstantBase];
    if (word < 0) {
        int slot = -1 - word;
        if (localFlags_[slot] == 1) {
            fail(kMsgNotInitialized, at);
            return 0.0f;
        }
        return locals_[slot];
    }
    switch (word) {
    case kWordString: return static_cast<float>(code_[d--]);
    case kWordElement: ++d; return element(d);
    case kWordArray: d -= 2; return arrayWord(at);
    case kWordCall: ++d; return call(d);
    case kWordNot: {
        float v = eval(d);
        return std::fabs(v) < eps_ ? 1.0f : 0.0f;
    }
    case kWordPlus: return eval(d);
    case kWordMinus:
    case kWordTilde: return -eval(d);
    default:
        if (word >= kWordFirstBuiltin) return builtin(word - kWordFirstBuiltin, d);
        if (word >= kWordAnd && word <= kWordDifference) return binary(word, d);
        fail(kMsgBadCode, at);
        return 0.0f;
    }
}

// index expression, size, frame offset, 9
float Machine::element(int& d) {
    int at = d;
    int size = code_[d - 2], offset = code_[d - 1];
    d -= 3;
    double n = nearest(eval(d));
    if (failed_) return 0.0f;
    if (!inRange(n, size)) {
        fail(kMsgIndexOutOfRange, at);
        return 0.0f;
    }
    int slot = offset + static_cast<int>(n) - 1;
    if (state_.flags[slot] == 1) {
        fail(kMsgUnassignedIdentifier, at - 1);
        return 0.0f;
    }
    return state_.frame[slot];
}

// size, frame offset, 10: the array's handle is the index of its 10 word.
float Machine::arrayWord(int at) {
    int size = code_[at - 2], offset = code_[at - 1];
    for (int i = 0; i < size; ++i)
        if (state_.flags[offset + i] == 1) {
            fail(kMsgArrayItemsUnassigned, at);
            return 0.0f;
        }
    return static_cast<float>(at);
}

float Machine::binary(int word, int& d) {
    int at = d + 1;
    float r = eval(d);
    if (failed_) return 0.0f;
    float l = eval(d);
    if (failed_) return 0.0f;
    switch (word) {
    case kWordAnd: return std::fabs(l) >= eps_ && std::fabs(r) >= eps_ ? 1.0f : 0.0f;
    case kWordOr: return std::fabs(l) >= eps_ || std::fabs(r) >= eps_ ? 1.0f : 0.0f;
    case kWordLess: return l < r ? 1.0f : 0.0f;
    case kWordGreater: return l > r ? 1.0f : 0.0f;
    case kWordLessEqual: return l <= r ? 1.0f : 0.0f;
    case kWordGreaterEqual: return l >= r ? 1.0f : 0.0f;
    case kWordEqual: return std::fabs(l - r) < eps_ ? 1.0f : 0.0f;
    case kWordNotEqual: return std::fabs(l - r) >= eps_ ? 1.0f : 0.0f;
    case kWordAdd: return l + r;
    case kWordSub: return l - r;
    case kWordMul: return l * r;
    case kWordDiv:
        if (std::fabs(r) < eps_) {
            fail(kMsgDivisionByZero, at);
            return 0.0f;
        }
        return l / r;
    case kWordPow: return power(l, r, at);
    default: return setOperation(word, l, r, at);
    }
}

float Machine::power(float l, float r, int at) {
    if (std::fabs(l) < eps_) {
        if (r > eps_) return 0.0f;
        fail(kMsgZeroPower, at);
        return 0.0f;
    }
    if (r - std::floor(r) < eps_) {
        double n = nearest(std::fabs(r));
        float p = 1.0f;
        if (std::fabs(l) == 1.0f) { // stays at +-1: only the sign depends on n
            p = l < 0.0f && std::fmod(n, 2.0) == 1.0 ? -1.0f : 1.0f;
        } else if (n > kMaxStepwiseExponent) {
            p = toFloat(std::pow(static_cast<double>(l), n));
        } else {
            for (long i = 0; i < static_cast<long>(n); ++i) {
                p *= l;
                if (p == 0.0f || std::isinf(p)) { // the rest only flips the sign
                    long left = static_cast<long>(n) - i - 1;
                    if (l < 0.0f && left % 2 == 1) p = -p;
                    break;
                }
            }
        }
        return r < 0.0f ? 1.0f / p : p;
    }
    if (l < 0.0f) {
        fail(kMsgNegativePowerBase, at);
        return 0.0f;
    }
    return toFloat(std::exp2(static_cast<double>(r) * std::log2(static_cast<double>(l))));
}

// The R-functions: intersection (& and @), union (|) and difference (\).
float Machine::setOperation(int word, float l, float r, int at) {
    float alphaValue = alpha();
    if (!(alphaValue >= 0.0f && alphaValue <= 1.0f)) {
        fail(kMsgAlphaRange, at);
        return 0.0f;
    }
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

float Machine::builtin(int row, int& d) {
    int at = d + 1;
    const BuiltinRow& b = kBuiltins[row];
    float args[kMaxArguments] = {};
    for (int i = 0; i < b.argumentCount; ++i) {
        args[i] = eval(d);
        if (failed_) return 0.0f;
    }
    if (row < kMathBuiltinCount) return math(row, args, at);
    const prim::PrimitiveOps& ops = prim::primitiveOps(row);
    CallContext context{state_, error_, at};
    if (ops.check != nullptr && !ops.check(args, context)) {
        failed_ = true;
        return 0.0f;
    }
    if (ops.evaluate == nullptr) {
        fail(kMsgNotImplemented, at);
        return 0.0f;
    }
    float v = ops.evaluate(args, context);
    if (context.failed) failed_ = true;
    return v;
}

// Rows 0..18; args[0] is the last argument.
float Machine::math(int row, const float* args, int at) {
    double p = args[row >= 15 ? 1 : 0];
    double q = args[0];
    switch (row) {
    case 0:
        if (p < 0.0) return fail(kMsgNegativeSqrt, at), 0.0f;
        return toFloat(std::sqrt(p));
    case 1: return toFloat(std::exp(p));
    case 2:
    case 3:
        if (p <= 0.0) return fail(kMsgNegativeLog, at), 0.0f;
        return toFloat(row == 2 ? std::log(p) : std::log10(p));
    case 4: return toFloat(std::sin(p));
    case 5: return toFloat(std::cos(p));
    case 6:
        if (std::fabs(std::cos(p)) < eps_) return fail(kMsgTanArgument, at), 0.0f;
        return toFloat(std::tan(p));
    case 7:
    case 8:
        if (std::fabs(p) > 1.0) return fail(kMsgArgumentRange, at), 0.0f;
        return toFloat(row == 7 ? std::asin(p) : std::acos(p));
    case 9: return toFloat(std::atan(p));
    case 10: return toFloat(std::fabs(p));
    case 11: return toFloat(std::sinh(p));
    case 12: return toFloat(std::cosh(p));
    case 13: return toFloat(std::tanh(p));
    case 14: return p < 0.0 ? -1.0f : 1.0f;
    case 15: {
        double P = std::floor(p + 0.5), Q = std::floor(q + 0.5);
        if (Q == 0.0 || std::isnan(Q)) return fail(kMsgDivisionByZero, at), 0.0f;
        return toFloat(std::trunc(P / Q));
    }
    case 16: return toFloat(p >= q ? p : q);
    case 17: return toFloat(p <= q ? p : q);
    case 18: return toFloat(std::atan2(p, q));
    default: return fail(kMsgBadCode, at), 0.0f;
    }
}

// a-offset, x-offset, callee index, 11
float Machine::call(int& d) {
    int at = d;
    int k = code_[d - 1], xOffset = code_[d - 2], aOffset = code_[d - 3];
    d -= 4;
    if (!spend()) return fail(kMsgBadCode, at), 0.0f;
    const CompiledObject& callee = *obj_.callees[k];
    float* frame = state_.frame + obj_.slotCount;
    int* flags = state_.flags + obj_.slotCount;
    struct Argument {
        int offset, size, firstSlot, word;
    };
    const Argument arguments[2] = {{xOffset, callee.xSize, 0, at - 2},
                                   {aOffset, callee.aSize, callee.xSize, at - 3}};
    for (const Argument& a : arguments) {
        if (a.size > 0 && a.offset < 0) return fail(kMsgBadCode, at), 0.0f;
        for (int i = 0; i < a.size; ++i) {
            if (state_.flags[a.offset + i] == 1)
                return fail(kMsgArrayItemsUnassigned, a.word), 0.0f;
            frame[a.firstSlot + i] = state_.frame[a.offset + i];
            flags[a.firstSlot + i] = 0;
        }
    }
    float result = 0.0f;
    if (Machine(callee, frame, flags, error_, budget_).run(result) == 0) failed_ = true;
    return result;
}

} // namespace

int executeObject(const CompiledObject& object, float* workspace, int* flags, float& result,
                  RuntimeError& error) {
    return Machine(object, workspace, flags, error, nullptr).run(result);
}

int executeObjectBounded(const CompiledObject& object, float* workspace, int* flags,
                         float& result, RuntimeError& error, long long stepLimit) {
    long long budget = stepLimit;
    return Machine(object, workspace, flags, error, &budget).run(result);
}

} // namespace lv::lang
