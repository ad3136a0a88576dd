#include "lang/program_shortening.h"

#include <cstddef>

#include "lang/interval.h"

namespace lv::lang {
namespace {

// Values an expression instruction pops, or -1 for one that is not plain expression code.
int pops(const DecodedInstr& in) {
    switch (in.op) {
    case kDConst:
    case kDLocal:
    case kDSlot:
    case kDArray:
    case kDString:
    case kDCall:
    case kDSlotSquare: return 0;
    case kDElement:
    case kDAddK:
    case kDMulK:
    case kDSubK:
    case kDRSubK:
    case kDSquare:
    case kDPowConst:
    case kDUnary:
    case kDIndexCheck: return 1;
    case kDAdd:
    case kDSub:
    case kDMul:
    case kDBinary:
    case kDSetOp:
    case kDMax:
    case kDMin: return 2;
    case kDBuiltin: return in.b >= 0 ? in.b : -1;
    default: return -1;
    }
}

// The first instruction of the plain expression code that ends at end - 1 and leaves one
// value, or -1 where there is none.
long operandStart(const std::vector<DecodedInstr>& code, long end) {
    long need = 1;
    for (long k = end - 1; k >= 0; --k) {
        const DecodedInstr& in = code[static_cast<std::size_t>(k)];
        const int p = pops(in);
        if (p < 0) return -1;
        need += p - 1; // every expression instruction pushes one value
        if (need == 0) return k;
    }
    return -1;
}

bool noTarget(const std::vector<DecodedInstr>& code, long first, long end) {
    for (long k = first; k < end; ++k)
        if (code[static_cast<std::size_t>(k)].target) return false;
    return true;
}

// Calls are kept: the interpreter's limits on call depth are not the bound's.
bool noCall(const std::vector<DecodedInstr>& code, long first, long end) {
    for (long k = first; k < end; ++k)
        if (code[static_cast<std::size_t>(k)].op == kDCall) return false;
    return true;
}

bool isJump(const DecodedInstr& in) { return in.op == kDJump || in.op == kDJumpIfFalse; }

// Leaves out the code of the operand that loses each decided min and max, with the
// instruction itself. Returns whether anything was left out.
bool dropDecidedOperands(const std::vector<DecodedInstr>& code,
                         const std::vector<std::int8_t>& decisions,
                         std::vector<std::uint8_t>& keep) {
    const long n = static_cast<long>(code.size());
    bool any = false;
    for (long i = 0; i < n; ++i) {
        const DecodedInstr& in = code[static_cast<std::size_t>(i)];
        const std::int8_t d = decisions[static_cast<std::size_t>(i)];
        if ((in.op != kDMax && in.op != kDMin) || (d != kFirstWins && d != kSecondWins) ||
            !keep[static_cast<std::size_t>(i)] || in.target)
            continue;
        // The first argument is evaluated last: [second][first] max.
        const long firstStart = operandStart(code, i);
        if (firstStart < 0) continue;
        const long secondStart = operandStart(code, firstStart);
        if (secondStart < 0) continue;
        const long dropFrom = d == kFirstWins ? secondStart : firstStart;
        const long dropEnd = d == kFirstWins ? firstStart : i;
        if (!noTarget(code, secondStart, i + 1) || !noCall(code, dropFrom, dropEnd)) continue;
        for (long k = dropFrom; k < dropEnd; ++k) keep[static_cast<std::size_t>(k)] = 0;
        keep[static_cast<std::size_t>(i)] = 0;
        any = true;
    }
    return any;
}

// Decided conditional jumps: the code of the condition is left out with the jump, which
// becomes an unconditional one where it always jumps (jumps[i] = 1) and disappears where it
// never does; code that no path reaches any more is left out after it. A condition is left
// out only where it is plain expression code without calls, with no jump landing inside it
// (one landing on its first instruction then goes where the condition would have led).
// Returns whether anything was decided.
bool dropDecidedBranches(const std::vector<DecodedInstr>& code,
                         const std::vector<std::int8_t>& decisions,
                         std::vector<std::uint8_t>& keep, std::vector<std::uint8_t>& jumps) {
    const long n = static_cast<long>(code.size());
    bool any = false;
    for (long i = 0; i < n; ++i) {
        const DecodedInstr& in = code[static_cast<std::size_t>(i)];
        const std::int8_t d = decisions[static_cast<std::size_t>(i)];
        if (in.op != kDJumpIfFalse || (d != kJumps && d != kFallsThrough) || in.target ||
            !keep[static_cast<std::size_t>(i)] || in.a < 0 || in.a > n)
            continue;
        const long start = operandStart(code, i);
        if (start < 0 || !noTarget(code, start + 1, i) || !noCall(code, start, i)) continue;
        for (long k = start; k < i; ++k) keep[static_cast<std::size_t>(k)] = 0;
        if (d == kJumps) jumps[static_cast<std::size_t>(i)] = 1;
        else keep[static_cast<std::size_t>(i)] = 0;
        any = true;
    }
    if (!any) return false;
    // What a path from the first instruction reaches, decided jumps taken as they go.
    std::vector<std::uint8_t> reached(code.size() + 1, 0);
    std::vector<long> pending{0};
    while (!pending.empty()) {
        long k = pending.back();
        pending.pop_back();
        for (; k < n && !reached[static_cast<std::size_t>(k)]; ++k) {
            reached[static_cast<std::size_t>(k)] = 1;
            const DecodedInstr& in = code[static_cast<std::size_t>(k)];
            if (in.op == kDResult || in.op == kDFail) break;
            const bool always = in.op == kDJump || jumps[static_cast<std::size_t>(k)];
            const bool never =
                in.op == kDJumpIfFalse && !always && !keep[static_cast<std::size_t>(k)];
            if (isJump(in) && !never) {
                if (in.a >= 0 && in.a < n) pending.push_back(in.a);
                if (always) break;
            }
        }
    }
    for (long k = 0; k < n; ++k)
        if (!reached[static_cast<std::size_t>(k)]) keep[static_cast<std::size_t>(k)] = 0;
    return true;
}

// Leaves out what the left-out code made idle: a load of an assigned local stored straight
// back to it, and a jump to the instruction that follows it.
void dropIdleCode(const std::vector<DecodedInstr>& code, std::vector<std::uint8_t>& keep,
                  const std::vector<std::uint8_t>& jumps) {
    const long n = static_cast<long>(code.size());
    // Where jumps land now: on the first instruction kept at or after their target.
    std::vector<std::uint8_t> landing(code.size() + 1, 0);
    for (long k = 0; k < n; ++k) {
        const DecodedInstr& in = code[static_cast<std::size_t>(k)];
        if (!keep[static_cast<std::size_t>(k)] || !isJump(in) || in.a < 0 || in.a > n) continue;
        long to = in.a;
        while (to < n && !keep[static_cast<std::size_t>(to)]) ++to;
        landing[static_cast<std::size_t>(to)] = 1;
    }
    long previous = -1; // the kept instruction before k
    for (long k = 0; k < n; ++k) {
        if (!keep[static_cast<std::size_t>(k)]) continue;
        const DecodedInstr& in = code[static_cast<std::size_t>(k)];
        if (previous >= 0 && in.op == kDStore && !landing[static_cast<std::size_t>(k)]) {
            const DecodedInstr& load = code[static_cast<std::size_t>(previous)];
            if (load.op == kDLocal && load.a == in.a && load.check == 0 &&
                !landing[static_cast<std::size_t>(previous)]) {
                keep[static_cast<std::size_t>(previous)] = keep[static_cast<std::size_t>(k)] = 0;
                previous = -1;
                continue;
            }
        }
        previous = k;
    }
    for (long k = n - 1; k >= 0; --k) { // from the end: a jump to a jump left out goes too
        const DecodedInstr& in = code[static_cast<std::size_t>(k)];
        if (!keep[static_cast<std::size_t>(k)] || in.a <= k || in.a > n ||
            !(in.op == kDJump || (in.op == kDJumpIfFalse && jumps[static_cast<std::size_t>(k)])))
            continue;
        long next = k + 1;
        while (next < in.a && !keep[static_cast<std::size_t>(next)]) ++next;
        if (next == in.a) keep[static_cast<std::size_t>(k)] = 0;
    }
}

} // namespace

bool shortenProgram(const DecodedProgram& program, const std::vector<std::int8_t>& decisions,
                    DecodedProgram& out) {
    const std::vector<DecodedInstr>& code = program.code;
    const long n = static_cast<long>(code.size());
    if (decisions.size() != code.size()) return false;
    std::vector<std::uint8_t> keep(code.size(), 1), jumps(code.size(), 0);
    const bool operands = dropDecidedOperands(code, decisions, keep);
    const bool branches = dropDecidedBranches(code, decisions, keep, jumps);
    if (!operands && !branches) return false;
    dropIdleCode(code, keep, jumps);
    std::vector<int> index(code.size() + 1, 0);
    int kept = 0;
    for (long k = 0; k < n; ++k) {
        index[static_cast<std::size_t>(k)] = kept;
        kept += keep[static_cast<std::size_t>(k)];
    }
    index[code.size()] = kept;
    out.code.clear();
    out.code.reserve(static_cast<std::size_t>(kept));
    for (long k = 0; k < n; ++k) {
        if (!keep[static_cast<std::size_t>(k)]) continue;
        DecodedInstr in = code[static_cast<std::size_t>(k)];
        if (jumps[static_cast<std::size_t>(k)]) in.op = kDJump;
        if (isJump(in) && in.a >= 0 && in.a <= n) in.a = index[static_cast<std::size_t>(in.a)];
        in.target = 0;
        out.code.push_back(in);
    }
    for (const DecodedInstr& in : out.code) // where the jumps land now
        if (isJump(in) && in.a >= 0 && static_cast<std::size_t>(in.a) < out.code.size())
            out.code[static_cast<std::size_t>(in.a)].target = 1;
    out.stackNeed = program.stackNeed;
    out.flagRanges = program.flagRanges;
    return true;
}

} // namespace lv::lang
