// lumovar mesh: polygonizes a model (or one object of a .lv file) into a mesh file.
#include <unistd.h>

#include <cstdio>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/model_args.h"
#include "cli/outputs.h"
#include "cli/program.h"
#include "cli/signals.h"
#include "export/polygonize_mesh.h"
#include "render/scene.h"

namespace lv::cli {

namespace {

const char* const kCommand = "mesh";

const std::vector<FlagSpec> kMeshFlags = {
    {"-o", true, "OUT.poly|.stl|.obj|.ply|.wrl: the mesh file to write (format by extension)"},
    {"--box", true, "XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX: box to polygonize (default -10..10)"},
    {"--grid", true, "NX,NY,NZ: grid cells per axis, 1..1000 (default 25,25,25)"},
    {"--a", true, "V,...: the object's a values (default 0)"},
    {"--xc", true, "V,...: constants of x[4] onward (default 0)"},
    {"--lib", true, "LIB.lv: library whose objects FILE.lv may call"},
    {"--eps", true, "E: calculation precision, 0 < E < 1"},
    {"--alpha", true, "A: parameter of the set operations, -1 <= A <= 1"},
    {"--timeout", true, "S: give up after S seconds of evaluation (exit 1)"},
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

// Polygonizes every object of the prepared model, oriented outward and moved by its
// transform, into one mesh. Progress goes to a terminal as "Rendering N%".
exporter::Mesh polygonizeModel(model::Model& m, long long& failures, std::string& firstError) {
    long long total = 0, done = 0;
    for (int i = 0; i < m.count(); ++i) total += m.object(i).grid[2];
    const bool showProgress = isatty(STDERR_FILENO) != 0;
    int shown = -1;
    exporter::Mesh all;
    for (int i = 0; i < m.count(); ++i) {
        const model::ModelObject& o = m.object(i);
        model::EvalSlot& slot = m.slots()[static_cast<std::size_t>(i)];
        const model::BoundingBox& b = model::effectiveBox(o, m.settings);
        exporter::MeshGrid grid{b.xmin, b.ymin, b.zmin, b.xmax, b.ymax, b.zmax,
                                o.grid[0], o.grid[1], o.grid[2]};
        auto sample = [&slot](float x, float y, float z) {
            return model::evaluateAt(slot, x, y, z);
        };
        exporter::Mesh mesh = exporter::polygonizeToMesh(grid, sample, [&](int, int) {
            int percent = total > 0 ? static_cast<int>(100 * ++done / total) : 100;
            if (showProgress && percent != shown)
                std::fprintf(stderr, "\rRendering %d%%", shown = percent);
        });
        exporter::orientOutward(mesh, sample);
        render::Mat4 t = render::objectTransform(o.transform, {0.0, 0.0, 0.0});
        for (exporter::MeshPolygon& p : mesh.polygons) {
            for (int k = 0; k < p.count; ++k) {
                render::Vec3 v = render::transformPoint(t, {p.v[k].x, p.v[k].y, p.v[k].z});
                p.v[k] = {v.x, v.y, v.z};
            }
            all.polygons.push_back(p);
        }
        if (slot.failures > 0 && failures == 0) {
            const lang::RuntimeError& e = slot.firstError;
            firstError = (e.object == o.compiled.get() ? o.sourcePath
                                                       : "in object '" + std::string(
                                                             e.object ? e.object->name : "?") +
                                                             "' ") +
                         ":" + std::to_string(e.line) + ":" + std::to_string(e.column) +
                         ": error: " + e.message;
        }
        failures += slot.failures;
    }
    if (showProgress) std::fprintf(stderr, "\n");
    return all;
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
        return commandUsageError(kCommand, "-o must end in .poly, .stl, .obj, .ply or .wrl");
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
    if (!modelFile && (status = applyObjectFlags(*args, contents.model.object(0))) != kExitOk)
        return status;
    model::Model& m = contents.model;
    if (m.prepareFrame(0, 0.0f, 0.0f, 0.0f) == 0) {
        std::fprintf(stderr, "lumovar mesh: out of memory\n");
        return kExitUserError;
    }
    long long failures = 0;
    std::string firstError;
    if (timeout > 0) armTimeout(timeout);
    exporter::Mesh mesh = polygonizeModel(m, failures, firstError);
    if (timedOut()) return reportTimeout(kCommand, m.count() > 0 ? m.object(0).name : "", timeout);
    exporter::MeshWriteOptions options;
    if (m.count() > 0) {
        const model::Rgb& c = m.object(0).polyColour;
        options.color = {c.red, c.green, c.blue};
    }
    m.releaseFrame();
    if (!exporter::writeMeshFile(out, mesh, options, error)) {
        std::fprintf(stderr, "lumovar mesh: %s\n", error.c_str());
        return kExitUsage;
    }
    int triangles = 0;
    for (const auto& p : mesh.polygons) triangles += p.count == 3;
    std::printf("%zu polygons: %d triangles, %zu quadrilaterals\nwrote %s\n",
                mesh.polygons.size(), triangles, mesh.polygons.size() - triangles, out.c_str());
    if (failures > 0) {
        std::fprintf(stderr, "%s\n%lld sample points failed and were taken as outside\n",
                     firstError.c_str(), failures);
        return kExitUserError;
    }
    return kExitOk;
}

} // namespace lv::cli
