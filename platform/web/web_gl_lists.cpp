// Display lists and the attribute stack of the GL 1.1 subset. A list is the sequence of calls
// recorded between glNewList and glEndList (web_gl_state.h, execute()), replayed by glCallLists;
// a glCallLists inside glNewList is recorded as the call, not as the lists it names. Lists nest up
// to 64 deep, as in Mesa. glCallLists takes GL_UNSIGNED_BYTE names only (other types:
// GL_INVALID_ENUM). The attribute stack is 16 deep; of its groups only GL_LIST_BIT (the list
// base) exists here, other groups are pushed and popped without saving anything.
#include "platform/web/web_gl_state.h"

#include <memory>
#include <vector>

namespace webgl {
namespace {

constexpr int maxListNesting = 64;
constexpr size_t attribStackDepth = 16;

// The names are shared, not copied, by the replays a display list keeps.
void callLists(const std::shared_ptr<const std::vector<GLubyte>>& offsets) {
    if (!execute([=] { callLists(offsets); }) || gl.playing >= maxListNesting) {
        return;
    }
    const GLuint base = gl.listBase; // as Mesa: the base at the time of the call
    ++gl.playing;
    for (GLubyte offset : *offsets) {
        const auto list = gl.lists.find(base + offset);
        if (list != gl.lists.end()) {
            for (const auto& command : list->second) { // no listable command changes gl.lists
                command();
            }
        }
    }
    --gl.playing;
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
    for (auto used = gl.lists.lower_bound(base);
         used != gl.lists.end() && used->first < base + count; used = gl.lists.lower_bound(base)) {
        base = used->first + 1;
    }
    for (GLuint name = base; name < base + count; ++name) {
        gl.lists[name]; // used from now on, empty until defined
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
    for (auto named = gl.lists.lower_bound(list);
         named != gl.lists.end() && named->first - list < static_cast<GLuint>(range);) {
        named = gl.lists.erase(named);
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
    } else if (gl.compileMode != 0) {
        raise(GL_INVALID_OPERATION);
    } else {
        gl.compilingName = list;
        gl.compileMode = mode;
        gl.compiling.clear();
    }
}

void glEndList() {
    if (!executeUnlisted()) {
        return;
    }
    if (gl.compileMode == 0) {
        raise(GL_INVALID_OPERATION);
        return;
    }
    gl.lists[gl.compilingName] = std::move(gl.compiling); // the old list is replaced only now
    gl.compiling.clear();
    gl.compileMode = 0;
}

void glListBase(GLuint base) {
    if (execute([=] { glListBase(base); })) {
        gl.listBase = base;
    }
}

void glCallLists(GLsizei n, GLenum type, const GLvoid* lists) {
    if (!gl.live) {
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
    if (gl.attribStack.size() >= attribStackDepth) {
        raise(GL_STACK_OVERFLOW);
    } else {
        gl.attribStack.emplace_back(mask, gl.listBase);
    }
}

void glPopAttrib() {
    if (!execute([] { glPopAttrib(); })) {
        return;
    }
    if (gl.attribStack.empty()) {
        raise(GL_STACK_UNDERFLOW);
        return;
    }
    if (gl.attribStack.back().first & GL_LIST_BIT) {
        gl.listBase = gl.attribStack.back().second;
    }
    gl.attribStack.pop_back();
}

} // extern "C"
