#include "support/offscreen_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
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

bool makeOffscreenContextCurrent(int width, int height) {
    static const OffscreenContext context = createContext(width, height);
    if (!context.error.empty()) {
        ADD_FAILURE() << "no offscreen OpenGL context: " << context.error;
        return false;
    }
    return eglMakeCurrent(context.display, context.surface, context.surface, context.context);
}

Rgb readPixel(int x, int y) {
    unsigned char pixel[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return {pixel[0], pixel[1], pixel[2]};
}

void writeColourBufferPpm(const std::string& path, int width, int height) {
    std::vector<unsigned char> rows(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y) {
        std::fwrite(&rows[static_cast<size_t>(y) * width * 3], 1, static_cast<size_t>(width) * 3,
                    file);
    }
    std::fclose(file);
}

void GlTest::SetUp() {
    ASSERT_TRUE(makeOffscreenContextCurrent());
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    glLineWidth(1);
    while (glGetError() != GL_NO_ERROR) {
    }
}

} // namespace testsupport
