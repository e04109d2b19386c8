// Fonts: the layer's part of CreateFontA (the face looked up through fontconfig) and of
// wglUseFontBitmapsA over FreeType, giving one glBitmap display list per character code,
// rasterised at the device size of the window GL draws to (on a high-density Wayland output, a
// multiple of the size asked for). Fonts are looked up when first used, so creating and selecting
// them needs neither SDL nor a window. Outline text (wglUseFontOutlines) is not offered.
#include "platform/sdl/sdl_internal.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <strings.h>
#include <vector>

namespace sdlplatform {

namespace {

constexpr int defaultCellHeight = 16; // Windows' default for a height of 0 at 96 dpi

FT_Library freeTypeLibrary() {
    LayerState& state = layer();
    if (state.freeType == nullptr) {
        const FT_Error error = FT_Init_FreeType(&state.freeType);
        if (error != 0) {
            state.freeType = nullptr;
            std::fprintf(stderr, "FreeType could not start (error %d)\n", error);
        }
    }
    return state.freeType;
}

struct FontFile {
    std::string path;
    int index = 0;
    bool monospaced = false;
    bool needsEmbolden = false;
};

bool familyListContains(FcPattern* pattern, const char* family) {
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
        if (strcasecmp(reinterpret_cast<const char*>(value), family) == 0) {
            return true;
        }
    }
    return false;
}

// Asks fontconfig for its best match; `monospaced` is raised when the request turns out to be
// for a monospaced face even though the caller did not say so (fontconfig knows "Courier New").
bool matchFont(const HFONT__& font, const char* family, bool requireMonospace, bool& monospaced,
               FontFile& file) {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) {
        return false;
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(font.weight));
    FcPatternAddInteger(pattern, FC_SLANT, font.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (requireMonospace) {
        FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    }
    FcConfigSubstitute(layer().fontConfig, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    monospaced = monospaced || familyListContains(pattern, "monospace");

    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(layer().fontConfig, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) {
        return false;
    }
    FcChar8* path = nullptr;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
    if (found) {
        int spacing = FC_PROPORTIONAL;
        int weight = FC_WEIGHT_REGULAR;
        FcBool embolden = FcFalse;
        FcPatternGetInteger(match, FC_SPACING, 0, &spacing);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
        file.path = reinterpret_cast<const char*>(path);
        FcPatternGetInteger(match, FC_INDEX, 0, &file.index);
        file.monospaced = spacing == FC_MONO || spacing == FC_CHARCELL;
        file.needsEmbolden =
            font.weight >= 600 && (embolden == FcTrue || weight < FC_WEIGHT_DEMIBOLD);
    }
    FcPatternDestroy(match);
    return found;
}

FT_Face openFace(const FontFile& file) {
    FT_Library library = freeTypeLibrary();
    FT_Face face = nullptr;
    if (library == nullptr || file.path.empty()) {
        return nullptr;
    }
    const FT_Error error = FT_New_Face(library, file.path.c_str(), file.index, &face);
    if (error != 0) {
        std::fprintf(stderr, "FreeType could not open %s (error %d)\n", file.path.c_str(), error);
        return nullptr;
    }
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    return face;
}

// Windows reads a positive height as the cell (ascent + descent, from the OS/2 table when the
// font has one) and a negative one as the character height (the em square); `scale` device
// pixels to the pixel of the program's units.
void setPixelHeight(FT_Face face, int height, double scale) {
    double emPixels = -height;
    if (height >= 0) {
        const int cell = height > 0 ? height : defaultCellHeight;
        long cellUnits = face->ascender - face->descender;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            cellUnits = os2->usWinAscent + os2->usWinDescent;
        }
        emPixels = cellUnits > 0 ? cell * static_cast<double>(face->units_per_EM) / cellUnits
                                 : static_cast<double>(cell);
    }
    const auto charSize = static_cast<FT_F26Dot6>(std::lround(emPixels * scale * 64.0));
    FT_Set_Char_Size(face, 0, std::max<FT_F26Dot6>(charSize, 64), 72, 72);
}

void resolveFont(HFONT__* font) {
    if (font->resolved) {
        return;
    }
    font->resolved = true;
    openStandardStreams(); // before fontconfig opens its configuration and cache files
    // A configuration of the layer's own rather than fontconfig's process-wide one: other users
    // of fontconfig in the process (libdecor's title bars on Wayland) keep theirs, and releasing
    // ours never finalises the library under them.
    if (layer().fontConfig == nullptr) {
        layer().fontConfig = FcInitLoadConfigAndFonts();
        if (layer().fontConfig == nullptr) {
            std::fprintf(stderr, "fontconfig could not load its configuration\n");
            return;
        }
    }
    const char* family = font->faceName.empty() ? "monospace" : font->faceName.c_str();
    bool monospaced = font->monospacedRequest;
    FontFile file;
    if (matchFont(*font, family, monospaced, monospaced, file)) {
        font->face = openFace(file);
        if (font->face != nullptr && monospaced && !file.monospaced) {
            FT_Done_Face(font->face);
            font->face = nullptr;
        }
    }
    if (font->face == nullptr && matchFont(*font, "monospace", true, monospaced, file)) {
        font->face = openFace(file);
    }
    if (font->face == nullptr) {
        return;
    }
    font->embolden = file.needsEmbolden;
}

// Device pixels to the window's unit where GL draws now: above 1 on a high-density Wayland output.
double currentDrawScale() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    int width = 0;
    int drawableWidth = 0;
    if (window != nullptr) {
        SDL_GetWindowSize(window, &width, nullptr);
        SDL_GL_GetDrawableSize(window, &drawableWidth, nullptr);
    }
    return width > 0 && drawableWidth > 0 ? static_cast<double>(drawableWidth) / width : 1.0;
}

// The glyph's advance at the font's own size, in whole pixels as GDI gives it, or -1.
long unscaledAdvance(const HFONT__& font, unsigned int character) {
    setPixelHeight(font.face, font.height, 1.0);
    if (FT_Load_Char(font.face, character, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) {
        return -1;
    }
    if (font.embolden) {
        FT_GlyphSlot_Embolden(font.face->glyph);
    }
    return (font.face->glyph->advance.x + 32) >> 6;
}

// Compiles one list that draws the glyph at the raster position and advances it. glBitmap wants
// the rows bottom-up and packed MSB first, which FreeType's mono bitmaps are, top-down. At a
// scale above 1 the glyph is rasterised at the device size, and advances by its advance at the
// font's own size times the scale, so that text keeps the places it has at scale 1.
bool compileGlyphList(const HFONT__& font, double scale, unsigned int character, GLuint list) {
    FT_Face face = font.face;
    const bool embolden = font.embolden;
    const long advanceAtOne = scale != 1.0 ? unscaledAdvance(font, character) : -1;
    setPixelHeight(face, font.height, scale);
    std::vector<GLubyte> rows;
    GLsizei width = 0;
    GLsizei height = 0;
    GLfloat xOrigin = 0.0f;
    GLfloat yOrigin = 0.0f;
    GLfloat advance = 0.0f;
    FT_GlyphSlot slot = face->glyph;
    const bool loaded = FT_Load_Char(face, character, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) == 0;
    if (loaded) {
        if (embolden) {
            FT_GlyphSlot_Embolden(slot);
        }
    }
    const bool rendered = loaded && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) == 0;
    if (rendered) {
        const FT_Bitmap& bitmap = slot->bitmap;
        width = static_cast<GLsizei>(bitmap.width);
        height = static_cast<GLsizei>(bitmap.rows);
        const size_t rowBytes = (bitmap.width + 7) / 8;
        rows.resize(rowBytes * bitmap.rows);
        for (unsigned int row = 0; row < bitmap.rows; ++row) {
            const unsigned char* source = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            std::copy(source, source + rowBytes, rows.begin() + (bitmap.rows - 1 - row) * rowBytes);
        }
        xOrigin = static_cast<GLfloat>(-slot->bitmap_left);
        yOrigin = static_cast<GLfloat>(height - slot->bitmap_top);
        advance = static_cast<GLfloat>(advanceAtOne >= 0 ? advanceAtOne * scale
                                                         : (slot->advance.x + 32) >> 6);
    }
    glNewList(list, GL_COMPILE);
    glBitmap(width, height, xOrigin, yOrigin, advance, 0.0f, rows.empty() ? nullptr : rows.data());
    glEndList();
    return rendered;
}

void setGlyphPixelStore() {
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

void reportMissingFont() {
    if (!layer().missingFontReported) {
        layer().missingFontReported = true;
        std::fprintf(stderr, "No usable font was found through fontconfig; the caption text is "
                             "not drawn. Install the fonts-liberation2 package.\n");
    }
}

} // namespace

void rescaleGlyphs() {
    std::vector<GlyphSet>& sets = layer().glyphSets;
    if (sets.empty()) {
        return;
    }
    const SDL_GLContext current = SDL_GL_GetCurrentContext();
    const double scale = currentDrawScale();
    for (GlyphSet& set : sets) {
        if (set.context != current || set.scale == scale) {
            continue;
        }
        set.scale = scale;
        HFONT__ font = set.font;
        resolveFont(&font);
        if (font.face == nullptr) {
            continue;
        }
        setGlyphPixelStore();
        for (const auto& [character, list] : set.glyphs) {
            if (glIsList(list)) { // the program may have deleted it since
                compileGlyphList(font, scale, character, list);
            }
        }
        glPopClientAttrib();
        FT_Done_Face(font.face);
    }
}

void forgetGlyphs(SDL_GLContext context) {
    std::vector<GlyphSet>& sets = layer().glyphSets;
    sets.erase(std::remove_if(sets.begin(), sets.end(),
                              [&](const GlyphSet& set) { return set.context == context; }),
               sets.end());
}

void releaseFonts() {
    LayerState& state = layer();
    for (HFONT__* font : state.common.fonts) {
        win32common::freeFont(font);
    }
    state.common.fonts.clear();
    if (state.stockFont.face != nullptr) {
        FT_Done_Face(state.stockFont.face);
        state.stockFont.face = nullptr;
    }
    if (state.freeType != nullptr) {
        FT_Done_FreeType(state.freeType);
        state.freeType = nullptr;
    }
    if (state.fontConfig != nullptr) {
        FcConfigDestroy(state.fontConfig);
        state.fontConfig = nullptr;
    }
}

} // namespace sdlplatform

using namespace sdlplatform;

win32common::FontRecord* win32common::recordOf(HFONT font) {
    return font;
}

HFONT win32common::makeFont(DWORD pitchAndFamily) {
    auto* font = new HFONT__;
    font->monospacedRequest =
        (pitchAndFamily & 0x3) == FIXED_PITCH || (pitchAndFamily & 0xF0) == FF_MODERN;
    return font;
}

void win32common::freeFont(HFONT font) {
    if (font->face != nullptr) {
        FT_Done_Face(font->face);
    }
    delete font;
}

bool win32common::beginGlyphs(HFONT font) {
    resolveFont(font);
    if (font->face == nullptr) {
        reportMissingFont();
        return false;
    }
    GlyphSet set;
    set.font = *font;
    set.font.face = nullptr;
    set.font.resolved = false;
    set.context = SDL_GL_GetCurrentContext();
    set.scale = currentDrawScale();
    layer().glyphSets.push_back(set);
    setGlyphPixelStore();
    return true;
}

bool win32common::compileGlyph(HFONT font, unsigned int character, DWORD list) {
    std::vector<GlyphSet>& sets = layer().glyphSets;
    // A list compiled again belongs to the newest set only.
    for (GlyphSet& earlier : sets) {
        auto& glyphs = earlier.glyphs;
        glyphs.erase(std::remove_if(glyphs.begin(), glyphs.end(),
                                    [&](const auto& glyph) { return glyph.second == list; }),
                     glyphs.end());
    }
    sets.back().glyphs.emplace_back(character, list);
    return compileGlyphList(*font, sets.back().scale, character, list);
}

void win32common::endGlyphs() {
    glPopClientAttrib();
}
