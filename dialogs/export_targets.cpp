#include "dialogs/export_targets.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "export/image_files.h"
#include "export/mesh_files.h"
#include "export/polygonize_mesh.h"
#include "render/scene.h"

namespace lv::dialogs {

namespace {

bool isIdentity(const model::Transform& t) {
    for (int i = 0; i < 3; ++i)
        if (t.translate[i] != 0.0f || t.rotate[i] != 0.0f || std::fabs(t.scale[i]) != 1.0f)
            return false;
    return true;
}

// Moves points by the object's transform, as the mesh command does (absolute scales, so that
// the transform never mirrors and the outward orientation survives).
void transformPoints(const model::Transform& transform, exporter::Vec3* points, std::size_t n) {
    if (isIdentity(transform)) return;
    const render::Mat4 t = render::objectTransform(transform, {0.0, 0.0, 0.0});
    for (std::size_t k = 0; k < n; ++k) {
        const render::Vec3 v = render::transformPoint(t, {points[k].x, points[k].y, points[k].z});
        points[k] = {v.x, v.y, v.z};
    }
}

// Every object of the prepared model over its own box and grid, moved by its transform: the
// raw polygons (for .poly) or one welded, outward-oriented part per object in its colour.
// Objects whose surface does not cross their box give no part.
struct ModelSurface {
    exporter::Mesh polygons;
    std::vector<exporter::MeshPart> parts;
};

ModelSurface polygonizeModel(model::Model& m, bool raw) {
    ModelSurface out;
    for (int i = 0; i < m.count(); ++i) {
        const model::ModelObject& o = m.object(i);
        model::EvalSlot& slot = m.slots()[static_cast<std::size_t>(i)];
        const model::BoundingBox& b = model::effectiveBox(o, m.settings);
        exporter::MeshGrid grid{b.xmin, b.ymin, b.zmin, b.xmax, b.ymax, b.zmax,
                                o.grid[0], o.grid[1], o.grid[2]};
        auto sample = [&slot](float x, float y, float z) {
            return model::evaluateAt(slot, x, y, z);
        };
        if (raw) {
            exporter::Mesh mesh = exporter::polygonizeToMesh(grid, sample);
            for (exporter::MeshPolygon& p : mesh.polygons) {
                transformPoints(o.transform, p.v, static_cast<std::size_t>(p.count));
                out.polygons.polygons.push_back(p);
            }
            continue;
        }
        exporter::MeshPart part;
        part.name = o.name;
        part.color = {o.polyColour.red, o.polyColour.green, o.polyColour.blue};
        part.mesh = exporter::polygonizeToIndexedMesh(grid, sample);
        if (part.mesh.faces.empty()) continue;
        transformPoints(o.transform, part.mesh.vertices.data(), part.mesh.vertices.size());
        out.parts.push_back(std::move(part));
    }
    return out;
}

bool writeSurface(const std::string& path, exporter::MeshFormat format,
                  const ModelSurface& surface, std::string& error) {
    if (format == exporter::MeshFormat::Poly)
        return exporter::writePolyFile(path, surface.polygons, error);
    if (format != exporter::MeshFormat::Unknown)
        return exporter::writeMeshFile(path, surface.parts, error);
    // Another extension: VRML under that name, written beside it and renamed over it.
    const std::string temp = path + ".lumovar-" + std::to_string(::getpid()) + ".wrl";
    if (!exporter::writeMeshFile(temp, surface.parts, error)) return false;
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

bool saveRenderedMesh(const render::RenderJob& job, const std::string& path, std::string& error) {
    const model::Model* rendered = job.modelCopy();
    if (!job.isRendered() || rendered == nullptr) {
        error = "no rendered model";
        return false;
    }
    std::unique_ptr<model::Model> m = rendered->copyModel();
    if (!m || m->prepareFrame(job.frameIndex(), static_cast<float>(job.t1()),
                              static_cast<float>(job.t2()), static_cast<float>(job.t3())) == 0) {
        error = "out of memory";
        return false;
    }
    const exporter::MeshFormat format = exporter::meshFormatFromPath(path);
    ModelSurface surface = polygonizeModel(*m, format == exporter::MeshFormat::Poly);
    m->releaseFrame();
    if (surface.parts.empty() && surface.polygons.polygons.empty()) {
        error = "no object has a surface inside its box";
        return false;
    }
    return writeSurface(path, format, surface, error);
}

AppExporter::AppExporter(std::function<render::RenderJob*()> frameJob, render::TimeCurve& curve,
                         render::TempFilm& film)
    : frameJob_(std::move(frameJob)), curve_(curve), film_(film) {}

ExportState AppExporter::state() const {
    const render::RenderJob* job = frameJob_ ? frameJob_() : nullptr;
    return {job != nullptr && job->isRendered(), curve_.anyFrameRendered(), film_.isReady()};
}

std::string AppExporter::filmPath() const { return film_.path(); }

std::vector<std::string> AppExporter::seriesNames(const std::string& base,
                                                  const std::string& extension) const {
    const exporter::FrameSeriesSource rows = render::frameSeriesSource(curve_);
    std::vector<std::string> names;
    for (int k = 1; k <= rows.rowCount; ++k)
        if (rows.hasFrame(k))
            names.push_back(exporter::frameSeriesName(base, k, rows.rowCount, extension));
    return names;
}

bool AppExporter::saveFrameImage(const std::string& path, std::string& error) {
    render::RenderJob* job = frameJob_ ? frameJob_() : nullptr;
    if (job == nullptr) {
        error = "no rendered image";
        return false;
    }
    return exporter::saveImage(path, job->captureImage(), error);
}

bool AppExporter::saveModelMesh(const std::string& path, std::string& error) {
    render::RenderJob* job = frameJob_ ? frameJob_() : nullptr;
    if (job == nullptr) {
        error = "no rendered model";
        return false;
    }
    return saveRenderedMesh(*job, path, error);
}

bool AppExporter::saveFrameSeries(const std::string& base, const std::string& extension,
                                  std::string& error) {
    return exporter::saveFrameSeries(render::frameSeriesSource(curve_), base, extension, error);
}

bool AppExporter::copyFilm(const std::string& path, std::string& error) {
    return film_.copyTo(path, error);
}

} // namespace lv::dialogs
