// The cube, a node and the whole tree drawn into a real Mesa context and read back through
// feedback mode. An orthographic projection maps object units to 10 pixels, origin at (400, 300).
#include "scene/cube.h"
#include "scene/scene_node.h"
#include "scene/scene_tree.h"

#include "support/feedback.h"
#include "support/offscreen_gl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

using testsupport::decodeFeedback;
using testsupport::FeedbackPrimitive;
using testsupport::FeedbackVertex;
using testsupport::joinQuads;
using testsupport::primitivesOf;

namespace {

struct Point {
    float x, y, z;
};

class SceneDrawing : public testsupport::GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        glMatrixMode(GL_PROJECTION);
        glOrtho(-40, 40, -30, 30, -100, 100);
        glMatrixMode(GL_MODELVIEW);
    }

    template <typename Draw> std::vector<FeedbackPrimitive> record(Draw draw) {
        return decodeFeedback(testsupport::captureFeedback(draw, 1 << 18));
    }
};

// Back from window coordinates to the units the scene was drawn in (z is not needed here).
Point objectPoint(const FeedbackVertex& v) {
    return {v.x / 10 - 40, v.y / 10 - 30, 0};
}

// The centre of each cube: every drawn cube is 6 consecutive polygons; its bounding box centre.
std::vector<Point> cubeCentres(const std::vector<FeedbackPrimitive>& all) {
    const auto polygons = joinQuads(primitivesOf(all, GL_POLYGON_TOKEN));
    std::vector<Point> centres;
    for (size_t first = 0; first + 6 <= polygons.size(); first += 6) {
        float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
        for (size_t i = first; i < first + 6; ++i) {
            for (const FeedbackVertex& v : polygons[i].vertices) {
                const Point p = objectPoint(v);
                minX = std::min(minX, p.x);
                maxX = std::max(maxX, p.x);
                minY = std::min(minY, p.y);
                maxY = std::max(maxY, p.y);
            }
        }
        centres.push_back({(minX + maxX) / 2, (minY + maxY) / 2, 0});
    }
    return centres;
}

// What the cube hands to GL besides colours and positions, which feedback mode does not report:
// the test binary is linked with glNormal3f, glTexCoord2f and glVertex3f wrapped (tests/
// CMakeLists.txt), and the wrappers note each call while `recordingCalls` is set.
bool recordingCalls = false;
std::vector<std::pair<char, std::vector<float>>> recordedCalls; // 'n', 't' or 'v' and arguments

} // namespace

extern "C" {
void __real_glNormal3f(GLfloat x, GLfloat y, GLfloat z);
void __real_glTexCoord2f(GLfloat s, GLfloat t);
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z);

void __wrap_glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    if (recordingCalls) {
        recordedCalls.push_back({'n', {x, y, z}});
    }
    __real_glNormal3f(x, y, z);
}
void __wrap_glTexCoord2f(GLfloat s, GLfloat t) {
    if (recordingCalls) {
        recordedCalls.push_back({'t', {s, t}});
    }
    __real_glTexCoord2f(s, t);
}
void __wrap_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (recordingCalls) {
        recordedCalls.push_back({'v', {x, y, z}});
    }
    __real_glVertex3f(x, y, z);
}
}

TEST_F(SceneDrawing, CubeGivesEachFaceItsNormalAndEachCornerItsTextureCoordinates) {
    recordedCalls.clear();
    recordingCalls = true;
    drawCube();
    recordingCalls = false;

    // Per face: the normal, then for each corner (s, t) and (x, y, z), in the table's order.
    const std::vector<std::vector<float>> faces[6] = {
        {{0, 0, 1}, {0, 0}, {-1, -1, 1}, {1, 0}, {1, -1, 1}, {1, 1}, {1, 1, 1}, {0, 1}, {-1, 1, 1}},
        {{0, 0, -1},
         {1, 0},
         {-1, -1, -1},
         {1, 1},
         {-1, 1, -1},
         {0, 1},
         {1, 1, -1},
         {0, 0},
         {1, -1, -1}},
        {{0, 1, 0}, {0, 1}, {-1, 1, -1}, {0, 0}, {-1, 1, 1}, {1, 0}, {1, 1, 1}, {1, 1}, {1, 1, -1}},
        {{0, -1, 0},
         {1, 1},
         {-1, -1, -1},
         {0, 1},
         {1, -1, -1},
         {0, 0},
         {1, -1, 1},
         {1, 0},
         {-1, -1, 1}},
        {{1, 0, 0}, {1, 0}, {1, -1, -1}, {1, 1}, {1, 1, -1}, {0, 1}, {1, 1, 1}, {0, 0}, {1, -1, 1}},
        {{-1, 0, 0},
         {0, 0},
         {-1, -1, -1},
         {1, 0},
         {-1, -1, 1},
         {1, 1},
         {-1, 1, 1},
         {0, 1},
         {-1, 1, -1}},
    };
    const char kinds[] = "ntvtvtvtv";
    std::vector<std::pair<char, std::vector<float>>> expected;
    for (const auto& face : faces) {
        for (size_t i = 0; i < face.size(); ++i) {
            expected.push_back({kinds[i], face[i]});
        }
    }
    EXPECT_EQ(recordedCalls, expected);
}

TEST_F(SceneDrawing, CubeHasSixFlatColouredFacesWoundCounterClockwiseFromOutside) {
    glScalef(5, 5, 5); // edge 10 units
    const auto polygons = joinQuads(primitivesOf(record(drawCube), GL_POLYGON_TOKEN));
    ASSERT_EQ(polygons.size(), 6u);

    struct Face {
        float r, g, b;
        Point firstCorner;
    };
    const Face faces[6] = {{1, 0, 0, {-5, -5, 0}}, {1, 1, 0, {-5, -5, 0}}, {0, 1, 1, {-5, 5, 0}},
                           {1, 0, 1, {-5, -5, 0}}, {0, 0, 1, {5, -5, 0}},  {0, 1, 0, {-5, -5, 0}}};
    for (int f = 0; f < 6; ++f) {
        SCOPED_TRACE(f);
        ASSERT_EQ(polygons[f].vertices.size(), 4u);
        for (const FeedbackVertex& v : polygons[f].vertices) {
            EXPECT_FLOAT_EQ(v.r, faces[f].r);
            EXPECT_FLOAT_EQ(v.g, faces[f].g);
            EXPECT_FLOAT_EQ(v.b, faces[f].b);
        }
        const Point first = objectPoint(polygons[f].vertices[0]);
        EXPECT_NEAR(first.x, faces[f].firstCorner.x, 1e-3);
        EXPECT_NEAR(first.y, faces[f].firstCorner.y, 1e-3);
    }
    // Counter-clockwise seen from outside: the corners' right-hand normal points away from the
    // cube's centre, for each of the six faces. The orthographic projection is undone in all three
    // axes (depth 0..1 back to z 100..-100).
    const auto cornerOf = [](const FeedbackVertex& v) {
        return Point{v.x / 10 - 40, v.y / 10 - 30, 100 * (1 - 2 * v.z)};
    };
    for (int f = 0; f < 6; ++f) {
        SCOPED_TRACE(f);
        Point normal{0, 0, 0};
        Point centre{0, 0, 0};
        const auto& corners = polygons[f].vertices;
        for (size_t i = 0; i < corners.size(); ++i) {
            const Point a = cornerOf(corners[i]);
            const Point b = cornerOf(corners[(i + 1) % corners.size()]);
            normal.x += (a.y - b.y) * (a.z + b.z); // Newell's method
            normal.y += (a.z - b.z) * (a.x + b.x);
            normal.z += (a.x - b.x) * (a.y + b.y);
            centre = {centre.x + a.x / 4, centre.y + a.y / 4, centre.z + a.z / 4};
        }
        EXPECT_GT(normal.x * centre.x + normal.y * centre.y + normal.z * centre.z, 0)
            << "face " << f << " is wound clockwise as seen from outside";
    }
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0);
    EXPECT_EQ(colour[1], 1);
    EXPECT_EQ(colour[2], 0);
}

TEST_F(SceneDrawing, ChildlessNodeDrawsOneCubeAndNoLinesAndRestoresState) {
    glTranslatef(3, 4, 0);
    GLfloat before[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);

    SceneNode node;
    const auto all = record([&] { node.draw(); });
    ASSERT_EQ(joinQuads(primitivesOf(all, GL_POLYGON_TOKEN)).size(), 6u);
    EXPECT_TRUE(primitivesOf(all, GL_LINE_TOKEN).empty());
    const Point centre = cubeCentres(all)[0];
    EXPECT_NEAR(centre.x, 3, 1e-3);
    EXPECT_NEAR(centre.y, 4, 1e-3);

    GLfloat after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(before[i], after[i]);
    }
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1);
    EXPECT_EQ(colour[1], 1);
    EXPECT_EQ(colour[2], 1);
    GLfloat lineWidth = 0;
    glGetFloatv(GL_LINE_WIDTH, &lineWidth);
    EXPECT_EQ(lineWidth, 2);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Scale, then rotate about X, Y and Z, then translate, checked against GL's own stack.
TEST_F(SceneDrawing, NodeTransformOrderMatchesGlComposition) {
    SceneNode node;
    node.scale = {2, 0.5f, 1.5f};
    node.rotation = {30, -50, 90};
    node.position = {12, -3, 4};

    glPushMatrix();
    glTranslatef(12, -3, 4);
    glRotatef(-90, 0, 0, 1);
    glRotatef(50, 0, 1, 0);
    glRotatef(-30, 1, 0, 0);
    glScalef(2, 0.5f, 1.5f);
    const auto expected = joinQuads(primitivesOf(record(drawCube), GL_POLYGON_TOKEN));
    glPopMatrix();

    const auto actual = joinQuads(primitivesOf(record([&] { node.draw(); }), GL_POLYGON_TOKEN));
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t f = 0; f < actual.size(); ++f) {
        for (size_t v = 0; v < actual[f].vertices.size(); ++v) {
            EXPECT_NEAR(actual[f].vertices[v].x, expected[f].vertices[v].x, 1e-2);
            EXPECT_NEAR(actual[f].vertices[v].y, expected[f].vertices[v].y, 1e-2);
            EXPECT_NEAR(actual[f].vertices[v].z, expected[f].vertices[v].z, 1e-3);
        }
    }

    // A quarter turn clockwise: at rotation z = 90 the node's own +x axis points down the screen.
    SceneNode parent;
    parent.rotation.z = 90;
    parent.position = {12, 0, 0};
    SceneNode child[1];
    child[0].position = {5, 0, 0};
    parent.childCount = 1;
    parent.children = child;
    const auto centres = cubeCentres(record([&] { parent.draw(); }));
    ASSERT_EQ(centres.size(), 2u);
    EXPECT_NEAR(centres[0].x, 12, 1e-3);
    EXPECT_NEAR(centres[1].x, 12, 1e-3);
    EXPECT_NEAR(centres[1].y, -5, 1e-3);
}

TEST_F(SceneDrawing, ParentScaleShrinksDescendantsAndLinesJoinCentres) {
    SceneNode parent;
    parent.scale = {0.5f, 0.5f, 0.5f};
    SceneNode children[2];
    children[0].position = {12, 0, 0};
    children[1].position = {0, -8, 0};
    parent.childCount = 2;
    parent.children = children;

    const auto all = record([&] { parent.draw(); });
    const auto centres = cubeCentres(all);
    ASSERT_EQ(centres.size(), 3u);
    EXPECT_NEAR(centres[1].x, 6, 1e-3);
    EXPECT_NEAR(centres[2].y, -4, 1e-3);
    // The child's cube is shrunk too: edge 2 x 0.5.
    const auto polygons = joinQuads(primitivesOf(all, GL_POLYGON_TOKEN));
    const Point front0 = objectPoint(polygons[6].vertices[0]);
    const Point front2 = objectPoint(polygons[6].vertices[2]);
    EXPECT_NEAR(front2.x - front0.x, 1, 1e-3);

    const auto lines = primitivesOf(all, GL_LINE_TOKEN);
    ASSERT_EQ(lines.size(), 2u);
    const Point ends[2] = {{6, 0, 0}, {0, -4, 0}};
    for (int i = 0; i < 2; ++i) {
        const Point from = objectPoint(lines[i].vertices[0]);
        const Point to = objectPoint(lines[i].vertices[1]);
        EXPECT_NEAR(from.x, 0, 1e-3);
        EXPECT_NEAR(from.y, 0, 1e-3);
        EXPECT_NEAR(to.x, ends[i].x, 1e-3);
        EXPECT_NEAR(to.y, ends[i].y, 1e-3);
        EXPECT_FLOAT_EQ(lines[i].vertices[0].r, 1);
        EXPECT_FLOAT_EQ(lines[i].vertices[0].b, 1);
    }
}

TEST_F(SceneDrawing, TreeHas85NodesInNestedCrosses) {
    ASSERT_TRUE(buildSceneTree());

    int nodes = 0;
    std::vector<std::pair<const SceneNode*, int>> stack = {{&rootNode, 0}};
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        ++nodes;
        EXPECT_EQ(node->childCount, depth < 3 ? 4 : 0);
        EXPECT_EQ(node->children == nullptr, depth == 3);
        for (int i = 0; i < node->childCount; ++i) {
            stack.push_back({&node->children[i], depth + 1});
        }
    }
    EXPECT_EQ(nodes, 85);

    // Every cube centre is the sum of one arm per level: +x, +y, -y, -x at 12, 6 and 2.5.
    const Point arms[4] = {{1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {-1, 0, 0}};
    std::vector<Point> expected = {{0, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        const Point one = {arms[i].x * 12, arms[i].y * 12, 0};
        expected.push_back(one);
        for (int j = 0; j < 4; ++j) {
            const Point two = {one.x + arms[j].x * 6, one.y + arms[j].y * 6, 0};
            expected.push_back(two);
            for (int k = 0; k < 4; ++k) {
                expected.push_back({two.x + arms[k].x * 2.5f, two.y + arms[k].y * 2.5f, 0});
            }
        }
    }
    const auto centres = cubeCentres(record([] { rootNode.draw(); }));
    ASSERT_EQ(centres.size(), expected.size());
    for (size_t n = 0; n < centres.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_NEAR(centres[n].x, expected[n].x, 1e-3);
        EXPECT_NEAR(centres[n].y, expected[n].y, 1e-3);
    }
    EXPECT_NEAR(centres[3].x, 20.5, 1e-3); // through children 0, 0, 0
}
