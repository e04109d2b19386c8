#include "support/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdlib>

namespace testsupport {

namespace {

struct OffscreenContext {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
    std::string error;
};

OffscreenContext createContext(int width, int height) {
    OffscreenContext result;
    // Same rasteriser on every machine: llvmpipe, never a host GPU driver.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);

    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        result.error = "eglGetPlatformDisplayEXT is not available";
        return result;
    }
    result.display =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (result.display == EGL_NO_DISPLAY || !eglInitialize(result.display, nullptr, nullptr)) {
        result.error = "no surfaceless EGL display (is Mesa's libegl-mesa0 installed?)";
        return result;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        result.error = "eglBindAPI(EGL_OPENGL_API) failed";
        return result;
    }
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_DEPTH_SIZE,
                                       16,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(result.display, configAttributes, &config, 1, &configCount) ||
        configCount == 0) {
        result.error = "no EGL config with a pbuffer, RGB888 and a depth buffer";
        return result;
    }
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    result.surface = eglCreatePbufferSurface(result.display, config, surfaceAttributes);
    if (result.surface == EGL_NO_SURFACE) {
        result.error = "eglCreatePbufferSurface failed";
        return result;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                        2,
                                        EGL_CONTEXT_MINOR_VERSION,
                                        1,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                        EGL_NONE};
    result.context = eglCreateContext(result.display, config, EGL_NO_CONTEXT, contextAttributes);
    if (result.context == EGL_NO_CONTEXT) {
        result.error = "eglCreateContext for OpenGL 2.1 compatibility failed";
        return result;
    }
    if (!eglMakeCurrent(result.display, result.surface, result.surface, result.context)) {
        result.error = "eglMakeCurrent failed";
    }
    return result;
}

} // namespace

std::string makeEglContextCurrent(int width, int height) {
    static const OffscreenContext context = createContext(width, height);
    if (!context.error.empty()) {
        return context.error;
    }
    if (!eglMakeCurrent(context.display, context.surface, context.surface, context.context)) {
        return "eglMakeCurrent failed";
    }
    return "";
}

} // namespace testsupport
