// Calls every primitive with arbitrary argument vectors: array arguments of random sizes
// and contents (x among them), reals of any value. The bar: no crash, no sanitizer report.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lang/builtins.h"
#include "lang/runtime.h"
#include "primitives/catalogue.h"

namespace {

// Reads bytes from the input as it goes; zeros once it runs out.
struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t byte() { return size > 0 ? (--size, *data++) : 0; }
    float real() {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = bits << 8 | byte();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        // Mostly small, sometimes anything (NaN and infinities included).
        return (bits & 3u) != 0 ? static_cast<float>(static_cast<std::int32_t>(bits) % 2000) / 100.0f
                                : v;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lv::lang;
    Input in{data, size};
    int row = kMathBuiltinCount + in.byte() % (kBuiltinCount - kMathBuiltinCount);
    const BuiltinRow& b = kBuiltins[row];
    CompiledObject object;
    std::vector<float> frame;
    float args[kMaxArguments] = {};
    // Lay every array argument out in the frame and give it its [size, offset, 10] words.
    for (int i = 0; i < b.argumentCount; ++i) {
        float& slot = args[b.argumentCount - 1 - i];
        if (b.argumentKinds[i] != kArgArray) {
            slot = in.real();
            continue;
        }
        int count = 1 + in.byte() % 40;
        int offset = static_cast<int>(frame.size());
        for (int k = 0; k < count; ++k) frame.push_back(in.real());
        object.code.insert(object.code.end(), {count, offset, kWordArray});
        slot = static_cast<float>(object.code.size() - 1);
    }
    if (in.byte() % 8 == 0) args[in.byte() % b.argumentCount] = in.real(); // a stray handle
    object.slotCount = static_cast<int>(frame.size());
    object.positions.assign(object.code.size() * 2, 1);
    frame.push_back(0.0f);
    std::vector<int> flags(frame.size(), 0);
    EvalState state{&object, frame.data(), flags.data()};
    RuntimeError error;
    CallContext call{state, error, 0};
    const lv::prim::PrimitiveOps& ops = lv::prim::primitiveOps(row);
    if (ops.check != nullptr && !ops.check(args, call)) return 0;
    if (ops.evaluate != nullptr) ops.evaluate(args, call);
    return 0;
}
