#include "shell/app_state.h"

int windowWidth = 800;
int windowHeight = 600;
int colorBits = 32;

bool keys[256] = {};
bool active = true;

bool fullscreen = false;
HINSTANCE hInstance = nullptr;
HWND hWnd = nullptr;
HDC hDC = nullptr;
HGLRC hRC = nullptr;
