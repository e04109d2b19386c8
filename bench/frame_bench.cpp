// One frame of the demonstration against a reference renderer that draws the identical picture
// with GL's own matrix stack (glTranslatef, glRotatef, glScalef), both in the same offscreen Mesa
// context, each frame finished with glFinish so the rasteriser's work is counted. Also a plain
// frame loop (--frames N) for counting the program's own instructions under callgrind.
// Not here: presenting to a window (tools/bench.sh times that with the real program).
#include "platform/sdl/sdl_layer.h"
#include "render/render.h"
#include "scene/cube.h"
#include "shell/app_state.h"

#include "support/egl_context.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int frameWidth = 800;
constexpr int frameHeight = 600;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "frame_bench: %s\n", what);
    std::exit(1);
}

// What WinMain and window creation do before the first frame, minus the window.
void startUp() {
    const std::string error = testsupport::makeEglContextCurrent(frameWidth, frameHeight);
    if (!error.empty()) {
        fail(error.c_str());
    }
    hDC = GetDC(nullptr); // the font needs a DC; no window is needed for it
    resizeScene(frameWidth, frameHeight);
    if (!initScene()) {
        fail("the scene tree could not be built");
    }
}

void holdEveryArrowKey() {
    keys[VK_UP] = keys[VK_RIGHT] = keys[VK_DOWN] = keys[VK_LEFT] = true;
}

// --- The reference: the same picture, every transform left to GL's matrix stack. ---

// Our rotations turn clockwise for a positive angle; glRotatef turns counter-clockwise.
void drawReferenceNode(const SceneNode& node) {
    glPushMatrix();
    glTranslatef(node.position.x, node.position.y, node.position.z);
    glRotatef(-node.rotation.z, 0.0f, 0.0f, 1.0f);
    glRotatef(-node.rotation.y, 0.0f, 1.0f, 0.0f);
    glRotatef(-node.rotation.x, 1.0f, 0.0f, 0.0f);
    glScalef(node.scale.x, node.scale.y, node.scale.z);
    drawCube();
    glLineWidth(2);
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    for (int i = 0; i < node.childCount; ++i) {
        glVertex3f(0, 0, 0);
        glVertex3f(node.children[i].position.x, node.children[i].position.y,
                   node.children[i].position.z);
    }
    glEnd();
    for (int i = 0; i < node.childCount; ++i) {
        drawReferenceNode(node.children[i]);
    }
    glPopMatrix();
}

void setSpinAndScale(SceneNode& node, float spin, float scale) {
    node.rotation.z = spin;
    node.scale = {scale, scale, scale};
}

void drawReferenceFrame() {
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glTranslatef(0.0f, 0.0f, -40.0f);
    drawReferenceNode(rootNode);

    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -3.0f);
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    for (const Caption& caption : captions) {
        glRasterPos2f(caption.x, caption.y);
        printText(caption.text);
    }

    const float levelScales[3] = {static_cast<float>(1.0 / 1.0), static_cast<float>(1.0 / 1.2),
                                  static_cast<float>(1.0 / 1.5)};
    for (int i = 0; i < rootNode.childCount; ++i) {
        SceneNode& one = rootNode.children[i];
        setSpinAndScale(one, levelOneSpin, levelScales[0]);
        for (int j = 0; j < one.childCount; ++j) {
            SceneNode& two = one.children[j];
            setSpinAndScale(two, levelTwoSpin, levelScales[1]);
            for (int k = 0; k < two.childCount; ++k) {
                setSpinAndScale(two.children[k], levelThreeSpin, levelScales[2]);
            }
        }
    }
    rootNode.rotation.z = rootSpin;
}

// --- Checking that both draw the same picture. ---

using Spins = float[4];

void setSpins(const Spins spins) {
    rootSpin = spins[0];
    levelOneSpin = spins[1];
    levelTwoSpin = spins[2];
    levelThreeSpin = spins[3];
}

// Two frames from the same spins (the second shows them) and resize state; returns the pixels.
template <typename DrawFrame>
std::vector<unsigned char> pictureOf(DrawFrame draw, const Spins spins) {
    setSpins(spins);
    resizeScene(frameWidth, frameHeight);
    draw();
    draw();
    glFinish();
    std::vector<unsigned char> pixels(static_cast<size_t>(frameWidth) * frameHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Pixels whose colour differs by more than one step in any channel: rounding in the two matrix
// paths may move an edge by a pixel, nothing more.
double differingPixelShare() {
    const Spins spins = {34.0f, 58.0f, 122.0f, 246.0f};
    const std::vector<unsigned char> ours = pictureOf(drawFrame, spins);
    const std::vector<unsigned char> reference = pictureOf(drawReferenceFrame, spins);
    size_t differing = 0;
    for (size_t i = 0; i < ours.size(); i += 3) {
        for (size_t c = 0; c < 3; ++c) {
            if (std::abs(ours[i + c] - reference[i + c]) > 1) {
                ++differing;
                break;
            }
        }
    }
    return static_cast<double>(differing) / (static_cast<double>(ours.size()) / 3.0);
}

double pictureDifference = 0.0;

void Ours_Frame(benchmark::State& state) {
    holdEveryArrowKey();
    for (auto _ : state) {
        updateSpins();
        drawFrame();
        glFinish();
    }
    state.counters["differing_pixels_pct"] = pictureDifference * 100.0;
}

void Reference_Frame(benchmark::State& state) {
    holdEveryArrowKey();
    for (auto _ : state) {
        updateSpins();
        drawReferenceFrame();
        glFinish();
    }
}

// Repeated, and run with --benchmark_enable_random_interleaving by tools/bench.sh, so that a slow
// spell of a shared machine hits both sides rather than whichever happened to run then.
BENCHMARK(Ours_Frame)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(6);
BENCHMARK(Reference_Frame)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(6);

} // namespace

int main(int argc, char** argv) {
    startUp();
    // --frames N: draw N frames of ours and stop, for callgrind (tools/bench.sh).
    if (argc == 3 && std::strcmp(argv[1], "--frames") == 0) {
        holdEveryArrowKey();
        const int frames = std::atoi(argv[2]);
        for (int i = 0; i < frames; ++i) {
            updateSpins();
            drawFrame();
            glFinish();
        }
        sdlplatform::shutdownLayer(); // the caption font's faces, FreeType and fontconfig
        return 0;
    }
    pictureDifference = differingPixelShare();
    std::printf("Pixels differing between ours and the reference: %.3f %%\n",
                pictureDifference * 100.0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sdlplatform::shutdownLayer();
    return 0;
}
