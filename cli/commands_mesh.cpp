// lumovar mesh: polygonizes a model (or one object of a .lv file) into a mesh file.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/model_args.h"
#include "cli/object_flags.h"
#include "cli/outputs.h"
#include "cli/progress.h"
#include "cli/program.h"
#include "cli/signals.h"
#include "export/mesh_files.h"
#include "export/model_mesh.h"
#include "lang/interval_primitives.h"

namespace lv::cli {

namespace {

const char* const kCommand = "mesh";

const std::vector<FlagDef> kMeshFlags = {
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
    {"--prune-convolution", false,
     "also prune by bounds of segment, arc, triangle and mesh convolution fields"},
    kThreadsFlag,
};

// Applies --box, --grid, --a and --xc to the one object of a FILE.lv OBJECT model.
int applyObjectAndXcFlags(const ParsedArgs& args, model::ModelObject& object) {
    if (int s = applyObjectFlags(kCommand, args, object, false); s != kExitOk) return s;
    if (!args.has("--xc")) return kExitOk;
    std::string error;
    std::vector<float> v;
    if (!parseFloatList(args.get("--xc"), v, error))
        return commandUsageError(kCommand, "--xc: " + error);
    if (static_cast<int>(v.size()) > object.xBindings.count() - 3)
        return commandUsageError(kCommand, "--xc gives more values than x[4] onward");
    for (std::size_t i = 0; i < v.size(); ++i)
        model::setValue(object.xBindings, static_cast<int>(i) + 3, v[i]);
    return kExitOk;
}

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

// Polygonizes every object of the prepared model (exporter::polygonizeModel), stopping at the
// first object whose surface does not cross its box. Progress goes to a terminal as
// "Rendering N%" over the slices of all objects.
exporter::ModelMesh polygonizeModel(model::Model& m, bool raw, bool prune) {
    int total = 0, done = 0;
    for (int i = 0; i < m.count(); ++i) total += m.object(i).grid[2];
    ProgressLine progress;
    auto caption = percentCaption(progress, "");
    exporter::ModelMeshOptions options;
    options.raw = raw;
    options.prune = prune;
    options.empty = exporter::EmptyObject::Stop;
    options.progress = [&](int, int) { caption(++done, total); };
    return exporter::polygonizeModel(m, options);
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
    if ((status = checkOutputPath(kCommand, "-o", out, {}, inputsOf(*args, contents.model))) !=
        kExitOk)
        return status;
    if (!applyEpsAlpha(args->get("--eps"), args->get("--alpha"))) return kExitUsage;
    if (!applyThreads(kCommand, *args)) return kExitUsage;
    lang::setConvolutionBounds(args->has("--prune-convolution"));
    if (!modelFile &&
        (status = applyObjectAndXcFlags(*args, contents.model.object(0))) != kExitOk)
        return status;
    model::Model& m = contents.model;
    if (m.prepareFrame(0, 0.0f, 0.0f, 0.0f) == 0) {
        std::fprintf(stderr, "lumovar mesh: out of memory\n");
        return kExitUserError;
    }
    const bool raw = exporter::meshFormatFromPath(out) == exporter::MeshFormat::Poly;
    if (timeout > 0) armTimeout(timeout);
    exporter::ModelMesh result = polygonizeModel(m, raw, !args->has("--no-prune"));
    const std::string firstError =
        result.firstErrorObject < 0
            ? std::string()
            : runtimeDiagnostic(m.object(result.firstErrorObject).sourcePath, result.firstError);
    if (timedOut()) return reportTimeout(kCommand, m.count() > 0 ? m.object(0).name : "", timeout);
    m.releaseFrame();
    if (result.emptyObject >= 0) {
        const model::ModelObject& o = m.object(result.emptyObject);
        std::fprintf(stderr, "lumovar mesh: %s\n",
                     emptyMessage(o, exporter::objectMeshGrid(o, m.settings)).c_str());
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
    if (failures > 0) {
        std::fprintf(stderr, "%s\n%lld sample points failed and were taken as outside\n",
                     firstError.c_str(), failures);
        return kExitUserError;
    }
    return kExitOk;
}

} // namespace lv::cli
