#include "dialogs/export_targets.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "export/image_files.h"
#include "export/mesh_files.h"
#include "export/polygonize_mesh.h"
#include "render/scene.h"

namespace lv::dialogs {

namespace {

// The polygons of every object of a prepared model, moved by their transforms and oriented
// outward, with the colour of the first object: what the mesh writers take.
struct ModelSurface {
    exporter::Mesh mesh;
    exporter::MeshWriteOptions options;
};

ModelSurface polygonizeModel(model::Model& m) {
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
        exporter::Mesh mesh = exporter::polygonizeToMesh(grid, sample);
        exporter::orientOutward(mesh, sample);
        const render::Mat4 t = render::objectTransform(o.transform, {0.0, 0.0, 0.0});
        for (exporter::MeshPolygon& p : mesh.polygons) {
            for (int k = 0; k < p.count; ++k) {
                const render::Vec3 v =
                    render::transformPoint(t, {p.v[k].x, p.v[k].y, p.v[k].z});
                p.v[k] = {v.x, v.y, v.z};
            }
            out.mesh.polygons.push_back(p);
        }
    }
    if (m.count() > 0) {
        const model::Rgb& c = m.object(0).polyColour;
        out.options.color = {c.red, c.green, c.blue};
    }
    return out;
}

bool writeSurface(const std::string& path, const ModelSurface& surface, std::string& error) {
    if (exporter::meshFormatFromPath(path) != exporter::MeshFormat::Unknown)
        return exporter::writeMeshFile(path, surface.mesh, surface.options, error);
    // Another extension: VRML under that name, written beside it and renamed over it.
    const std::string temp = path + ".lumovar-" + std::to_string(::getpid()) + ".wrl";
    if (!exporter::writeMeshFile(temp, surface.mesh, surface.options, error)) return false;
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
    ModelSurface surface = polygonizeModel(*m);
    m->releaseFrame();
    if (surface.mesh.polygons.empty()) {
        error = "no object has a surface inside its box";
        return false;
    }
    return writeSurface(path, surface, error);
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
