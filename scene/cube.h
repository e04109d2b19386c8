// The cube every scene node shows: edge length 2, centred on the current origin, one flat colour
// per face, emitted in immediate mode into the current modelview frame.
#pragma once

// One GL_QUADS batch of 6 faces. Leaves the last face's colour (green) current.
void drawCube();
