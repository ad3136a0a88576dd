// lumovar mesh: polygonizes a model (or one object of a .lv file) into a mesh file.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/model_args.h"
#include "cli/outputs.h"
#include "cli/program.h"
#include "cli/signals.h"
#include "export/mesh_files.h"
#include "export/polygonize_mesh.h"
#include "model/eval_bound.h"
#include "model/grid_sampler.h"
#include "render/scene.h"

namespace lv::cli {

namespace {

const char* const kCommand = "mesh";

const std::vector<FlagSpec> kMeshFlags = {
    {"-o", true, "OUT.poly|.stl|.obj|.ply|.wrl|.3mf: the mesh file to write (format by extension)"},
    {"--box", true, "XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX: box to polygonize (default -10..10)"},
    {"--grid", true, "NX,NY,NZ: grid cells per axis, 1..1000 (default 25,25,25)"},
    {"--a", true, "V,...: the object's a values (default 0)"},
    {"--xc", true, "V,...: constants of x[4] onward (default 0)"},
    {"--lib", true, "LIB.lv: library whose objects FILE.lv may call"},
    {"--eps", true, "E: calculation precision, 0 < E < 1"},
    {"--alpha", true, "A: parameter of the set operations, -1 <= A <= 1"},
    {"--timeout", true, "S: give up after S seconds of evaluation (exit 1)"},
    {"--no-prune", false, "sample every grid point (the same polygons, more evaluations)"},
    kThreadsFlag,
};

// Applies --box, --grid, --a and --xc to the one object of a FILE.lv OBJECT model.
int applyObjectFlags(const ParsedArgs& args, model::ModelObject& object) {
    std::string error;
    std::vector<float> v;
    if (args.has("--box")) {
        if (!parseFloatList(args.get("--box"), v, error) || v.size() != 6 || !(v[0] < v[3]) ||
            !(v[1] < v[4]) || !(v[2] < v[5]))
            return commandUsageError(kCommand, "--box needs 6 numbers with each min < max");
        object.customBox = 1;
        object.ownBox = {v[0], v[1], v[2], v[3], v[4], v[5]};
    }
    if (args.has("--grid")) {
        std::vector<int> g;
        if (!parseIntList(args.get("--grid"), g, error) || g.size() != 3 || g[0] < 1 ||
            g[1] < 1 || g[2] < 1 || g[0] > 1000 || g[1] > 1000 || g[2] > 1000)
            return commandUsageError(kCommand, "--grid needs 3 whole numbers from 1 to 1000");
        object.grid = {g[0], g[1], g[2]};
    }
    if (args.has("--a")) {
        if (!parseFloatList(args.get("--a"), v, error))
            return commandUsageError(kCommand, "--a: " + error);
        if (static_cast<int>(v.size()) != object.aBindings.count())
            return commandUsageError(kCommand, "--a must give " +
                                                   std::to_string(object.aBindings.count()) +
                                                   " values, got " + std::to_string(v.size()));
        for (int i = 0; i < object.aBindings.count(); ++i)
            model::setValue(object.aBindings, i, v[static_cast<std::size_t>(i)]);
    }
    if (args.has("--xc")) {
        if (!parseFloatList(args.get("--xc"), v, error))
            return commandUsageError(kCommand, "--xc: " + error);
        if (static_cast<int>(v.size()) > object.xBindings.count() - 3)
            return commandUsageError(kCommand, "--xc gives more values than x[4] onward");
        for (std::size_t i = 0; i < v.size(); ++i)
            model::setValue(object.xBindings, static_cast<int>(i) + 3, v[i]);
    }
    return kExitOk;
}

// What polygonizing a model gives: the raw polygons for .poly, or one welded part per object.
struct ModelMesh {
    exporter::Mesh polygons;
    std::vector<exporter::MeshPart> parts;
    long long failures = 0;
    std::string firstError;
    std::string emptyObject; // set when an object's surface does not cross its box
};

std::string numberText(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// Why no file is written: the object, its box and its grid.
std::string emptyMessage(const model::ModelObject& o, const exporter::MeshGrid& g) {
    std::string box;
    for (double v : {g.xmin, g.ymin, g.zmin, g.xmax, g.ymax, g.zmax})
        box += (box.empty() ? "" : ",") + numberText(v);
    return "the surface of object '" + o.name + "' does not cross its box " + box +
           " at grid " + std::to_string(g.nx) + "," + std::to_string(g.ny) + "," +
           std::to_string(g.nz) + "; no file written";
}

bool isIdentity(const model::Transform& t) {
    for (int i = 0; i < 3; ++i)
        if (t.translate[i] != 0.0f || t.rotate[i] != 0.0f || std::fabs(t.scale[i]) != 1.0f)
            return false;
    return true;
}

// Moves points by the object's transform (kept as they are when it is the identity, so that
// .poly holds the polygonizer's numbers bit for bit). Scales are taken as absolute values, so
// the transform never mirrors and orientation survives it.
void transformPoints(const model::Transform& transform, exporter::Vec3* points, std::size_t n) {
    if (isIdentity(transform)) return;
    const render::Mat4 t = render::objectTransform(transform, {0.0, 0.0, 0.0});
    for (std::size_t k = 0; k < n; ++k) {
        const render::Vec3 v = render::transformPoint(t, {points[k].x, points[k].y, points[k].z});
        points[k] = {v.x, v.y, v.z};
    }
}

// Polygonizes every object of the prepared model with its box and grid, moved by its
// transform: raw polygons when raw is set, else one welded, oriented part per object. Stops at
// the first object whose surface does not cross its box. Progress goes to a terminal as
// "Rendering N%". With prune, blocks of cells that interval bounds prove to lie on one side
// of the surface are not sampled (the polygons are the same).
ModelMesh polygonizeModel(model::Model& m, bool raw, bool prune) {
    ModelMesh out;
    long long total = 0, done = 0;
    for (int i = 0; i < m.count(); ++i) total += m.object(i).grid[2];
    const bool showProgress = isatty(STDERR_FILENO) != 0;
    int shown = -1;
    auto progress = [&](int, int) {
        int percent = total > 0 ? static_cast<int>(100 * ++done / total) : 100;
        if (showProgress && percent != shown)
            std::fprintf(stderr, "\rRendering %d%%", shown = percent);
    };
    for (int i = 0; i < m.count() && out.emptyObject.empty(); ++i) {
        const model::ModelObject& o = m.object(i);
        model::EvalSlot& slot = m.slots()[static_cast<std::size_t>(i)];
        const model::BoundingBox& b = model::effectiveBox(o, m.settings);
        exporter::MeshGrid grid{b.xmin, b.ymin, b.zmin, b.xmax, b.ymax, b.zmax,
                                o.grid[0], o.grid[1], o.grid[2]};
        auto sample = [&slot](float x, float y, float z) {
            return model::evaluateAt(slot, x, y, z);
        };
        auto bound = [&slot](const float lo[3], const float hi[3]) {
            lang::Interval range;
            if (!model::boundAt(slot, lo, hi, range)) return poly::ValueBound{};
            return poly::ValueBound{range.lo, range.hi, true};
        };
        poly::BoundFn bounds;
        if (prune) bounds = bound;
        model::GridSampler sampler(slot);
        auto block = [&sampler](const poly::SampleBlock& b) {
            sampler.sample(b.xs, b.cols, b.ys, b.rows, b.zs, b.planes, b.values);
        };
        bool empty = false;
        if (raw) {
            exporter::Mesh mesh = exporter::polygonizeToMesh(grid, sample, progress, bounds, block);
            empty = mesh.polygons.empty();
            for (exporter::MeshPolygon& p : mesh.polygons) {
                transformPoints(o.transform, p.v, static_cast<std::size_t>(p.count));
                out.polygons.polygons.push_back(p);
            }
        } else {
            exporter::MeshPart part;
            part.name = o.name;
            part.color = {o.polyColour.red, o.polyColour.green, o.polyColour.blue};
            part.mesh = exporter::polygonizeToIndexedMesh(grid, sample, progress, nullptr, bounds,
                                                      block);
            empty = part.mesh.faces.empty();
            transformPoints(o.transform, part.mesh.vertices.data(), part.mesh.vertices.size());
            out.parts.push_back(std::move(part));
        }
        if (empty) out.emptyObject = emptyMessage(o, grid);
        if (slot.failures > 0 && out.failures == 0)
            out.firstError = runtimeDiagnostic(o.sourcePath, slot.firstError);
        out.failures += slot.failures;
    }
    if (showProgress) std::fprintf(stderr, "\n");
    return out;
}

} // namespace

int runMesh(int argc, char** argv) {
    std::string error;
    auto args = parseArgs(argc, argv, 1, kMeshFlags, error);
    if (!args) return commandUsageError(kCommand, error);
    if (args->help) {
        printUsage("lumovar mesh FILE.lv OBJECT -o OUT [--box ...] [--grid NX,NY,NZ] [--a ...]\n"
                   "                    [--xc ...] [--lib LIB.lv] [--eps E] [--alpha A]\n"
                   "       lumovar mesh MODEL.lvm -o OUT [--eps E] [--alpha A]\n\n"
                   "Polygonizes the object (x[1], x[2], x[3] on X, Y, Z), or every object of "
                   "the model\nwith its own box, grid and transform, and writes one mesh file.",
                   kMeshFlags);
        return kExitOk;
    }
    std::string out = args->get("-o");
    if (out.empty()) return commandUsageError(kCommand, "-o OUT is required");
    if (exporter::meshFormatFromPath(out) == exporter::MeshFormat::Unknown)
        return commandUsageError(kCommand, "-o must end in .poly, .stl, .obj, .ply, .wrl or .3mf");
    bool modelFile = args->positionals.size() == 1;
    for (const char* flag : {"--box", "--grid", "--a", "--xc"})
        if (modelFile && args->has(flag))
            return commandUsageError(kCommand, std::string(flag) + " applies to FILE.lv OBJECT");
    double timeout = 0.0;
    if (args->has("--timeout") && !parseTimeout(args->get("--timeout"), timeout, error))
        return commandUsageError(kCommand, error);
    model::ModelFileContents contents;
    int status = loadModelArgs(kCommand, args->positionals, args->get("--lib"), contents);
    if (status != kExitOk) return status;
    std::vector<std::string> inputs = args->positionals;
    inputs.push_back(args->get("--lib"));
    for (int i = 0; i < contents.model.count(); ++i)
        inputs.push_back(contents.model.object(i).sourcePath);
    if ((status = checkOutputPath(kCommand, "-o", out, {}, inputs)) != kExitOk) return status;
    if (!applyEpsAlpha(args->get("--eps"), args->get("--alpha"))) return kExitUsage;
    if (!applyThreads(kCommand, *args)) return kExitUsage;
    if (!modelFile && (status = applyObjectFlags(*args, contents.model.object(0))) != kExitOk)
        return status;
    model::Model& m = contents.model;
    if (m.prepareFrame(0, 0.0f, 0.0f, 0.0f) == 0) {
        std::fprintf(stderr, "lumovar mesh: out of memory\n");
        return kExitUserError;
    }
    const bool raw = exporter::meshFormatFromPath(out) == exporter::MeshFormat::Poly;
    if (timeout > 0) armTimeout(timeout);
    ModelMesh result = polygonizeModel(m, raw, !args->has("--no-prune"));
    if (timedOut()) return reportTimeout(kCommand, m.count() > 0 ? m.object(0).name : "", timeout);
    m.releaseFrame();
    if (!result.emptyObject.empty()) {
        std::fprintf(stderr, "lumovar mesh: %s\n", result.emptyObject.c_str());
        return kExitUserError;
    }
    const bool written = raw ? exporter::writePolyFile(out, result.polygons, error)
                             : exporter::writeMeshFile(out, result.parts, error);
    if (!written) {
        std::fprintf(stderr, "lumovar mesh: %s\n", error.c_str());
        return kExitUsage;
    }
    std::size_t triangles = 0, quads = 0;
    for (const auto& p : result.polygons.polygons) (p.count == 3 ? triangles : quads)++;
    for (const auto& part : result.parts)
        for (const auto& f : part.mesh.faces) (f.count == 3 ? triangles : quads)++;
    std::printf("%zu polygons: %zu triangles, %zu quadrilaterals\nwrote %s\n", triangles + quads,
                triangles, quads, out.c_str());
    const long long failures = result.failures;
    const std::string& firstError = result.firstError;
    if (failures > 0) {
        std::fprintf(stderr, "%s\n%lld sample points failed and were taken as outside\n",
                     firstError.c_str(), failures);
        return kExitUserError;
    }
    return kExitOk;
}

} // namespace lv::cli
