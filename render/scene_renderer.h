#pragma once
// Draws a SceneView with OpenGL into the current context and its bound framebuffer. Needs an
// OpenGL 3.0 (or later, compatibility profile) context; knows nothing of EGL or windows, so the
// headless target and a GUI widget share it.
#include <string>

#include "render/scene.h"

namespace lv::render {

class SceneRenderer {
public:
    SceneRenderer() = default;
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;
    // Deletes the shader program: the context it was made in must be current.
    ~SceneRenderer();

    // Compiles the shaders in the current context. False with error set when they fail.
    bool initialize(std::string& error);
    bool isInitialized() const { return program_ != 0; }

    // Clears to the scene's background and draws its meshes for a width x height viewport
    // (already set by the caller). A scene that is not created draws black. Leaves the depth
    // test and the program as it found them.
    void draw(const SceneView& scene, int width, int height);

private:
    unsigned program_ = 0;
    int modelView_ = -1, projection_ = -1, normalMatrix_ = -1;
    int lightPosition_ = -1, colour_ = -1, lighting_ = -1;
    int position_ = -1, normal_ = -1, faceNormal_ = -1, litPoint_ = -1;
};

} // namespace lv::render
