#include "support/feedback.h"

#include <cstddef>

using std::size_t;

namespace testsupport {

namespace {

FeedbackVertex readVertex(const std::vector<float>& buffer, size_t& at) {
    FeedbackVertex v{};
    if (at + 7 <= buffer.size()) {
        v = {buffer[at],     buffer[at + 1], buffer[at + 2], buffer[at + 3],
             buffer[at + 4], buffer[at + 5], buffer[at + 6]};
    }
    at += 7;
    return v;
}

} // namespace

std::vector<FeedbackPrimitive> decodeFeedback(const std::vector<float>& buffer) {
    std::vector<FeedbackPrimitive> primitives;
    size_t at = 0;
    while (at < buffer.size()) {
        const auto token = static_cast<GLenum>(buffer[at++]);
        FeedbackPrimitive primitive{token, {}};
        int vertexCount = 0;
        switch (token) {
        case GL_POLYGON_TOKEN:
            vertexCount = static_cast<int>(buffer[at++]);
            break;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            vertexCount = 2;
            break;
        case GL_POINT_TOKEN:
        case GL_BITMAP_TOKEN:
        case GL_DRAW_PIXEL_TOKEN:
        case GL_COPY_PIXEL_TOKEN:
            vertexCount = 1;
            break;
        case GL_PASS_THROUGH_TOKEN:
            primitive.passThroughValue = at < buffer.size() ? buffer[at] : 0;
            ++at;
            break;
        default:
            return primitives; // not a token: the buffer is corrupt or truncated
        }
        for (int i = 0; i < vertexCount; ++i) {
            primitive.vertices.push_back(readVertex(buffer, at));
        }
        primitives.push_back(primitive);
    }
    return primitives;
}

std::vector<FeedbackPrimitive> primitivesOf(const std::vector<FeedbackPrimitive>& all,
                                            GLenum token) {
    std::vector<FeedbackPrimitive> selected;
    for (const FeedbackPrimitive& primitive : all) {
        const bool isLine = token == GL_LINE_TOKEN && primitive.token == GL_LINE_RESET_TOKEN;
        if (primitive.token == token || isLine) {
            selected.push_back(primitive);
        }
    }
    return selected;
}

std::vector<FeedbackPrimitive> joinQuads(const std::vector<FeedbackPrimitive>& triangles) {
    std::vector<FeedbackPrimitive> quads;
    for (size_t i = 0; i + 1 < triangles.size(); i += 2) {
        const auto& first = triangles[i].vertices;
        const auto& second = triangles[i + 1].vertices;
        if (first.size() != 3 || second.size() != 3) {
            break;
        }
        quads.push_back({GL_POLYGON_TOKEN, {first[0], first[1], second[1], second[2]}});
    }
    return quads;
}

} // namespace testsupport
