// Blob families: soft shapes from a list of centres (xc[i], yc[i], zc[i]), each contributing a
// field that falls off with the distance r_i from the point p = (x[0], x[1], x[2]).
#include <cmath>

#include "lang/settings.h"
#include "primitives/conventions.h"
#include "primitives/families.h"

namespace lv::prim {

namespace {

using lang::CallContext;

// The point, the centres and the per-centre parameter arrays of one call, all checked to hold
// what the sum reads: x at least 3 elements, every parallel array the count of xc.
class Centres {
public:
    // xcArg is the call position of xc; yc, zc and the parameter arrays follow it.
    Centres(const float* args, int n, int xcArg, int parameterCount, CallContext& call) {
        const ArrayArg xc = arrayAt(args, n, xcArg, call);
        count_ = xc.count;
        arrays_[0] = xc;
        for (int j = 1; j < 3 + parameterCount; ++j) arrays_[j] = arrayAt(args, n, xcArg + j, call);
        const ArrayArg x = arrayAt(args, n, 0, call);
        usable_ = count_ >= 1 && x.data != nullptr && x.count >= 3;
        for (int j = 1; j < 3 + parameterCount; ++j)
            usable_ = usable_ && arrays_[j].data != nullptr && arrays_[j].count >= count_;
        if (usable_) p_[0] = x[0], p_[1] = x[1], p_[2] = x[2];
    }

    bool usable() const { return usable_; }
    int count() const { return count_; }
    // Squared distance from the point to centre i.
    double distance2(int i) const {
        const double dx = p_[0] - arrays_[0][i];
        const double dy = p_[1] - arrays_[1][i];
        const double dz = p_[2] - arrays_[2][i];
        return dx * dx + dy * dy + dz * dz;
    }
    // Element i of the j-th parameter array after zc.
    double parameter(int j, int i) const { return arrays_[3 + j][i]; }

private:
    ArrayArg arrays_[5];
    double p_[3] = {};
    int count_ = 0;
    bool usable_ = false;
};

// Soft-object kernel of radius R: 1 at the centre, 0 with zero slope at r = R and beyond.
double softKernel(double r2, double R) {
    if (!(R > 0.0) || std::sqrt(r2) > R) return 0.0;
    const double R2 = R * R;
    const double R4 = static_cast<float>(R2 * R2);
    const double R6 = R2 * R2 * R2;
    return 1.0 - (22.0 / 9.0) * r2 / R2 + (17.0 / 9.0) * r2 * r2 / R4 -
           (4.0 / 9.0) * r2 * r2 * r2 / R6;
}

// lvsoft(x, xc, yc, zc, d, T)
float lvsoft(const float* args, CallContext& call) {
    const Centres c(args, 6, 1, 1, call);
    if (!c.usable()) return OUTSIDE_VALUE;
    double sum = 0.0;
    for (int i = 0; i < c.count(); ++i) sum += softKernel(c.distance2(i), c.parameter(0, i));
    return static_cast<float>(sum - args[0]);
}

// lvblobby(x, xc, yc, zc, a, b, T): Gaussian blobs b exp(-a r^2).
float lvblobby(const float* args, CallContext& call) {
    const Centres c(args, 7, 1, 2, call);
    if (!c.usable()) return OUTSIDE_VALUE;
    double sum = 0.0;
    for (int i = 0; i < c.count(); ++i)
        sum += c.parameter(1, i) * std::exp(-c.parameter(0, i) * c.distance2(i));
    return static_cast<float>(sum - args[0]);
}

// Piecewise quadratic metaball of weight b and radius d.
double metaballKernel(double r, double b, double d) {
    if (!(d > 0.0) || r >= d) return 0.0;
    const double e = static_cast<float>(r / d);
    if (r <= d / 3.0) return b * (1.0 - 3.0 * e * e);
    return 1.5 * b * (1.0 - e) * (1.0 - e);
}

// lvmetaball(x, xc, yc, zc, b, d, T)
float lvmetaball(const float* args, CallContext& call) {
    const Centres c(args, 7, 1, 2, call);
    if (!c.usable()) return OUTSIDE_VALUE;
    double sum = 0.0;
    for (int i = 0; i < c.count(); ++i)
        sum += metaballKernel(std::sqrt(c.distance2(i)), c.parameter(0, i), c.parameter(1, i));
    return static_cast<float>(sum - args[0]);
}

// lvfmapblob(x, T, xc, yc, zc, b, d): T minus the rational field b / (1 + r^2 / d^2).
float lvfmapblob(const float* args, CallContext& call) {
    constexpr int n = 7;
    const Centres c(args, n, 2, 2, call);
    if (!c.usable()) return OUTSIDE_VALUE;
    const double e = lang::eps();
    double sum = 0.0;
    for (int i = 0; i < c.count(); ++i) {
        const double d = c.parameter(1, i);
        if (d > e) sum += c.parameter(0, i) / (1.0 + c.distance2(i) / (d * d));
    }
    return static_cast<float>(argAt(args, n, 1) - sum);
}

using B = lang::Builtin;
constexpr RowEvaluate kRows[] = {
    {B::LvSoft, lvsoft},
    {B::LvBlobby, lvblobby},
    {B::LvMetaball, lvmetaball},
    {B::LvFmapBlob, lvfmapblob},
};

} // namespace

std::span<const RowEvaluate> blobRows() { return kRows; }

} // namespace lv::prim
