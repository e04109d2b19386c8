// The one header through which the program reaches the window manager, GDI, WGL and OpenGL.
// On Windows it is the system's own headers; elsewhere it is our declaration of the same small set
// of Win32 names (platform/win32_common/win32_api.h), implemented over SDL2, FreeType and
// fontconfig in platform/sdl/ and over the browser in platform/web/.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

// Windows lists WGL extensions of the swap-control kind in the GL extension string itself.
inline const char* platformExtensionString() {
    return reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
}
#else
#include "platform/win32_common/win32_api.h"
#endif
