// OpenGL 1.1 declarations for code that must not see <windows.h>.
// On Windows <GL/gl.h> expects APIENTRY and WINGDIAPI from windows.h; they are supplied here for
// the one include and taken back afterwards, so a later windows.h defines them its own way.
#pragma once

#if defined(_WIN32) && !defined(APIENTRY)
#define APIENTRY __stdcall
#define SKORVANE_UNDEF_APIENTRY
#endif
#if defined(_WIN32) && !defined(WINGDIAPI)
#define WINGDIAPI __declspec(dllimport)
#define SKORVANE_UNDEF_WINGDIAPI
#endif

#include <GL/gl.h>

#ifdef SKORVANE_UNDEF_APIENTRY
#undef APIENTRY
#undef SKORVANE_UNDEF_APIENTRY
#endif
#ifdef SKORVANE_UNDEF_WINGDIAPI
#undef WINGDIAPI
#undef SKORVANE_UNDEF_WINGDIAPI
#endif
