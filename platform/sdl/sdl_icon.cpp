// The application icon of the SDL windows: the same picture as packaging/skorvane.svg (a grey
// tile, white connector lines and five red cubes in a cross), drawn into a 32 x 32 surface.
// Not here: the icons of the desktop entry and the Windows executable, which are files.
#include "platform/sdl/sdl_internal.h"

#include <cstdint>

namespace sdlplatform {

namespace {

constexpr int iconSize = 32;

void fill(std::uint32_t* pixels, int left, int top, int size, std::uint32_t colour) {
    for (int y = top; y < top + size; ++y) {
        for (int x = left; x < left + size; ++x) {
            pixels[y * iconSize + x] = colour;
        }
    }
}

} // namespace

void setApplicationIcon(SDL_Window* window) {
    SDL_Surface* icon =
        SDL_CreateRGBSurfaceWithFormat(0, iconSize, iconSize, 32, SDL_PIXELFORMAT_RGBA32);
    if (icon == nullptr) {
        return; // the window manager's default icon will do
    }
    auto* pixels = static_cast<std::uint32_t*>(icon->pixels);
    const std::uint32_t grey = SDL_MapRGBA(icon->format, 51, 51, 51, 255);
    const std::uint32_t white = SDL_MapRGBA(icon->format, 255, 255, 255, 255);
    const std::uint32_t red = SDL_MapRGBA(icon->format, 255, 0, 0, 255);
    fill(pixels, 0, 0, iconSize, grey);
    for (int i = 4; i < 28; ++i) {
        pixels[16 * iconSize + i] = white;
        pixels[i * iconSize + 16] = white;
    }
    fill(pixels, 12, 12, 8, red);
    fill(pixels, 24, 14, 5, red);
    fill(pixels, 3, 14, 5, red);
    fill(pixels, 14, 3, 5, red);
    fill(pixels, 14, 24, 5, red);
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

} // namespace sdlplatform
