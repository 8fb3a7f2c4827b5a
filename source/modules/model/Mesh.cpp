// Mesh transforms, bind pose, materials, bones, boxes, CPU skinning and the
// shadow entry points of the per-light passes.
#include "modules/model/Mesh.h"

#include "modules/Material/Material.h"
#include "modules/model/MeshCore.h"
#include "modules/model/Model.h"

#include <GL/glew.h>

#include <cmath>

namespace Vantor {

void Mesh::updateWorld(const Matrix4& parentWorld, bool force) {
    if (force || localChanged) {
        Matrix4::multiply(parentWorld, currentLocal, world);
        localChanged = false;
        force = true;
    }
    Matrix4::multiply(world, inverseBindWorld, skinMatrix);
    for (Mesh& child : children)
        child.updateWorld(world, force);
}

void Mesh::computeBindPose(const Matrix4& parentBindWorld) {
    Matrix4::multiply(parentBindWorld, bindLocal, bindWorld);
    inverseBindWorld = bindWorld;
    inverseBindWorld.inverse();
    for (Mesh& child : children)
        child.computeBindPose(bindWorld);
}

void Mesh::setKey(const Key& key) {
    currentKey = key;
    currentLocal = key.toMatrix();
    localChanged = true;
}

void Mesh::setMaterial(Material* newMaterial) {
    material = newMaterial;
    if (!material)
        return;
    for (const MatTex& slot : material->textures)
        if (slot.type == kNormalMapSlot)
            needsTangents = true;
}

bool Mesh::resolveBones(const ArrayList<Mesh*>& table) {
    if (!(flags & kMeshSkinned))
        return true;
    for (const SkinVertex& skin : fileSkinVertices)
        for (const SkinVertexBone& influence : skin.influences)
            if (influence.bone < 0 || unsigned(influence.bone) >= table.size || !table[unsigned(influence.bone)])
                return false;
    bones.clear();
    for (unsigned i = 0; i < fileSkinVertices.size && i < skinVertices.size; ++i) {
        const SkinVertex& file = fileSkinVertices[i];
        SkinVertex& skin = skinVertices[i];
        for (unsigned j = 0; j < file.influences.size && j < skin.influences.size; ++j) {
            Mesh* bone = table[unsigned(file.influences[j].bone)];
            int index = bones.indexOf(bone);
            if (index < 0) {
                bones.add(bone);
                index = int(bones.size) - 1;
            }
            skin.influences[j].bone = index;
        }
    }
    if (bones.size > unsigned(kMaxHardwareBones)) {
        hardwareSkinning = false;
        skinProgram = 0;
    }
    return true;
}

void Mesh::computeBox() {
    if (vertices.size == 0)
        return;
    boxMin = boxMax = vertices[0].position;
    for (const Vertex& vertex : vertices)
        Vector3::accumulateBounds(vertex.position, boxMin, boxMax);
}

void Mesh::skin() {
    if (!(flags & kMeshSkinned) || hardwareSkinning || bones.size == 0)
        return;
    ArrayList<Matrix4> palette;
    palette.resize(bones.size);
    for (unsigned i = 0; i < bones.size; ++i)
        palette[i] = bones[i]->skinMatrix;
    Vantor::skinVertices(skinVertices, bindVertices, palette.data, palette.size, vertices);

    VAObject* array = vertexArray.get();
    if (!array || array->vertexCount != int(vertices.size))
        return;
    float* positions = reinterpret_cast<float*>(array->block.data + array->positionOffset);
    float* normals = array->normalOffset ? reinterpret_cast<float*>(array->block.data + array->normalOffset) : nullptr;
    for (unsigned i = 0; i < vertices.size; ++i) {
        positions[3 * i] = vertices[i].position.x;
        positions[3 * i + 1] = vertices[i].position.y;
        positions[3 * i + 2] = vertices[i].position.z;
        if (normals) {
            normals[3 * i] = vertices[i].normal.x;
            normals[3 * i + 1] = vertices[i].normal.y;
            normals[3 * i + 2] = vertices[i].normal.z;
        }
    }
    if (array->useVBO && array->uploaded) {
        array->enableArrays(false);
        array->updateBuffer(true);
        array->disableArrays(false);
    }
}

MeshInstance* Mesh::currentInstance() {
    if (!model || model->currentInstance < 0 || unsigned(model->currentInstance) >= instances.size)
        return nullptr;
    return &instances[unsigned(model->currentInstance)];
}

ShadowVolume* Mesh::shadowVolume(int lightIndex) {
    MeshInstance* instance = currentInstance();
    if (!instance || lightIndex < 0 || lightIndex >= kMaxShadowLights)
        return nullptr;
    return &instance->volumes[lightIndex];
}

void Mesh::updateShadow(const Vector3& eye, const ShadowLight& light) {
    if (!(flags & kMeshCastsShadows))
        return;
    if (ShadowVolume* volume = shadowVolume(light.index))
        volume->update(boxMin, boxMax, world, light, eye);
}

void Mesh::rebuildShadow(const ShadowLight& light) {
    if (!(flags & kMeshCastsShadows))
        return;
    ShadowVolume* volume = shadowVolume(light.index);
    if (!volume || !volume->active)
        return;
    // The world plane y = floor - kFloorCutDepth, kept side up, in mesh space.
    Vector4 plane;
    if (std::isfinite(light.floor)) {
        const float* m = world.m;
        plane = Vector4(m[1], m[5], m[9], m[13] - (light.floor - kFloorCutDepth));
    }
    const bool floorMoved = volume->setFloorPlane(plane);
    volume->rebuild(shadowMesh, floorMoved);
}

void Mesh::drawShadow(const ShadowLight& light, bool capped) {
    if (!(flags & kMeshCastsShadows))
        return;
    ShadowVolume* volume = shadowVolume(light.index);
    if (!volume || !volume->active)
        return;
    glPushMatrix();
    glMultMatrixf(world.m);
    volume->draw(capped);
    glPopMatrix();
}

} // namespace Vantor
