#include "render/headless_frame.h"

#include <algorithm>
#include <cmath>

#include "render/frame_window.h"
#include "render/scene.h"

namespace lv::render {

namespace {

// The sphere of the scene's vertices in model coordinates (the scene's frame sits at look-at).
FrameBounds sceneBounds(const SceneView& scene, const model::ModelSettings& s) {
    const Vec3 lookAt{s.lookAt.x, s.lookAt.y, s.lookAt.z};
    auto forEachVertex = [&](const auto& visit) {
        for (const ObjectMesh& mesh : scene.meshes())
            for (std::size_t i = 0; i + 2 < mesh.vertices.size(); i += 3)
                visit(transformPoint(mesh.transform, {mesh.vertices[i],
                                                               mesh.vertices[i + 1],
                                                               mesh.vertices[i + 2]}) +
                      lookAt);
    };
    FrameBounds bounds;
    Vec3 lo, hi;
    forEachVertex([&](Vec3 p) {
        lo = bounds.empty ? p : Vec3{std::min(lo.x, p.x), std::min(lo.y, p.y),
                                             std::min(lo.z, p.z)};
        hi = bounds.empty ? p : Vec3{std::max(hi.x, p.x), std::max(hi.y, p.y),
                                             std::max(hi.z, p.z)};
        bounds.empty = false;
    });
    if (bounds.empty) return bounds;
    Vec3 c = (lo + hi) * 0.5;
    double r2 = 0.0;
    forEachVertex([&](Vec3 p) { r2 = std::max(r2, dot(p - c, p - c)); });
    bounds.min = {lo.x, lo.y, lo.z};
    bounds.max = {hi.x, hi.y, hi.z};
    bounds.centre = {c.x, c.y, c.z};
    bounds.radius = std::sqrt(r2);
    return bounds;
}

} // namespace

void FrameBounds::merge(const FrameBounds& other) {
    if (other.empty) return;
    if (empty) {
        *this = other;
        return;
    }
    for (int k = 0; k < 3; ++k) {
        min[k] = std::min(min[k], other.min[k]);
        max[k] = std::max(max[k], other.max[k]);
    }
    double d = std::sqrt((other.centre[0] - centre[0]) * (other.centre[0] - centre[0]) +
                         (other.centre[1] - centre[1]) * (other.centre[1] - centre[1]) +
                         (other.centre[2] - centre[2]) * (other.centre[2] - centre[2]));
    if (d + other.radius <= radius) return; // other lies inside
    if (d + radius <= other.radius) {       // this lies inside other
        centre = other.centre;
        radius = other.radius;
        return;
    }
    double r = (d + radius + other.radius) / 2;
    double shift = (r - radius) / d; // d > 0 here: equal centres fall in one of the cases above
    for (int k = 0; k < 3; ++k) centre[k] += (other.centre[k] - centre[k]) * shift;
    radius = r;
}

FrameOutcome renderFrame(model::Model& m, int frameIndex, double t1, double t2, double t3,
                         bool draw, FrameBounds* bounds,
                         const std::function<void(int done, int total)>& sliceDone,
                         const FailureText& describe) {
    FrameOutcome out;
    if (m.prepareFrame(frameIndex, static_cast<float>(t1), static_cast<float>(t2),
                       static_cast<float>(t3)) == 0) {
        out.drawError = "out of memory";
        return out;
    }
    int total = 0, done = 0;
    for (int i = 0; i < m.count(); ++i) total += std::max(0, m.object(i).grid[2]);
    SceneView scene;
    scene.create(m);
    bool built = scene.build(m, [&] {
        if (sliceDone) sliceDone(++done, total);
    });
    for (int i = 0; i < m.count(); ++i) {
        const model::EvalSlot& slot = m.slots()[static_cast<std::size_t>(i)];
        if (slot.failures > 0 && out.failures == 0) {
            out.firstError = describe(m.object(i), slot.firstError);
            out.failedObject = m.object(i).name;
        }
        out.failures += slot.failures;
    }
    if (out.failedObject.empty() && m.count() > 0) out.failedObject = m.object(0).name;
    m.releaseFrame();
    for (const ObjectMesh& mesh : scene.meshes()) out.polygons += mesh.polygonCount();
    if (!built) {
        out.drawError = "out of memory while polygonizing";
        return out;
    }
    if (bounds != nullptr) bounds->merge(sceneBounds(scene, m.settings));
    if (!draw) return out;
    const model::ImageSize& size = m.settings.polyImage;
    RgbaImage image;
    if (!renderSceneOffscreen(scene, size.width, size.height, image, out.drawError))
        return out;
    out.image = exporter::PackedDib::fromPixels(image.width, image.height, image.pixels,
                                                exporter::RowOrder::BottomUp,
                                                exporter::ChannelOrder::Rgba);
    return out;
}

void fitCamera(model::ModelSettings& settings, const FrameBounds& bounds) {
    if (bounds.empty) return;
    Vec3 d{settings.lookAt.x - settings.cameraPosition.x,
                   settings.lookAt.y - settings.cameraPosition.y,
                   settings.lookAt.z - settings.cameraPosition.z};
    double len = length(d);
    if (!(len > 1e-9)) d = {-1.0, -1.0, -1.0}, len = std::sqrt(3.0);
    d = d * (1.0 / len);
    // The half-field spans the picture's longer side; the shorter one sees proportionally less.
    const model::ImageSize& size = settings.polyImage;
    double shorter = std::min(size.width, size.height), longer = std::max(size.width, size.height);
    double halfAngle = std::atan(kHalfField * shorter / std::max(longer, 1.0));
    double radius = std::max(bounds.radius, 1e-3) * 1.1;
    double distance = std::max(radius / std::sin(halfAngle), radius + 2.0 * kFrontPlane);
    const std::array<double, 3>& c = bounds.centre;
    settings.lookAt = {static_cast<float>(c[0]), static_cast<float>(c[1]),
                       static_cast<float>(c[2])};
    settings.cameraPosition = {static_cast<float>(c[0] - d.x * distance),
                               static_cast<float>(c[1] - d.y * distance),
                               static_cast<float>(c[2] - d.z * distance)};
}

void tightenBox(model::ModelObject& object, const model::ModelSettings& settings,
                const FrameBounds& bounds) {
    if (bounds.empty) return;
    const model::BoundingBox& b = model::effectiveBox(object, settings);
    const double lo[3] = {b.xmin, b.ymin, b.zmin}, hi[3] = {b.xmax, b.ymax, b.zmax};
    float out[6];
    for (int k = 0; k < 3; ++k) {
        double cell = (hi[k] - lo[k]) / std::max(object.grid[static_cast<std::size_t>(k)], 1);
        out[k] = static_cast<float>(std::max(lo[k], bounds.min[k] - cell));
        out[k + 3] = static_cast<float>(std::min(hi[k], bounds.max[k] + cell));
        if (!(out[k] < out[k + 3])) return; // degenerate: keep the box as it was
    }
    object.customBox = 1;
    object.ownBox = {out[0], out[1], out[2], out[3], out[4], out[5]};
}


} // namespace lv::render
