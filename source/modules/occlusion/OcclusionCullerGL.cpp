// The culler's GL edge: showing the depth buffer, and the per-frame and
// per-object calls for code that keeps its matrices in GL.
#include "modules/occlusion/OcclusionCuller.h"

#include <GL/glew.h>

namespace Vantor {

namespace {

Matrix4 currentMatrix(GLenum which) {
    Matrix4 m;
    glGetFloatv(which, m.m);
    return m;
}

} // namespace

// Depths run from -1 (near) to 1 (far); GL clamps luminance to [0, 1], so
// far shows white and everything nearer than the middle of the range black.
void OcclusionCuller::drawBuffer() const {
    if (!depth.values || depth.count == 0)
        return;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glDrawPixels(depth.width, depth.height, GL_LUMINANCE, GL_FLOAT, depth.values);
    glPopClientAttrib();
}

void OcclusionCuller::beginFrameFromGL(float nearDistance, float farDistance) {
    beginFrame(nearDistance, farDistance, currentMatrix(GL_PROJECTION_MATRIX));
}

bool OcclusionCuller::isOccludedFromGL(const Vector3& min, const Vector3& max, const float* extraSize,
                                       bool withFrustumTest, OcclusionMemo* memo) {
    const Matrix4 modelviewMatrix = currentMatrix(GL_MODELVIEW_MATRIX);
    // Only the frustum test reads GL's projection.
    const Matrix4 projectionMatrix = withFrustumTest ? currentMatrix(GL_PROJECTION_MATRIX) : projection;
    if (memo)
        return isOccluded(min, max, modelviewMatrix, projectionMatrix, extraSize, withFrustumTest, *memo);
    return isOccluded(min, max, modelviewMatrix, projectionMatrix, extraSize, withFrustumTest);
}

void OcclusionCuller::addOccluderFromGL(const Vector3& boxMin, const Vector3& boxMax, const int* indices,
                                        int indexCount, const float* positions, int vertexCount,
                                        OcclusionMemo* memo) {
    addOccluder(boxMin, boxMax, currentMatrix(GL_MODELVIEW_MATRIX), indices, indexCount, positions, vertexCount,
                memo);
}

} // namespace Vantor
