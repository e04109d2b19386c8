// The matrix library against GLM on the same work: each builder, the product, and the composition
// of every node transform of one frame (85 nodes: scale, three rotations, translation). Not here:
// anything that needs OpenGL (frame_bench.cpp).
#include "scene/matrix.h"
#include "scene/scene_node.h"
#include "scene/scene_tree.h"

#include <benchmark/benchmark.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <glm/mat4x4.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Our rotations are GL's turned the other way (clockwise for a positive angle), so GLM gets the
// negated angle to build the same matrix.
constexpr float radiansPerDegree = 0.017453292519943295f;

// One node's inputs, taken from the real tree so both sides compose exactly the frame's work.
struct NodeInputs {
    float rotation[3];
    float position[3];
    float scale[3];
};

void collectNodes(const SceneNode& node, std::vector<NodeInputs>& nodes) {
    nodes.push_back({{node.rotation.x, node.rotation.y, node.rotation.z},
                     {node.position.x, node.position.y, node.position.z},
                     {node.scale.x, node.scale.y, node.scale.z}});
    for (int i = 0; i < node.childCount; ++i) {
        collectNodes(node.children[i], nodes);
    }
}

// The tree as a frame sees it once every level has been turned and scaled.
const std::vector<NodeInputs>& frameNodes() {
    static const std::vector<NodeInputs> nodes = [] {
        if (!buildSceneTree()) {
            std::fprintf(stderr, "matrix_bench: the scene tree could not be built\n");
            std::exit(1);
        }
        rootNode.rotation.z = 34.0f;
        const float spins[3] = {58.0f, 122.0f, 246.0f};
        const float scales[3] = {1.0f, 1.0f / 1.2f, 1.0f / 1.5f};
        for (int i = 0; i < rootNode.childCount; ++i) {
            SceneNode& one = rootNode.children[i];
            one.rotation.z = spins[0];
            one.scale = {scales[0], scales[0], scales[0]};
            for (int j = 0; j < one.childCount; ++j) {
                SceneNode& two = one.children[j];
                two.rotation.z = spins[1];
                two.scale = {scales[1], scales[1], scales[1]};
                for (int k = 0; k < two.childCount; ++k) {
                    two.children[k].rotation.z = spins[2];
                    two.children[k].scale = {scales[2], scales[2], scales[2]};
                }
            }
        }
        std::vector<NodeInputs> collected;
        collectNodes(rootNode, collected);
        return collected;
    }();
    return nodes;
}

// The steps SceneNode::draw takes before glMultMatrixf.
void composeOurs(const NodeInputs& node, float* transformMatrix) {
    matrixLoadIdentity(transformMatrix);
    matrixScale(transformMatrix, node.scale[0], node.scale[1], node.scale[2]);
    matrixRotateXDegrees(transformMatrix, node.rotation[0]);
    matrixRotateYDegrees(transformMatrix, node.rotation[1]);
    matrixRotateZDegrees(transformMatrix, node.rotation[2]);
    matrixTranslate(transformMatrix, node.position[0], node.position[1], node.position[2]);
}

// The same transform written the way GLM is normally used.
glm::mat4 composeGlm(const NodeInputs& node) {
    glm::mat4 m = glm::translate(glm::mat4(1.0f),
                                 glm::vec3(node.position[0], node.position[1], node.position[2]));
    m = glm::rotate(m, -node.rotation[2] * radiansPerDegree, glm::vec3(0, 0, 1));
    m = glm::rotate(m, -node.rotation[1] * radiansPerDegree, glm::vec3(0, 1, 0));
    m = glm::rotate(m, -node.rotation[0] * radiansPerDegree, glm::vec3(1, 0, 0));
    return glm::scale(m, glm::vec3(node.scale[0], node.scale[1], node.scale[2]));
}

// Refuses to time two sides that do not compute the same thing.
void checkBothSidesAgree() {
    for (const NodeInputs& node : frameNodes()) {
        Matrix4 ours;
        composeOurs(node, ours);
        const glm::mat4 theirs = composeGlm(node);
        const float* reference = glm::value_ptr(theirs);
        for (int i = 0; i < 16; ++i) {
            if (std::fabs(ours[i] - reference[i]) > 1e-5f) {
                std::fprintf(stderr, "matrix_bench: element %d differs: %g against GLM's %g\n", i,
                             static_cast<double>(ours[i]), static_cast<double>(reference[i]));
                std::exit(1);
            }
        }
    }
}

// Two different, well-conditioned operands. Every timed loop starts again from fresh values, so
// repeated products can neither overflow nor sink into slow denormals.
void fillOperands(float* a, float* b) {
    for (int i = 0; i < 16; ++i) {
        a[i] = 0.5f + 0.01f * static_cast<float>(i);
        b[i] = (i % 5 == 0) ? 1.0f : 0.001f * static_cast<float>(i);
    }
}

void Ours_Identity(benchmark::State& state) {
    Matrix4 m;
    for (auto _ : state) {
        matrixLoadIdentity(m);
        benchmark::DoNotOptimize(m);
        benchmark::ClobberMemory();
    }
}
void Glm_Identity(benchmark::State& state) {
    glm::mat4 m;
    for (auto _ : state) {
        m = glm::mat4(1.0f);
        benchmark::DoNotOptimize(m);
        benchmark::ClobberMemory();
    }
}

void Ours_Translate(benchmark::State& state) {
    Matrix4 m;
    matrixLoadIdentity(m);
    for (auto _ : state) {
        matrixLoadIdentity(m);
        matrixTranslate(m, 1.0f, -2.0f, 0.5f);
        benchmark::DoNotOptimize(m);
    }
}
void Glm_Translate(benchmark::State& state) {
    glm::mat4 m(1.0f);
    for (auto _ : state) {
        m = glm::mat4(1.0f);
        m = glm::translate(m, glm::vec3(1.0f, -2.0f, 0.5f));
        benchmark::DoNotOptimize(m);
    }
}

void Ours_Scale(benchmark::State& state) {
    Matrix4 m;
    matrixLoadIdentity(m);
    for (auto _ : state) {
        matrixLoadIdentity(m);
        matrixScale(m, 1.0f, 0.999f, 1.001f);
        benchmark::DoNotOptimize(m);
    }
}
void Glm_Scale(benchmark::State& state) {
    glm::mat4 m(1.0f);
    for (auto _ : state) {
        m = glm::mat4(1.0f);
        m = glm::scale(m, glm::vec3(1.0f, 0.999f, 1.001f));
        benchmark::DoNotOptimize(m);
    }
}

void Ours_RotateZ(benchmark::State& state) {
    Matrix4 m;
    matrixLoadIdentity(m);
    float angle = 1.0f;
    for (auto _ : state) {
        matrixLoadIdentity(m);
        matrixRotateZDegrees(m, angle);
        angle += 0.5f;
        benchmark::DoNotOptimize(m);
    }
}
void Glm_RotateZ(benchmark::State& state) {
    glm::mat4 m(1.0f);
    float angle = 1.0f;
    for (auto _ : state) {
        m = glm::mat4(1.0f);
        m = glm::rotate(m, -angle * radiansPerDegree, glm::vec3(0, 0, 1));
        angle += 0.5f;
        benchmark::DoNotOptimize(m);
    }
}

void Ours_Product(benchmark::State& state) {
    Matrix4 m;
    Matrix4 other;
    fillOperands(m, other);
    for (auto _ : state) {
        matrixMultiply(m, other);
        benchmark::DoNotOptimize(m);
        matrixLoadIdentity(m); // keeps the values bounded without a second product
        m[3] = 0.25f;
    }
}
// GLM's plain float product, the same order (other x m), each element a float dot product.
void Glm_Product(benchmark::State& state) {
    glm::mat4 m;
    glm::mat4 other;
    fillOperands(glm::value_ptr(m), glm::value_ptr(other));
    for (auto _ : state) {
        m = other * m;
        benchmark::DoNotOptimize(m);
        m = glm::mat4(1.0f);
        m[0][3] = 0.25f;
    }
}

void Ours_FrameTree(benchmark::State& state) {
    const std::vector<NodeInputs>& nodes = frameNodes();
    Matrix4 transformMatrix;
    for (auto _ : state) {
        for (const NodeInputs& node : nodes) {
            composeOurs(node, transformMatrix);
            benchmark::DoNotOptimize(transformMatrix);
        }
    }
    state.counters["nodes"] = static_cast<double>(nodes.size());
}
void Glm_FrameTree(benchmark::State& state) {
    const std::vector<NodeInputs>& nodes = frameNodes();
    for (auto _ : state) {
        for (const NodeInputs& node : nodes) {
            glm::mat4 m = composeGlm(node);
            benchmark::DoNotOptimize(m);
        }
    }
    state.counters["nodes"] = static_cast<double>(nodes.size());
}

} // namespace

BENCHMARK(Ours_Identity);
BENCHMARK(Glm_Identity);
BENCHMARK(Ours_Translate);
BENCHMARK(Glm_Translate);
BENCHMARK(Ours_Scale);
BENCHMARK(Glm_Scale);
BENCHMARK(Ours_RotateZ);
BENCHMARK(Glm_RotateZ);
BENCHMARK(Ours_Product);
BENCHMARK(Glm_Product);
BENCHMARK(Ours_FrameTree);
BENCHMARK(Glm_FrameTree);

int main(int argc, char** argv) {
    checkBothSidesAgree();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
