#include "render/gl_context.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstring>
#include <mutex>

namespace lv::render {

namespace {

// The process-wide headless context with its framebuffer. It lives until the process ends: the
// driver's own exit handlers tear it down, and destroying it from a static destructor could run
// after them.
struct HeadlessGl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    int width = 0;
    int height = 0;
    std::string renderer;
};

std::mutex gMutex;
HeadlessGl* gGl = nullptr;
bool gTried = false;
std::string gSetupError;

std::string eglErrorText(const char* what) {
    char code[32];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
    return std::string(what) + " failed (EGL error " + code + ")";
}

bool hasClientExtension(const char* name) {
    const char* list = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!list) return false;
    std::size_t length = std::strlen(name);
    for (const char* p = std::strstr(list, name); p; p = std::strstr(p + 1, name))
        if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) return true;
    return false;
}

EGLDisplay openSurfacelessDisplay(std::string& error) {
    if (!hasClientExtension("EGL_MESA_platform_surfaceless")) {
        error = "EGL has no surfaceless platform (EGL_MESA_platform_surfaceless)";
        return EGL_NO_DISPLAY;
    }
    EGLDisplay display =
        eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        error = eglErrorText("eglGetPlatformDisplayEXT");
        return EGL_NO_DISPLAY;
    }
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) {
        error = eglErrorText("eglInitialize");
        return EGL_NO_DISPLAY;
    }
    return display;
}

// A desktop OpenGL context with the compatibility profile, current without any surface.
EGLContext createContext(EGLDisplay display, std::string& error) {
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = eglErrorText("eglBindAPI(OpenGL)");
        return EGL_NO_CONTEXT;
    }
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
        error = "no EGL configuration for desktop OpenGL";
        return EGL_NO_CONTEXT;
    }
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        error = eglErrorText("eglCreateContext");
        return EGL_NO_CONTEXT;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = eglErrorText("eglMakeCurrent without a surface");
        eglDestroyContext(display, context);
        return EGL_NO_CONTEXT;
    }
    return context;
}

// Creates the context on first use; the caller holds gMutex.
HeadlessGl* headless(std::string& error) {
    if (gTried) {
        error = gSetupError;
        return gGl;
    }
    gTried = true;
    EGLDisplay display = openSurfacelessDisplay(gSetupError);
    EGLContext context =
        display == EGL_NO_DISPLAY ? EGL_NO_CONTEXT : createContext(display, gSetupError);
    if (context != EGL_NO_CONTEXT && epoxy_gl_version() < 30 &&
        !epoxy_has_gl_extension("GL_ARB_framebuffer_object")) {
        gSetupError = "OpenGL has no framebuffer objects";
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display, context);
        context = EGL_NO_CONTEXT;
    }
    if (context == EGL_NO_CONTEXT) {
        if (display != EGL_NO_DISPLAY) eglTerminate(display);
        gSetupError = "no headless OpenGL: " + gSetupError;
        error = gSetupError;
        return nullptr;
    }
    gGl = new HeadlessGl;
    gGl->display = display;
    gGl->context = context;
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    gGl->renderer = renderer ? renderer : "";
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    return gGl;
}

void deleteFramebuffer(HeadlessGl& gl) {
    if (gl.framebuffer) glDeleteFramebuffers(1, &gl.framebuffer);
    if (gl.colour) glDeleteRenderbuffers(1, &gl.colour);
    if (gl.depth) glDeleteRenderbuffers(1, &gl.depth);
    gl.framebuffer = gl.colour = gl.depth = 0;
    gl.width = gl.height = 0;
}

// Makes the framebuffer width x height (colour RGBA8, depth 24) and binds it.
bool prepareFramebuffer(HeadlessGl& gl, int width, int height, std::string& error) {
    if (gl.framebuffer && gl.width == width && gl.height == height) {
        glBindFramebuffer(GL_FRAMEBUFFER, gl.framebuffer);
        return true;
    }
    deleteFramebuffer(gl);
    glGenFramebuffers(1, &gl.framebuffer);
    glGenRenderbuffers(1, &gl.colour);
    glGenRenderbuffers(1, &gl.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, gl.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, gl.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, gl.framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, gl.colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, gl.depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                " offscreen framebuffer";
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        deleteFramebuffer(gl);
        return false;
    }
    gl.width = width;
    gl.height = height;
    return true;
}

void readPixels(int width, int height, RgbaImage& out) {
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out.pixels.data());
}

// The EGL context that was current on the calling thread before a headless draw (a window
// system's context on a GUI thread, say), made current again afterwards.
struct PreviousContext {
    EGLDisplay display = eglGetCurrentDisplay();
    EGLContext context = eglGetCurrentContext();
    EGLSurface draw = eglGetCurrentSurface(EGL_DRAW);
    EGLSurface read = eglGetCurrentSurface(EGL_READ);

    void restore(const HeadlessGl& gl) const {
        if (context != EGL_NO_CONTEXT && display != EGL_NO_DISPLAY)
            eglMakeCurrent(display, draw, read, context);
        else
            eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
};

} // namespace

bool renderOffscreen(int width, int height, const std::function<void()>& draw, RgbaImage& out,
                     std::string& error) {
    if (!isPictureSize(width, height)) {
        error = "image size " + sizeOutsideText(width, height);
        return false;
    }
    std::lock_guard<std::mutex> lock(gMutex);
    HeadlessGl* gl = headless(error);
    if (!gl) return false;
    PreviousContext previous;
    if (!eglMakeCurrent(gl->display, EGL_NO_SURFACE, EGL_NO_SURFACE, gl->context)) {
        error = eglErrorText("eglMakeCurrent");
        return false;
    }
    bool ok = prepareFramebuffer(*gl, width, height, error);
    if (ok) {
        glViewport(0, 0, width, height);
        if (draw) draw();
        glFinish();
        readPixels(width, height, out);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    previous.restore(*gl);
    return ok;
}

bool headlessGlAvailable(std::string& error) {
    std::lock_guard<std::mutex> lock(gMutex);
    return headless(error) != nullptr;
}

std::string headlessGlRenderer() {
    std::lock_guard<std::mutex> lock(gMutex);
    std::string error;
    HeadlessGl* gl = headless(error);
    return gl ? gl->renderer : std::string();
}

} // namespace lv::render
