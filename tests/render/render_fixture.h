// Shared set-up for the rendering tests: one start-up of the program's rendering in the offscreen
// context (as window creation and WinMain do it), frames recorded in feedback mode and decoded
// into the 85 node centres, and an independent perspective projection to compare against.
#pragma once

#include "support/feedback.h"
#include "support/offscreen_gl.h"

#include <string>
#include <vector>

namespace rendertest {

constexpr int viewportWidth = 800;
constexpr int viewportHeight = 600;
constexpr int nodeCount = 85;

// What the GL state was right after initScene, before any frame ran.
struct StartUpRecord {
    bool sceneBuilt;
    GLint shadeModel;
    GLfloat clearColour[4];
    GLfloat clearDepth;
    bool depthTest, texture2d, blend;
    GLint depthFunc;
    GLint perspectiveHint;
    std::vector<testsupport::FeedbackPrimitive> firstFrame;
};

// Runs resizeScene(800, 600), initScene() and the first frame once per process.
const StartUpRecord& startUpOnce();

// Keys released, spins 0, one frame run to hand the zero spins over, so the next frame is the
// steady-state picture with nothing turned.
void prepareSteadyScene();

// One pass of the main loop with `heldKey` (0 for none) held: updateSpins then drawFrame, recorded.
std::vector<testsupport::FeedbackPrimitive> runFrame(int heldKey = 0);

struct Point {
    double x, y, z; // window coordinates, z the depth in 0..1
};

// Node centres in drawing order (depth first: a node, then each child's subtree), read from the
// connector lines, which run from each parent's centre to its children's centres.
std::vector<Point> nodeCentres(const std::vector<testsupport::FeedbackPrimitive>& frame);
// The level (0..3) of each node in the same order.
std::vector<int> nodeLevels();
// The corners of each node's red front face, same order.
std::vector<std::vector<Point>>
frontFaces(const std::vector<testsupport::FeedbackPrimitive>& frame);

// Projection built from the field of view, planes and aspect ratio alone, not read from GL.
Point projectEyePoint(double x, double y, double z);
double eyeDistanceFromDepth(double windowDepth);

// `p` turned clockwise on screen by `degrees` about `centre`.
Point turnedClockwise(const Point& p, const Point& centre, double degrees);

bool writePng(const std::string& path, int width, int height,
              const std::vector<unsigned char>& rgb);

} // namespace rendertest
