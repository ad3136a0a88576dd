#include "dialogs/export_targets.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "export/image_files.h"
#include "export/mesh_files.h"
#include "export/model_mesh.h"
#include "model/grid_sampler.h"

namespace lv::dialogs {

namespace {

bool writeSurface(const std::string& path, exporter::MeshFormat format,
                  const exporter::ModelMesh& surface, std::string& error) {
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
    // Every object over its own box and grid, moved by its transform; objects whose surface does
    // not cross their box give nothing.
    exporter::ModelMeshOptions options;
    options.raw = format == exporter::MeshFormat::Poly;
    options.empty = exporter::EmptyObject::Skip;
    options.prune = model::samplingPrunes();
    const exporter::ModelMesh surface = exporter::polygonizeModel(*m, options);
    m->releaseFrame();
    if (surface.parts.empty() && surface.polygons.polygons.empty()) {
        error = "no object has a surface inside its box";
        return false;
    }
    return writeSurface(path, format, surface, error);
}

AppExporter::AppExporter(std::function<render::RenderJob*()> frameJob, render::TimeCurve& curve,
                         render::TempFilm& film,
                         std::function<const exporter::PackedDib*()> raytraced)
    : frameJob_(std::move(frameJob)), curve_(curve), film_(film),
      raytraced_(std::move(raytraced)) {}

ExportState AppExporter::state() const {
    const render::RenderJob* job = frameJob_ ? frameJob_() : nullptr;
    return {job != nullptr && job->isRendered(), curve_.anyFrameRendered(), film_.isReady(),
            raytraced_ && raytraced_() != nullptr};
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

bool AppExporter::saveRaytracedImage(const std::string& path, std::string& error) {
    const exporter::PackedDib* picture = raytraced_ ? raytraced_() : nullptr;
    if (picture == nullptr) {
        error = "no ray-traced picture";
        return false;
    }
    return exporter::imageFormatFromPath(path) == exporter::ImageFormat::Png
               ? exporter::writePngFile(path, *picture, error)
               : exporter::writeBitmapFile(path, *picture, error);
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
