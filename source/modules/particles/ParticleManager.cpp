// ParticleManager: listing of systems, the animate phase, the frame's drawing
// plan and the render phase that sends it to GL.
#include "modules/particles/ParticleManager.h"

#include "Core/RadixSort.h"
#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/textures/TextureManager.h"

#include <GL/glew.h>

namespace Vantor {

namespace {

const char* const spriteFile = "images\\particle32.bmp";
const char* const renderFunction = "Vantor::ParticleManager::render";
const char* const sourceFile = "source\\modules\\particles\\ParticleManager";
constexpr int textureErrorLine = 139;

} // namespace

void appendParticlePasses(const Particle& p, const Vector3& eye, ArrayList<ParticleQuad>& quads) {
    const int passes = p.glow ? kMaxParticlePasses : 1;
    const float a = p.glow ? kGlowPassFactor * p.life : p.life;
    for (int pass = 0; pass < passes; ++pass) {
        ParticleQuad q;
        for (int c = 0; c < 4; ++c)
            q.colour[c] = a * p.colour[c];
        q.centre = p.position;
        if (pass == 1) {
            Vector3 towardsEye = eye - p.position;
            towardsEye.normalize();
            q.centre += towardsEye * p.size;
        }
        q.size = p.size;
        q.blend = p.blend;
        quads.add(q);
    }
}

float particleSortKey(const float* m, const Vector3& p, float size) {
    // The view-space z of p (the third row of m applied to p); the eye looks down -z.
    const float viewZ = m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14];
    return -viewZ - size;
}

ParticleManager::ParticleManager() {
    keyScratch.autoShrink = false;
    orderScratch.autoShrink = false;
    frameQuads.autoShrink = false;
    setPhases(kPhaseAnimate | kPhaseRender);
    setPriority(kPhaseAnimate, animatePriority);
    setPriority(kPhaseRender, renderPriority);
    registerPlugin();
}

ParticleManager::~ParticleManager() {
    // Each flag is cleared before the delete, so the system's destructor
    // leaves the list alone.
    const int listed = systemCount;
    systemCount = 0;
    for (int i = 0; i < listed; ++i) {
        systems[i]->registered = false;
        if (systems[i] == defaultSystem)
            defaultSystem = nullptr;
        delete systems[i];
    }
    // The default system is unlisted only when the list was full at its creation.
    delete defaultSystem;
}

void ParticleManager::init() {
    // initAll calls this once per phase list; one table entry is enough.
    if (texture && texture->loaded)
        return;
    Texture* loaded = TextureManager::getInstance()->loadNewTexture(
        spriteFile, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR, textureFileBMP, 1);
    texture = loaded && loaded->loaded ? loaded : nullptr;
}

void ParticleManager::animate() {
    const float dt = static_cast<float>(frameDelta);
    for (int i = 0; i < systemCount; ++i) {
        systems[i]->update(dt);
        systems[i]->removeDead();
    }
    for (int i = 0; i < systemCount;) {
        const ParticleSystem* s = systems[i];
        if (s->autoRemove && !s->keepAlive && s->count == 0)
            unlist(i); // the entry moved into i is examined next
        else
            ++i;
    }
}

Particle* ParticleManager::addParticle(const Particle& p) {
    if (!defaultSystem) {
        defaultSystem = new ParticleSystem;
        defaultSystem->init(kDefaultSystemCapacity);
        defaultSystem->autoRemove = false;
        defaultSystem->keepAlive = true;
    }
    return defaultSystem->add(p);
}

bool ParticleManager::registerSystem(ParticleSystem* system) {
    if (system->registered)
        return true;
    if (systemCount >= kMaxParticleSystems)
        return false;
    systems[systemCount++] = system;
    system->registered = true;
    return true;
}

void ParticleManager::unregisterSystem(ParticleSystem* system) {
    for (int i = 0; i < systemCount; ++i) {
        if (systems[i] == system) {
            unlist(i);
            return;
        }
    }
    system->registered = false;
}

void ParticleManager::unlist(int i) {
    systems[i]->registered = false;
    systems[i] = systems[--systemCount];
    systems[systemCount] = nullptr;
}

void ParticleManager::gather() {
    gatheredCount = 0;
    for (int s = 0; s < systemCount; ++s) {
        ParticleSystem* system = systems[s];
        for (int i = 0; i < system->count; ++i) {
            if (gatheredCount == kMaxDrawnParticles)
                return;
            gathered[gatheredCount++] = &system->particles[i];
        }
    }
}

void ParticleManager::computeDrawOrder(const float* m) {
    bool anyAlpha = false;
    for (int i = 0; i < gatheredCount; ++i) {
        const Particle* p = gathered[i];
        drawIndices[i] = i;
        sortKeys[i] = particleSortKey(m, p->position, p->size);
        anyAlpha = anyAlpha || p->blend == kParticleAlphaBlend;
    }
    if (!anyAlpha)
        return;
    keyScratch.resize(unsigned(gatheredCount));
    for (int i = 0; i < gatheredCount; ++i)
        keyScratch[unsigned(i)] = sortKeys[i];
    radixSortByKey(keyScratch, orderScratch);
    for (int i = 0; i < gatheredCount; ++i)
        drawIndices[i] = int(orderScratch[unsigned(i)]);
}

void ParticleManager::buildQuads(const Vector3& eye, ArrayList<ParticleQuad>& quads) const {
    quads.clear();
    for (int i = gatheredCount - 1; i >= 0; --i)
        appendParticlePasses(*gathered[drawIndices[i]], eye, quads);
}

void ParticleManager::planFrame(const float* m, const Vector3& eye, ArrayList<ParticleQuad>& quads) {
    gather();
    computeDrawOrder(m);
    buildQuads(eye, quads);
}

Matrix4 ParticleManager::billboardMatrix(const float* m) {
    Matrix4 b;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            b(row, col) = m[4 * row + col];
    return b;
}

void ParticleManager::render() {
    // Without a current camera the modelview matrix is used as it stands.
    if (currentCamera) {
        currentCamera->update();
        glLoadMatrixf(currentCamera->viewMatrix.m);
    }

    if (!texture || !texture->loaded) {
        texture = nullptr;
        // A failed load is reported as this plug-in's error, not the loader's.
        try {
            init();
        } catch (const Exception&) {
            // texture stays null
        }
        if (!texture)
            throw Exception("Standard particle texture not loaded", renderFunction, sourceFile,
                            textureErrorLine);
    }

    Matrix4 modelview;
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.m);
    Vector3 eye;
    if (currentCamera) {
        eye = currentCamera->getPosition();
    } else {
        Matrix4 inverse = modelview;
        inverse.rigidInverse();
        eye = Vector3(inverse.m[12], inverse.m[13], inverse.m[14]);
    }
    planFrame(modelview.m, eye, frameQuads);

    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    // Bound directly rather than through Texture::bind: the enable bits come
    // back with glPopAttrib, and the texture manager's record of the enabled
    // target must not be left claiming a target that the pop disabled again.
    const int tracked = TextureManager::getInstance()->enabledTarget;
    if (tracked != 0 && GLenum(tracked) != texture->target)
        glDisable(GLenum(tracked));
    glEnable(texture->target);
    glBindTexture(texture->target, texture->name);
    glBlendFunc(GL_ONE, GL_ONE);
    currentBlend = -1;

    const Matrix4 billboard = billboardMatrix(modelview.m);
    for (const ParticleQuad& q : frameQuads) {
        if (q.blend != currentBlend) {
            if (q.blend == kParticleAlphaBlend)
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            else
                glBlendFunc(GL_ONE, GL_ONE);
            currentBlend = q.blend;
        }
        glColor4f(q.colour[0], q.colour[1], q.colour[2], q.colour[3]);
        glPushMatrix();
        glTranslatef(q.centre.x, q.centre.y, q.centre.z);
        glMultMatrixf(billboard.m);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(-q.size, -q.size);
        glTexCoord2f(1, 0);
        glVertex2f(q.size, -q.size);
        glTexCoord2f(1, 1);
        glVertex2f(q.size, q.size);
        glTexCoord2f(0, 1);
        glVertex2f(-q.size, q.size);
        glEnd();
        glPopMatrix();
    }

    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_TRUE);
    glPopAttrib();
}

} // namespace Vantor
