#pragma once
// What every primitive shares: OUTSIDE_VALUE, argument access and the five checks.
#include <bit>
#include <cstdint>

#include "lang/runtime.h"

namespace lv::prim {

// The value of a point far outside every solid: returned for unusable arguments.
inline constexpr float OUTSIDE_VALUE = -1111111106560.0f;
static_assert(std::bit_cast<std::uint32_t>(OUTSIDE_VALUE) == 0xD38159B1u);

// One array argument, resolved. data is null (and count 0) when the handle did not resolve.
struct ArrayArg {
    float* data = nullptr;
    int count = 0;
    float operator[](int i) const { return data[i]; }
};

// Argument i of n in call order (0 = first written) from the reversed argument vector.
inline float argAt(const float* args, int n, int i) { return args[n - 1 - i]; }

// Resolves argument i of n as an array.
ArrayArg arrayAt(const float* args, int n, int i, lang::CallContext& call);

// The five check groups.
bool check_accept(const float* args, lang::CallContext& call);
bool check_scales(const float* args, lang::CallContext& call);
bool check_taper_scales(const float* args, lang::CallContext& call);
bool check_blend(const float* args, lang::CallContext& call);
// lvsoft's d and lvblobby's b are both the second-to-last argument (args[1]).
bool check_parameter_array(const float* args, lang::CallContext& call);

} // namespace lv::prim
