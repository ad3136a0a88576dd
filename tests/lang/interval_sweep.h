#pragma once
// Soundness sweeps of interval bounds: for many random boxes, wherever boundObject proves a
// range, every point of the box evaluates without error to a value inside it.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "lang/interval.h"
#include "lang_test_util.h"

namespace lv::lang::testing {

// A random box: centres in [-4, 4], widths from 1e-4 to 8 on a log scale.
struct Box {
    Interval axis[3];
};

inline Box randomBox(std::mt19937& rng, float reach = 4.0f) {
    std::uniform_real_distribution<float> centre(-reach, reach), scale(-4.0f, 0.9f);
    Box b;
    for (Interval& a : b.axis) {
        const float c = centre(rng), w = std::pow(10.0f, scale(rng));
        a = {c - w / 2, c + w / 2};
    }
    return b;
}

inline float pointIn(const Interval& a, std::mt19937& rng, int k) {
    if (k == 0) return a.lo; // the ends are where monotone rules are tight
    if (k == 1) return a.hi;
    std::uniform_real_distribution<float> t(0.0f, 1.0f);
    const float v = a.lo + t(rng) * (a.hi - a.lo);
    return std::fmin(std::fmax(v, a.lo), a.hi);
}

struct Sweep {
    int proven = 0; // boxes with a bound
    int points = 0; // points checked against a bound
    int wrong = 0;  // points outside their bound (reported once per box)
    int failed = 0; // points of unproven boxes whose evaluation failed (with countFailures)
};

struct SweepOptions {
    int boxes = 150;
    int pointsPerBox = 40;
    float reach = 4.0f;              // box centres lie in [-reach, reach]
    std::vector<Interval> a;         // ranges of a[1], a[2], ... (points are drawn in them)
    bool countFailures = false;      // also evaluate the points of unproven boxes
};

// The sweep of the last object of source, x[1..3] in random boxes and a in options.a.
inline Sweep sweep(const std::string& source, const SweepOptions& options = {}) {
    Compiled c = compile(source);
    EXPECT_TRUE(c.errors.empty()) << source << (c.errors.empty() ? "" : c.errors[0].message)
                                  << " at line " << (c.errors.empty() ? 0 : c.errors[0].line);
    Sweep s;
    if (c.objects.empty()) return s;
    const CompiledObject& object = *c.objects.back();
    std::mt19937 rng(12345);
    for (int b = 0; b < options.boxes; ++b) {
        const Box box = randomBox(rng, options.reach);
        std::vector<Interval> inputs(static_cast<std::size_t>(object.xSize + object.aSize));
        for (int i = 0; i < object.xSize && i < 3; ++i)
            inputs[static_cast<std::size_t>(i)] = box.axis[i];
        for (std::size_t j = 0; j < options.a.size() && j < std::size_t(object.aSize); ++j)
            inputs[std::size_t(object.xSize) + j] = options.a[j];
        Interval range;
        const bool proven = boundObject(object, inputs.data(), range);
        if (!proven && !options.countFailures) continue;
        s.proven += proven ? 1 : 0;
        for (int p = 0; p < options.pointsPerBox; ++p) {
            std::vector<float> x(static_cast<std::size_t>(object.xSize), 0.0f);
            for (int i = 0; i < object.xSize && i < 3; ++i)
                x[static_cast<std::size_t>(i)] = pointIn(box.axis[i], rng, p % 7);
            std::vector<float> a(static_cast<std::size_t>(object.aSize), 0.0f);
            for (std::size_t j = 0; j < options.a.size() && j < a.size(); ++j)
                a[j] = pointIn(options.a[j], rng, (p / 7 + int(j)) % 5);
            const Outcome o = run(object, x, a);
            if (!proven) {
                s.failed += o.ok ? 0 : 1;
                continue;
            }
            if (!o.ok || !(o.value >= range.lo && o.value <= range.hi)) ++s.wrong;
            EXPECT_TRUE(o.ok) << source << " failed at a point of a proven box: " << o.error;
            EXPECT_TRUE(o.value >= range.lo && o.value <= range.hi)
                << source << " at (" << x[0] << ", " << (x.size() > 1 ? x[1] : 0) << ", "
                << (x.size() > 2 ? x[2] : 0) << ")" << (a.empty() ? "" : " a[1] ")
                << (a.empty() ? 0.0f : a[0]) << " = " << o.value << " outside [" << range.lo
                << ", " << range.hi << "]";
            ++s.points;
            if (s.wrong > 0) return s;
        }
    }
    return s;
}

inline Sweep sweep(const std::string& source, int boxes, int pointsPerBox = 40) {
    SweepOptions o;
    o.boxes = boxes;
    o.pointsPerBox = pointsPerBox;
    return sweep(source, o);
}

} // namespace lv::lang::testing
