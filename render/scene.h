#pragma once
// The scene of one render job: one mesh per model object, polygonized from the object's function
// over its box, placed by the object's transform under a model frame at the look-at point, two
// fixed lights, a background colour and a camera. Building it needs no OpenGL; SceneRenderer
// (scene_renderer.h) draws it into whatever context is current, offscreen or in a window.
//
// Space: the model's right-handed coordinates throughout; positions, directions and rotations
// are given in that space (no mirrored z anywhere).
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "export/grid_mesh.h"
#include "model/model.h"
#include "render/scene_math.h"

namespace lv::render {

enum class FillMode { Points, Wireframe, Solid };

struct RenderQuality {
    FillMode fill = FillMode::Solid;
    bool lighting = true;
    bool gouraud = false;
    bool dither = false; // stored; the renderer has no use for it
};

// The quality the model's settings ask for: kind of surface 0 points, 1 wireframe, anything
// else solid; flat shading 0 means Gouraud.
RenderQuality renderQualityOf(const model::ModelSettings& settings);

// The fixed lights: a point light of grey 0.5 and an ambient light of grey 0.2.
constexpr double kPointLightGrey = 0.5;
constexpr double kAmbientGrey = 0.2;
// The point light's position in model space.
constexpr Vec3 kLightPosition{10.0, 10.0, 10.0};
// Perspective: half-field 0.5 across the larger side of the picture at the front plane.
constexpr double kHalfField = 0.5;
constexpr double kFrontPlane = 1.0;
constexpr double kBackPlane = 5000.0;

// The polygons of one object and the arrays drawn from them.
struct ObjectMesh {
    // As emitted: vertices (x, y, z) of all polygons one after another; polygonSizes 3 or 4.
    std::vector<float> vertices;
    std::vector<std::uint8_t> polygonSizes;
    // The welded vertex of each emitted one (GridWelder::vertexOf), shared where polygons meet;
    // empty when the polygons were added without a welder: finishMesh then welds equal points.
    std::vector<std::uint32_t> welded;
    // Drawing arrays (finishMesh): triangles, three floats per vertex in each array.
    std::vector<float> positions;
    std::vector<float> normals;     // the normal lit with: face normal (flat) or smooth
    std::vector<float> faceNormals; // the polygon's own normal: decides which side is seen
    std::vector<float> litPoints;   // where the light is evaluated: centroid (flat) or vertex
    std::vector<std::uint32_t> edges; // pairs of indices into the triangle vertices
    Mat4 transform;                   // object space to model frame
    std::array<float, 3> colour{0.0f, 1.0f, 0.0f};

    int polygonCount() const { return static_cast<int>(polygonSizes.size()); }
    int triangleVertexCount() const { return static_cast<int>(positions.size() / 3); }
    // Appends one polygon of count vertices (3 or 4; others and non-finite ones are dropped).
    void addPolygon(const double* xs, const double* ys, const double* zs, int count);
    // The same, numbering the vertices of a kept polygon through welder into welded.
    void addPolygon(const double* xs, const double* ys, const double* zs, int count,
                    exporter::GridWelder& welder);
};

// Makes mesh's drawing arrays from its polygons: triangles (quads split along 0-2), polygon
// edges, and normals for flat shading (face normals) or Gouraud shading (normals averaged over
// the polygons that meet at a welded vertex, each polygon's copy turned to its own side).
void finishMesh(ObjectMesh& mesh, bool gouraud);

// The object transform relative to the model frame: scale by |s|, rotate about X, then Y, then
// Z by the angles in degrees, translate by translation - look-at.
Mat4 objectTransform(const model::Transform& transform, const model::Vec3& lookAt);

class SceneView {
public:
    // Takes the picture settings of model: background, quality, camera at its position looking
    // at the look-at point with up from the sky vector, model frame at the look-at point.
    // Forgets any previous meshes. Returns true (kept as a result for future devices).
    bool create(const model::Model& model);
    // Polygonizes every object of model through its prepared frame (objects' own or the
    // default box, their grid counts) into one mesh each, calling sliceDone after every slice.
    // stopRequested (when given) is asked after every slice; true ends the build there.
    // False when the scene was not created, the frame is not prepared, memory ran out or the
    // build was stopped; the meshes made so far stay.
    bool build(model::Model& model, const std::function<void()>& sliceDone,
               const std::function<bool()>& stopRequested = {});
    // Forgets meshes and settings; not created afterwards.
    void reset();
    bool isCreated() const { return created_; }

    const std::vector<ObjectMesh>& meshes() const { return meshes_; }
    const RenderQuality& quality() const { return quality_; }
    std::array<float, 3> background() const { return background_; }
    const Mat4& modelFrame() const { return modelFrame_; }
    Vec3 cameraPosition() const { return cameraPosition_; }
    Vec3 cameraDirection() const { return cameraDirection_; }
    Vec3 cameraUp() const { return cameraUp_; }
    // World to camera, and camera to clip space for a width x height picture.
    Mat4 viewMatrix() const;
    static Mat4 projectionMatrix(int width, int height);

    // Mouse rotation for a drag of (dx, dy) pixels in a width x height window: turns the model
    // frame about its origin, about the camera's up vector by dx / width x 6.28 radians, or,
    // when |dy| dominates (ties included), about direction x up by dy / height x 6.28.
    void rotateByMouse(int dx, int dy, int width, int height);
    // Mouse zoom for a vertical drag of dy pixels: moves the camera along the line to the model
    // frame's origin by 99 x dy / height, keeping its distance within 1..100.
    void zoomByMouse(int dy, int height);
    // Puts the model frame and the camera back where create placed them.
    void resetView();

private:
    bool created_ = false;
    RenderQuality quality_;
    std::array<float, 3> background_{1.0f, 1.0f, 1.0f};
    Mat4 modelFrame_;
    Vec3 cameraPosition_;
    Vec3 cameraDirection_;
    Vec3 cameraUp_;
    Mat4 initialModelFrame_;
    Vec3 initialCameraPosition_;
    std::vector<ObjectMesh> meshes_;
};

} // namespace lv::render
