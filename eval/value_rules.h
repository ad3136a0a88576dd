#pragma once
// How the interpreter computes one value: the operator and mathematical built-in rules shared
// by the point-by-point and the batched interpreter, so that both give the same bits. Each
// function that can fail returns a message index, or kNoFailure with the value stored.
#include <cmath>

#include "lang/builtins.h"
#include "lang/compiled_object.h"
#include "lang/decoded.h"
#include "lang/rounding.h"

namespace lv::eval::rules {

constexpr int kNoFailure = -1;

using lang::floorOf;

// trunc without a library call, sign of a zero result included.
inline double truncOf(double t) {
    if (!(std::fabs(t) < 4.0e18)) return std::trunc(t);
    return std::copysign(static_cast<double>(static_cast<long long>(t)), t);
}

// Nearest integer with halves going up.
inline double nearest(float v) { return lang::nearestWhole(static_cast<double>(v)); }
inline float toFloat(double v) { return static_cast<float>(v); }

// l^r for a whole exponent r with n = nearest(|r|): 1 multiplied n times by l, step by step
// in single precision (pow in double for huge n), inverted for a negative r.
inline float wholePower(float l, float r, double n) {
    float p = 1.0f;
    if (n <= 64.0) {
        for (int i = 0, count = static_cast<int>(n); i < count; ++i) p *= l;
    } else if (std::fabs(l) == 1.0f) { // stays at +-1: only the sign depends on n
        p = l < 0.0f && std::fmod(n, 2.0) == 1.0 ? -1.0f : 1.0f;
    } else if (n > lang::kMaxStepwiseExponent) {
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

// The R-functions: intersection (& and @), union (|) and difference (\). With ALPHA = 0 and
// finite operands the ALPHA term is a zero and the divisor one, so they are left out: the
// value is the same to the bit. Infinite operands keep the full formula (0 * inf is NaN).
inline float setOperation(int word, float l, float r, float alphaValue) {
    double L = l, R = r;
    if (alphaValue == 0.0f && std::isfinite(L * R)) {
        double root = std::sqrt(std::fabs(L * L + R * R));
        if (word == lang::kWordUnion) return toFloat(L + R + root);
        if (word == lang::kWordDifference) return toFloat(L - R - root);
        return toFloat(L + R - root);
    }
    double A = alphaValue;
    double v;
    if (word == lang::kWordUnion)
        v = (L + R + std::sqrt(std::fabs(L * L + R * R - 2.0 * A * L * R))) / (1.0 + A);
    else if (word == lang::kWordDifference)
        v = (L - R - std::sqrt(std::fabs(L * L + R * R + 2.0 * A * L * R))) / (1.0 + A);
    else
        v = (L + R - std::sqrt(std::fabs(L * L + R * R - 2.0 * A * L * R))) / (1.0 + A);
    return toFloat(v);
}

// max and min of two reals; p is the first argument, q the second.
inline float maxOf(float p, float q) { return p >= q ? p : q; }
inline float minOf(float p, float q) { return p <= q ? p : q; }

// l^r; n is nearest(|r|), or negative when that is too large to multiply out.
inline int power(float l, float r, double n, float eps, float& out) {
    if (std::fabs(l) < eps) {
        if (r > eps) return out = 0.0f, kNoFailure;
        return lang::kMsgZeroPower;
    }
    if (r - static_cast<float>(floorOf(r)) < eps) {
        out = wholePower(l, r, n >= 0.0 ? n : nearest(std::fabs(r)));
        return kNoFailure;
    }
    if (l < 0.0f) return lang::kMsgNegativePowerBase;
    out = toFloat(std::exp2(static_cast<double>(r) * std::log2(static_cast<double>(l))));
    return kNoFailure;
}

// Two operands, left and right as written.
inline int binary(int word, float l, float r, float eps, float& out) {
    switch (word) {
    case lang::kWordAnd: out = std::fabs(l) >= eps && std::fabs(r) >= eps ? 1.0f : 0.0f; break;
    case lang::kWordOr: out = std::fabs(l) >= eps || std::fabs(r) >= eps ? 1.0f : 0.0f; break;
    case lang::kWordLess: out = l < r ? 1.0f : 0.0f; break;
    case lang::kWordGreater: out = l > r ? 1.0f : 0.0f; break;
    case lang::kWordLessEqual: out = l <= r ? 1.0f : 0.0f; break;
    case lang::kWordGreaterEqual: out = l >= r ? 1.0f : 0.0f; break;
    case lang::kWordEqual: out = std::fabs(l - r) < eps ? 1.0f : 0.0f; break;
    case lang::kWordNotEqual: out = std::fabs(l - r) >= eps ? 1.0f : 0.0f; break;
    case lang::kWordAdd: out = l + r; break;
    case lang::kWordSub: out = l - r; break;
    case lang::kWordMul: out = l * r; break;
    case lang::kWordDiv:
        if (std::fabs(r) < eps) return lang::kMsgDivisionByZero;
        out = l / r;
        break;
    case lang::kWordPow: {
        double n = nearest(std::fabs(r));
        return power(l, r, n <= lang::kMaxStepwiseExponent ? n : -1.0, eps, out);
    }
    default: return lang::kMsgBadCode;
    }
    return kNoFailure;
}

// The value of a unary operator word.
inline float unary(int word, float v, float eps) {
    if (word == lang::kWordNot) return std::fabs(v) < eps ? 1.0f : 0.0f;
    return word == lang::kWordPlus ? v : -v;
}

// Mathematical built-in rows (row < lang::kMathBuiltinCount); args[0] is the last argument, so
// the first operand of the two-argument rows (mod onwards) is args[1].
inline int math(int row, const float* args, float eps, float& out) {
    using B = lang::Builtin;
    double p = args[row >= lang::rowOf(B::Mod) ? 1 : 0];
    double q = args[0];
    switch (static_cast<B>(row)) {
    case B::Sqrt:
        if (p < 0.0) return lang::kMsgNegativeSqrt;
        out = toFloat(std::sqrt(p));
        break;
    case B::Exp: out = toFloat(std::exp(p)); break;
    case B::Log:
    case B::Logd:
        if (p <= 0.0) return lang::kMsgNegativeLog;
        out = toFloat(row == lang::rowOf(B::Log) ? std::log(p) : std::log10(p));
        break;
    case B::Sin: out = toFloat(std::sin(p)); break;
    case B::Cos: out = toFloat(std::cos(p)); break;
    case B::Tan:
        if (std::fabs(std::cos(p)) < eps) return lang::kMsgTanArgument;
        out = toFloat(std::tan(p));
        break;
    case B::Asin:
    case B::Acos:
        if (std::fabs(p) > 1.0) return lang::kMsgArgumentRange;
        out = toFloat(row == lang::rowOf(B::Asin) ? std::asin(p) : std::acos(p));
        break;
    case B::Atan: out = toFloat(std::atan(p)); break;
    case B::Abs: out = toFloat(std::fabs(p)); break;
    case B::Sinh: out = toFloat(std::sinh(p)); break;
    case B::Cosh: out = toFloat(std::cosh(p)); break;
    case B::Tanh: out = toFloat(std::tanh(p)); break;
    case B::Sign: out = p < 0.0 ? -1.0f : 1.0f; break;
    case B::Mod: {
        double P = floorOf(p + 0.5), Q = floorOf(q + 0.5);
        if (Q == 0.0 || std::isnan(Q)) return lang::kMsgDivisionByZero;
        out = toFloat(truncOf(P / Q));
        break;
    }
    case B::Max: out = maxOf(args[1], args[0]); break;
    case B::Min: out = minOf(args[1], args[0]); break;
    case B::Atan2: out = toFloat(std::atan2(p, q)); break;
    default: return lang::kMsgBadCode;
    }
    return kNoFailure;
}

// x^2 with its rule: 0 below EPS (the exponent 2 exceeds every EPS), else 1 * l * l.
inline float square(float l, float eps) { return std::fabs(l) < eps ? 0.0f : l * l; }

} // namespace lv::eval::rules
