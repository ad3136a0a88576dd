#include "primitives/conventions.h"

#include <cmath>

#include "lang/builtins.h"
#include "lang/settings.h"

namespace lv::prim {

ArrayArg arrayAt(const float* args, int n, int i, lang::CallContext& call) {
    ArrayArg a;
    if (!call.resolveArray(argAt(args, n, i), &a.data, &a.count)) {
        a.data = nullptr;
        a.count = 0;
    }
    return a;
}

bool check_accept(const float*, lang::CallContext&) { return true; }

// lvscale3d and lvstretch3d end with sx, sy, sz.
bool check_scales(const float* args, lang::CallContext& call) {
    const float e = lang::eps();
    if (std::fabs(args[0]) >= e && std::fabs(args[1]) >= e && std::fabs(args[2]) >= e)
        return true;
    call.fail(lang::kMsgStretchZeroScale);
    return false;
}

// The tapers end with s1, s2.
bool check_taper_scales(const float* args, lang::CallContext& call) {
    if (args[1] > 0.0f && args[0] > 0.0f) return true;
    call.fail(lang::kMsgInvalidBlend);
    return false;
}

// The blends end with a0, a1, a2.
bool check_blend(const float* args, lang::CallContext& call) {
    const float e = lang::eps();
    if (std::fabs(args[1]) >= e && std::fabs(args[0]) >= e) return true;
    call.fail(lang::kMsgInvalidBlend);
    return false;
}

bool check_parameter_array(const float* args, lang::CallContext& call) {
    float* data = nullptr;
    int count = 0;
    if (call.resolveArray(args[1], &data, &count) && count >= 1) return true;
    call.fail(lang::kMsgBadCode);
    return false;
}

} // namespace lv::prim
