// Decodes a GL feedback buffer recorded in GL_3D_COLOR mode into primitives, so tests can check
// what was drawn, in window coordinates, after the real GL transform.
#pragma once

#include <GL/gl.h>

#include <vector>

namespace testsupport {

struct FeedbackVertex {
    float x, y, z;    // window coordinates
    float r, g, b, a; // colour
};

struct FeedbackPrimitive {
    GLenum token; // GL_POLYGON_TOKEN, GL_LINE_TOKEN, GL_BITMAP_TOKEN, ...
    std::vector<FeedbackVertex> vertices;
    float passThroughValue = 0; // GL_PASS_THROUGH_TOKEN: the value given to glPassThrough
};

std::vector<FeedbackPrimitive> decodeFeedback(const std::vector<float>& buffer);

// The primitives of one kind; line tokens include GL_LINE_RESET_TOKEN.
std::vector<FeedbackPrimitive> primitivesOf(const std::vector<FeedbackPrimitive>& all,
                                            GLenum token);

// Mesa feeds back each quad (v0, v1, v2, v3) as the triangles (v0, v1, v3) and (v1, v2, v3);
// this pairs them up again into the quads that were drawn.
std::vector<FeedbackPrimitive> joinQuads(const std::vector<FeedbackPrimitive>& triangles);

} // namespace testsupport
