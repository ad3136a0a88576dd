#include "render/scene_renderer.h"

#include <epoxy/gl.h>

#include <vector>

namespace lv::render {

namespace {

// Lighting per vertex (Gouraud and flat alike: for flat shading every vertex of a polygon
// carries the face normal and the centroid, so the colour is the same over the polygon). The
// polygon's face normal decides which side the viewer sees; the lit normal is turned to it, so
// both sides of every polygon are lit whatever its winding.
const char* kVertexShader = R"(#version 130
in vec3 position;
in vec3 normal;
in vec3 faceNormal;
in vec3 litPoint;
uniform mat4 modelView;
uniform mat4 projection;
uniform mat3 normalMatrix;
uniform vec3 lightPosition;
uniform vec3 colour;
uniform bool lighting;
out vec3 shade;
const float pointLight = 0.5;
const float ambient = 0.2;
void main() {
    gl_Position = projection * (modelView * vec4(position, 1.0));
    if (!lighting) {
        shade = colour;
        return;
    }
    vec3 lit = (modelView * vec4(litPoint, 1.0)).xyz;
    vec3 face = normalMatrix * faceNormal;
    vec3 n = normalMatrix * normal;
    if (dot(face, -lit) < 0.0) n = -n;
    float len = length(n);
    n = len > 0.0 ? n / len : vec3(0.0);
    vec3 toLight = lightPosition - lit;
    float toLightLen = length(toLight);
    float diffuse = toLightLen > 0.0 ? max(dot(n, toLight / toLightLen), 0.0) : 0.0;
    shade = colour * (ambient + pointLight * diffuse);
}
)";

const char* kFragmentShader = R"(#version 130
in vec3 shade;
void main() {
    gl_FragColor = vec4(min(shade, vec3(1.0)), 1.0);
}
)";

GLuint compileShader(GLenum kind, const char* source, std::string& error) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    char log[1024] = {0};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    error = std::string("shader compilation failed: ") + log;
    glDeleteShader(shader);
    return 0;
}

void setMatrix4(GLint location, const Mat4& m) {
    float f[16];
    for (int i = 0; i < 16; ++i) f[i] = static_cast<float>(m.m[static_cast<std::size_t>(i)]);
    glUniformMatrix4fv(location, 1, GL_FALSE, f);
}

void setMatrix3(GLint location, const std::array<double, 9>& m) {
    float f[9];
    for (int i = 0; i < 9; ++i) f[i] = static_cast<float>(m[static_cast<std::size_t>(i)]);
    glUniformMatrix3fv(location, 1, GL_FALSE, f);
}

void attribute(GLint location, const std::vector<float>& data) {
    if (location < 0) return;
    glEnableVertexAttribArray(static_cast<GLuint>(location));
    glVertexAttribPointer(static_cast<GLuint>(location), 3, GL_FLOAT, GL_FALSE, 0, data.data());
}

void disable(GLint location) {
    if (location >= 0) glDisableVertexAttribArray(static_cast<GLuint>(location));
}

} // namespace

SceneRenderer::~SceneRenderer() {
    if (program_) glDeleteProgram(program_);
}

bool SceneRenderer::initialize(std::string& error) {
    if (program_) return true;
    if (epoxy_gl_version() < 30) {
        error = "OpenGL 3.0 or later is needed";
        return false;
    }
    GLuint vertex = compileShader(GL_VERTEX_SHADER, kVertexShader, error);
    if (!vertex) return false;
    GLuint fragment = compileShader(GL_FRAGMENT_SHADER, kFragmentShader, error);
    if (!fragment) {
        glDeleteShader(vertex);
        return false;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = {0};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        error = std::string("shader linking failed: ") + log;
        glDeleteProgram(program);
        return false;
    }
    program_ = program;
    modelView_ = glGetUniformLocation(program, "modelView");
    projection_ = glGetUniformLocation(program, "projection");
    normalMatrix_ = glGetUniformLocation(program, "normalMatrix");
    lightPosition_ = glGetUniformLocation(program, "lightPosition");
    colour_ = glGetUniformLocation(program, "colour");
    lighting_ = glGetUniformLocation(program, "lighting");
    position_ = glGetAttribLocation(program, "position");
    normal_ = glGetAttribLocation(program, "normal");
    faceNormal_ = glGetAttribLocation(program, "faceNormal");
    litPoint_ = glGetAttribLocation(program, "litPoint");
    return true;
}

void SceneRenderer::draw(const SceneView& scene, int width, int height) {
    std::array<float, 3> bg = scene.isCreated() ? scene.background() : std::array<float, 3>{};
    glClearColor(bg[0], bg[1], bg[2], 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!scene.isCreated() || !program_) return;

    GLboolean depthWasOn = glIsEnabled(GL_DEPTH_TEST);
    GLint previousProgram = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    glUseProgram(program_);

    Mat4 view = scene.viewMatrix();
    setMatrix4(projection_, SceneView::projectionMatrix(width, height));
    Vec3 light = transformPoint(view, kLightPosition);
    glUniform3f(lightPosition_, static_cast<float>(light.x), static_cast<float>(light.y),
                static_cast<float>(light.z));
    glUniform1i(lighting_, scene.quality().lighting ? 1 : 0);
    // The frame's bound buffers would turn the client pointers below into offsets.
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

    for (const ObjectMesh& mesh : scene.meshes()) {
        if (mesh.positions.empty()) continue;
        Mat4 modelView = view * scene.modelFrame() * mesh.transform;
        setMatrix4(modelView_, modelView);
        setMatrix3(normalMatrix_, normalMatrix(modelView));
        glUniform3f(colour_, mesh.colour[0], mesh.colour[1], mesh.colour[2]);
        attribute(position_, mesh.positions);
        attribute(normal_, mesh.normals);
        attribute(faceNormal_, mesh.faceNormals);
        attribute(litPoint_, mesh.litPoints);
        switch (scene.quality().fill) {
        case FillMode::Points:
            glDrawArrays(GL_POINTS, 0, mesh.triangleVertexCount());
            break;
        case FillMode::Wireframe:
            glDrawElements(GL_LINES, static_cast<GLsizei>(mesh.edges.size()), GL_UNSIGNED_INT,
                           mesh.edges.data());
            break;
        case FillMode::Solid:
            glDrawArrays(GL_TRIANGLES, 0, mesh.triangleVertexCount());
            break;
        }
        disable(position_);
        disable(normal_);
        disable(faceNormal_);
        disable(litPoint_);
    }
    glUseProgram(static_cast<GLuint>(previousProgram));
    if (!depthWasOn) glDisable(GL_DEPTH_TEST);
}

} // namespace lv::render
