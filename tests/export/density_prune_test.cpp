// Density sampling with pruning against sampling every point: the density files are the same
// bytes, and failures and the first error are the same, for shapes whose bounds prove much,
// little or nothing, on one thread or several.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/density_grid.h"
#include "lang/compiler.h"
#include "model/grid_sampler.h"

namespace lv::exporter {
namespace {

// A slot for object name of text with X, Y, Z on x[1..3] and the a values given.
struct Slot {
    lang::ObjectList objects;
    model::EvalSlot slot;

    Slot(const std::string& text, const char* name, std::vector<float> a = {}) {
        std::vector<lang::CompileError> errors;
        lang::compileProgram(text.c_str(), objects, errors, {});
        EXPECT_TRUE(errors.empty()) << name;
        const lang::CompiledObjectPtr object = lang::findObject(objects, name);
        if (!object) return;
        slot.object = lang::copyObject(*object);
        slot.workspace.assign(static_cast<std::size_t>(object->workspaceSize()) + 1, 0.0f);
        slot.flags.assign(slot.workspace.size(), 1);
        slot.inputs.assign(3, 0.0f);
        slot.inputs.insert(slot.inputs.end(), a.begin(), a.end());
        std::copy(slot.inputs.begin(), slot.inputs.end(), slot.workspace.begin());
        slot.xIndex = 0, slot.yIndex = 1, slot.zIndex = 2;
    }
};

std::string fileText(const char* path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

SampleGrid box(double half, int nx, int ny, int nz) {
    SampleGrid g;
    g.xmin = g.ymin = g.zmin = -half;
    g.xmax = g.ymax = g.zmax = half;
    g.nx = nx, g.ny = ny, g.nz = nz;
    return g;
}

struct Density {
    std::string bytes; // the df3 file
    double range = 0.0;
    long long failures = 0;
    lang::RuntimeError firstError;
    DensityPruneStats stats;
};

// The density of the slot's object over grid, pruned or not, sampled on threads threads.
Density density(const std::string& text, const char* name, std::vector<float> a,
                const SampleGrid& grid, bool prune, int threads, int minCells = 0) {
    Slot s(text, name, std::move(a));
    model::GridSampler sampler(s.slot, threads);
    Density d;
    const std::vector<float> values = sampleObjectGrid(grid, sampler, prune, minCells, &d.stats);
    d.range = densityRange(values, grid);
    d.bytes = df3Bytes(grid, densityValues(values, d.range));
    d.failures = s.slot.failures;
    d.firstError = s.slot.firstError;
    return d;
}

struct Case {
    const char* label;
    std::string text;
    const char* name;
    std::vector<float> a;
    SampleGrid grid;
};

std::vector<Case> corpus() {
    const std::string ball = "ball(x[3], a[1]) { ball = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }";
    return {
        {"ball", ball, "ball", {4.0f}, box(5.0, 41, 44, 40)},
        // No cell crosses: every point is inside, beyond the clamp of 1.
        {"ball around the box", ball, "ball", {10.0f}, box(2.0, 40, 40, 40)},
        {"steep and flat ball", "b(x[3], a[0]) { b = 0.01 * (9 - x[1]^2 - x[2]^2) - x[3]^4; }",
         "b", {}, box(3.0, 45, 42, 43)},
        {"csg part", fileText(LV_SOURCE_DIR "/examples/csg_part.lv"), "part", {},
         box(10.0, 50, 47, 41)},
        {"blended set operations",
         "s(x[3], a[0]) { s = (4 - x[1]^2 - x[2]^2 - x[3]^2) | (x[1] - 1) & (2.5 - x[2])"
         " \\ (1 - x[3]^2); }",
         "s", {}, box(3.0, 42, 40, 44)},
        // Fails on the plane x[1] = 0 (a division by a value below EPS).
        {"failing notch",
         "n(x[3], a[0]) { n = 4 - x[1]^2 - x[2]^2 - x[3]^2 + 0.001 / x[1]; }", "n", {},
         box(3.0, 40, 41, 42)},
        {"gyroid in a ball",
         "g(x[3], a[0]) { g = (sin(x[1]) * cos(x[2]) + sin(x[2]) * cos(x[3])"
         " + sin(x[3]) * cos(x[1])) & (36 - x[1]^2 - x[2]^2 - x[3]^2); }",
         "g", {}, box(7.0, 40, 40, 40)},
        {"loop and branches",
         "steps(x[3], a[0]) {\n  i = 1;\n  t = 0;\n  while i <= 3 loop\n    t = t + x[i]^2;\n"
         "    i = i + 1;\n  endloop;\n  if x[3] > 1 then\n    r = 20 - t;\n  else\n"
         "    r = 30 - t - x[1];\n  endif;\n  steps = r;\n}\n",
         "steps", {}, box(7.0, 44, 40, 48)},
        {"failing roots", "r(x[3], a[0]) { r = sqrt(x[1] + 3) - 2 + min(x[2], 4 - x[3]) * 0.1; }",
         "r", {}, box(7.0, 40, 40, 40)},
        {"small grid", ball, "ball", {1.5f}, box(2.0, 9, 11, 13)},
    };
}

TEST(DensityPruning, DensityFilesAndFailuresAreThoseOfEveryPointSampled) {
    long long skipped = 0, ranged = 0;
    int index = 0;
    for (const Case& c : corpus()) {
        SCOPED_TRACE(c.label);
        const Density plain = density(c.text, c.name, c.a, c.grid, false, 1);
        EXPECT_EQ(plain.stats.skipped, 0);
        { // one thread or three, by turns
            const int threads = index++ % 2 == 0 ? 1 : 3;
            SCOPED_TRACE(std::to_string(threads) + " threads");
            const Density pruned = density(c.text, c.name, c.a, c.grid, true, threads);
            EXPECT_TRUE(pruned.bytes == plain.bytes);
            EXPECT_EQ(pruned.range, plain.range);
            EXPECT_EQ(pruned.failures, plain.failures);
            EXPECT_STREQ(pruned.firstError.message, plain.firstError.message);
            EXPECT_EQ(pruned.firstError.line, plain.firstError.line);
            EXPECT_EQ(pruned.firstError.column, plain.firstError.column);
            EXPECT_EQ(pruned.stats.evaluated + pruned.stats.skipped,
                      static_cast<long long>(c.grid.pointCount()));
            if (std::string(c.label).find("failing") != std::string::npos) {
                EXPECT_GT(pruned.failures, 0);
            }
            skipped += pruned.stats.skipped;
            ranged += pruned.stats.ranged;
        }
    }
    // Pruning left points out, and some proven points still needed their own values.
    EXPECT_GT(skipped, 0);
    EXPECT_GT(ranged, 0);
}

TEST(DensityPruning, ProvesMostOfABallAllOfABoxInsideAndLeavesCoarseGridsWhole) {
    const std::string ball = "ball(x[3], a[1]) { ball = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }";
    const Density d = density(ball, "ball", {4.0f}, box(5.0, 60, 60, 60), true, 2);
    EXPECT_GT(d.stats.skipped, d.stats.evaluated);
    // A ball around the box: no cell crosses, so no point needs sampling.
    const Density inside = density(ball, "ball", {10.0f}, box(2.0, 40, 40, 40), true, 1);
    EXPECT_EQ(inside.stats.evaluated, 0);
    EXPECT_EQ(inside.range, 1.0);
    // Coarse grids are sampled whole unless told otherwise.
    const Density coarse = density(ball, "ball", {4.0f}, box(5.0, 30, 30, 30), true, 1, 40);
    EXPECT_EQ(coarse.stats.skipped, 0);
    EXPECT_EQ(coarse.stats.bounds, 0);
}

} // namespace
} // namespace lv::exporter
