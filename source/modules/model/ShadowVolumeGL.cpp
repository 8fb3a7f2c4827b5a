// The GL edge of shadow volumes: buffer names from the VBOManager, the
// static uploads after a rebuild, and the draw of a volume's triangles.
// Every function leaves no buffer bound and the vertex array disabled, so
// later client-memory drawing is unaffected.
#include "Core/VBOManager.h"
#include "modules/model/ShadowVolume.h"

#include <GL/glew.h>

namespace Vantor {

void ShadowVolume::acquireBuffers() {
    VBOManager* manager = VBOManager::getInstance();
    if (!manager->enabled)
        return;
    indexBuffer = manager->generate();
    vertexBuffer = manager->generate();
}

void ShadowVolume::upload() {
    if (indexBuffer == 0 || vertexBuffer == 0)
        return;
    const ArrayList<unsigned int>& indexList = drawnIndices();
    const ArrayList<Vector3>& vertexList = drawnVertices();
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer);
    glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GLsizeiptrARB(indexList.size * sizeof(unsigned int)),
                    indexList.data, GL_STATIC_DRAW_ARB);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, vertexBuffer);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, GLsizeiptrARB(vertexList.size * sizeof(Vector3)),
                    vertexList.data, GL_STATIC_DRAW_ARB);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

void ShadowVolume::draw(bool cappedPass) {
    const ArrayList<unsigned int>& indexList = drawnIndices();
    const ArrayList<Vector3>& vertexList = drawnVertices();
    if (capped != cappedPass || culled || indexList.size == 0)
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    if (indexBuffer != 0 && vertexBuffer != 0) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, vertexBuffer);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer);
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        const GLsizei count = cappedPass ? GLsizei(indexList.size) : GLsizei(drawnSidesEnd());
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    } else {
        // Client addresses would be read as offsets into a buffer another array left bound.
        if (GLEW_ARB_vertex_buffer_object) {
            glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
            glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
        }
        glVertexPointer(3, GL_FLOAT, 0, vertexList.data);
        glDrawElements(GL_TRIANGLES, GLsizei(indexList.size), GL_UNSIGNED_INT, indexList.data);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}

} // namespace Vantor
