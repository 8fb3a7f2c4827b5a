#include "Core/VBOManager.h"

namespace Vantor {

VBOManager::VBOManager() {
    enabled = GLEW_ARB_vertex_buffer_object && !ignoreExtension;
    if (!enabled)
        return;
    setPhases(kPhaseOverlay);
    setPriority(kPhaseOverlay, 0);
    registerPlugin();
}

GLuint VBOManager::generate() {
    if (!enabled)
        return 0;
    GLuint name = 0;
    glGenBuffersARB(1, &name);
    buffers.add(name);
    return name;
}

void VBOManager::shutdown() {
    if (buffers.size > 0)
        glDeleteBuffersARB(GLsizei(buffers.size), buffers.data);
    buffers.clear();
}

} // namespace Vantor
