// One-time OpenGL set-up, the projection that follows the window size, and swap control.
// Not here: the window and its context (shell/), the font lists (text.cpp), the frame (frame.cpp).
#include "render/render.h"

#include "scene/scene_tree.h"
#include "shell/app_state.h"

#include <cstring>

float fieldOfView = 45.0f;
float nearPlane = 1.0f;
float farPlane = 100.0f;
bool swapInterval = true;
SwapIntervalProc swapIntervalProc = nullptr;

bool initScene() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.2f, 0.2f, 0.2f, 0.5f);
    glClearDepth(1.0);
    // Texturing and blending are switched on here with no texture and the default blend function;
    // the first frame's caption pass switches both off for good.
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    buildFont();
    enableSwapControl(swapInterval);

    // The caller reports an allocation failure; drawing a half-built tree is still safe.
    return buildSceneTree();
}

void resizeScene(int width, int height) {
    if (height == 0) {
        height = 1; // a minimised window reports 0; keeps the aspect ratio finite
    }
    glViewport(0, 0, width, height);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fieldOfView, static_cast<double>(width) / static_cast<double>(height), nearPlane,
                   farPlane);

    // The first frame after a resize starts from this identity, not from the caption placement.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool extensionOffered(const char* extensions, const char* name) {
    if (extensions == nullptr || name == nullptr) {
        return false;
    }
    return std::strstr(extensions, name) != nullptr;
}

void enableSwapControl(int interval) {
    if (!extensionOffered(platformExtensionString(), "WGL_EXT_swap_control")) {
        return;
    }
    // The entry point comes back as a generic PROC; going through void(*)() is the conversion
    // compilers accept between unrelated function pointer types.
    const PROC entryPoint = wglGetProcAddress("wglSwapIntervalEXT");
    swapIntervalProc = reinterpret_cast<SwapIntervalProc>(reinterpret_cast<void (*)()>(entryPoint));
    if (swapIntervalProc != nullptr) {
        swapIntervalProc(interval); // failure leaves the driver's default, which is fine
    }
}
