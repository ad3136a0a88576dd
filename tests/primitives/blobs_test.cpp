// Blob families: kernel values, sums over several centres, the per-family rules for centres
// that contribute nothing, and unusable input.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lang/settings.h"
#include "primitives/conventions.h"
#include "tests/primitives/primitive_call.h"

namespace lv::prim {
namespace {

using test::PrimitiveCall;

// One blob call: the point, centres as (x, y, z) triples, then the parameter arrays.
float blobs(const std::string& name, std::vector<float> p, const std::vector<float>& centres,
            const std::vector<std::vector<float>>& parameters, float T) {
    PrimitiveCall c;
    std::vector<float> xc, yc, zc;
    for (std::size_t i = 0; i + 2 < centres.size(); i += 3) {
        xc.push_back(centres[i]);
        yc.push_back(centres[i + 1]);
        zc.push_back(centres[i + 2]);
    }
    std::vector<float> args = {c.array(p)};
    if (name == "lvfmapblob") args.push_back(T);
    for (const auto* a : {&xc, &yc, &zc}) args.push_back(c.array(*a));
    for (const auto& a : parameters) args.push_back(c.array(a));
    if (name != "lvfmapblob") args.push_back(T);
    return c.call(name, args);
}

TEST(Blobs, KernelValues) {
    const std::vector<float> o = {0, 0, 0};
    EXPECT_FLOAT_EQ(blobs("lvsoft", o, o, {{2}}, 0.25f), 0.75f);
    EXPECT_FLOAT_EQ(blobs("lvsoft", {0, 2, 0}, o, {{2}}, 0.25f), -0.25f);
    EXPECT_FLOAT_EQ(blobs("lvmetaball", {1, 0, 0}, o, {{1}, {3}}, 0.5f), 2.0f / 3 - 0.5f);
    EXPECT_FLOAT_EQ(blobs("lvmetaball", {0, 0, 2}, o, {{1}, {3}}, 0.5f), 1.0f / 6 - 0.5f);
    EXPECT_FLOAT_EQ(blobs("lvmetaball", {0, 3, 0}, o, {{1}, {3}}, 0.5f), -0.5f);
    EXPECT_FLOAT_EQ(blobs("lvblobby", o, o, {{1}, {2}}, 0.5f), 1.5f);
    EXPECT_FLOAT_EQ(blobs("lvfmapblob", {0, 1, 0}, o, {{1}, {1}}, 2.0f), 1.5f);
    // Soft objects: 1 - 22/9 q + 17/9 q^2 - 4/9 q^3 with q = (r / R)^2, falling to zero with
    // zero slope at the radius.
    for (float r : {0.25f, 0.5f, 1.0f, 1.5f, 1.99f}) {
        const double q = r * r / 4.0;
        const double w = 1 - 22.0 / 9 * q + 17.0 / 9 * q * q - 4.0 / 9 * q * q * q;
        EXPECT_NEAR(blobs("lvsoft", {r, 0, 0}, o, {{2}}, 0), w, 1e-6) << r;
    }
    EXPECT_LT(blobs("lvsoft", {1.999f, 0, 0}, o, {{2}}, 0), 1e-6f);
    EXPECT_EQ(blobs("lvsoft", {2.001f, 0, 0}, o, {{2}}, 0), 0.0f);
    // Metaballs: the two quadratic pieces meet at d / 3.
    EXPECT_NEAR(blobs("lvmetaball", {0.999f, 0, 0}, o, {{1}, {3}}, 0),
                blobs("lvmetaball", {1.001f, 0, 0}, o, {{1}, {3}}, 0), 2e-3);
    EXPECT_NEAR(blobs("lvmetaball", {0, 0, 2.5f}, o, {{2}, {3}}, 0),
                3 * (1 - 2.5 / 3) * (1 - 2.5 / 3), 1e-6);
    // Gaussian blobs and the rational field map.
    EXPECT_NEAR(blobs("lvblobby", {1, 1, 0}, o, {{0.5f}, {3}}, 0), 3 * std::exp(-1.0), 1e-6);
    EXPECT_NEAR(blobs("lvfmapblob", {0, 0, 3}, o, {{2}, {1.5f}}, 1), 1 - 2 / (1 + 9 / 2.25), 1e-6);
}

TEST(Blobs, CentresThatContributeNothing) {
    const std::vector<float> o = {0, 0, 0};
    const std::vector<float> two = {0, 0, 0, 0, 0, 0};
    // Metaballs with d <= 0 and field-map blobs with d <= EPS are left out of the sum.
    EXPECT_FLOAT_EQ(blobs("lvmetaball", o, two, {{1, 5}, {3, 0}}, 0), 1.0f);
    EXPECT_FLOAT_EQ(blobs("lvmetaball", o, two, {{1, 5}, {3, -1}}, 0), 1.0f);
    const float eps = lang::eps();
    EXPECT_FLOAT_EQ(blobs("lvfmapblob", o, two, {{1, 5}, {1, eps}}, 0), -1.0f);
    EXPECT_FLOAT_EQ(blobs("lvfmapblob", o, two, {{1, 5}, {1, 2 * eps}}, 0), -6.0f);
    // A soft object without a positive radius has no field, not an undefined one.
    EXPECT_FLOAT_EQ(blobs("lvsoft", o, two, {{2, 0}}, 0), 1.0f);
    // A negative exponent makes the Gaussian grow with distance; it is not rejected.
    EXPECT_NEAR(blobs("lvblobby", {1, 0, 0}, o, {{-1}, {1}}, 0), std::exp(1.0), 1e-6);
}

TEST(Blobs, UnusableInput) {
    const std::vector<float> o = {0, 0, 0};
    const std::vector<float> two = {0, 0, 0, 1, 0, 0};
    struct Family {
        const char* name;
        std::vector<std::vector<float>> parameters; // one value per centre each
    };
    for (const Family& f :
         {Family{"lvsoft", {{1, 1}}}, Family{"lvblobby", {{1, 1}, {1, 1}}},
          Family{"lvmetaball", {{1, 1}, {1, 1}}}, Family{"lvfmapblob", {{1, 1}, {1, 1}}}}) {
        EXPECT_NE(blobs(f.name, o, two, f.parameters, 0), OUTSIDE_VALUE) << f.name;
        // x may be longer than 3, never shorter.
        EXPECT_EQ(blobs(f.name, {0, 0, 0, 7}, two, f.parameters, 0),
                  blobs(f.name, o, two, f.parameters, 0));
        EXPECT_EQ(blobs(f.name, {0, 0}, two, f.parameters, 0), OUTSIDE_VALUE) << f.name;
        // Each parameter array one value short of the centre count.
        for (std::size_t j = 0; j < f.parameters.size(); ++j) {
            auto shortened = f.parameters;
            shortened[j].pop_back();
            EXPECT_EQ(blobs(f.name, o, two, shortened, 0), OUTSIDE_VALUE) << f.name << " " << j;
        }
        // yc or zc shorter than xc.
        PrimitiveCall c;
        const float x = c.array(o), xc = c.array({0, 1}), one = c.array({0});
        std::vector<float> args = {x, xc, one, c.array({0, 0})};
        if (std::string(f.name) == "lvfmapblob") args.insert(args.begin() + 1, 0.0f);
        for (const auto& a : f.parameters) args.push_back(c.array(a));
        if (std::string(f.name) != "lvfmapblob") args.push_back(0.0f);
        EXPECT_EQ(c.call(f.name, args), OUTSIDE_VALUE) << f.name;
    }
}

TEST(Blobs, MissingCentresOrParameterList) {
    PrimitiveCall c;
    const float x = c.array({0, 0, 0});
    const float one = c.array({1});
    const float none = PrimitiveCall::noArray();
    // No centres: OUTSIDE_VALUE, not -T.
    EXPECT_EQ(c.call("lvmetaball", {x, none, one, one, one, one, 0.5f}), OUTSIDE_VALUE);
    EXPECT_EQ(c.call("lvfmapblob", {x, 0.5f, none, one, one, one, one}), OUTSIDE_VALUE);
    // lvsoft's d and lvblobby's b must resolve: the check stops the evaluation.
    c.call("lvsoft", {x, one, one, one, none, 0.5f});
    EXPECT_TRUE(c.failed());
    EXPECT_STREQ(c.error().message, "Bad code is generated for object");
    c.call("lvblobby", {x, one, one, one, one, none, 0.5f});
    EXPECT_TRUE(c.failed());
    EXPECT_FLOAT_EQ(c.call("lvblobby", {x, one, one, one, one, one, 0.5f}), std::exp(-3.0f) - 0.5f);
    EXPECT_FALSE(c.failed());
}

} // namespace
} // namespace lv::prim

namespace lv::prim {
namespace {

TEST(BlobPrograms, CentresFromArraysAndTheExample) {
    test::CompiledSource src(R"(two(x[3], a[1]) {
    array xc[2], yc[2], zc[2], b[2], d[2];
    xc = [0, 3];
    yc = [0, 0];
    zc = [0, 0];
    b = [1, 2];
    d = [3, 3];
    yc[2] = a[1];
    two = lvmetaball(x, xc, yc, zc, b, d, 0.5);
}
)");
    // One centre at distance 1 (inner piece), the other at distance 2 (outer piece).
    EXPECT_NEAR(src.eval("two", {1, 0, 0}, {0}),
                2.0 / 3 + 2 * 1.5 * (1 - 2.0 / 3) * (1 - 2.0 / 3) - 0.5, 1e-6);
    EXPECT_NEAR(src.eval("two", {1, 0, 0}, {5}), 2.0 / 3 - 0.5, 1e-6);

    auto blobs = test::CompiledSource::fromFile(LV_SOURCE_DIR "/examples/blobs.lv");
    test::expectExampleDescribesSolids("blobs.lv");
    // The two droplets join below a[1] of about 0.64: look half-way between the centres.
    EXPECT_GT(blobs.eval("droplets", {0.5f, 0, 0}, {0.5f}), 0.0f);
    EXPECT_LT(blobs.eval("droplets", {0.8f, 0, 0}, {0.8f}), 0.0f);
    for (const char* name : {"molecule", "puffs", "cloud"}) {
        EXPECT_GT(blobs.eval(name, {0, 0.3f, 0.1f}), 0.0f) << name;
        EXPECT_LT(blobs.eval(name, {0, 0, 3.5f}), 0.0f) << name;
    }
}

} // namespace
} // namespace lv::prim
