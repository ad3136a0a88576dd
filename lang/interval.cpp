#include "lang/interval.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "lang/builtins.h"
#include "lang/decoded.h"
#include "lang/interval_primitives.h"
#include "lang/rounding.h"
#include "lang/settings.h"

namespace lv::lang {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// Nearest float to v, then one ulp toward -infinity (or +infinity): the float that an
// operation rounds to lies within one ulp of the nearest float of its double result.
float down(double v) { return std::nextafter(static_cast<float>(v), -kInf); }
float up(double v) { return std::nextafter(static_cast<float>(v), kInf); }

// Relative allowance for results of the C library's functions in double, which are not
// correctly rounded but far closer than this; the float rounding that follows dwarfs it.
constexpr double kLibmSlack = 0x1p-40;
double slackDown(double v) { return v - std::fabs(v) * kLibmSlack - 0x1p-1000; }
double slackUp(double v) { return v + std::fabs(v) * kLibmSlack + 0x1p-1000; }

bool finite(const Interval& v) { return std::isfinite(v.lo) && std::isfinite(v.hi); }

bool make(double lo, double hi, Interval& out) {
    out = {down(lo), up(hi)};
    return finite(out);
}

// The result of a C library function monotone over [lo, hi], evaluated at its ends.
template <class F> bool monotone(F f, double lo, double hi, bool increasing, Interval& out) {
    if (lo == hi) { // one value: the interpreter's own computation
        const float v = static_cast<float>(f(lo));
        out = {v, v};
        return finite(out);
    }
    double a = f(lo), b = f(hi);
    if (!increasing) std::swap(a, b);
    return make(slackDown(a), slackUp(b), out);
}

// Three-valued truth of |v| >= eps: 1 true, 0 false, -1 undecided.
int truth(Interval v, float eps) {
    if (v.lo >= eps || v.hi <= -eps) return 1;
    if (v.lo > -eps && v.hi < eps) return 0;
    return -1;
}

Interval flag(int t) { return t < 0 ? Interval{0.0f, 1.0f} : Interval{float(t), float(t)}; }

// sin over [lo, hi] (cos is sin shifted by pi/2): the ends, plus +-1 where a peak lies inside.
bool sineRange(double lo, double hi, double shift, Interval& out) {
    if (!(hi - lo < 6.0)) return out = {-1.0f, 1.0f}, true;
    // The ends come from the functions the interpreter calls; the shift only locates peaks.
    double e0 = shift == 0.0 ? std::sin(lo) : std::cos(lo);
    double e1 = shift == 0.0 ? std::sin(hi) : std::cos(hi);
    double mn = std::min(e0, e1), mx = std::max(e0, e1);
    const double pi = 3.14159265358979323846;
    // Peaks of sin(t + shift): t + shift = pi/2 + 2k pi (max), -pi/2 + 2k pi (min). Widened so
    // that a peak at an end is never missed.
    const double wlo = lo + shift - 1e-6, whi = hi + shift + 1e-6;
    if (std::floor((whi - pi / 2) / (2 * pi)) >= std::ceil((wlo - pi / 2) / (2 * pi))) mx = 1.0;
    if (std::floor((whi + pi / 2) / (2 * pi)) >= std::ceil((wlo + pi / 2) / (2 * pi))) mn = -1.0;
    if (!make(slackDown(mn), slackUp(mx), out)) return false;
    out.lo = std::max(out.lo, -1.0f);
    out.hi = std::min(out.hi, 1.0f);
    return true;
}

bool point(Interval v) { return v.lo == v.hi; }

// The exact result of a float operation on single values, as the interpreter computes it.
bool exact(float v, Interval& out) {
    out = {v, v};
    return finite(out);
}

} // namespace

bool intervalAdd(Interval l, Interval r, Interval& out) {
    if (point(l) && point(r)) return exact(l.lo + r.lo, out);
    return make(double(l.lo) + r.lo, double(l.hi) + r.hi, out);
}

bool intervalSub(Interval l, Interval r, Interval& out) {
    if (point(l) && point(r)) return exact(l.lo - r.lo, out);
    return make(double(l.lo) - r.hi, double(l.hi) - r.lo, out);
}

bool intervalMul(Interval l, Interval r, Interval& out) {
    if (point(l) && point(r)) return exact(l.lo * r.lo, out);
    const double p[4] = {double(l.lo) * r.lo, double(l.lo) * r.hi, double(l.hi) * r.lo,
                         double(l.hi) * r.hi};
    return make(*std::min_element(p, p + 4), *std::max_element(p, p + 4), out);
}

bool intervalDiv(Interval l, Interval r, float eps, Interval& out) {
    if (!(r.lo >= eps || r.hi <= -eps)) return false; // the divisor may be below EPS: may fail
    if (point(l) && point(r)) return exact(l.lo / r.lo, out);
    const double p[4] = {double(l.lo) / r.lo, double(l.lo) / r.hi, double(l.hi) / r.lo,
                         double(l.hi) / r.hi};
    return make(*std::min_element(p, p + 4), *std::max_element(p, p + 4), out);
}

bool intervalSquare(Interval l, float eps, Interval& out) {
    // Values below EPS in magnitude square to 0, the others to l * l.
    const int t = truth(l, eps);
    if (t == 0) return out = {0.0f, 0.0f}, true;
    const double a = double(l.lo) * l.lo, b = double(l.hi) * l.hi;
    double mn = std::min(a, b), mx = std::max(a, b);
    if (l.lo <= 0.0f && l.hi >= 0.0f) mn = 0.0;
    if (t < 0) mn = 0.0;
    if (!make(mn, mx, out)) return false;
    out.lo = std::max(out.lo, 0.0f);
    return true;
}

bool intervalSetOperation(int word, Interval l, Interval r, float alpha, Interval& out) {
    if (!(alpha >= 0.0f && alpha <= 1.0f)) return false;
    // For ALPHA in [0, 1] the radicands are sums of squares and each operation is monotone:
    // & and | increase with both operands, \ increases with the left and decreases with the
    // right. The double formula differs from the exact one by far less than 2^-24 of
    // |L| + |R| (the square root of a rounding error is the largest term), so the ends are
    // widened by that before rounding to float.
    const double A = alpha;
    auto f = [&](double L, double R) {
        if (word == kWordUnion)
            return (L + R + std::sqrt(std::fabs(L * L + R * R - 2.0 * A * L * R))) / (1.0 + A);
        if (word == kWordDifference)
            return (L - R - std::sqrt(std::fabs(L * L + R * R + 2.0 * A * L * R))) / (1.0 + A);
        return (L + R - std::sqrt(std::fabs(L * L + R * R - 2.0 * A * L * R))) / (1.0 + A);
    };
    const bool difference = word == kWordDifference;
    const double lo = f(l.lo, difference ? r.hi : r.lo);
    const double hi = f(l.hi, difference ? r.lo : r.hi);
    const double size = std::max(std::fabs(double(l.lo)), std::fabs(double(l.hi))) +
                        std::max(std::fabs(double(r.lo)), std::fabs(double(r.hi)));
    const double slack = size * 0x1p-22 + 0x1p-1000;
    return make(lo - slack, hi + slack, out);
}

bool intervalMath(int row, const Interval* args, float eps, Interval& out) {
    using B = Builtin;
    const Interval pi = args[row >= rowOf(B::Mod) ? 1 : 0];
    const Interval q = args[0];
    const double lo = pi.lo, hi = pi.hi;
    switch (static_cast<B>(row)) {
    case B::Sqrt:
        if (lo < 0.0) return false;
        if (lo == hi) return exact(static_cast<float>(std::sqrt(lo)), out);
        return make(std::sqrt(lo), std::sqrt(hi), out);
    case B::Exp: return monotone([](double v) { return std::exp(v); }, lo, hi, true, out);
    case B::Log:
        if (!(lo > 0.0)) return false;
        return monotone([](double v) { return std::log(v); }, lo, hi, true, out);
    case B::Logd:
        if (!(lo > 0.0)) return false;
        return monotone([](double v) { return std::log10(v); }, lo, hi, true, out);
    case B::Sin:
        if (lo == hi) return exact(static_cast<float>(std::sin(lo)), out);
        return sineRange(lo, hi, 0.0, out);
    case B::Cos:
        if (lo == hi) return exact(static_cast<float>(std::cos(lo)), out);
        return sineRange(lo, hi, 3.14159265358979323846 / 2, out);
    case B::Asin:
        if (lo < -1.0 || hi > 1.0) return false;
        return monotone([](double v) { return std::asin(v); }, lo, hi, true, out);
    case B::Acos:
        if (lo < -1.0 || hi > 1.0) return false;
        return monotone([](double v) { return std::acos(v); }, lo, hi, false, out);
    case B::Atan: return monotone([](double v) { return std::atan(v); }, lo, hi, true, out);
    case B::Abs:
        if (lo >= 0.0) out = pi;
        else if (hi <= 0.0) out = {-pi.hi, -pi.lo};
        else out = {0.0f, std::max(-pi.lo, pi.hi)};
        return true;
    case B::Sinh: return monotone([](double v) { return std::sinh(v); }, lo, hi, true, out);
    case B::Cosh: {
        const double m = std::max(std::fabs(lo), std::fabs(hi));
        const double n = lo <= 0.0 && hi >= 0.0 ? 0.0 : std::min(std::fabs(lo), std::fabs(hi));
        return monotone([](double v) { return std::cosh(v); }, n, m, true, out);
    }
    case B::Tanh: return monotone([](double v) { return std::tanh(v); }, lo, hi, true, out);
    case B::Sign:
        out = {pi.lo < 0.0f ? -1.0f : 1.0f, pi.hi < 0.0f ? -1.0f : 1.0f};
        return true;
    case B::Max: out = {std::max(pi.lo, q.lo), std::max(pi.hi, q.hi)}; return true;
    case B::Min: out = {std::min(pi.lo, q.lo), std::min(pi.hi, q.hi)}; return true;
    default: (void)eps; return false; // tan, integer division, atan2: no rule
    }
}

namespace {

// Rows of the primitives that have an interval rule here.
struct PrimitiveRows {
    int sphere = rowOf(Builtin::LvSphere);
    int cylinder[3] = {rowOf(Builtin::LvCylinderX), rowOf(Builtin::LvCylinderY),
                       rowOf(Builtin::LvCylinderZ)};
    int block = rowOf(Builtin::LvBlock);
};

const PrimitiveRows& primitiveRows() {
    static const PrimitiveRows rows;
    return rows;
}

// Range of (x - c)^2 in double for x and c in their ranges.
void squaredOffset(Interval x, Interval c, double& lo, double& hi) {
    const double a = double(x.lo) - c.hi, b = double(x.hi) - c.lo;
    hi = std::max(a * a, b * b);
    lo = a <= 0.0 && b >= 0.0 ? 0.0 : std::min(a * a, b * b);
}

// Range of u * (d - u) for u in [a, b]: a downward parabola with its top at d / 2.
void slabRange(double a, double b, double d, double& lo, double& hi) {
    const double fa = a * (d - a), fb = b * (d - b);
    lo = std::min(fa, fb);
    const double top = std::clamp(d / 2.0, a, b);
    hi = std::max({fa, fb, top * (d - top)});
}

// The value stack for call depth depth, made when first needed.
std::vector<Interval>& stackAt(IntervalScratch& scratch, std::size_t depth) {
    while (scratch.stacks.size() <= depth) scratch.stacks.emplace_back();
    return scratch.stacks[depth];
}

// One evaluation of interval values over an object's frame, mirroring the interpreter.
class IntervalMachine {
public:
    IntervalMachine(const CompiledObject& object, const DecodedProgram& program,
                    Interval* frame, int* flags, long long& budget, IntervalScratch& scratch,
                    std::size_t depth, std::int8_t* decisions = nullptr)
        : obj_(object), program_(program), frame_(frame), flags_(flags), budget_(budget),
          eps_(eps()), alpha_(alpha()), scratch_(scratch), depth_(depth),
          stack_(stackAt(scratch, depth)), decisions_(decisions) {}

    bool run(Interval& result);

private:
    bool builtin(int row, int argc, std::vector<Interval>& stack, int at);
    bool primitive(int row, const Interval* args, int argc, Interval& out) const;
    // The elements of the array whose handle (the code index of its word 10) is v, or null.
    Interval* arrayOf(Interval v, int& count) const;
    bool call(const DecodedInstr& in, Interval& out);
    bool wholePower(Interval l, float r, int n, Interval& out) const;

    const CompiledObject& obj_;
    const DecodedProgram& program_;
    Interval* frame_;
    int* flags_;
    long long& budget_;
    float eps_;
    float alpha_;
    IntervalScratch& scratch_;
    std::size_t depth_;
    std::vector<Interval>& stack_; // the scratch's stack of this call depth
    std::int8_t* decisions_;       // per instruction: which operand of a min/max won, whether a
                                   // conditional jump jumped (Decision), or null
};

// nearest() of the interpreter over a range: the one whole number if it is the same
// throughout, else NaN.
double decidedIndex(Interval v) {
    const double a = nearestWhole(v.lo), b = nearestWhole(v.hi);
    return a == b ? a : std::nan("");
}

bool IntervalMachine::run(Interval& result) {
    for (int i = 0; i < obj_.xSize + obj_.aSize; ++i) flags_[i] = 0;
    for (int i = obj_.xSize + obj_.aSize; i < obj_.slotCount; ++i) flags_[i] = 1;
    std::vector<Interval>& s = stack_;
    s.clear();
    const std::vector<DecodedInstr>& code = program_.code;
    for (std::size_t ip = 0; ip < code.size(); ++ip) {
        const DecodedInstr& in = code[ip];
        Interval v;
        switch (in.op) {
        case kDConst: s.push_back({in.f, in.f}); break;
        case kDLocal:
        case kDSlot:
            if (flags_[in.a] == 1) return false;
            s.push_back(frame_[in.a]);
            break;
        case kDElement: {
            const double n = decidedIndex(s.back());
            if (!(n >= 1.0 && n <= in.b)) return false;
            const int slot = in.a + static_cast<int>(n) - 1;
            if (flags_[slot] == 1) return false;
            s.back() = frame_[slot];
            break;
        }
        case kDArray:
            for (int i = 0; i < in.b; ++i)
                if (flags_[in.a + i] == 1) return false;
            s.push_back({float(in.at), float(in.at)});
            break;
        case kDString: s.push_back({float(in.a), float(in.a)}); break;
        case kDCall:
            if (!call(in, v)) return false;
            s.push_back(v);
            break;
        case kDBuiltin:
            if (!builtin(in.a, in.b, s, in.at)) return false;
            break;
        case kDMax: // max and min of two reals, decoded as instructions of their own
        case kDMin:
            if (decisions_ && s.size() >= 2) {
                const Interval l = s.back(), r = s[s.size() - 2];
                const bool first = in.op == kDMax ? l.lo > r.hi : l.hi < r.lo;
                const bool second = in.op == kDMax ? r.lo > l.hi : r.hi < l.lo;
                const std::int8_t d = first    ? std::int8_t{kFirstWins}
                                      : second ? std::int8_t{kSecondWins}
                                               : std::int8_t{kUndecided};
                std::int8_t& seen = decisions_[ip];
                seen = seen == kUnseen || seen == d ? d : std::int8_t{kUndecided};
            }
            if (!builtin(in.op == kDMax ? 16 : 17, 2, s, in.at)) return false;
            break;
        case kDAdd:
        case kDSub:
        case kDMul: {
            const Interval l = s.back();
            s.pop_back();
            const Interval r = s.back();
            const bool ok = in.op == kDAdd   ? intervalAdd(l, r, v)
                            : in.op == kDSub ? intervalSub(l, r, v)
                                             : intervalMul(l, r, v);
            if (!ok) return false;
            s.back() = v;
            break;
        }
        case kDAddK:
            if (!intervalAdd(s.back(), {in.f, in.f}, s.back())) return false;
            break;
        case kDMulK:
            if (!intervalMul(s.back(), {in.f, in.f}, s.back())) return false;
            break;
        case kDSubK:
            if (!intervalSub(s.back(), {in.f, in.f}, s.back())) return false;
            break;
        case kDRSubK:
            if (!intervalSub({in.f, in.f}, s.back(), s.back())) return false;
            break;
        case kDBinary: {
            const Interval l = s.back();
            s.pop_back();
            const Interval r = s.back();
            switch (in.a) {
            case kWordAnd:
            case kWordOr: {
                const int a = truth(l, eps_), b = truth(r, eps_);
                int t;
                if (in.a == kWordAnd) t = a == 0 || b == 0 ? 0 : (a == 1 && b == 1 ? 1 : -1);
                else t = a == 1 || b == 1 ? 1 : (a == 0 && b == 0 ? 0 : -1);
                v = flag(t);
                break;
            }
            case kWordLess: v = flag(l.hi < r.lo ? 1 : l.lo >= r.hi ? 0 : -1); break;
            case kWordGreater: v = flag(l.lo > r.hi ? 1 : l.hi <= r.lo ? 0 : -1); break;
            case kWordLessEqual: v = flag(l.hi <= r.lo ? 1 : l.lo > r.hi ? 0 : -1); break;
            case kWordGreaterEqual: v = flag(l.lo >= r.hi ? 1 : l.hi < r.lo ? 0 : -1); break;
            case kWordEqual:
            case kWordNotEqual: {
                Interval d;
                if (!intervalSub(l, r, d)) return false;
                const int t = truth(d, eps_); // |l - r| >= eps
                v = flag(in.a == kWordNotEqual ? t : (t < 0 ? -1 : 1 - t));
                break;
            }
            case kWordAdd: if (!intervalAdd(l, r, v)) return false; break;
            case kWordSub: if (!intervalSub(l, r, v)) return false; break;
            case kWordMul: if (!intervalMul(l, r, v)) return false; break;
            case kWordDiv: if (!intervalDiv(l, r, eps_, v)) return false; break;
            case kWordPow: // a single whole exponent: as ^ with a constant exponent
                if (!point(r) || r.lo != std::floor(r.lo) || !(std::fabs(r.lo) <= 64.0f))
                    return false;
                if (!wholePower(l, r.lo, static_cast<int>(std::fabs(r.lo)), v)) return false;
                break;
            default: return false;
            }
            s.back() = v;
            break;
        }
        case kDSquare:
            if (!intervalSquare(s.back(), eps_, s.back())) return false;
            break;
        case kDSlotSquare:
            if (flags_[in.a] == 1) return false;
            if (!intervalSquare(frame_[in.a], eps_, v)) return false;
            s.push_back(v);
            break;
        case kDSetOp: {
            const Interval l = s.back();
            s.pop_back();
            if (!intervalSetOperation(in.a, l, s.back(), alpha_, s.back())) return false;
            break;
        }
        case kDPowConst:
            if (!(in.g < eps_ && in.a >= 0 && in.a <= 64)) return false;
            if (!wholePower(s.back(), in.f, in.a, s.back())) return false;
            break;
        case kDUnary:
            if (in.a == kWordNot) {
                const int t = truth(s.back(), eps_);
                s.back() = flag(t < 0 ? -1 : 1 - t);
            } else if (in.a != kWordPlus) {
                s.back() = {-s.back().hi, -s.back().lo};
            }
            break;
        case kDStore:
            frame_[in.a] = s.back();
            flags_[in.a] = 0;
            s.pop_back();
            break;
        case kDIndexCheck: {
            const double n = decidedIndex(s.back());
            if (!(n >= 1.0 && n <= in.a)) return false;
            s.back() = {float(n), float(n)};
            break;
        }
        case kDStoreElement: {
            const Interval value = s.back();
            s.pop_back();
            const int slot = in.a + static_cast<int>(s.back().lo) - 1;
            s.pop_back();
            frame_[slot] = value;
            flags_[slot] = 0;
            break;
        }
        case kDArrayLiteral:
            for (int i = 0; i < in.b; ++i) {
                const float c = obj_.constants[static_cast<std::size_t>(in.c + i)];
                frame_[in.a + i] = {c, c};
                flags_[in.a + i] = 0;
            }
            break;
        case kDJump:
            if (--budget_ < 0) return false;
            ip = static_cast<std::size_t>(in.a) - 1;
            break;
        case kDJumpIfFalse: {
            const int t = truth(s.back(), eps_);
            s.pop_back();
            if (t < 0) return false; // the branch is not the same for the whole range
            if (decisions_) {
                const std::int8_t d = t == 0 ? std::int8_t{kJumps} : std::int8_t{kFallsThrough};
                std::int8_t& seen = decisions_[ip];
                seen = seen == kUnseen || seen == d ? d : std::int8_t{kUndecided};
            }
            if (t == 0) ip = static_cast<std::size_t>(in.a) - 1;
            break;
        }
        case kDResult:
            result = s.back();
            return finite(result);
        case kDFail: return false;
        }
        if (!s.empty() && !finite(s.back())) return false;
    }
    return false;
}

// l^r for a whole exponent r with n = |r| (at most 64): the interpreter multiplies 1 by the
// base step by step (then inverts for a negative exponent); a base below EPS in magnitude
// gives 0 for a positive exponent and fails for the others.
bool IntervalMachine::wholePower(Interval l, float r, int n, Interval& out) const {
    const int t = truth(l, eps_);
    if (t == 0) {
        if (!(r > eps_)) return false;
        out = {0.0f, 0.0f};
        return true;
    }
    if (t < 0 && !(r > eps_)) return false;
    Interval p{1.0f, 1.0f};
    for (int i = 0; i < n; ++i)
        if (!intervalMul(p, l, p)) return false;
    if (r < 0.0f) {
        if (p.lo <= 0.0f && p.hi >= 0.0f) return false;
        if (!intervalDiv({1.0f, 1.0f}, p, 0.0f, p)) return false;
    }
    if (t < 0) p = {std::min(p.lo, 0.0f), std::max(p.hi, 0.0f)};
    out = p;
    return true;
}

bool IntervalMachine::builtin(int row, int argc, std::vector<Interval>& stack, int at) {
    (void)at;
    if (argc > static_cast<int>(stack.size())) return false;
    const Interval* args = stack.data() + stack.size() - argc;
    Interval out;
    const bool ok = row < kMathBuiltinCount ? intervalMath(row, args, eps_, out)
                                            : primitive(row, args, argc, out);
    if (!ok || !finite(out)) return false;
    stack.resize(stack.size() - static_cast<std::size_t>(argc));
    stack.push_back(out);
    return true;
}

Interval* IntervalMachine::arrayOf(Interval v, int& count) const {
    if (v.lo != v.hi) return nullptr;
    const int position = static_cast<int>(v.lo);
    if (position < 2 || static_cast<std::size_t>(position) >= obj_.code.size()) return nullptr;
    if (obj_.code[position] != kWordArray) return nullptr;
    const int size = obj_.code[position - 2], offset = obj_.code[position - 1];
    if (size < 1 || offset < 0 || offset + size > obj_.slotCount) return nullptr;
    for (int i = 0; i < size; ++i)
        if (flags_[offset + i] == 1) return nullptr;
    count = size;
    return frame_ + offset;
}

// Sphere, cylinders and block: their values are computed in double from the float arguments
// and rounded to float once (the block's Y and Z slabs twice); the double rounding errors are
// far below 2^-40 of the largest term, which the allowance covers.
bool IntervalMachine::primitive(int row, const Interval* args, int argc, Interval& out) const {
    auto resolve = [](const void* machine, Interval handle, int& count) {
        return static_cast<const IntervalMachine*>(machine)->arrayOf(handle, count);
    };
    if (boundPrimitive({row, args, argc, eps_, alpha_, resolve, this}, out)) return true;
    const PrimitiveRows& rows = primitiveRows();
    auto arg = [&](int i) { return args[argc - 1 - i]; };
    int nx = 0, nc = 0;
    if (argc < 3) return false;
    const Interval* x = arrayOf(arg(0), nx);
    const Interval* c = arrayOf(arg(1), nc);
    if (x == nullptr || c == nullptr || nx != 3 || nc < 3) return false;
    int across[2] = {-1, -1};
    if (row == rows.sphere && argc == 3) {
        across[0] = 3; // all three axes
    } else {
        for (int axis = 0; axis < 3; ++axis)
            if (row == rows.cylinder[axis] && argc == 3) {
                across[0] = axis == 0 ? 1 : 0;
                across[1] = axis == 2 ? 1 : 2;
            }
    }
    if (across[0] >= 0) {
        double sumLo = 0.0, sumHi = 0.0;
        for (int axis = 0; axis < 3; ++axis) {
            if (across[0] != 3 && axis != across[0] && axis != across[1]) continue;
            double lo, hi;
            squaredOffset(x[axis], c[axis], lo, hi);
            sumLo += lo;
            sumHi += hi;
        }
        const Interval r = arg(2);
        double rLo, rHi;
        squaredOffset(r, {0.0f, 0.0f}, rLo, rHi);
        const double slack = (rHi + sumHi) * 0x1p-40 + 0x1p-1000;
        return make(rLo - sumHi - slack, rHi - sumLo + slack, out);
    }
    if (row == rows.block && argc == 5) {
        const float alpha = alpha_;
        if (!(alpha >= 0.0f && alpha <= 1.0f)) return false;
        double slab[3][2];
        double size = 0.0;
        for (int axis = 0; axis < 3; ++axis) {
            const Interval d = arg(2 + axis);
            if (d.lo != d.hi || !(d.lo >= 0.0f)) return false; // a sized block only
            // u = x - v, exactly as the block computes it up to double rounding.
            const double a = double(x[axis].lo) - c[axis].hi, b = double(x[axis].hi) - c[axis].lo;
            double lo, hi;
            slabRange(a, b, d.lo, lo, hi);
            const double terms = std::fabs(double(c[axis].lo)) + std::fabs(double(c[axis].hi)) +
                                 std::fabs(double(x[axis].lo)) + std::fabs(double(x[axis].hi)) +
                                 d.lo;
            const double slack = (std::fabs(lo) + std::fabs(hi) + terms * terms) * 0x1p-40 +
                                 0x1p-1000;
            lo -= slack;
            hi += slack;
            if (axis > 0) { // stored as float before the intersection
                lo = down(lo);
                hi = up(hi);
            }
            slab[axis][0] = lo;
            slab[axis][1] = hi;
            size += std::max(std::fabs(lo), std::fabs(hi));
        }
        if (alpha == 1.0f) {
            return make(std::min({slab[0][0], slab[1][0], slab[2][0]}),
                        std::min({slab[0][1], slab[1][1], slab[2][1]}), out);
        }
        const double A = alpha;
        auto meet = [A](double u, double v) {
            return u + v - std::sqrt(std::fabs(u * u + v * v - 2.0 * A * u * v));
        };
        const double lo = meet(meet(slab[0][0], slab[1][0]), slab[2][0]);
        const double hi = meet(meet(slab[0][1], slab[1][1]), slab[2][1]);
        const double slack = size * 0x1p-20 + 0x1p-1000;
        return make(lo - slack, hi + slack, out);
    }
    return false;
}

bool IntervalMachine::call(const DecodedInstr& in, Interval& out) {
    if (--budget_ < 0) return false;
    const CompiledObject& callee = *obj_.callees[static_cast<std::size_t>(in.a)];
    Interval* frame = frame_ + obj_.slotCount;
    int* flags = flags_ + obj_.slotCount;
    const int offsets[2] = {in.b, in.c}, sizes[2] = {callee.xSize, callee.aSize};
    const int first[2] = {0, callee.xSize};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < sizes[k]; ++i) {
            if (flags_[offsets[k] + i] == 1) return false;
            frame[first[k] + i] = frame_[offsets[k] + i];
            flags[first[k] + i] = 0;
        }
    if (!callee.decoded) return false;
    return IntervalMachine(callee, *callee.decoded, frame, flags, budget_, scratch_, depth_ + 1)
        .run(out);
}

} // namespace

bool boundObject(const CompiledObject& object, const Interval* inputs, Interval& result,
                 long long stepLimit) {
    IntervalScratch scratch;
    return boundObject(object, inputs, result, scratch, stepLimit);
}

bool boundObject(const CompiledObject& object, const Interval* inputs, Interval& result,
                 IntervalScratch& scratch, long long stepLimit) {
    return boundObject(object, nullptr, inputs, result, scratch, nullptr, stepLimit);
}

bool boundObject(const CompiledObject& object, const DecodedProgram* program,
                 const Interval* inputs, Interval& result, IntervalScratch& scratch,
                 std::vector<std::int8_t>* decisions, long long stepLimit) {
    const std::size_t size = static_cast<std::size_t>(std::max(object.workspaceSize(), 0)) + 1;
    std::vector<Interval>& frame = scratch.frame;
    std::vector<int>& flags = scratch.flags;
    frame.assign(size, Interval{});
    flags.assign(size, 1);
    for (int i = 0; i < object.xSize + object.aSize; ++i) {
        if (!finite(inputs[i]) || inputs[i].lo > inputs[i].hi) return false;
        frame[static_cast<std::size_t>(i)] = inputs[i];
    }
    DecodedProgram local;
    if (program == nullptr) program = object.decoded.get();
    if (program == nullptr) {
        local = decodeObject(object);
        program = &local;
    }
    long long budget = stepLimit;
    if (decisions) decisions->assign(program->code.size(), kUnseen);
    return IntervalMachine(object, *program, frame.data(), flags.data(), budget, scratch, 0,
                           decisions ? decisions->data() : nullptr)
        .run(result);
}

} // namespace lv::lang
