// Display lists and the attribute stack of the GL 1.1 subset. A list is the sequence of calls
// recorded between glNewList and glEndList (webgl_state.h, execute()), replayed by glCallLists;
// a glCallLists inside glNewList is recorded as the call, not as the lists it names. Lists nest up
// to 64 deep, as in Mesa. glCallLists takes GL_UNSIGNED_BYTE names only (other types:
// GL_INVALID_ENUM). The attribute stack is 16 deep; of its groups only GL_LIST_BIT (the list
// base) exists here, other groups are pushed and popped without saving anything.
#include "platform/webgl/webgl_state.h"

#include <memory>
#include <vector>

namespace webgl {
namespace {

constexpr int maxListNesting = 64;
constexpr size_t attribStackDepth = 16;

// The names are shared, not copied, by the replays a display list keeps.
void callLists(const std::shared_ptr<const std::vector<GLubyte>>& offsets) {
    if (!execute([=] { callLists(offsets); }) || subset.gl.playing >= maxListNesting) {
        return;
    }
    const GLuint base = subset.gl.listBase; // as Mesa: the base at the time of the call
    ++subset.gl.playing;
    for (GLubyte offset : *offsets) {
        const auto list = subset.gl.lists.find(base + offset);
        if (list != subset.gl.lists.end()) {
            for (const auto& command : list->second) { // no listable command changes the lists
                command();
            }
        }
    }
    --subset.gl.playing;
}

} // namespace
} // namespace webgl

using namespace webgl;

extern "C" {

GLuint glGenLists(GLsizei range) {
    if (!executeUnlisted()) {
        return 0;
    }
    if (range < 0) {
        raise(GL_INVALID_VALUE);
    }
    if (range <= 0) {
        return 0;
    }
    const auto count = static_cast<GLuint>(range);
    GLuint base = 1; // the first run of `range` unused names
    for (auto used = subset.gl.lists.lower_bound(base);
         used != subset.gl.lists.end() && used->first < base + count;
         used = subset.gl.lists.lower_bound(base)) {
        base = used->first + 1;
    }
    for (GLuint name = base; name < base + count; ++name) {
        subset.gl.lists[name]; // used from now on, empty until defined
    }
    return base;
}

void glDeleteLists(GLuint list, GLsizei range) {
    if (!executeUnlisted()) {
        return;
    }
    if (range < 0) {
        raise(GL_INVALID_VALUE);
        return;
    }
    for (auto named = subset.gl.lists.lower_bound(list);
         named != subset.gl.lists.end() && named->first - list < static_cast<GLuint>(range);) {
        named = subset.gl.lists.erase(named);
    }
}

void glNewList(GLuint list, GLenum mode) {
    if (!executeUnlisted()) {
        return;
    }
    if (list == 0) {
        raise(GL_INVALID_VALUE);
    } else if (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE) {
        raise(GL_INVALID_ENUM);
    } else if (subset.gl.compileMode != 0) {
        raise(GL_INVALID_OPERATION);
    } else {
        subset.gl.compilingName = list;
        subset.gl.compileMode = mode;
        subset.gl.compiling.clear();
    }
}

void glEndList() {
    if (!executeUnlisted()) {
        return;
    }
    if (subset.gl.compileMode == 0) {
        raise(GL_INVALID_OPERATION);
        return;
    }
    subset.gl.lists[subset.gl.compilingName] =
        std::move(subset.gl.compiling); // the old list is replaced only now
    subset.gl.compiling.clear();
    subset.gl.compileMode = 0;
}

void glListBase(GLuint base) {
    if (execute([=] { glListBase(base); })) {
        subset.gl.listBase = base;
    }
}

void glCallLists(GLsizei n, GLenum type, const GLvoid* lists) {
    if (!subset.gl.live) {
        return;
    }
    if (n < 0) {
        raise(GL_INVALID_VALUE);
    } else if (type != GL_UNSIGNED_BYTE) {
        raise(GL_INVALID_ENUM);
    } else {
        const auto* offsets = static_cast<const GLubyte*>(lists);
        callLists(std::make_shared<const std::vector<GLubyte>>(offsets, offsets + n));
    }
}

void glPushAttrib(GLbitfield mask) {
    if (!execute([=] { glPushAttrib(mask); })) {
        return;
    }
    if (subset.gl.attribStack.size() >= attribStackDepth) {
        raise(GL_STACK_OVERFLOW);
    } else {
        subset.gl.attribStack.emplace_back(mask, subset.gl.listBase);
    }
}

void glPopAttrib() {
    if (!execute([] { glPopAttrib(); })) {
        return;
    }
    if (subset.gl.attribStack.empty()) {
        raise(GL_STACK_UNDERFLOW);
        return;
    }
    if (subset.gl.attribStack.back().first & GL_LIST_BIT) {
        subset.gl.listBase = subset.gl.attribStack.back().second;
    }
    subset.gl.attribStack.pop_back();
}

} // extern "C"
