#include "lang/definite_assignment.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace lv::lang {

namespace {

// Arrays longer than this are never tracked slot by slot: their checks stay.
constexpr int kMaxTrackedRange = 64;
// Bits of block states the analysis may use (blocks times tracked slots).
constexpr std::size_t kMaxStateBits = std::size_t{1} << 25;

struct Range {
    int first, end;
};

// The slot ranges whose flags instruction in reads (none for most instructions).
int checkedRanges(const CompiledObject& object, const DecodedInstr& in, Range out[2]) {
    switch (in.op) {
    case kDLocal:
    case kDSlot:
    case kDSlotSquare: out[0] = {in.a, in.a + 1}; return 1;
    case kDElement:
    case kDArray: out[0] = {in.a, in.a + in.b}; return 1;
    case kDCall: {
        const CompiledObject& callee = *object.callees[static_cast<std::size_t>(in.a)];
        out[0] = {in.b, in.b + callee.xSize};
        out[1] = {in.c, in.c + callee.aSize};
        return 2;
    }
    default: return 0;
    }
}

// The slot range instruction in assigns on every run of it (none when it depends on values).
bool assignedRange(const DecodedInstr& in, Range& out) {
    if (in.op == kDStore) return out = {in.a, in.a + 1}, true;
    if (in.op == kDArrayLiteral) return out = {in.a, in.a + in.b}, true;
    return false;
}

class Analysis {
public:
    Analysis(const CompiledObject& object, DecodedProgram& program)
        : object_(object), code_(program.code), size_(static_cast<int>(program.code.size())) {}

    void run() {
        markTargets();
        if (trackSlots() && blocks()) solve();
    }

private:
    using Bits = std::vector<std::uint64_t>;

    void markTargets() {
        for (DecodedInstr& in : code_)
            if ((in.op == kDJump || in.op == kDJumpIfFalse) && in.a >= 0 && in.a < size_)
                code_[static_cast<std::size_t>(in.a)].target = 1;
    }

    // Gives every slot a check may read (in short enough ranges) a bit number.
    bool trackSlots() {
        Range r[2];
        for (const DecodedInstr& in : code_) {
            int n = checkedRanges(object_, in, r);
            for (int k = 0; k < n; ++k) {
                if (r[k].end - r[k].first > kMaxTrackedRange) continue;
                for (int s = r[k].first; s < r[k].end; ++s) bitOf_.emplace(s, bitOf_.size());
            }
        }
        words_ = (bitOf_.size() + 63) / 64;
        return !bitOf_.empty();
    }

    bool blocks() {
        std::vector<char> leader(static_cast<std::size_t>(size_) + 1, 0);
        leader[0] = 1;
        for (int i = 0; i < size_; ++i) {
            const DecodedInstr& in = code_[static_cast<std::size_t>(i)];
            if (in.target) leader[static_cast<std::size_t>(i)] = 1;
            if (in.op == kDJump || in.op == kDJumpIfFalse || in.op == kDResult ||
                in.op == kDFail)
                leader[static_cast<std::size_t>(i) + 1] = 1;
        }
        blockOf_.assign(static_cast<std::size_t>(size_), 0);
        for (int i = 0; i < size_; ++i) {
            if (leader[static_cast<std::size_t>(i)]) starts_.push_back(i);
            blockOf_[static_cast<std::size_t>(i)] = static_cast<int>(starts_.size()) - 1;
        }
        starts_.push_back(size_);
        return (starts_.size() - 1) * words_ * 64 <= kMaxStateBits;
    }

    bool test(const Bits& b, int slot) const {
        auto it = bitOf_.find(slot);
        if (it == bitOf_.end()) return false;
        return (b[it->second / 64] >> (it->second % 64)) & 1u;
    }
    void set(Bits& b, Range r) const {
        for (int s = r.first; s < r.end; ++s) {
            auto it = bitOf_.find(s);
            if (it != bitOf_.end()) b[it->second / 64] |= std::uint64_t{1} << (it->second % 64);
        }
    }
    bool allSet(const Bits& b, Range r) const {
        if (r.end - r.first > kMaxTrackedRange) return false;
        for (int s = r.first; s < r.end; ++s)
            if (!test(b, s)) return false;
        return true;
    }

    // Runs block k forward from state; with decide, also clears the checks it proves needless.
    void walk(int k, Bits& state, bool decide) {
        Range r[2];
        for (int i = starts_[static_cast<std::size_t>(k)]; i < starts_[static_cast<std::size_t>(k) + 1];
             ++i) {
            DecodedInstr& in = code_[static_cast<std::size_t>(i)];
            if (decide) {
                int n = checkedRanges(object_, in, r);
                bool proven = n > 0;
                for (int j = 0; j < n; ++j) proven = proven && allSet(state, r[j]);
                if (proven) in.check = 0;
            }
            Range assigned;
            if (assignedRange(in, assigned)) set(state, assigned);
        }
    }

    // Forward data flow to a fixed point: a slot is assigned at a block's start when it is
    // assigned at the end of every block that leads there.
    void solve() {
        const std::size_t blockCount = starts_.size() - 1;
        std::vector<Bits> in(blockCount, Bits(words_, ~std::uint64_t{0}));
        std::vector<char> reached(blockCount, 0);
        in[0].assign(words_, 0);
        set(in[0], {0, object_.xSize + object_.aSize});
        reached[0] = 1;
        std::vector<int> work{0};
        std::vector<char> queued(blockCount, 0);
        queued[0] = 1;
        while (!work.empty()) {
            int k = work.back();
            work.pop_back();
            queued[static_cast<std::size_t>(k)] = 0;
            Bits out = in[static_cast<std::size_t>(k)];
            walk(k, out, false);
            int last = starts_[static_cast<std::size_t>(k) + 1] - 1;
            const DecodedInstr& end = code_[static_cast<std::size_t>(last)];
            int successors[2], n = 0;
            if (end.op == kDJump || end.op == kDJumpIfFalse) successors[n++] = end.a;
            if (end.op != kDJump && end.op != kDResult && end.op != kDFail && last + 1 < size_)
                successors[n++] = last + 1;
            for (int j = 0; j < n; ++j) {
                if (successors[j] < 0 || successors[j] >= size_) continue;
                int s = blockOf_[static_cast<std::size_t>(successors[j])];
                Bits& target = in[static_cast<std::size_t>(s)];
                bool changed = !reached[static_cast<std::size_t>(s)];
                reached[static_cast<std::size_t>(s)] = 1;
                for (std::size_t w = 0; w < words_; ++w) {
                    std::uint64_t meet = target[w] & out[w];
                    changed = changed || meet != target[w];
                    target[w] = meet;
                }
                if (changed && !queued[static_cast<std::size_t>(s)]) {
                    queued[static_cast<std::size_t>(s)] = 1;
                    work.push_back(s);
                }
            }
        }
        for (std::size_t k = 0; k < blockCount; ++k)
            if (reached[k]) walk(static_cast<int>(k), in[k], true);
    }

    const CompiledObject& object_;
    std::vector<DecodedInstr>& code_;
    int size_;
    std::unordered_map<int, std::size_t> bitOf_;
    std::size_t words_ = 0;
    std::vector<int> starts_;  // first instruction of each block, then size_
    std::vector<int> blockOf_; // block of each instruction
};

// The flag ranges the remaining checks read, merged; stores into none of them need no flag.
void collectFlagRanges(const CompiledObject& object, DecodedProgram& program) {
    std::vector<std::pair<int, int>> ranges;
    Range r[2];
    for (const DecodedInstr& in : program.code) {
        if (!in.check) continue;
        int n = checkedRanges(object, in, r);
        for (int k = 0; k < n; ++k)
            if (r[k].end > r[k].first) ranges.emplace_back(r[k].first, r[k].end);
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<std::pair<int, int>> merged;
    for (const auto& range : ranges) {
        if (!merged.empty() && range.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, range.second);
        else
            merged.push_back(range);
    }
    auto overlaps = [&merged](int first, int end) {
        auto it = std::upper_bound(merged.begin(), merged.end(), std::make_pair(first, INT32_MAX));
        if (it != merged.begin() && std::prev(it)->second > first) return true;
        return it != merged.end() && it->first < end;
    };
    for (DecodedInstr& in : program.code) {
        if (in.op == kDStore) in.check = overlaps(in.a, in.a + 1) ? 1 : 0;
        if (in.op == kDArrayLiteral) in.check = overlaps(in.a, in.a + in.b) ? 1 : 0;
    }
    program.flagRanges = std::move(merged);
}

} // namespace

void decideChecks(const CompiledObject& object, DecodedProgram& program) {
    Analysis(object, program).run();
    collectFlagRanges(object, program);
}

} // namespace lv::lang
