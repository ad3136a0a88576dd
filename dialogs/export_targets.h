#pragma once
// The application's side of the export dialog: the single-frame job, the time curve's frames
// and the temporary film as an Exporter (export_rules.h), and the mesh file of a rendered frame.
// Qt-free; the render worker must be idle while it is used.
#include <functional>
#include <string>

#include "dialogs/export_rules.h"
#include "export/packed_dib.h"
#include "model/model.h"
#include "render/film.h"
#include "render/render_job.h"
#include "render/time_curve.h"

namespace lv::dialogs {

// Polygonizes job's model copy again at the job's frame and time values, every object over its
// own box and grid, moved by its transform and oriented outward, and writes the meshes to path
// through the mesh-file writers: the format its extension names (.wrl, .stl, .obj, .ply and
// the others the writers know), VRML for any other extension. False with error set, and path
// untouched, when the job has no rendered model, no object has a surface in its box, or the
// file cannot be written.
bool saveRenderedMesh(const render::RenderJob& job, const std::string& path, std::string& error);

class AppExporter : public Exporter {
public:
    // frameJob: where the single-frame job is found (it may be replaced or absent: null);
    // raytraced: where the latest ray-traced picture is found (null or not given: none).
    AppExporter(std::function<render::RenderJob*()> frameJob, render::TimeCurve& curve,
                render::TempFilm& film,
                std::function<const exporter::PackedDib*()> raytraced = {});

    ExportState state() const override;
    std::string filmPath() const override;
    std::vector<std::string> seriesNames(const std::string& base,
                                         const std::string& extension) const override;
    bool saveFrameImage(const std::string& path, std::string& error) override;
    bool saveRaytracedImage(const std::string& path, std::string& error) override;
    bool saveModelMesh(const std::string& path, std::string& error) override;
    bool saveFrameSeries(const std::string& base, const std::string& extension,
                         std::string& error) override;
    bool copyFilm(const std::string& path, std::string& error) override;

private:
    std::function<render::RenderJob*()> frameJob_;
    render::TimeCurve& curve_;
    render::TempFilm& film_;
    std::function<const exporter::PackedDib*()> raytraced_;
};

} // namespace lv::dialogs
