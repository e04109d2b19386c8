#include "scene/cube.h"

#include "scene/gl_api.h"

namespace {

struct CubeCorner {
    float s, t;
    float x, y, z;
};

struct CubeFace {
    float red, green, blue;
    float normalX, normalY, normalZ;
    CubeCorner corners[4]; // counter-clockwise as seen from outside
};

// Emission order is the table order: front, back, top, bottom, right, left.
const CubeFace cubeFaces[6] = {
    {1, 0, 0, 0, 0, 1, {{0, 0, -1, -1, 1}, {1, 0, 1, -1, 1}, {1, 1, 1, 1, 1}, {0, 1, -1, 1, 1}}},
    {1,
     1,
     0,
     0,
     0,
     -1,
     {{1, 0, -1, -1, -1}, {1, 1, -1, 1, -1}, {0, 1, 1, 1, -1}, {0, 0, 1, -1, -1}}},
    {0, 1, 1, 0, 1, 0, {{0, 1, -1, 1, -1}, {0, 0, -1, 1, 1}, {1, 0, 1, 1, 1}, {1, 1, 1, 1, -1}}},
    {1,
     0,
     1,
     0,
     -1,
     0,
     {{1, 1, -1, -1, -1}, {0, 1, 1, -1, -1}, {0, 0, 1, -1, 1}, {1, 0, -1, -1, 1}}},
    {0, 0, 1, 1, 0, 0, {{1, 0, 1, -1, -1}, {1, 1, 1, 1, -1}, {0, 1, 1, 1, 1}, {0, 0, 1, -1, 1}}},
    {0,
     1,
     0,
     -1,
     0,
     0,
     {{0, 0, -1, -1, -1}, {1, 0, -1, -1, 1}, {1, 1, -1, 1, 1}, {0, 1, -1, 1, -1}}},
};

} // namespace

void drawCube() {
    glBegin(GL_QUADS);
    for (const CubeFace& face : cubeFaces) {
        glColor3f(face.red, face.green, face.blue);
        glNormal3f(face.normalX, face.normalY, face.normalZ);
        for (const CubeCorner& corner : face.corners) {
            glTexCoord2f(corner.s, corner.t);
            glVertex3f(corner.x, corner.y, corner.z);
        }
    }
    glEnd();
}
