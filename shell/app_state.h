// The program's shared state: process-lifetime globals, each kept by one module and read by others.
// All of it is set up by static initialisation before WinMain runs; there is no other shared state.
#pragma once

#include "platform/platform.h"
#include "scene/matrix.h"
#include "scene/scene_node.h"

// Compiled-in settings of the window (kept by the shell).
extern int windowWidth;  // 800
extern int windowHeight; // 600
extern int colorBits;    // 32

// Input state, kept by the window procedure.
extern bool keys[256]; // held keys by virtual-key code
extern bool active;    // false while the window is minimised

// Window and context, kept by the render window.
extern bool fullscreen;
extern HINSTANCE hInstance;
extern HWND hWnd;
extern HDC hDC;
extern HGLRC hRC;

// Rendering settings and state, kept by render/.
extern float fieldOfView; // degrees, vertical
extern float nearPlane;
extern float farPlane;
extern bool swapInterval;
using SwapIntervalProc = BOOL(WINAPI*)(int interval);
extern SwapIntervalProc swapIntervalProc; // wglSwapIntervalEXT, once looked up
extern GLuint fontBase;                   // first of the 96 glyph display lists
extern float rootSpin;                    // degrees, Up arrow
extern float levelOneSpin;                // degrees, Right arrow
extern float levelTwoSpin;                // degrees, Down arrow
extern float levelThreeSpin;              // degrees, Left arrow
extern Matrix4 viewMatrix;

// rootNode is declared in scene/scene_node.h.
