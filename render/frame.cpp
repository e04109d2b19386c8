// One frame of the demonstration: the arrow keys turned into spins, then the view, the hierarchy,
// the captions and the hand-over of spins and per-level scales to the nodes.
// Not here: presenting the frame and the loop that calls it (shell/).
#include "render/render.h"

#include "shell/app_state.h"

float rootSpin = 0.0f;
float levelOneSpin = 0.0f;
float levelTwoSpin = 0.0f;
float levelThreeSpin = 0.0f;
Matrix4 viewMatrix;

const Caption captions[captionCount] = {
    {-1.6f, -1.2f, "Quenz's Matrix Demonstration using own matrices"},
    {-1.6f, -1.0f, "This has been designed in anticipation to add to my project gh"},
    {-1.6f, -0.8f, "Created using Quillon"},
};

namespace {

constexpr float spinStep = 2.0f; // degrees per frame while a key is held

// Each level's nodes are scaled by 1 / factor on all three axes.
constexpr double levelOneScaleFactor = 1.0;
constexpr double levelTwoScaleFactor = 1.2;
constexpr double levelThreeScaleFactor = 1.5;

void setSpinAndScale(SceneNode& node, float spin, double factor) {
    const float scale = static_cast<float>(1.0 / factor);
    node.rotation.z = spin;
    node.scale = {scale, scale, scale};
}

// Runs after the hierarchy is drawn, so what is set here shows in the next frame.
void handOverSpinsAndScales() {
    for (int i = 0; i < rootNode.childCount; ++i) {
        SceneNode& levelOne = rootNode.children[i];
        setSpinAndScale(levelOne, levelOneSpin, levelOneScaleFactor);
        for (int j = 0; j < levelOne.childCount; ++j) {
            SceneNode& levelTwo = levelOne.children[j];
            setSpinAndScale(levelTwo, levelTwoSpin, levelTwoScaleFactor);
            for (int k = 0; k < levelTwo.childCount; ++k) {
                setSpinAndScale(levelTwo.children[k], levelThreeSpin, levelThreeScaleFactor);
            }
        }
    }
    rootNode.rotation.z = rootSpin;
}

void drawCaptions() {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -3.0f);
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);

    // The captions are fixed texts without any '%', so they serve as their own format.
    for (const Caption& caption : captions) {
        glRasterPos2f(caption.x, caption.y);
        printText(caption.text);
    }
}

} // namespace

void updateSpins() {
    if (keys[VK_RIGHT]) {
        levelOneSpin += spinStep;
    }
    if (keys[VK_UP]) {
        rootSpin += spinStep;
    }
    if (keys[VK_DOWN]) {
        levelTwoSpin += spinStep;
    }
    if (keys[VK_LEFT]) {
        levelThreeSpin += spinStep;
    }
}

void drawFrame() {
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // Multiplied onto whatever the modelview holds: the identity right after a resize (the scene
    // 40 units away), otherwise the caption placement of the previous frame (43 units away).
    matrixLoadIdentity(viewMatrix);
    matrixTranslate(viewMatrix, 0.0f, 0.0f, -40.0f);
    glMultMatrixf(viewMatrix);

    rootNode.draw();
    drawCaptions();
    handOverSpinsAndScales();
}
