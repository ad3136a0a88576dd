#include "eval/batch_interpreter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "eval/value_rules.h"
#include "lang/builtins.h"
#include "lang/decoded.h"
#include "lang/runtime.h"
#include "lang/settings.h"
#include "lang/stop_token.h"
#include "primitives/catalogue.h"

namespace lv::eval {

using namespace lang;

void BatchWorkspace::FreeDeleter::operator()(void* p) const { std::free(p); }

namespace {

// Slot values of all points of one workspace at most (flags as many again). Only the pages of
// slots the code touches are ever written, so this bounds address space, not memory in use.
constexpr std::size_t kMaxBatchValues = std::size_t{1} << 25;

template <class T> T* allocate(std::size_t count, bool zero) {
    void* p = zero ? std::calloc(count, sizeof(T)) : std::malloc(count * sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
}

} // namespace

BatchWorkspace::BatchWorkspace(const CompiledObject& object) : object_(&object) {
    const std::size_t slots = static_cast<std::size_t>(object.workspaceSize()) + 1;
    points_ = static_cast<int>(
        std::clamp<std::size_t>(kMaxBatchValues / slots, 1, static_cast<std::size_t>(kMaxBatchPoints)));
    const std::size_t n = slots * static_cast<std::size_t>(points_);
    // Neither array is filled: pages of slots the code never touches are never written.
    values_.reset(allocate<float>(n, false));
    flags_.reset(allocate<int>(n, true));
    scratch_.reset(allocate<float>(slots, true));
    same_.reset(allocate<int>(slots, true));
    program_ = object.decoded;
    if (!program_) // an object not made by the compiler
        program_ = std::make_shared<const DecodedProgram>(decodeObject(object));
    const std::size_t rows = static_cast<std::size_t>(program_->stackNeed) + 2;
    stack_.reset(allocate<float>(rows * static_cast<std::size_t>(points_), false));
    sameRows_.reset(allocate<std::uint8_t>(rows, true));
}

BatchWorkspace::~BatchWorkspace() = default;

// What the machines of one run share; a friend of BatchWorkspace.
struct BatchAccess {
    BatchWorkspace& ws;
    const DecodedProgram& program; // of the workspace's object
    int points;                    // row length
    float* results;
    RuntimeError* errors;
    float eps;
    float alpha;

    // A new run number: flags equal to it mean "assigned in this evaluation of an object".
    int nextStamp() {
        if (ws.stamp_ == INT_MAX) { // wrapped: forget every earlier run once
            std::size_t n = (static_cast<std::size_t>(ws.object_->workspaceSize()) + 1) *
                            static_cast<std::size_t>(points);
            std::memset(ws.flags_.get(), 0, n * sizeof(int));
            std::memset(ws.same_.get(), 0, (n / static_cast<std::size_t>(points)) * sizeof(int));
            ws.stamp_ = 0;
        }
        return ++ws.stamp_;
    }
    float* values() { return ws.values_.get(); }
    int* flags() { return ws.flags_.get(); }
    float* scratch() { return ws.scratch_.get(); }
    int* same() { return ws.same_.get(); }
    // The flags of the value rows from stackRow on.
    std::uint8_t* sameRows(const float* stackRow) {
        return ws.sameRows_.get() + (stackRow - ws.stack_.get()) / points;
    }
};

namespace {

using Mask = std::uint64_t;
using rules::kNoFailure;

inline Mask bit(int lane) { return Mask{1} << lane; }

// rules::square without a branch: the product is formed in every lane and masked to +0 below
// EPS, so that loops over lanes run on vector registers.
inline float squareOf(float v, float eps) {
    const std::uint32_t keep = std::fabs(v) < eps ? 0u : ~0u;
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(v * v) & keep);
}

// The set operations at ALPHA = 0 on finite operands over lanes 0 .. count - 1: left operands
// in t, right operands and results in r. Square roots in double bound the CSG programs, so the
// loop is also compiled for AVX2, taken where the processor has it: the same IEEE operations
// on wider registers, so the same bits.
__attribute__((target_clones("avx2", "default"))) void shortSetOperations(int word,
                                                                         const float* t,
                                                                         float* r, int count) {
    auto root = [](double L, double R) { return std::sqrt(std::fabs(L * L + R * R)); };
    if (word == kWordUnion) {
        for (int l = 0; l < count; ++l) {
            const double L = t[l], R = r[l];
            r[l] = static_cast<float>(L + R + root(L, R));
        }
    } else if (word == kWordDifference) {
        for (int l = 0; l < count; ++l) {
            const double L = t[l], R = r[l];
            r[l] = static_cast<float>(L - R - root(L, R));
        }
    } else {
        for (int l = 0; l < count; ++l) {
            const double L = t[l], R = r[l];
            r[l] = static_cast<float>(L + R - root(L, R));
        }
    }
}

// One evaluation of one object for a set of points, on its frame and stack rows. Points whose
// control flow parts are run as separate groups that join again where their paths meet (the
// group with the lowest instruction always runs next, so a join is never passed by).
class Machine {
public:
    Machine(BatchAccess& run, const CompiledObject& object, const DecodedProgram& program,
            std::size_t frameSlot, int stamp, int count)
        : run_(run), obj_(object), code_(program.code.data()), w_(run.points),
          frame_(run.values() + frameSlot * static_cast<std::size_t>(w_)),
          flags_(run.flags() + frameSlot * static_cast<std::size_t>(w_)),
          same_(run.same() + frameSlot), stack_(nullptr), frameSlot_(frameSlot), stamp_(stamp),
          count_(count), full_(count >= 64 ? ~Mask{0} : bit(count) - 1) {}

    // Runs the points in lanes; writes out[p] for each point that ends with a result and
    // returns them; the others have their error filled.
    Mask run(Mask lanes, float* out, float* stackBase);

    // An operator or a mathematical row over the running points, reached through tables.
    template <int Word> bool binaryWord(const DecodedInstr& in, int height);
    template <int Row> bool mathRow(const DecodedInstr& in, int height);

private:
    struct Group {
        Mask mask;
        int ip;
        int height;
    };

    float* row(int height) { return stack_ + static_cast<std::size_t>(height) * w_; }
    float* slot(int s) { return frame_ + static_cast<std::size_t>(s) * w_; }
    int* flag(int s) { return flags_ + static_cast<std::size_t>(s) * w_; }

    // Values known to be the same in every running point: rows pushed from constants and from
    // such slots, and what operations make of them. Work that is costly per point (indexing,
    // conditions, checked operators and mathematical rows) is then done once for all of them.
    bool sameSlot(int s) const { return same_[s] == stamp_; }
    // Records a store to slot s: the same value in every live point only when all of them ran
    // the store (no other group waits).
    void stored(int s, bool same) { same_[s] = same && pending_ == 0 ? stamp_ : 0; }
    int firstLane() const { return dense_ ? 0 : lanes_[0]; }
    // Forgets what is known of the rows below height (another group may have written them).
    void forgetRows(int height) {
        for (int i = 0; i < height; ++i) sameRow_[i] = 0;
    }
    // Writes v to the running points of r.
    [[gnu::always_inline]] void fill(float* r, float v) {
        each([&](int l) { r[l] = v; });
    }

    void setMask(Mask m) {
        mask_ = m;
        dense_ = m == full_;
        if (dense_) {
            n_ = count_;
            return;
        }
        n_ = 0;
        for (Mask rest = m; rest != 0; rest &= rest - 1) lanes_[n_++] = __builtin_ctzll(rest);
    }
    // Runs f for every running lane; a full block has a fixed count, which compiles to a
    // loop without remainder.
    template <class F> [[gnu::always_inline]] void each(F f) {
        if (dense_) {
            if (n_ == kMaxBatchPoints) {
                for (int l = 0; l < kMaxBatchPoints; ++l) f(l);
            } else {
                for (int l = 0; l < n_; ++l) f(l);
            }
        } else {
            for (int k = 0; k < n_; ++k) f(lanes_[k]);
        }
    }
    void fail(int lane, int message, int at) {
        reportRuntimeError(obj_, message, run_.errors[lane], at);
    }
    // Drops the failed lanes; false when none is left.
    bool drop(Mask failed) {
        if (failed != 0) setMask(mask_ & ~failed);
        return mask_ != 0;
    }
    void pend(Mask mask, int ip, int height) {
        for (int i = 0; i < pending_; ++i) {
            Group& g = groups_[i];
            if (g.ip == ip && g.height == height) {
                g.mask |= mask;
                return;
            }
        }
        groups_[pending_++] = {mask, ip, height};
    }
    int lowestPending() const {
        int ip = INT_MAX;
        for (int i = 0; i < pending_; ++i) ip = std::min(ip, groups_[i].ip);
        return ip;
    }
    // Joins the groups waiting at ip with the running one.
    void join(int ip, int height) {
        Mask joined = mask_;
        for (int i = 0; i < pending_;) {
            if (groups_[i].ip == ip && groups_[i].height == height) {
                joined |= groups_[i].mask;
                groups_[i] = groups_[--pending_];
            } else {
                ++i;
            }
        }
        if (joined != mask_) setMask(joined), forgetRows(height);
    }

    void execute(int ip, int height, float* out);
    bool element(const DecodedInstr& in, int height);
    bool binary(const DecodedInstr& in, int height);
    bool builtin(const DecodedInstr& in, int height);
    bool primitive(const DecodedInstr& in, int height);
    bool primitiveBatch(const DecodedInstr& in, int height, prim::EvaluateBatchFn batch);
    bool call(const DecodedInstr& in, int height);

    BatchAccess& run_;
    const CompiledObject& obj_;
    const DecodedInstr* code_;
    int w_;
    float* frame_;
    int* flags_;
    int* same_;
    float* stack_;
    std::uint8_t* sameRow_ = nullptr; // parallel to the rows of stack_
    std::size_t frameSlot_;
    int stamp_;
    int count_;
    Mask full_;
    Mask mask_ = 0;
    Mask done_ = 0;
    bool dense_ = false;
    int n_ = 0;
    int lanes_[kMaxBatchPoints];
    Group groups_[kMaxBatchPoints];
    int pending_ = 0;
};

Mask Machine::run(Mask lanes, float* out, float* stackBase) {
    stack_ = stackBase;
    sameRow_ = run_.sameRows(stackBase);
    groups_[0] = {lanes, 0, 0};
    pending_ = 1;
    done_ = 0;
    while (pending_ > 0) {
        int first = 0;
        for (int i = 1; i < pending_; ++i)
            if (groups_[i].ip < groups_[first].ip) first = i;
        Group g = groups_[first];
        groups_[first] = groups_[--pending_];
        setMask(g.mask);
        join(g.ip, g.height);
        forgetRows(g.height);
        execute(g.ip, g.height, out);
    }
    return done_;
}

void Machine::execute(int ip, int h, float* out) {
    const float eps = run_.eps;
    const int stamp = stamp_; // a local, which stores to int flags cannot change
    for (;;) {
        const DecodedInstr& in = code_[ip];
        if (in.target && pending_ > 0) join(ip, h);
        Mask failed = 0;
        switch (in.op) {
        case kDConst:
            sameRow_[h] = 1;
            fill(row(h++), in.f);
            break;
        case kDLocal:
        case kDSlot: {
            const float* s = slot(in.a);
            const int* f = flag(in.a);
            const bool same = sameSlot(in.a); // then every live point has stored it
            float* r = row(h);
            sameRow_[h++] = same;
            if (in.check && !same) {
                const int message = in.op == kDLocal ? kMsgNotInitialized : kMsgUnassignedIdentifier;
                const int at = in.op == kDLocal ? in.at : in.at - 1;
                each([&](int l) {
                    if (f[l] != stamp_) fail(l, message, at), failed |= bit(l);
                });
                if (!drop(failed)) return;
            }
            each([&](int l) { r[l] = s[l]; });
            break;
        }
        case kDSlotSquare: {
            const float* s = slot(in.a);
            const int* f = flag(in.a);
            const bool same = sameSlot(in.a);
            float* r = row(h);
            sameRow_[h++] = same;
            if (in.check && !same) {
                each([&](int l) {
                    if (f[l] != stamp_) fail(l, kMsgUnassignedIdentifier, in.at - 3), failed |= bit(l);
                });
                if (!drop(failed)) return;
            }
            each([&](int l) { r[l] = squareOf(s[l], eps); });
            break;
        }
        case kDElement:
            if (!element(in, h)) return;
            break;
        case kDArray: {
            if (in.check) {
                bool assigned = true;
                for (int i = 0; i < in.b && assigned; ++i) assigned = sameSlot(in.a + i);
                if (!assigned) {
                    each([&](int l) {
                        for (int i = 0; i < in.b; ++i)
                            if (flag(in.a + i)[l] != stamp_) {
                                fail(l, kMsgArrayItemsUnassigned, in.at), failed |= bit(l);
                                return;
                            }
                    });
                    if (!drop(failed)) return;
                }
            }
            sameRow_[h] = 1;
            fill(row(h++), static_cast<float>(in.at));
            break;
        }
        case kDString:
            sameRow_[h] = 1;
            fill(row(h++), static_cast<float>(in.a));
            break;
        case kDCall:
            if (!call(in, h)) return;
            sameRow_[h++] = 0;
            break;
        case kDBuiltin:
            if (!builtin(in, h)) return;
            h -= in.b - 1;
            break;
        case kDAdd:
        case kDSub:
        case kDMul:
        case kDMax:
        case kDMin: {
            --h;
            const float* t = row(h); // the left operand (first argument)
            float* r = row(h - 1);
            sameRow_[h - 1] &= sameRow_[h];
            switch (in.op) {
            case kDAdd: each([&](int l) { r[l] = t[l] + r[l]; }); break;
            case kDSub: each([&](int l) { r[l] = t[l] - r[l]; }); break;
            case kDMul: each([&](int l) { r[l] = t[l] * r[l]; }); break;
            case kDMax: each([&](int l) { r[l] = rules::maxOf(t[l], r[l]); }); break;
            default: each([&](int l) { r[l] = rules::minOf(t[l], r[l]); }); break;
            }
            break;
        }
        case kDAddK: {
            float* r = row(h - 1);
            const float k = in.f;
            each([&](int l) { r[l] = r[l] + k; });
            break;
        }
        case kDMulK: {
            float* r = row(h - 1);
            const float k = in.f;
            each([&](int l) { r[l] = r[l] * k; });
            break;
        }
        case kDSubK: {
            float* r = row(h - 1);
            const float k = in.f;
            each([&](int l) { r[l] = r[l] - k; });
            break;
        }
        case kDRSubK: {
            float* r = row(h - 1);
            const float k = in.f;
            each([&](int l) { r[l] = k - r[l]; });
            break;
        }
        case kDBinary:
            --h;
            if (!binary(in, h)) return;
            break;
        case kDSquare: {
            float* r = row(h - 1);
            each([&](int l) { r[l] = squareOf(r[l], eps); });
            break;
        }
        case kDSetOp: {
            --h;
            const float alpha = run_.alpha;
            if (!(alpha >= 0.0f && alpha <= 1.0f)) {
                each([&](int l) { fail(l, kMsgAlphaRange, in.at); });
                return;
            }
            const float* t = row(h);
            float* r = row(h - 1);
            sameRow_[h - 1] &= sameRow_[h];
            const int word = in.a;
            // With every operand finite, ALPHA = 0 takes the short formula in every lane. The
            // test looks at exponent bits, so that it runs on vector registers.
            std::uint32_t infinite = 0;
            each([&](int l) {
                constexpr std::uint32_t kExponent = 0x7f800000u;
                infinite |= ((std::bit_cast<std::uint32_t>(t[l]) & kExponent) == kExponent) |
                            ((std::bit_cast<std::uint32_t>(r[l]) & kExponent) == kExponent);
            });
            if (alpha != 0.0f || infinite != 0) {
                each([&](int l) { r[l] = rules::setOperation(word, t[l], r[l], alpha); });
                break;
            }
            if (dense_) {
                shortSetOperations(word, t, r, n_);
                break;
            }
            auto root = [](double L, double R) { return std::sqrt(std::fabs(L * L + R * R)); };
            if (word == kWordUnion) {
                each([&](int l) {
                    const double L = t[l], R = r[l];
                    r[l] = static_cast<float>(L + R + root(L, R));
                });
            } else if (word == kWordDifference) {
                each([&](int l) {
                    const double L = t[l], R = r[l];
                    r[l] = static_cast<float>(L - R - root(L, R));
                });
            } else {
                each([&](int l) {
                    const double L = t[l], R = r[l];
                    r[l] = static_cast<float>(L + R - root(L, R));
                });
            }
            break;
        }
        case kDPowConst: {
            float* r = row(h - 1);
            const bool whole = in.g < eps && in.a >= 0;
            auto power = [&](int l) {
                if (whole && std::fabs(r[l]) >= eps) {
                    r[l] = rules::wholePower(r[l], in.f, in.a);
                    return;
                }
                int failure = rules::power(r[l], in.f, in.a, eps, r[l]);
                if (failure != kNoFailure) fail(l, failure, in.at), failed |= bit(l);
            };
            if (sameRow_[h - 1]) { // once, then the value or the error for every point
                float v = r[firstLane()];
                int failure = kNoFailure;
                if (whole && std::fabs(v) >= eps) v = rules::wholePower(v, in.f, in.a);
                else failure = rules::power(v, in.f, in.a, eps, v);
                if (failure != kNoFailure) {
                    each([&](int l) { fail(l, failure, in.at); });
                    return;
                }
                fill(r, v);
                break;
            }
            each(power);
            if (!drop(failed)) return;
            break;
        }
        case kDUnary: {
            float* r = row(h - 1);
            const int word = in.a;
            each([&](int l) { r[l] = rules::unary(word, r[l], eps); });
            break;
        }
        case kDStore: {
            const float* r = row(--h);
            float* s = slot(in.a);
            each([&](int l) { s[l] = r[l]; });
            if (in.check) {
                int* f = flag(in.a);
                each([&](int l) { f[l] = stamp; });
            }
            stored(in.a, sameRow_[h]);
            break;
        }
        case kDIndexCheck: {
            float* r = row(h - 1);
            if (sameRow_[h - 1]) {
                const double n = rules::nearest(r[firstLane()]);
                if (!(n >= 1.0 && n <= in.a)) {
                    each([&](int l) { fail(l, kMsgIndexOutOfRange, in.at); });
                    return;
                }
                fill(r, static_cast<float>(n));
                break;
            }
            each([&](int l) {
                double n = rules::nearest(r[l]);
                if (!(n >= 1.0 && n <= in.a)) fail(l, kMsgIndexOutOfRange, in.at), failed |= bit(l);
                else r[l] = static_cast<float>(n);
            });
            if (!drop(failed)) return;
            break;
        }
        case kDStoreElement: {
            h -= 2;
            const float* index = row(h);
            const float* value = row(h + 1);
            if (sameRow_[h]) { // one element for every point
                const int s = in.a + static_cast<int>(index[firstLane()]) - 1;
                float* to = slot(s);
                int* f = flag(s);
                each([&](int l) { to[l] = value[l], f[l] = stamp; });
                stored(s, sameRow_[h + 1]);
                break;
            }
            each([&](int l) {
                const int s = in.a + static_cast<int>(index[l]) - 1;
                const std::size_t at = static_cast<std::size_t>(s) * w_ + l;
                frame_[at] = value[l];
                flags_[at] = stamp_;
                same_[s] = 0;
            });
            break;
        }
        case kDArrayLiteral:
            for (int i = 0; i < in.b; ++i) {
                float* s = slot(in.a + i);
                int* f = flag(in.a + i);
                const float v = obj_.constants[static_cast<std::size_t>(in.c + i)];
                each([&](int l) { s[l] = v, f[l] = stamp; });
                stored(in.a + i, true);
            }
            break;
        case kDJump:
        case kDJumpIfFalse: {
            Mask taken = mask_;
            if (in.op == kDJumpIfFalse) {
                const float* c = row(--h);
                taken = 0;
                if (sameRow_[h]) {
                    if (std::fabs(c[firstLane()]) < eps) taken = mask_;
                } else {
                    each([&](int l) {
                        if (std::fabs(c[l]) < eps) taken |= bit(l);
                    });
                }
                if (taken != mask_) {
                    if (taken != 0) {
                        pend(taken, in.a, h);
                        setMask(mask_ & ~taken);
                    }
                    break; // the rest falls through
                }
            }
            if (in.op == kDJump && evaluationStop().stopRequested()) { // a loop step
                each([&](int l) { fail(l, kMsgBadCode, in.at); });
                return;
            }
            if (pending_ > 0 && lowestPending() < in.a) { // another group runs first
                pend(mask_, in.a, h);
                return;
            }
            ip = in.a;
            continue;
        }
        case kDResult: {
            const float* r = row(h - 1);
            each([&](int l) { out[l] = r[l]; });
            done_ |= mask_;
            return;
        }
        case kDFail:
            each([&](int l) { fail(l, in.a, in.at); });
            return;
        }
        ++ip;
    }
}

// An element of an array whose index is in row height - 1, which the element replaces.
bool Machine::element(const DecodedInstr& in, int height) {
    float* r = row(height - 1);
    Mask failed = 0;
    if (sameRow_[height - 1]) { // one slot for every point
        const double n = rules::nearest(r[firstLane()]);
        if (!(n >= 1.0 && n <= in.b)) {
            each([&](int l) { fail(l, kMsgIndexOutOfRange, in.at); });
            return false;
        }
        const int s = in.a + static_cast<int>(n) - 1;
        const bool same = sameSlot(s);
        if (in.check && !same) {
            const int* f = flag(s);
            each([&](int l) {
                if (f[l] != stamp_) fail(l, kMsgUnassignedIdentifier, in.at - 1), failed |= bit(l);
            });
            if (!drop(failed)) return false;
        }
        const float* from = slot(s);
        each([&](int l) { r[l] = from[l]; });
        sameRow_[height - 1] = same;
        return true;
    }
    const double size = in.b;
    const float* base = slot(in.a);
    const int* baseFlags = flag(in.a);
    const std::size_t width = static_cast<std::size_t>(w_);
    const bool check = in.check;
    each([&](int l) {
        double n = rules::nearest(r[l]);
        if (!(n >= 1.0 && n <= size)) {
            fail(l, kMsgIndexOutOfRange, in.at), failed |= bit(l);
            return;
        }
        std::size_t at = (static_cast<std::size_t>(n) - 1) * width + static_cast<std::size_t>(l);
        if (check && baseFlags[at] != stamp_) {
            fail(l, kMsgUnassignedIdentifier, in.at - 1), failed |= bit(l);
            return;
        }
        r[l] = base[at];
    });
    return drop(failed);
}

// One loop per operator word, so that the rule's switch is decided outside the loop. The left
// operand is in row height, the right one (and the result) in row height - 1.
template <int Word> bool Machine::binaryWord(const DecodedInstr& in, int height) {
    const float* t = row(height);
    float* r = row(height - 1);
    const float eps = run_.eps;
    if (sameRow_[height] && sameRow_[height - 1]) { // once for every point
        const int first = firstLane();
        float value = 0.0f;
        const int failure = rules::binary(Word, t[first], r[first], eps, value);
        if (failure != kNoFailure) {
            each([&](int l) { fail(l, failure, in.at); });
            return false;
        }
        fill(r, value);
        return true;
    }
    sameRow_[height - 1] = 0;
    Mask failed = 0;
    each([&](int l) {
        int failure = rules::binary(Word, t[l], r[l], eps, r[l]);
        if (failure != kNoFailure) fail(l, failure, in.at), failed |= bit(l);
    });
    return drop(failed);
}

template <std::size_t... I> constexpr auto binaryTable(std::index_sequence<I...>) {
    return std::array<bool (Machine::*)(const DecodedInstr&, int), sizeof...(I)>{
        &Machine::binaryWord<kWordAnd + static_cast<int>(I)>...};
}

bool Machine::binary(const DecodedInstr& in, int height) {
    static constexpr auto kTable = binaryTable(std::make_index_sequence<kWordPow - kWordAnd + 1>());
    if (in.a >= kWordAnd && in.a <= kWordPow) return (this->*kTable[in.a - kWordAnd])(in, height);
    each([&](int l) { fail(l, kMsgBadCode, in.at); });
    return false;
}

// One loop per mathematical row (one or two arguments), likewise.
template <int Row> bool Machine::mathRow(const DecodedInstr& in, int height) {
    const int argc = in.b;
    float* last = row(height - argc); // the last argument, and the result
    const float* first = row(height - 1);
    const float eps = run_.eps;
    if constexpr (Row == rowOf(Builtin::Sqrt)) { // when no point fails, one plain loop
        bool negative = false;
        each([&](int l) { negative |= last[l] < 0.0f; });
        if (!negative) {
            each([&](int l) { last[l] = static_cast<float>(std::sqrt(static_cast<double>(last[l]))); });
            return true;
        }
    }
    Mask failed = 0;
    each([&](int l) {
        const float args[2] = {last[l], first[l]};
        float value = 0.0f;
        int failure = rules::math(Row, args, eps, value);
        if (failure != kNoFailure) fail(l, failure, in.at), failed |= bit(l);
        else last[l] = value;
    });
    return drop(failed);
}

template <std::size_t... I> constexpr auto mathTable(std::index_sequence<I...>) {
    return std::array<bool (Machine::*)(const DecodedInstr&, int), sizeof...(I)>{
        &Machine::mathRow<static_cast<int>(I)>...};
}

// The arguments lie in rows height - argc .. height - 1, the last argument lowest.
bool Machine::builtin(const DecodedInstr& in, int height) {
    static constexpr auto kTable = mathTable(std::make_index_sequence<kMathBuiltinCount>());
    const int argc = in.b;
    bool same = in.a < kMathBuiltinCount && argc >= 1 && argc <= kMaxArguments;
    for (int k = 1; k <= argc && same; ++k) same = sameRow_[height - k];
    sameRow_[height - argc] = 0;
    if (in.a >= kMathBuiltinCount) return primitive(in, height);
    if (same) { // once for every point
        const int first = firstLane();
        float args[kMaxArguments] = {};
        for (int k = 0; k < argc; ++k) args[k] = row(height - argc + k)[first];
        float value = 0.0f;
        const int failure = rules::math(in.a, args, run_.eps, value);
        if (failure != kNoFailure) {
            each([&](int l) { fail(l, failure, in.at); });
            return false;
        }
        fill(row(height - argc), value);
        sameRow_[height - argc] = 1;
        return true;
    }
    if (in.b >= 1 && in.b <= 2 && kBuiltins[in.a].argumentCount == in.b)
        return (this->*kTable[static_cast<std::size_t>(in.a)])(in, height);
    Mask failed = 0;
    const float eps = run_.eps;
    float* out = row(height - argc);
    each([&](int l) {
        float args[kMaxArguments];
        for (int k = 0; k < argc; ++k) args[k] = row(height - argc + k)[l];
        float value = 0.0f;
        int failure = rules::math(in.a, args, eps, value);
        if (failure != kNoFailure) fail(l, failure, in.at), failed |= bit(l);
        else out[l] = value;
    });
    return drop(failed);
}

// A primitive sees one point's frame: the arrays among its arguments are copied into the
// scratch frame at their own offsets, and copied back after (transforms change them).
bool Machine::primitive(const DecodedInstr& in, int height) {
    const int argc = in.b;
    const prim::PrimitiveOps& ops = prim::primitiveOps(in.a);
    if (ops.evaluateBatch != nullptr && primitiveBatch(in, height, ops.evaluateBatch)) return true;
    Mask failed = 0;
    float* scratch = run_.scratch();
    float* first = row(height - argc);
    const float* argRows[kMaxArguments];
    for (int k = 0; k < argc; ++k) argRows[k] = row(height - argc + k);
    EvalState state{&obj_, scratch, nullptr};
    // What each argument resolved to as an array, kept while the next point passes the same
    // value (array arguments are code positions, the same for every point).
    struct Resolved {
        float handle;
        bool known = false;
        int offset = 0, count = 0; // count 0: not an array
    } resolved[kMaxArguments];
    each([&](int l) {
        float args[kMaxArguments];
        CallContext context{state, run_.errors[l], in.at};
        for (int k = 0; k < argc; ++k) {
            args[k] = argRows[k][l];
            Resolved& r = resolved[k];
            if (!r.known || std::memcmp(&r.handle, &args[k], sizeof(float)) != 0) {
                float* elements = nullptr;
                int n = 0;
                r = {args[k], true, 0, 0};
                if (context.resolveArray(args[k], &elements, &n))
                    r.offset = static_cast<int>(elements - scratch), r.count = n;
            }
            for (int i = 0; i < r.count; ++i) scratch[r.offset + i] = slot(r.offset + i)[l];
        }
        if (ops.check != nullptr && !ops.check(args, context)) {
            failed |= bit(l);
            return;
        }
        if (ops.evaluate == nullptr) {
            fail(l, kMsgNotImplemented, in.at), failed |= bit(l);
            return;
        }
        const float value = ops.evaluate(args, context);
        if (context.failed) {
            failed |= bit(l);
            return;
        }
        for (int k = 0; k < argc; ++k)
            for (int i = 0; i < resolved[k].count; ++i) {
                slot(resolved[k].offset + i)[l] = scratch[resolved[k].offset + i];
                same_[resolved[k].offset + i] = 0; // a transform may have changed it
            }
        first[l] = value;
    });
    return drop(failed);
}

// The batched form of a primitive whose arguments are x, an array of at least 3 and reals,
// when both array arguments are the same in every running point and resolve as it needs
// (they read the frame directly; such primitives never change their arrays). False, having
// done nothing, otherwise.
bool Machine::primitiveBatch(const DecodedInstr& in, int height, prim::EvaluateBatchFn batch) {
    const int argc = in.b;
    const int reals = argc - 2;
    if (kBuiltins[in.a].argumentCount != argc || reals < 0 || reals > 3) return false;
    if (!sameRow_[height - 1] || !sameRow_[height - 2]) return false; // x, then the array
    const int first = firstLane();
    float* scratch = run_.scratch();
    EvalState state{&obj_, scratch, nullptr};
    CallContext context{state, run_.errors[first], in.at};
    float* x = nullptr;
    float* second = nullptr;
    int xCount = 0, secondCount = 0;
    if (!context.resolveArray(row(height - 1)[first], &x, &xCount) || xCount != 3) return false;
    if (!context.resolveArray(row(height - 2)[first], &second, &secondCount) || secondCount < 3)
        return false;
    prim::PointBatch b{};
    for (int i = 0; i < 3; ++i) {
        b.x[i] = slot(static_cast<int>(x - scratch) + i);
        b.second[i] = slot(static_cast<int>(second - scratch) + i);
    }
    for (int k = 0; k < reals; ++k) b.reals[k] = row(height - 3 - k);
    b.lanes = dense_ ? nullptr : lanes_;
    b.count = n_;
    b.out = row(height - argc);
    batch(b);
    return true;
}

// Copies the x and a arguments into the callee's frame (right after this frame) and runs it;
// its value lands in row height.
bool Machine::call(const DecodedInstr& in, int height) {
    if (evaluationStop().stopRequested()) {
        each([&](int l) { fail(l, kMsgBadCode, in.at); });
        return false;
    }
    const CompiledObject& callee = *obj_.callees[static_cast<std::size_t>(in.a)];
    const std::size_t calleeSlot = frameSlot_ + static_cast<std::size_t>(obj_.slotCount);
    float* frame = run_.values() + calleeSlot * static_cast<std::size_t>(w_);
    int* flags = run_.flags() + calleeSlot * static_cast<std::size_t>(w_);
    const int calleeStamp = run_.nextStamp();
    struct Argument {
        int offset, size, firstSlot, word;
    };
    const Argument arguments[2] = {{in.b, callee.xSize, 0, in.at - 2},
                                   {in.c, callee.aSize, callee.xSize, in.at - 3}};
    Mask failed = 0;
    if (in.check) {
        each([&](int l) {
            for (const Argument& a : arguments)
                for (int i = 0; i < a.size; ++i)
                    if (!sameSlot(a.offset + i) && flag(a.offset + i)[l] != stamp_) {
                        fail(l, kMsgArrayItemsUnassigned, a.word), failed |= bit(l);
                        return;
                    }
        });
        if (!drop(failed)) return false;
    }
    int* calleeSame = run_.same() + calleeSlot;
    for (const Argument& a : arguments) {
        for (int i = 0; i < a.size; ++i) {
            const float* from = slot(a.offset + i);
            float* to = frame + static_cast<std::size_t>(a.firstSlot + i) * w_;
            int* toFlags = flags + static_cast<std::size_t>(a.firstSlot + i) * w_;
            each([&](int l) { to[l] = from[l], toFlags[l] = calleeStamp; });
            // The callee runs for the running points only, so a value the same in every live
            // point here is the same in all of its points.
            calleeSame[a.firstSlot + i] = sameSlot(a.offset + i) ? calleeStamp : 0;
        }
    }
    Machine machine(run_, callee, *callee.decoded, calleeSlot, calleeStamp, count_);
    Mask ran = machine.run(mask_, row(height), row(height + 1));
    return drop(mask_ & ~ran);
}

} // namespace

int executeBatch(BatchWorkspace& workspace, int count, float* results, std::uint8_t* ok,
                 RuntimeError* errors) {
    return executeBatch(workspace, *workspace.program_, count, results, ok, errors);
}

int executeBatch(BatchWorkspace& workspace, const DecodedProgram& code, int count,
                 float* results, std::uint8_t* ok, RuntimeError* errors) {
    if (count < 1 || count > workspace.points()) return 0;
    const CompiledObject& object = *workspace.object_;
    if (evaluationStop().stopRequested()) { // a stopped run fails every further point at once
        for (int p = 0; p < count; ++p) {
            ok[p] = 0;
            reportRuntimeError(object, kMsgBadCode, errors[p], 0);
        }
        return count;
    }
    const DecodedProgram* program =
        code.stackNeed <= workspace.program_->stackNeed ? &code : workspace.program_.get();
    const int w = workspace.points();
    BatchAccess run{workspace, *program, w, results, errors, eps(), alpha()};
    const int stamp = run.nextStamp();
    for (int s = 0; s < object.xSize + object.aSize; ++s)
        std::fill_n(run.flags() + static_cast<std::size_t>(s) * w, w, stamp);
    Machine machine(run, object, *program, 0, stamp, count);
    const Mask all = count >= 64 ? ~Mask{0} : bit(count) - 1;
    const Mask ran = machine.run(all, results, workspace.stack_.get());
    int failures = 0;
    for (int p = 0; p < count; ++p) {
        ok[p] = (ran >> p) & 1u;
        failures += ok[p] == 0;
    }
    return failures;
}

} // namespace lv::eval
