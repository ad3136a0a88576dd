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

} // namespace

bool shortenProgram(const DecodedProgram& program, const std::vector<std::int8_t>& decisions,
                    DecodedProgram& out) {
    const std::vector<DecodedInstr>& code = program.code;
    const long n = static_cast<long>(code.size());
    if (decisions.size() != code.size()) return false;
    std::vector<std::uint8_t> keep(code.size(), 1);
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
    if (!any) return false;
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
        if ((in.op == kDJump || in.op == kDJumpIfFalse) && in.a >= 0 && in.a <= n)
            in.a = index[static_cast<std::size_t>(in.a)];
        out.code.push_back(in);
    }
    out.stackNeed = program.stackNeed;
    out.flagRanges = program.flagRanges;
    return true;
}

} // namespace lv::lang
