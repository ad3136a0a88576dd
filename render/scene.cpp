#include "render/scene.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "export/object_polygons.h"
#include "model/grid_sampler.h"

namespace lv::render {

namespace {

constexpr double kDegreesToRadians = 0.017453292519944444;

Vec3 toVec(const model::Vec3& v) { return {v.x, v.y, v.z}; }

float channelOf(int component) {
    return static_cast<float>(std::clamp(model::channel(component), 0.0, 1.0));
}

Vec3 vertexAt(const std::vector<float>& v, std::size_t i) {
    return {v[i * 3], v[i * 3 + 1], v[i * 3 + 2]};
}

void push(std::vector<float>& out, Vec3 v) {
    out.push_back(static_cast<float>(v.x));
    out.push_back(static_cast<float>(v.y));
    out.push_back(static_cast<float>(v.z));
}

// Newell's normal of the polygon of count vertices starting at vertex first.
Vec3 newellNormal(const std::vector<float>& v, std::size_t first, int count) {
    return geom::newellNormal(
        count, [&](int i) { return vertexAt(v, first + static_cast<std::size_t>(i)); });
}

// The welded vertex of every emitted one: the mesh's own numbering, or, for polygons added
// without a welder, one through a welder without grid, which joins only equal points.
std::vector<std::uint32_t> weldedVertices(const ObjectMesh& mesh) {
    const std::size_t vertexCount = mesh.vertices.size() / 3;
    if (mesh.welded.size() == vertexCount) return mesh.welded;
    exporter::GridWelder equalPoints(exporter::MeshGrid{0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::vector<std::uint32_t> welded(vertexCount);
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const Vec3 at = vertexAt(mesh.vertices, i);
        welded[i] = equalPoints.vertexOf(at.x, at.y, at.z);
    }
    return welded;
}

// Smooth normal of every emitted vertex: the area-weighted sum of the normals of the polygons
// that share its welded vertex, each turned to agree with the sum so far, since neighbouring
// polygons may wind in opposite senses.
std::vector<Vec3> smoothNormals(const ObjectMesh& mesh, const std::vector<Vec3>& faceNormals) {
    const std::vector<std::uint32_t> welded = weldedVertices(mesh);
    std::vector<Vec3> sums;
    std::size_t vertex = 0;
    for (std::size_t p = 0; p < mesh.polygonSizes.size(); ++p)
        for (int i = 0; i < mesh.polygonSizes[p]; ++i, ++vertex) {
            const std::size_t w = welded[vertex];
            if (w >= sums.size()) sums.resize(w + 1);
            Vec3& sum = sums[w];
            sum = dot(sum, faceNormals[p]) < 0.0 ? sum - faceNormals[p] : sum + faceNormals[p];
        }
    std::vector<Vec3> normals(welded.size());
    for (std::size_t i = 0; i < welded.size(); ++i) normals[i] = normalized(sums[welded[i]]);
    return normals;
}

// Appends the triangle vertex for emitted vertex i of polygon p.
void appendCorner(ObjectMesh& mesh, std::size_t vertex, Vec3 faceNormal, Vec3 normal,
                  Vec3 litPoint) {
    push(mesh.positions, vertexAt(mesh.vertices, vertex));
    push(mesh.normals, normal);
    push(mesh.faceNormals, faceNormal);
    push(mesh.litPoints, litPoint);
}

} // namespace

RenderQuality renderQualityOf(const model::ModelSettings& settings) {
    RenderQuality q;
    q.fill = settings.surfaceKind == model::SurfacePoints      ? FillMode::Points
             : settings.surfaceKind == model::SurfaceWireframe ? FillMode::Wireframe
                                                                : FillMode::Solid;
    q.lighting = settings.lightingOn != 0;
    q.gouraud = settings.flatShading == 0;
    q.dither = settings.ditheringOn != 0;
    return q;
}

void ObjectMesh::addPolygon(const double* xs, const double* ys, const double* zs, int count) {
    if (count != 3 && count != 4) return;
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i]) || !std::isfinite(zs[i])) return;
    for (int i = 0; i < count; ++i) {
        vertices.push_back(static_cast<float>(xs[i]));
        vertices.push_back(static_cast<float>(ys[i]));
        vertices.push_back(static_cast<float>(zs[i]));
    }
    polygonSizes.push_back(static_cast<std::uint8_t>(count));
}

void ObjectMesh::addPolygon(const double* xs, const double* ys, const double* zs, int count,
                            exporter::GridWelder& welder) {
    const std::size_t before = polygonSizes.size();
    addPolygon(xs, ys, zs, count);
    if (polygonSizes.size() == before) return;
    for (int i = 0; i < count; ++i) welded.push_back(welder.vertexOf(xs[i], ys[i], zs[i]));
}

void finishMesh(ObjectMesh& mesh, bool gouraud) {
    mesh.positions.clear();
    mesh.normals.clear();
    mesh.faceNormals.clear();
    mesh.litPoints.clear();
    mesh.edges.clear();
    if (mesh.polygonSizes.empty()) return;
    std::vector<Vec3> faceNormals(mesh.polygonSizes.size());
    std::size_t first = 0;
    for (std::size_t p = 0; p < mesh.polygonSizes.size(); ++p) {
        faceNormals[p] = newellNormal(mesh.vertices, first, mesh.polygonSizes[p]);
        first += mesh.polygonSizes[p];
    }
    std::vector<Vec3> smooth;
    if (gouraud) smooth = smoothNormals(mesh, faceNormals);
    first = 0;
    for (std::size_t p = 0; p < mesh.polygonSizes.size(); ++p) {
        int count = mesh.polygonSizes[p];
        Vec3 face = normalized(faceNormals[p]);
        Vec3 centroid;
        for (int i = 0; i < count; ++i)
            centroid = centroid + vertexAt(mesh.vertices, first + static_cast<std::size_t>(i));
        centroid = centroid * (1.0 / count);
        // Triangles (0, 1, 2) and, for a quad, (0, 2, 3); edges follow the polygon's outline.
        static const int kCorners[2][3] = {{0, 1, 2}, {0, 2, 3}};
        auto base = static_cast<std::uint32_t>(mesh.positions.size() / 3);
        for (int t = 0; t < count - 2; ++t)
            for (int c : kCorners[t]) {
                std::size_t vertex = first + static_cast<std::size_t>(c);
                Vec3 normal = face;
                if (gouraud) normal = dot(smooth[vertex], face) < 0.0 ? -smooth[vertex]
                                                                       : smooth[vertex];
                appendCorner(mesh, vertex, face, normal,
                             gouraud ? vertexAt(mesh.vertices, vertex) : centroid);
            }
        const std::vector<std::uint32_t> outline =
            count == 3 ? std::vector<std::uint32_t>{0, 1, 1, 2, 2, 0}
                       : std::vector<std::uint32_t>{0, 1, 1, 2, 4, 5, 5, 3};
        for (std::uint32_t i : outline) mesh.edges.push_back(base + i);
        first += static_cast<std::size_t>(count);
    }
}

Mat4 objectTransform(const model::Transform& t, const model::Vec3& lookAt) {
    Vec3 scale{std::fabs(t.scale[0]), std::fabs(t.scale[1]), std::fabs(t.scale[2])};
    Vec3 offset{static_cast<double>(t.translate[0]) - lookAt.x,
                static_cast<double>(t.translate[1]) - lookAt.y,
                static_cast<double>(t.translate[2]) - lookAt.z};
    return translation(offset) * rotation({0, 0, 1}, t.rotate[2] * kDegreesToRadians) *
           rotation({0, 1, 0}, t.rotate[1] * kDegreesToRadians) *
           rotation({1, 0, 0}, t.rotate[0] * kDegreesToRadians) * scaling(scale);
}

bool SceneView::create(const model::Model& model) {
    const model::ModelSettings& s = model.settings;
    meshes_.clear();
    quality_ = renderQualityOf(s);
    background_ = {channelOf(s.polyBackground.red), channelOf(s.polyBackground.green),
                   channelOf(s.polyBackground.blue)};
    modelFrame_ = translation(toVec(s.lookAt));
    cameraPosition_ = toVec(s.cameraPosition);
    cameraDirection_ = toVec(s.lookAt) - cameraPosition_;
    cameraUp_ = cross(cross(cameraDirection_, toVec(s.sky)), cameraDirection_);
    initialModelFrame_ = modelFrame_;
    initialCameraPosition_ = cameraPosition_;
    created_ = true;
    return true;
}

bool SceneView::build(model::Model& model, const std::function<void()>& sliceDone,
                      const std::function<bool()>& stopRequested) {
    if (!created_ || !model.framePrepared() ||
        model.slots().size() != static_cast<std::size_t>(model.count()))
        return false;
    try {
        meshes_.clear();
        meshes_.reserve(static_cast<std::size_t>(model.count()));
        for (int i = 0; i < model.count(); ++i) {
            const model::ModelObject& object = model.object(i);
            meshes_.emplace_back();
            ObjectMesh& mesh = meshes_.back();
            // The same polygons as the mesh export's, pruned unless pruning is switched off;
            // Gouraud shading averages normals over the vertices the export's welder joins.
            exporter::GridWelder welder(exporter::objectMeshGrid(object, model.settings));
            const bool weld = quality_.gouraud;
            auto emit = [&](const double* xs, const double* ys, const double* zs, int n) {
                if (weld)
                    mesh.addPolygon(xs, ys, zs, n, welder);
                else
                    mesh.addPolygon(xs, ys, zs, n);
            };
            auto slice = [&sliceDone](int, int) {
                if (sliceDone) sliceDone();
            };
            auto stop = [&stopRequested] { return stopRequested && stopRequested(); };
            exporter::polygonizeObject(model, i, {model::samplingPrunes(), true}, emit, slice,
                                       stop);
            if (stop()) return false;
            finishMesh(mesh, quality_.gouraud);
            mesh.colour = {channelOf(object.polyColour.red), channelOf(object.polyColour.green),
                           channelOf(object.polyColour.blue)};
            mesh.transform = objectTransform(object.transform, model.settings.lookAt);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void SceneView::reset() {
    created_ = false;
    meshes_.clear();
    meshes_.shrink_to_fit();
    modelFrame_ = Mat4{};
}

void SceneView::resetView() {
    modelFrame_ = initialModelFrame_;
    cameraPosition_ = initialCameraPosition_;
}

Mat4 SceneView::viewMatrix() const {
    return render::viewMatrix(cameraPosition_, cameraDirection_, cameraUp_);
}

Mat4 SceneView::projectionMatrix(int width, int height) {
    double w = std::max(width, 1), h = std::max(height, 1);
    double larger = std::max(w, h);
    double right = kHalfField * kFrontPlane * w / larger;
    double top = kHalfField * kFrontPlane * h / larger;
    return frustum(right, top, kFrontPlane, kBackPlane);
}

void SceneView::rotateByMouse(int dx, int dy, int width, int height) {
    if (width <= 0 || height <= 0) return;
    double a = static_cast<double>(dx) / width * 6.28;
    double b = static_cast<double>(dy) / height * 6.28;
    Vec3 d = normalized(cameraDirection_);
    Vec3 u = normalized(cameraUp_);
    Vec3 p = transformPoint(modelFrame_, {});
    Mat4 turn = std::fabs(b) >= std::fabs(a) ? rotation(cross(d, u), b) : rotation(u, a);
    if (length(cross(d, u)) == 0.0) return;
    modelFrame_ = translation(p) * turn * translation(-p) * modelFrame_;
}

void SceneView::zoomByMouse(int dy, int height) {
    if (height <= 0) return;
    Vec3 origin = transformPoint(modelFrame_, {});
    Vec3 v = cameraPosition_ - origin;
    double l = length(v);
    if (!(l > 0.0) || !std::isfinite(l)) return;
    double next = std::clamp(l + 99.0 * dy / height, 1.0, 100.0);
    cameraPosition_ = origin + v * (next / l);
}

} // namespace lv::render
