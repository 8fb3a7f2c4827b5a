// Rendering the scene: the published eye and light parameters, the animation
// step, the GL lights, the base pass, per light the stencil shadow volumes,
// the mask of what lies beyond its reach and the additive lit pass, and the
// ambient pass.
#include "modules/scene/Scene.h"

#include "Core/WinAppFramework/Globals.h"
#include "modules/ShaderManager/ParamDatabase.h"
#include "modules/scene/Light.h"
#include "modules/scene/LightBounds.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Vantor {

namespace {

// The ambient colour every GL light gets for the light passes.
const float kLightPassAmbient[4] = {-0.5f, -0.5f, -0.5f, 1.0f};
const float kBlackAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
// Material passes of the base and ambient passes, and of the light passes.
constexpr int kBasePass = 0;
constexpr int kLightPass = 1;
// The light index of the base and ambient passes: no light.
constexpr int kNoLight = -1;
// Depth offset of the volumes, so the near caps do not fight with the surfaces.
constexpr GLfloat kVolumeOffsetUnits = 10.0f;

Vector4 toVector(const float* colour) { return Vector4(colour[0], colour[1], colour[2], colour[3]); }

// (range, 1 / range, 1 / range^2, 0) for programs that fade a light out
// towards its range; all zeros for a light without one.
Vector4 rangeVector(float range) {
    if (!(range > 0.0f))
        return Vector4(0.0f, 0.0f, 0.0f, 0.0f);
    return Vector4(range, 1.0f / range, 1.0f / (range * range), 0.0f);
}

void setUpGLLight(const Light& light) {
    const GLenum id = GLenum(GL_LIGHT0 + light.index);
    glLightfv(id, GL_POSITION, light.position.v);
    glLightfv(id, GL_DIFFUSE, light.diffuse);
    glLightfv(id, GL_SPECULAR, light.specular);
    glLightfv(id, GL_AMBIENT, kLightPassAmbient);
    if (light.range != 0.0f) {
        glLightf(id, GL_CONSTANT_ATTENUATION, GLfloat(light.constantAttenuation));
        glLightf(id, GL_LINEAR_ATTENUATION, GLfloat(light.linearAttenuation));
        glLightf(id, GL_QUADRATIC_ATTENUATION, GLfloat(light.quadraticAttenuation));
    }
    glDisable(id);
}

// Counts one more in the stencil buffer wherever the surface lies beyond the
// back of the light's reach seen from the eye, as a shadow would, so that the
// lit pass leaves those pixels alone: it would add nothing there, the light
// fading out to black at its range, but it would shade every one of them.
// Drawn with the volume stage's state (colour and depth writes off, stencil
// test on, the depth offset that pushes faces back, so a face at a surface
// marks nothing). Only the back faces of the polyhedron round the reach are
// drawn: a pixel whose surface is in front of them, or that they do not
// cover, keeps its count.
void maskOutOfReach(const Light& light) {
    const std::vector<Vector3>& polyhedron = reachPolyhedron();
    // Clamped depth would put faces beyond the near plane in front of every
    // surface and mark pixels in reach; clipped, they mark nothing.
    if (GLEW_ARB_depth_clamp)
        glDisable(GL_DEPTH_CLAMP);
    glCullFace(GL_FRONT);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    glPushMatrix();
    glTranslatef(light.position.x, light.position.y, light.position.z);
    glScalef(light.range, light.range, light.range);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vector3), &polyhedron[0].x);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(polyhedron.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
}

// Whether the mask pays: with the eye outside the reach its back faces cover
// only the reach's own silhouette, the rest of which the lit pass would shade
// for nothing; with the eye inside they cover the whole view, and from the
// streets nearly all of it lies in reach.
bool maskPays(const Light& light, const Vector3& eye) {
    return light.range > 0.0f && (eye - light.position.xyz()).length() > light.range;
}

} // namespace

void Scene::animate(float dt) {
    ModelManager* cache = ModelManager::getInstance();
    for (ModelRef& ref : models) {
        AnimationPlayer* player = ref.player();
        player->stopped = false;
        player->finished = false;
        cache->advance(*player, dt, true);
    }
}

Vector3 Scene::eyePosition() const {
    Matrix4 inverse = eyeModelview;
    inverse.inverse();
    Vector3 eye;
    inverse.transformPoint(eye);
    return eye;
}

void Scene::renderModels(int mode, int light, int pass) {
    ModelManager* cache = ModelManager::getInstance();
    for (unsigned i = 0; i < models.size; ++i)
        if (Model* model = shown(i) ? cache->resolve(models[i]) : nullptr)
            model->render(mode, light, pass, false);
}

void Scene::updateShadowVolumes(const Light& light, const Vector3& eye, const Matrix4* viewProjection) {
    ModelManager* cache = ModelManager::getInstance();
    const ShadowLight shadow = light.shadowLight();
    for (unsigned i = 0; i < models.size; ++i)
        if (Model* model = shown(i) ? cache->resolve(models[i]) : nullptr) {
            model->update(false);
            for (Mesh* mesh : model->meshes) {
                mesh->updateShadow(eye, shadow);
                ShadowVolume* volume = mesh->shadowVolume(light.index);
                // A volume that cannot reach into the view is neither built
                // nor drawn, but its builds are still counted, so that it
                // comes back with its silhouette refreshed on time (skinned
                // meshes keep theirs: their boxes are only brought up to date
                // when they are drawn).
                if (viewProjection && volume && volume->active && !(mesh->flags & kMeshSkinned)) {
                    Vector3 hull[16];
                    if (shadowVolumeHull(mesh->boxMin, mesh->boxMax, mesh->world, light.position, volume->extrusion,
                                         hull) &&
                        outsideView(*viewProjection, hull, 16)) {
                        volume->active = false;
                        volume->countBuild();
                    }
                }
            }
        }
    // The floor goes down in whole steps of the cut's depth, so that a low
    // mover that bobs a little does not make every volume rebuild each frame.
    ShadowLight rebuilt = shadow;
    if (floorCuts)
        rebuilt.floor = std::floor(floorHeight() / kFloorCutDepth) * kFloorCutDepth;
    for (unsigned i = 0; i < models.size; ++i)
        if (Model* model = shown(i) ? cache->resolve(models[i]) : nullptr)
            for (Mesh* mesh : model->meshes)
                mesh->rebuildShadow(rebuilt);
}

float Scene::floorHeight() {
    ModelManager* cache = ModelManager::getInstance();
    float lowest = std::numeric_limits<float>::infinity();
    for (unsigned i = 0; i < models.size; ++i)
        if (Model* model = shown(i) ? cache->resolve(models[i]) : nullptr)
            for (const Mesh* mesh : model->meshes) {
                // The box corner lowest in the world, axis by axis.
                const float* m = mesh->world.m;
                const float low[3] = {mesh->boxMin.x, mesh->boxMin.y, mesh->boxMin.z};
                const float high[3] = {mesh->boxMax.x, mesh->boxMax.y, mesh->boxMax.z};
                float y = m[13];
                for (int axis = 0; axis < 3; ++axis) {
                    const float row = m[4 * axis + 1];
                    y += row * (row > 0.0f ? low[axis] : high[axis]);
                }
                lowest = std::min(lowest, y);
            }
    return lowest;
}

void Scene::drawShadowVolumes(const Light& light, bool capped) {
    ModelManager* cache = ModelManager::getInstance();
    const ShadowLight shadow = light.shadowLight();
    for (unsigned i = 0; i < models.size; ++i)
        if (Model* model = shown(i) ? cache->resolve(models[i]) : nullptr)
            for (Mesh* mesh : model->meshes)
                mesh->drawShadow(shadow, capped);
}

void Scene::countShadowVolumes(const Light& light, bool capped) {
    // Each face's count: capped, the back faces behind the surface add one
    // and the front faces behind it take one away (depth fail); uncapped, the
    // front faces in front of it add one and the back faces in front of it
    // take one away (depth pass).
    if (twoSidedVolumes && GLEW_VERSION_2_0) {
        // Both faces at once, each volume drawn once. The counts wrap instead
        // of sticking at 0 and 255, so a face that takes one away before the
        // face that adds it is drawn still cancels it; the sums, far below
        // 256, come out as when every adding face goes first.
        const GLboolean culling = glIsEnabled(GL_CULL_FACE);
        glDisable(GL_CULL_FACE);
        if (capped) {
            glStencilOpSeparate(GL_BACK, GL_KEEP, GL_INCR_WRAP, GL_KEEP);
            glStencilOpSeparate(GL_FRONT, GL_KEEP, GL_DECR_WRAP, GL_KEEP);
        } else {
            glStencilOpSeparate(GL_FRONT, GL_KEEP, GL_KEEP, GL_INCR_WRAP);
            glStencilOpSeparate(GL_BACK, GL_KEEP, GL_KEEP, GL_DECR_WRAP);
        }
        drawShadowVolumes(light, capped);
        if (culling)
            glEnable(GL_CULL_FACE);
        return;
    }
    // One face at a time, every adding face first.
    glCullFace(capped ? GL_FRONT : GL_BACK);
    glStencilOp(GL_KEEP, capped ? GL_INCR : GL_KEEP, capped ? GL_KEEP : GL_INCR);
    drawShadowVolumes(light, capped);
    glCullFace(capped ? GL_BACK : GL_FRONT);
    glStencilOp(GL_KEEP, capped ? GL_DECR : GL_KEEP, capped ? GL_KEEP : GL_DECR);
    drawShadowVolumes(light, capped);
}

void Scene::passEnded(const char* pass, int light) {
    if (passObserver)
        passObserver->passEnded(pass, light);
}

void Scene::renderScene() {
    ParamDatabase* params = ParamDatabase::getInstance();
    glGetFloatv(GL_MODELVIEW_MATRIX, eyeModelview.m);
    params->matrices.setValue("eyeModelview", eyeModelview);

    animate(float(frameDelta));
    glDisable(GL_FOG);

    ArrayList<Light>& sceneLights = lights();
    for (const Light& light : sceneLights)
        setUpGLLight(light);

    passEnded("start", kNoLight);
    glDisable(GL_LIGHTING);
    renderModels(kRenderPerLight, kNoLight, kBasePass);
    passEnded("base", kNoLight);

    const Vector3 eye = eyePosition();
    params->vectors.setValue("eyePosition", Vector4(eye, 1.0f));
    Matrix4 projection;
    glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
    const Matrix4 viewProjection = projection * eyeModelview;
    // A perspective projection's near plane distance (only used with one).
    const float nearClip = projection.m[14] / (projection.m[10] - 1.0f);
    int viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);

    // The last light that casts shadows; the stencil buffer it leaves is
    // cleared only by the next frame.
    const Light* lastShadowed = nullptr;
    for (const Light& light : sceneLights)
        if (light.castShadows)
            lastShadowed = &light;

    for (const Light& light : sceneLights) {
        params->vectors.setValue("lightPosition", light.position);
        params->vectors.setValue("lightDiffuse", toVector(light.diffuse));
        params->vectors.setValue("lightSpecular", toVector(light.specular));
        params->vectors.setValue("lightRange", rangeVector(light.range));
        // Nothing a light does shows outside the rectangle its reach
        // projects to: volumes, lighting and the stencil clear keep inside.
        int scissor[4];
        const bool scissored =
            lightScissor(projection, eyeModelview, light.position.xyz(), light.range, nearClip, viewport, scissor);
        if (scissored) {
            glScissor(scissor[0], scissor[1], scissor[2], scissor[3]);
            glEnable(GL_SCISSOR_TEST);
        }
        if (!light.castShadows) {
            glClear(GL_STENCIL_BUFFER_BIT);
            // Added like a shadowed light's pass; drawn opaque it would wipe
            // out the base pass and the lights before it.
            glEnable(GL_BLEND);
            glBlendFunc(GL_ONE, GL_ONE);
            renderModels(kRenderPerLight, light.index, kLightPass);
            passEnded("light", light.index);
            glDisable(GL_BLEND);
            glDisable(GL_SCISSOR_TEST);
            continue;
        }
        updateShadowVolumes(light, eye, &viewProjection);

        glDepthMask(GL_FALSE);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        // Far caps are pushed up to 15000 units away, often past the far
        // plane; clamped depth keeps them in the depth-fail count.
        if (GLEW_ARB_depth_clamp)
            glEnable(GL_DEPTH_CLAMP);
        glStencilFunc(GL_ALWAYS, 0, 255);
        glEnable(GL_STENCIL_TEST);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(0.0f, kVolumeOffsetUnits);

        // Depth fail for the volumes that need caps, then depth pass for the others.
        glDisable(GL_TEXTURE_2D);
        countShadowVolumes(light, true);
        countShadowVolumes(light, false);
        passEnded("volumes", light.index);
        if (reachMasks && maskPays(light, eye)) {
            maskOutOfReach(light);
            passEnded("reach", light.index);
        }

        glCullFace(GL_BACK);
        if (GLEW_ARB_depth_clamp)
            glDisable(GL_DEPTH_CLAMP);
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glStencilFunc(GL_EQUAL, 0, 255);
        // The lit pass only draws where the count is 0: decrementing there
        // would only write the same 0 back.
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_POLYGON_OFFSET_FILL);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        renderModels(kRenderPerLight, light.index, kLightPass);
        passEnded("light", light.index);
        glDisable(GL_BLEND);
        glDisable(GL_STENCIL_TEST);
        // Every shadowed light but the last leaves a clear stencil buffer for
        // the next one; lights without shadows clear it themselves.
        if (&light != lastShadowed)
            glClear(GL_STENCIL_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }

    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glPushAttrib(GL_ENABLE_BIT);
    for (const Light& light : sceneLights)
        glEnable(GLenum(GL_LIGHT0 + light.index));
    renderModels(kRenderAmbient, kNoLight, kBasePass);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kBlackAmbient);
    glPopAttrib();
    passEnded("ambient", kNoLight);
    // Some drivers leave the lights on after the pop; nothing after the scene
    // is to be lit by them.
    for (const Light& light : sceneLights)
        glDisable(GLenum(GL_LIGHT0 + light.index));
}

} // namespace Vantor
