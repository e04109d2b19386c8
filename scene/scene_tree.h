// Builds the fixed 85-node hierarchy under rootNode: four levels of nested crosses in the X-Y
// plane.
#pragma once

// Call once, with rootNode still childless. Returns false if a child array could not be allocated;
// the tree is then left consistent (the node whose array failed keeps no children) but incomplete.
bool buildSceneTree();
