#include "render/render_fixture.h"

#include "render/render.h"
#include "shell/app_state.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace rendertest {

namespace {

constexpr double pi = 3.14159265358979323846;

bool isRed(const testsupport::FeedbackVertex& v) {
    return v.r > 0.99f && v.g < 0.01f && v.b < 0.01f;
}

void walkCentres(const std::vector<testsupport::FeedbackPrimitive>& lines, size_t& next, int level,
                 std::vector<Point>& centres) {
    if (level == 3 || next + 4 > lines.size()) {
        return;
    }
    const size_t batch = next;
    next += 4;
    for (size_t child = 0; child < 4; ++child) {
        const testsupport::FeedbackVertex& end = lines[batch + child].vertices[1];
        centres.push_back({end.x, end.y, end.z});
        walkCentres(lines, next, level + 1, centres);
    }
}

void walkLevels(int level, std::vector<int>& levels) {
    levels.push_back(level);
    for (int child = 0; level < 3 && child < 4; ++child) {
        walkLevels(level + 1, levels);
    }
}

} // namespace

const StartUpRecord& startUpOnce() {
    static StartUpRecord record = [] {
        StartUpRecord r{};
        testsupport::makeOffscreenContextCurrent();
        if (hDC == nullptr) {
            hDC = GetDC(nullptr); // the font needs a DC; no window is needed for it
        }
        // Window creation ends with a resize, then WinMain runs initScene. The first frame is
        // recorded with a 90-degree view so that no node is clipped away.
        fieldOfView = 90.0f;
        resizeScene(viewportWidth, viewportHeight);
        r.sceneBuilt = initScene();
        glGetIntegerv(GL_SHADE_MODEL, &r.shadeModel);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, r.clearColour);
        glGetFloatv(GL_DEPTH_CLEAR_VALUE, &r.clearDepth);
        r.depthTest = glIsEnabled(GL_DEPTH_TEST);
        r.texture2d = glIsEnabled(GL_TEXTURE_2D);
        r.blend = glIsEnabled(GL_BLEND);
        glGetIntegerv(GL_DEPTH_FUNC, &r.depthFunc);
        glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &r.perspectiveHint);
        r.firstFrame = runFrame();
        fieldOfView = 45.0f;
        return r;
    }();
    testsupport::makeOffscreenContextCurrent();
    return record;
}

void prepareSteadyScene() {
    startUpOnce();
    std::memset(keys, 0, sizeof keys);
    rootSpin = levelOneSpin = levelTwoSpin = levelThreeSpin = 0.0f;
    resizeScene(viewportWidth, viewportHeight);
    drawFrame();
}

std::vector<testsupport::FeedbackPrimitive> runFrame(int heldKey) {
    if (heldKey != 0) {
        keys[heldKey] = true;
    }
    updateSpins();
    keys[heldKey] = false;
    return testsupport::decodeFeedback(testsupport::captureFeedback([] { drawFrame(); }));
}

std::vector<Point> nodeCentres(const std::vector<testsupport::FeedbackPrimitive>& frame) {
    const auto lines = testsupport::primitivesOf(frame, GL_LINE_TOKEN);
    std::vector<Point> centres;
    if (lines.empty()) {
        return centres;
    }
    const testsupport::FeedbackVertex& root = lines[0].vertices[0];
    centres.push_back({root.x, root.y, root.z});
    size_t next = 0;
    walkCentres(lines, next, 0, centres);
    return centres;
}

std::vector<int> nodeLevels() {
    std::vector<int> levels;
    walkLevels(0, levels);
    return levels;
}

std::vector<std::vector<Point>>
frontFaces(const std::vector<testsupport::FeedbackPrimitive>& frame) {
    std::vector<testsupport::FeedbackPrimitive> red;
    for (const auto& polygon : testsupport::primitivesOf(frame, GL_POLYGON_TOKEN)) {
        if (!polygon.vertices.empty() && isRed(polygon.vertices[0])) {
            red.push_back(polygon);
        }
    }
    std::vector<std::vector<Point>> faces;
    if (red.size() % nodeCount != 0) {
        return faces;
    }
    const size_t perNode = red.size() / nodeCount;
    for (size_t node = 0; node < nodeCount; ++node) {
        std::vector<Point> corners;
        for (size_t p = node * perNode; p < (node + 1) * perNode; ++p) {
            for (const auto& v : red[p].vertices) {
                bool known = false;
                for (const Point& c : corners) {
                    known = known || (std::fabs(c.x - v.x) < 1e-3 && std::fabs(c.y - v.y) < 1e-3);
                }
                if (!known) {
                    corners.push_back({v.x, v.y, v.z});
                }
            }
        }
        faces.push_back(corners);
    }
    return faces;
}

Point projectEyePoint(double x, double y, double z) {
    const double f = 1.0 / std::tan(fieldOfView * pi / 360.0);
    const double aspect = double(viewportWidth) / viewportHeight;
    const double n = nearPlane, fa = farPlane;
    const double w = -z;
    const double ndcX = f / aspect * x / w;
    const double ndcY = f * y / w;
    const double ndcZ = ((fa + n) / (n - fa) * z + 2 * fa * n / (n - fa)) / w;
    return {(ndcX + 1) * viewportWidth / 2, (ndcY + 1) * viewportHeight / 2, (ndcZ + 1) / 2};
}

double eyeDistanceFromDepth(double windowDepth) {
    const double n = nearPlane, f = farPlane;
    const double ndcZ = 2 * windowDepth - 1;
    return 2 * f * n / ((f + n) - (f - n) * ndcZ);
}

Point turnedClockwise(const Point& p, const Point& centre, double degrees) {
    const double a = degrees * pi / 180.0;
    const double dx = p.x - centre.x, dy = p.y - centre.y;
    return {centre.x + dx * std::cos(a) + dy * std::sin(a),
            centre.y - dx * std::sin(a) + dy * std::cos(a), p.z};
}

} // namespace rendertest
