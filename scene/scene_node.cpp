#include "scene/scene_node.h"

#include "scene/cube.h"
#include "scene/gl_api.h"

#include <cstring>

SceneNode rootNode;

SceneNode::SceneNode() {
    matrixLoadIdentity(baseMatrix);
    rotation = {0, 0, 0};
    position = {0, 0, 0};
    scale = {1, 1, 1};
    childCount = 0;
    children = nullptr;
}

void SceneNode::draw() {
    glPushMatrix();

    std::memcpy(transformMatrix, baseMatrix, sizeof transformMatrix);
    matrixScale(transformMatrix, scale.x, scale.y, scale.z);
    matrixRotateXDegrees(transformMatrix, rotation.x);
    matrixRotateYDegrees(transformMatrix, rotation.y);
    matrixRotateZDegrees(transformMatrix, rotation.z);
    matrixTranslate(transformMatrix, position.x, position.y, position.z);
    glMultMatrixf(transformMatrix);

    drawCube();

    glLineWidth(2);
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    for (int i = 0; i < childCount; ++i) {
        glVertex3f(0, 0, 0);
        glVertex3f(children[i].position.x, children[i].position.y, children[i].position.z);
    }
    glEnd();

    for (int i = 0; i < childCount; ++i) {
        children[i].draw();
    }

    glPopMatrix();
}
