#include "Core/SkyBox.h"

#include "Core/Matrix4.h"
#include "Core/String.h"
#include "Core/Vector3.h"
#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/textures/TextureManager.h"

#include <GL/glew.h>

#include <cmath>
#include <cstring>

namespace Vantor {

bool SkyBox::load(const char* pattern) {
    const char* mark = pattern ? std::strchr(pattern, skyBoxPatternMark) : nullptr;
    if (!mark) {
        showMessage("SkyBox load error");
        return false;
    }
    TextureManager* manager = TextureManager::getInstance();
    const int prefix = int(mark - pattern);
    for (int i = 0; i < skyBoxFaceCount; ++i) {
        String name;
        name.assign(pattern, prefix);
        name.append(char('0' + i));
        name.append(mark + 1);
        faces[i] = manager->loadNewTexture(name.c_str(), GL_LINEAR, GL_LINEAR, textureFileFromName, 0);
        if (faces[i]) {
            faces[i]->bind();
            faces[i]->setParameters(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, 0, 0, GL_MODULATE);
        }
    }
    flags = 0;
    return true;
}

void SkyBox::render(bool depthTest) {
    const int s = int(halfSize);
    glColor4f(1, 1, 1, 1);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    if (!depthTest)
        glDisable(GL_DEPTH_TEST);
    glCullFace(GL_FRONT);
    // Texturing is switched to GL_TEXTURE_2D inside the saved enable bits and
    // the faces are bound directly: the texture manager's record of the
    // enabled target stays true once the bits are restored.
    const int enabledTarget = TextureManager::getInstance()->enabledTarget;
    if (enabledTarget != 0 && enabledTarget != GL_TEXTURE_2D)
        glDisable(GLenum(enabledTarget));
    glEnable(GL_TEXTURE_2D);

    glPushMatrix();
    glLoadIdentity();
    Matrix4 view;
    if (currentCamera)
        view = currentCamera->viewMatrix;
    view.m[3] = view.m[7] = view.m[11] = 0;
    view.m[12] = view.m[13] = view.m[14] = 0;
    view.m[15] = 1;
    glMultMatrixf(view.m);

    // Texture coordinates and square corners (x, y) of each face's quad.
    static constexpr int corners[4][4] = {{0, 0, 1, -1}, {1, 0, -1, -1}, {1, 1, -1, 1}, {0, 1, 1, 1}};
    for (int i = 0; i < skyBoxFaceCount; ++i) {
        const Texture* face = faces[i];
        if (!face || !face->loaded)
            continue;
        const SkyBoxFaceRotation& r = skyBoxFaceRotations[i];
        const Matrix4 rotation = Matrix4::rotation(r.angle, r.x, r.y, r.z);
        glBindTexture(GL_TEXTURE_2D, face->name);
        glBegin(GL_QUADS);
        for (const int* corner : corners) {
            // The face rotations are quarter turns: rounding makes the corners
            // exact, so neighbouring faces share their edges bit for bit and no
            // crack opens between them.
            Vector3 p(float(corner[2] * s), float(corner[3] * s), float(-s));
            rotation.transformPoint(p);
            glTexCoord2i(corner[0], corner[1]);
            glVertex3i(int(std::lround(p.x)), int(std::lround(p.y)), int(std::lround(p.z)));
        }
        glEnd();
    }

    glPopMatrix();
    glCullFace(GL_BACK);
    glPopAttrib();
}

} // namespace Vantor
