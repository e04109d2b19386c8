#include "scene/scene_tree.h"

#include "scene/scene_node.h"

#include <new>

namespace {

// Gives `node` four children at +x, +y, -y, -x, `distance` away, in that array order.
bool addCrossOfChildren(SceneNode& node, float distance) {
    SceneNode* children = new (std::nothrow) SceneNode[4];
    if (children == nullptr) {
        return false;
    }
    node.children = children;
    node.childCount = 4;
    children[0].position.x = distance;
    children[1].position.y = distance;
    children[2].position.y = -distance;
    children[3].position.x = -distance;
    return true;
}

} // namespace

bool buildSceneTree() {
    if (!addCrossOfChildren(rootNode, 12.0f)) {
        return false;
    }
    for (int i = 0; i < rootNode.childCount; ++i) {
        SceneNode& levelOne = rootNode.children[i];
        if (!addCrossOfChildren(levelOne, 6.0f)) {
            return false;
        }
        for (int j = 0; j < levelOne.childCount; ++j) {
            if (!addCrossOfChildren(levelOne.children[j], 2.5f)) {
                return false;
            }
        }
    }
    return true;
}
