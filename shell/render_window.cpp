// The render window: registers the "OpenGL" class, optionally changes the display mode, creates the
// window, picks the pixel format and makes a rendering context current; and the teardown that
// undoes all of it. Drawing, the font and the message loop live elsewhere.
#include "shell/shell.h"

#include "render/render.h"
#include "shell/app_state.h"

#include <cstddef>
#include <cstring>

namespace {

const char* const windowClassName = "OpenGL";

// The stock icon and cursor by number, in the ANSI form LoadIconA and LoadCursorA take:
// IDI_WINLOGO and IDC_ARROW turn into wide strings wherever UNICODE is defined.
const WORD winLogoIconId = 32517;
const WORD arrowCursorId = 32512;

// Kept for the life of the process and filled the first time a window exists, so a later window
// asks for exactly the same format as the first one did.
PIXELFORMATDESCRIPTOR pixelFormat = {};

void fillPixelFormat(int bits) {
    std::memset(&pixelFormat, 0, sizeof(pixelFormat));
    pixelFormat.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    pixelFormat.nVersion = 1;
    pixelFormat.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pixelFormat.iPixelType = PFD_TYPE_RGBA;
    pixelFormat.cColorBits = static_cast<BYTE>(bits);
    pixelFormat.cDepthBits = 16;
    pixelFormat.iLayerType = PFD_MAIN_PLANE;
}

void reportSetupError(const char* text) {
    MessageBoxA(NULL, text, "ERROR", MB_OK | MB_ICONEXCLAMATION);
}

// Used once the window may exist: the user should not be left looking at a half-made window while
// the box is up, so everything is released first.
BOOL failAfterTeardown(const char* text) {
    destroyRenderWindow();
    reportSetupError(text);
    return FALSE;
}

void reportShutdownError(const char* text) {
    MessageBoxA(NULL, text, "SHUTDOWN ERROR", MB_OK | MB_ICONINFORMATION);
}

// Returns false when the user would rather not fall back to a window.
bool enterFullscreenMode(int width, int height, int bits) {
    DEVMODEA dmScreenSettings;
    std::memset(&dmScreenSettings, 0, sizeof(dmScreenSettings));
    dmScreenSettings.dmSize = sizeof(dmScreenSettings);
    dmScreenSettings.dmPelsWidth = static_cast<DWORD>(width);
    dmScreenSettings.dmPelsHeight = static_cast<DWORD>(height);
    dmScreenSettings.dmBitsPerPel = static_cast<DWORD>(bits);
    dmScreenSettings.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (ChangeDisplaySettingsA(&dmScreenSettings, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL) {
        return true;
    }
    const int answer = MessageBoxA(NULL,
                                   "The Requested Fullscreen Mode Is Not Supported By\nYour Video "
                                   "Card. Use Windowed Mode Instead?",
                                   "Vrim GL", MB_YESNO | MB_ICONEXCLAMATION);
    if (answer == IDYES) {
        fullscreen = false;
        return true;
    }
    return false;
}

} // namespace

BOOL createRenderWindow(const char* title, int width, int height, int bits, bool fullscreenFlag) {
    RECT WindowRect;
    WindowRect.left = 0;
    WindowRect.top = 0;
    WindowRect.right = width;
    WindowRect.bottom = height;
    fullscreen = fullscreenFlag;
    hInstance = GetModuleHandleA(NULL);

    WNDCLASSA wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = mainWindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(NULL, MAKEINTRESOURCEA(winLogoIconId));
    wc.hCursor = LoadCursorA(NULL, MAKEINTRESOURCEA(arrowCursorId));
    wc.hbrBackground = NULL;
    wc.lpszMenuName = NULL;
    wc.lpszClassName = windowClassName;
    if (!RegisterClassA(&wc)) {
        reportSetupError("Failed To Register The Window Class.");
        return FALSE;
    }

    if (fullscreen && !enterFullscreenMode(width, height, bits)) {
        // The display mode was never changed, so only the class has to go; leaving it registered
        // would make any later attempt fail at registration.
        fullscreen = false;
        destroyRenderWindow();
        MessageBoxA(NULL, "Program Will Now Close.", "ERROR", MB_OK | MB_ICONERROR);
        return FALSE;
    }

    DWORD dwExStyle;
    DWORD dwStyle;
    if (fullscreen) {
        dwExStyle = WS_EX_APPWINDOW;
        dwStyle = WS_POPUP;
        ShowCursor(FALSE);
    } else {
        dwExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        dwStyle = WS_OVERLAPPEDWINDOW;
    }
    AdjustWindowRectEx(&WindowRect, dwStyle, FALSE, dwExStyle);

    hWnd = CreateWindowExA(dwExStyle, windowClassName, title,
                           dwStyle | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                           WindowRect.right - WindowRect.left, WindowRect.bottom - WindowRect.top,
                           NULL, NULL, hInstance, NULL);
    if (!hWnd) {
        return failAfterTeardown("Window Creation Error.");
    }

    if (pixelFormat.nSize == 0) {
        fillPixelFormat(bits);
    }

    hDC = GetDC(hWnd);
    if (!hDC) {
        return failAfterTeardown("Can't Create A GL Device Context.");
    }
    const int pixelFormatIndex = ChoosePixelFormat(hDC, &pixelFormat);
    if (pixelFormatIndex == 0) {
        return failAfterTeardown("Can't Find A Suitable PixelFormat.");
    }
    if (!SetPixelFormat(hDC, pixelFormatIndex, &pixelFormat)) {
        return failAfterTeardown("Can't Set The PixelFormat.");
    }
    hRC = wglCreateContext(hDC);
    if (!hRC) {
        return failAfterTeardown("Can't Create A GL Rendering Context.");
    }
    if (!wglMakeCurrent(hDC, hRC)) {
        return failAfterTeardown("Can't Activate The GL Rendering Context.");
    }

    ShowWindow(hWnd, SW_SHOW);
    SetForegroundWindow(hWnd);
    SetFocus(hWnd);
    // Any WM_SIZE sent while the window was being made found no context; this one does.
    resizeScene(width, height);
    return TRUE;
}

void destroyRenderWindow() {
    if (fullscreen) {
        ChangeDisplaySettingsA(NULL, 0);
        ShowCursor(TRUE);
    }
    if (hRC) {
        if (!wglMakeCurrent(NULL, NULL)) {
            reportShutdownError("Release Of DC And RC Failed.");
        }
        if (!wglDeleteContext(hRC)) {
            reportShutdownError("Release Rendering Context Failed.");
        }
        hRC = NULL;
    }
    if (hDC) {
        if (!ReleaseDC(hWnd, hDC)) {
            reportShutdownError("Release Device Context Failed.");
        }
        hDC = NULL;
    }
    if (hWnd) {
        if (!DestroyWindow(hWnd)) {
            reportShutdownError("Could Not Release hWnd.");
        }
        hWnd = NULL;
    }
    if (!UnregisterClassA(windowClassName, hInstance)) {
        reportShutdownError("Could Not Unregister Class.");
    }
    hInstance = NULL;
}
