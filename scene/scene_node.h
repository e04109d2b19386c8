// A node of the scene hierarchy: its own rotation, position and scale, composed with the program's
// matrix routines every time it is drawn, and a contiguous array of children drawn inside its
// frame.
#pragma once

#include "scene/matrix.h"

struct Vector3 {
    float x, y, z;
};

struct SceneNode {
    Matrix4 baseMatrix;      // what the transform is composed onto; stays the identity
    Matrix4 transformMatrix; // scratch for the current draw
    Vector3 rotation;        // degrees about x, y, z
    Vector3 position;        // in the parent's frame
    Vector3 scale;
    int childCount;
    SceneNode* children; // allocated once by the tree builder, never released

    SceneNode();

    // Draws the cube, white lines to each child's centre, then the children, and leaves the
    // modelview matrix as it found it. Net transform: scale, rotate X, Y, Z, translate.
    void draw();
};

// The root of the hierarchy; a static-lifetime object built out by buildSceneTree.
extern SceneNode rootNode;
